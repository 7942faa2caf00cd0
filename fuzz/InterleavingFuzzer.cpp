// Fuzz target: the operator, the 100 ms timer and the station interleaved in
// virtual time. The real model, file commands and device session (the transfer
// engine under the write guard: backup, write, read-back, the record of what
// the device holds) run against a station built here from the byte layout of
// the frames (its own checksum and framing, not the link code), on a line that
// tags every byte with the frame it came from. The operator selects ports (the
// same station, another one with other data, one that cannot be opened, one
// where nothing answers; reading into the table or only into the record),
// reads (confirmed by a second read, a third one when asked, answered either
// way), reads the device only (the comparison), writes with a backup and a
// read-back, aborts ("Прервать"), saves and opens through the document, edits
// cells by the popup's rules, clicks headers, changes the mode and the
// options, undoes and redoes; it asks before replacing the table where the
// window does. Modal waits (messages, the session's reports, questions, file
// dialogs) run nested ticks and station events. The station answers, answers late, drops, corrupts, sends an
// invitation, cuts frames, adds noise, goes silent, hangs up (or its line
// does), comes back, and is replaced by another station.
//
// "The line made it unknowable" below means: a stale or forged frame passed the
// reply check, the station was replaced, or another port was opened (ticks
// inside "Нет устройства" read the newly opened port).
//
// Invariants, checked after every step:
//  W1 "Записано": the station on the line holds exactly bytes 0..69 of the
//     image the write started with (the table's encoding when the session
//     began it, after a backup read if one was needed), unless a 'W' request
//     was lost on a silent line or the line made it unknowable;
//  V1 a guarded write's read-back result (Verified: what was written;
//     Differs: what two read-backs agreed on) is what the station holds, unless
//     the line made it unknowable after "Записано";
//  W2 every 'W' request carries the block of the image the write started with,
//     unless the engine may have taken a stale frame, or a true frame of the
//     station after a lost 'W', for that request's echo;
//  R1 a read that ends with its decode (not locked, no write joined, none
//     begun after it in the same tick) leaves image and table exactly the
//     station's image, unless the line made that unknowable;
//  S1 Save writes exactly the encoding of the table at that moment (bytes 64..69
//     from the image); it rebuilds the image only when no transfer is open;
//  O1 Open shows the file's image in the table; it changes the image only when no
//     transfer is open;
//  I1 the image changes only by a tick of an unlocked read, a write's start
//     (bytes 0..63 only; by the operator, or by a tick after the backup read),
//     Save or Open with no transfer open, undo and redo (never while busy),
//     an abort (back to the image the aborted read started from), and a
//     confirmation whose reads agreed on other bytes than the read into the
//     table (to exactly what the record then says the device holds);
//  L1 requests are well formed by the frame layout; a tick sends at most one
//     frame; nothing is sent while idle; a read never stores past 37 bytes of
//     the link buffer; position 0..100 and block index 0..5;
//  K1 after a device-only port selection or a comparison, no tick changes the
//     table until the operator reads into it again;
//  B1 a backup holds bytes 0..69 of what the record says the device holds; a
//     write whose backup failed sent no 'W';
//  T1 the record is true. Holds: the station on the record's port holds bytes
//     0..69 of its image, unless a reply it was read from was no true frame of
//     the station or the line made it unknowable since. PartlyWritten: a write
//     had sent blocks when it stopped, at least that many blocks of the
//     station hold what it sent (unless a stale frame or a lost 'W' may have
//     been taken for an echo), and nothing more is stored while it is shown
//     (unless ticks inside "Нет устройства" run on the port opened again).
//     NoReply: no reply was accepted during the silence it names (at least
//     1 s; a reply counts from the end of the tick that took it).
//     The difference stated between the table and the device is exact
//     (CheckStateShown).
//  T2 the state shown is true: "same" only while the record holds the table's
//     encoding and (when T1 holds the record to the station) the station holds
//     it but for bits the table cannot show; "differs" by exactly the counted
//     addresses and other bytes; partly written and no reply exactly when the
//     record says so. A read into the table or Open never replaces edits that
//     are neither saved nor on the device (nor any configuration read,
//     opened, saved or written before) without the window's question.
// The progress bar's creep to 100 after a silent station is intended and
// allowed: nothing requires a transfer to end.
#include "ConfigFiles.h"
#include "ConfigModel.h"
#include "DeviceSession.h"
#include "DocumentState.h"
#include "EditHistory.h"
#include "FileTexts.h"
#include "ImageFile.h"
#include "LinkTexts.h"
#include "ModelOracle.h"
#include "SerialLink.h"
#include "StationFrames.h"
#include "TableState.h"
#include "TransferEngine.h"
#include "VirtualClock.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

namespace {

// LUMK_FUZZ_TRACE=1 prints what happens, to read a finding.
const bool tracing = std::getenv("LUMK_FUZZ_TRACE") != nullptr;
#define TRACE(...)                                                                                 \
    do {                                                                                           \
        if (tracing)                                                                               \
            std::fprintf(stderr, __VA_ARGS__);                                                     \
    } while (0)

// --- the station's own view of the frames ------------------------------------
constexpr int FrameLen = int(StationFrames::FrameSize);
constexpr int DataLen = int(StationFrames::DataSize);
constexpr int ImageLen = 72;
constexpr int FileBytes = 70;
constexpr int Addresses = 64;
constexpr int Blocks = 6;
constexpr int MaxStored = 2 * FrameLen - 1;
constexpr int MaxDepth = 8;
// What the record may call silence: at least this long without an accepted reply.
constexpr std::int64_t SilenceShownMs = 1000;
const std::uint8_t* const Invite = StationFrames::Invitation.data();
const std::uint8_t* const Wake = StationFrames::Wake.data();

using Image = std::array<std::uint8_t, ImageLen>;

Image imageFromSeed(std::uint32_t seed)
{
    Image img{};
    std::uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : img) {
        x = x * 1103515245u + 12345u;
        b = std::uint8_t(x >> 16);
    }
    return img;
}

struct Station
{
    int id = 0;
    Image image{};
    long epoch = 0; // bumped by every stored 'W'
    bool silent = false;
    bool present = true;
};

struct Frame
{
    int station;
    long epoch;
};

