// Backups are created exclusively: an earlier one is never replaced.
#include "BackupFiles.h"

#include "ConfigFiles.h"
#include "ParamImage.h"
#include "SystemErrors.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr int MaxBackupAttempts = 100;

} // namespace

QByteArray BackupFileNameNamed(const QByteArray& file, const QDateTime& at, int attempt)
{
    const qsizetype slash = file.lastIndexOf('/');
    QByteArray name = file.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot > 0)
        name.truncate(dot);
    name += ".device-" + at.toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1();
    if (attempt > 1)
        name += '-' + QByteArray::number(attempt);
    name += ".lmk";
    // Beside the file, in the folder as it was given.
    return slash < 0 ? name : file.left(slash + 1) + name;
}

QByteArray WriteBackupFileNamed(const QByteArray& file, const ParamImage& image,
                                const QDateTime& at, QString* reason)
{
    const QByteArray text = ImageFileText(image);
    int error = EEXIST;
    // An earlier backup of the same second is never replaced.
    for (int attempt = 1; attempt <= MaxBackupAttempts && error == EEXIST; ++attempt) {
        const QByteArray name = BackupFileNameNamed(file, at, attempt);
        error = CreateNewFile(name, text);
        if (error == 0)
            return name;
    }
    if (reason)
        *reason = SystemErrorText(error);
    return QByteArray();
}
