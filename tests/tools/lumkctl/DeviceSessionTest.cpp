// The device commands in-process against a scripted station in virtual link
// time: how each failure of the link maps to its exit status, the stall
// time-out, that bad files stop a command before the device is touched, outputs
// that fail, names that are not UTF-8, writes cut short, and reads and
// read-backs disturbed where the checksum cannot see it.
#include "CtlTestSupport.h"
#include "CtlTexts.h"
#include "Interrupt.h"
#include "LinkFrames.h"
#include "LinkTexts.h"
#include "OpenDiagnosis.h"
#include "ScriptedPort.h"
#include "ScriptedStation.h"
#include "SerialLink.h"
#include "VirtualClock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

const QByteArray Invitation = QByteArray::fromHex("FF0000FF");

class Session : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < ParamImage::Size; ++i)
            station.image.setByte(i, std::uint8_t(0x80 + i));
    }

    QString Path(const QString& name) const { return dir.filePath(name); }
    bool SentCommand(char command) const
    {
        for (const QByteArray& r : station.requests) {
            if (r.at(3) == command)
                return true;
        }
        return false;
    }

    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    std::shared_ptr<ScriptedPort> port = std::make_shared<ScriptedPort>(clock);
    // The tool's own link reaches the scripted port in virtual time.
    ScopedToolLink seam{{[this](const QString&) { return port; }, clock}};
    ScriptedStation station{*port};
    QTemporaryDir dir;
};

TEST_F(Session, PortRefused_ExitsThreeWithNotOpenAndItsReason)
{
    port->refusedNames.insert("ttyLUMK-none");
    const ToolRun run = RunTool({"read", "--port", "ttyLUMK-none"});
    EXPECT_EQ(run.status, ExitPortNotOpen);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(QString::fromUtf8(run.err),
              LinkTexts::NotOpen("ttyLUMK-none") + '\n' +
                  DiagnosisTexts::NoSuchDevice.arg("/dev/ttyLUMK-none") + '\n');
}

TEST_F(Session, NoInvitation_ExitsFourWithNoDeviceAndClosesThePort)
{
    const ToolRun run = RunTool({"read", "--port", "ttyS0"});
    EXPECT_EQ(run.status, ExitNoDevice);
    EXPECT_EQ(QString::fromUtf8(run.err), LinkTexts::NoDevice + '\n');
    EXPECT_TRUE(port->openName.isEmpty());
}

TEST_F(Session, LinkAnswersButNoReplyEver_ExitsFiveWithNotConnected)
{
    station.answering = false;
    port->Deliver(Invitation);
    const ToolRun run = RunTool({"read", "--port", "ttyS0"});
    EXPECT_EQ(run.status, ExitNotConnected);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(QString::fromUtf8(run.err).contains(LinkTexts::NotConnected));
}

// After two good replies the station answers only with frames for the wrong
// block: the position creeps on, but nothing is accepted, which is no progress.
TEST_F(Session, RejectedRepliesOnly_AfterAStart_ExitSixWithinTheTimeout)
{
    station.alter = [](QByteArray& frame, int index) {
        if (index >= 2)
            frame[4] = char((frame.at(4) + 1) % 6);
    };
    port->Deliver(Invitation);
    QElapsedTimer elapsed;
    elapsed.start();
    const ToolRun run = RunTool({"read", "--port", "ttyS0", "--timeout", "0.6"});
    EXPECT_EQ(run.status, ExitStalled) << run.err.data();
    EXPECT_LT(elapsed.elapsed(), 3000);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(QString::fromUtf8(run.err).contains(CtlTexts::Stalled.arg(0.6)));
    EXPECT_GE(station.sent.size(), 5); // it kept answering: the tool did not stop early
}

TEST_F(Session, Read_ScriptedStation_PrintsTheImageTextAndClosesThePort)
{
    port->Deliver(Invitation);
    const ToolRun run = RunTool({"read", "--port", "ttyS0"});
    ASSERT_EQ(run.status, ExitOk) << run.err.data();
    EXPECT_EQ(run.out, station.image.toText() + "\r\n");
    EXPECT_TRUE(run.err.isEmpty());
    EXPECT_TRUE(port->openName.isEmpty());
}

TEST_F(Session, UnreadableFile_StopsWriteAndDiffBeforeThePortIsOpened)
{
    port->Deliver(Invitation);
    for (const QStringList& args : {QStringList{"write", "--port", "ttyS0", Path("missing.lmk")},
                                    QStringList{"diff", "--port", "ttyS0", Path("missing.lmk")}}) {
        SCOPED_TRACE(args.first().toStdString());
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.status, ExitFileError);
        EXPECT_TRUE(run.err.startsWith("Ошибка чтения: ")) << run.err.data();
    }
    EXPECT_TRUE(port->events.isEmpty());
}