struct Reached
{
    long checkedReads = 0, checkedWrites = 0, saves = 0, savesInTransfer = 0, opens = 0,
         opensInTransfer = 0, connects = 0, lostAnswers = 0, checkedVerifies = 0,
         deviceReads = 0, backups = 0, refused = 0, aborts = 0, cuts = 0, recordsTrue = 0,
         partlyChecked = 0, silenceChecked = 0, sameShownTrue = 0, differsShown = 0,
         editsAsked = 0, undos = 0, replacedByConfirmation = 0;
    ~Reached()
    {
        if (std::getenv("LUMK_FUZZ_STATS"))
            std::fprintf(stderr,
                         "reached: reads checked %ld, writes checked %ld, saves %ld (%ld in a "
                         "transfer), opens %ld (%ld in a transfer), connections %ld, "
                         "read-backs checked %ld, device reads %ld, backups %ld, refused %ld, "
                         "aborts %ld, cuts %ld, records held true %ld, partly written "
                         "checked %ld, silences checked %ld, same shown true %ld, differs shown %ld, "
                         "edits asked about %ld, undo/redo %ld, tables replaced by "
                         "confirmation %ld\n",
                         checkedReads, checkedWrites, saves, savesInTransfer, opens,
                         opensInTransfer, connects, checkedVerifies, deviceReads, backups,
                         refused, aborts, cuts, recordsTrue, partlyChecked, silenceChecked,
                         sameShownTrue, differsShown, editsAsked, undos, replacedByConfirmation);
    }
} reached;

const QString PortNames[4] = {QStringLiteral("ttyA"), QStringLiteral("ttyB"),
                              QStringLiteral("ttyDead"), QStringLiteral("ttyMute")};

QDir& workDir()
{
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isDir()
                                 ? QStringLiteral("/dev/shm/lumk-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/lumk-fuzz-XXXXXX"));
    static QDir d(dir.path());
    return d;
}

QByteArray fileText(const ParamImage& image)
{
    QByteArray bytes(FileBytes, '\0');
    for (int i = 0; i < FileBytes; ++i)
        bytes[i] = char(image.byte(i));
    return bytes.toHex().toUpper() + "\r\n";
}

// The difference the window states between the table and the device: the
// record's count against the table's encoding, held to a count made here.
ImageDifference CheckStateShown(const DeviceRecord& record, const ParamImage& tableImage)
{
    int addresses = 0, otherBytes = 0;
    for (int i = 0; i < FileBytes; ++i) {
        if (record.image.byte(i) != tableImage.byte(i))
            ++(i < Addresses ? addresses : otherBytes);
    }
    const ImageDifference shown = record.DifferenceFrom(tableImage);
    FUZZ_CHECK(shown.addresses == addresses && shown.otherBytes == otherBytes);
    FUZZ_CHECK(record.SameAs(tableImage) ==
               (record.content == DeviceRecord::Content::Holds && addresses + otherBytes == 0));
    return {addresses, otherBytes};
}

// Whether a device holding `device` holds the table encoded as `table`, but
// for bits the table cannot show (decoded and encoded again they are gone).
bool HoldsAsShown(const ParamImage& device, const ParamImage& table)
{
    if (CompareImages(device, table).none())
        return true;
    ConfigModel shows;
    shows.ImageToTable(device);
    ParamImage shown = device;
    shows.TableToImage(shown);
    return CompareImages(shown, table).none();
}

struct Harness;

// The line: bytes arrive at virtual times, each tagged with its frame.
class Line : public SerialBackend
{
public:
    explicit Line(Harness& h) : h_(h) {}
    struct Byte
    {
        std::int64_t at;
        std::uint8_t v;
        int frame;  // -1: not part of a station frame
        int offset; // position in its frame
    };
    bool Open(const QString& name) override;
    void Close() override
    {
        open = false;
        hungUp = false;
        name.clear();
        bytes.clear();
    }
    std::int64_t Read(std::uint8_t* dest, std::int64_t maxBytes) override;
    std::int64_t Write(const std::uint8_t* src, std::int64_t count, int timeoutMs) override;
    void Purge(unsigned flags) override;
    bool HungUp() const override { return open && hungUp; }

    void Deliver(const std::uint8_t* p, int n, std::int64_t delay, int frame);

    bool open = false;
    bool hungUp = false; // until the port is opened again
    QString name;
    std::deque<Byte> bytes;
    Byte tags[LinkBufferSize] = {}; // what each buffer position last received

private:
    Harness& h_;
};

struct Harness : MessageSink, FileCommandPrompts
{
    explicit Harness(FuzzedDataProvider& input) : in(input)
    {
        QObject::connect(&session, &DeviceSession::recordChanged,
                         [this](const DeviceRecord& record) { recordChanged(record); });
        QObject::connect(&session, &DeviceSession::backupWritten,
                         [this](const QByteArray& path) { backupWritten(path); });
        QObject::connect(&session, &DeviceSession::writeEnded,
                         [this](const WriteReport& report) { writeEnded(report); });
        QObject::connect(&session, &DeviceSession::writeCut,
                         [this](const CutWrite& cut) { writeCut(cut); });
        // Two reads differed: the window asks once the tick is over.
        QObject::connect(&session, &DeviceSession::readsDisagree, [this] { askAgain = true; });
        QObject::connect(&session, &DeviceSession::tableReplaced, [this] {
            tableReplaced();
            readReplacedTable();
        });
        QObject::connect(&engine, &TransferEngine::tableRead, [this] { readReplacedTable(); });
        QObject::connect(&engine, &TransferEngine::progressChanged,
                         [this](int, bool visible) { history.TransferShown(visible); });
        session.SetConfirmReads(true);
    }

    FuzzedDataProvider& in;
    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    std::shared_ptr<Line> line = std::make_shared<Line>(*this);
    ConfigModel model;
    DeviceSession session{model, *this, parts()};
    DocumentState document{model, *this};
    EditHistory history{model, document, [this] { return session.Busy(); }};
    // Every configuration the table was set to by a read, Open, Save or a
    // verified write (bytes 0..69 of its encoding): a table equal to none of
    // them holds the operator's edits.
    std::vector<ParamImage> baselines;
    AddressTable writeTable; // the table when the last backup was written
    TransferEngine& engine = session.engine();
    SerialLink& link = session.link();
    Station stations[2];
    int nextStation = 0;
    std::vector<Frame> frames;
    QStringList messages;
    int depth = 0;
    long ticksRun = 0;
    int writesInTick[MaxDepth + 2] = {};
    // The tick running at each depth: the block it expects, whether a transfer
    // ran when it began, whether it took a reply, whether that reply was
    // looked at.
    bool inTick[MaxDepth + 2] = {};
    int blockAtTick[MaxDepth + 2] = {};
    bool runningAtTick[MaxDepth + 2] = {};
    bool acceptedInTick[MaxDepth + 2] = {};
    bool replySeen[MaxDepth + 2] = {};

