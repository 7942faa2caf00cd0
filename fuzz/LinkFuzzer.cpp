// Fuzz target: the device link fed arbitrary station behaviour through the
// scripted port in virtual time. The input decides what arrives on the line and
// when (raw bytes, invitations, replies with or without a right block and
// checksum), whether a simple station answers the requests, port faults, and the
// operator's commands (port selection, read, write, lock). Checked throughout:
// bounded positions and block numbers, every tick within its specified time, no
// tick work while idle, only well-formed frames sent, write requests carrying
// the image, the image changed only by a read, and the table decoded from it
// when a read completes.
#include "ConfigModel.h"
#include "LinkFrames.h"
#include "LinkTexts.h"
#include "ModelOracle.h"
#include "ScriptedPort.h"
#include "SerialLink.h"
#include "StationFrames.h"
#include "TransferEngine.h"
#include "VirtualClock.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// How deep the inputs reach, printed at exit when LUMK_FUZZ_STATS is set, to
// show that completed reads and writes are among what was fuzzed.
struct Reached
{
    long completedReads = 0, written = 0, timeouts = 0, noDevice = 0, openFailures = 0;
    ~Reached()
    {
        if (std::getenv("LUMK_FUZZ_STATS"))
            std::fprintf(stderr,
                         "reached: completed reads %ld, \"written\" %ld, time-outs %ld, "
                         "no device %ld, open failures %ld\n",
                         completedReads, written, timeouts, noDevice, openFailures);
    }
} reached;

// The longest tick: a failed 500 ms read (polled every 1 ms, the deadline passed
// by one poll) and the 300 ms sleep after it.
constexpr std::int64_t LongestTickMs = ReadDeadlineMs + ReadPollMs + 300;

QByteArray frameBytes(const std::uint8_t* p, int n)
{
    return QByteArray(reinterpret_cast<const char*>(p), n);
}

// The station's frames, built on the station's side (not with the program's
// frame helpers that the checks below use).
QByteArray replyFrame(int block, const std::uint8_t* data, std::uint8_t command)
{
    return frameBytes(StationFrames::BlockReply(command, block, data).data(), BlockFrameSize);
}
QByteArray invitation()
{
    return frameBytes(StationFrames::Invitation.data(), int(StationFrames::Invitation.size()));
}

struct Harness : MessageSink
{
    explicit Harness(FuzzedDataProvider& input) : in(input) {}

    FuzzedDataProvider& in;
    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    std::shared_ptr<ScriptedPort> port = std::make_shared<ScriptedPort>(clock);
    SerialLink link{port, clock};
    ConfigModel model;
    TransferEngine engine{model, *this, link};

    // A station that answers requests: with the requested block of its own image,
    // after a delay, unless the input alters or withholds the reply.
    bool stationAnswers = false;
    ParamImage stationImage;
    QStringList messages;
    int nestedDepth = 0;
    std::int64_t nestedMs = 0; // virtual time spent in ticks nested inside messages

