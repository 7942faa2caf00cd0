// The commands that need no device, run in-process: help and usage errors, show
// (text and JSON) against files written by the window's Save, ports over real
// pseudo-terminals, the files the tool writes and the outputs it refuses, the
// files write refuses, and the difference reports (also of two files).
#include "ConfigFiles.h"
#include "ConfigModel.h"
#include "ConfigReport.h"
#include "CoreTexts.h"
#include "CtlTestSupport.h"
#include "CtlTexts.h"
#include "PromptDoubles.h"
#include "TestPty.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The window's state right after start-up without a locked file.
void StartLikeWindow(ConfigModel& model)
{
    model.LabelPages();
    model.image().zeroStoredPrefix();
    model.ImageToTable();
}

QString Cell(const ConfigModel& model, int address, int column)
{
    return model.cell(AddressTable::pageOf(address), AddressTable::rowOf(address), column);
}

// Compares `show --json` output with a model as the window shows it.
void ExpectJsonShows(const QByteArray& json, const ConfigModel& model)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonObject root = doc.object();
    EXPECT_EQ(root.size(), 3);
    EXPECT_EQ(root.value(QStringLiteral("mode")).toInt(-1), model.OperatingMode());
    const QJsonObject options = root.value(QStringLiteral("options")).toObject();
    EXPECT_EQ(options.size(), 3);
    EXPECT_EQ(options.value(QStringLiteral("CheckBox1")),
              QJsonValue(model.options().checkFaultInput));
    EXPECT_EQ(options.value(QStringLiteral("CheckBox2")),
              QJsonValue(model.options().startAcknowledge));
    EXPECT_EQ(options.value(QStringLiteral("RadioButton1")),
              QJsonValue(model.options().controlUpa));
    const QJsonArray addresses = root.value(QStringLiteral("addresses")).toArray();
    ASSERT_EQ(addresses.size(), 64);
    for (int a = 1; a <= 64; ++a) {
        const QJsonObject row = addresses.at(a - 1).toObject();
        SCOPED_TRACE(a);
        EXPECT_EQ(row.value(QStringLiteral("address")).toInt(), a);
        EXPECT_EQ(row.value(QStringLiteral("mode")).toString(),
                  Cell(model, a, AddressTable::ModeColumn));
        EXPECT_EQ(row.value(QStringLiteral("delay")).toString(),
                  Cell(model, a, AddressTable::DelayColumn));
    }
}

class Offline : public ::testing::Test
{
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(Offline, HelpOfEveryCommand_GoesToOutputWithStatusZero)
{
    const QStringList lines[] = {
        {"--help"},
        {"-h"},
        {"help"},
        {"help", "write"},
        {"ports", "--help"},
        {"read", "--help"},
        {"write", "-h"},
        {"show", "--help"},
        {"diff", "--help"},
    };
    for (const QStringList& args : lines) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const ToolRun run = RunTool(args);
        EXPECT_EQ(run.status, ExitOk);
        EXPECT_TRUE(run.out.startsWith("Использование: lumkctl")) << run.out.left(80).data();
        EXPECT_TRUE(run.err.isEmpty());
    }
}

TEST_F(Offline, UsageErrors_ExitTwoWithReasonAndHintOnErrorStream)
{
    struct Case
    {
        QStringList args;
        const char* hint;
    } cases[] = {
        {{}, "lumkctl --help"},
        {{"frobnicate"}, "lumkctl --help"},
        {{"read"}, "lumkctl read --help"},
        {{"write", "--port", "x"}, "lumkctl write --help"},
        {{"show", "a", "b"}, "lumkctl show --help"},
        {{"diff", "--port", "x", "a", "--timeout", "0"}, "lumkctl diff --help"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const ToolRun run = RunTool(c.args);
        EXPECT_EQ(run.status, ExitUsage);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith("lumkctl: ")) << run.err.data();
        EXPECT_TRUE(run.err.contains(c.hint)) << run.err.data();
    }
}

