// lumkctl's Windows twins: console control events noted as the signals the
// Linux tool stops for, the closing console held until the work has ended,
// and the restore command quoted for cmd.exe.
#include "Interrupt.h"
#include "Interrupt_windows.h"
#include "Platform.h"

#include <QString>

#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <shellapi.h>
#include <windows.h>

using namespace std::chrono_literals;

TEST(LumkctlWindows, ConsoleEvents_NoteTheirSignalOnce_ASecondIsLeftToTheSystem)
{
    const struct
    {
        DWORD event;
        int signal;
        const char* name;
    } cases[] = {{CTRL_C_EVENT, SIGINT, "SIGINT"}, {CTRL_BREAK_EVENT, SIGBREAK, "SIGBREAK"}};
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

// The system ends the process as soon as the handler of a closing console
// returns: it returns only once the stopped transfer's work has ended.
TEST(LumkctlWindows, ClosingConsole_NotesSigtermAndWaitsUntilTheWorkHasEnded)
{
    ClearInterrupt();
    auto handler =
        std::async(std::launch::async, [] { return OnConsoleControl(CTRL_CLOSE_EVENT); });
    EXPECT_EQ(handler.wait_for(300ms), std::future_status::timeout);
    EXPECT_EQ(PendingInterrupt(), SIGTERM);
    EXPECT_STREQ(InterruptName(SIGTERM), "SIGTERM");
    WorkEnded();
    ASSERT_EQ(handler.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(handler.get());
    ClearInterrupt();
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
