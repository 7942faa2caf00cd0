// The console loop around a session: ticks follow a 100 ms period of the link's
// clock; missed periods are not made up.
#include "SessionRunner.h"

#include "DeviceSession.h"

#include <QCoreApplication>

#include <optional>

namespace {
constexpr std::int64_t TickPeriodMs = 100; // the window's timer period
} // namespace

SessionResult RunSession(DeviceSession& session, const RunLimits& limits)
{
    TransferEngine& engine = session.engine();
    SerialLink& link = session.link();
    LinkClock& clock = link.Clock();
    const auto interrupted = [&limits] { return limits.interrupted && limits.interrupted(); };
    const auto progress = [&limits](int position) {
        if (limits.progress)
            limits.progress(position);
    };

    bool notConnected = false;
    const QMetaObject::Connection ended =
        QObject::connect(&engine, &TransferEngine::transferEnded, [&](LinkOutcome outcome) {
            notConnected = notConnected || outcome == LinkOutcome::NotConnected;
        });
    // A check read that never completes (a write's read-back, a device read).
    const QMetaObject::Connection checked =
        QObject::connect(&engine, &TransferEngine::deviceRead,
                         [&](bool completed) { notConnected = notConnected || !completed; });
    const QMetaObject::Connection verified =
        QObject::connect(&engine, &TransferEngine::writeChecked, [&](const WriteCheck& check) {
            notConnected = notConnected || !check.confirmed;
        });

    // Progress is an accepted reply: the position jumps past the one-a-tick
    // creep, or the block number moves on. A station that stays silent or
    // answers with rejected frames makes none.
    std::int64_t progressAt = clock.NowMs();
    int lastPosition = engine.ProgressPosition();
    int lastBlock = engine.BlockIndex();
    std::int64_t due = clock.NowMs() + TickPeriodMs;

    SessionResult result = SessionResult::Done;
    progress(engine.ProgressPosition());
    while (session.Busy()) {
        // A signal stops the transfer between two ticks: no request follows.
        if (interrupted()) {
            result = SessionResult::Interrupted;
            break;
        }
        const std::int64_t wait = due - clock.NowMs();
        if (wait > 0)
            clock.SleepMs(int(wait));
        due += TickPeriodMs;
        if (due < clock.NowMs())
            due = clock.NowMs() + TickPeriodMs;
        // Work the backend queued for itself, such as releasing a hung-up device.
        QCoreApplication::processEvents();
        if (interrupted()) {
            result = SessionResult::Interrupted;
            break;
        }
        session.Tick();
        if (session.record().line == DeviceRecord::Line::Lost) {
            result = SessionResult::Lost;
            break;
        }
        if (notConnected) {
            result = SessionResult::NotConnected;
            break;
        }
        if (!session.Busy())
            break;
        const int position = engine.ProgressPosition();
        const int block = engine.BlockIndex();
        if (block != lastBlock || position > lastPosition + 1)
            progressAt = clock.NowMs();
        lastPosition = position;
        lastBlock = block;
        progress(position);
        if (std::chrono::milliseconds(clock.NowMs() - progressAt) >= limits.stallTimeout) {
            result = SessionResult::Stalled;
            break;
        }
    }
    QObject::disconnect(ended);
    QObject::disconnect(checked);
    QObject::disconnect(verified);
    progress(-1);
    if (result == SessionResult::Stalled || result == SessionResult::Lost ||
        result == SessionResult::Interrupted)
        session.AbandonWrite();
    return result;
}
