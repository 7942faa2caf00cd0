// The console loop around the transfer engine. Ticks follow a 100 ms period of
// the link's clock: nothing here opens a modal wait, so no tick can nest in
// another, and a tick that blocks longer than the period is followed by just
// one more, as a periodic timer's would be.
#include "DeviceSession.h"

#include "Console.h"
#include "CtlTexts.h"
#include "Interrupt.h"
#include "LinkTexts.h"
#include "OpenDiagnosis.h"
#include "StartUp.h"
#include "TracingBackend.h"
#include "Transports.h"

#include <QCoreApplication>

#include <optional>

namespace {
constexpr std::int64_t TickPeriodMs = 100; // the window's timer period
} // namespace

DeviceSession::DeviceSession(Console& console, std::chrono::milliseconds stallTimeout, bool trace,
                             SerialLink::BackendFactory transports,
                             std::shared_ptr<LinkClock> clock)
    : console_(console), stallTimeout_(stallTimeout),
      link_(std::move(transports), std::move(clock)), engine_(model_, *this, link_)
{
    // The start-up of the window, without its locked configuration file: a
    // "regul.lmk" in the working directory must not hide what the device holds.
    RunStartUp(model_, NoPorts(), nullptr, [this] { engine_.SetPortReady(false); });
    // A port that does not open is reported by Connect, with the reason.
    link_.SetOpenFailureReporter([](const QString&) {});
    if (trace) {
        link_.SetBackendFactory([this, inner = link_.Transports()](
                                    const QString& name) -> std::shared_ptr<SerialBackend> {
            std::shared_ptr<SerialBackend> backend = inner(name);
            if (!backend)
                return nullptr;
            return std::make_shared<TracingBackend>(
                std::move(backend), [this](const QString& line) { console_.ErrLine(line); });
        });
    }
}

DeviceSession::~DeviceSession()
{
    console_.EndProgress();
    // The port closes (and its trace ends) while the console still exists.
    link_.Close();
}

void DeviceSession::ShowMessage(LinkOutcome outcome)
{
    console_.ErrLine(LinkTexts::Message(outcome));
}

SessionResult DeviceSession::Connect(const QString& port)
{
    switch (engine_.ConnectPort(port)) {
    case LinkOutcome::PortNotOpened: {
        console_.ErrLine(LinkTexts::NotOpen(port));
        // A network port's backend knows the address and the reason.
        const SerialBackend* backend = link_.Backend();
        const QString reason = backend ? backend->FailureReason() : QString();
        if (!reason.isEmpty())
            console_.ErrLine(DiagnosisTexts::OtherReason.arg(reason));
        else if (TransportOf(port) == TransportKind::LocalSerial)
            console_.ErrLine(ExplainOpenFailure(port));
        return SessionResult::OpenFailed;
    }
    case LinkOutcome::NoDevice:
        return SessionResult::NoDevice;
    case LinkOutcome::WakeNotSent:
        console_.ErrLine(CtlTexts::WakeFailed);
        return SessionResult::NoDevice;
    default:
        return RunTransfer();
    }
}

SessionResult DeviceSession::Read()
{
    writing_ = false;
    engine_.StartRead();
    return RunTransfer();
}

SessionResult DeviceSession::Write()
{
    writing_ = true;
    engine_.StartWrite();
    written_ = model_.image();
    const SessionResult result = RunTransfer();
    writing_ = false;
    return result;
}

SessionResult DeviceSession::RunTransfer()
{
    LinkClock& clock = link_.Clock();
    std::optional<LinkOutcome> ended;
    const QMetaObject::Connection watch =
        QObject::connect(&engine_, &TransferEngine::transferEnded,
                         [&ended](LinkOutcome outcome) { ended = outcome; });

    // Progress is an accepted reply: the position jumps past the one-a-tick
    // creep, or the block number moves on. A station that stays silent or
    // answers with rejected frames makes none.
    std::int64_t progressAt = clock.NowMs();
    int lastPosition = engine_.ProgressPosition();
    int lastBlock = engine_.BlockIndex();
    std::int64_t due = clock.NowMs() + TickPeriodMs;

    SessionResult result = SessionResult::Done;
    console_.Progress(engine_.ProgressPosition());
    for (;;) {
        // A signal stops the transfer between two ticks: no request follows.
        if (PendingInterrupt() != 0) {
            result = SessionResult::Interrupted;
            break;
        }
        const std::int64_t wait = due - clock.NowMs();
        if (wait > 0)
            clock.SleepMs(int(wait));
        // Missed periods are not made up.
        due += TickPeriodMs;
        if (due < clock.NowMs())
            due = clock.NowMs() + TickPeriodMs;
        // Work the backend queued for itself, such as releasing a hung-up device.
        QCoreApplication::processEvents();
        if (PendingInterrupt() != 0) {
            result = SessionResult::Interrupted;
            break;
        }
        engine_.Tick();
        // A network connection that is gone does not come back by itself.
        if (link_.IsOpen() && !link_.Backend()->FailureReason().isEmpty()) {
            result = SessionResult::Lost;
            break;
        }
        if (ended == LinkOutcome::NotConnected) {
            result = SessionResult::NotConnected;
            break;
        }
        if (engine_.phase() == TransferPhase::Idle)
            break;
        const int position = engine_.ProgressPosition();
        const int block = engine_.BlockIndex();
        if (block != lastBlock || position > lastPosition + 1)
            progressAt = clock.NowMs();
        lastPosition = position;
        lastBlock = block;
        console_.Progress(position);
        if (std::chrono::milliseconds(clock.NowMs() - progressAt) >= stallTimeout_) {
            result = SessionResult::Stalled;
            break;
        }
    }
    QObject::disconnect(watch);
    console_.EndProgress();
    if (writing_) {
        // Each accepted reply is answered with the 'W' frame of the block now
        // expected: from the second one on, the blocks before it were confirmed.
        const int position = engine_.ProgressPosition();
        const bool finished = result == SessionResult::Done;
        blocksConfirmed_ =
            finished ? ParamImage::BlockCount : (position >= 30 ? engine_.BlockIndex() : 0);
        blockUnconfirmed_ = !finished && position >= 15;
    }
    if (result == SessionResult::Lost)
        console_.ErrLine(CtlTexts::Lost.arg(link_.Backend()->FailureReason()));
    if (result == SessionResult::Stalled) {
        const auto seconds = std::chrono::duration<double>(stallTimeout_).count();
        console_.ErrLine(CtlTexts::Stalled.arg(seconds));
    }
    return result;
}
