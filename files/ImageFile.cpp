#include "ImageFile.h"

#include "RegularFile.h"

#include <QFile>

bool ReadFileFirstLine(const QByteArray& nativeName, QByteArray& line, qsizetype keep)
{
    // Only a regular file can hold a configuration; anything else is refused
    // as unreadable.
    QFile file;
    if (!OpenRegularFile(nativeName, file))
        return false;
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