    // What the current write and read may be held to.
    bool writeTracked = false;
    Image writeImage{};
    long writeStarts = 0;
    bool writeLost = false, writeReplaced = false, writeStale = false;
    // The last 'W' of each block since the write last started over.
    std::array<std::array<std::uint8_t, DataLen>, Blocks> sentW{};
    unsigned sentMask = 0;
    long writesSinceCommand = 0; // 'W' requests since the write command
    bool readClean = false, readDirty = false;
    // The read-back after the last "Записано".
    bool checkTracked = false, checkDirty = false;

    // What the record may be held to: whether the last accepted reply of each
    // block was a true frame of the station on the line, when the tick that
    // took the last accepted reply ended, the record as last reported and what
    // it may be held to.
    std::array<bool, Blocks> replyTrue{};
    std::int64_t lastAcceptedMs = clock->NowMs();
    DeviceRecord shown;
    bool recordTrusted = false;
    bool cutTrusted = false;
    bool reopenedSinceCut = false;
    int cutStation = -1;
    long cutEpoch = 0;

    SessionParts parts()
    {
        SessionParts p;
        p.transports = [l = line](const QString&) -> std::shared_ptr<SerialBackend> { return l; };
        p.clock = clock;
        // Backups are named by the virtual time.
        p.now = [c = clock] {
            return QDateTime::fromMSecsSinceEpoch(1'767'225'600'000 + c->NowMs(), Qt::UTC);
        };
        return p;
    }

    bool stepInput() const { return in.remaining_bytes() > 0; }

    // As the window takes a read's table: the document's origin and one step.
    void readReplacedTable()
    {
        document.SetBaseline(DocumentState::Origin::Device, engine.LinkPort());
        history.RecordReplacement(QStringLiteral("read"));
        noteBaseline();
    }
    void noteBaseline() { baselines.push_back(expectedEncoding(model.image())); }
    // The table holds edits neither saved to a file nor on the device.
    bool unsavedEdits() const
    {
        if (model.ConfigLocked())
            return false;
        const ParamImage table = expectedEncoding(model.image());
        if (session.record().SameAs(table))
            return false;
        return std::none_of(baselines.begin(), baselines.end(), [&](const ParamImage& b) {
            return CompareImages(b, table).none();
        });
    }
    // T2: the window asks before a read replaces such a table.
    bool asksBeforeRead()
    {
        const bool asks = document.AsksBeforeReplacing();
        if (unsavedEdits()) {
            FUZZ_CHECK(asks);
            ++reached.editsAsked;
        }
        if (!asks)
            return true;
        modal();
        return pick(0, 1, 0) == 1;
    }
    int pick(int lo, int hi, int fallback)
    {
        return stepInput() ? in.ConsumeIntegralInRange(lo, hi) : fallback;
    }

    Station* stationFor(const QString& port)
    {
        if (port == PortNames[0])
            return &stations[0];
        if (port == PortNames[1])
            return &stations[1];
        return nullptr;
    }
    Station* onLine() { return line->open ? stationFor(line->name) : nullptr; }

    Station fresh(std::uint32_t seed)
    {
        Station s;
        s.id = nextStation++;
        s.image = imageFromSeed(seed);
        return s;
    }

    // The line made what was read from it unknowable.
    void lineTainted()
    {
        readDirty = true;
        checkDirty = true;
        writeReplaced = true;
        replyTrue.fill(false);
        recordTrusted = false;
    }

    // --- the station --------------------------------------------------------
    int newFrame(const Station& s)
    {
        frames.push_back({s.id, s.epoch});
        return int(frames.size()) - 1;
    }

    void sendBlock(Station& s, std::uint8_t command, int block)
    {
        StationFrames::Frame frame =
            StationFrames::BlockReply(command, block, s.image.data() + DataLen * block);
        std::uint8_t* const f = frame.data();
        const int id = newFrame(s);
        const int how = pick(0, 11, 0);
        TRACE("%*s station %d sends %c %d as %d\n", depth * 2, "", s.id, command, block, how);
        switch (how) {
        case 6: // late
            line->Deliver(f, FrameLen, pick(500, 3000, 500), id);
            return;
        case 7: // lost on the way
            ++reached.lostAnswers;
            return;
        case 8: // one byte damaged: never passes the reply check with other data
            f[pick(0, FrameLen - 1, 0)] ^= std::uint8_t(pick(1, 255, 1));
            break;
        case 9: // an invitation instead
            line->Deliver(Invite, 4, pick(0, 90, 30), -1);
            return;
        case 10: { // cut short
            line->Deliver(f, pick(1, FrameLen - 1, 1), pick(0, 90, 30), id);
            return;
        }
        case 11: { // noise first
            std::uint8_t noise[8];
            const int n = pick(1, 8, 1);
            for (int i = 0; i < n; ++i)
                noise[i] = std::uint8_t(pick(0, 255, 0));
            const std::int64_t delay = pick(0, 90, 30);
            line->Deliver(noise, n, delay, -1);
            line->Deliver(f, FrameLen, delay, id);
            return;
        }
        default:
            break;
        }
        line->Deliver(f, FrameLen, pick(0, 90, 30), id);
    }

    // The reply the engine handled in this tick: taints what it makes unknowable,
    // and notes an accepted one (the engine takes one reply a tick, for the
    // block it expected when the tick began).
    void inspectReply()
    {
        const bool first = inTick[depth] && !replySeen[depth];
        replySeen[depth] = true;
        std::uint8_t r[FrameLen];
        bool whole = true;
        for (int i = 0; i < FrameLen; ++i) {
            r[i] = line->tags[i].v;
            whole = whole && line->tags[i].frame >= 0 && line->tags[i].offset == i &&
                    line->tags[i].frame == line->tags[0].frame;
        }
        const bool passes = r[4] <= 5 && r[17] == StationFrames::SumOf3To16(r);
        TRACE("%*s reply block %d passes %d (expected %d, first %d)\n", depth * 2, "", r[4], passes,
              blockAtTick[depth], first);
        if (!passes)
            return;
        bool current = false;
        if (whole) {
            const Frame& f = frames.at(std::size_t(line->tags[0].frame));
            const Station* s = onLine();
            current = s && s->id == f.station && s->epoch == f.epoch;
        }
        if (first && r[4] == blockAtTick[depth]) {
            replyTrue[r[4]] = current;
            // A reply the transfer took (not one read after it timed out or
            // its check read gave up in this tick) ends a silence.
            const bool completes = blockAtTick[depth] == Blocks - 1 && engine.BlockIndex() == 0;
            if (runningAtTick[depth] && (engine.ProgressVisible() || completes))
                acceptedInTick[depth] = true;
        }
        if (!current) {
            readDirty = true;
            writeStale = true;
            checkDirty = true;
            return;
        }
        // A true frame of the station that is no echo of the 'W' sent for its
        // block (that request was lost): storing it would send the device's own
        // block back. The line cannot tell the two apart.
        if (writeTracked && (sentMask & (1u << r[4])) &&
            !std::equal(r + 5, r + 5 + DataLen, sentW[r[4]].begin()))
            writeStale = true;
    }

