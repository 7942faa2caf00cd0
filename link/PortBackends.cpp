#include "PortBackends.h"

#include "NetworkBackend.h"
#include "DefaultSerialBackend.h"

std::shared_ptr<SerialBackend> MakeBackendFor(const QString& name)
{
    if (IsNetworkPortName(name))
        return std::make_shared<NetworkBackend>();
    return MakeDefaultSerialBackend();
}

PortBackend::PortBackend() = default;

PortBackend::~PortBackend()
{
    Close();
}

SerialBackend& PortBackend::Local()
{
    if (!local_)
        local_ = MakeDefaultSerialBackend();
    return *local_;
}

bool PortBackend::Open(const QString& name)
{
    Close();
    if (IsNetworkPortName(name)) {
        network_ = MakeBackendFor(name);
        active_ = network_.get();
    } else {
        network_.reset();
        active_ = &Local();
    }
    return active_->Open(name);
}

void PortBackend::Close()
{
    if (active_)
        active_->Close();
}

std::int64_t PortBackend::Read(std::uint8_t* dest, std::int64_t maxBytes)
{
    return active_ ? active_->Read(dest, maxBytes) : -1;
}

std::int64_t PortBackend::Write(const std::uint8_t* src, std::int64_t count, int timeoutMs)
{
    return active_ ? active_->Write(src, count, timeoutMs) : -1;
}

void PortBackend::Purge(unsigned flags)
{
    if (active_)
        active_->Purge(flags);
}

QString PortBackend::FailureReason() const
{
    return active_ ? active_->FailureReason() : QString();
}

bool PortBackend::HungUp() const
{
    return active_ && active_->HungUp();
}