TEST_F(Session, BackupCannotBeWritten_ExitsEightAndNothingIsWrittenToTheDevice)
{
    // Readable, but no file can be created beside it (not even by root).
    const QString file = QStringLiteral("/proc/version");
    port->Deliver(Invitation);
    const ParamImage before = station.image;
    const ToolRun run = RunTool({"write", "--force", "--port", "ttyS0", file});
    EXPECT_EQ(run.status, ExitFileError);
    EXPECT_TRUE(QString::fromUtf8(run.err).contains(CtlTexts::BackupFailed)) << run.err.data();
    EXPECT_FALSE(SentCommand('W'));
    EXPECT_EQ(station.image, before);
}

} // namespace

namespace {

// Changes data bytes 5 and 6 of a reply by +d and -d: the checksum cannot see it.
void Compensate(QByteArray& frame, int d)
{
    frame[5] = char(frame.at(5) + d);
    frame[6] = char(frame.at(6) - d);
}

// Frames of the station's k-th complete read (counted from 0, the link test's
// read included): 7 accepted replies; the frame that answers the closing 'R'
// request is the first one of the next read.
int FrameOfRead(int read, int block)
{
    return 7 * read + 1 + block;
}

// A fresh scripted station that invites, for one run of the tool each.
struct Rig
{
    explicit Rig(const ParamImage& image)
    {
        station.image = image;
        port->Deliver(Invitation);
    }
    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    std::shared_ptr<ScriptedPort> port = std::make_shared<ScriptedPort>(clock);
    ScopedToolLink seam{{[this](const QString&) { return port; }, clock}};
    ScriptedStation station{*port};
};

TEST_F(Session, OutputFails_ExitsEightAndTheOldFileStaysWhole)
{
    const QByteArray old = QByteArray(140, '1') + "\r\n";
    const QString target = Path("old.lmk");
    WriteBytes(target, old);
    port->Deliver(Invitation);
    // The file-size limit lets only 100 of the 142 bytes reach the disk, as a
    // full disk would.
    const int code = RunInChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100, 100};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 10;
        const ToolRun run = RunTool({"read", "--port", "ttyS0", "--output", target});
        if (run.status != ExitFileError)
            return 11;
        return run.err.contains("Ошибка записи: ") ? 0 : 12;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.lmk"});
}

