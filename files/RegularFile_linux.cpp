#include "RegularFile.h"

#include "SystemErrors.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool OpenRegularFile(const QByteArray& nativeName, QFile& file, QString* reason)
{
    const auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    // A plain open of a named pipe or a terminal would wait forever.
    const int fd = ::open(nativeName.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fail(SystemErrorText(errno));
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = errno;
        ::close(fd);
        if (S_ISDIR(info.st_mode))
            return fail(SystemErrorText(EISDIR));
        return fail(info.st_mode ? QStringLiteral("это не обычный файл") : SystemErrorText(error));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(SystemErrorText(EIO));
    }
    return true;
}
