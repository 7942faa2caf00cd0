// The port list's order and the machine's ports as the selector offers them.
#include "PortProber.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

TEST(NaturalOrder, SortsDigitRunsByValue)
{
    QStringList names = {"ttyS10", "ttyUSB0", "ttyS2", "ttyS0", "ttyACM1", "ttyS02", "ttyS1"};
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names,
              (QStringList{"ttyACM1", "ttyS0", "ttyS1", "ttyS2", "ttyS02", "ttyS10", "ttyUSB0"}));
    QStringList com;
    for (int n = 128; n >= 1; --n)
        com << QStringLiteral("COM%1").arg(n);
    std::sort(com.begin(), com.end(), NaturalLess);
    EXPECT_EQ(com.first(), "COM1");
    EXPECT_EQ(com.at(9), "COM10");
    EXPECT_EQ(com.last(), "COM128");
}

TEST(SystemPorts, ListsOnlyDevicesThatOpenAndAnswerASettingsQuery)
{
    // A device folder of our own: two terminals, a plain file and a dangling link.
    int master1, slave1, master2, slave2;
    ASSERT_EQ(::openpty(&master1, &slave1, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(::openpty(&master2, &slave2, nullptr, nullptr, nullptr), 0);
    QTemporaryDir dev;
    const auto link = [&](int fd, const char* name) {
        const QByteArray target = ::ttyname(fd);
        ASSERT_TRUE(QFile::link(QString::fromLocal8Bit(target), dev.filePath(name)));
    };
    link(slave1, "ttyS10");
    link(slave2, "ttyS2");
    QFile plain(dev.filePath("ttyUSB0"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    ASSERT_TRUE(QFile::link(dev.filePath("gone"), dev.filePath("ttyACM0")));
    QFile other(dev.filePath("console"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));

    SystemRoots fake = CurrentSystemRoots();
    fake.dev = dev.path();
    const ScopedSystemRoots roots(fake);
    SystemPortProber prober;
    EXPECT_EQ(prober.ListPortNames(), (QStringList{"ttyS2", "ttyS10"}));

    // A terminal held exclusively by another program is not listed.
    ASSERT_EQ(::ioctl(slave1, TIOCEXCL), 0);
    if (::getuid() != 0) { // root may open it all the same
        EXPECT_EQ(prober.ListPortNames(), (QStringList{"ttyS2"}));
    }
    for (int fd : {master1, slave1, master2, slave2})
        ::close(fd);
}
