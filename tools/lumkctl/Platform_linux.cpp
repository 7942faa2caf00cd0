#include "Platform.h"

#include "CtlTexts.h"

#include <QFile>

#include <csignal>
#include <cstring>
#include <unistd.h>

ConsoleStreams OpenConsoleStreams()
{
    ConsoleStreams streams;
    auto out = std::make_unique<QFile>();
    auto err = std::make_unique<QFile>();
    out->open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered,
              QFileDevice::DontCloseHandle);
    err->open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered,
              QFileDevice::DontCloseHandle);
    streams.out = std::move(out);
    streams.err = std::move(err);
    streams.progress = ::isatty(STDERR_FILENO) == 1 ? ProgressStyle::Bar : ProgressStyle::Hidden;
    // A reader that went away (`| head -1`) is a failed write like a full disk:
    // the port is closed and its lock removed on the way out.
    std::signal(SIGPIPE, SIG_IGN);
    return streams;
}

QByteArray ProgramAsStarted(const char* argv0)
{
    return argv0 && std::strchr(argv0, '/') ? QByteArray(argv0) : QByteArray("lumkctl");
}

// Quoted for a POSIX shell, byte for byte.
QByteArray ShellQuoted(const QByteArray& word)
{
    QByteArray quoted = "'";
    for (char c : word) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

PlatformHelp HelpOfPlatform()
{
    return {CtlTexts::Linux::PortArgument, CtlTexts::Linux::PortsSurvey,
            CtlTexts::Linux::InterruptStatuses};
}
