// SIGTERM, SIGHUP and SIGINT (logout, a closed terminal, Ctrl+C) end the
// window program as the Exit command does: every event loop returns, so the
// port is closed and its lock file removed on the way out. A second signal
// ends the process at once.
// On Windows, where a window program gets no such signals, log-off and
// shutdown close the windows as the operator would, and then the port.
#pragma once

#include <QObject>

class QSocketNotifier;

class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers; a signal ignored by whoever started the program
    // (nohup) stays ignored. The destructor restores the previous handlers.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // The signal that ended the event loops, 0 while none came.
    int received() const { return received_; }

private:
    void onSignal();

    QSocketNotifier* notifier_ = nullptr;
    int received_ = 0;
};
