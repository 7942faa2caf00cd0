// The station's time: a monotonic nanosecond counter and sleeping until a
// moment of it. The wall clock unless the options give another one, such as a
// virtual clock that a test shares with the program's side of the line.
#pragma once

#include <cstdint>
#include <memory>

class StationClock
{
public:
    virtual ~StationClock() = default;
    virtual std::int64_t NowNs() = 0;
    // Returns once NowNs() has reached ns (at once when it has already).
    virtual void SleepUntilNs(std::int64_t ns) = 0;
};

// std::chrono::steady_clock and real sleeps.
std::shared_ptr<StationClock> WallStationClock();
