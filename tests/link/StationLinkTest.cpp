// The in-process station reached as the port "station:NAME": the link's own
// transports against the station simulator, on its own thread with the real
// clock, or polled in virtual time; on every platform (no pseudo-terminal
// involved).
#include "ConfigModel.h"
#include "LoopbackLine.h"
#include "RealTimeTransfer.h"
#include "RecordingSink.h"
#include "SerialLink.h"
#include "StationBackend.h"
#include "StationSimulator.h"
#include "StationTexts.h"
#include "SystemClock.h"
#include "TransferEngine.h"
#include "Transports.h"
#include "VirtualStationTime.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

class StationLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        link.SetOpenFailureReporter([this](const QString& text) { openFailures.append(text); });
    }
    void StartStation(StationOptions options = StationSimulator::DefaultOptions())
    {
        options.inProcessName = QStringLiteral("test");
        if (!options.log)
            options.log = [](const QString&) {};
        station = std::make_unique<StationSimulator>(std::move(options));
        QString error;
        ASSERT_TRUE(station->Start(&error)) << error.toStdString();
        ASSERT_EQ(station->ProgramSidePath(), port);
    }
    LinkOutcome Select() { return engine.ConnectPort(port); }
    void TearDown() override
    {
        link.Close();
        if (station)
            station->Stop();
    }

    const QString port = QStringLiteral("station:test");
    SerialLink link{SerialLink::BackendFactory(OpenTransport), std::make_shared<SystemClock>()};
    ConfigModel model;
    RecordingSink sink;
    TransferEngine engine{model, sink, link};
    QStringList openFailures;
    // Written by the station's thread, which runs until TearDown.
    QElapsedTimer clock;
    std::atomic<qint64> hangUpMs{-1};
    std::unique_ptr<StationSimulator> station;
};

} // namespace

// In virtual time (the station polled from the program's sleeps): read, write,
// then the port selected again at once (closed and reopened): the station is
// found unwoken and a read brings back what was written. Transfers take
// seconds of the shared clock and no real waiting.
TEST(StationLinkVirtualTime, ReadWriteAndQuickReselect_StationImageFollows)
{
    QElapsedTimer real;
    real.start();
    const auto time = std::make_shared<VirtualStationTime>();
    StationOptions options = StationSimulator::DefaultOptions();
    options.inProcessName = QStringLiteral("virtual");
    options.clock = time;
    options.log = [](const QString&) {};
    StationSimulator station(options);
    ASSERT_TRUE(station.Start());
    time->station = &station;
    SerialLink link(SerialLink::BackendFactory(OpenTransport), time);
    ConfigModel model;
    RecordingSink sink;
    TransferEngine engine{model, sink, link};
    const auto select = [&] { return engine.ConnectPort(station.ProgramSidePath()); };
    const auto transfer = [&] {
        const std::int64_t start = time->NowMs();
        for (int tick = 0; tick < 40 && engine.ProgressVisible(); ++tick)
            engine.Tick();
        return engine.ProgressVisible() ? -1 : time->NowMs() - start;
    };

    EXPECT_EQ(select(), LinkOutcome::Connected) << sink.shown.join(", ").toStdString();
    const std::int64_t readMs = transfer();
    ASSERT_GT(readMs, 0);
    EXPECT_EQ(model.image(), StationSimulator::DemoImage());

    model.setCell(1, 3, 1, QStringLiteral("Сообщ.4"));
    model.setCell(1, 3, 2, QStringLiteral("120 сек."));
    model.setCell(4, 16, 1, QStringLiteral("Нет"));
    model.setCell(4, 16, 2, QString());
    engine.StartWrite();
    const ParamImage written = model.image();
    ASSERT_NE(written, StationSimulator::DemoImage());
    ASSERT_GT(transfer(), 0);
    EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::Written});
    EXPECT_EQ(station.Image(), written);
    EXPECT_EQ(station.Stats().writesCompleted, 1);

    model.image().zeroStoredPrefix();
    EXPECT_EQ(select(), LinkOutcome::Connected);
    ASSERT_GT(transfer(), 0);
    EXPECT_EQ(model.image(), written);
    EXPECT_EQ(station.Stats().programCloses, 1);
    EXPECT_EQ(station.Stats().wakes, 2);
    link.Close();
    station.Stop();
    // Six requests, each answered after the station's 20 ms turnaround, in
    // virtual time (the first reply follows the wake at once); the whole run
    // without real waits.
    EXPECT_GE(readMs, 6 * 20);
    EXPECT_LT(real.elapsed(), 2000);
}

