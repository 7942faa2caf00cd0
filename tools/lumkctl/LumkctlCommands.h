// The tool's commands over the window's model and engine. main() only builds the
// context; tests run the commands in-process with their own streams and ports.
#pragma once

#include <QDateTime>
#include <QStringList>

#include <functional>

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
};

struct CtlContext
{
    Console& console;
    const PortProber& prober;       // for "ports"
    std::function<QDateTime()> now; // names backup files
};

// `arguments` without the program name. Returns the exit status.
int RunLumkctl(const QStringList& arguments, CtlContext& context);
