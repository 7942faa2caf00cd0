// The station's thread: one loop that waits on its line (StationChannel) for
// the program's bytes, its opens and closes, and a stop; or, with a clock of
// the options' own, the same rounds run by Poll() on the caller's thread.
// Frames come from StationFrames, independent of the program's link code.
#include "StationSimulator.h"

#include "StationChannel.h"
#include "StationFrames.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

using StationFrames::Invitation;
using StationFrames::Wake;
constexpr int FrameSize = int(StationFrames::FrameSize);
constexpr std::int64_t InvitePeriodMs = 250;
constexpr std::int64_t ResendAfterMs = 1000;
constexpr std::int64_t StalePartialMs = 300; // an unfinished frame is dropped after this
constexpr std::int64_t ReopenAfterHangUpMs = 1000;
constexpr std::int64_t ByteNs = 10'000'000'000LL / 2400; // 10 bits at 2400 baud
// Without baud pacing, a reply still leaves only this long after its request
// arrived: the program purges its input right after sending a request, and a
// reply that beat that purge would be lost (a real line is never that fast).
constexpr std::int64_t TurnaroundNs = 20'000'000;

class WallClock final : public StationClock
{
public:
    std::int64_t NowNs() override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void SleepUntilNs(std::int64_t ns) override
    {
        std::this_thread::sleep_until(
            std::chrono::steady_clock::time_point(std::chrono::nanoseconds(ns)));
    }
};

QString Hex(const Bytes& b)
{
    QString out;
    for (std::uint8_t v : b)
        out += QString::asprintf("%02X ", v);
    return out.trimmed();
}

} // namespace

std::shared_ptr<StationClock> WallStationClock()
{
    return std::make_shared<WallClock>();
}

struct StationSimulator::Impl final : StationChannel::Events
{
    StationOptions options;
    std::shared_ptr<StationClock> clock;

    mutable std::mutex mutex; // guards image, path, stats
    ParamImage image;
    QString path;
    StationStats stats;

    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> running{false};
    std::atomic<bool> woken{false};
    std::unique_ptr<StationChannel> channel;

    // Station thread state.
    std::mt19937_64 random;
    bool sideOpen = false; // the program has its side open
    bool silent = false;
    int framesSinceWake = 0;
    Bytes lastFrame;
    std::int64_t lastActivityMs = 0; // last frame sent or request received
    std::int64_t lastInviteMs = 0;
    Bytes rx;
    std::int64_t rxFirstNs = 0; // when the first byte of the unfinished frame came
    std::int64_t rxLastMs = 0;
    std::int64_t hungUpMs = 0;

    std::int64_t NowNs() { return clock->NowNs(); }
    std::int64_t NowMs() { return NowNs() / 1'000'000; }
    void SleepUntilNs(std::int64_t ns) { clock->SleepUntilNs(ns); }

