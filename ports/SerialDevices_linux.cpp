#include "SerialDevices.h"

#include "PortProber.h"
#include "SystemErrors.h"

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

#include <ctime>
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

QString NotPlainKind(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("именованный канал (FIFO)");
    if (S_ISDIR(mode))
        return QStringLiteral("папка");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("файл устройства");
    if (S_ISSOCK(mode))
        return QStringLiteral("сокет");
    return QStringLiteral("не обычный файл");
}

QString LockProblem(const LockFileState& lock)
{
    switch (lock.kind) {
    case LockFileState::NoPid:
        return lock.size == 0 ? QStringLiteral("файл пуст, номера процесса (PID) в нём нет")
                              : QStringLiteral("в нём нет номера процесса (PID)");
    case LockFileState::NotPlain:
        return QStringLiteral("это %1, а не обычный файл").arg(lock.what);
    case LockFileState::TooLarge:
        return QStringLiteral("он слишком велик для файла блокировки (%1 байт)").arg(lock.size);
    case LockFileState::Unreadable:
        return QStringLiteral("его не удаётся прочитать: %1").arg(SystemErrorText(lock.error));
    case LockFileState::Absent:
    case LockFileState::Pid:
        break;
    }
    return QString();
}

std::optional<BlockingLock> BlockingLockIn(const QStringList& candidates)
{
    std::optional<BlockingLock> problem;
    for (const QString& file : candidates) {
        const LockFileState lock = ReadLockFile(file);
        if (lock.kind == LockFileState::Absent)
            continue;
        if (lock.kind == LockFileState::Pid) {
            if (ProcessAlive(lock.pid))
                return BlockingLock{
                    file, DeviceHolder{lock.pid, ProgramName(lock.pid), file}, {}, false};
            continue; // a dead owner's lock: the serial port layer replaces it
        }
        // A live owner elsewhere is the better answer, so keep looking; a lock
        // that must stay outranks one that may go.
        const bool abandoned =
            lock.kind == LockFileState::NoPid && lock.ageSeconds > AbandonedLockSeconds;
        if (!problem || (problem->abandoned && !abandoned))
            problem = BlockingLock{file, std::nullopt, LockProblem(lock), abandoned};
    }
    return problem;
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
    // Binary: exactly the four bytes of a native int. Four characters of text
    // ("abc\n") are garbage, not a PID: a real PID's top byte is zero.
    const bool printable = std::all_of(content.begin(), content.end(), [](char c) {
        return (c >= 0x20 && c < 0x7F) || c == '\n' || c == '\r' || c == '\t';
    });
    if (content.size() == 4 && !printable) {
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

LockFileState ReadLockFile(const QString& file)
{
    LockFileState lock;
    const QByteArray native = QFile::encodeName(file);
    // Never wait on it (a FIFO) and never follow it (a link to /dev/zero).
    int fd;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT) {
            lock.kind = LockFileState::Absent;
        } else if (error == ELOOP) {
            lock.kind = LockFileState::NotPlain;
            lock.what = QStringLiteral("символическая ссылка");
        } else {
            lock.kind = LockFileState::Unreadable;
            lock.error = error;
        }
        return lock;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        lock.kind = LockFileState::Unreadable;
        lock.error = errno;
        ::close(fd);
        return lock;
    }
    lock.size = info.st_size;
    lock.ageSeconds = qint64(::time(nullptr)) - qint64(info.st_mtime);
    if (!S_ISREG(info.st_mode)) {
        lock.kind = LockFileState::NotPlain;
        lock.what = NotPlainKind(info.st_mode);
    } else if (info.st_size > MaxLockFileBytes) {
        lock.kind = LockFileState::TooLarge;
    } else {
        char buffer[MaxLockFileBytes];
        ssize_t got;
        do {
            got = ::read(fd, buffer, sizeof buffer);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            lock.kind = LockFileState::Unreadable;
            lock.error = errno;
        } else {
            lock.size = got;
            lock.pid = LockFilePid(QByteArray(buffer, got));
            lock.kind = lock.pid > 0 ? LockFileState::Pid : LockFileState::NoPid;
        }
    }
    ::close(fd);
    return lock;
}

std::optional<BlockingLock> FindBlockingLock(const QString& path)
{
    return BlockingLockIn(LockFileCandidates(path));
}

bool RemoveAbandonedLocks(const QString& path)
{
    for (int round = 0; round < 4; ++round) {
        const auto lock = FindBlockingLock(path);
        if (!lock)
            return true;
        if (!lock->abandoned)
            return false;
        // Gone already (another program cleaned up) is as good as removed.
        if (::unlink(QFile::encodeName(lock->file).constData()) != 0 && errno != ENOENT)
            return false;
    }
    return !FindBlockingLock(path);
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
