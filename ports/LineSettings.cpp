#include "LineSettings.h"

#include <QSerialPort>

bool ApplyLineSettings(QSerialPort& port)
{
    return port.setBaudRate(StationBaudRate) && port.setDataBits(QSerialPort::Data8) &&
           port.setParity(QSerialPort::NoParity) && port.setStopBits(QSerialPort::OneStop) &&
           port.setFlowControl(QSerialPort::NoFlowControl);
}
