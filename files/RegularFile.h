// Opening a configuration file for reading, as the platform allows it.
#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// Opens `nativeName` (the name byte for byte as the system takes it) for reading
// into `file`, only when it is a regular file. The open never waits: a named
// pipe, a terminal or a device is refused, not read. False when refused or not
// opened; then `reason` (when given) says why, in the operator's language.
bool OpenRegularFile(const QByteArray& nativeName, QFile& file, QString* reason = nullptr);

// Whether a reader that opens `nativeName` plainly (and would wait forever on
// a named pipe) may be given it: nothing is there yet, or it is a regular file
// of at most `maxBytes`. Checked through an open that never waits.
bool SafeForPlainOpen(const QByteArray& nativeName, qint64 maxBytes);
