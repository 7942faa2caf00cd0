// What the system says about its serial devices: the names one device goes by,
// who holds it, why it cannot be used, and for a USB adapter its description
// and stable by-id name. (The lock files other programs keep for a device:
// PortLock_linux.h.)
//
// Everything is read below a set of roots (/dev, /sys, /proc, the lock
// directories) that tests point at a fake tree.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct SystemRoots
{
    QString dev = QStringLiteral("/dev");
    QString sys = QStringLiteral("/sys");
    QString proc = QStringLiteral("/proc");
    // Where serial programs leave their LCK.. files (/var/lock is usually a
    // link to /run/lock; a folder is read once however it is reached).
    QStringList lockDirs = {QStringLiteral("/run/lock"), QStringLiteral("/var/lock")};
};

// The roots every function below reads. Tests replace them through
// ScopedSystemRoots.
SystemRoots& CurrentSystemRoots();

// Replaces CurrentSystemRoots() for its own lifetime, restoring them on every
// way out (a fake device tree for one test).
class ScopedSystemRoots
{
public:
    explicit ScopedSystemRoots(SystemRoots roots) : saved_(CurrentSystemRoots())
    {
        CurrentSystemRoots() = std::move(roots);
    }
    ~ScopedSystemRoots() { CurrentSystemRoots() = saved_; }
    ScopedSystemRoots(const ScopedSystemRoots&) = delete;
    ScopedSystemRoots& operator=(const ScopedSystemRoots&) = delete;

private:
    SystemRoots saved_;
};

// The device path for a port name: "ttyUSB0" and "pts/3" live in the device
// folder, as does a bare name of its serial/by-id folder; an absolute or ./ ../
// path is used as it is.
QString DevicePath(const QString& port);
// The path with every symbolic link resolved, or the path itself when it does
// not resolve.
QString CanonicalDevicePath(const QString& path);
// Every name of the device: the path given, its canonical path, and the links
// in serial/by-id and serial/by-path of the device folder that lead to it.
QStringList DeviceNames(const QString& path);

// The owner of a device, from its lock file or from the kernel (a process
// that has it open).
struct DeviceHolder
{
    qint64 pid = 0;
    QString program;  // the process's name, empty when it cannot be read
    QString lockFile; // empty when no lock file names it
};

// True while the process exists (also when it belongs to another user).
bool ProcessAlive(qint64 pid);
// The short name of a process, empty when unknown.
QString ProgramName(qint64 pid);
// Another process that has the device open, when /proc lets us see it.
std::optional<DeviceHolder> FindOpenHolder(const QString& path);

enum class PortState { Usable, NoPermission, Busy, Error };

struct SerialDevice
{
    QString name; // "ttyUSB0", as the port list shows it
    QString path; // "/dev/ttyUSB0"
    PortState state = PortState::Error;
    QString reason;      // why it is not usable; empty when usable
    QString description; // a USB adapter's manufacturer, product and serial number
    QString byId;        // its /dev/serial/by-id/ name
};

// "usable", "no-permission", "busy", "error".
QString PortStateName(PortState state);

// Why open(2) failed with `error` on `path`: the state that puts the port in
// and the reason in words for the operator (the owner and mode of a device
// refused for permissions, the program holding a busy one).
struct OpenRefusal
{
    PortState state = PortState::Error;
    QString reason;
};
OpenRefusal DescribeOpenError(int error, const QString& path);

// Tries the device as the port list does: a live lock of another program makes
// it busy; otherwise it must open without blocking and answer a line-settings
// query. Nothing is left open and no setting is changed.
SerialDevice InspectSerialDevice(const QString& name);
// Every device of the serial families present in the device folder, in the
// order the port selector shows them. The device named `held` (the port the
// program has open) is reported usable without being touched.
QList<SerialDevice> SurveySerialDevices(const QString& held = QString());
// The names of the serial families' devices present in the device folder.
QStringList SerialDeviceCandidates();

// Why a port is not usable, in words for the operator.
namespace DeviceTexts {
QString NoSuchDevice(const QString& path);
QString NotSerial(const QString& path);
// Joining `group` is advised only for the usual serial groups; otherwise
// (a root:root 0600 device) only an administrator can grant access.
QString NoPermission(const QString& path, const QString& owner, const QString& group,
                     unsigned mode);
QString Busy(const DeviceHolder& holder);
QString BusyUnknown();
// A lock file without a live owner that we cannot judge: its path, what is
// wrong with it, and what to do.
QString BadLockFile(const QString& file, const QString& problem);
QString OtherError(const QString& systemText);
} // namespace DeviceTexts
