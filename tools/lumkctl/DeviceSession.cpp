// The console event loop around the transfer engine. Ticks run from a plain
// timer: nothing here opens a modal wait, so no tick can nest in another, and a
// tick that blocks longer than the period is followed by just one more.
#include "DeviceSession.h"

#include "ComUtilites.h"
#include "Console.h"
#include "CtlTexts.h"
#include "Interrupt.h"
#include "LinkTexts.h"
#include "OpenDiagnosis.h"
#include "PortBackends.h"
#include "StartUp.h"
#include "TracingBackend.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

using namespace std::chrono_literals;

namespace {

constexpr auto TickPeriod = 100ms;

// The tool offers no port list of its own: the port comes from the command line.
class NoPorts : public PortProber
{
public:
    QStringList ListPortNames() const override { return {}; }
};

} // namespace

DeviceSession::DeviceSession(Console& console, std::chrono::milliseconds stallTimeout, bool trace)
    : console_(console), stallTimeout_(stallTimeout), engine_(model_, *this)
{
    // The start-up of the window, without its locked configuration file: a
    // "regul.lmk" in the working directory must not hide what the device holds.
    RunStartUp(
        model_, NoPorts(), [this] { engine_.SetPortReady(false); }, QString());
    SetOpenFailureReporter([this](const QString& text) { openFailure_ = text; });
    if (trace) {
        SetSerialBackend(std::make_shared<TracingBackend>(
            std::make_shared<PortBackend>(),
            [this](const QString& line) { console_.ErrLine(line); }));
    }
}

DeviceSession::~DeviceSession()
{
    console_.EndProgress();
    // Close the port and drop the backend (and its reference to the console)
    // while the application object still exists.
    ClosePort();
    SetSerialBackend(nullptr);
    SetOpenFailureReporter(nullptr);
}

void DeviceSession::ShowMessage(const QString& text)
{
    if (text == LinkTexts::NoDevice)
        noDevice_ = true;
    else if (text == LinkTexts::NotConnected)
        notConnected_ = true;
    console_.ErrLine(text);
}

SessionResult DeviceSession::Connect(const QString& port)
{
    model_.setPorts({port});
    model_.setPortIndex(0);
    openFailure_.clear();
    noDevice_ = false;
    engine_.ConnectPort();
    if (!openFailure_.isEmpty()) {
        console_.ErrLine(openFailure_);
        // A network port's backend knows the address and the reason.
        const QString reason = CurrentSerialBackend().FailureReason();
        console_.ErrLine(reason.isEmpty() ? ExplainOpenFailure(port)
                                          : CtlTexts::OtherReason.arg(reason));
        return SessionResult::OpenFailed;
    }
    if (noDevice_)
        return SessionResult::NoDevice;
    if (!engine_.ProgressVisible()) {
        // The invitation came but the wake frame could not be sent.
        console_.ErrLine(CtlTexts::WakeFailed);
        return SessionResult::NoDevice;
    }
    return RunTransfer();
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
    notConnected_ = false;
    SessionResult result = SessionResult::Done;
    QEventLoop loop;
    QTimer timer;
    timer.setInterval(TickPeriod);

    // Progress is an accepted reply: the position jumps past the one-a-tick
    // creep, or the block number moves on. A station that stays silent or
    // answers with rejected frames makes none.
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    int lastPosition = engine_.ProgressPosition();
    int lastBlock = engine_.BlockIndex();

    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        // A signal stops the transfer between two ticks: no request follows.
        if (PendingInterrupt() != 0) {
            result = SessionResult::Interrupted;
            loop.quit();
            return;
        }
        engine_.Tick();
        // A network connection that is gone does not come back by itself.
        if (PortIsOpen() && !CurrentSerialBackend().FailureReason().isEmpty()) {
            result = SessionResult::Lost;
            loop.quit();
            return;
        }
        if (notConnected_) {
            result = SessionResult::NotConnected;
            loop.quit();
            return;
        }
        if (!engine_.ProgressVisible()) {
            loop.quit();
            return;
        }
        const int position = engine_.ProgressPosition();
        const int block = engine_.BlockIndex();
        if (block != lastBlock || position > lastPosition + 1)
            sinceProgress.restart();
        lastPosition = position;
        lastBlock = block;
        console_.Progress(position);
        if (std::chrono::milliseconds(sinceProgress.elapsed()) >= stallTimeout_) {
            result = SessionResult::Stalled;
            loop.quit();
        }
    });
    console_.Progress(engine_.ProgressPosition());
    if (PendingInterrupt() != 0) {
        result = SessionResult::Interrupted;
    } else {
        timer.start();
        loop.exec();
        timer.stop();
    }
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
        console_.ErrLine(CtlTexts::Lost.arg(CurrentSerialBackend().FailureReason()));
    if (result == SessionResult::Stalled) {
        const auto seconds = std::chrono::duration<double>(stallTimeout_).count();
        console_.ErrLine(CtlTexts::Stalled.arg(seconds));
    }
    return result;
}
