// The module-level names over the bound link.
#include "ComUtilites.h"

#include <cassert>

namespace {

SerialLink* bound = nullptr;

} // namespace

PortBinding::PortBinding(SerialLink& link) : previous_(bound)
{
    bound = &link;
}

PortBinding::~PortBinding()
{
    bound = previous_;
}

const SerialBackend* PortHandle()
{
    return bound && bound->IsOpen() ? bound->Backend() : nullptr;
}

std::uint8_t* LinkBuffer()
{
    assert(bound);
    return bound->Buffer();
}

bool OpenPort(const QString& name)
{
    return bound && bound->Open(name);
}

void ClosePort()
{
    if (bound)
        bound->Close();
}

bool ReadPort(int n)
{
    return bound && bound->Read(n);
}

bool WritePort(int n)
{
    return bound && bound->Write(n);
}

void PurgePort(unsigned flags)
{
    if (bound)
        bound->Purge(flags);
}
