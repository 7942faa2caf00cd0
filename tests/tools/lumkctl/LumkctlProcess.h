// lumkctl run as its own process (LUMKCTL_PATH, set by the suite's build), and
// the text of a configuration file for it.
#pragma once

#include "ParamImage.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

struct ProcessRun
{
    int status = -1; // -1: did not finish in time; -2: ended by a signal
    QByteArray out;
    QByteArray err;
};

inline ProcessRun RunLumkctl(const QStringList& args, const QString& workingDirectory = QString(),
                             int timeoutMs = 90000)
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(LUMKCTL_PATH), args);
    ProcessRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

inline QByteArray FileText(const ParamImage& image)
{
    return image.toText() + "\r\n";
}
