// lumk-demo: the configurator with a simulated station running on a
// pseudo-terminal (or, without pseudo-terminals, an in-process line), offered
// in the port selector after the machine's own ports, so link test, read,
// edit, write and save can be tried without hardware.
#include "Application.h"
#include "Configurator.h"
#include "DemoPorts.h"
#include "DemoStation.h"
#include "StartUp.h"
#include "StationSimulator.h"
#include "TerminationSignals.h"
#include "UiTexts.h"

#include <QApplication>

int main(int argc, char** argv)
{
    const QString program = QStringLiteral("lumk-demo");
    if (auto status =
            AnswerWithoutWindow(argc, argv, program, QStringLiteral(LUMK_VERSION), DemoHelpText()))
        return *status;
    QApplication app(argc, argv);
    QString none;
    if (auto status = FileArgument(QApplication::arguments(), program, false, none))
        return *status;
    PrepareApplication(app);
    const TerminationSignals termination;

    StationSimulator station(DemoStationOptions());
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
    // The port and its lock file go before the application object does.
    configurator.Form1.Session().link().Close();
    station.Stop();
    return code;
}
