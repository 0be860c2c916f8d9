// The real clock: a sleep never ends before its time, also for durations that are not whole
// milliseconds (Windows sleeps in whole milliseconds, and its C library rounds down).
#include <gtest/gtest.h>

#include "base/clock.h"

namespace kv58 {
namespace {

TEST(RealClock, SleepsNeverEndEarly) {
    RealClock clock;
    for (int64_t us : {300, 1000, 1500, 2900, 10'400}) {
        const int64_t start = clock.nowUs();
        clock.sleepUs(us);
        const int64_t slept = clock.nowUs() - start;
        EXPECT_GE(slept, us);
        EXPECT_LT(slept, us + 100'000) << us;
    }
}

TEST(RealClock, SleepUntilReachesItsTime) {
    RealClock clock;
    const int64_t target = clock.nowUs() + 2'500;
    clock.sleepUntilUs(target);
    EXPECT_GE(clock.nowUs(), target);
}

}  // namespace
}  // namespace kv58
