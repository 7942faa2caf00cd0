// The transfer engine, step by step. Every step reads the engine's members afresh, so a
// tick that shows "Записано" (with nested ticks running inside the message)
// finishes with the state those nested ticks left.
#include "TransferEngine.h"

#include "ComUtilites.h"
#include "ConfigModel.h"
#include "LinkFrames.h"
#include "LinkTexts.h"

#include <QMetaObject>

#include <algorithm>

namespace {
constexpr int TimeoutPosition = 14;
constexpr int PositionStep = 15;
constexpr int IdleSleepMs = 300;
constexpr int LastBlock = ParamImage::BlockCount - 1;
} // namespace

TransferEngine::TransferEngine(ConfigModel& model, MessageSink& messages, QObject* parent)
    : QObject(parent), model_(model), messages_(messages)
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

void TransferEngine::ConnectPort()
{
    const QString name = model_.currentPortName();
    if (!OpenPort(name))
        return; // OpenPort has shown "Not open "
    if (!ReadPort(InviteFrameSize)) {
        messages_.ShowMessage(LinkTexts::NoDevice);
        ClosePort();
        model_.setPortIndex(-1);
        return;
    }
    if (IsInvitation()) {
        PutWakeFrame();
        if (!WritePort(WakeFrameSize))
            return;
    }
    // Any other 4 bytes count as a live station too.
    portReady_ = true;
    setPosition(0);
    setVisible(true);
    blockIndex_ = 0;
    readRequested_ = true;
    // A write still requested starts over from block 0, perhaps with another
    // station: none of its blocks has reached this one yet.
    writtenBlocks_ = 0;
}

void TransferEngine::StartRead()
{
    setPosition(0);
    setVisible(true);
    blockIndex_ = 0;
    readRequested_ = true;
    writtenBlocks_ = 0; // as in ConnectPort: a write still requested starts over
}

void TransferEngine::StartWrite()
{
    model_.TableToImage();
    setPosition(0);
    setVisible(true);
    blockIndex_ = 0;
    writeRequested_ = true;
    writtenBlocks_ = 0;
}

void TransferEngine::Tick()
{
    // 1.
    if (!visible_)
        return;
    // 2.
    setPosition(position_ + 1);
    // 3. No reply accepted since the start.
    if (position_ == TimeoutPosition) {
        readRequested_ = false;
        writeRequested_ = false;
        setPosition(0);
        setVisible(false);
        messages_.ShowMessage(LinkTexts::NotConnected);
    }
    // 4.
    if (portReady_ && PortIsOpen() && ReadPort(BlockFrameSize)) {
        if (ReplyAccepted(blockIndex_)) {
            setPosition((position_ / PositionStep) * PositionStep + PositionStep);
            const bool storeable = !writeRequested_ || (writtenBlocks_ & (1u << blockIndex_));
            if (readRequested_ && !model_.ConfigLocked() && storeable)
                model_.image().setBlock(blockIndex_, LinkBuffer + 5);
            if (position_ > PositionStep)
                ++blockIndex_;
        }
        if (blockIndex_ > LastBlock) {
            blockIndex_ = 0;
            if (writeRequested_) {
                writeRequested_ = false;
                // Nested ticks may run inside this message (TickQueue); the rest
                // of this tick goes on with the state they leave.
                messages_.ShowMessage(LinkTexts::Written);
            }
            if (readRequested_)
                model_.ImageToTable();
            readRequested_ = false;
            setVisible(false);
        }
        const std::uint8_t command =
            writeRequested_ ? CommandWrite : readRequested_ ? CommandRead : CommandRest;
        PutRequest(command, blockIndex_, model_.image());
        if (command == CommandWrite)
            writtenBlocks_ |= 1u << blockIndex_;
        PurgePort(PURGE_TXCLEAR);
        PurgePort(PURGE_RXCLEAR);
        WritePort(BlockFrameSize); // a failed write is ignored: the next tick reads again
        PurgePort(PURGE_RXCLEAR);
        return;
    }
    // 5. The station's invitation in place of a reply.
    if (portReady_ && PortIsOpen() && visible_ && IsInvitation()) {
        PutWakeFrame();
        WritePort(WakeFrameSize);
        return;
    }
    // 6.
    CurrentLinkClock().SleepMs(IdleSleepMs);
    PurgePort(PURGE_RXCLEAR);
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
