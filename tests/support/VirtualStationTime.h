// One virtual time for the program's link and an in-process station simulator
// (tests that link `link` and `station_sim`): the station, started with this as
// its clock, runs no thread and does what is due each time the program sleeps;
// its own waits move the time on. Nothing waits for real.
#pragma once

#include "SerialBackend.h"
#include "StationSimulator.h"

#include <algorithm>

class VirtualStationTime final : public LinkClock, public StationClock
{
public:
    // The station to run from the program's sleeps (null: none).
    StationSimulator* station = nullptr;

    std::int64_t NowMs() override { return nowNs_ / 1'000'000; }
    void SleepMs(int ms) override
    {
        if (ms > 0)
            nowNs_ += std::int64_t(ms) * 1'000'000;
        if (station && !polling_) {
            polling_ = true;
            station->Poll();
            polling_ = false;
        }
    }
    std::int64_t NowNs() override { return nowNs_; }
    void SleepUntilNs(std::int64_t ns) override { nowNs_ = std::max(nowNs_, ns); }

private:
    std::int64_t nowNs_ = 7'000'000'000'000; // not zero: nothing may assume a zero start
    bool polling_ = false;
};
