// lumk-bench-window: the configurator's program entry, built exactly like
// lumk-config's (same calls, same libraries), with measurements around it.
//
//   lumk-bench-window startup
//       Prints the milliseconds from launch to the window's first paint, then
//       quits. Launch is LUMK_BENCH_T0 (CLOCK_MONOTONIC nanoseconds, set by the
//       launching script just before it starts the program).
//   lumk-bench-window memory PORT CYCLES
//       Prints the resident size once the window is shown, then selects PORT
//       (a station simulator's pseudo-terminal) like the operator, and runs
//       CYCLES read-and-write cycles with the window's buttons, printing the
//       resident size every tenth cycle. Message boxes are answered as the
//       operator would; every cycle must end with a completed read and "Записано".
//   lumk-bench-window idle PORT
//       Selects PORT like the operator, lets the first transfer end (message
//       boxes are answered), prints "idle" and then leaves the window idle with
//       the port open until it is terminated; the launching script measures it.
#include "Application.h"
#include "ConfigModel.h"
#include "Configurator.h"
#include "DemoPorts.h"
#include "StartUp.h"
#include "TransferEngine.h"
#include "Unit1.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

std::int64_t MonotonicNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// Resident set size in KiB, from /proc.
long ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Notes the first paint of the window.
class FirstPaint : public QObject
{
public:
    std::int64_t atNs = 0;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && atNs == 0) {
            atNs = MonotonicNs();
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return QObject::eventFilter(watched, event);
    }
};

// Closes every modal box shortly after it opens, noting its text.
class BoxCloser : public QObject
{
public:
    QStringList texts;
    BoxCloser()
    {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.append(box->text());
                box->accept();
            }
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

// Runs the event loop until the transfer ends (the progress bar hidden).
bool WaitForTransfer(TransferEngine& engine, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (engine.ProgressVisible() && clock.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return !engine.ProgressVisible();
}

void Settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv)
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray("startup");
    // As the program entry: the application, the title, the window, show.
    QApplication app(argc, argv);
    PrepareApplication(app);

    const SystemPortProber system;
    const QStringList extra = (mode == "memory" || mode == "idle") && argc > 2
                                  ? QStringList{QString::fromLocal8Bit(argv[2])}
                                  : QStringList{};
    const ExtraPortsProber ports(system, extra);
    Configurator configurator(ports);
    ConfigModel& model = configurator.model;
    TransferEngine& engine = configurator.engine;
    TForm1& Form1 = configurator.Form1;
    FirstPaint firstPaint;
    Form1.installEventFilter(&firstPaint);
    Form1.show();
    app.exec(); // until the first paint

    if (mode == "startup") {
        const QByteArray t0 = qgetenv("LUMK_BENCH_T0");
        if (t0.isEmpty()) {
            std::fprintf(stderr, "LUMK_BENCH_T0 is not set\n");
            return 2;
        }
        std::printf("%.1f\n", double(firstPaint.atNs - t0.toLongLong()) / 1e6);
        return 0;
    }
    if (mode == "idle" && argc == 3) {
        BoxCloser closer;
        Form1.ComboBox1->setCurrentIndex(int(Form1.Selector().Ports().size()) - 1);
        Form1.ComboBox1Change();
        WaitForTransfer(engine, 30000);
        std::printf("idle, port open: %s; messages: %s\n", engine.PortReady() ? "yes" : "no",
                    qPrintable(closer.texts.join(QStringLiteral(", "))));
        std::fflush(stdout);
        return app.exec();
    }
    if (mode != "memory" || argc != 4) {
        std::fprintf(stderr, "usage: %s startup | memory PORT CYCLES | idle PORT\n", argv[0]);
        return 2;
    }
    const int cycles = QByteArray(argv[3]).toInt();
    Settle(1000);
    std::printf("resident after start-up: %ld KiB\n", ResidentKiB());

    BoxCloser closer;
    Form1.ComboBox1->setCurrentIndex(int(Form1.Selector().Ports().size()) - 1);
    Form1.ComboBox1Change(); // link test, then the first read
    if (!engine.PortReady() || !WaitForTransfer(engine, 30000)) {
        std::fprintf(stderr, "the station did not answer\n");
        return 1;
    }
    std::printf("resident after the first read: %ld KiB\n", ResidentKiB());
    std::fflush(stdout);
    int failed = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        const qsizetype before = closer.texts.size();
        Form1.Button3Click();
        const bool read = WaitForTransfer(engine, 30000);
        model.ToggleModeColumn(1 + cycle % 4); // something new to write each time
        Form1.Button4Click();
        const bool written = WaitForTransfer(engine, 30000);
        const QStringList shown = closer.texts.mid(before);
        if (!read || !written || shown != QStringList{QStringLiteral("Записано")})
            ++failed;
        if (cycle % 10 == 0) {
            std::printf("resident after %d cycles: %ld KiB\n", cycle, ResidentKiB());
            std::fflush(stdout);
        }
    }
    std::printf("cycles that did not end with a completed read and \"Записано\": %d\n", failed);
    return failed == 0 ? 0 : 1;
}
