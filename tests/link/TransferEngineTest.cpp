// The transfer engine in virtual time against a scripted station.
#include "TransferEngine.h"
#include "ConfigModel.h"
#include "CoreTexts.h"
#include "LinkFrames.h"
#include "LinkTestFixture.h"
#include "RecordingSink.h"
#include "ScriptedStation.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>

namespace {

// A station image with used addresses in both pages and data in bytes 64..71.
ParamImage StationImage()
{
    ParamImage image;
    image.setByte(0, 0x87 | 0x10); // address 1: used, other devices, 60 s
    image.setByte(1, 0x84);        // address 2: used, КН check
    image.setByte(19, 0xA0);       // address 20: used, 120 s
    image.setByte(40, 0xB0);       // address 41: used, 360 s
    image.setByte(63, 0x80);       // address 64: used, 0 s
    for (int i = 64; i < 72; ++i)
        image.setByte(i, std::uint8_t(0xC0 + i));
    return image;
}

} // namespace

class Engine : public LinkTest
{
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        station.image = StationImage();
        QObject::connect(&engine, &TransferEngine::transferEnded,
                         [this](LinkOutcome outcome) { ended.append(outcome); });
    }

    // Selects COM1 with the station inviting; the station answers the wake frame.
    LinkOutcome Connect(int index = 0)
    {
        port->Deliver(QByteArray(reinterpret_cast<const char*>(InviteFrame), 4), 20);
        return Select(index);
    }
    // The operator picks port `index` in the selector.
    LinkOutcome Select(int index) { return engine.ConnectPort(Ports.at(index)); }
    // One timer period, then one tick.
    void TickOnce()
    {
        clock->Advance(100);
        engine.Tick();
    }
    QByteArray LastWrite() const { return port->writes.isEmpty() ? QByteArray() : port->writes.last().bytes; }
    static char Command(const QByteArray& request) { return request.at(3); }
    static int Block(const QByteArray& request) { return std::uint8_t(request.at(4)); }

    const QStringList Ports{"COM1", "COM2"};
    ConfigModel model;
    RecordingSink sink;
    QList<LinkOutcome> ended; // every transferEnded
    TransferEngine engine{model, sink, link};
    ScriptedStation station{*port};
};

TEST_F(Engine, ConnectPort_Invitation_SendsWakeAndStartsRead)
{
    EXPECT_EQ(Connect(), LinkOutcome::Connected);
    EXPECT_EQ(port->events.first(), "open COM1");
    ASSERT_EQ(port->writes.size(), 1);
    EXPECT_EQ(port->writes[0].bytes, Bytes({0xFF, 0x80, 0x0F, 0x0F, 0x7F}));
    EXPECT_TRUE(engine.PortReady());
    EXPECT_TRUE(engine.ProgressVisible());
    EXPECT_EQ(engine.ProgressPosition(), 0);
    EXPECT_EQ(engine.BlockIndex(), 0);
    EXPECT_TRUE(engine.ReadRequested());
    EXPECT_FALSE(engine.WriteRequested());
    EXPECT_TRUE(sink.outcomes.isEmpty());
}

TEST_F(Engine, ConnectPort_OtherFourBytes_CountAsLiveStationWithoutWake)
{
    port->Deliver(Bytes({1, 2, 3, 4}));
    Select(0);
    EXPECT_TRUE(port->writes.isEmpty());
    EXPECT_TRUE(engine.PortReady());
    EXPECT_TRUE(engine.ReadRequested());
}

TEST_F(Engine, ConnectPort_Silence_ShowsNoDeviceAndCloses)
{
    EXPECT_EQ(Select(1), LinkOutcome::NoDevice);
    EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::NoDevice});
    EXPECT_FALSE(link.IsOpen());
    EXPECT_FALSE(engine.PortReady());
    EXPECT_FALSE(engine.ProgressVisible());
}

TEST_F(Engine, ConnectPort_OpenFailure_ShowsNotOpenOnly)
{
    port->refusedNames.insert("COM2");
    EXPECT_EQ(Select(1), LinkOutcome::PortNotOpened);
    EXPECT_EQ(openFailures, QStringList{"Not open COM2"});
    EXPECT_TRUE(sink.outcomes.isEmpty());
    EXPECT_FALSE(engine.ProgressVisible());
}