    void log(const QString& line, bool fault)
    {
        if (!fault && !options.verbose)
            return;
        const QString text = QStringLiteral("lumk-station: ") + line;
        if (options.log)
            options.log(text);
        else
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    template <typename F> void withStats(F f)
    {
        std::lock_guard lock(mutex);
        f(stats);
    }

    // Opens the line (again after a hang-up), unwoken, with nothing received.
    bool openLine(QString* error);
    void run();
    // One round: takes the line's events and bytes and does what is due.
    // Returns how long to wait before the next round (ms; negative: until the
    // program opens its side), with forInput when its bytes end the wait early.
    std::int64_t step(bool& forInput);
    bool wait(std::int64_t ms, bool forInput)
    {
        channel->Wait(ms, forInput);
        return !stop;
    }
    // Back to the unwoken state with nothing half-received.
    void forgetSession();
    void sideOpened() override;
    void sideClosed() override;
    void receive();
    void parse();
    void handleWake();
    void handleRequest(const Bytes& frame, std::int64_t arrivalNs);
    Bytes blockFrame(int block, std::uint8_t command);
    void sendBlockFrame(const Bytes& frame, bool resend);
    void sendRaw(const std::uint8_t* data, std::size_t n);
    void hangUp();
    bool draw(double rate)
    {
        return rate > 0 && std::uniform_real_distribution<double>(0, 1)(random) < rate;
    }
};

StationSimulator::StationSimulator(StationOptions options) : d(std::make_unique<Impl>())
{
    d->options = std::move(options);
    d->clock = d->options.clock ? d->options.clock : WallStationClock();
    d->image = d->options.image;
    d->random.seed(d->options.seed);
}

StationSimulator::~StationSimulator()
{
    Stop();
}

StationOptions StationSimulator::DefaultOptions()
{
    StationOptions o;
    o.image = DemoImage();
    return o;
}

ParamImage StationSimulator::DemoImage()
{
    ParamImage image;
    // Speech mode (byte 1 bit 0x04), every page used, delays of every code.
    image.setByte(0, 0x80 | 0x10);        // 1: Сообщ.1, 60 s
    image.setByte(1, 0x88 | 0x20 | 0x04); // 2: Сообщ.2, 120 s
    image.setByte(4, 0xC0 | 0x30);        // 5: Сообщ.3, 240 s
    image.setByte(11, 0xC8);              // 12: Сообщ.4, 30 s
    image.setByte(16, 0x80 | 0x20);       // 17: Сообщ.1, 120 s
    image.setByte(29, 0xC8 | 0x10);       // 30: Сообщ.4, 60 s
    image.setByte(39, 0x88 | 0x30);       // 40: Сообщ.2, 240 s
    image.setByte(50, 0xC0 | 0x10);       // 51: Сообщ.3, 60 s
    image.setByte(63, 0x80 | 0x30);       // 64: Сообщ.1, 240 s
    const std::uint8_t tail[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    for (int i = 0; i < 8; ++i)
        image.setByte(64 + i, tail[i]);
    return image;
}

bool StationSimulator::Start(QString* error)
{
    if (d->running)
        return true;
    d->channel = MakeStationChannel(d->options, error);
    if (!d->channel)
        return false;
    if (!d->openLine(error)) {
        d->channel->Close();
        d->channel.reset();
        return false;
    }
    d->stop = false;
    d->running = true;
    d->lastInviteMs = d->NowMs() - InvitePeriodMs;
    if (!d->options.clock)
        d->thread = std::thread([this] { d->run(); });
    return true;
}

void StationSimulator::Stop()
{
    if (!d->running)
        return;
    d->stop = true;
    d->channel->Interrupt();
    if (d->thread.joinable())
        d->thread.join();
    d->channel->Close();
    d->running = false;
}

bool StationSimulator::Running() const
{
    return d->running;
}

void StationSimulator::Poll()
{
    if (!d->running || d->thread.joinable())
        return;
    // Rounds until one has nothing more to do at this moment; the bound only
    // guards against a line that never runs dry.
    for (int round = 0; round < 64 && !d->stop; ++round) {
        bool forInput = false;
        if (d->step(forInput) != 0)
            return;
    }
}

QString StationSimulator::ProgramSidePath() const
{
    std::lock_guard lock(d->mutex);
    return d->path;
}

ParamImage StationSimulator::Image() const
{
    std::lock_guard lock(d->mutex);
    return d->image;
}

void StationSimulator::SetImage(const ParamImage& image)
{
    std::lock_guard lock(d->mutex);
    d->image = image;
}

StationStats StationSimulator::Stats() const
{
    std::lock_guard lock(d->mutex);
    return d->stats;
}

bool StationSimulator::Woken() const
{
    return d->woken;
}

bool StationSimulator::ProgramSideLine(StationLine& line) const
{
    return d->running && d->channel->ProgramSideLine(line);
}

// --- station thread -----------------------------------------------------------

bool StationSimulator::Impl::openLine(QString* error)
{
    if (!channel->Open(error))
        return false;
    {
        std::lock_guard lock(mutex);
        path = channel->ProgramSidePath();
    }
    sideOpen = false;
    woken = false;
    silent = false;
    rx.clear();
    return true;
}

void StationSimulator::Impl::forgetSession()
{
    woken = false;
    silent = false;
    framesSinceWake = 0;
    lastFrame.clear();
    rx.clear();
}

void StationSimulator::Impl::sideOpened()
{
    sideOpen = true;
    forgetSession();
    lastInviteMs = NowMs() - InvitePeriodMs; // invite at once
    log(QStringLiteral("program opened its side"), false);
}

void StationSimulator::Impl::run()
{
    while (!stop) {
        bool forInput = false;
        const std::int64_t ms = step(forInput);
        if (!wait(ms, forInput))
            break;
    }
}

std::int64_t StationSimulator::Impl::step(bool& forInput)
{
    forInput = false;
    if (!channel->Up()) {
        // Hung up: a new line after a pause.
        const std::int64_t left = hungUpMs + ReopenAfterHangUpMs - NowMs();
        if (left > 0)
            return left;
        QString error;
        if (!openLine(&error)) {
            log(QStringLiteral("cannot open a new line: ") + error, true);
            hungUpMs = NowMs();
            return ReopenAfterHangUpMs;
        }
        const QString newPath = channel->ProgramSidePath();
        log(QStringLiteral("new program side ") + newPath, true);
        if (options.pathChanged)
            options.pathChanged(newPath);
        return 0;
    }
    channel->TakeEvents(*this);
    if (!sideOpen) {
        // Closed side: sleep until it is opened (nothing can come from the
        // program meanwhile).
        return -1;
    }
    receive();
    parse();
    if (!sideOpen || stop)
        return 0;
    const std::int64_t now = NowMs();
    if (!rx.empty() && now - rxLastMs > StalePartialMs) {
        log(QStringLiteral("dropped an unfinished frame: ") + Hex(rx), false);
        rx.clear();
    }
    std::int64_t nextMs = now + InvitePeriodMs;
    if (!silent && !woken) {
        if (now - lastInviteMs >= InvitePeriodMs) {
            sendRaw(Invitation.data(), Invitation.size());
            lastInviteMs = now;
            withStats([](StationStats& s) { ++s.invitations; });
        }
        nextMs = std::min(nextMs, lastInviteMs + InvitePeriodMs);
    } else if (!silent && !lastFrame.empty()) {
        if (now - lastActivityMs >= ResendAfterMs) {
            log(QStringLiteral("no request for a second: sending the last frame again"), false);
            withStats([](StationStats& s) { ++s.resends; });
            sendBlockFrame(lastFrame, true);
            if (!sideOpen)
                return 0;
        }
        nextMs = std::min(nextMs, lastActivityMs + ResendAfterMs);
    }
    if (!rx.empty())
        nextMs = std::min(nextMs, rxLastMs + StalePartialMs + 1);
    forInput = true;
    return std::max<std::int64_t>(0, nextMs - NowMs());
}

void StationSimulator::Impl::sideClosed()
{
    sideOpen = false;
    forgetSession();
    channel->DiscardUnread();
    withStats([](StationStats& s) { ++s.programCloses; });
    log(QStringLiteral("program closed its side: waiting for it, unwoken"), false);
}

void StationSimulator::Impl::receive()
{
    std::uint8_t buf[256];
    for (;;) {
        const std::int64_t n = channel->Read(buf, sizeof buf);
        if (n < 0) {
            sideClosed();
            return;
        }
        if (n == 0)
            return; // nothing more for now
        const std::int64_t now = NowNs();
        if (rx.empty())
            rxFirstNs = now;
        rx.insert(rx.end(), buf, buf + n);
        rxLastMs = now / 1'000'000;
    }
}

void StationSimulator::Impl::parse()
{
    while (!rx.empty() && sideOpen && !stop) {
        std::size_t need = 0;
        if (rx[0] != 0xFF) {
            need = 0;
        } else if (rx.size() < 2) {
            return;
        } else if (rx[1] == 0x80) {
            need = Wake.size();
        } else if (rx[1] == 0x81) {
            need = FrameSize;
        }
        if (need == 0) {
            log(QStringLiteral("skipped a stray byte %1").arg(rx[0], 2, 16, QLatin1Char('0')),
                false);
            rx.erase(rx.begin());
            if (!rx.empty())
                rxFirstNs = NowNs();
            continue;
        }
        if (rx.size() < need)
            return;
        const Bytes frame(rx.begin(), rx.begin() + std::ptrdiff_t(need));
        // With baud pacing a frame has arrived only after its own line time.
        const std::int64_t arrivalNs = rxFirstNs + std::int64_t(need) * ByteNs;
        rx.erase(rx.begin(), rx.begin() + std::ptrdiff_t(need));
        const std::int64_t nextFirst = NowNs();
        if (need == Wake.size()) {
            if (std::equal(frame.begin(), frame.end(), Wake.begin())) {
                if (options.baudPacing)
                    SleepUntilNs(arrivalNs);
                handleWake();
            } else {
                log(QStringLiteral("ignored a bad wake frame: ") + Hex(frame), false);
                withStats([](StationStats& s) { ++s.badRequests; });
            }
        } else {
            handleRequest(frame, arrivalNs);
        }
        if (!rx.empty())
            rxFirstNs = nextFirst;
    }
}

void StationSimulator::Impl::handleWake()
{
    log(QStringLiteral("woken"), false);
    woken = true;
    silent = false;
    framesSinceWake = 0;
    withStats([](StationStats& s) { ++s.wakes; });
    sendBlockFrame(blockFrame(0, 'S'), false);
}

void StationSimulator::Impl::handleRequest(const Bytes& f, std::int64_t arrivalNs)
{
    const bool wellFormed = StationFrames::WellFormedRequest(f.data(), f.size());
    if (!wellFormed) {
        log(QStringLiteral("ignored a bad request: ") + Hex(f), false);
        withStats([](StationStats& s) { ++s.badRequests; });
        return;
    }
    if (!woken) {
        log(QStringLiteral("ignored a request before the wake frame"), false);
        return;
    }
    if (f[3] == 'W' && !silent && draw(options.faults.dropWrite)) {
        // Lost on the way in: the silence that follows makes the last frame go out again.
        log(QStringLiteral("fault: request W block %1 lost").arg(f[4]), true);
        withStats([](StationStats& s) { ++s.faults; });
        return;
    }
    lastActivityMs = NowMs();
    if (silent)
        return;
    SleepUntilNs(options.baudPacing ? arrivalNs : NowNs() + TurnaroundNs);
    const int block = f[4];
    if (f[3] == 'W') {
        ParamImage completed;
        bool complete = false;
        {
            std::lock_guard lock(mutex);
            image.setBlock(block, f.data() + 5);
            // The program writes the blocks in order: block 5 ends its write,
            // whatever came between (a wake after an invitation, a lost
            // request, a read), so whoever looks at the station's image then
            // sees all of it.
            if (block == StationFrames::Blocks - 1) {
                complete = true;
                completed = image;
                ++stats.writesCompleted;
            }
        }
        if (complete) {
            log(QStringLiteral("write completed"), false);
            if (options.writeCompleted)
                options.writeCompleted(completed);
        }
    }
    withStats([](StationStats& s) { ++s.requestsAnswered; });
    sendBlockFrame(blockFrame(block, f[3]), false);
}

Bytes StationSimulator::Impl::blockFrame(int block, std::uint8_t command)
{
    ParamImage::Block data;
    {
        std::lock_guard lock(mutex);
        data = image.block(block);
    }
    const StationFrames::Frame f = StationFrames::BlockReply(command, block, data.data());
    return Bytes(f.begin(), f.end());
}

void StationSimulator::Impl::sendBlockFrame(const Bytes& frame, bool resend)
{
    lastFrame = frame;
    lastActivityMs = NowMs();
    const StationFaults& fl = options.faults;
    if (fl.hangUpAfter >= 0 && framesSinceWake >= fl.hangUpAfter) {
        log(QStringLiteral("fault: hanging up after %1 frames").arg(framesSinceWake), true);
        withStats([](StationStats& s) { ++s.faults; });
        hangUp();
        return;
    }
    if (fl.silentAfter >= 0 && framesSinceWake >= fl.silentAfter) {
        if (!silent)
            log(QStringLiteral("fault: going silent after %1 frames").arg(framesSinceWake), true);
        if (!silent)
            withStats([](StationStats& s) { ++s.faults; });
        silent = true;
        return;
    }
    ++framesSinceWake;
    withStats([](StationStats& s) { ++s.framesSent; });
    const QString what = QStringLiteral("%1 block %2%3")
                             .arg(QChar(frame[3]))
                             .arg(frame[4])
                             .arg(resend ? QStringLiteral(" (resent)") : QString());
    const auto fault = [&](const QString& text) {
        log(QStringLiteral("fault: ") + text + QStringLiteral(" in frame ") + what, true);
        withStats([](StationStats& s) { ++s.faults; });
    };
    if (draw(fl.drop)) {
        fault(QStringLiteral("dropped"));
        return;
    }
    if (draw(fl.invite)) {
        fault(QStringLiteral("invitation sent"));
        sendRaw(Invitation.data(), Invitation.size());
        return;
    }
    Bytes out = frame;
    if (draw(fl.truncate)) {
        const int keep = std::uniform_int_distribution<int>(1, FrameSize - 1)(random);
        fault(QStringLiteral("truncated to %1 bytes").arg(keep));
        out.resize(std::size_t(keep));
    } else if (draw(fl.wrongBlock)) {
        // A whole frame of another block: consistent in itself, so the program
        // can tell it only by the block it expects (never stores wrong data).
        const int other = (out[4] + std::uniform_int_distribution<int>(1, 5)(random)) % 6;
        fault(QStringLiteral("wrong block %1").arg(other));
        out = blockFrame(other, out[3]);
    } else if (draw(fl.corrupt)) {
        const int at = std::uniform_int_distribution<int>(0, FrameSize - 1)(random);
        const int mask = std::uniform_int_distribution<int>(1, 255)(random);
        fault(QStringLiteral("byte %1 corrupted (xor %2)")
                  .arg(at)
                  .arg(mask, 2, 16, QLatin1Char('0')));
        out[std::size_t(at)] ^= std::uint8_t(mask);
    }
    sendRaw(out.data(), out.size());
}

void StationSimulator::Impl::sendRaw(const std::uint8_t* data, std::size_t n)
{
    if (!sideOpen)
        return;
    if (!options.baudPacing) {
        std::size_t done = 0;
        while (done < n) {
            const std::int64_t w = channel->Write(data + done, n - done);
            if (w <= 0)
                return; // side closed or its buffer full: the bytes are lost
            done += std::size_t(w);
        }
        return;
    }
    const std::int64_t start = NowNs();
    for (std::size_t i = 0; i < n && !stop; ++i) {
        SleepUntilNs(start + std::int64_t(i + 1) * ByteNs);
        if (channel->Write(data + i, 1) != 1)
            return;
    }
}

void StationSimulator::Impl::hangUp()
{
    channel->HangUp();
    hungUpMs = NowMs();
    sideOpen = false;
    woken = false;
    silent = false;
    framesSinceWake = 0;
    lastFrame.clear();
    rx.clear();
}
