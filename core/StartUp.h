// The start-up sequence: port list, page labels, the zeroed image, the optional
// locked configuration file, and the first decode into the table.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class ConfigModel;

// Finds the usable serial ports. Injected so tests and the demo can offer ports
// of their own.
class PortProber
{
public:
    virtual ~PortProber() = default;
    // Usable port names, in ascending order; no port is left open.
    virtual QStringList ListPortNames() const = 0;
};

// The machine's serial devices. A device is listed only when it opens (not held
// exclusively by another program) and its line settings can be read; it is closed
// again at once and its settings are never changed.
class SystemPortProber : public PortProber
{
public:
    explicit SystemPortProber(QString deviceDir = QStringLiteral("/dev"));
    QStringList ListPortNames() const override;

    // Device names that may be serial ports, in the order the selector shows them.
    QStringList candidates() const;
    // True when `path` opens without blocking and answers a line-settings query.
    static bool probe(const QString& path);

private:
    QString deviceDir_;
};

// "ttyS2" before "ttyS10": digit runs compare by value.
bool NaturalLess(const QString& a, const QString& b);

void ListPorts(ConfigModel& model, const PortProber& prober);

// Runs the whole sequence. `clearPortReady` clears the link's ready flag first;
// `lockedFile` is taken relative to the working directory.
void RunStartUp(ConfigModel& model, const PortProber& prober,
                const std::function<void()>& clearPortReady = {},
                const QString& lockedFile = QStringLiteral("regul.lmk"));