TEST_F(Engine, ConnectPort_WakeWriteFails_StopsWithPortOpen)
{
    port->writeLimit = 2;
    EXPECT_EQ(Connect(), LinkOutcome::WakeNotSent);
    EXPECT_TRUE(link.IsOpen());
    EXPECT_FALSE(engine.PortReady());
    EXPECT_FALSE(engine.ProgressVisible());
    EXPECT_FALSE(engine.ReadRequested());
}

TEST_F(Engine, Read_FollowsSevenTickTable)
{
    Connect();
    struct Row
    {
        int position;
        int blockIndex;
        char command;
        int block;
    };
    const Row table[] = {{15, 0, 'S', 0}, {30, 1, 'S', 1}, {45, 2, 'S', 2}, {60, 3, 'S', 3},
                         {75, 4, 'S', 4}, {90, 5, 'S', 5}, {100, 0, 'R', 0}};
    const ParamImage before = model.image();
    EXPECT_EQ(engine.phase(), TransferPhase::WaitingForReply);
    for (int tick = 1; tick <= 7; ++tick) {
        SCOPED_TRACE(tick);
        const Row& row = table[tick - 1];
        const qsizetype writesBefore = port->writes.size();
        TickOnce();
        EXPECT_EQ(engine.phase(), tick < 7 ? TransferPhase::Transferring : TransferPhase::Idle);
        EXPECT_EQ(engine.ProgressPosition(), row.position);
        EXPECT_EQ(engine.BlockIndex(), row.blockIndex);
        ASSERT_EQ(port->writes.size(), writesBefore + 1);
        EXPECT_EQ(Command(LastWrite()), row.command);
        EXPECT_EQ(Block(LastWrite()), row.block);
        // Stored so far: block 0 from tick 1 on, block k from tick k + 2 on.
        for (int b = 0; b < 6; ++b) {
            const bool stored = b == 0 || tick >= b + 2;
            EXPECT_EQ(model.image().block(b), stored ? station.image.block(b) : before.block(b)) << b;
        }
        EXPECT_EQ(engine.ProgressVisible(), tick < 7);
    }
    EXPECT_EQ(ended, QList<LinkOutcome>{LinkOutcome::Read});
    EXPECT_FALSE(engine.ReadRequested());
    EXPECT_EQ(model.image(), station.image);
    // Decoded: address 1 "Да" / "60 сек." in the other-devices mode.
    EXPECT_EQ(model.OperatingMode(), 1);
    EXPECT_EQ(model.cell(1, 1, 1), CoreTexts::ModeUsed);
    EXPECT_EQ(model.cell(1, 1, 2), CoreTexts::Delay60);
    EXPECT_EQ(model.cell(2, 4, 2), CoreTexts::Delay120);
    EXPECT_EQ(model.cell(3, 9, 2), CoreTexts::Delay360);
    EXPECT_EQ(model.cell(1, 3, 1), CoreTexts::ModeUnused);
    EXPECT_TRUE(sink.outcomes.isEmpty());
    // The purge order around every request.
    const QStringList tail = port->events.mid(port->events.size() - 4);
    EXPECT_EQ(tail, (QStringList{"purge 4", "purge 8", "write 19", "purge 8"}));
}

TEST_F(Engine, TimeOut_WithNoPortEverSelected_FourteenthTickShowsNotConnected)
{
    const auto wallStart = std::chrono::steady_clock::now();
    engine.StartRead();
    for (int tick = 1; tick <= 13; ++tick) {
        engine.Tick();
        EXPECT_EQ(engine.ProgressPosition(), tick);
        EXPECT_TRUE(engine.ProgressVisible());
    }
    EXPECT_TRUE(sink.outcomes.isEmpty());
    engine.Tick();
    EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::NotConnected});
    EXPECT_EQ(ended, QList<LinkOutcome>{LinkOutcome::NotConnected});
    EXPECT_FALSE(engine.ProgressVisible());
    EXPECT_EQ(engine.ProgressPosition(), 0);
    EXPECT_FALSE(engine.ReadRequested());
    EXPECT_FALSE(engine.WriteRequested());
    // Each tick without a ready port sleeps 300 ms, in virtual time.
    EXPECT_EQ(clock->Slept(), 14 * 300);
    // Hidden: later ticks do nothing.
    engine.Tick();
    EXPECT_EQ(clock->Slept(), 14 * 300);
    EXPECT_LT(std::chrono::steady_clock::now() - wallStart, std::chrono::seconds(1));
}

