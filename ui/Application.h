// Application-wide pieces of the window side: the application title, Qt's own
// Russian texts, and the plain modal boxes the program shows.
#pragma once

#include "ConfigFiles.h"
#include "TransferEngine.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

class QApplication;
class QIcon;

// The program's name in the plain messages' caption. Deliberately not Qt's
// application display name, which X11 would append to every window caption.
void SetApplicationTitle(const QString& title);
const QString& ApplicationTitle();

// Loads Qt's Russian translation so standard buttons and file dialogs speak
// Russian. Returns false when the translation file is not installed.
bool InstallRussianTranslation(QApplication& app);

// What every program entry does before its window exists: the Russian
// translation, the application title and the program's icon.
void PrepareApplication(QApplication& app);

// The icon compiled into the program (empty when the program was linked
// without it), in every size it is drawn at.
QIcon ProgramIcon();

// Where the file dialogs start: the last folder used while it exists, else the
// user's Documents, else the home folder; never the program's own folder (an
// installed program lives where a standard user cannot write, a built one in
// its build folder), not even as a folder an earlier version remembered.
QString FileDialogFolder(const QString& lastFolder, const QString& documents,
                         const QString& home, const QString& programFolder);

// --help and --version of a window program, answered on standard output before
// any display is needed (no QApplication exists yet). The exit status when
// the program should end now.
std::optional<int> AnswerWithoutWindow(int argc, char** argv, const QString& program,
                                       const QString& version, const QString& help);

// The configuration file named on the command line (after Qt took its own
// options), empty when none. An unknown option or more than one name: a
// usage error on standard error and the exit status 2.
std::optional<int> FileArgument(const QStringList& arguments, const QString& program,
                                bool acceptsFile, QString& file);

// The settings of the window programs, in the user's settings file
// (SettingsFilePath). Only a regular file of reasonable size is read or
// replaced: anything else there (a named pipe, a device, a folder, a huge file)
// is left alone, values read as empty and nothing is stored.
QVariant ProgramSetting(const QString& key);
void SetProgramSetting(const QString& key, const QVariant& value);
void RemoveProgramSetting(const QString& key);

// The last folder of Open or Save (remembered between runs), or where the file
// dialogs start before any was used.
QString RememberedFileFolder();
void RememberFileFolder(const QString& chosenFile);
// Files last opened or saved, most recent first, those that are gone left out
// (remembered between runs and shared by the windows).
QStringList RecentFiles();
// `path` heads the list; the oldest beyond RecentFilesKept fall off.
void RememberRecentFile(const QString& path);
inline constexpr int RecentFilesKept = 8;
// The last port selected, empty when none.
QString RememberedPort();
void RememberPort(const QString& port);
// Forgets both (a first run).
void ForgetRemembered();

// A modal box without owner, centred on the screen, with an OK button.
void ShowPlainBox(const QString& caption, const QString& text);

// The engine's messages: no icon, OK, the application title as caption.
class PlainMessageSink : public MessageSink
{
public:
    void ShowMessage(LinkOutcome outcome) override;
};

// The file commands' boxes, owned by the application with an empty caption.
class FileMessageBoxes : public FileCommandPrompts
{
public:
    void ShowFileError(const QString& text) override;
    bool ConfirmReplace(const QString& path) override;
};
