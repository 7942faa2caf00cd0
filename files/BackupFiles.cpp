// Backups are created exclusively (an earlier one is never replaced) and pruned
// only among files that are recognisably this program's backups.
#include "BackupFiles.h"

#include "ConfigFiles.h"
#include "FileTexts.h"
#include "ParamImage.h"
#include "SystemErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>

namespace {

// Backups made within one second of each other: enough for any operator.
constexpr int MaxBackupAttempts = 100;

QString Shown(const QByteArray& folder)
{
    return QDir::toNativeSeparators(QFile::decodeName(folder.isEmpty() ? QByteArray(".") : folder));
}

// The folder exists (or is made) and is a folder; otherwise why not.
QString PrepareFolder(const QByteArray& folder, bool create)
{
    if (folder.isEmpty() || !create)
        return QString();
    const QString path = QFile::decodeName(folder);
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return info.isDir() ? QString() : FileTexts::NotAFolder(Shown(folder));
    if (QDir().mkpath(path))
        return QString();
    // Why it could not be made: the nearest part of the path that exists says.
    QFileInfo up(QFileInfo(path).absolutePath());
    while (!up.exists() && !up.isRoot() && up.absoluteFilePath() != up.absolutePath())
        up = QFileInfo(up.absolutePath());
    if (up.exists() && !up.isDir())
        return SystemErrorText(ENOTDIR);
    if (up.exists() && !up.isWritable())
        return SystemErrorText(EACCES);
    return FileTexts::FolderNotCreated(Shown(folder));
}

} // namespace

BackupPlace BackupPlace::BesideFile(const QByteArray& file)
{
    const qsizetype slash = file.lastIndexOf('/');
    QByteArray name = file.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot > 0)
        name.truncate(dot);
    // The folder as it was given.
    return BackupPlace{slash < 0 ? QByteArray() : file.left(slash + 1), name, 0, false};
}

BackupPlace BackupPlace::InFolder(const QByteArray& folder, const QString& port, int keep)
{
    QString label = QFileInfo(port).fileName();
    for (QChar& c : label) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_') &&
            c != QLatin1Char('.'))
            c = QLatin1Char('_');
    }
    return BackupPlace{folder, QFile::encodeName(label), keep, true};
}

QByteArray BackupFileName(const BackupPlace& place, const QDateTime& at, int attempt)
{
    QByteArray name =
        place.label + ".device-" + at.toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1();
    if (attempt > 1)
        name += '-' + QByteArray::number(attempt);
    name += ".lmk";
    if (place.folder.isEmpty() || place.folder.endsWith('/'))
        return place.folder + name;
    return place.folder + '/' + name;
}

bool IsBackupFileName(const QByteArray& fileName)
{
    static const QRegularExpression form(
        QStringLiteral("^.*\\.device-[0-9]{8}-[0-9]{6}(-[0-9]+)?\\.lmk$"));
    return form.match(QString::fromLatin1(fileName)).hasMatch();
}

std::optional<BackupName> ParseBackupFileName(const QByteArray& fileName)
{
    static const QRegularExpression form(
        QStringLiteral("^(.*)\\.device-([0-9]{8}-[0-9]{6})(?:-([0-9]+))?\\.lmk$"),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = form.match(QString::fromLatin1(fileName));
    if (!match.hasMatch())
        return std::nullopt;
    BackupName name;
    name.label = fileName.left(match.capturedLength(1));
    name.at = QDateTime::fromString(match.captured(2), QStringLiteral("yyyyMMdd-HHmmss"));
    bool number = true;
    if (match.hasCaptured(3))
        name.attempt = match.captured(3).toInt(&number);
    if (!name.at.isValid() || !number || name.attempt < 1)
        return std::nullopt;
    return name;
}

bool IsBackupContent(const QByteArray& content)
{
    if (content.size() != ParamImage::TextLength + 2 || !content.endsWith("\r\n"))
        return false;
    return std::all_of(content.begin(), content.begin() + ParamImage::TextLength,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

BackupResult WriteBackup(const BackupPlace& place, const ParamImage& image, const QDateTime& at)
{
    BackupResult result;
    result.tried = BackupFileName(place, at);
    result.reason = PrepareFolder(place.folder, place.createFolder);
    if (!result.reason.isEmpty())
        return result;
    const QByteArray text = ImageFileText(image);
    for (int attempt = 1; attempt <= MaxBackupAttempts; ++attempt) {
        const QByteArray name = BackupFileName(place, at, attempt);
        const int error = CreateNewFile(name, text);
        if (error == 0) {
            result.name = name;
            PruneBackups(place, name);
            return result;
        }
        if (error != EEXIST) {
            result.tried = name;
            result.reason = SystemErrorText(error);
            return result;
        }
    }
    result.reason = FileTexts::BackupNamesTaken;
    return result;
}

void PruneBackups(const BackupPlace& place, const QByteArray& justWritten)
{
    if (place.keep <= 0)
        return;
    const QDir folder(QFile::decodeName(place.folder.isEmpty() ? QByteArray(".") : place.folder));
    const QString kept = QFileInfo(QFile::decodeName(justWritten)).fileName();
    QList<QFileInfo> backups;
    const QFileInfoList entries =
        folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.fileName() == kept || entry.isSymLink() || !entry.isFile() ||
            entry.size() != ParamImage::TextLength + 2 ||
            !IsBackupFileName(QFile::encodeName(entry.fileName())))
            continue;
        QFile file(entry.filePath());
        if (!file.open(QIODevice::ReadOnly) ||
            !IsBackupContent(file.read(ParamImage::TextLength + 3)))
            continue;
        backups.append(entry);
    }
    std::sort(backups.begin(), backups.end(), [](const QFileInfo& a, const QFileInfo& b) {
        const QDateTime ta = a.lastModified(), tb = b.lastModified();
        return ta != tb ? ta < tb : a.fileName() < b.fileName();
    });
    // The one just written counts among those kept.
    for (qsizetype i = 0; i + place.keep - 1 < backups.size(); ++i)
        QFile::remove(backups.at(i).filePath()); // one that stays is no failure
}
