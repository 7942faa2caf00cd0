// Qt Core or Qt Gui, by the command.
#include "ToolApplication.h"

#include <QGuiApplication>

#include <cstring>

std::unique_ptr<QCoreApplication> CreateToolApplication(char* program, const char* command)
{
    // The application keeps references to these for its whole life.
    static char name[] = "lumkctl";
    static int argc = 1;
    static char* argv[] = {program ? program : name, nullptr};
    if (command && std::strcmp(command, "sheet") == 0) {
        UseHeadlessPlatform();
        return std::make_unique<QGuiApplication>(argc, argv);
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}
