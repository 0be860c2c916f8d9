#include "base/clock.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>
#endif

namespace kv58 {

int64_t RealClock::nowUs() const {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

#ifdef _WIN32

namespace {

// Windows sleeps in whole timer ticks (15.6 ms unless a program asks for finer ones) and
// its C library rounds a sleep down to whole milliseconds: ask for 1 ms ticks, and sleep
// rounded up.
void sleepAtLeastUs(int64_t us) {
    static const bool fineTicks = timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)fineTicks;
    Sleep(static_cast<DWORD>((us + 999) / 1000));
}

}  // namespace

#else

namespace {

void sleepAtLeastUs(int64_t us) {
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}

}  // namespace

#endif

// A sleep that ended early is continued: callers rely on the time having passed.
void RealClock::sleepUs(int64_t us) {
    const int64_t until = nowUs() + us;
    for (int64_t left = us; left > 0; left = until - nowUs())
        sleepAtLeastUs(left);
}

Clock& realClock() {
    static RealClock clock;
    return clock;
}

}  // namespace kv58
