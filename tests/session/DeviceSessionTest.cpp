// The session without a window, in virtual time: ticked as the window's timer
// ticks it, or run to the end as the command-line tool runs it. What a write
// keeps first, what its read-back may conclude, how a cut write is reported,
// and what the record says about the device.
#include "DeviceSession.h"
#include "ConfigModel.h"
#include "FileTexts.h"
#include "RecordingSink.h"
#include "ScriptedPort.h"
#include "ScriptedStation.h"
#include "SessionRunner.h"
#include "VirtualClock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QByteArray Invitation = QByteArray::fromHex("FF0000FF");
const QDateTime Now(QDate(2026, 1, 2), QTime(3, 4, 5));

ParamImage Pattern(int base)
{
    ParamImage image;
    for (int i = 0; i < ParamImage::Size; ++i)
        image.setByte(i, std::uint8_t(base + i));
    return image;
}

// Changes data bytes 5 and 6 of a reply by +d and -d: the checksum cannot see it.
void Compensate(QByteArray& frame, int d)
{
    frame[5] = char(frame.at(5) + d);
    frame[6] = char(frame.at(6) - d);
}

// Frames of the station's k-th complete read (0: the link test's; a write
// takes the frames of one read): the frame answering the closing 'R' is the
// first of the next.
int FrameOfRead(int read, int block)
{
    return 7 * read + 1 + block;
}

// A scripted station that invites, and a session on it.
struct Rig
{
    Rig()
    {
        station.image = Pattern(0x80);
        port->Deliver(Invitation);
        QObject::connect(&session, &DeviceSession::writeEnded,
                         [this](const WriteReport& report) { ended.append(report); });
        QObject::connect(&session, &DeviceSession::writeCut,
                         [this](const CutWrite& cut) { cuts.append(cut); });
        QObject::connect(&session, &DeviceSession::readsDisagree, [this] { ++disagreements; });
        QObject::connect(&session, &DeviceSession::tableReplaced, [this] { ++replaced; });
    }
    // Ticks until `done` holds (or `limit` ticks).
    void TickUntil(const std::function<bool()>& done, int limit = 400)
    {
        for (int i = 0; i < limit && !done(); ++i) {
            clock->Advance(100);
            session.Tick();
        }
    }
    // As the window's timer: a tick every 100 ms until the session is idle.
    void TickToEnd(int limit = 400)
    {
        for (int i = 0; i < limit && session.Busy(); ++i) {
            clock->Advance(100);
            session.Tick();
        }
    }
    void Connected()
    {
        ASSERT_EQ(session.Connect("ttyS0"), LinkOutcome::Connected);
        TickToEnd();
        ASSERT_TRUE(session.record().known());
    }
    bool Sent(char command) const
    {
        return std::any_of(station.requests.begin(), station.requests.end(),
                           [command](const QByteArray& r) { return r.at(3) == command; });
    }

    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    std::shared_ptr<ScriptedPort> port = std::make_shared<ScriptedPort>(clock);
    ScriptedStation station{*port};
    ConfigModel model;
    RecordingSink sink;
    DeviceSession session{
        model, sink,
        SessionParts{[this](const QString&) { return port; }, clock, [] { return Now; }}};
    QList<WriteReport> ended;
    QList<CutWrite> cuts;
    int disagreements = 0;
    int replaced = 0;
};

class SessionTest : public ::testing::Test
{
protected:
    WriteRequest Exactly(const ParamImage& image, bool backup = true) const
    {
        WriteRequest request;
        request.source = WriteSource::ImageExactly;
        request.image = image;
        if (backup)
            request.backup = BackupPlace::InFolder(QFile::encodeName(Backups()), "ttyS0", 50);
        return request;
    }
    QString Backups() const { return dir.filePath("backups"); }

    QTemporaryDir dir;
    Rig rig;
    DeviceSession& session = rig.session;
    ScriptedStation& station = rig.station;
    ConfigModel& model = rig.model;
    RecordingSink& sink = rig.sink;
    QList<WriteReport>& ended = rig.ended;
};

