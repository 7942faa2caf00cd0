// Lock files other programs keep for a serial device: the names they may have,
// what one says, and which of them keeps the device from being opened.
#pragma once

#include "SerialDevices.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The PID in a lock file: text ("%10d\n", "PID\nprogram\nhost\n…",
// "PID program user") or a 4-byte binary PID. 0 when it names none.
qint64 LockFilePid(const QByteArray& content);
// Lock file paths another program may have made for the device, one for each
// of its names in the common spellings ("LCK..ttyUSB0", "LCK..pts_3").
QStringList LockFileCandidates(const QString& path);
// What one lock file says, read without ever waiting on it: opened
// non-blocking and without following a symbolic link, accepted only as a
// regular file of at most MaxLockFileBytes.
struct LockFileState
{
    enum Kind {
        Absent,    // no such file
        Pid,       // a regular file naming a PID (alive or not)
        NoPid,     // a regular file without a readable PID (empty, garbage, negative)
        NotPlain,  // a FIFO, device, folder, socket or symbolic link
        TooLarge,  // larger than any lock file a serial program writes
        Unreadable // cannot be opened or read (its errno in `error`)
    };
    Kind kind = Absent;
    qint64 pid = 0;
    qint64 size = 0;
    qint64 ageSeconds = 0; // since its last change
    int error = 0;
    QString what; // NotPlain: "FIFO", "символическая ссылка", …
};
constexpr qint64 MaxLockFileBytes = 512;
LockFileState ReadLockFile(const QString& file);

// A lock file that keeps the device from being opened: one whose owner is
// alive (this process counts too: a lock of its own means another of its
// ports holds the device), or one that cannot be judged safely. `abandoned`
// marks a regular file without a PID older than AbandonedLockSeconds: nobody
// is writing it any more, so opening the port may remove it.
struct BlockingLock
{
    QString file;
    std::optional<DeviceHolder> holder; // the live owner
    QString problem;                    // what is wrong, when there is no live owner
    bool abandoned = false;
};
constexpr qint64 AbandonedLockSeconds = 60;
std::optional<BlockingLock> FindBlockingLock(const QString& path);
// Removes the device's abandoned lock files; true when none blocks any more.
bool RemoveAbandonedLocks(const QString& path);
