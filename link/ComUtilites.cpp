// The module-level names: the default link's handle and buffer, and its calls.
#include "ComUtilites.h"

PortHandleType PortHandle = 0;
std::uint8_t LinkBuffer[LinkBufferSize] = {};

SerialLink& DefaultLink()
{
    static SerialLink link(SerialLink::External{&PortHandle, LinkBuffer});
    return link;
}

bool OpenPort(const QString& name)
{
    return DefaultLink().Open(name);
}

void ClosePort()
{
    DefaultLink().Close();
}

bool ReadPort(int n)
{
    return DefaultLink().Read(n);
}

bool WritePort(int n)
{
    return DefaultLink().Write(n);
}

void PurgePort(unsigned flags)
{
    DefaultLink().Purge(flags);
}

void ResetComUtilites()
{
    DefaultLink().Reset();
}
