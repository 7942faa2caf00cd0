// Application title, Qt's Russian translation and the program's plain boxes.
#include "Application.h"

#include "CommandLineOutput.h"
#include "FileTexts.h"
#include "LinkTexts.h"
#include "RegularFile.h"
#include "SettingsFile.h"
#include "UiTexts.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTranslator>

#include <memory>

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

QString FileDialogFolder(const QString& lastFolder, const QString& documents,
                         const QString& home, const QString& programFolder)
{
    const QString program = QFileInfo(programFolder).canonicalFilePath();
    for (const QString& folder : {lastFolder, documents}) {
        const QFileInfo info(folder);
        if (!folder.isEmpty() && info.isDir() && info.canonicalFilePath() != program)
            return info.absoluteFilePath();
    }
    return home;
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

std::optional<int> AnswerWithoutWindow(int argc, char** argv, const QString& program,
                                       const QString& version, const QString& help)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray word(argv[i]);
        if (word == "--")
            break;
        if (word == "--help" || word == "-h") {
            return WriteCommandLineText(stdout, help) ? 0 : 1;
        }
        if (word == "--version") {
            const QString line = program + QLatin1Char(' ') + version + QLatin1Char('\n');
            return WriteCommandLineText(stdout, line) ? 0 : 1;
        }
    }
    return std::nullopt;
}

std::optional<int> FileArgument(const QStringList& arguments, const QString& program,
                                bool acceptsFile, QString& file)
{
    QStringList names;
    bool optionsEnd = false;
    for (const QString& word : arguments.mid(1)) {
        if (!optionsEnd && word == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        if (!optionsEnd && word.startsWith(QLatin1Char('-')) && word != QLatin1String("-")) {
            WriteCommandLineText(stderr, UiTexts::UnknownOption(program, word));
            return 2;
        }
        names << word;
    }
    if (names.size() > (acceptsFile ? 1 : 0)) {
        WriteCommandLineText(stderr, UiTexts::ExtraArgument(program, names.last()));
        return 2;
    }
    file = names.isEmpty() ? QString() : names.first();
    return std::nullopt;
}

namespace {

// Far above what the programs store (a folder, a port and a few addresses).
constexpr qint64 SettingsSizeLimit = 256 * 1024;

// Qt reads the settings file with a plain open, which would wait forever on a
// named pipe, and replaces it on every change: only a file that is safe to
// read is given to it.
std::unique_ptr<QSettings> ProgramSettings()
{
    const QString path = SettingsFilePath();
    if (!SafeForPlainOpen(QFile::encodeName(path), SettingsSizeLimit))
        return nullptr;
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

} // namespace

QVariant ProgramSetting(const QString& key)
{
    const std::unique_ptr<QSettings> settings = ProgramSettings();
    return settings ? settings->value(key) : QVariant();
}

void SetProgramSetting(const QString& key, const QVariant& value)
{
    if (const std::unique_ptr<QSettings> settings = ProgramSettings())
        settings->setValue(key, value);
}

void RemoveProgramSetting(const QString& key)
{
    if (const std::unique_ptr<QSettings> settings = ProgramSettings())
        settings->remove(key);
}

QString RememberedFileFolder()
{
    return FileDialogFolder(ProgramSetting(QStringLiteral("files/lastFolder")).toString(),
                            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                            QDir::homePath(), QCoreApplication::applicationDirPath());
}

void RememberFileFolder(const QString& chosenFile)
{
    SetProgramSetting(QStringLiteral("files/lastFolder"), QFileInfo(chosenFile).absolutePath());
}

QStringList RecentFiles()
{
    QStringList files;
    for (const QString& file : ProgramSetting(QStringLiteral("files/recent")).toStringList()) {
        if (files.size() < RecentFilesKept && QFileInfo(file).isFile() && !files.contains(file))
            files.append(file);
    }
    return files;
}

void RememberRecentFile(const QString& path)
{
    const QString file = QFileInfo(path).absoluteFilePath();
    QStringList files = RecentFiles();
    files.removeAll(file);
    files.prepend(file);
    SetProgramSetting(QStringLiteral("files/recent"), files.mid(0, RecentFilesKept));
}

QString RememberedPort()
{
    return ProgramSetting(QStringLiteral("ports/last")).toString();
}

void RememberPort(const QString& port)
{
    SetProgramSetting(QStringLiteral("ports/last"), port);
}

void ForgetRemembered()
{
    if (const std::unique_ptr<QSettings> settings = ProgramSettings())
        settings->clear();
}
