// lumk-config: the configurator on the machine's own serial ports.
#include "Application.h"
#include "ConfigModel.h"
#include "StartUp.h"
#include "TransferEngine.h"
#include "UiTexts.h"
#include "Unit1.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallRussianTranslation(app);
    SetApplicationTitle(UiTexts::ApplicationTitle);

    ConfigModel model;
    PlainMessageSink messages;
    TransferEngine engine(model, messages);
    const SystemPortProber ports;
    TForm1 Form1(model, engine, ports);
    Form1.show();
    return app.exec();
}
