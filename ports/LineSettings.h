// The station's line: 2400 baud, 8 data bits, no parity, one stop bit, no flow
// control, raw (the serial port layer opens the device in raw mode).
#pragma once

class QSerialPort;

inline constexpr int StationBaudRate = 2400;

// Applies the line to an open port; false when the device refuses any of it.
bool ApplyLineSettings(QSerialPort& port);
