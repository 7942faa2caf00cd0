#include "StartUp.h"

#include "ConfigModel.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

SystemPortProber::SystemPortProber(QString deviceDir) : deviceDir_(std::move(deviceDir))
{
}

QStringList SystemPortProber::candidates() const
{
    // Serial device families of Linux: on-board UARTs, USB adapters, CDC modems,
    // multiport cards and the like.
    static const QStringList patterns = {
        QStringLiteral("ttyS*"),   QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*"),
        QStringLiteral("ttyAMA*"), QStringLiteral("ttymxc*"), QStringLiteral("ttySAC*"),
        QStringLiteral("ttyO*"),   QStringLiteral("ttyHS*"),  QStringLiteral("rfcomm*"),
    };
    QStringList names = QDir(deviceDir_).entryList(patterns, QDir::System | QDir::Files);
    std::sort(names.begin(), names.end(), NaturalLess);
    names.removeDuplicates();
    return names;
}

bool SystemPortProber::probe(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(native.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    // A port another program opened exclusively refuses the open above (EBUSY);
    // one whose line settings cannot be read is no usable serial port.
    termios settings{};
    const bool ok = ::tcgetattr(fd, &settings) == 0;
    ::close(fd);
    return ok;
}

QStringList SystemPortProber::ListPortNames() const
{
    QStringList usable;
    for (const QString& name : candidates()) {
        if (probe(deviceDir_ + QLatin1Char('/') + name))
            usable.append(name);
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

void ListPorts(ConfigModel& model, const PortProber& prober)
{
    model.setPorts(prober.ListPortNames());
}

void RunStartUp(ConfigModel& model, const PortProber& prober,
                const std::function<void()>& clearPortReady, const QString& lockedFile)
{
    if (clearPortReady)
        clearPortReady();
    ListPorts(model, prober);
    model.LabelPages();
    model.image().zeroStoredPrefix();
    // The name is relative to the working directory, never the program's folder.
    if (QFileInfo::exists(lockedFile) && LoadImageFile(lockedFile, model.image()))
        model.setConfigLocked(true);
    model.ImageToTable();
}
