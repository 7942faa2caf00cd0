// The one place that chooses the backend for a port name: "rfc2217://" and
// "socket://" names are network ports, every other name a local serial port.
#pragma once

#include "ComUtilites.h"

#include <memory>

// A new backend for `name`.
std::shared_ptr<SerialBackend> MakeBackendFor(const QString& name);

// The module's default backend: picks the backend for each Open by the port's
// name and forwards everything to it. The local port's backend is kept across
// opens; a network one lives from its Open to the next.
class PortBackend : public SerialBackend
{
public:
    PortBackend();
    ~PortBackend() override;

    bool Open(const QString& name) override;
    void Close() override;
    std::int64_t Read(std::uint8_t* dest, std::int64_t maxBytes) override;
    std::int64_t Write(const std::uint8_t* src, std::int64_t count, int timeoutMs) override;
    void Purge(unsigned flags) override;
    QString FailureReason() const override;
    bool HungUp() const override;

    // The local serial port's backend, the platform's (also when a network
    // port is open).
    SerialBackend& Local();
    // The backend of the last Open, or null before the first.
    SerialBackend* Active() const { return active_; }

private:
    std::shared_ptr<SerialBackend> local_;
    std::shared_ptr<SerialBackend> network_;
    SerialBackend* active_ = nullptr;
};
