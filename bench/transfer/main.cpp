// Full read and full write against the station simulator with baud pacing,
// driven by a real 100 ms timer through TickQueue as the window drives them.
// Each run is timed from StartRead/StartWrite on an idle link whose station has
// already answered the last 'R' (a frame is waiting) to the end of the transfer
// (progress bar hidden). Prints every run, the medians and their ratio to the
// line-rate limit: 12 frames x 19 bytes x 10 bits / 2400 baud = 0.950 s.
// Each start comes at a set offset after a timer tick, the offsets spread evenly
// over the 100 ms period, so the wait for the first tick (also printed) is
// spread as it is for an operator's clicks.
//
//   bench-transfer [RUNS] [--rfc2217 | --socket]
// With --rfc2217 or --socket the program reaches the station through ser2net
// on loopback (Telnet with RFC 2217, or raw TCP) instead of the pseudo-terminal.
#include "ConfigModel.h"
#include "LinkTexts.h"
#include "SerialLink.h"
#include "SerialServers_linux.h"
#include "StationSimulator.h"
#include "SystemClock.h"
#include "TransferEngine.h"
#include "Transports.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr double LineLimitS = 12.0 * 19 * 10 / 2400; // 0.950 s
constexpr double Target = 1.10;

class CountingSink : public MessageSink
{
public:
    void ShowMessage(LinkOutcome outcome) override { shown.append(LinkTexts::Message(outcome)); }
    QStringList shown;
};

// Runs the event loop until the progress bar is hidden (or a limit passes).
bool WaitHidden(TransferEngine& engine, int limitMs)
{
    if (!engine.ProgressVisible())
        return true;
    QEventLoop loop;
    QObject::connect(&engine, &TransferEngine::progressChanged, &loop, [&](int, bool visible) {
        if (!visible)
            loop.quit();
    });
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return !engine.ProgressVisible();
}

void Idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int runs = 7;
    QString through; // "rfc2217", "socket" or the pseudo-terminal itself
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--rfc2217" || arg == "--socket")
            through = QString::fromLatin1(arg.mid(2));
        else
            runs = std::max(5, atoi(argv[i]));
    }

    StationOptions options = StationSimulator::DefaultOptions();
    options.baudPacing = true;
    StationSimulator station(options);
    QString error;
    if (!station.Start(&error)) {
        std::fprintf(stderr, "bench-transfer: %s\n", qPrintable(error));
        return 2;
    }

    Ser2net ser2net;
    QString port = station.ProgramSidePath();
    if (!through.isEmpty()) {
        if (!ser2net.Start(station.ProgramSidePath(), &error)) {
            std::fprintf(stderr, "bench-transfer: %s\n", qPrintable(error));
            return 2;
        }
        port = through == QStringLiteral("rfc2217") ? ser2net.Rfc2217Url() : ser2net.RawUrl();
    }
    std::printf("port: %s\n", qPrintable(port));

    ConfigModel model;
    CountingSink sink;
    SerialLink link(SerialLink::BackendFactory(OpenTransport), std::make_shared<SystemClock>());
    TransferEngine engine(model, sink, link);
    TickQueue ticks(engine);
    QTimer timer;
    timer.setInterval(100ms);
    QObject::connect(&timer, &QTimer::timeout, &ticks, &TickQueue::Post);
    timer.start();

    engine.ConnectPort(port);
    if (!engine.PortReady() || !WaitHidden(engine, 10000) || model.image() != station.Image()) {
        std::fprintf(stderr, "bench-transfer: the link to the simulator did not come up\n");
        return 2;
    }

    // Time from a start to its first tick.
    QElapsedTimer t;
    qint64 firstTickNs = -1;
    QObject::connect(&engine, &TransferEngine::progressChanged, [&](int position, bool visible) {
        if (visible && position == 1 && firstTickNs < 0)
            firstTickNs = t.nsecsElapsed();
    });
    // Idles at least 300 ms, then starts `offset` ms after a timer tick.
    const auto settle = [&](int run, int kind) {
        Idle(300);
        QEventLoop loop;
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        loop.exec();
        Idle((run * 2 + kind) * 100 / (2 * runs));
    };

    std::vector<double> reads, writes;
    for (int run = 0; run < runs; ++run) {
        // Idle link, the station's answer to the last 'R' waiting.
        settle(run, 0);
        firstTickNs = -1;
        t.start();
        engine.StartRead();
        if (!WaitHidden(engine, 10000) || !sink.shown.isEmpty()) {
            std::fprintf(stderr, "bench-transfer: read %d failed\n", run + 1);
            return 2;
        }
        reads.push_back(t.nsecsElapsed() / 1e9);
        const double readFirst = firstTickNs / 1e6;

        settle(run, 1);
        // A different image each run, so every write changes the station.
        model.setCell(1, 1 + run % 16, 2, run % 2 ? QStringLiteral("120 сек.") : QStringLiteral("60 сек."));
        firstTickNs = -1;
        t.restart();
        engine.StartWrite();
        const ParamImage written = model.image();
        if (!WaitHidden(engine, 10000) || sink.shown != QStringList{LinkTexts::Written} ||
            station.Image() != written) {
            std::fprintf(stderr, "bench-transfer: write %d failed\n", run + 1);
            return 2;
        }
        writes.push_back(t.nsecsElapsed() / 1e9);
        sink.shown.clear();
        std::printf("run %d: read %.3f s (first tick after %3.0f ms), write %.3f s (first tick after %3.0f ms)\n",
                    run + 1, reads.back(), readFirst, writes.back(), firstTickNs / 1e6);
        std::fflush(stdout);
    }
    timer.stop();
    link.Close();
    ser2net.Stop();
    station.Stop();

    const double mr = Median(reads), mw = Median(writes);
    std::printf("line-rate limit: %.3f s (12 frames x 19 bytes x 10 bits / 2400 baud)\n", LineLimitS);
    std::printf("full read:  median %.3f s of %d runs, ratio %.3f (target <= %.2f: %s)\n", mr, runs,
                mr / LineLimitS, Target, mr / LineLimitS <= Target ? "met" : "NOT met");
    std::printf("full write: median %.3f s of %d runs, ratio %.3f (target <= %.2f: %s)\n", mw, runs,
                mw / LineLimitS, Target, mw / LineLimitS <= Target ? "met" : "NOT met");
    return mr / LineLimitS <= Target && mw / LineLimitS <= Target ? 0 : 1;
}