    void onWrite(const std::uint8_t* p, int n)
    {
        TRACE("%*s write %d bytes cmd %c block %d (t=%lld)\n", depth * 2, "", n,
              n == FrameLen ? p[3] : '-', n == FrameLen ? p[4] : -1, (long long)clock->NowMs());
        FUZZ_CHECK(depth < MaxDepth);
        FUZZ_CHECK(++writesInTick[depth] <= 1 || depth == 0); // L1: one frame a tick
        if (n == 5) {
            FUZZ_CHECK(std::equal(p, p + 5, Wake));
        } else {
            FUZZ_CHECK(n == FrameLen);
            FUZZ_CHECK(p[0] == 0xFF && p[1] == 0x81 && p[2] == 0x00);
            FUZZ_CHECK(p[3] == 'W' || p[3] == 'S' || p[3] == 'R');
            FUZZ_CHECK(p[4] <= 5);
            FUZZ_CHECK(p[18] == StationFrames::XorOf0To17(p));
            inspectReply();
            if (p[3] == 'W') {
                FUZZ_CHECK(p[17] == StationFrames::SumOf3To16(p));
                // W2: the write's own image, unless a stale frame was stored.
                if (writeTracked && !writeStale)
                    for (int i = 0; i < DataLen && DataLen * p[4] + i < FileBytes; ++i)
                        FUZZ_CHECK(p[5 + i] == writeImage[DataLen * p[4] + i]);
                std::copy(p + 5, p + 5 + DataLen, sentW[p[4]].begin());
                sentMask |= 1u << p[4];
                ++writesSinceCommand;
            }
        }
        Station* s = onLine();
        if (!s || !s->present || s->silent || line->hungUp) {
            if (n == FrameLen && p[3] == 'W')
                writeLost = true;
            return;
        }
        if (n == 5) {
            sendBlock(*s, 'S', 0);
            return;
        }
        const int block = p[4];
        if (p[3] == 'W') {
            std::copy(p + 5, p + 5 + DataLen, s->image.begin() + DataLen * block);
            ++s->epoch;
        }
        sendBlock(*s, p[3], block);
    }

    // --- the station's own doings -----------------------------------------------
    void stationEvent()
    {
        Station* s = onLine();
        const int what = pick(0, 7, 0);
        TRACE("%*s station event %d\n", depth * 2, "", what);
        switch (what) {
        case 0:
            if (s && s->present)
                line->Deliver(Invite, 4, pick(0, 600, 0), -1);
            break;
        case 1:
            if (s)
                s->silent = !s->silent;
            break;
        case 2: // hangs up
            if (s)
                s->present = false;
            break;
        case 3: // comes back and invites
            if (s) {
                s->present = true;
                s->silent = false;
                line->Deliver(Invite, 4, pick(0, 600, 0), -1);
            }
            break;
        case 4: { // replaced by another station with other data
            const int slot = pick(0, 1, 0);
            const bool wasOnLine = s == &stations[slot];
            stations[slot] = fresh(stepInput() ? in.ConsumeIntegral<std::uint32_t>() : 7);
            if (wasOnLine)
                lineTainted();
            break;
        }
        case 5: { // noise
            std::uint8_t noise[24];
            const int n = pick(1, 24, 1);
            for (int i = 0; i < n; ++i)
                noise[i] = std::uint8_t(pick(0, 255, 0));
            if (line->open)
                line->Deliver(noise, n, pick(0, 900, 0), -1);
            break;
        }
        case 6: // the line itself hangs up (an adapter pulled) until the port is opened again
            if (line->open)
                line->hungUp = true;
            break;
        default: // a frame of its own
            if (s && s->present)
                sendBlock(*s, 'S', pick(0, 5, 0));
            break;
        }
    }

    // --- the timer ------------------------------------------------------------------
    void tick()
    {
        tickOnce();
        // "Прочитать ещё раз?", answered either way.
        if (!askAgain)
            return;
        askAgain = false;
        if (!session.CanReadOnceMore())
            return;
        modal();
        if (session.CanReadOnceMore() && pick(0, 1, 1) == 1) {
            session.ReadOnceMore();
            readClean = false;
        }
    }

    void tickOnce()
    {
        const bool wasVisible = engine.ProgressVisible();
        const bool wasReading = engine.ReadRequested();
        const bool wasWriting = engine.WriteRequested();
        const bool locked = model.ConfigLocked();
        const bool readWatched = readClean && !wasWriting;
        const int modeBefore = model.OperatingMode();
        const CommonOptions optionsBefore = model.options();
        const ParamImage imageBefore = model.image();
        const AddressTable tableBefore = model.table();
        const qsizetype messagesBefore = messages.size();
        const long startsBefore = writeStarts;
        const long replacedBefore = replacements;

        clock->Advance(100);
        TRACE("%*s tick: pos %d block %d read %d write %d\n", depth * 2, "",
              engine.ProgressPosition(), engine.BlockIndex(), wasReading, wasWriting);
        const int d = depth + 1;
        writesInTick[d] = 0;
        inTick[d] = true;
        replySeen[d] = false;
        blockAtTick[d] = engine.BlockIndex();
        runningAtTick[d] = wasVisible;
        acceptedInTick[d] = false;
        ++depth;
        ++ticksRun;
        session.Tick();
        --depth;
        inTick[d] = false;
        // A reply counts from the end of the tick that took it: ticks nested
        // in its messages cannot know of it yet.
        if (acceptedInTick[d])
            lastAcceptedMs = clock->NowMs();
        // The session starts a write once the backup read has ended.
        if (!wasWriting && engine.WriteRequested() && writeStarts == startsBefore)
            noteWriteStart();
        const bool writeBegan = writeStarts != startsBefore;
        // Two confirming reads agreed on other bytes than the read into the
        // table: the table takes them (checked in tableReplaced).
        if (replacements != replacedBefore) {
            checkRecord();
            return;
        }

        FUZZ_CHECK(engine.ProgressPosition() >= 0 && engine.ProgressPosition() <= 100);
        FUZZ_CHECK(engine.BlockIndex() >= 0 && engine.BlockIndex() <= 5);
        if (!wasVisible) { // L1: idle ticks do nothing
            FUZZ_CHECK(writesInTick[d] == 0);
            FUZZ_CHECK(model.image() == imageBefore);
            checkRecord();
            return;
        }
        if (!wasReading || locked) { // I1
            if (!writeBegan)
                FUZZ_CHECK(model.image() == imageBefore);
            for (int i = Addresses; i < ImageLen; ++i)
                FUZZ_CHECK(model.image().byte(i) == imageBefore.byte(i));
        }
        const QStringList shownNow = messages.mid(messagesBefore);
        const bool ended = wasReading && !engine.ReadRequested() &&
                           !shownNow.contains(LinkTexts::NotConnected) &&
                           !shownNow.contains(LinkTexts::Written);
        // A write that began once the read ended has rebuilt the image.
        if (ended && readWatched && !readDirty && !locked && !writeBegan) { // R1
            const Station* s = onLine();
            FUZZ_CHECK(s != nullptr);
            ParamImage want;
            for (int i = 0; i < ImageLen; ++i)
                want.setByte(i, s->image[i]);
            FUZZ_CHECK(model.image() == want);
            oracle::checkDecoded(model, want, modeBefore, optionsBefore);
            ++reached.checkedReads;
        }
        if (!engine.ReadRequested())
            readClean = false;
        if (tableKept) // K1
            FUZZ_CHECK(model.table() == tableBefore);
        checkRecord();
    }

