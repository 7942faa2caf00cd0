// The line the station talks over, seen from the station's end: a
// pseudo-terminal, a TCP listener or an in-process line. The station's
// protocol runs the same over each. Used on the station's thread, except
// Interrupt (any thread) and ProgramSideLine.
#pragma once

#include "StationSimulator.h"

#include <QString>

#include <cstdint>
#include <memory>

class StationChannel
{
public:
    // The program opening and closing its side, as the channel learns of it.
    class Events
    {
    public:
        virtual void sideOpened() = 0;
        virtual void sideClosed() = 0;

    protected:
        ~Events() = default;
    };

    virtual ~StationChannel() = default;
    // Makes the line: at start, and again a pause after a hang-up.
    virtual bool Open(QString* error) = 0;
    // The line exists (false from a hang-up until the next Open).
    virtual bool Up() const = 0;
    // The program's side as a port name.
    virtual QString ProgramSidePath() const = 0;
    // Reports the program's opens and closes since the last call, in order.
    virtual void TakeEvents(Events& events) = 0;
    // Non-waiting: the bytes read, 0 for none, -1 when the read found that the
    // program closed its side (the channel has let go of it).
    virtual std::int64_t Read(std::uint8_t* dest, std::size_t max) = 0;
    // One non-waiting write: the bytes taken, 0 or less when none was (the
    // side is closed or its buffer full).
    virtual std::int64_t Write(const std::uint8_t* src, std::size_t count) = 0;
    // Drops what the program has not read (it closed its side).
    virtual void DiscardUnread() = 0;
    // Waits up to ms (no limit when negative) for an open or close of the
    // program's side, for Interrupt, and with forInput for the program's bytes.
    virtual void Wait(std::int64_t ms, bool forInput) = 0;
    // Makes every Wait return at once, from now on.
    virtual void Interrupt() = 0;
    // The station hangs up: the program sees its side hung up.
    virtual void HangUp() = 0;
    // The station stops: everything goes.
    virtual void Close() = 0;
    // The program side's line settings, where the line has them.
    virtual bool ProgramSideLine(StationLine&) const { return false; }
};

// The channel the options ask for (null when the platform has none such; the
// error says why).
std::unique_ptr<StationChannel> MakeStationChannel(const StationOptions& options, QString* error);
// An in-process line registered under `name` ("station:NAME"), on every platform.
std::unique_ptr<StationChannel> MakeInProcessChannel(const QString& name);
