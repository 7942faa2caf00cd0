// lumk-demo: the configurator with a simulated station running on a
// pseudo-terminal, offered in the port selector after the machine's own ports,
// so link test, read, edit, write and save can be tried without hardware.
#include "Application.h"
#include "ConfigModel.h"
#include "DemoPorts.h"
#include "StartUp.h"
#include "StationSimulator.h"
#include "TransferEngine.h"
#include "UiTexts.h"
#include "Unit1.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallRussianTranslation(app);
    SetApplicationTitle(UiTexts::ApplicationTitle);

    StationSimulator station;
    QString error;
    if (!station.Start(&error)) {
        ShowPlainBox(ApplicationTitle(), QStringLiteral("Симулятор БС не запущен: ") + error);
        return 1;
    }

    ConfigModel model;
    PlainMessageSink messages;
    TransferEngine engine(model, messages);
    const SystemPortProber system;
    const ExtraPortsProber ports(system, {station.ProgramSidePath()});
    TForm1 Form1(model, engine, ports);
    Form1.show();
    const int code = app.exec();
    station.Stop();
    return code;
}
