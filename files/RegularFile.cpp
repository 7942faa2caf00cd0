#include "RegularFile.h"

#include <QFile>
#include <QFileInfo>

bool SafeForPlainOpen(const QByteArray& nativeName, qint64 maxBytes)
{
    const QFileInfo info(QFile::decodeName(nativeName));
    if (!info.exists() && !info.isSymLink())
        return true; // nothing there yet: it will be created
    QFile file;
    return OpenRegularFile(nativeName, file) && file.size() <= maxBytes;
}
