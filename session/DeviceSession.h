// The session between a program and the device: one link, the transfer engine
// on it, the record of what the device holds, and the write guard (backup
// first, then the write, then a read-back that two reads must agree on, and a
// report of a write cut short).
//
// Tick-driven and non-blocking: the window calls Tick() from its 100 ms timer
// (through a TickQueue, so ticks go on inside modal message boxes); a command
// line tool runs RunSession() (SessionRunner.h) on top. Qt Core only.
#pragma once

#include "DeviceRecord.h"
#include "TransferEngine.h"

#include "BackupFiles.h"
#include "ParamImage.h"
#include "SerialLink.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class ConfigModel;

// What the session's link is made of: given explicitly, never taken from
// process-wide state.
struct SessionParts
{
    SerialLink::BackendFactory transports; // port name -> transport
    std::shared_ptr<LinkClock> clock;      // the link's clock
    std::function<QDateTime()> now;        // dates records and names backups
};

// What a guarded write sends.
enum class WriteSource {
    Table,        // the table encoded into the image (the window)
    ImageExactly, // bytes 0..69 of WriteRequest::image as they are (lumkctl)
};

struct WriteRequest
{
    WriteSource source = WriteSource::Table;
    ParamImage image; // ImageExactly: bytes 0..69 to send (70 and 71 stay)
    // Where the backup of what the device holds goes; none: no backup.
    std::optional<BackupPlace> backup;
    bool verify = true; // read the device back after "Записано"
};

// A write that stopped after sending a block and before "Записано".
struct CutWrite
{
    QString port;
    int confirmedBlocks = 0;  // of 6, answered by the station
    bool oneMoreSent = false; // a block went out without an answer yet
    QByteArray backup;        // what the device held before (native name); empty when none
};

// How a guarded write ended.
struct WriteReport
{
    enum class Outcome {
        Running,       // not ended yet
        Refused,       // the backup failed (or its read did): nothing was sent
        NotConnected,  // no reply accepted: nothing reached the device
        Cut,           // see `cut`
        Written,       // "Записано", not read back
        Verified,      // the read-back is what was written
        Differs,       // two read-backs agree on something else
        ReadsDisagree, // read-backs never agreed: the line disturbed them
        Unconfirmed,   // the read-back did not complete
    };
    Outcome outcome = Outcome::Running;
    QString port;
    QByteArray backup; // the backup written for this write (native name); empty when none
    // Refused: the backup name tried and why it failed (in Russian), or that the
    // device could not be read for the backup.
    QByteArray backupTried;
    QString refusal;
    bool backupReadFailed = false;
    ParamImage written;         // what was sent (bytes 0..71)
    ParamImage readBack;        // Verified/Differs: what two read-backs agree on
    bool disturbed = false;     // Verified/Differs after a read-back that disagreed
    ImageDifference difference; // Differs
    CutWrite cut;               // Cut
};

// Of reads of the same device, the first image two of them agree on (bytes
// 0..69). `Add` returns it once two agree; `Exhausted` after three reads with
// no two alike.
class TwoReadsAgree
{
public:
    std::optional<ParamImage> Add(const ParamImage& image);
    bool Exhausted() const { return seen_.size() >= 3; }
    int Count() const { return int(seen_.size()); }

private:
    QList<ParamImage> seen_;
};

class DeviceSession : public QObject
{
    Q_OBJECT
public:
    // The engine works on `model` (its table and image) and shows its plain
    // messages through `messages`; both outlive the session.
    DeviceSession(ConfigModel& model, MessageSink& messages, SessionParts parts,
                  QObject* parent = nullptr);
    ~DeviceSession() override;

