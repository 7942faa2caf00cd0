#include "Transports.h"

#include "DefaultSerialBackend.h"

TransportKind TransportOf(const QString& name)
{
    if (name.startsWith(QLatin1String("rfc2217://")))
        return TransportKind::Rfc2217;
    if (name.startsWith(QLatin1String("socket://")))
        return TransportKind::Socket;
    if (name.startsWith(QLatin1String("station:")))
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
        // The network backends go here: a NetworkBackend for both forms.
        return nullptr;
    case TransportKind::SimulatedStation:
        // The simulator speaks over a pseudo-terminal only (lumk-demo offers
        // its path as a local port); an in-process backend goes here.
        return nullptr;
    }
    return nullptr;
}
