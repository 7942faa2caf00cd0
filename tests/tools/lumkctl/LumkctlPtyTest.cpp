// Every device command as its own process, against the station simulator over a
// real pseudo-terminal: read to a file and to standard output (with --trace),
// write with its backup, write with --verify, a write ended by SIGTERM, diff, a
// station that falls silent, a busy port, a missing port, and a port with no
// station behind it.
#include "ConfigModel.h"
#include "CtlTexts.h"
#include "LinkTexts.h"
#include "LumkctlProcess.h"
#include "OpenDiagnosis.h"
#include "PdfTools.h"
#include "StationSimulator.h"
#include "TestFiles.h"
#include "TestPty.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A configuration the encoder reproduces byte for byte: speech mode (byte 1 has
// the КН bit), address 1 message 4 / 30 s, address 11 message 1 / 60 s, and data
// in the bytes the table does not show.
ParamImage FixedPointImage()
{
    ParamImage image;
    image.setByte(0, 0xC8);
    image.setByte(1, 0x04);
    image.setByte(10, 0x90);
    for (int i = 64; i < 70; ++i)
        image.setByte(i, std::uint8_t(i - 63));
    return image;
}

bool SameStoredBytes(const ParamImage& a, const ParamImage& b)
{
    return a.toText() == b.toText();
}

