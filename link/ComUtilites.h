// The serial port module: the one port the program talks through and
// the one buffer all link traffic passes through, as module-level state.
//
// The platform side is a seam: a SerialBackend (the platform's by default) and a
// LinkClock (monotonic clock and real sleeps by default) can be replaced, so the
// transfer engine runs in virtual time against a scripted station in tests.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

inline constexpr int LinkBufferSize = 1004;
inline constexpr int ReadDeadlineMs = 500;  // ReadPort gives up after this
inline constexpr int ReadPollMs = 1;        // ReadPort sleeps this long before each poll
inline constexpr int WriteConstantMs = 200; // write time-out: 1 ms a byte plus this

// Purge flags, with the values the station link has always used.
inline constexpr unsigned PURGE_TXCLEAR = 4; // discard pending transmit data
inline constexpr unsigned PURGE_RXCLEAR = 8; // discard pending received data

using PortHandleType = std::intptr_t;

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
// The open port's device hung up.
bool PortHungUp();

// The platform's serial port. Exactly one port is open at a time.
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
    // PURGE_TXCLEAR and/or PURGE_RXCLEAR.
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

// Replace the backend (closing any open port first); null restores the default,
// which picks a local serial port or a network port by the port's name.
void SetSerialBackend(std::shared_ptr<SerialBackend> backend);
SerialBackend& CurrentSerialBackend();
// Replace the clock; null restores the monotonic system clock.
void SetLinkClock(std::shared_ptr<LinkClock> clock);
LinkClock& CurrentLinkClock();
// How OpenPort shows "Not open " + name. The window installs a modal message box;
// the default writes the text to the debug output. Null restores the default.
void SetOpenFailureReporter(std::function<void(const QString&)> reporter);

// Back to the module's start state: port closed, buffer zeroed, default backend,
// clock and reporter. Tests call it so no test sees another's leftovers.
void ResetComUtilites();
