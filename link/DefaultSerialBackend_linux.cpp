#include "DefaultSerialBackend.h"

#include "QtSerialBackend.h"

std::shared_ptr<SerialBackend> MakeDefaultSerialBackend()
{
    return std::make_shared<QtSerialBackend>();
}
