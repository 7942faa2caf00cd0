// lumk-config: the configurator on the machine's own serial ports.
#include "Application.h"
#include "Configurator.h"
#include "StartUp.h"
#include "TerminationSignals.h"
#include "UiTexts.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    const QString program = QStringLiteral("lumk-config");
    if (auto status = AnswerWithoutWindow(argc, argv, program, QStringLiteral(LUMK_VERSION),
                                          UiTexts::ConfigHelp))
        return *status;
    QApplication app(argc, argv);
    QString file;
    if (auto status = FileArgument(QApplication::arguments(), program, true, file))
        return *status;
    PrepareApplication(app);
    const TerminationSignals termination;
    const SystemPortProber ports;
    Configurator configurator(ports);
    configurator.Form1.show();
    // The file named at start-up (a file manager's "open with"): as Open
    // would, once the window is there; a locked configuration still wins.
    if (!file.isEmpty())
        QTimer::singleShot(0, &configurator.Form1,
                           [&configurator, file] { configurator.Form1.OpenNamedFile(file); });
    const int code = app.exec();
    // The port and its lock file go before the application object does.
    configurator.Form1.Session().link().Close();
    return code;
}
