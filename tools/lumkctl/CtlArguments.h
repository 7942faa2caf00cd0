// The tool's command line: one command, its options and its file argument,
// checked completely before anything touches a port or a file.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

enum class CtlCommand {
    None, // no command: --help, --version, or a usage error
    Ports,
    Read,
    Write,
    Show,
    Diff,
    Sheet,
};

struct CtlArguments
{
    CtlCommand command = CtlCommand::None;
    bool help = false;    // print the help of `command` (or the main help) and stop
    bool version = false; // print the version and stop
    QString port;
    // File names as shown in messages; the *Name fields hold them byte for byte
    // as given on the command line, which is what the files are opened by.
    QString output;     // read and sheet --output
    QString file;       // write, show, diff, sheet without --port
    QString secondFile; // diff of two files
    QByteArray outputName;
    QByteArray fileName;
    QByteArray secondFileName;
    bool verify = false;  // write: read the device back; on unless --no-verify
    bool confirm = false; // read --confirm
    bool force = false;   // write --force
    bool noBackup = false;
    bool json = false;
    bool trace = false;
    std::chrono::milliseconds timeout = std::chrono::seconds(20);

    // Non-empty when the command line is unusable; the tool exits with status 2.
    QString error;
};

// `arguments` without the program name, byte for byte as the system gave them.
CtlArguments ParseCtlArguments(const QList<QByteArray>& arguments);
// The same for text arguments, in the system's file name encoding.
CtlArguments ParseCtlArguments(const QStringList& arguments);

// The command's name as typed ("read"), empty for None.
QString CommandName(CtlCommand command);
// The help text of a command, or the main help for None.
QString CommandHelp(CtlCommand command);