    // A modal wait: the timer goes on ticking and the station goes on acting.
    void modal()
    {
        if (depth >= 4)
            return;
        ++depth;
        writesInTick[depth] = 0;
        inTick[depth] = false;
        for (int n = pick(0, 4, 0); n > 0; --n) {
            if (pick(0, 3, 0) == 2)
                stationEvent();
            else
                tick();
        }
        --depth;
    }

    // --- messages and questions -----------------------------------------------
    void ShowMessage(LinkOutcome outcome) override
    {
        const QString text = LinkTexts::Message(outcome);
        FUZZ_CHECK(text == LinkTexts::NoDevice || text == LinkTexts::NotConnected ||
                   text == LinkTexts::Written);
        messages.append(text);
        TRACE("%*s message %s\n", depth * 2, "", qPrintable(text));
        if (text == LinkTexts::Written) {
            inspectReply(); // the last echo, handled in this tick
            if (writeTracked && !writeLost && !writeReplaced && !writeStale) { // W1
                const Station* s = onLine();
                FUZZ_CHECK(s != nullptr);
                for (int i = 0; i < FileBytes; ++i)
                    FUZZ_CHECK(s->image[i] == writeImage[i]);
                ++reached.checkedWrites;
            }
            writeTracked = false;
            checkTracked = true;
            checkDirty = false;
        }
        if (text == LinkTexts::NotConnected)
            writeTracked = false;
        modal();
    }
    void ShowFileError(const QString& text) override
    {
        FUZZ_CHECK(text == FileTexts::ReadError || text == FileTexts::WriteError);
        modal();
    }
    bool ConfirmReplace(const QString&) override
    {
        if (saveCheck)
            saveCheck();
        modal();
        return pick(0, 1, 1) == 1;
    }
    std::function<void()> saveCheck;

    // --- the session's reports, as the window takes them -------------------------
    void recordChanged(const DeviceRecord& record)
    {
        using Content = DeviceRecord::Content;
        TRACE("%*s record: port %s content %d line %d silent %lld\n", depth * 2, "",
              qPrintable(record.port), int(record.content), int(record.line),
              (long long)record.silentMs);
        if (record.content == Content::Holds &&
            (shown.content != Content::Holds || !(shown.image == record.image) ||
             shown.at != record.at || shown.port != record.port)) {
            if (inTick[depth])
                inspectReply(); // a read's last reply may not be answered yet
            recordTrusted = std::all_of(replyTrue.begin(), replyTrue.end(), [](bool t) { return t; });
        }
        if (record.content == Content::PartlyWritten && shown.content != Content::PartlyWritten) {
            const Station* s = stationFor(record.port);
            cutStation = s ? s->id : -1;
            cutEpoch = s ? s->epoch : 0;
            cutTrusted = !writeStale && !writeReplaced;
            reopenedSinceCut = false;
        }
        shown = record;
        document.SetDevice(record);
    }

    // I1: the image becomes exactly what the record now says the device holds.
    void tableReplaced()
    {
        ++replacements;
        ++reached.replacedByConfirmation;
        const DeviceRecord& record = session.record();
        FUZZ_CHECK(record.content == DeviceRecord::Content::Holds);
        for (int i = 0; i < FileBytes; ++i)
            FUZZ_CHECK(model.image().byte(i) == record.image.byte(i));
        FUZZ_CHECK(!tableKept && !model.ConfigLocked());
    }
    long replacements = 0;

    void backupWritten(const QByteArray& path) // B1
    {
        ++reached.backups;
        writeTable = model.table();
        const DeviceRecord& record = session.record();
        FUZZ_CHECK(record.content == DeviceRecord::Content::Holds);
        FUZZ_CHECK(fileBytes(QFile::decodeName(path)) == fileText(record.image));
    }

    void writeEnded(const WriteReport& report)
    {
        using Outcome = WriteReport::Outcome;
        TRACE("%*s write ended: %d\n", depth * 2, "", int(report.outcome));
        const bool readBack = report.outcome == Outcome::Verified || report.outcome == Outcome::Differs;
        if (readBack && checkTracked && !checkDirty) { // V1
            const Station* s = onLine();
            FUZZ_CHECK(s != nullptr);
            for (int i = 0; i < FileBytes; ++i)
                FUZZ_CHECK(s->image[i] == report.readBack.byte(i));
            ++reached.checkedVerifies;
        }
        checkTracked = false;
        if (report.outcome == Outcome::Verified) { // as the window: the table's origin now
            document.AdoptWritten(report.port, writeTable, report.written);
            baselines.push_back(report.written);
        }
        if (report.outcome == Outcome::Refused) { // B1: nothing was sent
            FUZZ_CHECK(writesSinceCommand == 0);
            ++reached.refused;
        }
        if (report.outcome == Outcome::Verified || report.outcome == Outcome::Written ||
            report.outcome == Outcome::NotConnected || report.outcome == Outcome::Running)
            return; // no box
        modal();
        // "Записать снова?"
        if (report.outcome == Outcome::Differs && pick(0, 1, 0) == 1)
            startWrite();
    }

