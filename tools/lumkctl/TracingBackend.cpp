// Tracing decorator over the serial backend.
#include "TracingBackend.h"

#include "CtlTexts.h"

#include <QString>

TracingBackend::TracingBackend(std::shared_ptr<SerialBackend> inner, LineSink sink, TimeSource now)
    : inner_(std::move(inner)), sink_(std::move(sink)), now_(std::move(now))
{
}

TracingBackend::~TracingBackend()
{
    FlushReceived();
}

bool TracingBackend::Open(const QString& name)
{
    FlushReceived();
    return inner_->Open(name);
}

void TracingBackend::Close()
{
    FlushReceived();
    inner_->Close();
}

std::int64_t TracingBackend::Read(std::uint8_t* dest, std::int64_t maxBytes)
{
    const std::int64_t got = inner_->Read(dest, maxBytes);
    if (got > 0) {
        if (received_.isEmpty())
            receivedAt_ = now_();
        received_.append(reinterpret_cast<const char*>(dest), got);
    }
    return got;
}

std::int64_t TracingBackend::Write(const std::uint8_t* src, std::int64_t count, int timeoutMs)
{
    FlushReceived();
    const QTime at = now_();
    const std::int64_t written = inner_->Write(src, count, timeoutMs);
    sink_(FormatLine(at, true, QByteArray(reinterpret_cast<const char*>(src), count), written));
    return written;
}

void TracingBackend::Purge(unsigned flags)
{
    FlushReceived();
    inner_->Purge(flags);
}

void TracingBackend::FlushReceived()
{
    if (received_.isEmpty())
        return;
    sink_(FormatLine(receivedAt_, false, received_));
    received_.clear();
}

QString TracingBackend::FormatLine(const QTime& at, bool sent, const QByteArray& bytes,
                                   std::int64_t written)
{
    QString line = at.toString(QStringLiteral("HH:mm:ss.zzz"));
    line += sent ? QStringLiteral(" TX ") : QStringLiteral(" RX ");
    line += QString::fromLatin1(bytes.toHex(' ').toUpper());
    if (sent && written != bytes.size()) {
        line += written < 0 ? CtlTexts::TraceNotSent
                            : CtlTexts::TracePartlySent.arg(written).arg(bytes.size());
    }
    return line;
}
