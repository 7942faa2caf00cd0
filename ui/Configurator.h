// The configurator as every program entry assembles it.
#pragma once

#include "Application.h"
#include "ComUtilites.h"
#include "ConfigModel.h"
#include "SerialLink.h"
#include "SystemClock.h"
#include "TransferEngine.h"
#include "Transports.h"
#include "Unit1.h"

#include <memory>

class PortProber;

// The model; the program's link (transports by port name, the system clock),
// bound as the serial port module's; the engine on that link speaking through
// plain message boxes; and the main window offering the ports of `ports`. The
// window is not shown yet.
struct Configurator
{
    explicit Configurator(const PortProber& ports) : Form1(model, engine, ports) {}

    ConfigModel model;
    SerialLink link{SerialLink::BackendFactory(OpenTransport), std::make_shared<SystemClock>()};
    PortBinding binding{link};
    PlainMessageSink messages;
    TransferEngine engine{model, messages, link};
    TForm1 Form1;
};
