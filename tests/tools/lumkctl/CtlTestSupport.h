// Runs the tool's commands in-process with captured output and error streams.
#pragma once

#include "Console.h"
#include "LumkctlCommands.h"
#include "PortDoubles.h"
#include "TestFiles.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QStringList>

// The link the tool's runs in this scope reach (a scripted port in virtual
// time); outside any, the tool's own transports by port name and system clock.
struct ToolLink
{
    SerialLink::BackendFactory transports;
    std::shared_ptr<LinkClock> clock;
};
inline ToolLink& CurrentToolLink()
{
    static ToolLink link;
    return link;
}
class ScopedToolLink
{
public:
    explicit ScopedToolLink(ToolLink link) : saved_(CurrentToolLink())
    {
        CurrentToolLink() = std::move(link);
    }
    ~ScopedToolLink() { CurrentToolLink() = saved_; }
    ScopedToolLink(const ScopedToolLink&) = delete;
    ScopedToolLink& operator=(const ScopedToolLink&) = delete;

private:
    ToolLink saved_;
};

struct ToolRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Arguments byte for byte; the output goes to `out` when given (then run.out
// stays empty).
inline ToolRun RunToolRaw(const QList<QByteArray>& arguments, QIODevice* out = nullptr,
                          const PortProber& prober = FixedPorts(),
                          const QDateTime& now = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)))
{
    QBuffer buffer;
    QBuffer err;
    buffer.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    Console console(out ? *out : buffer, err, ProgressStyle::Hidden);
    CtlContext context{console, prober, [now] { return now; }};
    context.transports = CurrentToolLink().transports;
    context.clock = CurrentToolLink().clock;
    ToolRun run;
    run.status = RunLumkctl(arguments, context);
    run.out = buffer.data();
    run.err = err.data();
    return run;
}

inline ToolRun RunTool(const QStringList& arguments, const PortProber& prober = FixedPorts(),
                       const QDateTime& now = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)))
{
    QList<QByteArray> raw;
    for (const QString& word : arguments)
        raw.append(QFile::encodeName(word));
    return RunToolRaw(raw, nullptr, prober, now);
}