TEST_F(Engine, TimeOut_SilentStation_ReadsThenTimesOut)
{
    station.answering = false;
    Connect();
    for (int tick = 1; tick <= 14; ++tick)
        engine.Tick();
    EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::NotConnected});
    EXPECT_FALSE(engine.ProgressVisible());
    // 14 ticks of a failed 500 ms read and a 300 ms sleep (plus the link test).
    EXPECT_GE(clock->Slept(), 14 * 800);
}

TEST_F(Engine, ReplyInTimedOutTick_IsAnsweredWithRest)
{
    station.answering = false;
    Connect(); // the wake frame is not answered
    for (int tick = 1; tick <= 13; ++tick)
        engine.Tick();
    station.answering = true;
    station.Send(station.BlockFrame(0));
    engine.Tick();
    EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::NotConnected});
    EXPECT_EQ(Command(LastWrite()), 'R');
    EXPECT_EQ(Block(LastWrite()), 0);
    EXPECT_FALSE(engine.ProgressVisible());
}

TEST_F(Engine, RejectedReply_BadChecksum_RequestFollowsRejectedBytes)
{
    Connect();
    for (int i = 0; i < 3; ++i)
        TickOnce();
    ASSERT_EQ(engine.BlockIndex(), 2);
    // The station's next reply (to 'S' 2, sent in the 3rd tick) is already on
    // its way; corrupt the one after: make the 4th tick's reply bad instead by
    // altering what the station sends next.
    int altered = -1;
    station.alter = [&](QByteArray& frame, int index) {
        if (altered < 0) {
            altered = index;
            frame[9] = char(frame[9] ^ 0x01); // one corrupted data byte
        }
    };
    TickOnce(); // accepts block 2, sends 'S' 3; the answer is corrupted
    ASSERT_EQ(engine.BlockIndex(), 3);
    const QByteArray bad = station.sent.last();
    const int position = engine.ProgressPosition();
    TickOnce();
    EXPECT_EQ(engine.BlockIndex(), 3);
    EXPECT_EQ(engine.ProgressPosition(), position + 1);
    const QByteArray request = LastWrite();
    EXPECT_EQ(Command(request), 'S');
    EXPECT_EQ(Block(request), 3);
    // Bytes 5..17 of an 'S' request are those of the reply just received.
    EXPECT_EQ(request.mid(5, 13), bad.mid(5, 13));
    // The transfer then completes with the right image.
    for (int i = 0; i < 5 && engine.ProgressVisible(); ++i)
        TickOnce();
    EXPECT_FALSE(engine.ProgressVisible());
    EXPECT_EQ(model.image(), station.image);
}

TEST_F(Engine, WrongBlockReply_WhileBlock3Expected_IsRejectedAndBlock3Requested)
{
    Connect();
    for (int i = 0; i < 3; ++i)
        TickOnce();
    station.alter = [&](QByteArray& frame, int) {
        if (std::uint8_t(frame[4]) == 3 && frame.size() == 19 && station.alter) {
            frame = station.BlockFrame(2);
            station.alter = nullptr;
        }
    };
    TickOnce(); // accepts block 2, sends 'S' 3; the answer carries block 2
    ASSERT_EQ(engine.BlockIndex(), 3);
    TickOnce();
    EXPECT_EQ(engine.BlockIndex(), 3);
    EXPECT_EQ(Command(LastWrite()), 'S');
    EXPECT_EQ(Block(LastWrite()), 3);
    while (engine.ProgressVisible())
        TickOnce();
    EXPECT_EQ(model.image(), station.image);
}

