#include "DemoStation.h"

#include "UiTexts.h"

StationOptions DemoStationOptions()
{
    return StationSimulator::DefaultOptions();
}

QString DemoHelpText()
{
    return UiTexts::DemoHelp;
}
