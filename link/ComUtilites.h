// The serial port module: the one port a program talks through and the one
// buffer all its link traffic passes through, as module-level names over the
// program's own link, which the program binds (PortBinding) for as long as it
// runs.
#pragma once

#include "SerialLink.h"

#include <QString>

#include <cstdint>

// Makes `link` the one the module's names work on for the binding's lifetime;
// the link bound before it comes back afterwards.
class PortBinding
{
public:
    explicit PortBinding(SerialLink& link);
    ~PortBinding();
    PortBinding(const PortBinding&) = delete;
    PortBinding& operator=(const PortBinding&) = delete;

private:
    SerialLink* previous_;
};

// The open port, or null when none is open (or no link is bound).
const SerialBackend* PortHandle();
// Reads append into it from its start; frames are assembled and sent from its
// start. A link must be bound.
std::uint8_t* LinkBuffer();

// Closes any open port, then opens and configures `name`. On failure reports
// "Not open " + name through the open-failure reporter and returns false.
bool OpenPort(const QString& name);
void ClosePort();
// Polls every 1 ms for at least n bytes, appending at the buffer's start; false
// when the 500 ms deadline passes (checked after each read) or no port is open.
bool ReadPort(int n);
// Sends bytes 0..n-1 of LinkBuffer; true exactly when all n were written.
bool WritePort(int n);
// Discards pending data of the open port: PurgeTx and/or PurgeRx.
void PurgePort(unsigned flags);
inline bool PortIsOpen() { return PortHandle() != nullptr; }