TEST_F(Engine, InvitationInPlaceOfReply_SendsWakeOnThatTick)
{
    Connect();
    TickOnce();
    TickOnce(); // sends 'S' 1; the station has answered it already
    station.alter = [&](QByteArray& frame, int) {
        frame = QByteArray(reinterpret_cast<const char*>(InviteFrame), 4);
        station.alter = nullptr;
    };
    TickOnce(); // accepts block 1, sends 'S' 2: answered by an invitation
    ASSERT_EQ(engine.BlockIndex(), 2);
    const qsizetype writes = port->writes.size();
    TickOnce();
    ASSERT_EQ(port->writes.size(), writes + 1);
    EXPECT_EQ(LastWrite(), Bytes({0xFF, 0x80, 0x0F, 0x0F, 0x7F}));
    EXPECT_EQ(engine.BlockIndex(), 2);
    // The station answers the wake with block 0: rejected, block 2 asked again.
    TickOnce();
    EXPECT_EQ(Command(LastWrite()), 'S');
    EXPECT_EQ(Block(LastWrite()), 2);
    while (engine.ProgressVisible())
        TickOnce();
    EXPECT_EQ(model.image(), station.image);
}

TEST_F(Engine, Write_EndsWithWrittenAndNoDecode)
{
    Connect();
    while (engine.ProgressVisible())
        TickOnce(); // a full read first: a frame (answer to 'R') is now waiting
    // The operator edits address 3 after the read.
    model.setCell(1, 3, 1, CoreTexts::ModeUsed);
    model.setCell(1, 3, 2, CoreTexts::Delay120);
    const AddressTable table = model.table();
    engine.StartWrite();
    ParamImage expected = model.image(); // TableToImage ran
    EXPECT_EQ(expected.byte(2), 0xA0);
    QList<int> blocks;
    for (int tick = 1; tick <= 7; ++tick) {
        TickOnce();
        if (tick < 7) {
            EXPECT_EQ(Command(LastWrite()), 'W');
            blocks.append(Block(LastWrite()));
        }
    }
    EXPECT_EQ(blocks, (QList<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Command(LastWrite()), 'R');
    EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::Written});
    EXPECT_EQ(ended, (QList<LinkOutcome>{LinkOutcome::Read, LinkOutcome::Written}));
    EXPECT_FALSE(engine.ProgressVisible());
    EXPECT_FALSE(engine.WriteRequested());
    EXPECT_EQ(station.image, expected);
    EXPECT_EQ(model.table(), table);
}

// The mended fault: a write started during a read must not store the device's
// old block 0 (the first accepted reply) and send it back, undoing the edits.
TEST_F(Engine, WriteDuringRead_DoesNotStoreOldBlocksBeforeSendingThem)
{
    Connect(); // read requested; the station's block 0 frame is on its way
    // The operator edits addresses 1 and 5 and the common options before any reply.
    model.setOperatingMode(1);
    model.setCell(1, 1, 1, CoreTexts::ModeUsed);
    model.setCell(1, 1, 2, CoreTexts::Delay360);
    model.setCell(1, 5, 1, CoreTexts::ModeUsed);
    model.setCell(1, 5, 2, CoreTexts::Delay0);
    model.setCheckFaultInput(true);
    model.setControlUpa(false);
    engine.StartWrite();
    EXPECT_TRUE(engine.ReadRequested());
    EXPECT_TRUE(engine.WriteRequested());
    const ParamImage encoded = model.image();
    ASSERT_NE(encoded.block(0), station.image.block(0));

    for (int tick = 1; tick <= 7; ++tick) {
        TickOnce();
        if (tick < 7) {
            EXPECT_EQ(Command(LastWrite()), 'W') << tick;
            // Every block goes out as the operator set it.
            EXPECT_EQ(LastWrite().mid(5, 12),
                      QByteArray(reinterpret_cast<const char*>(encoded.block(Block(LastWrite())).data()), 12))
                << tick;
        }
    }
    EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::Written});
    EXPECT_EQ(station.image.block(0), encoded.block(0));
    EXPECT_EQ(station.image, encoded);
    // Then decoded (read was requested): the edits are still there.
    EXPECT_FALSE(engine.ReadRequested());
    EXPECT_EQ(model.cell(1, 1, 2), CoreTexts::Delay360);
    EXPECT_EQ(model.cell(1, 5, 1), CoreTexts::ModeUsed);
    EXPECT_EQ(model.cell(1, 5, 2), CoreTexts::Delay0);
    EXPECT_TRUE(model.options().checkFaultInput);
    EXPECT_FALSE(model.options().controlUpa);
}

