#include "PortProber.h"

QList<SerialDevice> PortProber::Survey(const QString&) const
{
    QList<SerialDevice> devices;
    for (const QString& name : ListPortNames()) {
        SerialDevice device;
        device.name = name;
        device.path = DevicePath(name);
        device.state = PortState::Usable;
        devices << device;
    }
    return devices;
}

QList<SerialDevice> SystemPortProber::Survey(const QString& held) const
{
    return SurveySerialDevices(held);
}

QStringList SystemPortProber::ListPortNames() const
{
    return UsablePortNames(Survey());
}

QStringList UsablePortNames(const QList<SerialDevice>& devices)
{
    QStringList usable;
    for (const SerialDevice& device : devices) {
        if (device.state == PortState::Usable)
            usable.append(device.name);
    }
    return usable;
}

bool NaturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            // Compare digit runs by value without overflow: skip leading zeros,
            // then the longer run is larger, then the digits decide.
            qsizetype zi = i, zj = j;
            while (zi + 1 < ei && a[zi] == QLatin1Char('0'))
                ++zi;
            while (zj + 1 < ej && b[zj] == QLatin1Char('0'))
                ++zj;
            if (ei - zi != ej - zj)
                return ei - zi < ej - zj;
            const int c = QStringView(a).mid(zi, ei - zi).compare(QStringView(b).mid(zj, ej - zj));
            if (c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}
