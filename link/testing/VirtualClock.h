// A link clock in virtual time: sleeping only moves the counter on, so tests of
// the 500 ms reads and the 14-tick time-out run in milliseconds.
#pragma once

#include "SerialBackend.h"

class VirtualClock : public LinkClock
{
public:
    std::int64_t NowMs() override { return now_; }
    void SleepMs(int ms) override
    {
        if (ms > 0) {
            now_ += ms;
            slept_ += ms;
        }
    }
    void Advance(std::int64_t ms) { now_ += ms; }
    // Total time spent in SleepMs.
    std::int64_t Slept() const { return slept_; }

private:
    std::int64_t now_ = 1'000'000; // not zero: nothing may assume a zero start
    std::int64_t slept_ = 0;
};
