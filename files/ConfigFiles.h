// The Open and Save commands over configuration files. They take the name the
// operator chose, so they run the same from a dialog and from a test.
#pragma once

#include <QByteArray>
#include <QString>

class ConfigModel;
class ParamImage;

// What the commands need from the operator: a report of a failed read or write,
// and a yes/no answer before a file the operator did not name is replaced.
class FileCommandPrompts
{
public:
    virtual ~FileCommandPrompts() = default;
    virtual void ShowFileError(const QString& text) = 0;
    virtual bool ConfirmReplace(const QString& path) = 0;
};

enum class FileOutcome {
    Done,     // the file was read or written
    NotTried, // nothing to do (no name, file vanished, replacement declined)
    Failed,   // reported to the operator
};

// The name actually read or written: the chosen name with the extension of its
// file name (from the last full stop on) replaced by ".lmk", or ".lmk" appended
// when the file name has no full stop.
QString LmkFileName(const QString& chosen);

// Loads bytes 0..69 of the image from the first line of the derived ".lmk" file
// and decodes them into the table. Image and table stay as they were on failure.
// While a transfer is open (`transferOpen`) the file is decoded from a copy of
// the image, so the image the transfer reads into or writes from is left alone.
FileOutcome OpenConfigFile(ConfigModel& model, const QString& chosen, FileCommandPrompts& prompts,
                           bool transferOpen = false);

// The same load from exactly the file `name` (named on the command line or by
// the desktop: "CONFIG.LMK" from a FAT medium, "foo.txt"), without the ".lmk"
// rule. A missing file is reported as a failed read.
FileOutcome OpenNamedConfigFile(ConfigModel& model, const QString& name,
                                FileCommandPrompts& prompts, bool transferOpen = false);

// Encodes the table into the image and writes its text form to the derived
// ".lmk" file, replacing any file of that name only once the new content is
// completely on disk. While a transfer is open the table is encoded into a copy
// of the image and the copy is written; the transfer's image is left alone.
FileOutcome SaveConfigFile(ConfigModel& model, const QString& chosen, FileCommandPrompts& prompts,
                           bool transferOpen = false);

// The 140 digits of bytes 0..69 and CR LF, as a configuration file holds them.
QByteArray ImageFileText(const ParamImage& image);

// Writes the 140-digit text form of bytes 0..69 and CR LF to `path`. An existing
// file is replaced atomically, or written in place when its folder allows no new
// file; a failure leaves the file that was there as it was.
bool WriteImageFile(const QString& path, const ParamImage& image);

// Why an output name cannot be written to; empty when it can be tried.
// `nativeName` is the file name byte for byte as the system takes it. Refused:
// an existing output that is not a regular file (a folder, device, pipe or
// socket), a symbolic link the system would not let this process follow (a link
// in a sticky world-writable folder owned neither by this user nor by the
// folder's owner), and a link that leads nowhere.
QString OutputRefusal(const QByteArray& nativeName);

// WriteImageFile for a name given byte for byte; on failure `reason` (when not
// null) says why, as the system reports it.
bool WriteImageFileNamed(const QByteArray& nativeName, const ParamImage& image, QString* reason);

// The same write for any content: every write, the flush to the disk and the
// close are checked; the new content replaces the old file in one step, in the
// folder of the file a symbolic link leads to.
bool ReplaceFileContent(const QByteArray& nativeName, const QByteArray& content, QString* reason);

// Creates `nativeName` anew (never through a link, never over an existing
// file) with `content` flushed to the disk. Returns 0, or the errno of the
// failure, after which no file of that name is left.
int CreateNewFile(const QByteArray& nativeName, const QByteArray& content);
