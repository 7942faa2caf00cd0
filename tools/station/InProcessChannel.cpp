// The station behind an in-process line: the program reaches it as the port
// "station:NAME" through the link's transports.
#include "LoopbackLine.h"
#include "StationChannel.h"

namespace {

class InProcessChannel final : public StationChannel
{
public:
    explicit InProcessChannel(QString name) : name_(std::move(name)) {}
    ~InProcessChannel() override { Close(); }

    bool Open(QString* error) override
    {
        if (!registered_) {
            if (!RegisterLoopbackLine(name_, line_)) {
                if (error)
                    *error = QStringLiteral("a station named \"%1\" already runs").arg(name_);
                return false;
            }
            registered_ = true;
        }
        line_->Connect();
        up_ = true;
        return true;
    }
    bool Up() const override { return up_; }
    QString ProgramSidePath() const override { return QStringLiteral("station:") + name_; }
    void TakeEvents(Events& events) override
    {
        for (const bool opened : line_->TakeEvents()) {
            if (opened)
                events.sideOpened();
            else
                events.sideClosed();
        }
    }
    std::int64_t Read(std::uint8_t* dest, std::size_t max) override
    {
        return std::int64_t(line_->DeviceRead(dest, max));
    }
    std::int64_t Write(const std::uint8_t* src, std::size_t count) override
    {
        return std::int64_t(line_->DeviceWrite(src, count));
    }
    void DiscardUnread() override { line_->DiscardToProgram(); }
    void Wait(std::int64_t ms, bool forInput) override { line_->Wait(ms, forInput); }
    void Interrupt() override { line_->Interrupt(); }
    void HangUp() override
    {
        line_->HangUp();
        up_ = false;
    }
    void Close() override
    {
        HangUp();
        if (registered_)
            UnregisterLoopbackLine(name_, line_.get());
        registered_ = false;
    }

private:
    const QString name_;
    const std::shared_ptr<LoopbackLine> line_ = std::make_shared<LoopbackLine>();
    bool registered_ = false;
    bool up_ = false;
};

} // namespace

std::unique_ptr<StationChannel> MakeInProcessChannel(const QString& name)
{
    return std::make_unique<InProcessChannel>(name);
}