    void writeCut(const CutWrite& cut)
    {
        TRACE("%*s write cut: %s, %d blocks\n", depth * 2, "", qPrintable(cut.port),
              cut.confirmedBlocks);
        ++reached.cuts;
        FUZZ_CHECK(sentMask != 0); // T1: a block had gone out
        // As the window: a write whose line hung up or closed makes no more
        // progress and ends before its report is shown.
        if (engine.WriteRequested() && (link.HungUp() || !link.IsOpen()))
            session.Abort();
        modal();
    }

    // T1, after every step.
    void checkRecord()
    {
        using Content = DeviceRecord::Content;
        const DeviceRecord& record = session.record();
        const ParamImage table = expectedEncoding(model.image());
        const ImageDifference counted = CheckStateShown(record, table);
        const Station* s = stationFor(record.port);
        // T2: what the state line says is true.
        const TableState state = DescribeTable(record, table, document.HoldsUnshownBytes());
        using Kind = TableState::Kind;
        const bool answering = record.line == DeviceRecord::Line::Answering;
        FUZZ_CHECK((state.kind == Kind::NoPort) == record.port.isEmpty());
        if (state.kind == Kind::Same) {
            FUZZ_CHECK(record.content == Content::Holds && answering);
            if (recordTrusted) { // as T1
                FUZZ_CHECK(s != nullptr);
                ParamImage holds;
                for (int i = 0; i < ImageLen; ++i)
                    holds.setByte(i, s->image[i]);
                FUZZ_CHECK(HoldsAsShown(holds, table));
                ++reached.sameShownTrue;
            }
        }
        if (state.kind == Kind::Differs) {
            FUZZ_CHECK(record.content == Content::Holds && answering);
            FUZZ_CHECK(state.difference == counted && !counted.none());
            ++reached.differsShown;
        }
        if (!record.port.isEmpty() && answering)
            FUZZ_CHECK((state.kind == Kind::PartlyWritten) ==
                       (record.content == Content::PartlyWritten));
        if (!record.port.isEmpty())
            FUZZ_CHECK((state.kind == Kind::NoReply) ==
                       (record.line == DeviceRecord::Line::NoReply));
        if (record.content == Content::Holds && recordTrusted) {
            FUZZ_CHECK(s != nullptr);
            for (int i = 0; i < FileBytes; ++i)
                FUZZ_CHECK(s->image[i] == record.image.byte(i));
            ++reached.recordsTrue;
        }
        if (record.content == Content::PartlyWritten && s && s->id == cutStation) {
            // The write stopped (ticks inside "Нет устройства" on the port
            // opened again still carry it on).
            if (!reopenedSinceCut)
                FUZZ_CHECK(s->epoch == cutEpoch);
            int holding = 0;
            for (int b = 0; b < Blocks; ++b) {
                bool same = true;
                for (int i = DataLen * b; i < DataLen * (b + 1) && i < FileBytes; ++i)
                    same = same && s->image[i] == writeImage[i];
                holding += same;
            }
            if (cutTrusted) {
                FUZZ_CHECK(record.confirmedBlocks <= holding);
                ++reached.partlyChecked;
            }
        }
        if (record.line == DeviceRecord::Line::NoReply) {
            FUZZ_CHECK(record.silentMs >= SilenceShownMs);
            FUZZ_CHECK(clock->NowMs() - lastAcceptedMs >= record.silentMs);
            ++reached.silenceChecked;
        }
    }

    // --- restarts -------------------------------------------------------------
    // `readRunning`: a read into the table was already running; an abort puts
    // back the image that read began from.
    void readStarted(bool readRunning)
    {
        if (!readRunning)
            imageAtRead = model.image();
        readClean = !engine.WriteRequested();
        readDirty = false;
        if (engine.WriteRequested()) {
            writeLost = writeReplaced = false;
            sentMask = 0;
        }
    }

    ParamImage imageAtRead; // the image when the last read into the table began

    // A write began (or started over): it sends the image as it stands.
    void noteWriteStart()
    {
        ++writeStarts;
        for (int i = 0; i < ImageLen; ++i)
            writeImage[i] = model.image().byte(i);
        writeTracked = true;
        writeLost = writeReplaced = writeStale = false;
        sentMask = 0;
        readClean = false;
        checkTracked = false;
    }

    // --- the operator ---------------------------------------------------------
    void selectPort()
    {
        const int index = pick(0, 3, 0);
        // A table the operator declines to replace stays: the device is read
        // only into the record.
        const ConnectRead how = asksBeforeRead() ? ConnectRead::IntoTable : ConnectRead::DeviceOnly;
        TRACE("select port %d, %s\n", index, how == ConnectRead::DeviceOnly ? "device only" : "");
        const qsizetype before = messages.size();
        const long ticksBefore = ticksRun;
        openFailed = false;
        // A read into the table already running goes on inside "Нет устройства"
        // (on the port opened again) and ends into the table, as before the
        // selection: K1 holds from a selection that connected.
        const bool readRunning = engine.ReadRequested();
        const bool readIntoTable = readRunning && !tableKept;
        tableKept = how == ConnectRead::DeviceOnly && !engine.WriteRequested() && !readIntoTable;
        const LinkOutcome outcome = session.Connect(PortNames[index], how);
        if (outcome == LinkOutcome::Connected && how == ConnectRead::DeviceOnly &&
            !engine.WriteRequested())
            tableKept = true;
        const bool ok = outcome == LinkOutcome::Connected && !openFailed &&
                        messages.size() == before && ticksRun == ticksBefore &&
                        engine.ProgressVisible() && engine.ProgressPosition() == 0 &&
                        engine.BlockIndex() == 0 && line->open;
        if (ok) {
            ++reached.connects;
            if (engine.ReadRequested())
                readStarted(readRunning);
            else
                ++reached.deviceReads;
        }
    }
    bool openFailed = false;
    bool askAgain = false; // "read once more?" is due after the tick
    // The operator kept the table: a device-only port selection or comparison.
    bool tableKept = false;

