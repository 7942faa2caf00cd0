#include "Transports.h"

#include "DefaultSerialBackend.h"
#include "NetworkBackend.h"
#include "StationBackend.h"

TransportKind TransportOf(const QString& name)
{
    if (name.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive))
        return TransportKind::Rfc2217;
    if (name.startsWith(QLatin1String("socket://"), Qt::CaseInsensitive))
        return TransportKind::Socket;
    if (name.startsWith(QLatin1String("station:"), Qt::CaseInsensitive))
        return TransportKind::SimulatedStation;
    return TransportKind::LocalSerial;
}

std::shared_ptr<SerialBackend> OpenTransport(const QString& name)
{
    switch (TransportOf(name)) {
    case TransportKind::LocalSerial:
        return MakeDefaultSerialBackend();
    case TransportKind::Rfc2217:
    case TransportKind::Socket:
        return std::make_shared<NetworkBackend>(); // it reads the form from the name
    case TransportKind::SimulatedStation:
        return std::make_shared<StationBackend>(); // the line registered under the name
    }
    return nullptr;
}
