// lumk-config: the configurator on the machine's own serial ports.
#include "Application.h"
#include "Configurator.h"
#include "StartUp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    PrepareApplication(app);
    const SystemPortProber ports;
    Configurator configurator(ports);
    configurator.Form1.show();
    return app.exec();
}
