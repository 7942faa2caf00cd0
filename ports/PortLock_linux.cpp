// Lock files other programs keep for a serial device (the UUCP "LCK.."
// convention): where they may be, what one says, and which of them keeps the
// device from being opened.
#include "PortLock_linux.h"

#include "SystemErrors.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Join(const QString& dir, const QString& name)
{
    return dir + QLatin1Char('/') + name;
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
