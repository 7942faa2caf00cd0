// End to end over real pseudo-terminals: the QSerialPort backend and the real
// clock against the station simulator running on its own thread.
#include "ConfigModel.h"
#include "LinkTexts.h"
#include "QtSerialBackend.h"
#include "RealTimeTransfer.h"
#include "RecordingSink.h"
#include "SerialLink.h"
#include "StationSimulator.h"
#include "SystemClock.h"
#include "TransferEngine.h"
#include "Transports.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for ms (the window's idle state).
void Idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class PtyLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The real transports and clock.
        link.SetOpenFailureReporter([this](const QString& text) { openFailures.append(text); });
    }
    void TearDown() override
    {
        link.Close();
        if (station)
            station->Stop();
    }

    void StartStation(StationOptions options = StationSimulator::DefaultOptions())
    {
        station = std::make_unique<StationSimulator>(std::move(options));
        QString error;
        ASSERT_TRUE(station->Start(&error)) << error.toStdString();
        portName = station->ProgramSidePath();
    }
    // The operator picks the port.
    void Select() { engine.ConnectPort(portName); }
    bool RunTransfer(int maxMs = 30000) { return RunTransferRealTime(engine, maxMs); }

    // A pseudo-terminal with no station behind it: the test plays the device
    // on `master` (non-blocking); the program's side is opened as the port.
    void OpenBarePty(int& master, QtSerialBackend*& backend)
    {
        int slave = -1;
        char name[128];
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        ::close(slave);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        ASSERT_TRUE(link.Open(QString::fromLocal8Bit(name)));
        backend = dynamic_cast<QtSerialBackend*>(link.Backend());
        ASSERT_NE(backend, nullptr);
    }

    SerialLink link{SerialLink::BackendFactory(OpenTransport), std::make_shared<SystemClock>()};
    QString portName;
    ConfigModel model;
    RecordingSink sink;
    TransferEngine engine{model, sink, link};
    std::unique_ptr<StationSimulator> station;
    QStringList openFailures;
};

} // namespace

TEST_F(PtyLink, ConnectAndRead_YieldsStationImage)
{
    StartStation();
    Select();
    ASSERT_TRUE(openFailures.isEmpty()) << openFailures.join(", ").toStdString();
    ASSERT_TRUE(sink.outcomes.isEmpty()) << sink.shown.join(", ").toStdString();
    ASSERT_TRUE(engine.PortReady());
    ASSERT_TRUE(RunTransfer());
    EXPECT_EQ(model.image(), station->Image());
    EXPECT_EQ(model.image(), StationSimulator::DemoImage());
    EXPECT_EQ(model.OperatingMode(), 0);
    EXPECT_EQ(model.cell(4, 16, 1), QStringLiteral("Сообщ.1"));
    EXPECT_EQ(model.cell(4, 16, 2), QStringLiteral("240 сек."));
    EXPECT_TRUE(sink.outcomes.isEmpty());
}

TEST_F(PtyLink, Write_ChangesStationImage)
{
    StartStation();
    Select();
    ASSERT_TRUE(RunTransfer());
    model.setCell(1, 3, 1, QStringLiteral("Сообщ.4"));
    model.setCell(1, 3, 2, QStringLiteral("120 сек."));
    model.setCell(4, 16, 1, QStringLiteral("Нет"));
    model.setCell(4, 16, 2, QString());
    engine.StartWrite();
    const ParamImage written = model.image();
    ASSERT_TRUE(RunTransfer());
    EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::Written});
    EXPECT_EQ(station->Image(), written);
    EXPECT_EQ(station->Image().byte(2), 0xC8 | 0x20);
    EXPECT_EQ(station->Image().byte(63), 0x00);
    EXPECT_EQ(station->Stats().writesCompleted, 1);
    // A read now brings back what was written.
    model.image().zeroStoredPrefix();
    engine.StartRead();
    ASSERT_TRUE(RunTransfer());
    EXPECT_EQ(model.image(), written);
}