TEST_F(Engine, WriteDuringRead_StoresEchoesOfBlocksAlreadyWritten)
{
    Connect();
    model.setCell(1, 2, 1, CoreTexts::MessageText(2));
    engine.StartWrite();
    const ParamImage encoded = model.image();
    // The station changes bytes 64..71 in its echo of 'W' 5 (as a device might):
    // that reply is for a block this write has sent, so it is stored.
    station.alter = [&](QByteArray& frame, int) {
        auto* p = reinterpret_cast<std::uint8_t*>(frame.data());
        if (frame.size() == 19 && p[3] == 'W' && p[4] == 5) {
            p[16] = 0x11;
            p[17] = FrameChecksum(p);
        }
    };
    while (engine.ProgressVisible())
        TickOnce();
    EXPECT_EQ(model.image().byte(71), 0x11);
    for (int i = 0; i < 71; ++i)
        EXPECT_EQ(model.image().byte(i), encoded.byte(i)) << i;
}

// A port selected again while a write waits (a second device on the line): the
// write starts over for the new station, whose old blocks are never stored and
// sent back in place of the operator's.
TEST_F(Engine, PortSelectedAgainDuringWrite_NewStationGetsTheWholeWrite)
{
    Connect();
    while (engine.ProgressVisible())
        TickOnce();
    model.setCell(1, 1, 1, CoreTexts::ModeUsed);
    model.setCell(1, 1, 2, CoreTexts::Delay120);
    engine.StartWrite();
    const ParamImage encoded = model.image();
    TickOnce();
    TickOnce(); // 'W' 0 reached the first station, 'W' 1 is sent
    station.answering = false;
    TickOnce(); // silent: the bar stays open

    ParamImage other; // the second device's old data
    for (int i = 0; i < ParamImage::Size; ++i)
        other.setByte(i, std::uint8_t(0x90 + i));
    station.image = other;
    station.answering = true;
    link.Close(); // reopened at once: the scripted line would drop the invitation at the close
    Connect();
    for (int i = 0; i < 20 && engine.ProgressVisible(); ++i)
        TickOnce();
    EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::Written});
    for (int i = 0; i < ParamImage::StoredSize; ++i)
        EXPECT_EQ(station.image.byte(i), encoded.byte(i)) << i;
}

TEST_F(Engine, ReadWhileLocked_FetchesButDoesNotStore)
{
    model.setConfigLocked(true);
    model.image().setByte(5, 0x88);
    model.ImageToTable();
    const ParamImage before = model.image();
    Connect();
    int ticks = 0;
    while (engine.ProgressVisible() && ticks < 20) {
        TickOnce();
        ++ticks;
    }
    EXPECT_EQ(ticks, 7);
    EXPECT_EQ(model.image(), before);
    EXPECT_EQ(model.cell(1, 6, 1), CoreTexts::MessageText(2));
    EXPECT_EQ(model.cell(1, 1, 1), CoreTexts::ModeUnused);
    EXPECT_EQ(station.requests.size(), 7);
}

TEST_F(Engine, NoDeviceAfterPortSwitchDuringTransfer_TransferStaysAndCreepsTo100)
{
    Connect();
    TickOnce();
    TickOnce();
    ASSERT_EQ(engine.ProgressPosition(), 30);
    station.answering = false;
    Select(1); // COM2: nothing answers
    EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::NoDevice});
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(engine.ProgressVisible());
    EXPECT_TRUE(engine.ReadRequested());
    const qsizetype reads = port->readCalls;
    const std::int64_t slept = clock->Slept();
    for (int i = 0; i < 80; ++i)
        engine.Tick();
    EXPECT_EQ(port->readCalls, reads); // no port: no reads, only sleeps
    EXPECT_EQ(clock->Slept() - slept, 80 * 300);
    EXPECT_TRUE(engine.ProgressVisible());
    EXPECT_EQ(engine.ProgressPosition(), 100);
    EXPECT_EQ(sink.outcomes.size(), 1);
}

