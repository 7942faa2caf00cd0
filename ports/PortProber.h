// Finds the serial ports the port selector offers, and how they are named and
// ordered.
#pragma once

#include "SerialDevices.h"

#include <QString>
#include <QStringList>

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

// No ports: for a program whose port comes from elsewhere (the command line).
class NoPorts : public PortProber
{
public:
    QStringList ListPortNames() const override { return {}; }
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
