// The files the tool writes: the image's text form to a named file, replaced
// atomically through the window's own file writing, and the backup of a
// device's configuration beside the file that is about to be written to it.
// Names are taken byte for byte (the *Named functions); the QString forms use
// the system's file name encoding.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class ParamImage;

// Writes `data` to `path` through a temporary file that then replaces it, so
// the file is either the old one or completely the new one. False on failure.
bool WriteFileAtomically(const QString& path, const QByteArray& data);

// "<folder of file>/<name of file without its last extension>.device-<date>-<time>.lmk"
// (with "-2", "-3"... before ".lmk" when such a file exists already).
QString BackupFileName(const QString& file, const QDateTime& at, int attempt = 1);
QByteArray BackupFileNameNamed(const QByteArray& file, const QDateTime& at, int attempt = 1);

// Writes the image's text form to a new backup file beside `file`, never
// replacing an existing one. Returns the name written, empty on failure (and
// then `reason`, when not null, says why).
QString WriteBackupFile(const QString& file, const ParamImage& image, const QDateTime& at);
QByteArray WriteBackupFileNamed(const QByteArray& file, const ParamImage& image,
                                const QDateTime& at, QString* reason);
