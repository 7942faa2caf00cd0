// The configurator as every program entry assembles it.
#pragma once

#include "Application.h"
#include "ConfigModel.h"
#include "DeviceSession.h"
#include "Unit1.h"

#include <memory>

class PortProber;

// The model and the main window offering the ports of `ports`, with its own
// session on the system's transports; the window is not shown yet.
struct Configurator
{
    explicit Configurator(const PortProber& ports) : Form1(model, SessionParts{}, ports) {}

    ConfigModel model;
    TForm1 Form1;
    TransferEngine& engine = Form1.Session().engine();
};