TEST_F(PtyLink, DetectableFaults_ReadAndWriteEndWithExactImage)
{
    StationOptions options = StationSimulator::DefaultOptions();
    // LUMK_FAULT_SEED runs the same test with other draws (for stress runs).
    options.seed = qEnvironmentVariableIsSet("LUMK_FAULT_SEED")
                       ? qEnvironmentVariable("LUMK_FAULT_SEED").toULongLong()
                       : 20240607;
    options.faults.corrupt = 0.08;
    options.faults.wrongBlock = 0.08;
    options.faults.drop = 0.04;
    options.faults.invite = 0.04;
    options.log = [](const QString&) {}; // counted in the stats instead
    StartStation(options);
    Select();
    ASSERT_TRUE(engine.PortReady());
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        model.image().zeroStoredPrefix();
        if (round > 0)
            engine.StartRead();
        ASSERT_TRUE(RunTransfer());
        EXPECT_EQ(model.image(), station->Image());

        // Write a different configuration each round.
        model.setCell(1 + round, 2, 1, QStringLiteral("Сообщ.3"));
        model.setCell(1 + round, 2, 2, QStringLiteral("60 сек."));
        engine.StartWrite();
        const ParamImage written = model.image();
        ASSERT_TRUE(RunTransfer());
        EXPECT_EQ(station->Image(), written);
    }
    EXPECT_FALSE(sink.outcomes.contains(LinkOutcome::NotConnected));
    const StationStats stats = station->Stats();
    EXPECT_GT(stats.faults, 0);
    std::printf("faults injected: %d in %d frames\n", stats.faults, stats.framesSent);
}

TEST_F(PtyLink, CloseAndReselect_StationFoundUnwokenAgain)
{
    StartStation();
    Select();
    ASSERT_TRUE(RunTransfer());
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        // Selecting the same port again closes and reopens it at once: the
        // station must still notice and invite within the 500 ms link test.
        Select();
        ASSERT_TRUE(sink.outcomes.isEmpty()) << sink.shown.join(", ").toStdString();
        ASSERT_TRUE(engine.PortReady());
        ASSERT_TRUE(RunTransfer());
        EXPECT_EQ(model.image(), station->Image());
    }
    link.Close();
    Idle(50);
    EXPECT_FALSE(station->Woken());
    EXPECT_EQ(station->Stats().programCloses, 4);
    EXPECT_EQ(station->Stats().wakes, 4);
}

TEST_F(PtyLink, PortHeldByAnotherProgram_NotOpen)
{
    StartStation();
    QSerialPort other;
    other.setPortName(station->ProgramSidePath());
    ASSERT_TRUE(other.open(QIODevice::ReadWrite));
    Select();
    EXPECT_EQ(openFailures, QStringList{LinkTexts::NotOpen(station->ProgramSidePath())});
    EXPECT_FALSE(link.IsOpen());
    EXPECT_FALSE(engine.PortReady());
}

TEST_F(PtyLink, NoSuchPort_NotOpen)
{
    portName = QStringLiteral("/dev/lumk-no-such-port");
    Select();
    EXPECT_EQ(openFailures, QStringList{QStringLiteral("Not open /dev/lumk-no-such-port")});
}

TEST_F(PtyLink, SilentPort_NoDevice)
{
    // A pseudo-terminal nobody writes to: no 4 bytes within 500 ms.
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    portName = QString::fromLocal8Bit(name);
    Select();
    EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::NoDevice});
    EXPECT_FALSE(link.IsOpen());
    ::close(master);
}

// A hung-up pseudo-terminal must not make the program spin: idle with the port
// open, then ticking a transfer, the process stays near idle, the port stays
// selected and reads count as zero bytes.
TEST_F(PtyLink, HungUpPort_NoBusyLoop_ReadsFailAndPortStaysSelected)
{
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    const QString path = QString::fromLocal8Bit(name);
    ASSERT_TRUE(link.Open(path));
    const SerialBackend* const opened = link.Backend();
    ::close(master); // the station hangs up

    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    Idle(1500);
    const double idleCpu = CpuSeconds() - cpu0;
    const double idleWall = wall.elapsed() / 1000.0;
    // A busy loop burns about the whole 1.5 s; near idle is a few milliseconds.
    EXPECT_LT(idleCpu, 0.25 * idleWall) << "idle CPU " << idleCpu << " s in " << idleWall << " s";
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(link.Backend(), opened);
    auto* backend = dynamic_cast<QtSerialBackend*>(link.Backend());
    ASSERT_NE(backend, nullptr);
    EXPECT_TRUE(backend->Released());

    // Ticks go on as on any silent line: failed 500 ms reads, then 300 ms sleeps.
    engine.SetPortReady(true);
    engine.StartRead();
    const double cpu1 = CpuSeconds();
    wall.restart();
    for (int i = 0; i < 3; ++i) {
        engine.Tick();
        QCoreApplication::processEvents();
    }
    const double tickCpu = CpuSeconds() - cpu1;
    const double tickWall = wall.elapsed() / 1000.0;
    EXPECT_GE(tickWall, 3 * 0.8);
    EXPECT_LT(tickCpu, 0.25 * tickWall) << "tick CPU " << tickCpu << " s in " << tickWall << " s";
    EXPECT_EQ(engine.ProgressPosition(), 3);
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(link.Backend(), opened);
    EXPECT_FALSE(link.Write(19));
}

