// The window on a virtual X display of its own: what the screen shows after a
// partial repaint (a widget's grab() repaints it whole and cannot see that),
// and the icon the task bar reads. Starts Xvfb on a free display number; exits
// with 77 (skipped) only when Xvfb is not installed.
#include "GuiSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Forks Xvfb and returns its display number, or -1 when it did not come up.
int startXvfb(const QByteArray& program, pid_t& pid)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const QByteArray fd = QByteArray::number(fds[1]);
        ::execl(program.constData(), "Xvfb", "-displayfd", fd.constData(), "-screen", "0",
                "1024x768x24", "-nolisten", "tcp", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    QByteArray number;
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    // It writes the number it chose once it accepts connections.
    while (pid > 0 && ::poll(&p, 1, 15000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(fds[0]);
    bool ok = false;
    const int display = number.toInt(&ok);
    return ok ? display : -1;
}

QImage onScreen(const QWidget* widget)
{
    const QPoint at = widget->mapToGlobal(QPoint(0, 0));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, at.x(), at.y(), widget->width(), widget->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

} // namespace

using Screen = WindowTest;

TEST_F(Screen, GridUnderTheHiddenPopupIsRepaintedWhereItWas)
{
    CreateWindow();
    TStringGrid* grid = form->StringGrid2;
    ClickCell(grid, 1, 5);
    ASSERT_TRUE(form->ComboBox2->isVisible());
    QTest::qWait(200);
    form->Button3->setFocus(); // the popup's exit hides it
    ASSERT_FALSE(form->ComboBox2->isVisible());
    QTest::qWait(200);

    const QImage shown = onScreen(grid);
    const QImage whole = grid->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), whole.size());
    int differing = 0;
    QPoint first;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixel(x, y) != whole.pixel(x, y) && differing++ == 0)
                first = QPoint(x, y);
    EXPECT_EQ(differing, 0) << "first at " << first.x() << "," << first.y();
}

TEST_F(Screen, TaskBarGetsTheCompiledInIcon)
{
    const QString xprop = QStandardPaths::findExecutable(QStringLiteral("xprop"));
    if (xprop.isEmpty())
        GTEST_SKIP() << "xprop not installed";
    CreateWindow();
    QProcess process;
    process.start(xprop, {QStringLiteral("-id"), QString::number(form->winId()),
                          QStringLiteral("_NET_WM_ICON")});
    ASSERT_TRUE(process.waitForFinished(10000));
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    for (int size : {16, 32, 48})
        EXPECT_TRUE(out.contains(QStringLiteral("Icon (%1 x %1)").arg(size))) << size;
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        std::puts("Xvfb is not installed: the screen tests are skipped");
        return 77;
    }
    pid_t pid = -1;
    const int display = startXvfb(QFile::encodeName(xvfb), pid);
    if (display < 0) {
        std::puts("Xvfb did not start");
        return 1;
    }
    ::setenv("DISPLAY", (":" + QByteArray::number(display)).constData(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    int code = 1;
    {
        QApplication app(argc, argv);
        PrepareApplication(app);
        code = RUN_ALL_TESTS();
    }
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    return code;
}