TEST_F(Engine, NoDeviceAfterPortSwitchBeforeFirstReply_TimesOut)
{
    station.answering = false;
    Connect();
    engine.Tick();
    EXPECT_EQ(Select(1), LinkOutcome::NoDevice);
    EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::NoDevice});
    for (int i = 0; i < 13; ++i)
        engine.Tick();
    EXPECT_EQ(sink.outcomes,
              (QList<LinkOutcome>{LinkOutcome::NoDevice, LinkOutcome::NotConnected}));
    EXPECT_FALSE(engine.ProgressVisible());
}

// Ticks inside messages: while "Записано" is open, nested ticks run in full;
// the interrupted tick then finishes with the state they left.
TEST_F(Engine, NestedTicksInsideWritten_RunInFull_OuterTickFinishesWithTheirState)
{
    Connect();
    while (engine.ProgressVisible())
        TickOnce();
    engine.StartWrite();
    int nested = 0;
    sink.onShow = [&](LinkOutcome outcome) {
        if (outcome != LinkOutcome::Written)
            return;
        EXPECT_TRUE(engine.ProgressVisible()); // still visible while the message is open
        EXPECT_EQ(engine.BlockIndex(), 0);
        // The station sends a frame on its own while the message is open.
        station.Send(station.BlockFrame(0));
        for (int i = 0; i < 2; ++i) {
            ++nested;
            TickOnce();
        }
    };
    while (engine.ProgressVisible())
        TickOnce();
    ASSERT_EQ(nested, 2);
    // Nested tick 1 accepted block 0 and sent 'R' 1; nested tick 2 accepted
    // block 1 and sent 'R' 2; the outer tick then sent 'R' for BlockIndex 2.
    const auto n = port->writes.size();
    ASSERT_GE(n, 3);
    const QByteArray r1 = port->writes[n - 3].bytes, r2 = port->writes[n - 2].bytes,
                     outer = port->writes[n - 1].bytes;
    EXPECT_EQ(Command(r1), 'R');
    EXPECT_EQ(Block(r1), 1);
    EXPECT_EQ(Command(r2), 'R');
    EXPECT_EQ(Block(r2), 2);
    EXPECT_EQ(Command(outer), 'R');
    EXPECT_EQ(Block(outer), 2);
    EXPECT_EQ(engine.BlockIndex(), 2);
    EXPECT_FALSE(engine.ProgressVisible());
    EXPECT_EQ(engine.ProgressPosition(), 100);
}

TEST_F(Engine, NestedTicksInsideNotConnected_DoNothing)
{
    engine.StartRead();
    std::int64_t sleptDuring = -1;
    sink.onShow = [&](LinkOutcome) {
        const std::int64_t before = clock->Slept();
        engine.Tick();
        engine.Tick();
        sleptDuring = clock->Slept() - before;
    };
    for (int i = 0; i < 14; ++i)
        engine.Tick();
    EXPECT_EQ(sleptDuring, 0);
}

