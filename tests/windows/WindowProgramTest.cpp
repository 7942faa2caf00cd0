// A window program on Windows. Log-off and shutdown: the session's end closes
// the windows as the operator would (a window kept open cancels it), and the
// port is closed before Windows ends the process. Command-line answers with
// nowhere to go are shown in a box. Real windows and window messages, so it
// needs a display (scripts/test-windows runs it under Xvfb).
#include "ComUtilites.h"
#include "CommandLineOutput.h"
#include "ScriptedPort.h"
#include "SerialLink.h"
#include "TerminationSignals.h"
#include "UiTexts.h"
#include "VirtualClock.h"

#include <QApplication>
#include <QCloseEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <windows.h>

namespace {

class Window : public QWidget
{
public:
    bool keepOpen = false;
    int closeRequests = 0;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        ++closeRequests;
        event->setAccepted(!keepOpen);
    }
};

LRESULT Send(QWidget& window, UINT message, WPARAM wParam)
{
    return ::SendMessageW(reinterpret_cast<HWND>(window.winId()), message, wParam,
                          ENDSESSION_LOGOFF);
}

} // namespace

// One test: Windows ends a session once per process (aboutToQuit comes once).
TEST(SessionEnd, ClosesWindowsAsTheOperatorWouldThenThePort)
{
    auto clock = std::make_shared<VirtualClock>();
    SerialLink link(std::make_shared<ScriptedPort>(clock), clock);
    const PortBinding binding(link); // as the window program binds its link
    ASSERT_TRUE(OpenPort(QStringLiteral("COM5")));

    const TerminationSignals termination;
    Window window;
    window.keepOpen = true; // the operator cancels the save question
    window.show();
    EXPECT_EQ(Send(window, WM_QUERYENDSESSION, 0), 0);
    EXPECT_EQ(window.closeRequests, 1);
    EXPECT_TRUE(window.isVisible());
    Send(window, WM_ENDSESSION, FALSE); // the end was cancelled: nothing happens
    EXPECT_TRUE(PortIsOpen());

    window.keepOpen = false;
    EXPECT_NE(Send(window, WM_QUERYENDSESSION, 0), 0);
    EXPECT_EQ(window.closeRequests, 2);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(PortIsOpen());
    // Windows ends the process when this message returns: the port is closed.
    window.show(); // a window to receive it
    Send(window, WM_ENDSESSION, TRUE);
    EXPECT_FALSE(PortIsOpen());
}

// Typed in cmd.exe, a window program gets no console: its --help would be
// lost, so it appears in a message box, which the operator closes.
TEST(CommandLineOutput, NowhereToWrite_ShowsTheTextInABox)
{
    const QString text = QStringLiteral("Использование: lumk-config [ФАЙЛ]");
    const HANDLE saved = ::GetStdHandle(STD_OUTPUT_HANDLE);
    ::SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
    std::atomic<bool> seen{false};
    QString shown;
    std::thread operatorSide([&] {
        const auto* title = reinterpret_cast<const wchar_t*>(UiTexts::ApplicationTitle.utf16());
        for (int i = 0; i < 200 && !seen; ++i) {
            if (const HWND box = ::FindWindowW(L"#32770", title)) {
                wchar_t content[256] = {};
                ::GetDlgItemTextW(box, 0xFFFF, content, 255); // the box's message
                shown = QString::fromWCharArray(content);
                seen = true;
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            } else {
                ::Sleep(25);
            }
        }
    });
    const bool written = WriteCommandLineText(stdout, text + QLatin1Char('\n'));
    operatorSide.join();
    ::SetStdHandle(STD_OUTPUT_HANDLE, saved);
    EXPECT_TRUE(written);
    ASSERT_TRUE(seen);
    EXPECT_EQ(shown, text);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