// A read notifier that wakes for bytes the engine has purged meanwhile finds
// nothing: read() gives 0 and QSerialPort decodes whatever errno the thread
// last set, a resource error after a non-blocking read that found nothing.
// The line is alive: the port must stay open and keep reading, or the
// transfer stalls for good.
TEST_F(PtyLink, PurgedBytesUnderThePortsNotifier_PortStaysOpen)
{
    int master = -1;
    QtSerialBackend* backend = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenBarePty(master, backend));
    const char bytes[4] = {'\xFF', 0, 0, '\xFF'};
    for (int i = 0; i < 20 && !backend->Released(); ++i) {
        ASSERT_EQ(::write(master, bytes, sizeof bytes), 4);
        ::tcdrain(master);
        // Posted events run before socket notifiers in one pass of the loop:
        // the purge empties the line after the notifier saw it readable.
        QMetaObject::invokeMethod(
            backend,
            [this, master] {
                link.Purge(PurgeRx);
                char c;
                EXPECT_EQ(::read(master, &c, 1), -1); // EAGAIN: the program sent nothing
            },
            Qt::QueuedConnection);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    EXPECT_FALSE(backend->Released());
    ASSERT_EQ(::write(master, bytes, sizeof bytes), 4);
    EXPECT_TRUE(link.Read(4));
    EXPECT_EQ(link.Buffer()[0], 0xFF);
    ::close(master);
}

// The station hangs up in the middle of a transfer and comes back on a new
// pseudo-terminal behind the same link name: selecting the port again reopens
// it (the program never reopens a device by itself).
TEST_F(PtyLink, StationHangsUpMidTransfer_ReselectingReopens)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    StationOptions options = StationSimulator::DefaultOptions();
    options.linkPath = dir.filePath(QStringLiteral("lumk"));
    options.faults.hangUpAfter = 3;
    options.log = [](const QString&) {};
    station = std::make_unique<StationSimulator>(options);
    ASSERT_TRUE(station->Start());
    portName = options.linkPath;
    Select();
    ASSERT_TRUE(engine.PortReady());
    const SerialBackend* const opened = link.Backend();
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < 6; ++i) {
        engine.Tick();
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(engine.ProgressVisible()); // stuck: the line is dead
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(link.Backend(), opened);
    EXPECT_LT(CpuSeconds() - cpu0, 0.25 * (wall.elapsed() / 1000.0));
    // The new pseudo-terminal is there a second after the hang-up.
    QElapsedTimer waitNew;
    waitNew.start();
    while (!QFile::exists(options.linkPath) && waitNew.elapsed() < 3000)
        Idle(20);
    ASSERT_TRUE(QFile::exists(options.linkPath));
    Select();
    EXPECT_TRUE(link.IsOpen());
    EXPECT_NE(link.Backend(), opened); // opened anew
    // The station hangs up again after 3 frames; the first ones still arrive.
    EXPECT_TRUE(engine.ProgressVisible());
    EXPECT_EQ(engine.ProgressPosition(), 0);
}

// A device that talks while nobody reads (the idle window with a port open)
// must not grow the program: the backend keeps a few KiB, the rest waits in
// the kernel's small buffer, and a purge still starts the next exchange clean.
TEST_F(PtyLink, FloodWhileIdle_BackendBufferStaysBounded)
{
    int master = -1;
    QtSerialBackend* backend = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenBarePty(master, backend));

    const std::vector<char> chunk(4096, '\x55');
    std::int64_t sent = 0;
    for (int i = 0; i < 512; ++i) { // up to 2 MiB offered
        const auto n = ::write(master, chunk.data(), chunk.size());
        if (n > 0)
            sent += n;
        QCoreApplication::processEvents();
    }
    Idle(100);
    EXPECT_LE(backend->BufferedBytes(), QtSerialBackend::ReadBufferBytes);
    EXPECT_LT(sent, 1 << 20) << "the line was taken in without bound";
    EXPECT_FALSE(backend->Released());

    link.Purge(PurgeRx);
    const char invitation[4] = {'\xFF', 0, 0, '\xFF'};
    ASSERT_EQ(::write(master, invitation, sizeof invitation), 4);
    ASSERT_TRUE(link.Read(4));
    EXPECT_EQ(link.Buffer()[0], 0xFF);
    EXPECT_EQ(link.Buffer()[1], 0x00);
    EXPECT_EQ(link.Buffer()[3], 0xFF);
    ::close(master);
}
