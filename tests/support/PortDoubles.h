// Port lists for tests (NoPorts is the program's own): fixed names (all usable) followed by
// unusable devices, recording which port each survey was told the program holds.
#pragma once

#include "PortProber.h"

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
