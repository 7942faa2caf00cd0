// What the tool's program needs from the platform: its standard streams, the
// name it was started by, and quoting for the commands it prints.
#pragma once

#include "Console.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>

struct ConsoleStreams
{
    std::unique_ptr<QIODevice> out;
    std::unique_ptr<QIODevice> err;
    // A bar on a terminal (a console taking terminal sequences), plain lines
    // on a console without them, nothing elsewhere.
    ProgressStyle progress = ProgressStyle::Hidden;
};

// Standard output and error, written byte for byte (UTF-8) except to a
// console that takes wide text. Prepares the process too (a closed pipe is a
// failed write, not the end of the process).
ConsoleStreams OpenConsoleStreams();
// The tool as the restore command names it: as started when that was a path.
QByteArray ProgramAsStarted(const char* argv0);
// `word` as one argument for the platform's shell, byte for byte.
QByteArray ShellQuoted(const QByteArray& word);

// The platform's parts of the help texts.
struct PlatformHelp
{
    QString portArgument;      // how --port names a port
    QString portsSurvey;       // what "ports" lists
    QString interruptStatuses; // the exit statuses of an interrupted transfer
};
PlatformHelp HelpOfPlatform();