    void ShowMessage(LinkOutcome outcome) override
    {
        const QString text = LinkTexts::Message(outcome);
        FUZZ_CHECK(text == LinkTexts::NoDevice || text == LinkTexts::NotConnected ||
                   text == LinkTexts::Written);
        messages.append(text);
        if (text == LinkTexts::Written)
            ++reached.written;
        else if (text == LinkTexts::NotConnected)
            ++reached.timeouts;
        else
            ++reached.noDevice;
        // "Записано" is shown while the transfer is still visible: the window's
        // timer keeps ticking inside the message.
        if (text == LinkTexts::Written && nestedDepth < 2) {
            ++nestedDepth;
            const std::int64_t start = clock->NowMs();
            const std::int64_t before = nestedMs;
            for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n)
                checkedTick();
            // Set, not added: deeper nesting inside is part of this stretch.
            nestedMs = before + (clock->NowMs() - start);
            --nestedDepth;
        }
    }

    void onWrite(const QByteArray& bytes)
    {
        const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        const bool partial = port->writeLimit >= 0 && bytes.size() == port->writeLimit;
        if (bytes.size() == WakeFrameSize && !partial) {
            FUZZ_CHECK(bytes == frameBytes(WakeFrame, WakeFrameSize));
        } else if (bytes.size() == BlockFrameSize) {
            FUZZ_CHECK(p[0] == 0xFF && p[1] == 0x81 && p[2] == 0x00);
            FUZZ_CHECK(p[3] == CommandWrite || p[3] == CommandRead || p[3] == CommandRest);
            FUZZ_CHECK(p[4] <= 5);
            FUZZ_CHECK(p[18] == FrameCheckByte(p));
            if (p[3] == CommandWrite) {
                const ParamImage::Block block = model.image().block(p[4]);
                FUZZ_CHECK(std::equal(block.begin(), block.end(), p + 5));
                FUZZ_CHECK(p[17] == FrameChecksum(p));
            }
        } else {
            FUZZ_CHECK(partial); // only a port that accepts fewer bytes cuts a frame
            FUZZ_CHECK(bytes.isEmpty() || p[0] == 0xFF);
        }
        if (!stationAnswers || in.remaining_bytes() == 0)
            return;
        const std::int64_t delay = in.ConsumeIntegralInRange(0, 700);
        if (bytes == frameBytes(WakeFrame, WakeFrameSize)) {
            port->Deliver(replyFrame(0, stationImage.bytes().data(), CommandRead), delay);
            return;
        }
        if (bytes.size() != BlockFrameSize || p[4] > 5)
            return;
        if (p[3] == CommandWrite)
            stationImage.setBlock(p[4], p + 5);
        QByteArray reply = replyFrame(p[4], stationImage.bytes().data() + 12 * p[4], p[3]);
        switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0: // one byte corrupted
            reply[in.ConsumeIntegralInRange(0, BlockFrameSize - 1)] ^=
                char(in.ConsumeIntegralInRange(1, 255));
            break;
        case 1: // withheld
            return;
        case 2: // cut short, the rest of the frame lost
            reply.truncate(in.ConsumeIntegralInRange(0, BlockFrameSize - 1));
            break;
        case 3: // an invitation instead
            reply = invitation();
            break;
        default:
            break;
        }
        port->Deliver(reply, delay);
    }

    void checkedTick()
    {
        const bool wasVisible = engine.ProgressVisible();
        const bool wasReading = engine.ReadRequested();
        const bool locked = model.ConfigLocked();
        const int modeBefore = model.OperatingMode();
        const CommonOptions optionsBefore = model.options();
        const ParamImage imageBefore = model.image();
        const qsizetype writesBefore = port->writes.size();
        const int readsBefore = port->readCalls;
        const qsizetype messagesBefore = messages.size();
        const std::int64_t start = clock->NowMs();
        const std::int64_t nestedBefore = nestedMs;

        engine.Tick();

        const std::int64_t own = clock->NowMs() - start - (nestedMs - nestedBefore);
        FUZZ_CHECK(own >= 0 && own <= LongestTickMs);
        FUZZ_CHECK(engine.ProgressPosition() >= 0 && engine.ProgressPosition() <= 100);
        FUZZ_CHECK(engine.BlockIndex() >= 0 && engine.BlockIndex() <= 5);
        if (!wasVisible) { // an idle tick does nothing at all
            FUZZ_CHECK(own == 0);
            FUZZ_CHECK(port->writes.size() == writesBefore && port->readCalls == readsBefore);
            FUZZ_CHECK(model.image() == imageBefore);
            return;
        }
        // Only a read stores received blocks, never into a locked configuration.
        if (!wasReading || locked)
            FUZZ_CHECK(model.image() == imageBefore);
        const bool timedOut = messages.mid(messagesBefore).contains(LinkTexts::NotConnected);
        if (wasReading && !engine.ReadRequested() && !engine.ProgressVisible() && !timedOut) {
            ++reached.completedReads;
            oracle::checkDecoded(model, model.image(), modeBefore, optionsBefore);
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    {
        Harness h(in);
        QStringList openFailures;
        h.link.SetOpenFailureReporter([&](const QString& text) { openFailures.append(text); });
        h.port->onWrite = [&h](const QByteArray& bytes) { h.onWrite(bytes); };
        h.model.LabelPages();
        h.model.ImageToTable();
        const QStringList ports{QStringLiteral("ttyF0"), QStringLiteral("ttyF1")};
        for (int i = 0; i < ParamImage::Size; ++i)
            h.stationImage.setByte(i, in.ConsumeIntegral<std::uint8_t>());

        for (int step = 0; step < 48 && in.remaining_bytes() > 0; ++step) {
            switch (in.ConsumeIntegralInRange(0, 11)) {
            case 0: { // arbitrary bytes on the line
                const std::string bytes = in.ConsumeRandomLengthString(48);
                h.port->Deliver(QByteArray(bytes.data(), qsizetype(bytes.size())),
                                in.ConsumeIntegralInRange(0, 1200));
                break;
            }
            case 1: { // a reply frame for any block, possibly damaged
                std::uint8_t block[ParamImage::BlockSize];
                for (auto& b : block)
                    b = in.ConsumeIntegral<std::uint8_t>();
                const int number =
                    in.ConsumeBool() ? h.engine.BlockIndex() : in.ConsumeIntegralInRange(0, 255);
                QByteArray frame = replyFrame(number, block, in.ConsumeIntegral<std::uint8_t>());
                if (in.ConsumeBool())
                    frame[in.ConsumeIntegralInRange(0, BlockFrameSize - 1)] ^=
                        char(in.ConsumeIntegralInRange(1, 255));
                h.port->Deliver(frame, in.ConsumeIntegralInRange(0, 1200));
                break;
            }
            case 2:
                h.port->Deliver(invitation(),
                                in.ConsumeIntegralInRange(0, 1200));
                break;
            case 3:
            case 4:
                for (int n = in.ConsumeIntegralInRange(1, 8); n > 0; --n)
                    h.checkedTick();
                break;
            case 5:
                h.engine.StartRead();
                break;
            case 6: {
                const ParamImage before = h.model.image();
                h.engine.StartWrite();
                for (int i = 64; i < ParamImage::Size; ++i)
                    FUZZ_CHECK(h.model.image().byte(i) == before.byte(i));
                break;
            }
            case 7: { // the operator selects a port
                const int index = in.ConsumeIntegralInRange(0, 1);
                if (in.ConsumeBool())
                    h.port->refusedNames.insert(ports.at(index));
                else
                    h.port->refusedNames.clear();
                const std::int64_t start = h.clock->NowMs();
                const std::int64_t nestedBefore = h.nestedMs;
                h.engine.ConnectPort(ports.at(index));
                const std::int64_t own = h.clock->NowMs() - start - (h.nestedMs - nestedBefore);
                FUZZ_CHECK(own >= 0 && own <= ReadDeadlineMs + ReadPollMs);
                break;
            }
            case 8: // port faults
                h.port->readFails = in.ConsumeBool();
                h.port->writeLimit = in.PickValueInArray({-1, -1, 0, 4, 18});
                break;
            case 9:
                h.stationAnswers = in.ConsumeBool();
                break;
            case 10:
                h.model.setConfigLocked(in.ConsumeBool());
                break;
            case 11: // the operator edits a page between commands
                h.model.ToggleModeColumn(in.ConsumeIntegralInRange(1, 4));
                break;
            }
            FUZZ_CHECK(h.engine.ProgressPosition() >= 0 && h.engine.ProgressPosition() <= 100);
            for (const QString& failure : openFailures)
                FUZZ_CHECK(failure.startsWith(LinkTexts::NotOpenPrefix));
        }
        h.port->onWrite = nullptr;
        reached.openFailures += openFailures.size();
    }
    return 0;
}
