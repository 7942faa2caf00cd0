// Port lists for tests: none, or fixed names (all usable) followed by unusable
// devices, recording which port each survey was told the program holds.
#pragma once

#include "PortProber.h"

class NoPorts : public PortProber
{
public:
    QStringList ListPortNames() const override { return {}; }
};

class FixedPorts : public PortProber
{
public:
    explicit FixedPorts(QStringList usable = {}) : names(std::move(usable)) {}
    QStringList ListPortNames() const override { return names; }
    QList<SerialDevice> Survey(const QString& held = QString()) const override
    {
        heldSeen << held;
        return PortProber::Survey(held) + unusable;
    }
    QStringList names;
    QList<SerialDevice> unusable;
    mutable QStringList heldSeen;
};
