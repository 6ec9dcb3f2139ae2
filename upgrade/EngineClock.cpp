#include "upgrade/EngineClock.h"

#include <errno.h>
#include <time.h>

#include "common/GenericFunctions.h"

namespace {

class SystemClock : public EngineClock {
  public:
    uint64_t NowMs() override { return GenericFunctions::GetCurrentTimeMsec(); }
    void SleepMs(uint64_t ms) override {
        timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
        // A signal may cut the sleep short: sleep what is left.
        while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        }
    }
};

}  // namespace

EngineClock& EngineClock::System() {
    static SystemClock clock;
    return clock;
}
