// The transfer engine, step by step. Every step reads the engine's members afresh, so a
// tick that shows "Записано" (with nested ticks running inside the message)
// finishes with the state those nested ticks left.
#include "TransferEngine.h"

#include "ConfigModel.h"
#include "LinkFrames.h"
#include "SerialLink.h"

#include <QMetaObject>

#include <algorithm>
#include <optional>

namespace {
constexpr int TimeoutPosition = 14;
constexpr int PositionStep = 15;
constexpr int IdleSleepMs = 300;
constexpr int LastBlock = ParamImage::BlockCount - 1;
} // namespace

TransferEngine::TransferEngine(ConfigModel& model, MessageSink& messages, SerialLink& link,
                               QObject* parent)
    : QObject(parent), model_(model), messages_(messages), link_(link)
{
}

void TransferEngine::setPosition(int position)
{
    position = std::clamp(position, 0, 100);
    if (position == position_)
        return;
    position_ = position;
    emit progressChanged(position_, visible_);
}

void TransferEngine::setVisible(bool visible)
{
    if (visible == visible_)
        return;
    visible_ = visible;
    emit progressChanged(position_, visible_);
}

TransferPhase TransferEngine::phase() const
{
    if (!visible_)
        return TransferPhase::Idle;
    return position_ < PositionStep ? TransferPhase::WaitingForReply : TransferPhase::Transferring;
}

void TransferEngine::beginTransfer()
{
    check_ = Check::None;
    setPosition(0);
    setVisible(true);
    blockIndex_ = 0;
    writtenBlocks_ = 0;
    confirmedBlocks_ = 0;
}

LinkOutcome TransferEngine::ConnectPort(const QString& port, ConnectRead how)
{
    if (!link_.Open(port))
        return LinkOutcome::PortNotOpened; // the link has reported "Not open "
    std::uint8_t* buffer = link_.Buffer();
    if (!link_.Read(InviteFrameSize)) {
        // A connection the server closed at once is no silent device: the port
        // did not open, for the reason its backend knows.
        const bool gone = link_.Backend() && !link_.Backend()->FailureReason().isEmpty();
        if (gone)
            link_.ReportOpenFailure(port);
        else
            messages_.ShowMessage(LinkOutcome::NoDevice);
        link_.Close();
        return gone ? LinkOutcome::PortNotOpened : LinkOutcome::NoDevice;
    }
    if (IsInvitation(buffer)) {
        PutWakeFrame(buffer);
        if (!link_.Write(WakeFrameSize))
            return LinkOutcome::WakeNotSent;
    }
    // Any other 4 bytes count as a live station too.
    portReady_ = true;
    linkPort_ = port;
    deviceKnown_ = false;
    // A write still requested starts over from block 0, perhaps with another
    // station: none of its blocks has reached this one yet.
    writtenBlocks_ = 0;
    confirmedBlocks_ = 0;
    if (how == ConnectRead::DeviceOnly && !writeRequested_) {
        readRequested_ = false; // a read still waiting on the port left behind ends: the table stays
        startCheck(Check::Device);
        return LinkOutcome::Connected;
    }
    beginTransfer();
    readRequested_ = true;
    readPure_ = !writeRequested_;
    return LinkOutcome::Connected;
}

void TransferEngine::StartRead()
{
    beginTransfer();
    readRequested_ = true;
    readPure_ = !writeRequested_;
}

void TransferEngine::StartWrite(WriteFrom from)
{
    if (from == WriteFrom::Table)
        model_.TableToImage();
    beginTransfer();
    writeRequested_ = true;
    readPure_ = false;
    deviceKnown_ = false; // the device is being changed
}

void TransferEngine::StartDeviceRead()
{
    startCheck(Check::Device);
}

void TransferEngine::startCheck(Check check)
{
    check_ = check;
    ticksWithoutReply_ = 0;
    setPosition(0);
    setVisible(true);
    blockIndex_ = 0;
}

void TransferEngine::Stop()
{
    readRequested_ = false;
    writeRequested_ = false;
    check_ = Check::None;
    blockIndex_ = 0;
    writtenBlocks_ = 0;
    confirmedBlocks_ = 0;
    setPosition(0);
    setVisible(false);
}

int TransferEngine::WriteConfirmedBlocks() const
{
    int n = 0;
    for (unsigned bits = confirmedBlocks_; bits; bits &= bits - 1)
        ++n;
    return n;
}

