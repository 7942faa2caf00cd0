#include "StationChannel.h"

// No pseudo-terminals here: the station runs behind an in-process line only.
std::unique_ptr<StationChannel> MakeStationChannel(const StationOptions& options, QString* error)
{
    if (!options.inProcessName.isEmpty())
        return MakeInProcessChannel(options.inProcessName);
    if (error)
        *error = QStringLiteral("only an in-process station runs on this system (inProcessName)");
    return nullptr;
}
