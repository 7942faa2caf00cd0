// The line that says why a port does not open: each errno worded, and the real
// causes reproduced on real files and pseudo-terminals.
#include "OpenDiagnosis.h"
#include "CtlTexts.h"
#include "SerialDevices.h"
#include "TestPty.h"

#include <QDir>
#include <QFile>
#include <QSerialPort>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

namespace {

TEST(OpenDiagnosis, PortDevicePath_NamesLiveInDevPathsStayAsGiven)
{
    EXPECT_EQ(PortDevicePath("ttyUSB0"), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(PortDevicePath("pts/3"), QStringLiteral("/dev/pts/3"));
    EXPECT_EQ(PortDevicePath("/dev/pts/3"), QStringLiteral("/dev/pts/3"));
    EXPECT_EQ(PortDevicePath("./pty"), QStringLiteral("./pty"));
    // A bare name of the adapter's stable by-id link names that link.
    QTemporaryDir dev;
    ASSERT_TRUE(QDir(dev.path()).mkpath("serial/by-id"));
    ASSERT_TRUE(QFile::link("../../ttyUSB0", dev.filePath("serial/by-id/usb-FTDI_A1-port0")));
    SystemRoots fake = CurrentSystemRoots();
    fake.dev = dev.path();
    const ScopedSystemRoots roots(fake);
    EXPECT_EQ(PortDevicePath("usb-FTDI_A1-port0"), dev.filePath("serial/by-id/usb-FTDI_A1-port0"));
}

TEST(OpenDiagnosis, ResolvePortArgument_MakesExistingRelativePathsAbsolute)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    QFile(dir.filePath("sub/pty")).open(QIODevice::WriteOnly);
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const QString existing = ResolvePortArgument("sub/pty");
    const QString dotted = ResolvePortArgument("./missing");
    const QString devName = ResolvePortArgument("pts/77");
    const QString plain = ResolvePortArgument("ttyS0");
    QDir::setCurrent(previous);
    EXPECT_EQ(existing, QDir(dir.path()).filePath("sub/pty"));
    EXPECT_EQ(dotted, QDir(dir.path()).filePath("missing"));
    EXPECT_EQ(devName, QStringLiteral("pts/77"));
    EXPECT_EQ(plain, QStringLiteral("ttyS0"));
}

TEST(OpenDiagnosis, DescribeOpenErrno_WordsEachCause)
{
    const QString path = QStringLiteral("/dev/ttyS4");
    const QString administrator = QStringLiteral("только администратор");
    struct Case
    {
        int error;
        QString group;
        unsigned mode;
        QString says;  // the line holds this
        QString never; // and never this
    } cases[] = {
        {ENOENT, {}, 0, CtlTexts::NoSuchDevice.arg(path), {}},
        {ENXIO, {}, 0, CtlTexts::NoSuchDevice.arg(path), {}},
        {ENODEV, {}, 0, CtlTexts::NoSuchDevice.arg(path), {}},
        {EACCES, "dialout", 020660, "sudo usermod -aG dialout $USER", administrator},
        {EPERM, "uucp", 020660, "sudo usermod -aG uucp $USER", administrator},
        // Joining the owner's group is advised only for a serial group with access.
        {EACCES, "root", 020600, administrator, "usermod"},
        {EACCES, "plugdev", 020660, administrator, "usermod"},
        {EACCES, "dialout", 020600, administrator, "usermod"},
        {EACCES, {}, 0, QStringLiteral("Причина: нет прав на ") + path, "usermod"},
        {EBUSY, "dialout", 020660, CtlTexts::HeldByOther, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        SCOPED_TRACE(c.group.toStdString());
        const QString line =
            DescribeOpenErrno(c.error, path, QStringLiteral("root"), c.group, c.mode);
        EXPECT_TRUE(line.contains(c.says)) << line.toStdString();
        if (!c.never.isEmpty()) {
            EXPECT_FALSE(line.contains(c.never)) << line.toStdString();
        }
    }
    // Any other errno gives the system's own words, never an empty line.
    const QString other = DescribeOpenErrno(EIO, path);
    EXPECT_TRUE(other.startsWith(QStringLiteral("Причина: "))) << other.toStdString();
    EXPECT_GT(other.size(), QStringLiteral("Причина: .").size());
}

TEST(OpenDiagnosis, ExplainOpenFailure_MissingDevice)
{
    EXPECT_EQ(ExplainOpenFailure("ttyLUMK-none"), CtlTexts::NoSuchDevice.arg("/dev/ttyLUMK-none"));
}

TEST(OpenDiagnosis, ExplainOpenFailure_FileThatIsNoTerminal)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("plain");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(ExplainOpenFailure(path), CtlTexts::NotSerial.arg(path));
}

TEST(OpenDiagnosis, ExplainOpenFailure_PortHeldByAnotherOpen)
{
    TestPty pty;
    ASSERT_TRUE(pty.ok());
    QSerialPort holder;
    holder.setPortName(pty.slavePath());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite)) << holder.errorString().toStdString();
    // QSerialPort's lock file names this process as the holder.
    const QString held = ExplainOpenFailure(pty.slavePath());
    EXPECT_TRUE(held.startsWith(CtlTexts::HeldByOther.chopped(1))) << held.toStdString();
    EXPECT_TRUE(held.contains(QStringLiteral("PID %1").arg(::getpid()))) << held.toStdString();
    holder.close();
    // Free again: the cause can no longer be found, and the line says so.
    EXPECT_EQ(ExplainOpenFailure(pty.slavePath()), CtlTexts::UnknownReason);
}

} // namespace
