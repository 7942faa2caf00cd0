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

private:
    const PortProber& system_;
    QStringList extra_;
};