    // Selects `port`: opens it, tests the link and starts a read (into the table
    // or, with DeviceOnly, only into the record). A write that was underway on
    // another port is reported cut (writeCut). Returns Connected, PortNotOpened,
    // NoDevice or WakeNotSent, as the engine does.
    LinkOutcome Connect(const QString& port, ConnectRead how = ConnectRead::IntoTable);
    // A full read into the image and the table.
    void StartRead();
    // A read into the record only; the table stays.
    void StartDeviceRead();
    // Confirmed reads (the window): a read is followed by a second one into a
    // scratch image only, and the record holds what the device has only when
    // two reads agree. After two that differ the record says so
    // (readsDisagree); ReadOnceMore settles it, and a read into the table that
    // two reads then agree on otherwise becomes the table's (tableReplaced),
    // unless the operator edited it meanwhile. Off: one read counts.
    void SetConfirmReads(bool confirm) { confirmReads_ = confirm; }
    bool CanReadOnceMore() const;
    void ReadOnceMore();
    // Ends the running transfer ("Прервать"). A read: the image is as before
    // the read (the table was not replaced yet); its confirmation: the table
    // keeps the read and the record says it is unconfirmed. A write that sent
    // a block: reported cut (writeCut) with the blocks confirmed and the backup.
    void Abort();
    // The write guard. With a backup place and a device on the line: reads the
    // device first when its content is not known, writes the backup, then the
    // write starts; a backup that fails ends it (writeEnded, Refused) before
    // anything is sent. A write already requested starts over without a new
    // backup; the last write's read-back, if still running, ends unconfirmed.
    // After "Записано" (when verifying) reads back until the first
    // read-back equals what was written or two read-backs agree (at most three).
    void StartWrite(const WriteRequest& request);
    // One step: the engine's tick (tick the session, never its engine
    // directly), then the guarded write's next step and the record (silence, a lost network
    // connection, a local device that hung up during a write).
    void Tick();

    // A running write is given up (the program ends, or a blocking run
    // stopped): reported once as cut when a block went out. Idempotent.
    std::optional<CutWrite> AbandonWrite();

    // A read, write, check read or guarded-write step is running or pending.
    bool Busy() const;
    const DeviceRecord& record() const { return record_; }
    // The last guarded write's report (its outcome so far).
    const WriteReport& lastWrite() const { return lastWrite_; }
    // What the running or last write sent.
    const ParamImage& writtenImage() const { return lastWrite_.written; }

    TransferEngine& engine() { return engine_; }
    const TransferEngine& engine() const { return engine_; }
    SerialLink& link() { return link_; }
    ConfigModel& model() { return model_; }

signals:
    void recordChanged(const DeviceRecord& record);
    // The backup of the device was written (before the write starts).
    void backupWritten(const QByteArray& path);
    // A guarded write ended (any outcome but Cut, which comes as writeCut).
    void writeEnded(const WriteReport& report);
    // A write stopped part-way (port changed, device hung up, abandoned, aborted).
    void writeCut(const CutWrite& cut);
    // Two reads differed; ReadOnceMore is offered.
    void readsDisagree();
    // The table was given the image two reads agreed on (a read's result).
    void tableReplaced();

private:
    enum class Step { None, DeviceReadForBackup, Writing, ReadingBack, Confirming };
    void setRecord(const DeviceRecord& record);
    void holds(const ParamImage& image, DeviceRecord::Source source);
    void beginWrite();
    bool backupNow();
    void onTransferEnded(LinkOutcome outcome);
    void onDeviceRead(bool completed);
    void afterBackupRead(bool completed);
    void onWriteChecked(const WriteCheck& check);
    void readBackDone(const ParamImage& image);
    void endWrite(WriteReport::Outcome outcome);
    void reportCut(const QString& port, int confirmed, bool oneMore);
    void watchLine();
    void afterTableRead();
    void startConfirming(bool intoTable);
    void onConfirmingRead(bool completed);
    void settleReads(const ParamImage& agreed);
    // What the record says of a confirmation that ended without agreement.
    DeviceRecord::Content unsettled() const;
    void setContent(DeviceRecord::Content content);

    ConfigModel& model_;
    SessionParts parts_;
    SerialLink link_;
    TransferEngine engine_;
    DeviceRecord record_;
    WriteRequest request_;
    WriteReport lastWrite_;
    Step step_ = Step::None;
    TwoReadsAgree readBacks_;
    bool firstReadBack_ = true;
    bool cutReported_ = false;
    bool backupReadEnded_ = false; // a running read told what the device holds
    std::int64_t lastReplyMs_ = 0;
    int lastPosition_ = 0;
    int lastBlock_ = 0;

    bool confirmReads_ = false;
    TwoReadsAgree reads_;          // of the read being confirmed
    bool confirmingTable_ = false; // the first of them went into the table
    bool confirmPending_ = false;  // the confirming read starts after this tick
    ParamImage firstRead_;         // what the read into the table received
    ParamImage tableAfterRead_;    // the table as the read left it (encoded)
    ParamImage beforeRead_;        // the image as it was before the read
};
