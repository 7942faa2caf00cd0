// A session's steps run to their end without a window: the engine is ticked
// every 100 ms of the link's clock until the session is idle, the transfer stops
// making progress for a time-out, the network connection is gone, or an
// interrupt is noted. Nothing here opens a modal wait, so no tick nests in
// another, and a tick that blocks longer than the period is followed by just one
// more, as a periodic timer's would be.
#pragma once

#include <chrono>
#include <functional>

class DeviceSession;

enum class SessionResult {
    Done,
    OpenFailed, // the port did not open
    NoDevice,   // no invitation, or the wake frame could not be sent
    NotConnected, // no accepted reply ("Не подключен ЛУМ-К"), or a read-back never completed
    Stalled,     // no progress for the time-out
    Lost,        // a network port's connection is gone
    Interrupted, // `interrupted` said so between two ticks
};

struct RunLimits
{
    // How long a started transfer may go without an accepted reply.
    std::chrono::milliseconds stallTimeout = std::chrono::seconds(20);
    // Checked before and after each wait: true stops the run, no request follows.
    std::function<bool()> interrupted;
    // The progress position (0..100) after each tick, and once more (-1) at the end.
    std::function<void(int)> progress;
};

// Ticks `session` until it is idle or stops. A write cut short by the stop is
// abandoned (DeviceSession::AbandonWrite: the record and writeCut say how far it
// got).
SessionResult RunSession(DeviceSession& session, const RunLimits& limits);