TEST_F(Session, StandardOutputFails_ExitsEightForReadShowAndDiff)
{
    WriteBytes(Path("a.lmk"), QByteArray(140, '0'));
    QFile full(QStringLiteral("/dev/full"));
    ASSERT_TRUE(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QList<QByteArray> lines[] = {
        {"read", "--port", "ttyS0"},
        {"show", QFile::encodeName(Path("a.lmk"))},
        {"diff", QFile::encodeName(Path("a.lmk")), "--port", "ttyS0"}, // differs: reports lines
    };
    for (const QList<QByteArray>& args : lines) {
        SCOPED_TRACE(args.first().toStdString());
        Rig rig(station.image);
        const ToolRun run = RunToolRaw(args, &full);
        EXPECT_EQ(run.status, ExitFileError) << run.err.data();
        EXPECT_TRUE(run.err.contains("Ошибка записи: ")) << run.err.data();
    }
}

// A name that is not UTF-8 (KOI8-R "Пробa.lmk") is used byte for byte by
// --output, by the backup and for reading.
TEST_F(Session, NonUtf8Names_AreUsedByteForByte)
{
    const QByteArray name = QFile::encodeName(dir.path()) + "/\xf0\xd2\xcf\xc2\xc1.lmk";
    Rig first(station.image);
    const ToolRun read = RunToolRaw({"read", "--port", "ttyS0", "--output", name});
    ASSERT_EQ(read.status, ExitOk) << read.err.data();
    EXPECT_EQ(::access(name.constData(), F_OK), 0);

    Rig second(station.image);
    const ToolRun write = RunToolRaw({"write", "--port", "ttyS0", name});
    ASSERT_EQ(write.status, ExitOk) << write.err.data();
    const QByteArray backup =
        QFile::encodeName(dir.path()) + "/\xf0\xd2\xcf\xc2\xc1.device-20260102-030405.lmk";
    EXPECT_EQ(::access(backup.constData(), F_OK), 0);
    EXPECT_TRUE(write.err.contains(backup)) << write.err.data();
    // Qt cannot remove what it cannot name.
    ::unlink(name.constData());
    ::unlink(backup.constData());
}

// A signal during a write, or a station that falls silent in the middle: no
// request follows, and the advice names what reached the device and the
// command that restores the backup.
TEST_F(Session, WriteCutShort_StopsAndTellsHowToRestoreTheBackup)
{
    const struct
    {
        int signal; // 0: the station falls silent instead
        int status;
        int confirmed; // blocks whose 'W' frame was answered
    } cases[] = {{SIGINT, 130, 3}, {SIGTERM, 143, 3}, {SIGHUP, 129, 3}, {0, ExitStalled, 4}};
    WriteBytes(Path("new.lmk"), QByteArray(140, 'C'));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signal);
        ClearInterrupt();
        for (const QString& old : QDir(dir.path()).entryList({"*.device-*"}, QDir::Files))
            QFile::remove(Path(old));
        Rig rig(station.image);
        ScriptedStation& station = rig.station;
        qsizetype requestsAtCut = -1;
        // Frame 11 answers the write's 'W' of block 3 (frames 0..6 are the link
        // test's read, 7 answers its closing 'R' and starts the write). A signal
        // noted while it is on its way stops the write before it is taken.
        station.alter = [&station, &requestsAtCut, &c](QByteArray&, int index) {
            if (index != 11)
                return;
            requestsAtCut = station.requests.size();
            if (c.signal != 0)
                NoteInterrupt(c.signal);
            else
                station.answering = false;
        };
        const ToolRun run =
            RunTool({"write", "--port", "ttyS0", "--timeout", "1", Path("new.lmk")});
        ClearInterrupt();
        EXPECT_EQ(run.status, c.status) << run.err.data();
        // The tick that received the frame answers it; nothing after that.
        EXPECT_EQ(station.requests.size(), requestsAtCut);
        const QString err = QString::fromUtf8(run.err);
        EXPECT_TRUE(
            err.contains(CtlTexts::WriteCut.arg(c.confirmed).arg(CtlTexts::WriteCutOneMore)))
            << run.err.data();
        const QString backup = Path("new.device-20260102-030405.lmk");
        EXPECT_TRUE(err.contains(QStringLiteral("'lumkctl' write --port 'ttyS0' '%1'").arg(backup)))
            << run.err.data();
        EXPECT_TRUE(rig.port->openName.isEmpty()); // the port is closed
    }
}

// Compensating errors in replies, which the checksum cannot see, in chosen reads.
// read --confirm delivers only an image seen twice; read-backs of a write that
// never agree are an unreliable link (exit 9), not a bad write (what the
// read-backs may conclude is the session's, tested with it).
TEST_F(Session, ConfirmAndVerify_TrustOnlyWhatTwoReadsAgreeOn)
{
    WriteBytes(Path("new.lmk"), station.image.toText());
    const struct
    {
        const char* what;
        QStringList args;
        QList<int> disturbedReads; // reads whose block 1 is altered, by read number
        int status;
    } cases[] = {
        {"first read disturbed", {"read", "--confirm"}, {0}, ExitOk},
        {"second read disturbed", {"read", "--confirm"}, {1}, ExitOk},
        {"three different reads", {"read", "--confirm"}, {0, 1}, ExitUnreliable},
        // Reads: 0 the link test, then the write, then 1, 2, 3 the read-backs.
        {"read-backs never agree", {"write", "--verify", "--no-backup"}, {1, 2}, ExitUnreliable},
    };
    const ParamImage original = station.image;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(original);
        const bool writing = c.args.first() == QLatin1String("write");
        rig.station.alter = [&](QByteArray& frame, int index) {
            for (int k = 0; k < c.disturbedReads.size(); ++k) {
                // The write takes the frames of one read after the link test.
                const int read = writing && c.disturbedReads[k] > 0 ? c.disturbedReads[k] + 1
                                                                    : c.disturbedReads[k];
                if (index == FrameOfRead(read, 1))
                    Compensate(frame, k + 1); // a different error each time
            }
        };
        QStringList args = c.args;
        args << "--port"
             << "ttyS0";
        if (writing)
            args << Path("new.lmk");
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.status, c.status) << run.err.data();
        if (!writing)
            EXPECT_EQ(run.out, c.status == ExitOk ? original.toText() + "\r\n" : QByteArray());
        else
            EXPECT_TRUE(run.out.isEmpty()) << run.out.data(); // no differences reported
    }
}

