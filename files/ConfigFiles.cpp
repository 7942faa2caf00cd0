// Open and Save of configuration files, with the ".lmk" name rule.
#include "ConfigFiles.h"

#include "ConfigModel.h"
#include "FileTexts.h"
#include "ParamImage.h"

#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString LmkFileName(const QString& chosen)
{
    const qsizetype nameStart = chosen.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = chosen.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot >= nameStart ? chosen.left(dot) : chosen;
    return stem + FileTexts::Extension;
}

FileOutcome OpenConfigFile(ConfigModel& model, const QString& chosen, FileCommandPrompts& prompts,
                           bool transferOpen)
{
    // The dialog insisted the choice exists; it may have vanished since.
    if (chosen.isEmpty() || !QFileInfo::exists(chosen))
        return FileOutcome::NotTried;
    ParamImage copy = model.image();
    ParamImage& image = transferOpen ? copy : model.image();
    if (!LoadImageFile(LmkFileName(chosen), image)) {
        prompts.ShowFileError(FileTexts::ReadError);
        return FileOutcome::Failed;
    }
    model.ImageToTable(image);
    return FileOutcome::Done;
}

FileOutcome SaveConfigFile(ConfigModel& model, const QString& chosen, FileCommandPrompts& prompts,
                           bool transferOpen)
{
    if (chosen.isEmpty())
        return FileOutcome::NotTried;
    ParamImage copy = model.image();
    ParamImage& image = transferOpen ? copy : model.image();
    model.TableToImage(image);
    const QString target = LmkFileName(chosen);
    // The dialog asked about the chosen name only; a different file that would be
    // replaced gets its own question.
    if (QFileInfo(target).absoluteFilePath() != QFileInfo(chosen).absoluteFilePath() &&
        QFileInfo::exists(target) && !prompts.ConfirmReplace(target))
        return FileOutcome::NotTried;
    if (!WriteImageFile(target, image)) {
        prompts.ShowFileError(FileTexts::WriteError);
        return FileOutcome::Failed;
    }
    return FileOutcome::Done;
}

namespace {

// Writes `content` over the start of an existing regular file in place, for a
// folder that allows no new file beside it. Nothing is truncated first: when a
// write fails part-way (a full disk, a file-size limit), the bytes already
// overwritten are put back — they lie in space the file already held — and the
// file keeps its old length, so the old configuration survives.
bool RewriteInPlace(const QString& path, const QByteArray& content)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    const off_t oldSize = info.st_size;
    QByteArray old(content.size(), '\0');
    const ssize_t oldRead = ::pread(fd, old.data(), size_t(old.size()), 0);
    if (oldRead < 0) {
        ::close(fd);
        return false;
    }
    old.truncate(oldRead);

    qsizetype written = 0;
    while (written < content.size()) {
        const ssize_t n = ::pwrite(fd, content.constData() + written,
                                   size_t(content.size() - written), off_t(written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    bool ok = written == content.size();
    if (ok && oldSize > content.size())
        ok = ::ftruncate(fd, off_t(content.size())) == 0;
    if (ok)
        ok = ::fsync(fd) == 0;
    if (!ok) {
        // Put back exactly what was overwritten, then the old length.
        const qsizetype restore = std::min<qsizetype>(std::max(written, qsizetype(0)), old.size());
        for (qsizetype done = 0; done < restore;) {
            const ssize_t n = ::pwrite(fd, old.constData() + done, size_t(restore - done), done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += n;
        }
        if (oldSize < content.size())
            (void)::ftruncate(fd, oldSize);
        (void)::fsync(fd);
    }
    return ::close(fd) == 0 && ok;
}

bool WriteWholeFile(const QString& path, const QByteArray& content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        // No new file can be made in the folder; an existing file the user may
        // write is still rewritten, as a plain save would.
        const QFileInfo target(path);
        return target.exists() && target.isFile() && RewriteInPlace(path, content);
    }
    // commit() may install a short file after a failed write, so every byte is
    // checked and flushed here first.
    if (file.write(content) != content.size() || !file.flush() ||
        file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

} // namespace

bool WriteImageFile(const QString& path, const ParamImage& image)
{
    return WriteWholeFile(path, image.toText() + QByteArrayLiteral("\r\n"));
}
