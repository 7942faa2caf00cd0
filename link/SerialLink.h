// One link to a station: the transport, the clock, whether a port is open, the
// buffer all traffic passes through, and how a failed open is reported.
//
// Every program makes its own link and says which transports and clock it
// runs on: transports by port name (OpenTransport) and the system clock in
// the programs, a scripted port in virtual time in tests.
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

class SerialLink
{
public:
    // The backend for a port name; null when the name names no transport.
    using BackendFactory = std::function<std::shared_ptr<SerialBackend>(const QString& name)>;

    // Each port opened through the backend `factory` gives for its name.
    SerialLink(BackendFactory factory, std::shared_ptr<LinkClock> clock);
    // Every port opened through `backend`.
    SerialLink(std::shared_ptr<SerialBackend> backend, std::shared_ptr<LinkClock> clock);
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
    // Discards pending data of the open port: PurgeTx and/or PurgeRx.
    void Purge(unsigned flags);

    bool IsOpen() const { return open_; }
    // The open port's device hung up.
    bool HungUp() const { return open_ && backend_ && backend_->HungUp(); }
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
    void SetClock(std::shared_ptr<LinkClock> clock);
    // How Open shows "Not open " + name. By default the text goes to the debug
    // output. Null restores the default.
    void SetOpenFailureReporter(std::function<void(const QString&)> reporter);
    // Reports "Not open " + name as Open does, for a port whose connection was
    // gone before its first bytes (the backend's FailureReason says why).
    void ReportOpenFailure(const QString& name);

private:
    void reportOpenFailure(const QString& text);

    bool open_ = false;
    std::uint8_t buffer_[LinkBufferSize] = {};
    BackendFactory factory_;
    std::shared_ptr<SerialBackend> backend_;
    std::shared_ptr<LinkClock> clock_;
    std::function<void(const QString&)> reporter_;
};
