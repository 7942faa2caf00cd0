// Which transport a port name selects, and the backend for it. Everything above
// the backend (frames, engine, window, lumkctl) works the same over any of them.
//
// A new transport is one backend class (a SerialBackend), one TransportKind, one
// line in TransportOf for its name form and one in OpenTransport. The local
// port's backend is the platform's (DefaultSerialBackend_linux.cpp, _windows.cpp).
#pragma once

#include "SerialBackend.h"

#include <QString>

#include <memory>

enum class TransportKind {
    LocalSerial,      // "ttyUSB0", "/dev/pts/3", "COM3": the machine's serial port
    Rfc2217,          // "rfc2217://HOST:PORT": a serial port server with line control
    Socket,           // "socket://HOST:PORT": raw bytes over TCP
    SimulatedStation, // "station:NAME": a station simulator running in this program
};

TransportKind TransportOf(const QString& name);

// A new, closed backend for `name`; null when its transport is not available.
std::shared_ptr<SerialBackend> OpenTransport(const QString& name);
