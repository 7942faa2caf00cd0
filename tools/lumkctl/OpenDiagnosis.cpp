// Reproduces the failed open step by step: the plain open(2) first (its errno
// tells missing devices, permissions and exclusive holders apart), then the
// line-settings query, then the serial port layer itself (which also refuses a
// port whose lock file another program holds) with the line settings applied.
#include "OpenDiagnosis.h"

#include "CtlTexts.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPort>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

QString GroupOf(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QString();
    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
    group entry{};
    group* found = nullptr;
    while (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (!found)
        return QString::number(info.st_gid);
    return QString::fromLocal8Bit(found->gr_name);
}

} // namespace

QString PortDevicePath(const QString& port)
{
    if (port.startsWith(QLatin1Char('/')) || port.startsWith(QLatin1String("./")) ||
        port.startsWith(QLatin1String("../")))
        return port;
    return QStringLiteral("/dev/") + port;
}

QString ResolvePortArgument(const QString& port)
{
    if (!port.contains(QLatin1Char('/')) || port.startsWith(QLatin1Char('/')))
        return port;
    // "pts/3" names /dev/pts/3 unless such a path exists here.
    const QFileInfo here(port);
    if (here.exists() || port.startsWith(QLatin1String("./")) ||
        port.startsWith(QLatin1String("../")))
        return here.absoluteFilePath();
    return port;
}

QString DescribeOpenErrno(int error, const QString& path, const QString& group)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return CtlTexts::NoSuchDevice.arg(path);
    case EACCES:
    case EPERM:
        return group.isEmpty() ? CtlTexts::PermissionDeniedNoGroup.arg(path)
                               : CtlTexts::PermissionDenied.arg(path, group);
    case EBUSY:
        return CtlTexts::HeldByOther;
    case 0:
        return QString();
    default:
        return CtlTexts::OtherReason.arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

QString ExplainOpenFailure(const QString& port)
{
    const QString path = PortDevicePath(port);
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        return DescribeOpenErrno(error, path, GroupOf(path));
    }
    termios settings{};
    const bool isTerminal = ::tcgetattr(fd, &settings) == 0;
    ::close(fd);
    if (!isTerminal)
        return CtlTexts::NotSerial.arg(path);

    // The device opens by itself: ask the serial port layer, which also takes
    // the port's lock file and exclusive access, and applies the line settings.
    QSerialPort probe;
    probe.setPortName(path);
    if (!probe.open(QIODevice::ReadWrite)) {
        if (probe.error() == QSerialPort::PermissionError)
            return CtlTexts::HeldByOther;
        if (probe.error() == QSerialPort::DeviceNotFoundError)
            return CtlTexts::NoSuchDevice.arg(path);
        return CtlTexts::OtherReason.arg(probe.errorString());
    }
    const bool settingsApplied = probe.setBaudRate(2400) && probe.setDataBits(QSerialPort::Data8) &&
                                 probe.setParity(QSerialPort::NoParity) &&
                                 probe.setStopBits(QSerialPort::OneStop) &&
                                 probe.setFlowControl(QSerialPort::NoFlowControl);
    probe.close();
    return settingsApplied ? CtlTexts::UnknownReason : CtlTexts::SettingsRejected;
}
