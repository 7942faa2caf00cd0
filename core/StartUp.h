// The start-up sequence: port list, page labels, the zeroed image, the optional
// locked configuration file, and the first decode into the table.
#pragma once

#include <QString>
#include <QStringList>

#include "SerialDevices.h"

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
    // Every serial device present with its state, usable or not, in the same
    // order. `held` names the port the program has open: it is reported usable
    // and never touched. By default the listed names, all usable.
    virtual QList<SerialDevice> Survey(const QString& held = QString()) const;
};

// The machine's serial devices. A device is listed only when no other program
// holds a live lock of it, it opens (not held exclusively by another program)
// and its line settings can be read; it is closed again at once and its
// settings are never changed. The folders read are CurrentSystemRoots().
class SystemPortProber : public PortProber
{
public:
    QStringList ListPortNames() const override;
    QList<SerialDevice> Survey(const QString& held = QString()) const override;
};

// "ttyS2" before "ttyS10": digit runs compare by value.
bool NaturalLess(const QString& a, const QString& b);

// The usable names of a survey, in its order.
QStringList UsablePortNames(const QList<SerialDevice>& devices);

// Fills the port list with the usable ports; returns the whole survey, so the
// window can say why the others are missing.
QList<SerialDevice> ListPorts(ConfigModel& model, const PortProber& prober);

// Runs the whole sequence. `clearPortReady` clears the link's ready flag first;
// `lockedFile` is taken relative to the working directory. Returns the port
// survey of ListPorts.
QList<SerialDevice> RunStartUp(ConfigModel& model, const PortProber& prober,
                               const std::function<void()>& clearPortReady = {},
                               const QString& lockedFile = QStringLiteral("regul.lmk"));
