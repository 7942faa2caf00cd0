// The device commands in-process against a scripted station in virtual link
// time: how each failure of the link maps to its exit status, the stall
// time-out, and that bad files stop a command before the device is touched.
#include "ComUtilites.h"
#include "CtlTestSupport.h"
#include "CtlTexts.h"
#include "LinkFrames.h"
#include "LinkTexts.h"
#include "ScriptedPort.h"
#include "ScriptedStation.h"
#include "VirtualClock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QByteArray Invitation = QByteArray::fromHex("FF0000FF");

class Session : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetComUtilites();
        SetLinkClock(clock);
        SetSerialBackend(port);
        for (int i = 0; i < ParamImage::Size; ++i)
            station.image.setByte(i, std::uint8_t(0x80 + i));
    }
    void TearDown() override { ResetComUtilites(); }

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
    ScriptedStation station{*port};
    QTemporaryDir dir;
};

TEST_F(Session, PortRefused_ExitsThreeWithNotOpenAndItsReason)
{
    port->refusedNames.insert("ttyLUMK-none");
    const ToolRun run = RunTool({"read", "--port", "ttyLUMK-none"});
    EXPECT_EQ(run.status, ExitPortNotOpen);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(QString::fromUtf8(run.err), LinkTexts::NotOpen("ttyLUMK-none") + '\n' +
                                              CtlTexts::NoSuchDevice.arg("/dev/ttyLUMK-none") +
                                              '\n');
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

TEST_F(Session, WriteVerify_DeviceKeepsADifferentByte_ExitsSevenNamingTheAddress)
{
    // A device that does not keep address 3: every 'W' of block 0 stores 0 there.
    station.alter = [this](QByteArray&, int) {
        const ParamImage::Block b = station.image.block(0);
        if (b[2] != 0) {
            std::uint8_t copy[12];
            std::copy(b.begin(), b.end(), copy);
            copy[2] = 0;
            station.image.setBlock(0, copy);
        }
    };
    QByteArray text(140, '0');
    text.replace(4, 2, "80"); // address 3 used
    WriteBytes(Path("conf.lmk"), text);
    port->Deliver(Invitation);
    const ToolRun run =
        RunTool({"write", "--port", "ttyS0", "--no-backup", "--verify", Path("conf.lmk")});
    EXPECT_EQ(run.status, ExitDifferent) << run.err.data();
    EXPECT_TRUE(run.out.startsWith("адрес 3: записано 80, прочитано 00\n")) << run.out.data();
    EXPECT_TRUE(SentCommand('W'));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"conf.lmk"});
}

} // namespace
