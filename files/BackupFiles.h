// Backups of what a device held before a write: one rule for every program.
//
// Naming: "<folder>/<label>.device-<yyyyMMdd>-<HHmmss>.lmk", with "-2", "-3"...
// before ".lmk" when that name is taken (a bounded number of tries). Content: the
// image's file form, one line of 140 upper-case hexadecimal digits and CR LF.
// A backup never replaces a file and is never written through a link.
// Pruning (a place with `keep` > 0) removes only regular files of both this name
// form and this content form, oldest modification first, never the backup just
// written; a removal that fails is no error.
// Names are taken byte for byte (the system's file name encoding).
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

class ParamImage;

struct BackupPlace
{
    QByteArray folder;         // empty: the current folder
    QByteArray label;          // what the backup is of: a file's name, a port's name
    int keep = 0;              // backups of this form to keep in `folder`; 0 keeps all
    bool createFolder = false; // make `folder` when it is missing

    // Beside `file`, labelled with its name without its last extension
    // ("dir/site.txt" -> "dir/site.device-...lmk"); nothing is pruned.
    static BackupPlace BesideFile(const QByteArray& file);
    // In `folder` (created when missing), labelled with the port's name made fit
    // for a file name on every system ("/dev/ttyUSB0" -> "ttyUSB0",
    // "host:2001" -> "host_2001"); the `keep` newest stay.
    static BackupPlace InFolder(const QByteArray& folder, const QString& port, int keep);
};

// The name the rule gives a backup made at `at` (attempt 1, 2, ...).
QByteArray BackupFileName(const BackupPlace& place, const QDateTime& at, int attempt = 1);

// Whether a file name (without folder) has the rule's name form.
bool IsBackupFileName(const QByteArray& fileName);

// What a backup's file name tells: what it is of, when it was made, the attempt.
struct BackupName
{
    QByteArray label;
    QDateTime at; // local time, to the second
    int attempt = 1;
};
// The parts of a file name (without folder) of the rule's form with a real date
// and time; nothing for any other name.
std::optional<BackupName> ParseBackupFileName(const QByteArray& fileName);
// Whether bytes are exactly a backup's content form.
bool IsBackupContent(const QByteArray& content);

struct BackupResult
{
    QByteArray name; // the backup written; empty on failure
    QString reason;  // on failure: why, in the operator's language
    // The name that was tried (for the message when it failed).
    QByteArray tried;
    bool written() const { return !name.isEmpty(); }
};

// Writes the image's file form as a new backup in `place`, then prunes the
// place. Nothing is written when the folder cannot hold the backup (missing and
// not creatable, not a folder, not writable): the reason says why.
BackupResult WriteBackup(const BackupPlace& place, const ParamImage& image, const QDateTime& at);

// Leaves at most `place.keep` backups of the rule's forms in `place.folder`,
// removing the oldest by modification time; `justWritten` is never removed.
void PruneBackups(const BackupPlace& place, const QByteArray& justWritten);
