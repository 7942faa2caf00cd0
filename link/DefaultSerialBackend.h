// The platform's serial backend: the one the port module uses until a test
// or a program installs another.
#pragma once

#include "ComUtilites.h"

#include <memory>

std::shared_ptr<SerialBackend> MakeDefaultSerialBackend();
