// The tool's commands over the window's model and engine. main() only builds the
// context; tests run the commands in-process with their own streams and ports.
#pragma once

#include "SerialLink.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>

#include <functional>
#include <memory>

class Console;
class PortProber;

// Exit status of the tool.
enum CtlExit : int {
    ExitOk = 0,
    ExitUsage = 2,
    ExitPortNotOpen = 3,
    ExitNoDevice = 4,
    ExitNotConnected = 5,
    ExitStalled = 6,
    ExitDifferent = 7,
    ExitFileError = 8,
    ExitUnreliable = 9, // reads of the device disagree
    // A signal ends the tool with 128 + its number: 129 SIGHUP, 130 SIGINT, 143 SIGTERM.
    ExitSignalBase = 128,
};

struct CtlContext
{
    Console& console;
    const PortProber& prober;       // for "ports"
    std::function<QDateTime()> now; // names backup files
    QByteArray program = "lumkctl"; // as the restore command names the tool
    // The device link's transports and clock; empty: transports by port name
    // and the system clock.
    SerialLink::BackendFactory transports = {};
    std::shared_ptr<LinkClock> clock = {};
};

// `arguments` without the program name, byte for byte. Returns the exit status.
int RunLumkctl(const QList<QByteArray>& arguments, CtlContext& context);
// The same with text arguments in the system's file name encoding.
int RunLumkctl(const QStringList& arguments, CtlContext& context);