// Independent of the codec: the decoding worked out by hand for 87 04.
TEST_F(Offline, ShowJson_OtherDevicesExample_DecodesAsWorkedOutByHand)
{
    WriteBytes(Path("a.lmk"), "8704" + QByteArray(136, '0') + "\r\n");
    const ToolRun run = RunTool({"show", Path("a.lmk"), "--json"});
    ASSERT_EQ(run.status, ExitOk) << run.err.data();
    const QJsonObject root = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(root.value("mode").toInt(-1), 1);
    const QJsonObject options = root.value("options").toObject();
    EXPECT_TRUE(options.value("CheckBox1").toBool());
    EXPECT_TRUE(options.value("CheckBox2").toBool());
    EXPECT_TRUE(options.value("RadioButton1").toBool());
    const QJsonArray rows = root.value("addresses").toArray();
    ASSERT_EQ(rows.size(), 64);
    EXPECT_EQ(rows.at(0).toObject().value("mode").toString(), QStringLiteral("Да"));
    EXPECT_EQ(rows.at(0).toObject().value("delay").toString(), QStringLiteral("0 сек."));
    for (int i = 1; i < 64; ++i) {
        EXPECT_EQ(rows.at(i).toObject().value("mode").toString(), QStringLiteral("Нет"));
        EXPECT_EQ(rows.at(i).toObject().value("delay").toString(), QString());
    }
}

// Files the window's Save wrote, shown by the tool, equal what the window's
// Open shows: random images in both modes, and tables edited by the gestures.
TEST_F(Offline, ShowJson_FilesSavedByTheWindow_ShowWhatTheWindowOpens)
{
    std::mt19937 rng(20260102);
    RecordingPrompts prompts(true);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        ConfigModel saved;
        StartLikeWindow(saved);
        for (int i = 0; i < ParamImage::Size; ++i)
            saved.image().setByte(i, std::uint8_t(rng()));
        saved.ImageToTable();
        if (round % 4 == 1) {
            saved.setOperatingMode(1 - saved.OperatingMode());
            saved.ApplyOperatingMode();
        }
        if (round % 4 == 2)
            saved.ToggleModeColumn(1 + round % 4);
        if (round % 4 == 3) {
            saved.AdvanceDelayColumn(2);
            saved.setControlUpa(rng() & 1);
            saved.setCheckFaultInput(rng() & 1);
        }
        if (round == 0) {
            for (int page = 1; page <= 4; ++page)
                saved.ToggleModeColumn(page); // every row used
        }
        const QString file = Path(QStringLiteral("saved%1.lmk").arg(round));
        ASSERT_EQ(SaveConfigFile(saved, file, prompts), FileOutcome::Done);

        ConfigModel opened;
        StartLikeWindow(opened);
        ASSERT_EQ(OpenConfigFile(opened, file, prompts), FileOutcome::Done);

        const ToolRun run = RunTool({"show", "--json", file});
        ASSERT_EQ(run.status, ExitOk) << run.err.data();
        ExpectJsonShows(run.out, opened);
    }
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(Offline, ShowText_ListsModeOptionsHeaderAndAllRows)
{
    // Address 1: message 1, 30 s; address 5: message 3, 240 s (C0 + 30);
    // address 64: used, message 2, 120 s (88 + 20).
    QByteArray text(140, '0');
    text.replace(0, 2, "80");
    text.replace(8, 2, "F0");
    text.replace(126, 2, "A8");
    WriteBytes(Path("t.lmk"), text + "\r\n");
    const ToolRun run = RunTool({"show", Path("t.lmk")});
    ASSERT_EQ(run.status, ExitOk) << run.err.data();
    const QStringList lines = QString::fromUtf8(run.out).split('\n');
    ASSERT_GE(lines.size(), 7 + 64);
    EXPECT_EQ(lines.at(0), QStringLiteral("Режим работы: Речевое оповещение \"Тилан\""));
    EXPECT_EQ(lines.at(6), QStringLiteral("Адрес  Режим    Задерж."));
    EXPECT_EQ(lines.at(7), QStringLiteral("    1  Сообщ.1  30 сек."));
    EXPECT_EQ(lines.at(8), QStringLiteral("    2  Нет"));
    EXPECT_EQ(lines.at(11), QStringLiteral("    5  Сообщ.3  240 сек."));
    EXPECT_EQ(lines.at(70), QStringLiteral("   64  Сообщ.2  120 сек."));
}

