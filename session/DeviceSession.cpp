// The write guard is a small sequence over the engine's signals: a read for the
// backup when what the device holds is not known, the backup, the write, and
// read-backs until they settle. Every step starts from a signal or a call, so the
// same code serves ticks from a window's timer and a blocking run.
#include "DeviceSession.h"

#include "ConfigModel.h"
#include "SystemClock.h"
#include "Transports.h"

#include <QFile>

namespace {

// A transfer that has waited this long for an accepted reply shows as silent
// (a read's own pauses between replies stay well below it).
constexpr std::int64_t NoReplyShownMs = 5000;

bool SameStored(const ParamImage& a, const ParamImage& b)
{
    return CompareImages(a, b).none();
}

} // namespace

std::optional<ParamImage> TwoReadsAgree::Add(const ParamImage& image)
{
    for (const ParamImage& earlier : seen_) {
        if (SameStored(earlier, image))
            return earlier;
    }
    seen_.append(image);
    return std::nullopt;
}

DeviceSession::DeviceSession(ConfigModel& model, MessageSink& messages, SessionParts parts,
                             QObject* parent)
    : QObject(parent), model_(model), parts_(std::move(parts)),
      link_(parts_.transports ? parts_.transports : SerialLink::BackendFactory(OpenTransport),
            parts_.clock ? parts_.clock : std::make_shared<SystemClock>()),
      engine_(model, messages, link_)
{
    if (!parts_.now)
        parts_.now = [] { return QDateTime::currentDateTime(); };
    // A transfer started before the first tick is silent since now, not since
    // the clock's origin.
    lastReplyMs_ = link_.Clock().NowMs();
    connect(&engine_, &TransferEngine::transferEnded, this, &DeviceSession::onTransferEnded);
    connect(&engine_, &TransferEngine::deviceRead, this, &DeviceSession::onDeviceRead);
    connect(&engine_, &TransferEngine::writeChecked, this, &DeviceSession::onWriteChecked);
    connect(&engine_, &TransferEngine::tableRead, this, &DeviceSession::afterTableRead);
}

void DeviceSession::afterTableRead()
{
    if (step_ == Step::DeviceReadForBackup) {
        if (engine_.DeviceImageKnown())
            holds(engine_.DeviceImage(), DeviceRecord::Source::Read);
        // The engine finishes this read after the signal: the write starts
        // once the tick is over.
        backupReadEnded_ = true;
        return;
    }
    if (!engine_.DeviceImageKnown())
        return; // a write joined it: the device is being changed
    if (!confirmReads_) {
        holds(engine_.DeviceImage(), DeviceRecord::Source::Read);
        return;
    }
    // The engine finishes this read after the signal: the confirming read
    // starts once the tick is over.
    startConfirming(true);
    firstRead_ = engine_.DeviceImage();
    reads_.Add(firstRead_);
    tableAfterRead_ = model_.EncodedImage();
    confirmPending_ = true;
}

void DeviceSession::startConfirming(bool intoTable)
{
    step_ = Step::Confirming;
    confirmingTable_ = intoTable;
    confirmPending_ = false;
    reads_ = TwoReadsAgree();
    setContent(DeviceRecord::Content::Confirming);
}

void DeviceSession::setContent(DeviceRecord::Content content)
{
    DeviceRecord record = record_;
    record.content = content;
    setRecord(record);
}

void DeviceSession::onConfirmingRead(bool completed)
{
    if (!completed) {
        step_ = Step::None;
        setContent(unsettled());
        return;
    }
    const std::optional<ParamImage> agreed = reads_.Add(engine_.DeviceImage());
    if (agreed) {
        step_ = Step::None;
        settleReads(*agreed);
        return;
    }
    if (reads_.Count() == 1) {
        engine_.StartDeviceRead(); // a read into the record: its second
        return;
    }
    step_ = Step::None;
    setContent(DeviceRecord::Content::ReadsDisagree);
    if (!reads_.Exhausted())
        emit readsDisagree();
}

DeviceRecord::Content DeviceSession::unsettled() const
{
    // Two reads that differed stay said; a table filled by one read is not
    // vouched for; a read into the record alone tells nothing.
    if (reads_.Count() >= 2)
        return DeviceRecord::Content::ReadsDisagree;
    return confirmingTable_ ? DeviceRecord::Content::Unconfirmed : DeviceRecord::Content::Unknown;
}

