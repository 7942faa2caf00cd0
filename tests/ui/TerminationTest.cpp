// SIGTERM, SIGHUP and SIGINT end the window program's event loops, a modal
// box's included, with 128 + the signal: the program then closes its port as
// after Exit instead of dying with the lock file left behind.
#include "TerminationSignals.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

TEST(TerminationSignals, EachSignalEndsEveryLoopWithItsStatus)
{
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        const TerminationSignals termination;
        // A modal box is open when the signal comes.
        QTimer::singleShot(0, [signal] {
            QTimer::singleShot(50, [signal] { std::raise(signal); });
            QMessageBox box(QMessageBox::NoIcon, QString(), QStringLiteral("…"), QMessageBox::Ok);
            box.exec();
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
        watchdog.start(5000);
        EXPECT_EQ(QApplication::exec(), 128 + signal);
        EXPECT_EQ(termination.received(), signal);
    }
    // The handlers are gone with the object: the default action is back.
    struct sigaction now = {};
    ASSERT_EQ(::sigaction(SIGTERM, nullptr, &now), 0);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}
