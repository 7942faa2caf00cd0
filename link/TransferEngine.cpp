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

void TransferEngine::ConnectPort(ConnectRead how)
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
    linkPort_ = name;
    deviceKnown_ = false;
    // A write still requested starts over from block 0, perhaps with another
    // station: none of its blocks has reached this one yet.
    writtenBlocks_ = 0;
    confirmedBlocks_ = 0;
    if (how == ConnectRead::DeviceOnly && !writeRequested_) {
        startCheck(Check::Device);
        return;
    }
    check_ = Check::None;
    setPosition(0);
    setVisible(true);
    blockIndex_ = 0;
    readRequested_ = true;
    readPure_ = !writeRequested_;
}

void TransferEngine::StartRead()
{
    check_ = Check::None;
    setPosition(0);
    setVisible(true);
    blockIndex_ = 0;
    readRequested_ = true;
    readPure_ = !writeRequested_;
    writtenBlocks_ = 0; // as in ConnectPort: a write still requested starts over
    confirmedBlocks_ = 0;
}

void TransferEngine::StartWrite()
{
    check_ = Check::None;
    model_.TableToImage();
    setPosition(0);
    setVisible(true);
    blockIndex_ = 0;
    writeRequested_ = true;
    readPure_ = false;
    writtenBlocks_ = 0;
    confirmedBlocks_ = 0;
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

int TransferEngine::WriteConfirmedBlocks() const
{
    int n = 0;
    for (unsigned bits = confirmedBlocks_; bits; bits &= bits - 1)
        ++n;
    return n;
}

void TransferEngine::Tick()
{
    // 1.
    if (!visible_)
        return;
    // 2.
    setPosition(position_ + 1);
    // A check read ends unconfirmed after as many silent ticks as a start may
    // wait; it never shows "Не подключен ЛУМ-К".
    bool checkFailed = false;
    const Check checking = check_;
    if (check_ != Check::None && ++ticksWithoutReply_ >= TimeoutPosition) {
        check_ = Check::None;
        checkFailed = true;
        setPosition(0);
        setVisible(false);
    }
    // 3. No reply accepted since the start.
    if (!checkFailed && position_ == TimeoutPosition) {
        readRequested_ = false;
        writeRequested_ = false;
        setPosition(0);
        setVisible(false);
        messages_.ShowMessage(LinkTexts::NotConnected);
    }
    bool verifyNow = false;
    bool checkDone = false;
    // 4.
    if (portReady_ && PortIsOpen() && ReadPort(BlockFrameSize)) {
        if (ReplyAccepted(blockIndex_)) {
            setPosition((position_ / PositionStep) * PositionStep + PositionStep);
            const bool echoed = writtenBlocks_ & (1u << blockIndex_);
            if (writeRequested_ && echoed)
                confirmedBlocks_ |= 1u << blockIndex_;
            const bool storeable = !writeRequested_ || echoed;
            if (readRequested_ && storeable)
                readCopy_.setBlock(blockIndex_, LinkBuffer + 5);
            if (readRequested_ && !model_.ConfigLocked() && storeable)
                model_.image().setBlock(blockIndex_, LinkBuffer + 5);
            if (check_ != Check::None) {
                scratch_.setBlock(blockIndex_, LinkBuffer + 5);
                ticksWithoutReply_ = 0;
            }
            if (position_ > PositionStep)
                ++blockIndex_;
        }
        if (blockIndex_ > LastBlock) {
            blockIndex_ = 0;
            if (writeRequested_) {
                writeRequested_ = false;
                expected_ = model_.image();
                verifyNow = verifyWrites_;
                // Nested ticks may run inside this message (TickQueue); the rest
                // of this tick goes on with the state they leave.
                messages_.ShowMessage(LinkTexts::Written);
            }
            if (readRequested_)
                model_.ImageToTable();
            if (readRequested_ && readPure_) {
                deviceImage_ = readCopy_;
                deviceKnown_ = true;
            }
            if (readRequested_)
                emit tableRead();
            if (check_ != Check::None && !readRequested_) {
                checkDone = true;
                check_ = Check::None;
            }
            readRequested_ = false;
            setVisible(false);
        }
        const std::uint8_t command = writeRequested_                           ? CommandWrite
                                     : readRequested_ || check_ != Check::None ? CommandRead
                                                                               : CommandRest;
        PutRequest(command, blockIndex_, model_.image());
        if (command == CommandWrite)
            writtenBlocks_ |= 1u << blockIndex_;
        PurgePort(PURGE_TXCLEAR);
        PurgePort(PURGE_RXCLEAR);
        WritePort(BlockFrameSize); // a failed write is ignored: the next tick reads again
        PurgePort(PURGE_RXCLEAR);
    } else if (portReady_ && PortIsOpen() && visible_ && IsInvitation()) {
        // 5. The station's invitation in place of a reply.
        PutWakeFrame();
        WritePort(WakeFrameSize);
    } else {
        // 6.
        CurrentLinkClock().SleepMs(IdleSleepMs);
        PurgePort(PURGE_RXCLEAR);
    }

    // The read-back of a write and the device-only read come after the Part's
    // own exchange, so its frames and ticks stay as they are up to "Записано".
    if (checkDone) {
        deviceImage_ = scratch_;
        deviceKnown_ = true;
    }
    if (checkDone || checkFailed) {
        if (checking == Check::Verify) {
            WriteCheck result;
            result.confirmed = checkDone;
            for (int i = 0; checkDone && i < ParamImage::StoredSize; ++i) {
                if (scratch_.byte(i) != expected_.byte(i))
                    ++(i < 64 ? result.differingAddresses : result.differingOtherBytes);
            }
            emit writeChecked(result);
        } else if (checking == Check::Device) {
            emit deviceRead(checkDone);
        }
    }
    if (verifyNow && !visible_)
        startCheck(Check::Verify);
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
