// Open and Save of configuration files, with the ".lmk" name rule.
#include "ConfigFiles.h"

#include "ConfigModel.h"
#include "FileTexts.h"
#include "ImageFile.h"
#include "ParamImage.h"

#include <QFile>
#include <QFileInfo>

QString LmkFileName(const QString& chosen)
{
    const qsizetype nameStart = chosen.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = chosen.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot >= nameStart ? chosen.left(dot) : chosen;
    return stem + FileTexts::Extension;
}

namespace {

FileOutcome LoadInto(ConfigModel& model, const QString& path, FileCommandPrompts& prompts,
                     bool transferOpen)
{
    ParamImage copy = model.image();
    ParamImage& image = transferOpen ? copy : model.image();
    if (!LoadImageFile(path, image)) {
        prompts.ShowFileError(FileTexts::ReadError);
        return FileOutcome::Failed;
    }
    model.ImageToTable(image);
    return FileOutcome::Done;
}

} // namespace

FileOutcome OpenConfigFile(ConfigModel& model, const QString& chosen, FileCommandPrompts& prompts,
                           bool transferOpen)
{
    // The dialog insisted the choice exists; it may have vanished since.
    if (chosen.isEmpty() || !QFileInfo::exists(chosen))
        return FileOutcome::NotTried;
    return LoadInto(model, LmkFileName(chosen), prompts, transferOpen);
}

FileOutcome OpenNamedConfigFile(ConfigModel& model, const QString& name,
                                FileCommandPrompts& prompts, bool transferOpen)
{
    return LoadInto(model, name, prompts, transferOpen);
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

QByteArray ImageFileText(const ParamImage& image)
{
    return image.toText() + QByteArrayLiteral("\r\n");
}

bool WriteImageFileNamed(const QByteArray& nativeName, const ParamImage& image, QString* reason)
{
    return ReplaceFileContent(nativeName, ImageFileText(image), reason);
}

bool WriteImageFile(const QString& path, const ParamImage& image)
{
    return WriteImageFileNamed(QFile::encodeName(path), image, nullptr);
}
