#include "StationBackend.h"

#include "LoopbackLine.h"
#include "StationTexts.h"

StationBackend::~StationBackend()
{
    Close();
}

QString StationBackend::LineName(const QString& portName)
{
    return portName.section(QLatin1Char(':'), 1);
}

bool StationBackend::Open(const QString& name)
{
    Close();
    name_ = name;
    failure_.clear();
    const std::shared_ptr<LoopbackLine> line = FindLoopbackLine(LineName(name));
    if (!line) {
        failure_ = StationTexts::Unknown.arg(name);
        return false;
    }
    switch (line->ProgramOpen(session_)) {
    case LoopbackLine::OpenResult::Opened:
        line_ = line;
        return true;
    case LoopbackLine::OpenResult::Down:
        failure_ = StationTexts::Down.arg(name);
        return false;
    case LoopbackLine::OpenResult::Busy:
        failure_ = StationTexts::Busy.arg(name);
        return false;
    }
    return false;
}

void StationBackend::Close()
{
    if (line_)
        line_->ProgramClose(session_);
    line_.reset();
    session_ = 0;
}

std::int64_t StationBackend::Read(std::uint8_t* dest, std::int64_t maxBytes)
{
    return line_ ? line_->ProgramRead(session_, dest, maxBytes) : -1;
}

std::int64_t StationBackend::Write(const std::uint8_t* src, std::int64_t count, int timeoutMs)
{
    return line_ ? line_->ProgramWrite(session_, src, count, timeoutMs) : -1;
}

void StationBackend::Purge(unsigned flags)
{
    if (line_)
        line_->ProgramPurge(session_, flags & PurgeTx, flags & PurgeRx);
}

bool StationBackend::HungUp() const
{
    return line_ && line_->ProgramHungUp(session_);
}

QString StationBackend::FailureReason() const
{
    return HungUp() ? StationTexts::HungUp.arg(name_) : failure_;
}
