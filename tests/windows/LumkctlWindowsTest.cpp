// lumkctl's Windows twins: console control events noted as the signals the
// Linux tool stops for, the closing console held until the work has ended, an
// output file another program holds, the restore command quoted for cmd.exe,
// and the progress style a console's mode allows.
#include "Console.h"
#include "CtlTexts.h"
#include "Interrupt.h"
#include "LumkctlCommands.h"
#include "ParamImage.h"
#include "Platform.h"
#include "PortProber.h"
#include "ScriptedPort.h"
#include "ScriptedStation.h"
#include "SerialLink.h"
#include "VirtualClock.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <thread>

// After the link's headers: windows.h defines their purge flags as macros.
#include <windows.h>

#include "Interrupt_windows.h"
#include "Platform_windows.h"
#include <shellapi.h>

using namespace std::chrono_literals;

TEST(LumkctlWindows, ConsoleEvents_NoteTheirSignalOnce_ASecondIsLeftToTheSystem)
{
    const struct
    {
        DWORD event;
        int signal;
        const char* name;
    } cases[] = {{CTRL_C_EVENT, SIGINT, "SIGINT"}, {CTRL_BREAK_EVENT, SIGINT, "SIGINT"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearInterrupt();
        EXPECT_TRUE(OnConsoleControl(c.event));
        EXPECT_EQ(PendingInterrupt(), c.signal);
        EXPECT_STREQ(InterruptName(PendingInterrupt()), c.name);
        // The system's own handler then ends the process at once.
        EXPECT_FALSE(OnConsoleControl(CTRL_C_EVENT));
        EXPECT_EQ(PendingInterrupt(), c.signal);
    }
    ClearInterrupt();
    EXPECT_FALSE(OnConsoleControl(CTRL_LOGOFF_EVENT));
    EXPECT_EQ(PendingInterrupt(), 0);
}

namespace {

const QByteArray Invitation = QByteArray::fromHex("FF0000FF");

struct ToolRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// The tool in-process against a scripted station in virtual link time.
class Tool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < ParamImage::Size; ++i)
            station.image.setByte(i, std::uint8_t(0x80 + i));
        port->Deliver(Invitation);
    }
    ToolRun Run(const QStringList& arguments)
    {
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        Console console(out, err, ProgressStyle::Hidden);
        NoPorts ports;
        CtlContext context{console, ports,
                           [] { return QDateTime(QDate(2026, 1, 2), QTime(3, 4)); }};
        context.transports = [this](const QString&) { return port; };
        context.clock = clock;
        ToolRun run;
        run.status = RunLumkctl(arguments, context);
        run.out = out.data();
        run.err = err.data();
        return run;
    }
    QString Path(const QString& name) const { return dir.filePath(name); }

    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    std::shared_ptr<ScriptedPort> port = std::make_shared<ScriptedPort>(clock);
    ScriptedStation station{*port};
    QTemporaryDir dir;
};

} // namespace

// Closing the console stops the transfer as SIGTERM does on Linux. The system
// ends the process as soon as the handler returns: it returns only once the
// tool's work has ended.
TEST_F(Tool, ClosingConsole_StopsTheTransferAsSigtermAndWaitsUntilTheWorkHasEnded)
{
    ClearInterrupt();
    std::future<BOOL> handler;
    station.alter = [&handler](QByteArray&, int index) {
        if (index != 3)
            return;
        handler = std::async(std::launch::async, [] { return OnConsoleControl(CTRL_CLOSE_EVENT); });
        while (PendingInterrupt() == 0)
            std::this_thread::yield();
    };
    const ToolRun run = Run({"read", "--port", "COM5"});
    EXPECT_EQ(run.status, 128 + SIGTERM) << run.err.data();
    EXPECT_TRUE(QString::fromUtf8(run.err).contains(CtlTexts::Interrupted.arg("SIGTERM")))
        << run.err.data();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(port->openName.isEmpty()); // the port is closed
    ASSERT_TRUE(handler.valid());
    EXPECT_EQ(handler.wait_for(300ms), std::future_status::timeout);
    WorkEnded();
    ASSERT_EQ(handler.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(handler.get());
    ClearInterrupt();
}

// The output file another program holds without sharing it: the image read is
// not saved, the message says why, and the file stays as it was.
TEST_F(Tool, OutputHeldByAnotherProgram_IsRefusedSayingSoAndLeftWhole)
{
    const QString target = Path(QStringLiteral("станция.lmk"));
    const QByteArray old = QByteArray(140, '1') + "\r\n";
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(old), old.size());
    }
    const std::wstring path = QDir::toNativeSeparators(target).toStdWString();
    const HANDLE holder = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const ToolRun run = Run({"read", "--port", "COM5", "--output", target});
    ::CloseHandle(holder);
    EXPECT_EQ(run.status, ExitFileError);
    EXPECT_TRUE(QString::fromUtf8(run.err).contains(QStringLiteral("файл занят другой программой")))
        << run.err.data();
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("станция.lmk")});
}

