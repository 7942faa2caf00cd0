// Qt Core or Qt Gui, by the command.
#include "ToolApplication.h"

#include <QGuiApplication>

std::unique_ptr<QCoreApplication> CreateToolApplication(char* program, bool drawing)
{
    // The application keeps references to these for its whole life.
    static char name[] = "lumkctl";
    static int argc = 1;
    static char* argv[] = {program ? program : name, nullptr};
    if (drawing) {
        UseHeadlessPlatform();
        return std::make_unique<QGuiApplication>(argc, argv);
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}
