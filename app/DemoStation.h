// The demo's simulated station as the platform has it: on Linux behind a new
// pseudo-terminal (its path is the port offered), elsewhere behind an
// in-process line (the port "station:demo").
#pragma once

#include "StationSimulator.h"

StationOptions DemoStationOptions();
// lumk-demo --help, which says where the station is.
QString DemoHelpText();
