#include "SerialDevices.h"

#include "PortProber.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
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

// The name a path has below the device folder ("pts/3"), or the path itself.
QString NameBelowDev(const QString& path, const SystemRoots& roots)
{
    for (const QString& dev : {roots.dev, QStringLiteral("/dev")}) {
        if (path.startsWith(dev + QLatin1Char('/')))
            return path.mid(dev.size() + 1);
    }
    return path;
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

std::optional<DeviceHolder> LiveLockIn(const QStringList& candidates)
{
    for (const QString& file : candidates) {
        const QByteArray content = ReadSmallFile(file, 256);
        const qint64 pid = LockFilePid(content);
        if (pid > 0 && ProcessAlive(pid))
            return DeviceHolder{pid, ProgramName(pid), file};
    }
    return std::nullopt;
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

qint64 LockFilePid(const QByteArray& content)
{
    // Text: the first word is the PID, whatever follows it.
    const QByteArray text = content.trimmed();
    qsizetype end = 0;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    const bool textual = end > 0 && (end == text.size() || QChar(text[end]).isSpace());
    if (textual) {
        bool ok = false;
        const qint64 pid = text.left(end).toLongLong(&ok);
        return ok && pid > 0 && pid <= INT32_MAX ? pid : 0;
    }
    // Binary: exactly the four bytes of a native int.
    if (content.size() == 4) {
        std::int32_t pid = 0;
        std::memcpy(&pid, content.constData(), 4);
        return pid > 0 ? pid : 0;
    }
    return 0;
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

QStringList LockFileCandidates(const QString& path)
{
    const SystemRoots& roots = CurrentSystemRoots();
    QStringList spellings;
    for (const QString& name : DeviceNames(path)) {
        QString below = NameBelowDev(name, roots);
        spellings << QStringLiteral("LCK..") + below.replace(QLatin1Char('/'), QLatin1Char('_'));
        spellings << QStringLiteral("LCK..") + QFileInfo(name).fileName();
    }
    spellings.removeDuplicates();

    QStringList files;
    QSet<QString> folders;
    for (const QString& dir : roots.lockDirs) {
        const QString real = QFileInfo(dir).canonicalFilePath();
        if (real.isEmpty() || folders.contains(real))
            continue;
        folders.insert(real);
        for (const QString& spelling : spellings)
            files << Join(dir, spelling);
    }
    return files;
}

std::optional<DeviceHolder> FindLiveLock(const QString& path)
{
    return LiveLockIn(LockFileCandidates(path));
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

QString PortStateName(PortState state)
{
    switch (state) {
    case PortState::Usable:
        return QStringLiteral("usable");
    case PortState::NoPermission:
        return QStringLiteral("no-permission");
    case PortState::Busy:
        return QStringLiteral("busy");
    case PortState::Error:
        break;
    }
    return QStringLiteral("error");
}

SerialDevice InspectSerialDevice(const QString& name)
{
    const SystemRoots& roots = CurrentSystemRoots();
    SerialDevice device;
    device.name = name;
    device.path = DevicePath(name);
    device.description = UsbDescription(QFileInfo(name).fileName(), roots);
    device.byId = ByIdName(device.path, roots);

    if (auto holder = FindLiveLock(device.path)) {
        device.state = PortState::Busy;
        device.reason = DeviceTexts::Busy(*holder);
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
                DeviceTexts::OtherError(QString::fromLocal8Bit(std::strerror(error)))};
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

QList<SerialDevice> SurveySerialDevices(const QString& held)
{
    QList<SerialDevice> devices;
    for (const QString& name : SerialDeviceCandidates()) {
        if (!held.isEmpty() && name == held) {
            SerialDevice device;
            device.name = name;
            device.path = DevicePath(name);
            device.state = PortState::Usable;
            devices << device;
            continue;
        }
        devices << InspectSerialDevice(name);
    }
    return devices;
}

namespace DeviceTexts {

QString NoSuchDevice(const QString& path)
{
    return QStringLiteral("нет такого устройства (%1)").arg(path);
}

QString NotSerial(const QString& path)
{
    return QStringLiteral("%1 не последовательный порт").arg(path);
}

QString NoPermission(const QString& path, const QString& owner, const QString& group, unsigned mode)
{
    if (group.isEmpty())
        return QStringLiteral("нет прав на %1").arg(path);
    const QString access = QStringLiteral("нет прав на %1 (владелец %2:%3, права %4)")
                               .arg(path, owner, group)
                               .arg(mode & 07777, 4, 8, QLatin1Char('0'));
    // Joining the group helps only when the group may read and write the
    // device and is one a user is meant to join.
    const bool serialGroup = group == QLatin1String("dialout") || group == QLatin1String("uucp");
    if (serialGroup && (mode & 060) == 060)
        return access + QStringLiteral("; добавьте пользователя в группу %1 "
                                       "(sudo usermod -aG %1 $USER) и войдите в систему заново")
                            .arg(group);
    return access + QStringLiteral("; доступ может дать только администратор");
}

QString Busy(const DeviceHolder& holder)
{
    const QString who = holder.program.isEmpty()
                            ? QStringLiteral("PID %1").arg(holder.pid)
                            : QStringLiteral("%1, PID %2").arg(holder.program).arg(holder.pid);
    if (holder.lockFile.isEmpty())
        return QStringLiteral("порт занят другой программой (%1)").arg(who);
    return QStringLiteral("порт занят другой программой (%1, файл блокировки %2)")
        .arg(who, holder.lockFile);
}

QString BusyUnknown()
{
    return QStringLiteral("порт занят другой программой");
}

QString OtherError(const QString& systemText)
{
    return systemText;
}

} // namespace DeviceTexts
