// The link over an injectable transport and clock.
#include "SerialLink.h"

#include "LinkTexts.h"
#include "SystemClock.h"
#include "Transports.h"

#include <QDebug>

#include <algorithm>
#include <cstring>

namespace {

SerialLink::BackendFactory DefaultTransports()
{
    const LinkSeam& seam = CurrentLinkSeam();
    return seam.transports ? seam.transports : SerialLink::BackendFactory(OpenTransport);
}

std::shared_ptr<LinkClock> DefaultClock()
{
    const LinkSeam& seam = CurrentLinkSeam();
    return seam.clock ? seam.clock : std::make_shared<SystemClock>();
}

} // namespace

LinkSeam& CurrentLinkSeam()
{
    static LinkSeam seam;
    return seam;
}

SerialLink::SerialLink() : SerialLink(BackendFactory())
{
}

SerialLink::SerialLink(BackendFactory factory, std::shared_ptr<LinkClock> clock)
    : factory_(factory ? std::move(factory) : DefaultTransports()),
      clock_(clock ? std::move(clock) : DefaultClock())
{
}

SerialLink::SerialLink(std::shared_ptr<SerialBackend> backend, std::shared_ptr<LinkClock> clock)
    : backend_(std::move(backend)), clock_(clock ? std::move(clock) : DefaultClock())
{
}

SerialLink::SerialLink(External storage) : SerialLink()
{
    handle_ = storage.handle;
    buffer_ = storage.buffer;
}

SerialLink::~SerialLink()
{
    Close();
}

void SerialLink::SetBackend(std::shared_ptr<SerialBackend> backend)
{
    Close();
    factory_ = nullptr;
    backend_ = std::move(backend);
}

void SerialLink::SetBackendFactory(BackendFactory factory)
{
    Close();
    factory_ = factory ? std::move(factory) : DefaultTransports();
    backend_.reset();
}

void SerialLink::SetClock(std::shared_ptr<LinkClock> clock)
{
    clock_ = clock ? std::move(clock) : DefaultClock();
}

void SerialLink::SetOpenFailureReporter(std::function<void(const QString&)> reporter)
{
    reporter_ = std::move(reporter);
}

void SerialLink::Reset()
{
    SetBackendFactory(nullptr);
    SetClock(nullptr);
    reporter_ = nullptr;
    std::memset(buffer_, 0, LinkBufferSize);
}

void SerialLink::reportOpenFailure(const QString& text)
{
    if (reporter_)
        reporter_(text);
    else
        qWarning().noquote() << text;
}

void SerialLink::ReportOpenFailure(const QString& name)
{
    reportOpenFailure(LinkTexts::NotOpen(name));
}

bool SerialLink::Open(const QString& name)
{
    if (*handle_ != 0)
        Close();
    if (factory_)
        backend_ = factory_(name); // null: the name names no transport
    if (backend_ && backend_->Open(name)) {
        *handle_ = ++lastHandle_;
        if (*handle_ == 0)
            *handle_ = ++lastHandle_;
        return true;
    }
    *handle_ = 0;
    reportOpenFailure(LinkTexts::NotOpen(name));
    return false;
}

void SerialLink::Close()
{
    if (*handle_ != 0 && backend_)
        backend_->Close();
    *handle_ = 0;
}

bool SerialLink::Read(int n)
{
    if (*handle_ == 0)
        return false;
    LinkClock& time = *clock_;
    SerialBackend& port = *backend_;
    const std::int64_t deadline = time.NowMs() + ReadDeadlineMs;
    int received = 0;
    for (;;) {
        time.SleepMs(ReadPollMs);
        // The full n each time, not only the missing count (so up to 2n - 1 bytes).
        const int room = std::min(n, LinkBufferSize - received);
        if (room > 0) {
            const std::int64_t got = port.Read(buffer_ + received, room);
            if (got > 0)
                received += int(got); // a failed read counts as zero bytes
        }
        if (time.NowMs() > deadline)
            return false;
        if (received >= n)
            return true;
    }
}

bool SerialLink::Write(int n)
{
    if (*handle_ == 0)
        return false;
    n = std::clamp(n, 0, LinkBufferSize);
    const std::int64_t written = backend_->Write(buffer_, n, n * 1 + WriteConstantMs);
    return written == n;
}

void SerialLink::Purge(unsigned flags)
{
    if (*handle_ != 0)
        backend_->Purge(flags & (PURGE_TXCLEAR | PURGE_RXCLEAR));
}
