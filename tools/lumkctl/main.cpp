// lumkctl: the configurator's model and transfer engine for batch work and
// scripts, without a window.
#include "Console.h"
#include "Interrupt.h"
#include "LumkctlCommands.h"
#include "StartUp.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstring>
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
    // The restore command names the tool as it was started.
    if (argc > 0 && std::strchr(argv[0], '/'))
        context.program = argv[0];
    InstallInterruptHandlers();
    // A reader that went away (`| head -1`) is a failed write like a full disk:
    // the port is closed and its lock removed on the way out.
    std::signal(SIGPIPE, SIG_IGN);
    // File names byte for byte: the decoded arguments lose what is not UTF-8.
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    return RunLumkctl(arguments, context);
}
