// The configurator as every program entry assembles it.
#pragma once

#include "Application.h"
#include "ComUtilites.h"
#include "ConfigModel.h"
#include "TransferEngine.h"
#include "Unit1.h"

class PortProber;

// The model, the engine on the default link speaking through plain message
// boxes, and the main window offering the ports of `ports`; the window is not
// shown yet.
struct Configurator
{
    explicit Configurator(const PortProber& ports) : Form1(model, engine, ports) {}

    ConfigModel model;
    PlainMessageSink messages;
    TransferEngine engine{model, messages, DefaultLink()};
    TForm1 Form1;
};
