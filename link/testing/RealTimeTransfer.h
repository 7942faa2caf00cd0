// Driving a transfer against a real port: ticks back to back on the real clock
// (each read blocks for as long as the port makes it), events processed between.
#pragma once

#include "TransferEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>

// True when the transfer ended (progress bar hidden) within maxMs.
inline bool RunTransferRealTime(TransferEngine& engine, int maxMs = 30000)
{
    QElapsedTimer t;
    t.start();
    while (engine.ProgressVisible() && t.elapsed() < maxMs) {
        engine.Tick();
        QCoreApplication::processEvents();
    }
    return !engine.ProgressVisible();
}
