// The two seams under the link: the transport a port name selects, and the
// clock that times reads, sleeps and ticks.
#pragma once

#include <QString>

#include <cstdint>

// Purge flags, with the values the station link has always used.
inline constexpr unsigned PurgeTx = 4; // discard pending transmit data
inline constexpr unsigned PurgeRx = 8; // discard pending received data

// One transport to a station: a local serial port, and later a network port or
// an in-process station. Exactly one port is open at a time.
class SerialBackend
{
public:
    virtual ~SerialBackend() = default;
    // Opens and configures the port; false (with nothing left open) on failure.
    virtual bool Open(const QString& name) = 0;
    virtual void Close() = 0;
    // Non-waiting read of up to maxBytes: what has arrived, possibly nothing.
    // Returns the byte count, or -1 when the platform reports a failure.
    virtual std::int64_t Read(std::uint8_t* dest, std::int64_t maxBytes) = 0;
    // Synchronous write within timeoutMs; returns the bytes written, -1 on failure.
    virtual std::int64_t Write(const std::uint8_t* src, std::int64_t count, int timeoutMs) = 0;
    // PurgeTx and/or PurgeRx.
    virtual void Purge(unsigned flags) = 0;
    // The open device hung up (it is gone until the port is opened again).
    virtual bool HungUp() const { return false; }
    // Why the last Open failed or the port stopped working, when the backend
    // knows more than the port's name (a network port's address and reason).
    virtual QString FailureReason() const { return QString(); }
};

// Milliseconds of a monotonic clock, and sleeping.
class LinkClock
{
public:
    virtual ~LinkClock() = default;
    virtual std::int64_t NowMs() = 0;
    virtual void SleepMs(int ms) = 0;
};
