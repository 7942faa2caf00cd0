// Configuration files are opened without waiting, so that a named pipe or a
// terminal given as a file is refused instead of blocking.
#include "ImageFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool ReadFileFirstLine(const QByteArray& nativeName, QByteArray& line, qsizetype keep)
{
    // Only a regular file can hold a configuration. A named pipe or a terminal
    // would make a plain open or read wait forever, so the name is opened without
    // waiting and anything else is refused as unreadable.
    const int fd = ::open(nativeName.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return ReadFirstLine(file, line, keep);
}

bool LoadImageFile(const QString& path, ParamImage& image)
{
    QByteArray line;
    if (!ReadFileFirstLine(QFile::encodeName(path), line))
        return false;
    image.fromText(line);
    return true;
}
