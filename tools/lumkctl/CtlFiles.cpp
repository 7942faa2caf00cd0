// Atomic replacement and exclusive creation of configuration files.
#include "CtlFiles.h"

#include "ParamImage.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
constexpr int MaxBackupAttempts = 100;
}

QByteArray ImageFileText(const ParamImage& image)
{
    return image.toText() + "\r\n";
}

bool WriteFileAtomically(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    // Never fall back to writing the old file in place: a failure must leave it whole.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

QString BackupFileName(const QString& file, const QDateTime& at, int attempt)
{
    const QFileInfo info(file);
    QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    name += QStringLiteral(".device-") + at.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (attempt > 1)
        name += QLatin1Char('-') + QString::number(attempt);
    name += QStringLiteral(".lmk");
    // Beside the file, in the folder as it was given.
    const qsizetype slash = file.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? name : file.left(slash + 1) + name;
}

QString WriteBackupFile(const QString& file, const ParamImage& image, const QDateTime& at)
{
    const QByteArray text = ImageFileText(image);
    for (int attempt = 1; attempt <= MaxBackupAttempts; ++attempt) {
        const QString name = BackupFileName(file, at, attempt);
        QFile backup(name);
        // NewOnly: an earlier backup of the same second is never replaced.
        if (!backup.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFileInfo::exists(name) || QFileInfo(name).isSymLink())
                continue;
            return QString();
        }
        const bool written = backup.write(text) == text.size() && backup.flush();
        backup.close();
        if (written && backup.error() == QFileDevice::NoError)
            return name;
        backup.remove();
        return QString();
    }
    return QString();
}
