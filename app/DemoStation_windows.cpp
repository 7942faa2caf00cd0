#include "DemoStation.h"

#include "UiTexts.h"

StationOptions DemoStationOptions()
{
    StationOptions options = StationSimulator::DefaultOptions();
    options.inProcessName = QStringLiteral("demo"); // the port "station:demo"
    return options;
}

QString DemoHelpText()
{
    return UiTexts::DemoHelpInProcess;
}
