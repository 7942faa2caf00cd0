// Console control events in place of signals. The system calls the handler on
// a thread of its own: it only stores the signal number, and the transfer stops
// at its tick boundary on the main thread.
#include "Interrupt_windows.h"
#include "Interrupt.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<int> noted{0};

// Set once the tool's work has ended; a closing console waits for it.
HANDLE WorkEndedEvent()
{
    static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

// The system gives a closing console's handler about 5 s; the transfer stops
// within one tick and a read time-out.
constexpr DWORD CloseWaitMs = 10000;

} // namespace

BOOL WINAPI OnConsoleControl(DWORD event)
{
    int signal = 0;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        // Both are the operator's interrupt, as SIGINT is on Linux.
        signal = SIGINT;
        break;
    case CTRL_CLOSE_EVENT:
        signal = SIGTERM;
        break;
    default:
        return FALSE;
    }
    int none = 0;
    // Asked twice: no more waiting for the tick.
    if (!noted.compare_exchange_strong(none, signal))
        return FALSE;
    if (event == CTRL_CLOSE_EVENT)
        ::WaitForSingleObject(WorkEndedEvent(), CloseWaitMs);
    return TRUE;
}

void InstallInterruptHandlers()
{
    WorkEndedEvent();
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
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
    ::ResetEvent(WorkEndedEvent());
}

const char* InterruptName(int signal)
{
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    }
    return nullptr;
}

void WorkEnded()
{
    ::SetEvent(WorkEndedEvent());
}