// Whatever the name, the quoted words come back as the same arguments when a
// program's command line is split (CommandLineToArgvW, as the C runtime does).
TEST(LumkctlWindows, ShellQuoted_WordsSurviveTheCommandLineWhole)
{
    const QByteArray words[] = {
        "COM5",
        "\\\\.\\COM12",
        "C:\\Program Files\\ЛУМ-К\\lumkctl.exe",
        "конфигурация.device-20260102-030405.lmk",
        "C:\\папка с пробелом\\",
        "a\"b",
        "a&b|c<d>e^f%g",
        "",
    };
    for (const QByteArray& word : words) {
        SCOPED_TRACE(word.constData());
        const QByteArray quoted = ShellQuoted(word);
        const QString line = QStringLiteral("lumkctl ") + QString::fromUtf8(quoted) + " end";
        int argc = 0;
        LPWSTR* argv = ::CommandLineToArgvW(reinterpret_cast<LPCWSTR>(line.utf16()), &argc);
        ASSERT_NE(argv, nullptr);
        ASSERT_EQ(argc, 3) << quoted.constData();
        EXPECT_EQ(QString::fromWCharArray(argv[1]).toUtf8(), word) << quoted.constData();
        ::LocalFree(argv);
    }
    // Plain names stay as typed.
    EXPECT_EQ(ShellQuoted("COM5"), "COM5");
}

// The progress style from what a console says of its mode: terminal sequences
// turned on where they can be and kept; plain lines where the mode refuses
// them or silently drops them; nothing where the handle is no console.
TEST(LumkctlWindows, ConsoleProgressStyle_FollowsWhatTheConsoleModeKeeps)
{
    constexpr DWORD Vt = ENABLE_VIRTUAL_TERMINAL_PROCESSING;
    constexpr DWORD Plain = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
    const struct
    {
        const char* name;
        bool isConsole;
        DWORD mode;
        bool setSucceeds;
        bool keepsSet;
        ProgressStyle want;
        int sets; // SetConsoleMode calls expected
    } cases[] = {
        {"file or pipe", false, 0, false, false, ProgressStyle::Hidden, 0},
        {"already on", true, Plain | Vt, true, true, ProgressStyle::Bar, 0},
        {"turned on", true, Plain, true, true, ProgressStyle::Bar, 1},
        {"refused (legacy console)", true, Plain, false, false, ProgressStyle::Lines, 1},
        {"accepted, not kept", true, Plain, true, false, ProgressStyle::Lines, 1},
    };
    const HANDLE console = reinterpret_cast<HANDLE>(0x1234);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD mode = c.mode;
        int sets = 0;
        ConsoleModeCalls calls;
        calls.get = [&](HANDLE handle, DWORD* out) {
            EXPECT_EQ(handle, console);
            *out = mode;
            return BOOL(c.isConsole);
        };
        calls.set = [&](HANDLE handle, DWORD wanted) {
            EXPECT_EQ(handle, console);
            // The console's other settings stay as they were.
            EXPECT_EQ(wanted, c.mode | Vt);
            ++sets;
            if (c.keepsSet)
                mode = wanted;
            return BOOL(c.setSucceeds);
        };
        EXPECT_EQ(ConsoleProgressStyle(console, calls), c.want);
        EXPECT_EQ(sets, c.sets);
    }
    EXPECT_EQ(ConsoleProgressStyle(INVALID_HANDLE_VALUE), ProgressStyle::Hidden);
}