void TransferEngine::Tick()
{
    if (!visible_)
        return; // idle
    setPosition(position_ + 1);
    // A check read ends unconfirmed after as many silent ticks as a start may
    // wait; it never shows "Не подключен ЛУМ-К".
    const Check checking = check_;
    const bool checkFailed = check_ != Check::None && ++ticksWithoutReply_ >= TimeoutPosition;
    if (checkFailed) {
        check_ = Check::None;
        setPosition(0);
        setVisible(false);
    }
    if (!checkFailed && position_ == TimeoutPosition)
        timeOutWithoutReply(); // and the tick goes on
    TickEnd end;
    if (portReady_ && link_.IsOpen() && link_.Read(BlockFrameSize)) {
        if (answerReply())
            finishTransfer(end);
        sendRequest();
    } else if (portReady_ && link_.IsOpen() && visible_ && IsInvitation(link_.Buffer())) {
        // The station's invitation in place of a reply: wake it again.
        PutWakeFrame(link_.Buffer());
        link_.Write(WakeFrameSize);
    } else {
        // Nothing to answer.
        link_.Clock().SleepMs(IdleSleepMs);
        link_.Purge(PurgeRx);
    }
    // The read-back of a write and the device-only read come after the
    // exchange itself, so its frames and ticks stay as they are up to "Записано".
    endCheck(checking, end.checkDone, checkFailed);
    if (end.verifyNow && !visible_)
        startCheck(Check::Verify);
}

void TransferEngine::timeOutWithoutReply()
{
    readRequested_ = false;
    writeRequested_ = false;
    setPosition(0);
    setVisible(false);
    messages_.ShowMessage(LinkOutcome::NotConnected);
    emit transferEnded(LinkOutcome::NotConnected);
}

bool TransferEngine::answerReply()
{
    const std::uint8_t* reply = link_.Buffer();
    if (ReplyAccepted(reply, blockIndex_)) {
        setPosition((position_ / PositionStep) * PositionStep + PositionStep);
        const bool echoed = writtenBlocks_ & (1u << blockIndex_);
        if (writeRequested_ && echoed)
            confirmedBlocks_ |= 1u << blockIndex_;
        const bool storeable = !writeRequested_ || echoed;
        if (readRequested_ && storeable)
            readCopy_.setBlock(blockIndex_, reply + 5);
        if (readRequested_ && !model_.ConfigLocked() && storeable)
            model_.image().setBlock(blockIndex_, reply + 5);
        if (check_ != Check::None) {
            scratch_.setBlock(blockIndex_, reply + 5);
            ticksWithoutReply_ = 0;
        }
        // The first accepted reply only raises the position.
        if (position_ > PositionStep)
            ++blockIndex_;
    }
    return blockIndex_ > LastBlock;
}

void TransferEngine::finishTransfer(TickEnd& end)
{
    blockIndex_ = 0;
    std::optional<LinkOutcome> ended;
    if (writeRequested_) {
        writeRequested_ = false;
        expected_ = model_.image();
        end.verifyNow = verifyWrites_;
        ended = LinkOutcome::Written;
        // Nested ticks may run inside this message (TickQueue); the rest
        // of this tick goes on with the state they leave.
        messages_.ShowMessage(LinkOutcome::Written);
    }
    if (readRequested_) {
        model_.ImageToTable();
        if (readPure_) {
            deviceImage_ = readCopy_;
            deviceKnown_ = true;
        }
        if (!ended)
            ended = LinkOutcome::Read;
        emit tableRead();
    }
    if (check_ != Check::None && !readRequested_) {
        end.checkDone = true;
        check_ = Check::None;
    }
    readRequested_ = false;
    setVisible(false);
    if (ended)
        emit transferEnded(*ended);
}

void TransferEngine::sendRequest()
{
    std::uint8_t* buffer = link_.Buffer();
    const std::uint8_t command = writeRequested_                           ? CommandWrite
                                 : readRequested_ || check_ != Check::None ? CommandRead
                                                                           : CommandRest;
    PutRequest(buffer, command, blockIndex_, model_.image());
    if (command == CommandWrite)
        writtenBlocks_ |= 1u << blockIndex_;
    link_.Purge(PurgeTx);
    link_.Purge(PurgeRx);
    link_.Write(BlockFrameSize); // a failed write is ignored: the next tick reads again
    link_.Purge(PurgeRx);
}

void TransferEngine::endCheck(Check checking, bool done, bool failed)
{
    if (done) {
        deviceImage_ = scratch_;
        deviceKnown_ = true;
    }
    if (!done && !failed)
        return;
    if (checking == Check::Verify) {
        WriteCheck result;
        result.confirmed = done;
        for (int i = 0; done && i < ParamImage::StoredSize; ++i) {
            if (scratch_.byte(i) != expected_.byte(i))
                ++(i < 64 ? result.differingAddresses : result.differingOtherBytes);
        }
        emit writeChecked(result);
    } else if (checking == Check::Device) {
        emit deviceRead(done);
    }
}

TickQueue::TickQueue(TransferEngine& engine, QObject* parent)
    : TickQueue([&engine] { engine.Tick(); }, parent)
{
}

TickQueue::TickQueue(std::function<void()> tick, QObject* parent)
    : QObject(parent), tick_(std::move(tick))
{
}

void TickQueue::Post()
{
    if (pending_)
        return;
    pending_ = true;
    // Queued, so it also runs inside the nested event loop of a modal message
    // that a running tick has opened; pending_ clears before the tick starts, so
    // a tick inside a message can itself be followed by nested ticks.
    QMetaObject::invokeMethod(
        this,
        [this] {
            pending_ = false;
            tick_();
        },
        Qt::QueuedConnection);
}
