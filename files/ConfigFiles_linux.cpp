// Replacing and creating configuration files on Linux: the new content is
// flushed to the disk before it takes the old file's name.
#include "ConfigFiles.h"

#include "FileTexts.h"
#include "OutputTarget.h"
#include "SystemErrors.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Fail(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
    return false;
}

QByteArray FolderOf(const QByteArray& name)
{
    const qsizetype slash = name.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : name.left(slash);
}

QByteArray JoinName(const QByteArray& folder, const QByteArray& name)
{
    if (name.startsWith('/'))
        return name;
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QString KindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return FileTexts::IsFolder;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileTexts::IsDevice;
    if (S_ISFIFO(mode))
        return FileTexts::IsPipe;
    if (S_ISSOCK(mode))
        return FileTexts::IsSocket;
    return FileTexts::NotRegular;
}

// The rule the system applies to symbolic links in shared folders (such as
// /tmp), checked along the chain of links of the last name: a link in a sticky
// world-writable folder is followed only by its owner or when the folder's owner
// owns it too. Checked here as well as by the system, whose check can be off.
bool LinkChainFollowable(QByteArray name)
{
    const uid_t me = ::geteuid();
    for (int hop = 0; hop < 40; ++hop) {
        struct stat link = {};
        if (::lstat(name.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
            return true;
        const QByteArray folder = FolderOf(name);
        struct stat parent = {};
        if (::stat(folder.constData(), &parent) != 0)
            return true; // the system's own walk reports this
        const bool shared = (parent.st_mode & S_ISVTX) && (parent.st_mode & S_IWOTH);
        if (shared && link.st_uid != me && link.st_uid != parent.st_uid)
            return false;
        QByteArray target(4096, '\0');
        const ssize_t n = ::readlink(name.constData(), target.data(), size_t(target.size()));
        if (n < 0)
            return true;
        target.truncate(n);
        name = JoinName(folder, target);
    }
    return true;
}

struct Target
{
    QByteArray name; // where the new content goes: the file a link leads to
    bool exists = false;
    struct stat info = {};
};

// Opens the name as the system resolves it (without opening the file itself,
// so a device or pipe feels nothing) to learn what it is and where it lives.
bool ResolveTarget(const QByteArray& nativeName, Target& target, QString* reason)
{
    if (nativeName.isEmpty())
        return Fail(reason, SystemErrorText(ENOENT));
    if (!LinkChainFollowable(nativeName))
        return Fail(reason, FileTexts::ForeignLink);
    const int fd = ::open(nativeName.constData(), O_PATH | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat link = {};
        if (error == ENOENT && ::lstat(nativeName.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            return Fail(reason, FileTexts::DanglingLink);
        if (error == ENOENT) {
            target.name = nativeName; // a new file
            return true;
        }
        return Fail(reason,
                    error == EACCES ? FileTexts::ForeignLinkOrDenied : SystemErrorText(error));
    }
    const bool statted = ::fstat(fd, &target.info) == 0;
    const int error = errno;
    if (!statted) {
        ::close(fd);
        return Fail(reason, SystemErrorText(error));
    }
    if (!S_ISREG(target.info.st_mode)) {
        ::close(fd);
        return Fail(reason, KindOf(target.info.st_mode));
    }
    target.exists = true;
    target.name = nativeName;
    struct stat link = {};
    if (::lstat(nativeName.constData(), &link) == 0 && S_ISLNK(link.st_mode)) {
        // Replace the file the link leads to, in its own folder, as the
        // system resolved it.
        QByteArray resolved(4096, '\0');
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        const ssize_t n = ::readlink(self.constData(), resolved.data(), size_t(resolved.size()));
        if (n <= 0) {
            ::close(fd);
            return Fail(reason, SystemErrorText(errno));
        }
        resolved.truncate(n);
        target.name = resolved;
    }
    ::close(fd);
    return true;
}

bool WriteAll(int fd, const QByteArray& content, off_t at, qsizetype* written)
{
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n = ::pwrite(fd, content.constData() + done, size_t(content.size() - done),
                                   at + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            break;
        }
        done += n;
    }
    if (written)
        *written = done;
    return done == content.size();
}

// Writes `content` over the start of an existing regular file in place, for a
// folder that allows no new file beside it. Nothing is truncated first: when a
// write fails part-way (a full disk, a file-size limit), the bytes already
// overwritten are put back — they lie in space the file already held — and the
// file keeps its old length, so the old configuration survives.
bool RewriteInPlace(const QByteArray& name, const QByteArray& content, QString* reason)
{
    const int fd = ::open(name.constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Fail(reason, SystemErrorText(errno));
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Fail(reason, FileTexts::NotRegular);
    }
    const off_t oldSize = info.st_size;
    QByteArray old(content.size(), '\0');
    const ssize_t oldRead = ::pread(fd, old.data(), size_t(old.size()), 0);
    if (oldRead < 0) {
        const int error = errno;
        ::close(fd);
        return Fail(reason, SystemErrorText(error));
    }
    old.truncate(oldRead);

    qsizetype written = 0;
    bool ok = WriteAll(fd, content, 0, &written);
    if (ok && oldSize > content.size())
        ok = ::ftruncate(fd, off_t(content.size())) == 0;
    if (ok)
        ok = ::fsync(fd) == 0;
    const int error = errno;
    if (!ok) {
        // Put back exactly what was overwritten, then the old length.
        WriteAll(fd, old.left(std::min<qsizetype>(written, old.size())), 0, nullptr);
        if (oldSize < content.size()) {
            [[maybe_unused]] const int truncated = ::ftruncate(fd, oldSize);
        }
        (void)::fsync(fd);
    }
    if (::close(fd) != 0 && ok)
        return Fail(reason, SystemErrorText(errno));
    return ok || Fail(reason, SystemErrorText(error));
}

// A new file beside the target, created by this process alone.
int CreateTemporary(const QByteArray& folder, const QByteArray& base, QByteArray& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = JoinName(folder, "." + base + '.' +
                                    QByteArray::number(QRandomGenerator::global()->generate(), 36) +
                                    ".tmp");
        const int fd =
            ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

bool ResolveOutputTarget(const QByteArray& nativeName, QString* reason)
{
    Target target;
    return ResolveTarget(nativeName, target, reason);
}

bool ReplaceFileContent(const QByteArray& nativeName, const QByteArray& content, QString* reason)
{
    Target target;
    if (!ResolveTarget(nativeName, target, reason))
        return false;
    const QByteArray folder = FolderOf(target.name);
    const QByteArray base = target.name.mid(target.name.lastIndexOf('/') + 1);
    QByteArray temporary;
    const int fd = CreateTemporary(folder, base, temporary);
    if (fd < 0) {
        const int error = errno;
        // No new file can be made in the folder; an existing file the user may
        // write is still rewritten, as a plain save would.
        if (target.exists && (error == EACCES || error == EPERM || error == EROFS))
            return RewriteInPlace(target.name, content, reason);
        return Fail(reason, SystemErrorText(error));
    }
    bool ok = WriteAll(fd, content, 0, nullptr);
    if (ok && target.exists) {
        // The replacement keeps the old file's permissions and, where allowed,
        // its owner.
        ok = ::fchmod(fd, target.info.st_mode & 07777) == 0;
        [[maybe_unused]] const int owned = ::fchown(fd, target.info.st_uid, target.info.st_gid);
    }
    if (ok)
        ok = ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.constData(), target.name.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        return Fail(reason, SystemErrorText(error));
    }
    // The new name on the disk too; the file is in place whatever this gives.
    const int folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        (void)::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

int CreateNewFile(const QByteArray& nativeName, const QByteArray& content)
{
    const int fd =
        ::open(nativeName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    int error = 0;
    if (!WriteAll(fd, content, 0, nullptr) || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        ::unlink(nativeName.constData());
    return error;
}
