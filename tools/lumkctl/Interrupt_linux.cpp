// The handler only stores the signal number: everything else happens at the
// transfer's tick boundary, outside the handler.
#include "Interrupt.h"

#include <csignal>
#include <initializer_list>

namespace {

volatile std::sig_atomic_t noted = 0;

extern "C" void OnInterrupt(int signal)
{
    if (noted != 0) {
        // Asked twice: no more waiting for the tick.
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    noted = signal;
}

} // namespace

void InstallInterruptHandlers()
{
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal ignored by whoever started the tool (nohup, a background
        // job) stays ignored.
        struct sigaction before = {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

int PendingInterrupt()
{
    return noted;
}

void NoteInterrupt(int signal)
{
    noted = signal;
}

void ClearInterrupt()
{
    noted = 0;
}

const char* InterruptName(int signal)
{
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    }
    return nullptr;
}

// A signal leaves the process running until it ends by itself.
void WorkEnded()
{
}
