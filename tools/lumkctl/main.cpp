// lumkctl: the configurator's model and transfer engine for batch work and
// scripts, without a window.
#include "Console.h"
#include "CtlArguments.h"
#include "Interrupt.h"
#include "LumkctlCommands.h"
#include "Platform.h"
#include "StartUp.h"
#include "ToolApplication.h"

int main(int argc, char** argv)
{
    // File names byte for byte: the decoded arguments lose what is not UTF-8.
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    const CtlArguments parsed = ParseCtlArguments(arguments);
    const auto app = CreateToolApplication(argc > 0 ? argv[0] : nullptr,
                                           parsed.command == CtlCommand::Sheet &&
                                               parsed.error.isEmpty() && !parsed.help);
    QCoreApplication::setApplicationName(QStringLiteral("lumkctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMK_VERSION));

    const ConsoleStreams streams = OpenConsoleStreams();
    Console console(*streams.out, *streams.err, streams.progress);
    SystemPortProber prober;
    CtlContext context{console, prober, [] { return QDateTime::currentDateTime(); }};
    // The restore command names the tool as it was started.
    context.program = ProgramAsStarted(argc > 0 ? argv[0] : nullptr);
    InstallInterruptHandlers();
    const int status = RunLumkctl(arguments, context);
    WorkEnded();
    return status;
}