void DeviceSession::settleReads(const ParamImage& agreed)
{
    // The table holds the first read; when two others agree on something else
    // and the operator has not edited it since, it gets what they agree on.
    if (confirmingTable_ && !model_.ConfigLocked() && !SameStored(firstRead_, agreed) &&
        SameStored(model_.EncodedImage(), tableAfterRead_)) {
        for (int i = 0; i < ParamImage::StoredSize; ++i)
            model_.image().setByte(i, agreed.byte(i));
        model_.ImageToTable();
        holds(agreed, DeviceRecord::Source::Read);
        emit tableReplaced();
        return;
    }
    holds(agreed, DeviceRecord::Source::Read);
}

bool DeviceSession::CanReadOnceMore() const
{
    return record_.content == DeviceRecord::Content::ReadsDisagree && reads_.Count() == 2 &&
           !Busy() && engine_.PortReady() && link_.IsOpen();
}

void DeviceSession::ReadOnceMore()
{
    if (!CanReadOnceMore())
        return;
    step_ = Step::Confirming;
    setContent(DeviceRecord::Content::Confirming);
    engine_.StartDeviceRead();
}

void DeviceSession::Abort()
{
    if (!Busy())
        return;
    const Step step = step_;
    const bool writing = engine_.WriteRequested();
    const bool cut = engine_.WriteUnderway() && !cutReported_;
    const int confirmed = engine_.WriteConfirmedBlocks();
    const bool tableRead = engine_.ReadRequested() && !writing;
    engine_.Stop();
    step_ = Step::None;
    confirmPending_ = false;
    backupReadEnded_ = false;
    // A read's blocks went into the image only; the table is decoded at its end.
    if (tableRead)
        model_.image() = beforeRead_;
    DeviceRecord record = record_;
    if (record.line == DeviceRecord::Line::NoReply)
        record.line = DeviceRecord::Line::Answering;
    record.silentMs = 0;
    if (step == Step::Confirming)
        record.content = unsettled();
    setRecord(record);
    if (cut) {
        reportCut(engine_.LinkPort(), confirmed, true);
    } else if (writing && cutReported_) {
        // already reported cut
    } else if (step == Step::ReadingBack) {
        endWrite(WriteReport::Outcome::Unconfirmed);
    } else if (step == Step::DeviceReadForBackup) {
        lastWrite_.backupReadFailed = true;
        endWrite(WriteReport::Outcome::Refused);
    } else if (step == Step::Writing || writing) {
        endWrite(WriteReport::Outcome::NotConnected); // nothing reached the device
    }
}

DeviceSession::~DeviceSession()
{
    link_.Close();
}

void DeviceSession::setRecord(const DeviceRecord& record)
{
    if (record == record_)
        return;
    record_ = record;
    emit recordChanged(record_);
}

void DeviceSession::holds(const ParamImage& image, DeviceRecord::Source source)
{
    DeviceRecord record = record_;
    record.content = DeviceRecord::Content::Holds;
    record.image = image;
    record.source = source;
    record.at = parts_.now();
    record.unshownBits = HasBitsTableCannotShow(image);
    record.confirmedBlocks = 0;
    record.oneMoreSent = false;
    record.backup.clear();
    setRecord(record);
}

LinkOutcome DeviceSession::Connect(const QString& port, ConnectRead how)
{
    const bool cut = engine_.WriteUnderway() && !cutReported_;
    const QString cutPort = engine_.LinkPort();
    const int cutBlocks = engine_.WriteConfirmedBlocks();
    // A check read running (for a backup, a write's read-back or a read's
    // confirmation) is replaced.
    if (step_ == Step::DeviceReadForBackup || step_ == Step::Confirming)
        step_ = Step::None;
    confirmPending_ = false;
    // A read into the table still running (it goes on should this selection
    // fail) keeps the image it started from.
    if (!engine_.ReadRequested())
        beforeRead_ = model_.image();
    backupReadEnded_ = false;
    if (step_ == Step::ReadingBack)
        endWrite(WriteReport::Outcome::Unconfirmed);
    const LinkOutcome outcome = engine_.ConnectPort(port, how);
    DeviceRecord record;
    if (outcome == LinkOutcome::Connected)
        record.port = port;
    lastReplyMs_ = link_.Clock().NowMs();
    setRecord(record);
    if (outcome == LinkOutcome::Connected && how == ConnectRead::DeviceOnly && confirmReads_ &&
        engine_.DeviceReadRunning())
        startConfirming(false);
    // The write starts over on the new connection; the port it left keeps
    // what it had confirmed.
    if (cut && (!link_.IsOpen() || engine_.LinkPort() != cutPort))
        reportCut(cutPort, cutBlocks, true);
    // A write still requested starts over on a new connection.
    if (outcome == LinkOutcome::Connected)
        cutReported_ = false;
    return outcome;
}

void DeviceSession::StartRead()
{
    if (step_ != Step::Writing)
        step_ = Step::None;
    confirmPending_ = false;
    if (!engine_.ReadRequested())
        beforeRead_ = model_.image();
    engine_.StartRead();
}

