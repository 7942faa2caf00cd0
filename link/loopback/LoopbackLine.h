// An in-process serial line between a device played on its own thread and a
// program: two bounded byte queues under one mutex, and the program's opens and
// closes as events for the device's end. Every member is thread-safe.
//
// One program at a time holds the line; each open is a new session, and what
// either side had not read is dropped at every open and close. When the device
// hangs up, the session is over: the program's reads and writes fail and it
// sees the line hung up until it opens the line again, which works only once
// the device has connected it again.
#pragma once

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class LoopbackLine
{
public:
    // Bytes each direction holds unread at most (more are lost, as on a line
    // whose receiver does not read).
    static constexpr std::size_t Capacity = 4096;

    // --- the device's end
    // The line is up: a program may open it (again, after a hang-up).
    void Connect();
    // The device hangs up: the program's session ends, opens fail until Connect.
    void HangUp();
    // Non-waiting: up to max bytes the program sent.
    std::size_t DeviceRead(std::uint8_t* dest, std::size_t max);
    // What fits is queued for the program, the rest is lost; nothing is queued
    // while no program holds the line. Returns the bytes queued.
    std::size_t DeviceWrite(const std::uint8_t* src, std::size_t count);
    // Drops what the program has not read.
    void DiscardToProgram();
    // The program's opens (true) and closes (false) since the last call, in order.
    std::vector<bool> TakeEvents();
    // Waits up to ms (no limit when negative) for an open or close, for
    // Interrupt, and with forInput for bytes from the program.
    void Wait(std::int64_t ms, bool forInput);
    // Makes every Wait return at once, from now on.
    void Interrupt();

    // --- the program's end; a session is 0 when the open failed
    enum class OpenResult { Opened, Down, Busy };
    OpenResult ProgramOpen(std::uint64_t& session);
    void ProgramClose(std::uint64_t session);
    // The session ended without the program closing it: the device hung up.
    bool ProgramHungUp(std::uint64_t session) const;
    // Non-waiting read; -1 when the session is over.
    std::int64_t ProgramRead(std::uint64_t session, std::uint8_t* dest, std::int64_t max);
    // Queues up to count bytes, waiting up to timeoutMs for room; bytes that do
    // not fit by then are not sent. Returns the bytes queued, -1 when the
    // session is over before any was.
    std::int64_t ProgramWrite(std::uint64_t session, const std::uint8_t* src, std::int64_t count,
                              int timeoutMs);
    void ProgramPurge(std::uint64_t session, bool transmit, bool receive);

private:
    void dropQueues();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::uint8_t> toDevice_;
    std::deque<std::uint8_t> toProgram_;
    std::vector<bool> events_;
    bool connected_ = false;
    bool interrupted_ = false;
    std::uint64_t lastSession_ = 0;
    std::uint64_t session_ = 0; // the program's open session, or 0
};

// Lines by name, for the "station:NAME" transport. Registering fails when a
// live line already has the name; the registry does not keep a line alive.
bool RegisterLoopbackLine(const QString& name, const std::shared_ptr<LoopbackLine>& line);
void UnregisterLoopbackLine(const QString& name, const LoopbackLine* line);
std::shared_ptr<LoopbackLine> FindLoopbackLine(const QString& name);
