// The transfer engine: moves the parameter image between the program and the
// station block by block, one exchange step per 100 ms tick.
#pragma once

#include "LinkOutcome.h"

#include <QObject>

#include <cstdint>

class ConfigModel;
class SerialLink;

// Shows the engine's plain modal messages (no device, not connected, written),
// each in the sink's own words. The window shows a modal box with the link's
// texts and keeps ticks running inside it; tests record them; the command-line
// tool prints its own.
class MessageSink
{
public:
    virtual ~MessageSink() = default;
    virtual void ShowMessage(LinkOutcome outcome) = 0;
};

// Where a transfer stands: the progress bar hidden, shown but no reply accepted
// since the start, or past the first accepted reply.
enum class TransferPhase { Idle, WaitingForReply, Transferring };

class TransferEngine : public QObject
{
    Q_OBJECT
public:
    // Drives `link`; both outlive the engine.
    TransferEngine(ConfigModel& model, MessageSink& messages, SerialLink& link,
                   QObject* parent = nullptr);

    // Port selector change: opens the selected port, tests the link, starts a
    // read. Connected, PortNotOpened, NoDevice or WakeNotSent.
    LinkOutcome ConnectPort();
    void StartRead();
    void StartWrite();
    // One exchange step; driven every 100 ms for the whole run.
    void Tick();

    bool PortReady() const { return portReady_; }
    void SetPortReady(bool ready) { portReady_ = ready; }
    int BlockIndex() const { return blockIndex_; }
    bool ReadRequested() const { return readRequested_; }
    bool WriteRequested() const { return writeRequested_; }
    int ProgressPosition() const { return position_; }
    bool ProgressVisible() const { return visible_; }
    TransferPhase phase() const;
    SerialLink& link() const { return link_; }

signals:
    // Position (0..100) or visibility changed.
    void progressChanged(int position, bool visible);
    // The progress bar was hidden: Read, Written (also with a read requested)
    // or NotConnected.
    void transferEnded(LinkOutcome outcome);

private:
    // Progress position 0, the bar shown, from block 0; a write still requested
    // starts over: none of its blocks has reached the station yet.
    void beginTransfer();
    void timeOutWithoutReply();
    bool answerReply();
    void finishTransfer();
    void sendRequest();

    // Progress position: a value above 100 is stored as 100.
    void setPosition(int position);
    void setVisible(bool visible);

    ConfigModel& model_;
    MessageSink& messages_;
    SerialLink& link_;
    bool portReady_ = false;
    std::uint8_t blockIndex_ = 0;
    bool readRequested_ = false;
    bool writeRequested_ = false;
    int position_ = 0;
    bool visible_ = false;
    // Blocks this write has already sent with 'W' (bit k = block k) since it
    // last started over from block 0 (a start or a port selection). While a
    // write is requested, only replies for these blocks are stored: the device's
    // old blocks would otherwise overwrite the operator's edits.
    unsigned writtenBlocks_ = 0;
};

// Runs Tick from a periodic timer so that ticks keep running while a modal
// message opened by a tick is shown (Qt never re-enters a timer's own handler):
// each timeout queues one tick unless one is already waiting.
class TickQueue : public QObject
{
    Q_OBJECT
public:
    explicit TickQueue(TransferEngine& engine, QObject* parent = nullptr);
    // Call from the timer's timeout.
    void Post();

private:
    TransferEngine& engine_;
    bool pending_ = false;
};
