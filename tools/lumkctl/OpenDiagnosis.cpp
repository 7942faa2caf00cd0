// Reproduces the failed open step by step: another program's lock file and
// the plain open(2) first (its errno tells missing devices, permissions and
// exclusive holders apart), then the line-settings query, then the serial port
// layer itself with the line settings applied.
#include "OpenDiagnosis.h"

#include "CtlTexts.h"
#include "NetworkBackend.h"
#include "SerialDevices.h"
#include "SystemErrors.h"

#include <QFileInfo>
#include <QSerialPort>

#include <cerrno>
#include <cstring>

QString PortDevicePath(const QString& port)
{
    return DevicePath(port);
}

QString ResolvePortArgument(const QString& port)
{
    if (IsNetworkPortName(port))
        return port;
    if (!port.contains(QLatin1Char('/')) || port.startsWith(QLatin1Char('/')))
        return port;
    // "pts/3" names /dev/pts/3 unless such a path exists here.
    const QFileInfo here(port);
    if (here.exists() || port.startsWith(QLatin1String("./")) ||
        port.startsWith(QLatin1String("../")))
        return here.absoluteFilePath();
    return port;
}

QString DescribeOpenErrno(int error, const QString& path, const QString& owner,
                          const QString& group, unsigned mode)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return CtlTexts::OtherReason.arg(DeviceTexts::NoSuchDevice(path));
    case EACCES:
    case EPERM:
        return CtlTexts::OtherReason.arg(DeviceTexts::NoPermission(path, owner, group, mode));
    case EBUSY:
        return CtlTexts::OtherReason.arg(DeviceTexts::BusyUnknown());
    case 0:
        return QString();
    default:
        return CtlTexts::OtherReason.arg(SystemErrorText(error));
    }
}

QString ExplainOpenFailure(const QString& port)
{
    const SerialDevice device = InspectSerialDevice(port);
    if (device.state != PortState::Usable)
        return CtlTexts::OtherReason.arg(device.reason);

    // The device opens by itself: ask the serial port layer, which also takes
    // the port's lock file and exclusive access, and applies the line settings.
    QSerialPort probe;
    probe.setPortName(CanonicalDevicePath(device.path));
    if (!probe.open(QIODevice::ReadWrite)) {
        if (probe.error() == QSerialPort::PermissionError)
            return CtlTexts::HeldByOther;
        if (probe.error() == QSerialPort::DeviceNotFoundError)
            return CtlTexts::NoSuchDevice.arg(device.path);
        return CtlTexts::OtherReason.arg(probe.errorString());
    }
    const bool settingsApplied = probe.setBaudRate(2400) && probe.setDataBits(QSerialPort::Data8) &&
                                 probe.setParity(QSerialPort::NoParity) &&
                                 probe.setStopBits(QSerialPort::OneStop) &&
                                 probe.setFlowControl(QSerialPort::NoFlowControl);
    probe.close();
    return settingsApplied ? CtlTexts::UnknownReason : CtlTexts::SettingsRejected;
}
