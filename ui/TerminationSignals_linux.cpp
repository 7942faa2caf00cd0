// The handler only writes the signal number into a socket pair; the event loop
// reads it there and quits, outside the handler.
#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> Signals = {SIGTERM, SIGHUP, SIGINT};
int pipeFds[2] = {-1, -1};
std::array<struct sigaction, 3> previous{};
std::array<bool, 3> installed{};
volatile std::sig_atomic_t pending = 0;

extern "C" void OnTerminationSignal(int signal)
{
    if (pending != 0) {
        // Asked twice: the loop did not get to it; no more waiting.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    pending = signal;
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[0], &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeFds) != 0)
        return;
    pending = 0;
    notifier_ = new QSocketNotifier(pipeFds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::onSignal);
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < Signals.size(); ++i) {
        installed[i] = false;
        if (::sigaction(Signals[i], nullptr, &previous[i]) != 0 ||
            previous[i].sa_handler == SIG_IGN)
            continue;
        installed[i] = ::sigaction(Signals[i], &action, nullptr) == 0;
    }
}

TerminationSignals::~TerminationSignals()
{
    for (std::size_t i = 0; i < Signals.size(); ++i) {
        if (installed[i])
            ::sigaction(Signals[i], &previous[i], nullptr);
        installed[i] = false;
    }
    delete notifier_;
    for (int& fd : pipeFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void TerminationSignals::onSignal()
{
    char byte = 0;
    while (::read(pipeFds[1], &byte, 1) == 1)
        received_ = byte;
    if (received_ == 0)
        return;
    // Every loop returns, a modal box's too: the program ends as after Exit.
    QCoreApplication::exit(128 + received_);
}
