// Application title, Qt's Russian translation and the program's plain boxes.
#include "Application.h"

#include "FileTexts.h"
#include "LinkTexts.h"
#include "UiTexts.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

namespace {
QString& titleStorage()
{
    static QString title;
    return title;
}
} // namespace

void SetApplicationTitle(const QString& title)
{
    titleStorage() = title;
}

const QString& ApplicationTitle()
{
    return titleStorage();
}

void PrepareApplication(QApplication& app)
{
    InstallRussianTranslation(app);
    SetApplicationTitle(UiTexts::ApplicationTitle);
    QApplication::setWindowIcon(ProgramIcon());
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString file = QStringLiteral(":/icons/lumk-config-%1.png").arg(size);
        if (QFileInfo::exists(file))
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}

QString FileDialogFolder(const QString& programFolder, const QString& workingFolder,
                         const QString& homeFolder)
{
    for (const QString& folder : {programFolder, workingFolder}) {
        const QFileInfo info(folder);
        if (info.isDir() && info.isWritable())
            return info.absoluteFilePath();
    }
    return homeFolder;
}

bool InstallRussianTranslation(QApplication& app)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ru"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QApplication::installTranslator(translator);
}

void ShowPlainBox(const QString& caption, const QString& text)
{
    // No parent: owned by the application and centred on the screen.
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.exec();
}

void PlainMessageSink::ShowMessage(LinkOutcome outcome)
{
    ShowPlainBox(ApplicationTitle(), LinkTexts::Message(outcome));
}

void FileMessageBoxes::ShowFileError(const QString& text)
{
    ShowPlainBox(QString(), text);
}

bool FileMessageBoxes::ConfirmReplace(const QString& path)
{
    QMessageBox box(QMessageBox::Question, QString(), FileTexts::ReplaceQuestion(path),
                    QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