// A station that loses W0 and a second later sends its last frame again (the
// answer to the read's 'R'): that frame passes for W0's echo by block number
// and checksum. A write reads the device back by default and catches it;
// --no-verify reports the write as done, as it always did.
TEST_F(Session, Write_LostW0PassedByAReplayedFrame_IsCaughtUnlessNoVerify)
{
    QByteArray text(140, '0');
    text.replace(0, 2, "80"); // address 1 used
    WriteBytes(Path("conf.lmk"), text);
    const struct
    {
        QStringList options;
        int status;
    } cases[] = {{{}, ExitDifferent}, {{"--verify"}, ExitDifferent}, {{"--no-verify"}, ExitOk}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options.join(' ').toStdString());
        Rig rig(station.image);
        bool lost = false;
        rig.station.lose = [&](const QByteArray& request) {
            if (lost || request.at(3) != 'W' || request.at(4) != 0)
                return false;
            lost = true;
            rig.port->Deliver(rig.station.sent.last(), 1000);
            return true;
        };
        const ToolRun run = RunTool(QStringList{"write", "--port", "ttyS0", "--no-backup"} +
                                    c.options + QStringList{Path("conf.lmk")});
        EXPECT_EQ(run.status, c.status) << run.err.data();
        EXPECT_TRUE(run.err.contains(LinkTexts::Written.toUtf8()));
        EXPECT_EQ(rig.station.image.block(0), station.image.block(0)); // block 0 never arrived
    }
}

// A failed verification names the address, and how to put back what the
// device held: the backup, or without one the file once more.
TEST_F(Session, WriteVerify_DeviceKeepsADifferentByte_ExitsSevenWithTheRestoreCommand)
{
    // A device that does not keep address 3: every 'W' of block 0 stores 0 there.
    QByteArray text(140, '0');
    text.replace(4, 2, "80"); // address 3 used
    WriteBytes(Path("conf.lmk"), text);
    const ParamImage original = station.image;
    const struct
    {
        QStringList options;
        QString advice;
        QString restored; // the file the advice writes
    } cases[] = {
        {{"--no-backup"}, CtlTexts::NoBackupToRestore, Path("conf.lmk")},
        {{}, CtlTexts::RestoreFrom, Path("conf.device-20260102-030405.lmk")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.advice.toStdString());
        Rig rig(original);
        rig.station.alter = [&rig](QByteArray&, int) {
            const ParamImage::Block b = rig.station.image.block(0);
            if (b[2] != 0) {
                std::uint8_t copy[12];
                std::copy(b.begin(), b.end(), copy);
                copy[2] = 0;
                rig.station.image.setBlock(0, copy);
            }
        };
        const ToolRun run = RunTool(QStringList{"write", "--port", "ttyS0"} + c.options +
                                    QStringList{Path("conf.lmk")});
        EXPECT_EQ(run.status, ExitDifferent) << run.err.data();
        EXPECT_TRUE(run.out.startsWith("адрес 3: записано 80, прочитано 00\n")) << run.out.data();
        const QString err = QString::fromUtf8(run.err);
        EXPECT_TRUE(err.contains(c.advice + QStringLiteral("\n  'lumkctl' write --port 'ttyS0' '") +
                                 c.restored + "'"))
            << run.err.data();
    }
}

// The file goes to the device exactly as it is, bits the table does not show
// included, and the read-back is compared with the file itself: a file of
// random digits written to a station holding zeros is what diff then finds.
TEST_F(Session, Write_SendsTheFileExactly_AndVerifiesAgainstIt)
{
    std::mt19937 random(7);
    QByteArray text;
    for (int i = 0; i < 140; ++i)
        text.append("0123456789ABCDEF"[random() % 16]);
    WriteBytes(Path("random.lmk"), text + "\r\n");
    ParamImage file;
    file.fromText(text);

    Rig write{ParamImage()};
    const ToolRun run = RunTool({"write", "--port", "ttyS0", "--no-backup", Path("random.lmk")});
    EXPECT_EQ(run.status, ExitOk) << run.err.data();
    for (int i = 0; i < ParamImage::StoredSize; ++i)
        EXPECT_EQ(write.station.image.byte(i), file.byte(i)) << "byte " << i;
    EXPECT_EQ(write.station.image.byte(70), 0); // bytes 70 and 71 as the device had them
    EXPECT_EQ(write.station.image.byte(71), 0);

    Rig diff{write.station.image};
    const ToolRun after = RunTool({"diff", "--port", "ttyS0", Path("random.lmk")});
    EXPECT_EQ(after.status, ExitOk) << after.out.data() << after.err.data();
}

} // namespace
