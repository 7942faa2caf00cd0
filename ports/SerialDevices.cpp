// The platform-independent part of the serial device survey: state names, the
// survey over the platform's candidates, and the operator's texts.
#include "SerialDevices.h"

QString PortStateName(PortState state)
{
    switch (state) {
    case PortState::Usable:
        return QStringLiteral("usable");
    case PortState::NoPermission:
        return QStringLiteral("no-permission");
    case PortState::Busy:
        return QStringLiteral("busy");
    case PortState::Error:
        break;
    }
    return QStringLiteral("error");
}

QList<SerialDevice> SurveySerialDevices(const QString& held)
{
    QList<SerialDevice> devices;
    for (const QString& name : SerialDeviceCandidates()) {
        if (!held.isEmpty() && name == held) {
            SerialDevice device;
            device.name = name;
            device.path = DevicePath(name);
            device.state = PortState::Usable;
            devices << device;
            continue;
        }
        devices << InspectSerialDevice(name);
    }
    return devices;
}

namespace DeviceTexts {

QString NoSuchDevice(const QString& path)
{
    return QStringLiteral("нет такого устройства (%1)").arg(path);
}

QString NotSerial(const QString& path)
{
    return QStringLiteral("%1 не последовательный порт").arg(path);
}

QString NoPermission(const QString& path, const QString& owner, const QString& group, unsigned mode)
{
    if (group.isEmpty())
        return QStringLiteral("нет прав на %1").arg(path);
    const QString access = QStringLiteral("нет прав на %1 (владелец %2:%3, права %4)")
                               .arg(path, owner, group)
                               .arg(mode & 07777, 4, 8, QLatin1Char('0'));
    // Joining the group helps only when the group may read and write the
    // device and is one a user is meant to join.
    const bool serialGroup = group == QLatin1String("dialout") || group == QLatin1String("uucp");
    if (serialGroup && (mode & 060) == 060)
        return access + QStringLiteral("; добавьте пользователя в группу %1 "
                                       "(sudo usermod -aG %1 $USER) и войдите в систему заново")
                            .arg(group);
    return access + QStringLiteral("; доступ может дать только администратор");
}

QString Busy(const DeviceHolder& holder)
{
    const QString who = holder.program.isEmpty()
                            ? QStringLiteral("PID %1").arg(holder.pid)
                            : QStringLiteral("%1, PID %2").arg(holder.program).arg(holder.pid);
    if (holder.lockFile.isEmpty())
        return QStringLiteral("порт занят другой программой (%1)").arg(who);
    return QStringLiteral("порт занят другой программой (%1, файл блокировки %2)")
        .arg(who, holder.lockFile);
}

QString BusyUnknown()
{
    return QStringLiteral("порт занят другой программой");
}

QString BadLockFile(const QString& file, const QString& problem)
{
    return QStringLiteral("порт заблокирован файлом %1: %2; если портом не пользуется ни одна "
                          "программа, удалите этот файл (rm %1)")
        .arg(file, problem);
}

QString OtherError(const QString& systemText)
{
    return systemText;
}

} // namespace DeviceTexts
