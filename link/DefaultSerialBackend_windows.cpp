#include "DefaultSerialBackend.h"

#include "Win32SerialBackend_windows.h"

std::shared_ptr<SerialBackend> MakeDefaultSerialBackend()
{
    return std::make_shared<Win32SerialBackend>();
}
