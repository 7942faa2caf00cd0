// The port of a station simulator running in this program ("station:NAME"):
// the program's end of the in-process line the station registered under NAME.
//
// Like the other backends: reads never wait, a write waits for room in the
// line within its time-out and what does not fit by then is not sent, the
// unread input is bounded (LoopbackLine::Capacity). When the station hangs up,
// reads and writes fail and HungUp() and FailureReason() say so until the port
// is opened again; closing the port is the program closing its side.
#pragma once

#include "SerialBackend.h"

#include <memory>

class LoopbackLine;

class StationBackend : public SerialBackend
{
public:
    ~StationBackend() override;

    bool Open(const QString& name) override;
    void Close() override;
    std::int64_t Read(std::uint8_t* dest, std::int64_t maxBytes) override;
    std::int64_t Write(const std::uint8_t* src, std::int64_t count, int timeoutMs) override;
    void Purge(unsigned flags) override;
    bool HungUp() const override;
    QString FailureReason() const override;

    // The registry name in a "station:NAME" port name.
    static QString LineName(const QString& portName);

private:
    std::shared_ptr<LoopbackLine> line_;
    std::uint64_t session_ = 0;
    QString name_;
    QString failure_;
};
