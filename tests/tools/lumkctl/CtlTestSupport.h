// Runs the tool's commands in-process with captured output and error streams.
#pragma once

#include "Console.h"
#include "LumkctlCommands.h"
#include "PortDoubles.h"
#include "SystemClock.h"
#include "TestFiles.h"
#include "Transports.h"

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

// The link the tool's device commands run on.
struct ToolLink
{
    SerialLink::BackendFactory transports;
    std::shared_ptr<LinkClock> clock;
};
// The machine's: transports by port name and the system clock.
inline ToolLink SystemLink()
{
    return {SerialLink::BackendFactory(OpenTransport), std::make_shared<SystemClock>()};
}

const QDateTime ToolRunTime(QDate(2026, 1, 2), QTime(3, 4, 5));

// Arguments byte for byte; the output goes to `out` when given (then run.out
// stays empty).
inline ToolRun RunToolRaw(const ToolLink& link, const QList<QByteArray>& arguments,
                          QIODevice* out = nullptr, const PortProber& prober = FixedPorts(),
                          const QDateTime& now = ToolRunTime)
{
    QBuffer buffer;
    QBuffer err;
    buffer.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    Console console(out ? *out : buffer, err, ProgressStyle::Hidden);
    CtlContext context{console, prober, [now] { return now; }};
    context.transports = link.transports;
    context.clock = link.clock;
    ToolRun run;
    run.status = RunLumkctl(arguments, context);
    run.out = buffer.data();
    run.err = err.data();
    return run;
}

inline ToolRun RunTool(const ToolLink& link, const QStringList& arguments,
                       const PortProber& prober = FixedPorts(), const QDateTime& now = ToolRunTime)
{
    QList<QByteArray> raw;
    for (const QString& word : arguments)
        raw.append(QFile::encodeName(word));
    return RunToolRaw(link, raw, nullptr, prober, now);
}

// The same on the machine's link.
inline ToolRun RunToolRaw(const QList<QByteArray>& arguments, QIODevice* out = nullptr)
{
    return RunToolRaw(SystemLink(), arguments, out);
}

inline ToolRun RunTool(const QStringList& arguments, const PortProber& prober = FixedPorts(),
                       const QDateTime& now = ToolRunTime)
{
    return RunTool(SystemLink(), arguments, prober, now);
}
