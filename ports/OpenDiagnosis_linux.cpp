// Reproduces the failed open step by step: another program's lock file and
// the plain open(2) first (its errno tells missing devices, permissions and
// exclusive holders apart), then the line-settings query, then the serial port
// layer itself with the line settings applied.
#include "OpenDiagnosis.h"

#include "LineSettings.h"
#include "SerialDevices.h"

#include <QFileInfo>
#include <QSerialPort>

QString ResolvePortArgument(const QString& port)
{
    // A network port ("socket://HOST:PORT") is no path.
    if (port.contains(QLatin1String("://")))
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

QString ExplainOpenFailure(const QString& port)
{
    const SerialDevice device = InspectSerialDevice(port);
    if (device.state != PortState::Usable)
        return DiagnosisTexts::OtherReason.arg(device.reason);

    // The device opens by itself: ask the serial port layer, which also takes
    // the port's lock file and exclusive access, and applies the line settings.
    QSerialPort probe;
    probe.setPortName(CanonicalDevicePath(device.path));
    if (!probe.open(QIODevice::ReadWrite)) {
        if (probe.error() == QSerialPort::PermissionError)
            return DiagnosisTexts::HeldByOther;
        if (probe.error() == QSerialPort::DeviceNotFoundError)
            return DiagnosisTexts::NoSuchDevice.arg(device.path);
        return DiagnosisTexts::OtherReason.arg(probe.errorString());
    }
    const bool settingsApplied = ApplyLineSettings(probe);
    probe.close();
    return settingsApplied ? DiagnosisTexts::UnknownReason : DiagnosisTexts::SettingsRejected;
}
