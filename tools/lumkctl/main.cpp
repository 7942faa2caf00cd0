// lumkctl: the configurator's model and transfer engine for batch work and
// scripts, without a window.
#include "Console.h"
#include "LumkctlCommands.h"
#include "StartUp.h"

#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumkctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMK_VERSION));

    QFile out;
    QFile err;
    out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered,
             QFileDevice::DontCloseHandle);
    err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered,
             QFileDevice::DontCloseHandle);
    Console console(out, err, ::isatty(STDERR_FILENO) == 1);
    SystemPortProber prober;
    CtlContext context{console, prober, [] { return QDateTime::currentDateTime(); }};
    return RunLumkctl(app.arguments().mid(1), context);
}
