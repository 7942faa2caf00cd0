// A serial backend that passes everything to the real one and prints every
// frame sent and received as timestamped hexadecimal, for support. Received
// bytes arrive a few at a time; they are gathered and printed as one line at
// the next write, purge or close, which is where the engine ends a frame.
#pragma once

#include "SerialBackend.h"

#include <QByteArray>
#include <QTime>

#include <functional>
#include <memory>

class TracingBackend : public SerialBackend
{
public:
    using LineSink = std::function<void(const QString&)>;
    using TimeSource = std::function<QTime()>;

    TracingBackend(std::shared_ptr<SerialBackend> inner, LineSink sink,
                   TimeSource now = &QTime::currentTime);
    ~TracingBackend() override;

    bool Open(const QString& name) override;
    void Close() override;
    std::int64_t Read(std::uint8_t* dest, std::int64_t maxBytes) override;
    std::int64_t Write(const std::uint8_t* src, std::int64_t count, int timeoutMs) override;
    void Purge(unsigned flags) override;
    QString FailureReason() const override { return inner_->FailureReason(); }

    // "12:34:56.789 TX FF 80 0F 0F 7F"; a short write adds how much went out.
    static QString FormatLine(const QTime& at, bool sent, const QByteArray& bytes,
                              std::int64_t written = -1);

private:
    void FlushReceived();

    std::shared_ptr<SerialBackend> inner_;
    LineSink sink_;
    TimeSource now_;
    QByteArray received_;
    QTime receivedAt_;
};
