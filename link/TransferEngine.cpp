// The transfer engine, step by step. Every step reads the engine's members afresh, so a
// tick that shows "Записано" (with nested ticks running inside the message)
// finishes with the state those nested ticks left.
#include "TransferEngine.h"

#include "ConfigModel.h"
#include "LinkFrames.h"
#include "SerialLink.h"

#include <QMetaObject>

#include <algorithm>

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
    setPosition(0);
    setVisible(true);
    blockIndex_ = 0;
    writtenBlocks_ = 0;
}

LinkOutcome TransferEngine::ConnectPort()
{
    const QString name = model_.currentPortName();
    if (!link_.Open(name))
        return LinkOutcome::PortNotOpened; // the link has reported "Not open "
    std::uint8_t* buffer = link_.Buffer();
    if (!link_.Read(InviteFrameSize)) {
        messages_.ShowMessage(LinkOutcome::NoDevice);
        link_.Close();
        model_.setPortIndex(-1);
        return LinkOutcome::NoDevice;
    }
    if (IsInvitation(buffer)) {
        PutWakeFrame(buffer);
        if (!link_.Write(WakeFrameSize))
            return LinkOutcome::WakeNotSent;
    }
    // Any other 4 bytes count as a live station too.
    portReady_ = true;
    beginTransfer();
    readRequested_ = true;
    return LinkOutcome::Connected;
}

void TransferEngine::StartRead()
{
    beginTransfer();
    readRequested_ = true;
}

void TransferEngine::StartWrite()
{
    model_.TableToImage();
    beginTransfer();
    writeRequested_ = true;
}

void TransferEngine::Tick()
{
    if (!visible_)
        return; // idle
    setPosition(position_ + 1);
    if (position_ == TimeoutPosition)
        timeOutWithoutReply(); // and the tick goes on
    if (portReady_ && link_.IsOpen() && link_.Read(BlockFrameSize)) {
        if (answerReply())
            finishTransfer();
        sendRequest();
        return;
    }
    // The station's invitation in place of a reply: wake it again.
    if (portReady_ && link_.IsOpen() && visible_ && IsInvitation(link_.Buffer())) {
        PutWakeFrame(link_.Buffer());
        link_.Write(WakeFrameSize);
        return;
    }
    // Nothing to answer.
    link_.Clock().SleepMs(IdleSleepMs);
    link_.Purge(PURGE_RXCLEAR);
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
        const bool storeable = !writeRequested_ || (writtenBlocks_ & (1u << blockIndex_));
        if (readRequested_ && !model_.ConfigLocked() && storeable)
            model_.image().setBlock(blockIndex_, reply + 5);
        // The first accepted reply only raises the position.
        if (position_ > PositionStep)
            ++blockIndex_;
    }
    return blockIndex_ > LastBlock;
}

void TransferEngine::finishTransfer()
{
    blockIndex_ = 0;
    LinkOutcome outcome = LinkOutcome::Read;
    if (writeRequested_) {
        writeRequested_ = false;
        outcome = LinkOutcome::Written;
        // Nested ticks may run inside this message (TickQueue); the rest
        // of this tick goes on with the state they leave.
        messages_.ShowMessage(LinkOutcome::Written);
    }
    if (readRequested_)
        model_.ImageToTable();
    readRequested_ = false;
    setVisible(false);
    emit transferEnded(outcome);
}

void TransferEngine::sendRequest()
{
    std::uint8_t* buffer = link_.Buffer();
    const std::uint8_t command = writeRequested_  ? CommandWrite
                                 : readRequested_ ? CommandRead
                                                  : CommandRest;
    PutRequest(buffer, command, blockIndex_, model_.image());
    if (command == CommandWrite)
        writtenBlocks_ |= 1u << blockIndex_;
    link_.Purge(PURGE_TXCLEAR);
    link_.Purge(PURGE_RXCLEAR);
    link_.Write(BlockFrameSize); // a failed write is ignored: the next tick reads again
    link_.Purge(PURGE_RXCLEAR);
}

TickQueue::TickQueue(TransferEngine& engine, QObject* parent) : QObject(parent), engine_(engine) {}

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
            engine_.Tick();
        },
        Qt::QueuedConnection);
}