class Pty : public ::testing::Test
{
protected:
    void StartStation(StationFaults faults = {}, bool baudPacing = false)
    {
        StationOptions options = StationSimulator::DefaultOptions();
        options.faults = faults;
        options.baudPacing = baudPacing;
        options.log = [](const QString&) {};
        station = std::make_unique<StationSimulator>(options);
        QString error;
        ASSERT_TRUE(station->Start(&error)) << error.toStdString();
        port = station->ProgramSidePath();
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    QStringList Backups() const
    {
        return QDir(dir.path()).entryList({QStringLiteral("*.device-*.lmk")}, QDir::Files);
    }

    std::unique_ptr<StationSimulator> station;
    QString port;
    QTemporaryDir dir;
};

TEST_F(Pty, Read_ToANamedFileAndToOutput_GiveTheStationsImage_IgnoringRegulLmk)
{
    StartStation();
    const ParamImage expected = station->Image();
    // A start-up file here must not hide what the device holds.
    WriteBytes(Path("regul.lmk"), FileText(FixedPointImage()));

    // First, while the station still invites: its wake is in the trace.
    const ProcessRun toOutput = RunLumkctl({"read", "--trace", "--port", port}, dir.path());
    ASSERT_EQ(toOutput.status, 0) << toOutput.err.data();
    EXPECT_EQ(toOutput.out, FileText(expected));
    // Every frame on the error stream, timestamped: the wake and 19-byte frames.
    const QStringList trace = QString::fromUtf8(toOutput.err).split('\n', Qt::SkipEmptyParts);
    const QRegularExpression frameLine(
        QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d (TX|RX)( [0-9A-F]{2})+$"));
    ASSERT_FALSE(trace.isEmpty());
    for (const QString& line : trace)
        EXPECT_TRUE(frameLine.match(line).hasMatch()) << line.toStdString();
    EXPECT_TRUE(trace.filter(QStringLiteral(" RX FF 00 00 FF")).size() >= 1);
    EXPECT_EQ(trace.filter(QStringLiteral(" TX FF 80 0F 0F 7F")).size(), 1);
    // Read requests: 'S' (53) and 15 more bytes, at least one per block.
    const QRegularExpression readRequest(QStringLiteral(" TX FF 81 00 53( [0-9A-F]{2}){15}$"));
    EXPECT_GE(trace.filter(readRequest).size(), 6);

    const ProcessRun toFile =
        RunLumkctl({"read", "--port", port, "--output", "out.txt"}, dir.path());
    ASSERT_EQ(toFile.status, 0) << toFile.err.data();
    EXPECT_TRUE(toFile.out.isEmpty());
    EXPECT_EQ(ReadBytes(Path("out.txt")), FileText(expected)); // the name as given
    EXPECT_FALSE(QFile::exists(Path("out.lmk")));
}

// The sheet needs no display: lumkctl draws it on a platform of its own choice.
class Headless
{
public:
    Headless()
    {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            saved_.append({name, qgetenv(name)});
            qunsetenv(name);
        }
    }
    ~Headless()
    {
        for (const auto& [name, value] : saved_) {
            if (!value.isNull())
                qputenv(name, value);
        }
    }

private:
    QList<std::pair<const char*, QByteArray>> saved_;
};

TEST_F(Pty, Sheet_FromAFile_OnePageOfItsTableWithAnUnknownState)
{
    WriteBytes(Path("site.lmk"), FileText(FixedPointImage()));
    const Headless headless;
    const ProcessRun run =
        RunLumkctl({"sheet", Path("site.lmk"), "--output", Path("site.pdf")}, dir.path());
    ASSERT_EQ(run.status, 0) << run.err.data();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(PdfPages(Path("site.pdf")), 1);
    const QString text = PdfText(Path("site.pdf"));
    for (const QString& expected :
         {QStringLiteral("Файл: ") + Path("site.lmk"), QStringLiteral("Порт: —"),
          QStringLiteral("Состояние относительно устройства: не известно"),
          QStringLiteral("1 Сообщ.4 30 сек."), QStringLiteral("11 Сообщ.1 60 сек."),
          QStringLiteral("Настроил:"), QStringLiteral("Проверил:")})
        EXPECT_TRUE(text.simplified().contains(expected)) << expected.toStdString();

    // A sheet that cannot be written is a file error, the input an unreadable one.
    QDir(dir.path()).mkdir(QStringLiteral("folder.pdf"));
    EXPECT_EQ(RunLumkctl({"sheet", Path("site.lmk"), "--output", Path("folder.pdf")}).status, 8);
    EXPECT_EQ(RunLumkctl({"sheet", Path("none.lmk"), "--output", Path("none.pdf")}).status, 8);
    EXPECT_FALSE(QFile::exists(Path("none.pdf")));
}

TEST_F(Pty, Sheet_FromThePort_ShowsTheDeviceAndWhenItWasRead)
{
    StartStation();
    const Headless headless;
    const ProcessRun run =
        RunLumkctl({"sheet", "--port", port, "--output", Path("device.pdf")}, dir.path());
    ASSERT_EQ(run.status, 0) << run.err.data();
    const QString text = PdfText(Path("device.pdf")).simplified();
    EXPECT_TRUE(text.contains(QStringLiteral("Порт: ") + port));
    EXPECT_TRUE(text.contains(QRegularExpression(
        QStringLiteral("Состояние относительно устройства: прочитано с %1 в \\d\\d:\\d\\d")
            .arg(QRegularExpression::escape(port)))))
        << text.toStdString();
    // The .lmk line of the table the device's configuration decodes to.
    ConfigModel model;
    model.LabelPages();
    model.image() = station->Image();
    model.ImageToTable();
    ParamImage table = model.image();
    model.TableToImage(table);
    EXPECT_TRUE(text.contains(QString::fromLatin1(table.toText().left(70))));
    EXPECT_TRUE(text.contains(QString::fromLatin1(table.toText().mid(70))));
}

TEST_F(Pty, Write_KeepsTheDevicesConfigurationBesideTheFileThenWritesIt)
{
    StartStation();
    const ParamImage before = station->Image();
    WriteBytes(Path("site.cfg"), FileText(FixedPointImage()));
    const ProcessRun run = RunLumkctl({"write", "--port", port, Path("site.cfg")});
    ASSERT_EQ(run.status, 0) << run.err.data();
    EXPECT_TRUE(QString::fromUtf8(run.err).contains(LinkTexts::Written));

    const ParamImage after = station->Image();
    EXPECT_TRUE(SameStoredBytes(after, FixedPointImage())) << after.toText().data();
    EXPECT_EQ(after.byte(70), before.byte(70)); // never in a file, sent back unchanged
    EXPECT_EQ(after.byte(71), before.byte(71));

    const QStringList backups = Backups();
    ASSERT_EQ(backups.size(), 1);
    EXPECT_TRUE(backups.at(0).startsWith(QStringLiteral("site.device-")));
    EXPECT_EQ(ReadBytes(Path(backups.at(0))), FileText(before));
}

TEST_F(Pty, WriteVerify_NoBackup_ReadsBackTheSameAndLeavesNoBackup)
{
    StartStation();
    WriteBytes(Path("site.lmk"), FileText(FixedPointImage()));
    const ProcessRun run =
        RunLumkctl({"write", "--verify", "--no-backup", "--port", port, Path("site.lmk")});
    ASSERT_EQ(run.status, 0) << run.err.data();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(QString::fromUtf8(run.err).contains(CtlTexts::Verified)) << run.err.data();
    EXPECT_TRUE(SameStoredBytes(station->Image(), FixedPointImage()));
    EXPECT_TRUE(Backups().isEmpty());
}

TEST_F(Pty, Diff_SameConfigurationExitsZero_OtherAddressExitsSevenNamingIt)
{
    StartStation();
    WriteBytes(Path("same.lmk"), FileText(station->Image()));
    int used = 1; // the first address the station's configuration uses
    while (used < 64 && !(station->Image().byte(used - 1) & 0x80))
        ++used;
    ASSERT_LT(used, 64);
    ParamImage other = station->Image();
    other.setByte(used - 1, 0x00); // unused in the file
    WriteBytes(Path("other.lmk"), FileText(other));

    const ProcessRun same = RunLumkctl({"diff", "--port", port, Path("same.lmk")});
    EXPECT_EQ(same.status, 0) << same.err.data();
    EXPECT_TRUE(same.out.isEmpty());

    const ProcessRun differs = RunLumkctl({"diff", "--port", port, Path("other.lmk")});
    EXPECT_EQ(differs.status, 7) << differs.err.data();
    const QStringList lines = QString::fromUtf8(differs.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << differs.out.data();
    EXPECT_TRUE(lines.at(0).startsWith(QStringLiteral("Адрес %1: устройство «").arg(used)));
    EXPECT_TRUE(lines.at(0).endsWith(QStringLiteral("файл «Нет»")));
}

// A real SIGTERM while the blocks go out at line speed: the tool stops between
// two ticks, and the command it prints puts the device back as it was.
TEST_F(Pty, WriteTerminated_PrintsTheCommandThatRestoresTheDevice)
{
    StartStation({}, true);
    const ParamImage before = station->Image();
    WriteBytes(Path("new.lmk"), FileText(FixedPointImage()));
    QProcess tool;
    tool.start(QStringLiteral(LUMKCTL_PATH), {"write", "--trace", "--port", port, Path("new.lmk")});
    ASSERT_TRUE(tool.waitForStarted());
    tool.setReadChannel(QProcess::StandardError);
    QByteArray err;
    QElapsedTimer waited;
    waited.start();
    while (!err.contains(" TX FF 81 00 57 02") && waited.elapsed() < 20000 &&
           tool.state() == QProcess::Running) {
        tool.waitForReadyRead(100);
        err += tool.readAllStandardError();
    }
    tool.terminate();
    ASSERT_TRUE(tool.waitForFinished(10000));
    err += tool.readAllStandardError();
    EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(tool.exitCode(), 143) << err.data();
    EXPECT_FALSE(SameStoredBytes(station->Image(), before)); // some blocks went out

    const QList<QByteArray> lines = err.trimmed().split('\n');
    ASSERT_FALSE(lines.isEmpty());
    QProcess restore;
    restore.start(QStringLiteral("/bin/sh"), {"-c", QString::fromUtf8(lines.last())});
    ASSERT_TRUE(restore.waitForFinished(60000));
    EXPECT_EQ(restore.exitCode(), 0)
        << lines.last().data() << restore.readAllStandardError().data();
    EXPECT_TRUE(SameStoredBytes(station->Image(), before));
}

// A reader that goes away (`| head`) is an output failure like a full disk:
// exit 8, and the port's lock file goes with the port.
TEST_F(Pty, OutputClosedByTheReader_ExitsEightAndLeavesNoLock)
{
    StartStation();
    QProcess shell;
    shell.start(QStringLiteral("/bin/bash"),
                {"-c",
                 R"("$0" read --trace --port "$1" 2>&1 | head -c 1 >/dev/null;)"
                 R"( exit "${PIPESTATUS[0]}")",
                 QStringLiteral(LUMKCTL_PATH), port});
    ASSERT_TRUE(shell.waitForFinished(60000));
    EXPECT_EQ(shell.exitCode(), 8) << shell.readAllStandardError().data();
    const QString lockName = "LCK.." + QString(port).remove(0, 5).replace('/', '_');
    for (const char* folder : {"/run/lock/", "/var/lock/", "/tmp/"})
        EXPECT_FALSE(QFile::exists(folder + lockName)) << folder;
}

TEST_F(Pty, StationFallsSilentAfterTheStart_ExitsSixWithinTheTimeout)
{
    StationFaults faults;
    faults.silentAfter = 2;
    StartStation(faults);
    QElapsedTimer elapsed;
    elapsed.start();
    const ProcessRun run = RunLumkctl({"read", "--port", port, "--timeout", "1"});
    EXPECT_EQ(run.status, 6) << run.err.data();
    EXPECT_LT(elapsed.elapsed(), 6000);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(QString::fromUtf8(run.err).contains(CtlTexts::Stalled.arg(1)));
}

TEST_F(Pty, BusyPort_ExitsThreeSayingAnotherProgramHoldsIt)
{
    StartStation();
    QSerialPort holder;
    holder.setPortName(port);
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite)) << holder.errorString().toStdString();
    const ProcessRun run = RunLumkctl({"read", "--port", port});
    EXPECT_EQ(run.status, 3);
    // QSerialPort's lock file names this process, and the tool names it too.
    const QString err = QString::fromUtf8(run.err);
    EXPECT_TRUE(
        err.startsWith(LinkTexts::NotOpen(port) + '\n' + DiagnosisTexts::HeldByOther.chopped(1)))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("PID %1").arg(QCoreApplication::applicationPid())))
        << err.toStdString();
}

TEST_F(Pty, MissingPort_ExitsThreeSayingThereIsNoSuchDevice)
{
    const ProcessRun run = RunLumkctl({"diff", "--port", "ttyLUMK-none", "--", "-"});
    EXPECT_EQ(run.status, 8); // the file is checked first: "-" does not exist here
    WriteBytes(Path("a.lmk"), QByteArray(140, '0'));
    const ProcessRun missing = RunLumkctl({"diff", "--port", "ttyLUMK-none", Path("a.lmk")});
    EXPECT_EQ(missing.status, 3);
    EXPECT_EQ(QString::fromUtf8(missing.err),
              LinkTexts::NotOpen("ttyLUMK-none") + '\n' +
                  DiagnosisTexts::NoSuchDevice.arg("/dev/ttyLUMK-none") + '\n');
}

TEST_F(Pty, NoStationOnThePort_ExitsFourWithNoDevice)
{
    TestPty silent;
    ASSERT_TRUE(silent.ok());
    const ProcessRun run = RunLumkctl({"read", "--port", silent.slavePath()});
    EXPECT_EQ(run.status, 4);
    EXPECT_EQ(QString::fromUtf8(run.err), LinkTexts::NoDevice + '\n');
}

} // namespace