TEST_F(Offline, Show_UsesTheNameAsGivenWithoutTheExtensionRule)
{
    WriteBytes(Path("conf.txt"), "80" + QByteArray(138, '0'));
    WriteBytes(Path("conf.lmk"), QByteArray(140, '0'));
    const ToolRun run = RunTool({"show", "--json", Path("conf.txt")});
    ASSERT_EQ(run.status, ExitOk);
    const QJsonArray rows = QJsonDocument::fromJson(run.out).object().value("addresses").toArray();
    EXPECT_EQ(rows.at(0).toObject().value("mode").toString(), QStringLiteral("Сообщ.1"));
}

TEST_F(Offline, Show_IgnoresALockedFileInTheWorkingDirectory)
{
    // A start-up file in other-devices mode; the shown file uses no address, so
    // the mode would stay at 1 if the start-up file had been read.
    WriteBytes(Path("regul.lmk"), "8704" + QByteArray(136, '0'));
    WriteBytes(Path("empty.lmk"), QByteArray(140, '0'));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const ToolRun run = RunTool({"show", "--json", "empty.lmk"});
    QDir::setCurrent(previous);
    ASSERT_EQ(run.status, ExitOk) << run.err.data();
    EXPECT_EQ(QJsonDocument::fromJson(run.out).object().value("mode").toInt(-1), 0);
}

TEST_F(Offline, Show_UnreadableFile_ExitsEightWithReadErrorAndNoOutput)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    // The reason in Russian, after the name.
    const std::pair<QString, QString> cases[] = {
        {Path("missing.lmk"), "нет такого файла или папки"},
        {Path("folder"), "это папка, а не файл"},
    };
    for (const auto& [file, reason] : cases) {
        SCOPED_TRACE(file.toStdString());
        const ToolRun run = RunTool({"show", file});
        EXPECT_EQ(run.status, ExitFileError);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(QString::fromUtf8(run.err), "Ошибка чтения: " + file + ": " + reason + "\n");
    }
}

TEST_F(Offline, Ports_ListsEveryDeviceInNaturalOrderWithItsState)
{
    TestPty a, b;
    ASSERT_TRUE(a.ok() && b.ok());
    ASSERT_TRUE(QFile::link(a.slavePath(), Path("ttyS10")));
    ASSERT_TRUE(QFile::link(b.slavePath(), Path("ttyS2")));
    WriteBytes(Path("ttyUSB0"), "not a terminal");
    ASSERT_TRUE(QFile::link(Path("gone"), Path("ttyACM0")));
    SystemRoots fake = CurrentSystemRoots();
    fake.dev = dir.path();
    fake.sys = dir.path(); // no adapter of this machine describes them
    const ScopedSystemRoots roots(fake);
    const ToolRun run = RunTool({"ports"}, SystemPortProber());
    EXPECT_EQ(run.status, ExitOk);
    EXPECT_EQ(QString::fromUtf8(run.out),
              QStringLiteral("ttyACM0 — ошибка: нет такого устройства (%1)\n"
                             "ttyS2 — доступен\n"
                             "ttyS10 — доступен\n"
                             "ttyUSB0 — ошибка: %2 не последовательный порт\n")
                  .arg(Path("ttyACM0"), Path("ttyUSB0")));
}

