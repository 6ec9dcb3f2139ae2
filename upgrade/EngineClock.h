#pragma once

#include <cstdint>

// Time as the upgrade engines see it: a millisecond clock and a sleep. The
// engines take every pause and every deadline from one of these, so that a
// test can hand them a clock that only counts.
class EngineClock {
  public:
    virtual ~EngineClock() = default;
    virtual uint64_t NowMs() = 0;
    virtual void SleepMs(uint64_t ms) = 0;

    // The wall clock and real sleeps.
    static EngineClock& System();
};
