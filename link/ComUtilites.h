// The serial port module: the one port the window talks through and the one
// buffer all its link traffic passes through, as module-level names over the
// default link (SerialLink). Other users make a link of their own.
#pragma once

#include "SerialLink.h"

#include <QString>

#include <cstdint>

// The open port, or 0 when none is open. A new value for every successful open.
extern PortHandleType PortHandle;
// Reads append into it from its start; frames are assembled and sent from its start.
extern std::uint8_t LinkBuffer[LinkBufferSize];

// Closes any open port, then opens and configures `name`. On failure reports
// "Not open " + name through the open-failure reporter and returns false.
bool OpenPort(const QString& name);
void ClosePort();
// Polls every 1 ms for at least n bytes, appending at the buffer's start; false
// when the 500 ms deadline passes (checked after each read) or no port is open.
bool ReadPort(int n);
// Sends bytes 0..n-1 of LinkBuffer; true exactly when all n were written.
bool WritePort(int n);
// Discards pending data of the open port: PURGE_TXCLEAR and/or PURGE_RXCLEAR.
void PurgePort(unsigned flags);
inline bool PortIsOpen() { return PortHandle != 0; }

// Back to the module's start state: port closed, buffer zeroed, transports by
// name, system clock, default reporter. For the module's own tests.
void ResetComUtilites();
