// The platform's serial backend: what a local port name opens through.
#pragma once

#include "SerialBackend.h"

#include <memory>

std::shared_ptr<SerialBackend> MakeDefaultSerialBackend();