// The window's write: the table encoded, pressed while the port's read still
// runs, so what the device holds is read first (for the record only); the backup holds it before
// the first 'W' goes out; the read-back makes the record hold the written image.
TEST_F(SessionTest, GuardedWrite_KeepsWhatTheDeviceHeldBeforeAnythingIsSent)
{
    // The operator's table stays: the port is read into the record only.
    ParamImage prepared;
    prepared.setByte(4, 0xC8); // address 5: message 4
    model.ImageToTable(prepared);
    ASSERT_EQ(session.Connect("ttyS0", ConnectRead::DeviceOnly), LinkOutcome::Connected);
    ParamImage encoded = model.image();
    model.TableToImage(encoded);
    qsizetype requestsAtBackup = -1;
    QObject::connect(&session, &DeviceSession::backupWritten,
                     [&](const QByteArray&) { requestsAtBackup = station.requests.size(); });
    WriteRequest request = Exactly(ParamImage());
    request.source = WriteSource::Table;
    session.StartWrite(request);
    rig.TickToEnd();

    ASSERT_EQ(ended.size(), 1);
    const WriteReport& report = ended.first();
    EXPECT_EQ(report.outcome, WriteReport::Outcome::Verified);
    ASSERT_FALSE(report.backup.isEmpty());
    EXPECT_EQ(QFileInfo(QFile::decodeName(report.backup)).fileName(),
              "ttyS0.device-20260102-030405.lmk");
    QFile backup(QFile::decodeName(report.backup));
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(backup.readAll(), Pattern(0x80).toText() + "\r\n");
    ASSERT_GE(requestsAtBackup, 0);
    for (qsizetype i = 0; i < requestsAtBackup; ++i)
        EXPECT_NE(station.requests.at(i).at(3), 'W');
    EXPECT_TRUE(CompareImages(station.image, encoded).none());

    const DeviceRecord& record = session.record();
    EXPECT_EQ(record.port, "ttyS0");
    EXPECT_EQ(record.source, DeviceRecord::Source::WrittenAndVerified);
    EXPECT_EQ(record.at, Now);
    EXPECT_TRUE(record.SameAs(encoded));
}

// No backup, no write: a "backups" that is a file, or a device that cannot be
// read for the backup. Nothing is sent and the record keeps what it knew.
TEST_F(SessionTest, BackupFails_TheWriteDoesNotStart)
{
    QFile blocker(Backups());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    rig.Connected();
    const DeviceRecord before = session.record();
    session.StartWrite(Exactly(Pattern(1)));
    rig.TickToEnd();
    ASSERT_EQ(ended.size(), 1);
    EXPECT_EQ(ended[0].outcome, WriteReport::Outcome::Refused);
    EXPECT_EQ(ended[0].refusal, FileTexts::NotAFolder(QDir::toNativeSeparators(Backups())));
    EXPECT_FALSE(rig.Sent('W'));
    EXPECT_EQ(session.record(), before);

    // The device falls silent before what it holds is known.
    QFile::remove(Backups());
    session.link().Close();
    rig.port->Deliver(Invitation);
    station.answering = false;
    ASSERT_EQ(session.Connect("ttyS0"), LinkOutcome::Connected);
    session.StartWrite(Exactly(Pattern(1)));
    rig.TickToEnd();
    ASSERT_EQ(ended.size(), 2);
    EXPECT_EQ(ended[1].outcome, WriteReport::Outcome::Refused);
    EXPECT_TRUE(ended[1].backupReadFailed);
    EXPECT_FALSE(rig.Sent('W'));
    EXPECT_FALSE(QFileInfo::exists(Backups()) && !QDir(Backups()).isEmpty());
}