    // The write command: a backup of what the device holds into a folder of
    // its own (or into a name that is a file: refused), then the write, read back.
    void startWrite()
    {
        WriteRequest request;
        request.source = WriteSource::Table;
        const QString folder = workDir().filePath(
            pick(0, 3, 0) == 3 ? QStringLiteral("d.txt") : QStringLiteral("backups"));
        request.backup = BackupPlace::InFolder(QFile::encodeName(folder), engine.LinkPort(), 2);
        request.verify = true;
        const ParamImage before = model.image();
        const long starts = writeStarts;
        writesSinceCommand = 0;
        session.StartWrite(request);
        // Begun at once (no backup read needed, or started over).
        if (engine.WriteRequested() && writeStarts == starts) {
            oracle::checkEncoded(model, before);
            noteWriteStart();
        }
    }

    // "Прервать": the transfer ends and the run goes on. An aborted read puts
    // back the image it started from; an aborted write that sent a block is
    // reported cut (writeCut).
    void abortTransfer()
    {
        ++reached.aborts;
        session.Abort();
        readClean = false;
        writeTracked = false;
        checkTracked = false;
        FUZZ_CHECK(!session.Busy());
    }

    ParamImage expectedEncoding(ParamImage base) const
    {
        const bool other = model.OperatingMode() == OtherDevicesMode;
        for (int a = 1; a <= AddressTable::Addresses; ++a) {
            bool known = true;
            std::uint8_t b =
                oracle::encodeRow(oracle::cellOf(model, a, AddressTable::ModeColumn),
                                  oracle::cellOf(model, a, AddressTable::DelayColumn), known);
            FUZZ_CHECK(known); // every row comes from the editing rules
            if (a == 1 && other)
                b |= 0x04 | (model.options().controlUpa ? 0x03 : 0);
            if (a == 2 && (!other || model.options().checkFaultInput))
                b |= 0x04;
            base.setByte(a - 1, b);
        }
        return base;
    }

    void save()
    {
        modal(); // the file dialog
        static const char* names[] = {"a.lmk", "b.txt", "dir.lmk", ""};
        const QString chosen = QString::fromLatin1(names[pick(0, 3, 0)]);
        const QString path = chosen.isEmpty() ? QString() : workDir().filePath(chosen);
        const bool transferOpen = engine.ProgressVisible();
        const ParamImage before = model.image();
        const ParamImage want = expectedEncoding(before);
        const QString target = path.isEmpty() ? QString() : LmkFileName(path);
        const QByteArray old = target.isEmpty() ? QByteArray() : fileBytes(target);
        saveCheck = [&] {
            FUZZ_CHECK(model.image() == (transferOpen ? before : want)); // S1, before the question
        };
        const long ticksBefore = ticksRun;
        const bool saved = document.Save(path, transferOpen);
        saveCheck = nullptr;
        ++reached.saves;
        if (transferOpen)
            ++reached.savesInTransfer;
        if (saved) { // S1
            QByteArray text(reinterpret_cast<const char*>(want.bytes().data()), FileBytes);
            FUZZ_CHECK(fileBytes(target) == text.toHex().toUpper() + "\r\n");
            baselines.push_back(want);
            if (ticksRun == ticksBefore)
                FUZZ_CHECK(model.image() == (transferOpen ? before : want));
        } else {
            FUZZ_CHECK(target.isEmpty() || fileBytes(target) == old);
        }
    }

    static QByteArray fileBytes(const QString& path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray("<none>");
        return f.readAll();
    }

    void open()
    {
        if (model.ConfigLocked())
            return; // the command is disabled
        // T2: "Сохранить изменения?" before a table with edits is replaced
        // (answered: not saved, or cancelled).
        if (unsavedEdits()) {
            FUZZ_CHECK(document.Modified());
            ++reached.editsAsked;
        }
        if (document.Modified()) {
            modal();
            if (pick(0, 1, 0) == 1)
                return;
        }
        modal(); // the file dialog
        static const char* names[] = {"a.lmk", "c.lmk", "d.txt", "gone.lmk", ""};
        const QString chosen = QString::fromLatin1(names[pick(0, 4, 0)]);
        const QString path = chosen.isEmpty() ? QString() : workDir().filePath(chosen);
        const bool transferOpen = engine.ProgressVisible();
        const ParamImage before = model.image();
        const int modeBefore = model.OperatingMode();
        const CommonOptions optionsBefore = model.options();
        ParamImage fromFile = before;
        const bool readable = !path.isEmpty() && LoadImageFile(LmkFileName(path), fromFile);
        const long ticksBefore = ticksRun;
        bool opened = false;
        history.Record(EditHistory::Kind::Replacement, QStringLiteral("open"),
                       [&] { opened = document.Open(path, transferOpen); });
        ++reached.opens;
        if (transferOpen)
            ++reached.opensInTransfer;
        if (opened) { // O1
            FUZZ_CHECK(readable);
            noteBaseline();
            oracle::checkDecoded(model, fromFile, modeBefore, optionsBefore);
            FUZZ_CHECK(model.image() == (transferOpen ? before : fromFile));
        } else if (ticksRun == ticksBefore) {
            FUZZ_CHECK(model.image() == before);
        }
    }

    void editCell()
    {
        // The popup's rules: a delay cell of an unused address does not open.
        const int page = pick(1, 4, 1), row = pick(1, 16, 1), col = pick(1, 2, 1);
        if (col == AddressTable::DelayColumn &&
            model.cell(page, row, AddressTable::ModeColumn) == CoreTexts::ModeUnused)
            return;
        const QStringList choices = ConfigModel::Choices(col, model.OperatingMode());
        const QString text = choices.at(pick(0, int(choices.size()) - 1, 0));
        history.Record(EditHistory::Kind::Edit, QStringLiteral("cell"), [&] {
            model.setCell(page, row, col, text);
            if (col == AddressTable::ModeColumn)
                model.ModeCellChanged(page, row, text);
        });
    }