TEST_F(Offline, Ports_Json_OneObjectForEachDeviceWithNulls)
{
    class Devices : public PortProber
    {
    public:
        QStringList ListPortNames() const override { return {"ttyUSB0"}; }
        QList<SerialDevice> Survey(const QString& = QString()) const override
        {
            return {{"ttyS0", "/dev/ttyS0", PortState::Busy, "занят", {}, {}},
                    {"ttyUSB0",
                     "/dev/ttyUSB0",
                     PortState::Usable,
                     {},
                     "FTDI FT232R (A1)",
                     "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0"}};
        }
    };
    const ToolRun run = RunTool({"ports", "--json"}, Devices());
    EXPECT_EQ(run.status, ExitOk);
    const QJsonArray ports = QJsonDocument::fromJson(run.out).array();
    ASSERT_EQ(ports.size(), 2) << run.out.data();
    const QJsonObject busy = ports[0].toObject();
    const QJsonObject usb = ports[1].toObject();
    EXPECT_EQ(busy.keys(),
              (QStringList{"by_id", "description", "name", "path", "reason", "state"}));
    EXPECT_EQ(busy["name"].toString(), "ttyS0");
    EXPECT_EQ(busy["path"].toString(), "/dev/ttyS0");
    EXPECT_EQ(busy["state"].toString(), "busy");
    EXPECT_EQ(busy["reason"].toString(), "занят");
    EXPECT_TRUE(busy["description"].isNull());
    EXPECT_TRUE(busy["by_id"].isNull());
    EXPECT_EQ(usb["state"].toString(), "usable");
    EXPECT_TRUE(usb["reason"].isNull());
    EXPECT_EQ(usb["description"].toString(), "FTDI FT232R (A1)");
    EXPECT_EQ(usb["by_id"].toString(), "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0");
}

TEST_F(Offline, Ports_NoneUsable_PrintNothingAndSayWhy)
{
    SystemRoots fake = CurrentSystemRoots();
    fake.dev = dir.path();
    const ScopedSystemRoots roots(fake);
    const ToolRun run = RunTool({"ports"}, SystemPortProber());
    EXPECT_EQ(run.status, ExitOk);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_FALSE(run.err.isEmpty());
}

} // namespace

