// The real link clock: a monotonic millisecond counter (no wrap-around) and
// real sleeps.
#pragma once

#include "SerialBackend.h"

class SystemClock : public LinkClock
{
public:
    std::int64_t NowMs() override;
    void SleepMs(int ms) override;
};
