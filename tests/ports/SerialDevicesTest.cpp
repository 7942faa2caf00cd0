// The survey of serial devices over a fake device, sysfs and lock tree whose
// devices are real pseudo-terminals, as an unprivileged user sees them.
#include "SerialDevices.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>

namespace {

struct Pty
{
    Pty() { ::openpty(&master, &slave, nullptr, nullptr, nullptr); }
    ~Pty()
    {
        ::close(master);
        ::close(slave);
    }
    QString path() const { return QString::fromLocal8Bit(::ttyname(slave)); }
    int master = -1;
    int slave = -1;
};

struct Expected
{
    PortState state;
    QString reasonHolds; // empty: no reason
    QString description;
    QString byId;
};

TEST(SerialDevices, Survey_EachDeviceWithItsStateReasonDescriptionAndById)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755); // "nobody" reads it too
    const auto path = [&](const QString& name) { return dir.filePath(name); };
    for (const char* folder : {"dev/serial/by-id", "lock", "out",
                               "sys/devices/usb1/1-1/1-1:1.0/ttyUSB0", "sys/class/tty/ttyUSB0"})
        ASSERT_TRUE(QDir(dir.path()).mkpath(folder));
    ::chmod(QFile::encodeName(path("out")).constData(), 0777);
    const bool root = ::getuid() == 0;
    const group* dialout = ::getgrnam("dialout");

    std::map<QString, Expected> table;
    std::vector<std::unique_ptr<Pty>> ptys;
    const auto device = [&](const QString& name, Expected expected) {
        ptys.push_back(std::make_unique<Pty>());
        ::fchmod(ptys.back()->slave, 0666);
        EXPECT_TRUE(QFile::link(ptys.back()->path(), path("dev/" + name)));
        table[name] = std::move(expected);
        return ptys.back().get();
    };
    const auto lock = [&](const QString& name, qint64 pid) {
        WriteBytes(path("lock/LCK.." + name),
                   QByteArray::number(pid).rightJustified(10, ' ') + '\n');
    };
    const QString init = QString::fromUtf8(ReadBytes("/proc/1/comm")).trimmed();

    // A USB adapter: its description from sysfs, its by-id link.
    device("ttyUSB0", {PortState::Usable,
                       {},
                       "FTDI FT232R USB UART (A12345)",
                       path("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0")});
    ASSERT_TRUE(QFile::link(path("sys/devices/usb1/1-1/1-1:1.0/ttyUSB0"),
                            path("sys/class/tty/ttyUSB0/device")));
    WriteBytes(path("sys/devices/usb1/1-1/idVendor"), "0403\n");
    WriteBytes(path("sys/devices/usb1/1-1/manufacturer"), "FTDI\n");
    WriteBytes(path("sys/devices/usb1/1-1/product"), "FT232R USB UART\n");
    WriteBytes(path("sys/devices/usb1/1-1/serial"), "A12345\n");
    ASSERT_TRUE(QFile::link("../../ttyUSB0",
                            path("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0")));
    // Another program's lock with a live owner; one whose owner is gone.
    device("ttyS0", {PortState::Busy, QStringLiteral("%1, PID 1").arg(init), {}, {}});
    lock("ttyS0", 1);
    device("ttyS1", {PortState::Usable, {}, {}, {}});
    lock("ttyS1", 2147483000);
    // Held open exclusively (the kernel refuses a second open).
    Pty* held = device("ttyS4", {PortState::Busy, "порт занят другой программой", {}, {}});
    ASSERT_EQ(::ioctl(held->slave, TIOCEXCL), 0);
    WriteBytes(path("dev/ttyS2"), "not a terminal");
    ::chmod(QFile::encodeName(path("dev/ttyS2")).constData(), 0666);
    table["ttyS2"] = {PortState::Error, path("dev/ttyS2") + " не последовательный порт", {}, {}};
    ASSERT_TRUE(QFile::link(path("dev/gone"), path("dev/ttyS3")));
    table["ttyS3"] = {PortState::Error, "нет такого устройства", {}, {}};
    if (root) { // only root can give a device away
        Pty* adminOnly = device("ttyACM0", {PortState::NoPermission,
                                            "(владелец root:root, права 0600); доступ может дать "
                                            "только администратор",
                                            {},
                                            {}});
        ASSERT_EQ(::fchown(adminOnly->slave, 0, 0), 0);
        ASSERT_EQ(::fchmod(adminOnly->slave, 0600), 0);
        if (dialout) {
            Pty* group = device("ttyUSB1", {PortState::NoPermission,
                                            "sudo usermod -aG dialout $USER) и войдите в систему "
                                            "заново",
                                            {},
                                            {}});
            ASSERT_EQ(::fchown(group->slave, 0, dialout->gr_gid), 0);
            ASSERT_EQ(::fchmod(group->slave, 0660), 0);
        }
    }

    const ScopedSystemRoots roots(SystemRoots{path("dev"), path("sys"), "/proc", {path("lock")}});
    const QString out = path("out/survey");
    const int code = RunUnprivileged([&] {
        QByteArray lines;
        for (const SerialDevice& d : SurveySerialDevices())
            lines +=
                (QStringList{d.name, PortStateName(d.state), d.reason, d.description, d.byId}.join(
                     '\t') +
                 '\n')
                    .toUtf8();
        QFile f(out);
        return f.open(QIODevice::WriteOnly) && f.write(lines) == lines.size() ? 0 : 1;
    });
    ASSERT_EQ(code, 0);

    QStringList names;
    for (const QString& line : QString::fromUtf8(ReadBytes(out)).split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split('\t');
        ASSERT_EQ(f.size(), 5) << line.toStdString();
        names << f[0];
        SCOPED_TRACE(line.toStdString());
        ASSERT_TRUE(table.count(f[0]));
        const Expected& e = table[f[0]];
        EXPECT_EQ(f[1], PortStateName(e.state));
        EXPECT_EQ(f[2].isEmpty(), e.reasonHolds.isEmpty());
        EXPECT_TRUE(f[2].contains(e.reasonHolds));
        EXPECT_EQ(f[3], e.description);
        EXPECT_EQ(f[4], e.byId);
    }
    QStringList expectedOrder{"ttyACM0", "ttyS0", "ttyS1",   "ttyS2",
                              "ttyS3",   "ttyS4", "ttyUSB0", "ttyUSB1"};
    expectedOrder.removeIf([&](const QString& n) { return !table.count(n); });
    EXPECT_EQ(names, expectedOrder);
    // The survey never removes a lock file, live or dead.
    EXPECT_TRUE(QFile::exists(path("lock/LCK..ttyS0")));
    EXPECT_TRUE(QFile::exists(path("lock/LCK..ttyS1")));
}

} // namespace