namespace {

// An output that is no regular file is refused before the port is opened (the
// port here does not exist: a refusal after opening would exit 3), and it is
// still what it was.
TEST_F(Offline, ReadOutputThatIsNoRegularFile_IsRefusedBeforeThePort)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketName = QFile::encodeName(Path("socket"));
    ASSERT_LT(size_t(socketName.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketName.constData(), size_t(socketName.size()));
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // A device node of its own (the null device's numbers), where allowed.
    const bool device =
        ::mknod(QFile::encodeName(Path("null")).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    ASSERT_TRUE(QFile::link(Path("fifo"), Path("link-to-fifo")));

    const struct
    {
        const char* name;
        mode_t type;
    } cases[] = {{"folder", S_IFDIR},
                 {"fifo", S_IFIFO},
                 {"socket", S_IFSOCK},
                 {"null", S_IFCHR},
                 {"link-to-fifo", S_IFIFO}};
    for (const auto& c : cases) {
        if (c.type == S_IFCHR && !device)
            continue;
        SCOPED_TRACE(c.name);
        const ToolRun run = RunTool({"read", "--port", "ttyLUMK-none", "--output", Path(c.name)});
        EXPECT_EQ(run.status, ExitFileError) << run.err.data();
        EXPECT_TRUE(run.err.startsWith("Ошибка записи: ")) << run.err.data();
        struct stat info = {};
        ASSERT_EQ(::stat(QFile::encodeName(Path(c.name)).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & S_IFMT, c.type);
    }
    ::close(sock);
}

// write sends only a well-formed file (exactly 140 hexadecimal digits, CR aside)
// unless forced; refused files never reach the port (it does not exist here:
// reaching it exits 3). show reads any file as the window does, with a note.
TEST_F(Offline, WriteRefusesMalformedFilesUnlessForced_ShowNotesThem)
{
    const QByteArray digits(140, '7');
    const struct
    {
        QByteArray content;
        bool wellFormed;
    } cases[] = {
        {"", false},
        {"\r\n", false},
        {"root:x:0:0:root:/root:/bin/bash\n", false},
        {digits.left(139) + "\r\n", false},
        {digits + "7\r\n", false},
        {digits.left(60) + "G" + digits.left(79) + "\r\n", false},
        {digits + "\r\n", true},
        {digits.toLower().replace('7', 'c') + "\n", true},
        {digits.left(70) + "\r" + digits.left(70) + "\r\r\n" + "trailing text", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.left(40).toStdString());
        WriteBytes(Path("f.lmk"), c.content);
        const ToolRun write = RunTool({"write", "--port", "ttyLUMK-none", Path("f.lmk")});
        EXPECT_EQ(write.status, c.wellFormed ? ExitPortNotOpen : ExitFileError) << write.err.data();
        if (!c.wellFormed) {
            EXPECT_TRUE(write.err.startsWith(QFile::encodeName(Path("f.lmk")) + ": "))
                << write.err.data();
            const ToolRun forced =
                RunTool({"write", "--force", "--port", "ttyLUMK-none", Path("f.lmk")});
            EXPECT_EQ(forced.status, ExitPortNotOpen);
        }
        const ToolRun show = RunTool({"show", Path("f.lmk")});
        EXPECT_EQ(show.status, ExitOk);
        EXPECT_EQ(show.err.contains(Path("f.lmk").toUtf8()), !c.wellFormed) << show.err.data();
    }
}

TEST_F(Offline, DiffOfTwoFiles_NeedsNoPort_ExitsZeroOrSevenWithTheDeviceDiffsReport)
{
    WriteBytes(Path("a.lmk"), QByteArray(140, '0') + "\r\n");
    WriteBytes(Path("same.lmk"), QByteArray(140, '0') + "\r\n");
    WriteBytes(Path("b.lmk"), "80" + QByteArray(138, '0') + "\r\n");

    const ToolRun same = RunTool({"diff", Path("a.lmk"), Path("same.lmk")});
    EXPECT_EQ(same.status, ExitOk) << same.err.data();
    EXPECT_TRUE(same.out.isEmpty());

    const ToolRun differs = RunTool({"diff", Path("a.lmk"), Path("b.lmk")});
    EXPECT_EQ(differs.status, ExitDifferent) << differs.err.data();
    EXPECT_EQ(QString::fromUtf8(differs.out),
              QStringLiteral("Адрес 1: файл 1 «Нет», файл 2 «Сообщ.1 30 сек.»\n"));
    EXPECT_TRUE(QString::fromUtf8(differs.err).contains(CtlTexts::DifferenceCount.arg(1)));

    const ToolRun missing = RunTool({"diff", Path("a.lmk"), Path("missing.lmk")});
    EXPECT_EQ(missing.status, ExitFileError);
}

// diff is 0 exactly when all 70 stored bytes agree, whichever bits differ; a
// difference the table does not show is given as the raw byte, and show lists
// such bits too.
TEST_F(Offline, Diff_EqualOnlyWhenAll70BytesAre_UnshownBitsAsRawBytes)
{
    std::mt19937 random(16);
    for (int round = 0; round < 300; ++round) {
        ParamImage a;
        for (int i = 0; i < ParamImage::StoredSize; ++i)
            a.setByte(i, std::uint8_t(random() % 4 == 0 ? random() : 0));
        ParamImage b = a;
        for (int flips = int(random() % 3); flips > 0; --flips) {
            const int i = int(random() % ParamImage::StoredSize);
            b.setByte(i, std::uint8_t(b.byte(i) ^ (1u << (random() % 8))));
        }
        WriteBytes(Path("a.lmk"), a.toText() + "\r\n");
        WriteBytes(Path("b.lmk"), b.toText() + "\r\n");
        const ToolRun run = RunTool({"diff", Path("a.lmk"), Path("b.lmk")});
        const bool equal = a.toText() == b.toText();
        ASSERT_EQ(run.status, equal ? ExitOk : ExitDifferent)
            << a.toText().data() << ' ' << b.toText().data();
        ASSERT_EQ(run.out.isEmpty(), equal);
    }

    // The report's own example: byte 0 with address 1 in use, low bits changed.
    WriteBytes(Path("a.lmk"), "90" + QByteArray(138, '0'));
    WriteBytes(Path("b.lmk"), "91" + QByteArray(138, '0'));
    const ToolRun diff = RunTool({"diff", Path("a.lmk"), Path("b.lmk")});
    EXPECT_EQ(diff.status, ExitDifferent);
    EXPECT_EQ(QString::fromUtf8(diff.out),
              QStringLiteral("Байт 0 (биты 01 таблица не показывает): файл 1 «90», файл 2 «91»\n"));
    const ToolRun show = RunTool({"show", Path("b.lmk")});
    EXPECT_TRUE(QString::fromUtf8(show.out).endsWith(
        QStringLiteral("\nБиты, которых таблица не показывает:\n  байт 0 = 91, биты 01\n")))
        << show.out.data();
}

} // namespace
