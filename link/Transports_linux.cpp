// The local serial port on Linux: QSerialPort over the tty device.
#include "Transports.h"

#include "QtSerialBackend.h"

std::shared_ptr<SerialBackend> MakeLocalSerialBackend()
{
    return std::make_shared<QtSerialBackend>();
}
