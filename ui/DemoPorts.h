// A port prober that offers extra ports (such as a simulated station's
// pseudo-terminal) after the machine's own serial ports.
#pragma once

#include "StartUp.h"

class ExtraPortsProber : public PortProber
{
public:
    ExtraPortsProber(const PortProber& system, QStringList extra)
        : system_(system), extra_(std::move(extra))
    {
    }
    QStringList ListPortNames() const override { return system_.ListPortNames() + extra_; }
    QList<SerialDevice> Survey(const QString& held = QString()) const override
    {
        QList<SerialDevice> devices = system_.Survey(held);
        for (const QString& name : extra_)
            devices << SerialDevice{name, DevicePath(name), PortState::Usable, {}, {}, {}};
        return devices;
    }

private:
    const PortProber& system_;
    QStringList extra_;
};
