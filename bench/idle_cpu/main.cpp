// CPU use of the program's link on a hung-up port. A pseudo-terminal is opened
// through the program's link and its master is closed (the station hangs up); then the
// window's idle state is imitated: an event loop with the 100 ms timer driving
// the engine through TickQueue, for a few seconds. Prints the CPU time as a
// share of one core (target under 2 %), then the same while a transfer keeps
// ticking on the dead port (failed 500 ms polled reads and 300 ms sleeps).
// With --naive it also shows a bare QSerialPort left open on a hung-up
// pseudo-terminal (what the backend's release avoids).
#include "ConfigModel.h"
#include "QtSerialBackend.h"
#include "SerialLink.h"
#include "SystemClock.h"
#include "TransferEngine.h"
#include "Transports.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPort>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class NullSink : public MessageSink
{
public:
    void ShowMessage(LinkOutcome) override {}
};

// Runs the event loop for ms; returns the CPU share of one core.
double Measure(int ms)
{
    const double cpu = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return (CpuSeconds() - cpu) / (wall.nsecsElapsed() / 1e9);
}

QString HungUpPty()
{
    int master = -1, slave = -1;
    char name[128];
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return {};
    ::close(slave);
    // The caller opens the slave first; the master is closed by the caller too.
    return QString::fromLocal8Bit(name) + QLatin1Char('|') + QString::number(master);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool naive = argc > 1 && std::strcmp(argv[1], "--naive") == 0;
    const int seconds = 5;

    const QStringList pty = HungUpPty().split(QLatin1Char('|'));
    if (pty.size() != 2) {
        std::fprintf(stderr, "bench-idle-cpu: no pseudo-terminal\n");
        return 2;
    }
    ConfigModel model;
    NullSink sink;
    SerialLink link(SerialLink::BackendFactory(OpenTransport), std::make_shared<SystemClock>());
    TransferEngine engine(model, sink, link);
    TickQueue ticks(engine);
    QTimer timer;
    timer.setInterval(100ms);
    QObject::connect(&timer, &QTimer::timeout, &ticks, &TickQueue::Post);
    timer.start();

    if (!link.Open(pty[0])) {
        std::fprintf(stderr, "bench-idle-cpu: cannot open %s\n", qPrintable(pty[0]));
        return 2;
    }
    ::close(pty[1].toInt()); // the station hangs up

    const double idle = Measure(seconds * 1000);
    std::printf("hung-up port, program idle (100 ms timer, no transfer): %.2f %% of a core over %d s "
                "(target < 2 %%)\n",
                idle * 100, seconds);
    engine.SetPortReady(true);
    engine.StartRead();
    const double ticking = Measure(seconds * 1000);
    std::printf(
        "hung-up port, transfer ticking (failed 500 ms reads):  %.2f %% of a core over %d s\n",
        ticking * 100, seconds);
    std::printf("port still selected: %s; descriptor released: %s\n", link.IsOpen() ? "yes" : "no",
                static_cast<QtSerialBackend*>(link.Backend())->Released() ? "yes" : "no");
    timer.stop();
    link.Close();

    if (naive) {
        const QStringList other = HungUpPty().split(QLatin1Char('|'));
        QSerialPort bare;
        bare.setPortName(other[0]);
        bare.open(QIODevice::ReadWrite);
        ::close(other[1].toInt());
        const double spin = Measure(3000);
        std::printf("bare QSerialPort left open on a hung-up port, idle:      %.2f %% of a core\n",
                    spin * 100);
    }
    return idle < 0.02 ? 0 : 1;
}
