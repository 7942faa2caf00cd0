// Runs the tool's commands in-process with captured output and error streams.
#pragma once

#include "Console.h"
#include "LumkctlCommands.h"
#include "StartUp.h"
#include "TestFiles.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QStringList>

struct ToolRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

class FixedPorts : public PortProber
{
public:
    explicit FixedPorts(QStringList names = {}) : names_(std::move(names)) {}
    QStringList ListPortNames() const override { return names_; }

private:
    QStringList names_;
};

inline ToolRun RunTool(const QStringList& arguments, const PortProber& prober = FixedPorts(),
                       const QDateTime& now = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)))
{
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    Console console(out, err, false);
    CtlContext context{console, prober, [now] { return now; }};
    ToolRun run;
    run.status = RunLumkctl(arguments, context);
    run.out = out.data();
    run.err = err.data();
    return run;
}
