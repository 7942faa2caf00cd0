// lumk-demo: the configurator with a simulated station running on a
// pseudo-terminal, offered in the port selector after the machine's own ports,
// so link test, read, edit, write and save can be tried without hardware.
#include "Application.h"
#include "Configurator.h"
#include "DemoPorts.h"
#include "StartUp.h"
#include "StationSimulator.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    PrepareApplication(app);

    StationSimulator station;
    QString error;
    if (!station.Start(&error)) {
        ShowPlainBox(ApplicationTitle(), QStringLiteral("Симулятор БС не запущен: ") + error);
        return 1;
    }

    const SystemPortProber system;
    const ExtraPortsProber ports(system, {station.ProgramSidePath()});
    Configurator configurator(ports);
    configurator.Form1.show();
    const int code = app.exec();
    station.Stop();
    return code;
}
