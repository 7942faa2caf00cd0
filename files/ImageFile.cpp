#include "ImageFile.h"

#include "RegularFile.h"
#include "SystemErrors.h"

#include <QFile>

#include <cerrno>

bool ReadFileFirstLine(const QByteArray& nativeName, QByteArray& line, qsizetype keep,
                       QString* reason)
{
    // Only a regular file can hold a configuration; anything else is refused
    // as unreadable.
    QFile file;
    if (!OpenRegularFile(nativeName, file, reason))
        return false;
    errno = 0;
    if (!ReadFirstLine(file, line, keep)) {
        if (reason)
            *reason = SystemErrorText(errno ? errno : EIO);
        return false;
    }
    return true;
}

bool LoadImageFile(const QString& path, ParamImage& image)
{
    QByteArray line;
    if (!ReadFileFirstLine(QFile::encodeName(path), line))
        return false;
    image.fromText(line);
    return true;
}
