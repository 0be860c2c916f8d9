// The time source of the whole system.
//
// The link thinks in milliseconds, like a tick count; the simulated transmitter needs
// microseconds, since one character at 115200 baud lasts less than 100 µs. Programs use the
// real clock; tests use the virtual clock, which only moves when somebody sleeps or waits on
// it, so that a 1200 ms time-out costs no real time and every timing is exact.
#pragma once

#include <cstdint>

namespace kv58 {

class Clock {
public:
    virtual ~Clock() = default;

    // Microseconds since an arbitrary start; never goes backwards.
    virtual int64_t nowUs() const = 0;
    // Blocks the caller for `us` microseconds (no-op for values <= 0).
    virtual void sleepUs(int64_t us) = 0;
    // True for clocks that advance only through sleeps (tests): waiting code may then
    // jump the clock instead of blocking.
    virtual bool isVirtual() const { return false; }

    int64_t nowMs() const { return nowUs() / 1000; }
    void sleepMs(int64_t ms) { sleepUs(ms * 1000); }
    void sleepUntilUs(int64_t t) {
        const int64_t now = nowUs();
        if (t > now)
            sleepUs(t - now);
    }
};

// Monotonic wall time (std::chrono::steady_clock).
class RealClock final : public Clock {
public:
    int64_t nowUs() const override;
    void sleepUs(int64_t us) override;
};

// Time that advances only by sleeps. Not thread-safe: one thread drives it.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(int64_t startUs = 0) : now_(startUs) {}
    int64_t nowUs() const override { return now_; }
    void sleepUs(int64_t us) override {
        if (us > 0)
            now_ += us;
    }
    bool isVirtual() const override { return true; }

private:
    int64_t now_;
};

// The process-wide real clock.
Clock& realClock();

}  // namespace kv58
