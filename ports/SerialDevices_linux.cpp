#include "SerialDevices.h"

#include "PortLock_linux.h"
#include "PortProber.h"
#include "SystemErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <vector>

namespace {

QString Join(const QString& dir, const QString& name)
{
    return dir + QLatin1Char('/') + name;
}

QByteArray ReadSmallFile(const QString& path, qint64 limit = 4096)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(limit);
}

QString Trimmed(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes).trimmed();
}

QString GroupName(gid_t gid)
{
    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
    group entry{};
    group* found = nullptr;
    while (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    return found ? QString::fromLocal8Bit(found->gr_name) : QString::number(gid);
}

QString UserName(uid_t uid)
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    while (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    return found ? QString::fromLocal8Bit(found->pw_name) : QString::number(uid);
}

// The USB device above a tty's device node in sysfs: the first folder with a
// vendor id, a few levels up (an interface, then the device).
QString UsbDescription(const QString& name, const SystemRoots& roots)
{
    QString dir = QFileInfo(Join(roots.sys, QStringLiteral("class/tty/") + name + "/device"))
                      .canonicalFilePath();
    for (int level = 0; level < 4 && !dir.isEmpty() && dir != QLatin1String("/"); ++level) {
        if (QFileInfo::exists(Join(dir, QStringLiteral("idVendor")))) {
            const QString manufacturer = Trimmed(ReadSmallFile(Join(dir, "manufacturer")));
            const QString product = Trimmed(ReadSmallFile(Join(dir, "product")));
            const QString serial = Trimmed(ReadSmallFile(Join(dir, "serial")));
            QStringList words;
            if (!manufacturer.isEmpty())
                words << manufacturer;
            if (!product.isEmpty())
                words << product;
            if (words.isEmpty())
                words << QStringLiteral("USB %1:%2")
                             .arg(Trimmed(ReadSmallFile(Join(dir, "idVendor"))),
                                  Trimmed(ReadSmallFile(Join(dir, "idProduct"))));
            QString text = words.join(QLatin1Char(' '));
            if (!serial.isEmpty())
                text += QStringLiteral(" (") + serial + QLatin1Char(')');
            return text;
        }
        dir = QFileInfo(dir).path();
    }
    return QString();
}

QStringList LinksTo(const QString& folder, const QString& canonical)
{
    QStringList found;
    const QDir dir(folder);
    for (const QString& entry : dir.entryList(
             QDir::System | QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString link = dir.filePath(entry);
        if (QFileInfo(link).canonicalFilePath() == canonical)
            found << link;
    }
    return found;
}

QString ByIdName(const QString& path, const SystemRoots& roots)
{
    const QStringList links =
        LinksTo(Join(roots.dev, QStringLiteral("serial/by-id")), CanonicalDevicePath(path));
    return links.isEmpty() ? QString() : links.first();
}

// open(2) as the port list's probe does; the descriptor or -1 with errno.
int OpenProbe(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

SystemRoots& CurrentSystemRoots()
{
    static SystemRoots roots;
    return roots;
}

QString DevicePath(const QString& port)
{
    if (port.startsWith(QLatin1Char('/')) || port.startsWith(QLatin1String("./")) ||
        port.startsWith(QLatin1String("../")))
        return port;
    const QString dev = CurrentSystemRoots().dev;
    const QString path = Join(dev, port);
    // A bare by-id name ("usb-FTDI_…-port0") names its link there.
    if (!port.contains(QLatin1Char('/')) && !QFileInfo::exists(path)) {
        const QString byId = Join(dev, QStringLiteral("serial/by-id/") + port);
        if (QFileInfo(byId).isSymLink())
            return byId;
    }
    return path;
}

QString CanonicalDevicePath(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

QStringList DeviceNames(const QString& path)
{
    const SystemRoots& roots = CurrentSystemRoots();
    const QString canonical = CanonicalDevicePath(path);
    QStringList names{path, canonical};
    for (const char* folder : {"serial/by-id", "serial/by-path"})
        names << LinksTo(Join(roots.dev, QLatin1String(folder)), canonical);
    names.removeDuplicates();
    return names;
}

bool ProcessAlive(qint64 pid)
{
    if (pid <= 0 || pid > INT32_MAX)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

QString ProgramName(qint64 pid)
{
    return Trimmed(ReadSmallFile(
        Join(CurrentSystemRoots().proc, QString::number(pid) + QStringLiteral("/comm"))));
}

std::optional<DeviceHolder> FindOpenHolder(const QString& path)
{
    const QString canonical = CanonicalDevicePath(path);
    const QString proc = CurrentSystemRoots().proc;
    const qint64 self = ::getpid();
    const QStringList pids = QDir(proc).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : pids) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || pid == self)
            continue;
        const QDir fds(Join(proc, entry + QStringLiteral("/fd")));
        for (const QString& fd : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
            if (QFileInfo(fds.filePath(fd)).symLinkTarget() == canonical)
                return DeviceHolder{pid, ProgramName(pid), QString()};
        }
    }
    return std::nullopt;
}

SerialDevice InspectSerialDevice(const QString& name)
{
    const SystemRoots& roots = CurrentSystemRoots();
    SerialDevice device;
    device.name = name;
    device.path = DevicePath(name);
    device.description = UsbDescription(QFileInfo(name).fileName(), roots);
    device.byId = ByIdName(device.path, roots);

    // An abandoned lock does not count: opening the port removes it.
    if (auto lock = FindBlockingLock(device.path); lock && !lock->abandoned) {
        device.state = PortState::Busy;
        device.reason = lock->holder ? DeviceTexts::Busy(*lock->holder)
                                     : DeviceTexts::BadLockFile(lock->file, lock->problem);
        return device;
    }
    const int fd = OpenProbe(device.path);
    if (fd < 0) {
        const OpenRefusal refusal = DescribeOpenError(errno, device.path);
        device.state = refusal.state;
        device.reason = refusal.reason;
        return device;
    }
    termios settings{};
    const bool isTerminal = ::tcgetattr(fd, &settings) == 0;
    ::close(fd);
    if (!isTerminal) {
        device.reason = DeviceTexts::NotSerial(device.path);
        return device;
    }
    device.state = PortState::Usable;
    return device;
}

OpenRefusal DescribeOpenError(int error, const QString& path)
{
    switch (error) {
    case EACCES:
    case EPERM: {
        struct stat info
        {
        };
        if (::stat(QFile::encodeName(path).constData(), &info) == 0)
            return {PortState::NoPermission,
                    DeviceTexts::NoPermission(path, UserName(info.st_uid), GroupName(info.st_gid),
                                              info.st_mode)};
        return {PortState::NoPermission, DeviceTexts::NoPermission(path, {}, {}, 0)};
    }
    case EBUSY: {
        const auto holder = FindOpenHolder(path);
        return {PortState::Busy, holder ? DeviceTexts::Busy(*holder) : DeviceTexts::BusyUnknown()};
    }
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return {PortState::Error, DeviceTexts::NoSuchDevice(path)};
    default:
        return {PortState::Error,
                DeviceTexts::OtherError(SystemErrorText(error))};
    }
}

QStringList SerialDeviceCandidates()
{
    // Serial device families of Linux: on-board UARTs, USB adapters, CDC modems,
    // multiport cards and the like.
    static const QStringList patterns = {
        QStringLiteral("ttyS*"),   QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*"),
        QStringLiteral("ttyAMA*"), QStringLiteral("ttymxc*"), QStringLiteral("ttySAC*"),
        QStringLiteral("ttyO*"),   QStringLiteral("ttyHS*"),  QStringLiteral("rfcomm*"),
    };
    QStringList names =
        QDir(CurrentSystemRoots().dev).entryList(patterns, QDir::System | QDir::Files);
    std::sort(names.begin(), names.end(), NaturalLess);
    names.removeDuplicates();
    return names;
}
