#include "DefaultSerialBackend.h"

#include "Win32SerialBackend.h"

std::shared_ptr<SerialBackend> MakeDefaultSerialBackend()
{
    return std::make_shared<Win32SerialBackend>();
}
