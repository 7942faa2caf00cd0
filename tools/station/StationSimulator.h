// A simulated station ("БС") on a new pseudo-terminal (or behind a TCP
// listener, or an in-process line), for tests, demos and benchmarks without
// hardware. It runs on its own thread and talks to the program's side of its
// line exactly as the program's link expects:
//
// - Until woken it sends the invitation FF 00 00 FF every 250 ms (only while the
//   program's side is open).
// - On the wake frame FF 80 0F 0F 7F it wakes and sends one unsolicited block-0
//   frame, so that a transfer has a first frame to answer.
// - When woken it answers every well-formed request ('S', 'W', 'R': header
//   FF 81 00, block 0..5, right check byte, and for 'W' the right checksum) with
//   a 19-byte frame for the requested block, after storing a 'W' block. Bad
//   requests are ignored (no answer), as by a peer that discarded them.
// - It answers 20 ms after a request arrived (with baud pacing: after the
//   request's line time).
// - When no request comes for about a second it sends its last frame again.
// - When the program closes its side it goes back to the unwoken state and
//   discards what the program had not read; it survives any number of reopens,
//   however quick (opens and closes are seen as file events), and sleeps while
//   the side is closed (no busy loop on the hang-up).
// - With baud pacing, bytes leave at 2400 baud (10 bits a byte) and a request
//   counts as arrived only after its own line time.
// - Faults are drawn per block frame from a seeded generator and each one is
//   logged: a dropped frame, an invitation in place of the frame, a truncated
//   frame, the frame of another block than the one asked for, one corrupted byte;
//   and, counted in block frames since the last wake, going silent (until the
//   program closes its side) or hanging up (the station closes the
//   pseudo-terminal, then opens a new one a second later; an in-process line
//   takes opens again a second later).
// - A 'W' request may be lost on the way in (not stored, not answered): after a
//   second the last frame goes out again, and its block and checksum may well
//   pass for the lost block's answer.
#pragma once

#include "ParamImage.h"
#include "StationClock.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

struct StationFaults
{
    double corrupt = 0;    // one byte of a frame changed
    double wrongBlock = 0; // the whole frame of another block is sent
    double drop = 0;       // the frame is not sent
    double truncate = 0;   // only its first 1..18 bytes are sent
    double invite = 0;     // the invitation is sent in its place
    double dropWrite = 0;  // a 'W' request is ignored (per request)
    int silentAfter = -1;  // after this many block frames since the wake: silence
    int hangUpAfter = -1;  // after this many block frames since the wake: hang up

    bool any() const
    {
        return corrupt > 0 || wrongBlock > 0 || drop > 0 || truncate > 0 || invite > 0 ||
               dropWrite > 0 || silentAfter >= 0 || hangUpAfter >= 0;
    }
};

struct StationOptions
{
    ParamImage image; // the station's image at start (see DemoImage)
    bool baudPacing = false;
    std::uint64_t seed = 1;
    StationFaults faults;
    QString linkPath; // when set, a symbolic link to the program's side
    // The line is a TCP listener on loopback instead of a pseudo-terminal: a
    // connection is the program opening its side, its end the program closing
    // it; a hang-up closes the connection and the next one is accepted.
    bool tcpListen = false;
    // The line is in-process instead, registered under this name: the program
    // opens the port "station:NAME" (the only line on systems without
    // pseudo-terminals).
    QString inProcessName;
    bool verbose = false; // log protocol events too, not only faults
    // Where log lines go (faults always, events when verbose); default stderr.
    std::function<void(const QString&)> log;
    // The station's time. Null: the wall clock, and the station runs on a
    // thread of its own. Given: the station keeps that clock's time and runs no
    // thread; whoever moves the clock on calls Poll() (say from its sleeps), and
    // the station's own waits (turnaround, baud pacing) move the clock on.
    std::shared_ptr<StationClock> clock;
    // Called on the station's thread after each completed write (a 'W' for block
    // 5 stored: the program's writes end with it, whatever came between their
    // blocks), with the new image.
    std::function<void(const ParamImage&)> writeCompleted;
    // Called on the station's thread when the station opened a new
    // pseudo-terminal after a hang-up, with the new program-side path.
    std::function<void(const QString&)> pathChanged;
};

// The program side's line as whoever opened it set it.
struct StationLine
{
    int baud = 0;
    int dataBits = 0;
    bool parity = false;
    int stopBits = 0;
};

struct StationStats
{
    int wakes = 0;
    int invitations = 0;
    int framesSent = 0; // block frames, faulty ones included
    int requestsAnswered = 0;
    int badRequests = 0;
    int resends = 0;
    int faults = 0;
    int writesCompleted = 0;
    int programCloses = 0;
};

class StationSimulator
{
public:
    explicit StationSimulator(StationOptions options = DefaultOptions());
    ~StationSimulator();
    StationSimulator(const StationSimulator&) = delete;
    StationSimulator& operator=(const StationSimulator&) = delete;

    // Opens a new pseudo-terminal (or the line the options ask for) and starts
    // the station's thread.
    bool Start(QString* error = nullptr);
    void Stop();
    bool Running() const;
    // With a clock of the options' own: does what is due by the clock's time
    // (takes the program's opens, closes and bytes, answers, invites, resends).
    // Does nothing for a station on its own thread.
    void Poll();

    // The program's side, such as /dev/pts/3 (thread-safe); with tcpListen
    // "socket://127.0.0.1:PORT", in-process "station:NAME".
    QString ProgramSidePath() const;
    ParamImage Image() const;
    void SetImage(const ParamImage& image);
    StationStats Stats() const;
    bool Woken() const;
    // The line settings of the program's side (false when no pseudo-terminal is
    // open, and on lines without settings).
    bool ProgramSideLine(StationLine& line) const;

    // A configuration with used addresses on every page, in the speech mode,
    // with non-zero delays and data in bytes 64..71.
    static ParamImage DemoImage();
    static StationOptions DefaultOptions();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
