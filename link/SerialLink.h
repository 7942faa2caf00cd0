// One link to a station: the transport, the clock, the open port's handle, the
// buffer all traffic passes through, and how a failed open is reported.
//
// The transport is chosen when a port is opened: by default from the port's
// name (OpenTransport), or one fixed backend (tests, a traced tool run).
#pragma once

#include "SerialBackend.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

inline constexpr int LinkBufferSize = 1004;
inline constexpr int ReadDeadlineMs = 500;  // Read gives up after this
inline constexpr int ReadPollMs = 1;        // Read sleeps this long before each poll
inline constexpr int WriteConstantMs = 200; // write time-out: 1 ms a byte plus this

using PortHandleType = std::intptr_t;

class SerialLink
{
public:
    // The backend for a port name; null when the name names no transport.
    using BackendFactory = std::function<std::shared_ptr<SerialBackend>(const QString& name)>;

    // The transports and clock of CurrentLinkSeam(): by default transports by
    // port name (OpenTransport) and the monotonic system clock.
    SerialLink();
    // A null factory or clock stands for CurrentLinkSeam()'s.
    explicit SerialLink(BackendFactory factory, std::shared_ptr<LinkClock> clock = nullptr);
    // Every port opened through `backend`.
    explicit SerialLink(std::shared_ptr<SerialBackend> backend,
                        std::shared_ptr<LinkClock> clock = nullptr);
    ~SerialLink();
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // Closes any open port, then opens and configures `name`. On failure reports
    // "Not open " + name through the open-failure reporter and returns false.
    bool Open(const QString& name);
    void Close();
    // Polls every 1 ms for at least n bytes, appending at the buffer's start; false
    // when the 500 ms deadline passes (checked after each read) or no port is open.
    bool Read(int n);
    // Sends bytes 0..n-1 of the buffer; true exactly when all n were written.
    bool Write(int n);
    // Discards pending data of the open port: PURGE_TXCLEAR and/or PURGE_RXCLEAR.
    void Purge(unsigned flags);

    bool IsOpen() const { return *handle_ != 0; }
    // The open port's device hung up.
    bool HungUp() const { return IsOpen() && backend_ && backend_->HungUp(); }
    // The open port, or 0. A new value for every successful open.
    PortHandleType Handle() const { return *handle_; }
    std::uint8_t* Buffer() { return buffer_; }
    const std::uint8_t* Buffer() const { return buffer_; }

    LinkClock& Clock() { return *clock_; }
    // The backend of the open port (or the fixed one); null before the first open.
    SerialBackend* Backend() const { return backend_.get(); }

    // How Open finds the backend for a name; empty with one fixed backend.
    const BackendFactory& Transports() const { return factory_; }
    // Replace the transport (closing any open port first).
    void SetBackend(std::shared_ptr<SerialBackend> backend);
    void SetBackendFactory(BackendFactory factory);
    // Null restores the default.
    void SetClock(std::shared_ptr<LinkClock> clock);
    // How Open shows "Not open " + name. By default the text goes to the debug
    // output. Null restores the default.
    void SetOpenFailureReporter(std::function<void(const QString&)> reporter);
    // Reports "Not open " + name as Open does, for a port whose connection was
    // gone before its first bytes (the backend's FailureReason says why).
    void ReportOpenFailure(const QString& name);

    // Back to the start state: port closed, buffer zeroed, transports by name,
    // system clock, default reporter.
    void Reset();

private:
    friend SerialLink& DefaultLink();
    struct External
    {
        PortHandleType* handle;
        std::uint8_t* buffer;
    };
    // The default link keeps its handle and buffer in the module's globals.
    explicit SerialLink(External storage);
    void reportOpenFailure(const QString& text);

    PortHandleType ownHandle_ = 0;
    std::uint8_t ownBuffer_[LinkBufferSize] = {};
    PortHandleType* handle_ = &ownHandle_;
    std::uint8_t* buffer_ = ownBuffer_;
    PortHandleType lastHandle_ = 0;
    BackendFactory factory_;
    std::shared_ptr<SerialBackend> backend_;
    std::shared_ptr<LinkClock> clock_;
    std::function<void(const QString&)> reporter_;
};

// What a link made without its own transports or clock uses; empty members
// stand for transports by port name and the system clock. Tests replace it
// through ScopedLinkSeam, so that a program's own link reaches a scripted
// station in virtual time.
struct LinkSeam
{
    SerialLink::BackendFactory transports;
    std::shared_ptr<LinkClock> clock;
};
LinkSeam& CurrentLinkSeam();

// Replaces CurrentLinkSeam() for its own lifetime.
class ScopedLinkSeam
{
public:
    explicit ScopedLinkSeam(LinkSeam seam) : saved_(CurrentLinkSeam())
    {
        CurrentLinkSeam() = std::move(seam);
    }
    ~ScopedLinkSeam() { CurrentLinkSeam() = saved_; }
    ScopedLinkSeam(const ScopedLinkSeam&) = delete;
    ScopedLinkSeam& operator=(const ScopedLinkSeam&) = delete;

private:
    LinkSeam saved_;
};

// The link the module-level functions of ComUtilites (OpenPort, ReadPort, ...)
// work on: the window's.
SerialLink& DefaultLink();
