// Open and Save of configuration files, with the ".lmk" name rule.
#include "ConfigFiles.h"

#include "ConfigModel.h"
#include "FileTexts.h"
#include "ParamImage.h"

#include <QFileInfo>
#include <QSaveFile>

QString LmkFileName(const QString& chosen)
{
    const qsizetype nameStart = chosen.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = chosen.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot >= nameStart ? chosen.left(dot) : chosen;
    return stem + FileTexts::Extension;
}

FileOutcome OpenConfigFile(ConfigModel& model, const QString& chosen, FileCommandPrompts& prompts)
{
    // The dialog insisted the choice exists; it may have vanished since.
    if (chosen.isEmpty() || !QFileInfo::exists(chosen))
        return FileOutcome::NotTried;
    if (!LoadImageFile(LmkFileName(chosen), model.image())) {
        prompts.ShowFileError(FileTexts::ReadError);
        return FileOutcome::Failed;
    }
    model.ImageToTable();
    return FileOutcome::Done;
}

FileOutcome SaveConfigFile(ConfigModel& model, const QString& chosen, FileCommandPrompts& prompts)
{
    if (chosen.isEmpty())
        return FileOutcome::NotTried;
    model.TableToImage();
    const QString target = LmkFileName(chosen);
    // The dialog asked about the chosen name only; a different file that would be
    // replaced gets its own question.
    if (QFileInfo(target).absoluteFilePath() != QFileInfo(chosen).absoluteFilePath() &&
        QFileInfo::exists(target) && !prompts.ConfirmReplace(target))
        return FileOutcome::NotTried;
    if (!WriteImageFile(target, model.image())) {
        prompts.ShowFileError(FileTexts::WriteError);
        return FileOutcome::Failed;
    }
    return FileOutcome::Done;
}

bool WriteImageFile(const QString& path, const ParamImage& image)
{
    const QByteArray content = image.toText() + QByteArrayLiteral("\r\n");
    QSaveFile file(path);
    // A folder that allows no temporary file may still hold a writable file.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
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
