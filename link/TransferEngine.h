// The transfer engine: moves the parameter image between the program and the
// station block by block, one exchange step per 100 ms tick.
#pragma once

#include "LinkOutcome.h"
#include "ParamImage.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class ConfigModel;
class SerialLink;

// How a port selection reads the device: into the table, as always, or only
// into the engine's record of the device (the table the operator prepared stays).
enum class ConnectRead { IntoTable, DeviceOnly };

// What a write sends: the table encoded into the image first, or the image as
// it stands.
enum class WriteFrom { Table, Image };

// A write's read-back: the device's bytes 0..69 against what was written.
struct WriteCheck
{
    bool confirmed = false;      // the read-back completed
    int differingAddresses = 0;  // of bytes 0..63
    int differingOtherBytes = 0; // of bytes 64..69
    bool matches() const
    {
        return confirmed && differingAddresses == 0 && differingOtherBytes == 0;
    }
};

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

    // Port selector change: opens `port` (the selector's text), tests the link,
    // starts a read. Connected, PortNotOpened, NoDevice or WakeNotSent.
    LinkOutcome ConnectPort(const QString& port, ConnectRead how = ConnectRead::IntoTable);
    void StartRead();
    void StartWrite(WriteFrom from = WriteFrom::Table);
    // Reads the device into the engine's record only (DeviceImage), never into
    // the image or the table; deviceRead reports the end.
    void StartDeviceRead();
    // One exchange step; driven every 100 ms for the whole run.
    void Tick();
    // Ends whatever transfer runs (read, write, check read) without a message
    // or an end signal: the progress bar is hidden and nothing is requested.
    // A reply still on its way is dropped by the next start's purge.
    void Stop();

    // After "Записано", read the device back (as StartDeviceRead does) and
    // report the comparison with writeChecked. Off unless set.
    void SetVerifyWrites(bool verify) { verifyWrites_ = verify; }

    // What the device on the connected port holds, by its last completed read
    // (a read, a device-only read or a write's read-back) since it was connected
    // and not written since.
    bool DeviceImageKnown() const { return deviceKnown_; }
    const ParamImage& DeviceImage() const { return deviceImage_; }
    // The port the link was last started on.
    const QString& LinkPort() const { return linkPort_; }
    // A write has sent at least one block and has not shown "Записано" yet.
    bool WriteUnderway() const { return writeRequested_ && writtenBlocks_ != 0; }
    // Blocks of the running write that the station acknowledged.
    int WriteConfirmedBlocks() const;
    bool DeviceReadRunning() const { return check_ != Check::None; }

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
    // A read or write ended and the progress bar was hidden: Read, Written
    // (also with a read requested) or NotConnected. A check read ends with
    // writeChecked or deviceRead instead.
    void transferEnded(LinkOutcome outcome);
    // A read ended with its decode into the table.
    void tableRead();
    // A write's read-back ended (after "Записано", when verifying).
    void writeChecked(const WriteCheck& check);
    // A device-only read ended: completed (DeviceImage holds it) or not.
    void deviceRead(bool completed);

private:
    // Progress position: a value above 100 is stored as 100.
    void setPosition(int position);
    void setVisible(bool visible);
    enum class Check { None, Verify, Device };
    // Progress position 0, the bar shown, from block 0, no check read; a write
    // still requested starts over: none of its blocks has reached the station.
    void beginTransfer();
    // A read into scratch_ only, with its own time-out.
    void startCheck(Check check);

    // The steps of a tick.
    struct TickEnd
    {
        bool verifyNow = false; // a write completed: read it back now
        bool checkDone = false; // a check read completed
    };
    void timeOutWithoutReply();
    // Takes an accepted reply; true when the transfer is complete.
    bool answerReply();
    void finishTransfer(TickEnd& end);
    void sendRequest();
    void endCheck(Check checking, bool done, bool failed);

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
    unsigned confirmedBlocks_ = 0; // of writtenBlocks_, acknowledged by a reply

    bool verifyWrites_ = false;
    Check check_ = Check::None;
    int ticksWithoutReply_ = 0; // of the running check read
    ParamImage scratch_;        // a check read's blocks
    ParamImage expected_;       // what the write being verified sent
    ParamImage readCopy_;       // a read's blocks as received, locked or not
    bool readPure_ = false;     // the running read has no write joined
    ParamImage deviceImage_;
    bool deviceKnown_ = false;
    QString linkPort_;
};

// Runs Tick from a periodic timer so that ticks keep running while a modal
// message opened by a tick is shown (Qt never re-enters a timer's own handler):
// each timeout queues one tick unless one is already waiting.
class TickQueue : public QObject
{
    Q_OBJECT
public:
    explicit TickQueue(TransferEngine& engine, QObject* parent = nullptr);
    // Any tick, such as a session's.
    explicit TickQueue(std::function<void()> tick, QObject* parent = nullptr);
    // Call from the timer's timeout.
    void Post();

private:
    std::function<void()> tick_;
    bool pending_ = false;
};
