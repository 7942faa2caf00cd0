// The backup of a device's configuration beside the file that is about to be
// written to it. Names are taken byte for byte.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class ParamImage;

// "<folder of file>/<name of file without its last extension>.device-<date>-<time>.lmk"
// (with "-2", "-3"... before ".lmk" when such a file exists already).
QByteArray BackupFileNameNamed(const QByteArray& file, const QDateTime& at, int attempt = 1);

// Writes the image's text form to a new backup file beside `file`, never
// replacing an existing one. Returns the name written, empty on failure (and
// then `reason`, when not null, says why).
QByteArray WriteBackupFileNamed(const QByteArray& file, const ParamImage& image,
                                const QDateTime& at, QString* reason);
