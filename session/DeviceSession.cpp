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

// A transfer that has waited this long for an accepted reply shows as silent.
constexpr std::int64_t NoReplyShownMs = 1000;

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
    connect(&engine_, &TransferEngine::tableRead, this, [this] {
        if (engine_.DeviceImageKnown())
            holds(engine_.DeviceImage(), DeviceRecord::Source::Read);
        // The engine finishes this read after the signal: the write starts
        // once the tick is over.
        if (step_ == Step::DeviceReadForBackup)
            backupReadEnded_ = true;
    });
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
    // A check read running (for a backup, or a write's read-back) is replaced.
    if (step_ == Step::DeviceReadForBackup)
        step_ = Step::None;
    backupReadEnded_ = false;
    if (step_ == Step::ReadingBack)
        endWrite(WriteReport::Outcome::Unconfirmed);
    const LinkOutcome outcome = engine_.ConnectPort(port, how);
    DeviceRecord record;
    if (outcome == LinkOutcome::Connected)
        record.port = port;
    lastReplyMs_ = link_.Clock().NowMs();
    setRecord(record);
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
    engine_.StartRead();
}

void DeviceSession::StartDeviceRead()
{
    if (step_ != Step::Writing)
        step_ = Step::None;
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
    return engine_.ProgressVisible() || backupReadEnded_;
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