// TickQueue with a real timer: the timeout queues a tick, so ticks also run
// inside a modal wait (a nested event loop) opened by a tick.
TEST_F(Engine, TickQueue_RunsTicksInsideNestedEventLoopOfMessage)
{
    Connect();
    while (engine.ProgressVisible())
        TickOnce();
    engine.StartWrite();
    TickQueue queue(engine);
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, &queue, &TickQueue::Post);
    std::int64_t sleptInside = 0;
    bool outerFinishedInside = true;
    sink.onShow = [&](LinkOutcome outcome) {
        if (outcome != LinkOutcome::Written)
            return;
        const std::int64_t before = clock->Slept();
        QEventLoop modal; // what a modal message box runs
        // Open until a tick has run inside it (bounded: a slow machine's timers
        // may take far longer than the tick period).
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &modal, [&] {
            if (clock->Slept() > before)
                modal.quit();
        });
        poll.start(1);
        QTimer::singleShot(5000, &modal, &QEventLoop::quit);
        modal.exec();
        sleptInside = clock->Slept() - before;
        outerFinishedInside = !engine.ProgressVisible();
    };
    timer.start();
    QEventLoop loop;
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, &loop, [&] {
        if (!engine.ProgressVisible() || sink.outcomes.size() > 0)
            loop.quit();
    });
    done.start(1);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    // Let the interrupted tick finish.
    while (engine.ProgressVisible() && sink.outcomes.isEmpty())
        QCoreApplication::processEvents();
    timer.stop();
    ASSERT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::Written});
    EXPECT_GT(sleptInside, 0) << "no tick ran while the message was open";
    EXPECT_FALSE(outerFinishedInside); // the bar stays visible until the outer tick resumes
    EXPECT_FALSE(engine.ProgressVisible());
}

TEST_F(Engine, TickQueue_CoalescesTimeoutsIntoOnePendingTick)
{
    engine.StartRead();
    TickQueue queue(engine);
    queue.Post();
    queue.Post();
    queue.Post();
    QCoreApplication::processEvents();
    EXPECT_EQ(engine.ProgressPosition(), 1);
    queue.Post();
    QCoreApplication::processEvents();
    EXPECT_EQ(engine.ProgressPosition(), 2);
}

// A stale frame confirms a 'W' block by number and checksum alone: a station
// that lost W0 and then sends its last frame again (the answer to the read's
// 'R') gets "Записано" without block 0. Verifying writes reads the device back
// after "Записано", into no image the operator sees, and reports the difference.
TEST_F(Engine, VerifiedWrite_ReadsBackAfterWritten_ReportsWhatTheDeviceLacks)
{
    struct Case
    {
        const char* name;
        bool loseW0;
        int differingAddresses;
    };
    for (const Case c : {Case{"W0 lost, last frame replayed", true, 1}, Case{"clean", false, 0}}) {
        SCOPED_TRACE(c.name);
        station.image = StationImage();
        station.requests.clear();
        link.Close();
        Connect();
        while (engine.ProgressVisible())
            TickOnce();
        engine.SetVerifyWrites(true);
        QList<WriteCheck> checks;
        const auto watch = QObject::connect(&engine, &TransferEngine::writeChecked,
                                            [&](const WriteCheck& check) { checks.append(check); });
        bool lost = false;
        station.lose = [&](const QByteArray& request) {
            if (!c.loseW0 || lost || request.at(3) != 'W' || request.at(4) != 0)
                return false;
            return lost = true;
        };
        model.setCell(1, 3, 1, CoreTexts::ModeUsed); // address 3, in block 0
        engine.StartWrite();
        const ParamImage written = model.image();
        sink.outcomes.clear();
        TickOnce(); // W0 goes out
        if (c.loseW0) {
            TickOnce(); // silence
            station.Send(station.sent.last()); // the station repeats its last frame
        }
        for (int i = 0; i < 40 && checks.isEmpty(); ++i)
            TickOnce();
        QObject::disconnect(watch);
        engine.SetVerifyWrites(false);
        station.lose = nullptr;

        EXPECT_EQ(sink.outcomes, QList<LinkOutcome>{LinkOutcome::Written});
        ASSERT_EQ(checks.size(), 1);
        EXPECT_TRUE(checks[0].confirmed);
        EXPECT_EQ(checks[0].differingAddresses, c.differingAddresses);
        EXPECT_EQ(checks[0].differingOtherBytes, 0);
        EXPECT_EQ(model.image(), written); // the read-back went nowhere the operator sees
        EXPECT_EQ(engine.DeviceImage(), station.image);
        // The write's own requests are the Part's: W0..W5 then 'R' block 0; the
        // read-back follows with 'S' requests.
        QList<QByteArray> writeRequests;
        for (const QByteArray& r : station.requests)
            if (Command(r) == 'W')
                writeRequests.append(r);
        EXPECT_EQ(writeRequests.size(), c.loseW0 ? 5 : 6);
        EXPECT_EQ(Command(LastWrite()), 'R');
    }
}
