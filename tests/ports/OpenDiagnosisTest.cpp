// Why a port does not open: device paths, each errno worded once, and the
// real causes reproduced on real files and pseudo-terminals.
#include "OpenDiagnosis.h"
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

TEST(OpenDiagnosis, DevicePath_NamesLiveInDevPathsStayAsGiven)
{
    EXPECT_EQ(DevicePath("ttyUSB0"), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(DevicePath("pts/3"), QStringLiteral("/dev/pts/3"));
    EXPECT_EQ(DevicePath("/dev/pts/3"), QStringLiteral("/dev/pts/3"));
    EXPECT_EQ(DevicePath("./pty"), QStringLiteral("./pty"));
    // A bare name of the adapter's stable by-id link names that link.
    QTemporaryDir dev;
    ASSERT_TRUE(QDir(dev.path()).mkpath("serial/by-id"));
    ASSERT_TRUE(QFile::link("../../ttyUSB0", dev.filePath("serial/by-id/usb-FTDI_A1-port0")));
    SystemRoots fake = CurrentSystemRoots();
    fake.dev = dev.path();
    const ScopedSystemRoots roots(fake);
    EXPECT_EQ(DevicePath("usb-FTDI_A1-port0"), dev.filePath("serial/by-id/usb-FTDI_A1-port0"));
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

TEST(OpenDiagnosis, DescribeOpenError_OneStateAndReasonForEachErrno)
{
    const QString path = QStringLiteral("/nonexistent/ttyS4");
    const struct
    {
        int error;
        PortState state;
        QString reason;
    } cases[] = {
        {ENOENT, PortState::Error, DeviceTexts::NoSuchDevice(path)},
        {ENXIO, PortState::Error, DeviceTexts::NoSuchDevice(path)},
        {ENODEV, PortState::Error, DeviceTexts::NoSuchDevice(path)},
        {ENOTDIR, PortState::Error, DeviceTexts::NoSuchDevice(path)},
        // Owner and mode come from the device; a device that is gone has none.
        {EACCES, PortState::NoPermission, DeviceTexts::NoPermission(path, {}, {}, 0)},
        {EPERM, PortState::NoPermission, DeviceTexts::NoPermission(path, {}, {}, 0)},
        {EBUSY, PortState::Busy, DeviceTexts::BusyUnknown()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        const OpenRefusal refusal = DescribeOpenError(c.error, path);
        EXPECT_EQ(refusal.state, c.state);
        EXPECT_EQ(refusal.reason, c.reason);
    }
    // Any other errno gives the system's own words, never an empty reason.
    const OpenRefusal other = DescribeOpenError(EIO, path);
    EXPECT_EQ(other.state, PortState::Error);
    EXPECT_FALSE(other.reason.isEmpty());
}

TEST(OpenDiagnosis, NoPermission_AdvisesJoiningOnlyASerialGroupWithAccess)
{
    const QString path = QStringLiteral("/dev/ttyS4");
    const QString administrator = QStringLiteral("только администратор");
    const struct
    {
        QString group;
        unsigned mode;
        QString says;  // the reason holds this
        QString never; // and never this
    } cases[] = {
        {"dialout", 020660, "sudo usermod -aG dialout $USER", administrator},
        {"uucp", 020660, "sudo usermod -aG uucp $USER", administrator},
        {"root", 020600, administrator, "usermod"},
        {"plugdev", 020660, administrator, "usermod"},
        {"dialout", 020600, administrator, "usermod"},
        {{}, 0, QStringLiteral("нет прав на ") + path, "usermod"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.group.toStdString());
        const QString reason =
            DeviceTexts::NoPermission(path, QStringLiteral("root"), c.group, c.mode);
        EXPECT_TRUE(reason.contains(c.says)) << reason.toStdString();
        EXPECT_FALSE(reason.contains(c.never)) << reason.toStdString();
    }
}

TEST(OpenDiagnosis, ExplainOpenFailure_MissingDevice)
{
    EXPECT_EQ(ExplainOpenFailure("ttyLUMK-none"),
              DiagnosisTexts::NoSuchDevice.arg("/dev/ttyLUMK-none"));
}

TEST(OpenDiagnosis, ExplainOpenFailure_FileThatIsNoTerminal)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("plain");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(ExplainOpenFailure(path),
              DiagnosisTexts::OtherReason.arg(DeviceTexts::NotSerial(path)));
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
    EXPECT_TRUE(held.startsWith(DiagnosisTexts::HeldByOther.chopped(1))) << held.toStdString();
    EXPECT_TRUE(held.contains(QStringLiteral("PID %1").arg(::getpid()))) << held.toStdString();
    holder.close();
    // Free again: the cause can no longer be found, and the line says so.
    EXPECT_EQ(ExplainOpenFailure(pty.slavePath()), DiagnosisTexts::UnknownReason);
}

} // namespace