    // One operator action; false when the program has ended.
    bool operatorStep()
    {
        const ParamImage before = model.image();
        const long ticksBefore = ticksRun;
        bool mayChangeImage = false;
        const int what = pick(0, 17, 0);
        TRACE("operator %d\n", what);
        switch (what) {
        case 0:
        case 1:
        case 2:
            for (int n = pick(1, 8, 1); n > 0; --n)
                tick();
            return true;
        case 3:
            selectPort();
            break;
        case 4: { // "прочесть"
            if (!asksBeforeRead())
                break;
            const bool readRunning = engine.ReadRequested();
            tableKept = false;
            session.StartRead();
            readStarted(readRunning);
            break;
        }
        case 5: // "записать"
            startWrite();
            mayChangeImage = true;
            break;
        case 6:
            save();
            mayChangeImage = true;
            break;
        case 7:
            open();
            mayChangeImage = true;
            break;
        case 8:
            editCell();
            break;
        case 9: { // a header click
            const int page = pick(1, 4, 1);
            const bool modes = pick(0, 1, 0) == 0;
            history.Record(EditHistory::Kind::Edit, QStringLiteral("header"), [&] {
                if (modes)
                    model.ToggleModeColumn(page);
                else
                    model.AdvanceDelayColumn(page);
            });
            break;
        }
        case 10: { // the mode selector or the mode menu
            const int mode = pick(0, 1, 0);
            history.Record(EditHistory::Kind::Edit, QStringLiteral("mode"), [&] {
                model.setOperatingMode(mode);
                model.ApplyOperatingMode();
            });
            break;
        }
        case 11: {
            const bool fault = pick(0, 1, 0) == 0;
            history.Record(EditHistory::Kind::Edit, QStringLiteral("options"), [&] {
                if (fault)
                    model.setCheckFaultInput(!model.options().checkFaultInput);
                else
                    model.setControlUpa(!model.options().controlUpa);
            });
            break;
        }
        case 12:
            stationEvent();
            break;
        case 13: // the comparison with the device: a read into the record only,
                 // offered while no transfer runs
            if (session.Busy())
                break;
            tableKept = true;
            session.StartDeviceRead();
            ++reached.deviceReads;
            break;
        case 14:
            abortTransfer();
            // I1: a read into the table goes back to the image it started from.
            if (!(model.image() == before))
                FUZZ_CHECK(model.image() == imageAtRead);
            mayChangeImage = true;
            break;
        case 15: // undo and redo, disabled while a transfer runs
        case 16:
            if (session.Busy())
                break;
            ++reached.undos;
            if (what == 15)
                history.Undo();
            else
                history.Redo();
            mayChangeImage = true;
            break;
        default: // the about box
            modal();
            break;
        }
        if (!mayChangeImage && ticksRun == ticksBefore) // I1
            FUZZ_CHECK(model.image() == before);
        checkRecord();
        return true;
    }
};

bool Line::Open(const QString& portName)
{
    if (portName == PortNames[2])
        return false;
    open = true;
    hungUp = false;
    name = portName;
    bytes.clear();
    // Another connection: until a port selection starts the transfer over, its
    // blocks may come from two stations (ticks inside "Нет устройства" read the
    // newly opened port, as intended), so nothing read is held to one.
    h_.lineTainted();
    h_.reopenedSinceCut = true;
    // A station that is there invites on the new connection (perhaps too late).
    Station* s = h_.onLine();
    if (s && s->present && !s->silent)
        Deliver(Invite, 4, h_.pick(0, 600, 20), -1);
    return true;
}

std::int64_t Line::Read(std::uint8_t* dest, std::int64_t maxBytes)
{
    if (!open || hungUp)
        return -1;
    const std::ptrdiff_t at = dest - h_.link.Buffer();
    FUZZ_CHECK(at >= 0 && at + maxBytes <= LinkBufferSize);
    const std::int64_t now = h_.clock->NowMs();
    std::int64_t got = 0;
    while (got < maxBytes && !bytes.empty() && bytes.front().at <= now) {
        tags[at + got] = bytes.front();
        dest[got++] = bytes.front().v;
        bytes.pop_front();
    }
    FUZZ_CHECK(at + got <= MaxStored); // L1
    return got;
}

std::int64_t Line::Write(const std::uint8_t* src, std::int64_t count, int)
{
    if (!open)
        return -1;
    h_.onWrite(src, int(count));
    return count;
}

void Line::Purge(unsigned flags)
{
    if (!(flags & PurgeRx))
        return;
    const std::int64_t now = h_.clock->NowMs();
    while (!bytes.empty() && bytes.front().at <= now)
        bytes.pop_front();
}

void Line::Deliver(const std::uint8_t* p, int n, std::int64_t delay, int frame)
{
    const std::int64_t at = h_.clock->NowMs() + delay;
    auto pos = bytes.end();
    while (pos != bytes.begin() && std::prev(pos)->at > at)
        --pos;
    std::vector<Byte> add;
    for (int i = 0; i < n; ++i)
        add.push_back({at, p[i], frame, i});
    bytes.insert(pos, add.begin(), add.end());
    FUZZ_CHECK(bytes.size() < 100000);
}

void prepareFiles(FuzzedDataProvider& in)
{
    QDir& d = workDir();
    for (const char* name : {"a.lmk", "b.lmk", "b.txt", "c.lmk", "d.lmk", "d.txt"})
        d.remove(QString::fromLatin1(name));
    QDir backups(d.filePath(QStringLiteral("backups")));
    for (const QString& name : backups.entryList(QDir::Files))
        backups.remove(name);
    d.mkpath(QStringLiteral("dir.lmk"));
    const Image img = imageFromSeed(in.ConsumeIntegral<std::uint32_t>());
    QByteArray text = QByteArray(reinterpret_cast<const char*>(img.data()), FileBytes).toHex();
    text.truncate(in.ConsumeIntegralInRange(0, 150));
    QFile c(d.filePath(QStringLiteral("c.lmk")));
    if (c.open(QIODevice::WriteOnly))
        c.write(text + "\r\n");
    QFile t(d.filePath(QStringLiteral("d.txt")));
    if (t.open(QIODevice::WriteOnly))
        t.write("no configuration");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    {
        Harness h(in);
        h.link.SetOpenFailureReporter([&h](const QString& text) {
            FUZZ_CHECK(text.startsWith(LinkTexts::NotOpenPrefix));
            h.openFailed = true;
            h.modal();
        });
        prepareFiles(in);
        h.stations[0] = h.fresh(in.ConsumeIntegral<std::uint32_t>());
        h.stations[1] = h.fresh(in.ConsumeIntegral<std::uint32_t>());
        h.model.LabelPages();
        if (in.ConsumeIntegralInRange(0, 7) == 0) { // a locked start-up configuration
            const Image img = imageFromSeed(in.ConsumeIntegral<std::uint32_t>());
            for (int i = 0; i < FileBytes; ++i)
                h.model.image().setByte(i, img[i]);
            h.model.setConfigLocked(true);
        }
        h.model.ImageToTable();
        h.document.SetBaseline(DocumentState::Origin::StartUp, QString());
        h.noteBaseline();

        bool running = true;
        for (int step = 0; step < 64 && running && h.stepInput(); ++step)
            running = h.operatorStep();
        // The input is spent: the station answers everything, the timer runs on.
        for (int n = 0; running && n < 24; ++n)
            h.tick();
    }
    return 0;
}