void DeviceSession::StartDeviceRead()
{
    if (step_ != Step::Writing)
        step_ = Step::None;
    confirmPending_ = false;
    if (confirmReads_ && step_ == Step::None)
        startConfirming(false);
    engine_.StartDeviceRead();
}

void DeviceSession::StartWrite(const WriteRequest& request)
{
    request_ = request;
    if (engine_.WriteRequested()) {
        beginWrite(); // starts over; the backup taken at its first start stands
        return;
    }
    // The last write's read-back, not settled yet, ends here.
    if (step_ == Step::ReadingBack)
        endWrite(WriteReport::Outcome::Unconfirmed);
    lastWrite_ = WriteReport();
    lastWrite_.port = engine_.LinkPort();
    if (request_.backup && engine_.PortReady() && link_.IsOpen()) {
        // What the record vouches for; a lone read-back that disagreed is not.
        if (!record_.known()) {
            // A read already running tells it; otherwise a read into the record.
            step_ = Step::DeviceReadForBackup;
            if (!engine_.ReadRequested())
                engine_.StartDeviceRead();
            return;
        }
        if (!backupNow())
            return;
    }
    beginWrite();
}

bool DeviceSession::backupNow()
{
    const BackupResult backup = WriteBackup(*request_.backup, record_.image, parts_.now());
    if (!backup.written()) {
        lastWrite_.backupTried = backup.tried;
        lastWrite_.refusal = backup.reason;
        endWrite(WriteReport::Outcome::Refused);
        return false;
    }
    lastWrite_.backup = backup.name;
    emit backupWritten(backup.name);
    return true;
}

void DeviceSession::beginWrite()
{
    cutReported_ = false;
    step_ = Step::Writing;
    readBacks_ = TwoReadsAgree();
    firstReadBack_ = true;
    engine_.SetVerifyWrites(request_.verify);
    if (request_.source == WriteSource::ImageExactly) {
        for (int i = 0; i < ParamImage::StoredSize; ++i)
            model_.image().setByte(i, request_.image.byte(i));
        model_.ImageToTable();
        engine_.StartWrite(WriteFrom::Image);
    } else {
        engine_.StartWrite(WriteFrom::Table);
    }
    lastWrite_.port = engine_.LinkPort();
    lastWrite_.written = model_.image();
    // The device is being changed: what it held is no longer known.
    DeviceRecord record = record_;
    record.content = DeviceRecord::Content::Unknown;
    setRecord(record);
}

void DeviceSession::onTransferEnded(LinkOutcome outcome)
{
    if (step_ == Step::DeviceReadForBackup && outcome == LinkOutcome::NotConnected)
        afterBackupRead(false);
    if (step_ != Step::Writing)
        return;
    if (outcome == LinkOutcome::NotConnected) {
        endWrite(WriteReport::Outcome::NotConnected);
    } else if (outcome == LinkOutcome::Written) {
        // The engine starts the first read-back after this tick's request.
        if (request_.verify)
            step_ = Step::ReadingBack;
        else
            endWrite(WriteReport::Outcome::Written);
    }
}

void DeviceSession::onDeviceRead(bool completed)
{
    const Step step = step_;
    if (step == Step::ReadingBack) {
        if (completed)
            readBackDone(engine_.DeviceImage());
        else
            endWrite(WriteReport::Outcome::Unconfirmed);
        return;
    }
    if (step == Step::Confirming) {
        onConfirmingRead(completed);
        return;
    }
    if (completed)
        holds(engine_.DeviceImage(), DeviceRecord::Source::Read);
    if (step == Step::DeviceReadForBackup)
        afterBackupRead(completed);
}

void DeviceSession::afterBackupRead(bool completed)
{
    step_ = Step::None;
    if (!completed) {
        lastWrite_.backupReadFailed = true;
        endWrite(WriteReport::Outcome::Refused);
        return;
    }
    if (backupNow())
        beginWrite();
}

void DeviceSession::onWriteChecked(const WriteCheck& check)
{
    if (step_ != Step::ReadingBack)
        return;
    if (!check.confirmed)
        endWrite(WriteReport::Outcome::Unconfirmed);
    else
        readBackDone(engine_.DeviceImage());
}

