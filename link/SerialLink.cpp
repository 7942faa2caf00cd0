// The link over an injectable transport and clock.
#include "SerialLink.h"

#include "LinkTexts.h"

#include <QDebug>

#include <algorithm>

SerialLink::SerialLink(BackendFactory factory, std::shared_ptr<LinkClock> clock)
    : factory_(std::move(factory)), clock_(std::move(clock))
{
}

SerialLink::SerialLink(std::shared_ptr<SerialBackend> backend, std::shared_ptr<LinkClock> clock)
    : backend_(std::move(backend)), clock_(std::move(clock))
{
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
    factory_ = std::move(factory);
    backend_.reset();
}

void SerialLink::SetClock(std::shared_ptr<LinkClock> clock)
{
    clock_ = std::move(clock);
}

void SerialLink::SetOpenFailureReporter(std::function<void(const QString&)> reporter)
{
    reporter_ = std::move(reporter);
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
    if (open_)
        Close();
    if (factory_)
        backend_ = factory_(name); // null: the name names no transport
    open_ = backend_ && backend_->Open(name);
    if (!open_)
        reportOpenFailure(LinkTexts::NotOpen(name));
    return open_;
}

void SerialLink::Close()
{
    if (open_ && backend_)
        backend_->Close();
    open_ = false;
}

bool SerialLink::Read(int n)
{
    if (!open_)
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
    if (!open_)
        return false;
    n = std::clamp(n, 0, LinkBufferSize);
    const std::int64_t written = backend_->Write(buffer_, n, n * 1 + WriteConstantMs);
    return written == n;
}

void SerialLink::Purge(unsigned flags)
{
    if (open_)
        backend_->Purge(flags & (PurgeTx | PurgeRx));
}
