// A pseudo-terminal pair for tests: the master side stays with the test, the
// slave path is what a program opens as its serial port.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

class TestPty
{
public:
    TestPty()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0)
            slave_ = QString::fromLocal8Bit(::ptsname(master_));
    }
    ~TestPty()
    {
        if (master_ >= 0)
            ::close(master_);
    }
    TestPty(const TestPty&) = delete;
    TestPty& operator=(const TestPty&) = delete;

    bool ok() const { return !slave_.isEmpty(); }
    const QString& slavePath() const { return slave_; }
    // Sends bytes to the program's side.
    bool Send(const QByteArray& bytes) const
    {
        return ::write(master_, bytes.constData(), bytes.size()) == bytes.size();
    }

private:
    int master_ = -1;
    QString slave_;
};
