#include "FdChannel_linux.h"

std::unique_ptr<StationChannel> MakeStationChannel(const StationOptions& options, QString*)
{
    if (!options.inProcessName.isEmpty())
        return MakeInProcessChannel(options.inProcessName);
    if (options.tcpListen)
        return MakeTcpChannel();
    return MakePtyChannel(options.linkPath);
}