void DeviceSession::readBackDone(const ParamImage& image)
{
    const ParamImage& written = lastWrite_.written;
    // The first read-back that shows what was written settles it; any other
    // result counts only when two read-backs agree on it.
    if (firstReadBack_ && SameStored(image, written)) {
        lastWrite_.readBack = image;
        endWrite(WriteReport::Outcome::Verified);
        return;
    }
    firstReadBack_ = false;
    const std::optional<ParamImage> agreed = readBacks_.Add(image);
    if (agreed) {
        lastWrite_.readBack = *agreed;
        lastWrite_.difference = CompareImages(written, *agreed);
        const bool same = lastWrite_.difference.none();
        // A read-back that disagreed with the agreed one was disturbed.
        lastWrite_.disturbed = same || readBacks_.Count() > 1;
        endWrite(same ? WriteReport::Outcome::Verified : WriteReport::Outcome::Differs);
        return;
    }
    if (readBacks_.Exhausted()) {
        endWrite(WriteReport::Outcome::ReadsDisagree);
        return;
    }
    engine_.StartDeviceRead();
}

void DeviceSession::endWrite(WriteReport::Outcome outcome)
{
    step_ = Step::None;
    lastWrite_.outcome = outcome;
    if (outcome == WriteReport::Outcome::Verified)
        holds(lastWrite_.written, DeviceRecord::Source::WrittenAndVerified);
    else if (outcome == WriteReport::Outcome::Differs)
        holds(lastWrite_.readBack, DeviceRecord::Source::Read);
    emit writeEnded(lastWrite_);
}

void DeviceSession::reportCut(const QString& port, int confirmed, bool oneMore)
{
    cutReported_ = true;
    CutWrite cut{port, confirmed, oneMore, lastWrite_.backup};
    lastWrite_.outcome = WriteReport::Outcome::Cut;
    lastWrite_.cut = cut;
    if (port == record_.port) {
        DeviceRecord record = record_;
        record.content = DeviceRecord::Content::PartlyWritten;
        record.confirmedBlocks = confirmed;
        record.oneMoreSent = oneMore;
        record.backup = QFile::decodeName(cut.backup);
        setRecord(record);
    }
    emit writeCut(cut);
}

std::optional<CutWrite> DeviceSession::AbandonWrite()
{
    if (step_ != Step::ReadingBack)
        step_ = Step::None;
    if (!engine_.WriteUnderway() || cutReported_)
        return std::nullopt;
    reportCut(engine_.LinkPort(), engine_.WriteConfirmedBlocks(), true);
    return lastWrite_.cut;
}

bool DeviceSession::Busy() const
{
    return engine_.ProgressVisible() || backupReadEnded_ || confirmPending_;
}

void DeviceSession::Tick()
{
    // A device that hangs up in the middle of a write is left half written.
    if (!cutReported_ && engine_.WriteUnderway() && link_.HungUp())
        reportCut(engine_.LinkPort(), engine_.WriteConfirmedBlocks(), true);
    const bool wasRunning = engine_.ProgressVisible();
    // An accepted reply shows against where this tick began: a start since the
    // last tick has put the position and the block back to 0.
    const int position = engine_.ProgressPosition();
    const int block = engine_.BlockIndex();
    engine_.Tick();
    if (backupReadEnded_) {
        backupReadEnded_ = false;
        afterBackupRead(engine_.DeviceImageKnown());
    }
    if (confirmPending_) {
        confirmPending_ = false;
        if (step_ == Step::Confirming && !engine_.ProgressVisible())
            engine_.StartDeviceRead();
    }
    if (!wasRunning)
        lastReplyMs_ = link_.Clock().NowMs();
    lastPosition_ = position;
    lastBlock_ = block;
    watchLine();
}

void DeviceSession::watchLine()
{
    DeviceRecord record = record_;
    const std::int64_t now = link_.Clock().NowMs();
    // A transfer runs, or its last reply has just completed it.
    if (engine_.ProgressVisible() || engine_.BlockIndex() != lastBlock_) {
        // An accepted reply: the position jumps past the one-a-tick creep, or
        // the block number moves on.
        const int position = engine_.ProgressPosition();
        const int block = engine_.BlockIndex();
        if (block != lastBlock_ || position > lastPosition_ + 1) {
            lastReplyMs_ = now;
            if (record.line == DeviceRecord::Line::NoReply)
                record.line = DeviceRecord::Line::Answering;
            record.silentMs = 0;
        } else if (now - lastReplyMs_ >= NoReplyShownMs &&
                   record.line != DeviceRecord::Line::Lost) {
            record.line = DeviceRecord::Line::NoReply;
            record.silentMs = now - lastReplyMs_;
        }
        lastPosition_ = position;
        lastBlock_ = block;
    }
    // A network connection that is gone does not come back by itself.
    if (link_.IsOpen() && link_.Backend() && !link_.Backend()->FailureReason().isEmpty()) {
        record.line = DeviceRecord::Line::Lost;
        record.lostReason = link_.Backend()->FailureReason();
    }
    setRecord(record);
}