// The read-back: the first one that shows what was written settles it; any
// other result counts only when two read-backs agree on it; three that differ
// say the line is disturbed, not that the write failed.
TEST_F(SessionTest, ReadBack_CountsOnlyWhatTwoReadsAgreeOn)
{
    const ParamImage written = Pattern(0x10);
    const struct
    {
        const char* what;
        QList<int> disturbedReads; // read-backs (1, 2, 3) whose block 1 is altered
        bool deviceDropsAddress3;
        WriteReport::Outcome outcome;
        bool disturbed;
        ImageDifference difference;
        DeviceRecord::Content content;
    } cases[] = {
        {"clean",
         {},
         false,
         WriteReport::Outcome::Verified,
         false,
         {},
         DeviceRecord::Content::Holds},
        {"first read-back disturbed",
         {1},
         false,
         WriteReport::Outcome::Verified,
         true,
         {},
         DeviceRecord::Content::Holds},
        {"device keeps another byte",
         {},
         true,
         WriteReport::Outcome::Differs,
         false,
         {1, 0},
         DeviceRecord::Content::Holds},
        {"read-backs never agree",
         {1, 2},
         false,
         WriteReport::Outcome::ReadsDisagree,
         false,
         {},
         DeviceRecord::Content::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig r;
        ScriptedStation& station = r.station;
        DeviceSession& session = r.session;
        station.alter = [&](QByteArray& frame, int index) {
            for (int k = 0; k < c.disturbedReads.size(); ++k) {
                if (index == FrameOfRead(c.disturbedReads[k] + 1, 1))
                    Compensate(frame, k + 1);
            }
            if (c.deviceDropsAddress3 && station.image.byte(2) != 0) {
                ParamImage::Block b = station.image.block(0);
                b[2] = 0;
                station.image.setBlock(0, b.data());
            }
        };
        ASSERT_EQ(session.Connect("ttyS0"), LinkOutcome::Connected);
        ASSERT_EQ(RunSession(session, {}), SessionResult::Done);
        session.StartWrite(Exactly(written, false));
        ASSERT_EQ(RunSession(session, {}), SessionResult::Done);
        const WriteReport& report = session.lastWrite();
        EXPECT_EQ(report.outcome, c.outcome);
        EXPECT_EQ(report.disturbed, c.disturbed);
        EXPECT_EQ(report.difference, c.difference);
        EXPECT_EQ(session.record().content, c.content);
        if (c.outcome == WriteReport::Outcome::Differs) {
            EXPECT_EQ(session.record().DifferenceFrom(written), c.difference);
        }
    }
}

// The write command again while a read-back has not settled: the first write
// is reported unconfirmed, and the backup comes from a read the record vouches
// for, not from the read-back that disagreed with what was written.
TEST_F(SessionTest, WriteAgainDuringReadBack_ReportsTheFirstAndBacksUpAFreshRead)
{
    station.alter = [](QByteArray& frame, int index) {
        if (index == FrameOfRead(2, 1))
            Compensate(frame, 1);
    };
    rig.Connected();
    session.StartWrite(Exactly(Pattern(0x20)));
    for (int i = 0; i < 100 && !session.engine().DeviceImageKnown(); ++i) {
        rig.clock->Advance(100);
        session.Tick();
    }
    ASSERT_TRUE(session.Busy()); // the second read-back runs
    session.StartWrite(Exactly(Pattern(0x30)));
    rig.TickToEnd();

    ASSERT_EQ(ended.size(), 2);
    EXPECT_EQ(ended[0].outcome, WriteReport::Outcome::Unconfirmed);
    EXPECT_EQ(ended[1].outcome, WriteReport::Outcome::Verified);
    QFile backup(QFile::decodeName(ended[1].backup));
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(backup.readAll(), Pattern(0x20).toText() + "\r\n");
}

// A write that stops part-way names the port, the blocks the station confirmed
// and the backup: when the operator selects another port (window), and when a
// blocking run stalls (command line), which leaves the record partly written.
TEST_F(SessionTest, CutWrite_ReportsPortConfirmedBlocksAndBackup)
{
    enum class How { AnotherPort, Stalled, Aborted };
    for (const How how : {How::AnotherPort, How::Stalled, How::Aborted}) {
        SCOPED_TRACE(int(how));
        const bool blocking = how == How::Stalled;
        Rig r;
        r.Connected();
        // Frame 11 answers the 'W' of block 3 (frames 0..6: the link test's
        // read; 7 answers its closing 'R'); then the station falls silent.
        r.station.alter = [&r](QByteArray&, int index) {
            if (index == 11)
                r.station.answering = false;
        };
        r.session.StartWrite(Exactly(Pattern(0x20)));
        const QByteArray backup = r.session.lastWrite().backup;
        ASSERT_FALSE(backup.isEmpty());
        if (blocking) {
            RunLimits limits;
            limits.stallTimeout = std::chrono::seconds(1);
            EXPECT_EQ(RunSession(r.session, limits), SessionResult::Stalled);
            const DeviceRecord& record = r.session.record();
            EXPECT_EQ(record.content, DeviceRecord::Content::PartlyWritten);
            EXPECT_EQ(record.port, "ttyS0");
            EXPECT_EQ(record.confirmedBlocks, 4);
            EXPECT_EQ(record.backup, QFile::decodeName(backup));
        } else {
            for (int i = 0; i < 8; ++i) {
                r.clock->Advance(100);
                r.session.Tick();
            }
            EXPECT_TRUE(r.cuts.isEmpty());
            if (how == How::Aborted) {
                r.session.Abort(); // "Прервать": the progress bar goes, the cut is told
                EXPECT_FALSE(r.session.Busy());
                EXPECT_FALSE(r.session.engine().ProgressVisible());
                EXPECT_EQ(r.session.record().content, DeviceRecord::Content::PartlyWritten);
                EXPECT_EQ(r.session.record().backup, QFile::decodeName(backup));
            } else {
                EXPECT_EQ(r.session.Connect("ttyS1"), LinkOutcome::NoDevice); // no invitation
                EXPECT_TRUE(r.session.record().port.isEmpty());
            }
        }
        ASSERT_EQ(r.cuts.size(), 1);
        EXPECT_EQ(r.cuts[0].port, "ttyS0");
        EXPECT_EQ(r.cuts[0].confirmedBlocks, 4);
        EXPECT_TRUE(r.cuts[0].oneMoreSent);
        EXPECT_EQ(r.cuts[0].backup, backup);
        EXPECT_FALSE(r.session.AbandonWrite()); // reported once
    }
}

// Silence shows in the record only from 5 s without an accepted reply, and the
// transfer stays open: a station that never answers (the engine's time-out
// ends it), and one that falls silent in the middle of a read.
TEST_F(SessionTest, Record_NoReplyOnlyFromFiveSeconds_TransferStaysOpen)
{
    for (const bool midRead : {false, true}) {
        SCOPED_TRACE(midRead ? "silent mid-read" : "never answers");
        Rig r;
        std::int64_t lastReplyMs = r.clock->NowMs();
        r.station.answering = !midRead ? false : true;
        r.station.alter = [&](QByteArray&, int index) {
            lastReplyMs = r.clock->NowMs();
            if (index == 3)
                r.station.answering = false;
        };
        ASSERT_EQ(r.session.Connect("ttyS0"), LinkOutcome::Connected);
        std::int64_t shownAfterMs = -1;
        r.TickUntil([&] {
            if (r.session.record().line == DeviceRecord::Line::NoReply && shownAfterMs < 0)
                shownAfterMs = r.clock->NowMs() - lastReplyMs;
            return !r.session.Busy() || r.clock->NowMs() - lastReplyMs > 20000;
        });
        EXPECT_GE(shownAfterMs, 5000);
        EXPECT_LT(shownAfterMs, 6000);
        EXPECT_EQ(r.session.record().line, DeviceRecord::Line::NoReply);
        EXPECT_GE(r.session.record().silentSeconds(), 5);
        EXPECT_EQ(r.session.Busy(), midRead);               // no time-out after the first reply
        EXPECT_EQ(r.sink.outcomes.size(), midRead ? 0 : 1); // "Не подключен ЛУМ-К"
    }
}

// A confirmed read: the record holds the device only when two reads agree. A
// confirmation that differs is said (readsDisagree) and a third read settles
// it; when the two that agree are not what went into the table, the table
// gets them. Three different reads leave it said, with nothing more offered.
TEST_F(SessionTest, ConfirmedRead_HoldsWhenTwoAgree_ThirdReadSettlesADisagreement)
{
    const struct
    {
        const char* what;
        QList<int> disturbedReads; // 0: the read into the table; 1: its confirmation; 2: a third
        int disagreements;
        DeviceRecord::Content content;
        int replaced;
        ConnectRead how = ConnectRead::IntoTable;
    } cases[] = {
        {"agree", {}, 0, DeviceRecord::Content::Holds, 0},
        {"table read disturbed", {0}, 1, DeviceRecord::Content::Holds, 1},
        {"confirmation disturbed", {1}, 1, DeviceRecord::Content::Holds, 0},
        {"all three differ", {0, 1, 2}, 1, DeviceRecord::Content::ReadsDisagree, 0},
        // The table is never touched by a read into the record only.
        {"record only, first read disturbed",
         {0},
         1,
         DeviceRecord::Content::Holds,
         0,
         ConnectRead::DeviceOnly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig r;
        r.session.SetConfirmReads(true);
        r.station.alter = [&](QByteArray& frame, int index) {
            for (int k = 0; k < c.disturbedReads.size(); ++k) {
                if (index == FrameOfRead(c.disturbedReads[k], 1))
                    Compensate(frame, k + 1);
            }
        };
        ASSERT_EQ(r.session.Connect("ttyS0", c.how), LinkOutcome::Connected);
        r.TickToEnd();
        EXPECT_EQ(r.session.record().content, c.disagreements ? DeviceRecord::Content::ReadsDisagree
                                                              : DeviceRecord::Content::Holds);
        EXPECT_EQ(r.session.CanReadOnceMore(), c.disagreements > 0);
        r.session.ReadOnceMore();
        r.TickToEnd();
        EXPECT_EQ(r.disagreements, c.disagreements);
        EXPECT_EQ(r.session.record().content, c.content);
        EXPECT_EQ(r.replaced, c.replaced);
        EXPECT_FALSE(r.session.CanReadOnceMore());
        if (c.content == DeviceRecord::Content::Holds) {
            EXPECT_TRUE(r.session.record().SameAs(r.station.image));
            const bool intoTable = c.how == ConnectRead::IntoTable;
            EXPECT_EQ(CompareImages(r.model.image(), r.station.image).none(), intoTable);
        }
    }
}

// "Прервать" during a read: the image is as before it and the table untouched;
// during its confirmation the table keeps the read, which the record calls
// unconfirmed.
TEST_F(SessionTest, AbortedRead_RestoresTheImage_AbortedConfirmationIsUnconfirmed)
{
    for (const bool confirming : {false, true}) {
        SCOPED_TRACE(confirming ? "confirmation" : "read");
        Rig r;
        r.session.SetConfirmReads(true);
        r.Connected();
        const ParamImage before = r.model.image();
        const AddressTable table = r.model.table();
        r.station.image = Pattern(0x40);
        r.session.StartRead();
        if (confirming)
            r.TickUntil([&] { return r.session.engine().DeviceReadRunning(); });
        r.TickUntil([&] { return r.session.engine().ProgressPosition() > 30; });
        ASSERT_TRUE(r.session.Busy());
        r.session.Abort();
        EXPECT_FALSE(r.session.Busy());
        EXPECT_FALSE(r.session.engine().ProgressVisible());
        if (confirming) {
            EXPECT_EQ(r.session.record().content, DeviceRecord::Content::Unconfirmed);
            EXPECT_TRUE(CompareImages(r.model.image(), Pattern(0x40)).none());
        } else {
            EXPECT_EQ(r.model.image(), before);
            EXPECT_EQ(r.model.table(), table);
            EXPECT_TRUE(r.session.record().SameAs(before)); // the device was not changed
        }
    }
}

// A read started before the first tick, on a station that never answers: its
// silence counts from the session's start, not from the clock's origin.
TEST(SessionRecordTest, ReadBeforeAnyTick_SilenceCountsFromTheSessionsStart)
{
    Rig rig;
    rig.station.answering = false;
    const std::int64_t start = rig.clock->NowMs();
    rig.session.StartRead();
    rig.TickToEnd();
    EXPECT_EQ(rig.sink.outcomes, QList<LinkOutcome>{LinkOutcome::NotConnected});
    const DeviceRecord& record = rig.session.record();
    EXPECT_EQ(record.content, DeviceRecord::Content::Unknown);
    EXPECT_EQ(record.line, DeviceRecord::Line::NoReply);
    EXPECT_LE(record.silentMs, rig.clock->NowMs() - start);
}

// A transfer started again: its first accepted reply is a reply, although the
// position it reaches is below the one the last transfer had reached.
TEST(SessionRecordTest, Silence_CountsFromTheFirstReplyOfARestartedTransfer)
{
    Rig rig;
    const auto tick = [&rig] {
        rig.clock->Advance(100);
        rig.session.Tick();
    };
    ASSERT_EQ(rig.session.Connect("ttyS0"), LinkOutcome::Connected);
    rig.station.answering = false; // only the frame after the wake frame comes
    tick();
    ASSERT_EQ(rig.session.engine().ProgressPosition(), 15);
    rig.session.StartRead();
    rig.station.Send(rig.station.BlockFrame(0));
    tick();
    ASSERT_EQ(rig.session.engine().ProgressPosition(), 15);
    const std::int64_t replied = rig.clock->NowMs();
    for (int i = 0; i < 55; ++i) // past the 5 s a silence is shown from
        tick();
    const DeviceRecord& record = rig.session.record();
    EXPECT_EQ(record.line, DeviceRecord::Line::NoReply);
    EXPECT_LE(record.silentMs, rig.clock->NowMs() - replied);
}

// The reply that completes a transfer ends the silence before it.
TEST(SessionRecordTest, Silence_EndsWithTheReplyThatCompletesTheTransfer)
{
    Rig rig;
    rig.station.alter = [](QByteArray& frame, int index) {
        if (index == FrameOfRead(0, 5))
            frame.clear();
    };
    ASSERT_EQ(rig.session.Connect("ttyS0"), LinkOutcome::Connected);
    for (int i = 0; i < 30 && rig.session.record().line != DeviceRecord::Line::NoReply; ++i) {
        rig.clock->Advance(100);
        rig.session.Tick();
    }
    ASSERT_EQ(rig.session.record().line, DeviceRecord::Line::NoReply);
    rig.station.Send(rig.station.BlockFrame(5));
    rig.clock->Advance(100);
    rig.session.Tick();
    EXPECT_TRUE(rig.session.record().known());
    EXPECT_EQ(rig.session.record().line, DeviceRecord::Line::Answering);
}

// A port selection that keeps the table keeps it, also when a read into the
// table was still waiting on the port selected before.
TEST(SessionRecordTest, DeviceOnlySelection_KeepsTheTableOverAnEarlierRead)
{
    auto clock = std::make_shared<VirtualClock>();
    auto silent = std::make_shared<ScriptedPort>(clock);
    auto answering = std::make_shared<ScriptedPort>(clock);
    ScriptedStation station{*answering};
    station.image = Pattern(0x80);
    silent->Deliver(Invitation);
    answering->Deliver(Invitation);
    ConfigModel model;
    RecordingSink sink;
    DeviceSession session{model, sink,
                          SessionParts{[&](const QString& name) -> std::shared_ptr<SerialBackend> {
                                           return name == "ttyS0" ? silent : answering;
                                       },
                                       clock, [] { return Now; }}};
    ASSERT_EQ(session.Connect("ttyS0"), LinkOutcome::Connected);
    clock->Advance(100);
    session.Tick();
    const AddressTable kept = model.table();
    ASSERT_EQ(session.Connect("ttyS1", ConnectRead::DeviceOnly), LinkOutcome::Connected);
    for (int i = 0; i < 100 && session.Busy(); ++i) {
        clock->Advance(100);
        session.Tick();
    }
    EXPECT_TRUE(session.record().SameAs(Pattern(0x80)));
    EXPECT_TRUE(model.table() == kept);
}

// What the record compares: addresses (bytes 0..63) apart from the other
// stored bytes (64..69), never bytes 70 and 71; and whether an image holds bits
// the table cannot show.
TEST(DeviceRecordTest, ComparesAddressesAndOtherBytes_AndSeesBitsTheTableHides)
{
    ParamImage shown;
    shown.setByte(0, 0x80 | 0x04 | 0x01 | 0x02); // address 1 used, other devices, УПА
    const struct
    {
        const char* what;
        int index;
        std::uint8_t value;
        ImageDifference difference;
        bool hidden;
    } cases[] = {
        {"address 3 used", 2, 0x80, {1, 0}, false},
        {"low bits of address 3", 2, 0x81, {1, 0}, true},
        {"byte 64", 64, 0x01, {0, 1}, true},
        {"byte 71", 71, 0xFF, {0, 0}, false},
    };
    EXPECT_FALSE(HasBitsTableCannotShow(shown));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ParamImage other = shown;
        other.setByte(c.index, c.value);
        EXPECT_EQ(CompareImages(shown, other), c.difference);
        EXPECT_EQ(HasBitsTableCannotShow(other), c.hidden);
        DeviceRecord record;
        record.content = DeviceRecord::Content::Holds;
        record.image = other;
        EXPECT_EQ(record.SameAs(shown), c.difference.none());
    }
}

} // namespace
