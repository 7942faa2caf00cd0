// The serial backend of Windows, on the Win32 communications calls: the port
// opened exclusively as \\.\NAME, 2400 baud 8N1 in binary mode with DTR off,
// RTS on and no flow control, reads that never wait and writes with a time-out
// of 1 ms a byte plus 200 ms.
//
// Like the Linux backend: the driver's receive queue is bounded; a write that
// times out is abandoned whole (its unsent bytes are purged, never sent later in
// front of the next frame); and Close lets the transmitter drain, for a bounded
// time, before the handle goes.
#pragma once

#include "SerialBackend.h"

#include <QString>

#include <cstdint>

class Win32SerialBackend : public SerialBackend
{
public:
    // Why the last Open failed.
    enum class OpenFault {
        None,
        Busy,     // another program holds the port (ERROR_ACCESS_DENIED)
        NotFound, // no such port
        Settings, // the line settings or time-outs were refused
        Other,
    };

    Win32SerialBackend() = default;
    ~Win32SerialBackend() override;
    Win32SerialBackend(const Win32SerialBackend&) = delete;
    Win32SerialBackend& operator=(const Win32SerialBackend&) = delete;

    bool Open(const QString& name) override;
    void Close() override;
    std::int64_t Read(std::uint8_t* dest, std::int64_t maxBytes) override;
    std::int64_t Write(const std::uint8_t* src, std::int64_t count, int timeoutMs) override;
    void Purge(unsigned flags) override;

    OpenFault LastOpenFault() const { return fault_; }
    // The Win32 error code of the last failed Open, 0 after a successful one.
    unsigned long LastOpenError() const { return openError_; }

    // What the driver holds of unread input and unsent output at most.
    static constexpr int QueueBytes = 4096;
    // How long Close waits for the transmit queue to empty before it discards it.
    static constexpr int DrainLimitMs = 1000;

private:
    bool Fail(OpenFault fault, unsigned long error);
    bool SetWriteTimeout(int totalMs);

    void* handle_ = nullptr;  // a HANDLE; null when closed
    int writeTimeoutMs_ = -1; // the write time-out in force, -1 for multiplier 1 + 200
    OpenFault fault_ = OpenFault::None;
    unsigned long openError_ = 0;
};