// The station hangs up in the middle of a write: the port reports a hang-up
// (reads and writes fail, the reason names it), refuses to open during the
// station's pause, and then opens onto a fresh station.
TEST_F(StationLink, HangUpMidWrite_ReportedThenReachableAfterPause)
{
    clock.start();
    StationOptions options = StationSimulator::DefaultOptions();
    options.faults.hangUpAfter = 10; // past the read, inside the write
    options.log = [this](const QString& line) {
        if (line.contains(QStringLiteral("hanging up")))
            hangUpMs = clock.elapsed();
    };
    StartStation(options);
    Select();
    ASSERT_TRUE(RunTransferRealTime(engine));
    model.setCell(2, 2, 1, QStringLiteral("Сообщ.3"));
    engine.StartWrite();
    while (!link.HungUp() && engine.ProgressVisible() && clock.elapsed() < 10000)
        engine.Tick();
    ASSERT_TRUE(link.HungUp());
    const qint64 detectedMs = clock.elapsed();
    ASSERT_GE(hangUpMs, 0);
    EXPECT_EQ(link.Backend()->FailureReason(), StationTexts::HungUp.arg(port));
    std::uint8_t byte = 0;
    EXPECT_EQ(link.Backend()->Read(&byte, 1), -1);
    EXPECT_EQ(link.Backend()->Write(&byte, 1, 10), -1);
    EXPECT_EQ(station->Stats().writesCompleted, 0);

    int refused = 0;
    while (!link.Open(port) && clock.elapsed() < detectedMs + 3000) {
        ++refused;
        EXPECT_EQ(link.Backend()->FailureReason(), StationTexts::Down.arg(port));
        QThread::msleep(20);
    }
    ASSERT_TRUE(link.IsOpen());
    EXPECT_EQ(openFailures.size(), refused);
    EXPECT_GE(clock.elapsed() - hangUpMs, 900); // the station's pause
    if (detectedMs - hangUpMs < 900) {
        EXPECT_GT(refused, 0);
    }
    EXPECT_FALSE(link.HungUp());
    EXPECT_EQ(Select(), LinkOutcome::Connected) << sink.shown.join(", ").toStdString();
}

// The prefix is matched regardless of case, as "RFC2217://" is.
TEST_F(StationLink, UpperCasePrefix_ReachesTheSameStation)
{
    StartStation();
    EXPECT_TRUE(link.Open(QStringLiteral("STATION:test"))) << openFailures.join(", ").toStdString();
    EXPECT_EQ(TransportOf(QStringLiteral("Station:x")), TransportKind::SimulatedStation);
}

TEST_F(StationLink, OpenRefused_UnknownNameHeldLineStoppedStation)
{
    StartStation();
    StationBackend other;
    EXPECT_FALSE(other.Open(QStringLiteral("station:nobody")));
    EXPECT_EQ(other.FailureReason(), StationTexts::Unknown.arg(QStringLiteral("station:nobody")));
    ASSERT_TRUE(link.Open(port));
    EXPECT_FALSE(other.Open(port));
    EXPECT_EQ(other.FailureReason(), StationTexts::Busy.arg(port));
    station->Stop();
    EXPECT_TRUE(link.HungUp()); // the station went away under the open port
    EXPECT_FALSE(other.Open(port));
    EXPECT_EQ(other.FailureReason(), StationTexts::Unknown.arg(port));
}

// Neither direction grows without bound, and a write into a line nobody reads
// gives up at its time-out with what fitted.
TEST(LoopbackLine, BoundedBothWays_WriteHonoursTimeout)
{
    LoopbackLine line;
    line.Connect();
    std::uint64_t session = 0;
    ASSERT_EQ(line.ProgramOpen(session), LoopbackLine::OpenResult::Opened);
    const std::vector<std::uint8_t> big(3 * LoopbackLine::Capacity, 0x55);
    EXPECT_EQ(line.DeviceWrite(big.data(), big.size()), LoopbackLine::Capacity);
    std::vector<std::uint8_t> got(big.size());
    EXPECT_EQ(line.ProgramRead(session, got.data(), std::int64_t(got.size())),
              std::int64_t(LoopbackLine::Capacity));

    QElapsedTimer t;
    t.start();
    EXPECT_EQ(line.ProgramWrite(session, big.data(), std::int64_t(big.size()), 100),
              std::int64_t(LoopbackLine::Capacity));
    EXPECT_GE(t.elapsed(), 90);
    EXPECT_LT(t.elapsed(), 1000);
    // A purge empties the way out: the next write goes at once.
    line.ProgramPurge(session, true, false);
    EXPECT_EQ(line.ProgramWrite(session, big.data(), 19, 0), 19);
    std::uint8_t frame[32];
    EXPECT_EQ(line.DeviceRead(frame, sizeof frame), 19u);
}
