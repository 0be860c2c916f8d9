// POSIX: while held, a handler of the whole process (whichever thread the system picks for a
// signal) only notes the signal; releasing puts the earlier dispositions back and raises the
// noted one, which then does what it always does (by default, it ends the program). Waits that
// a handler interrupts go on: the port's waits and the clock's sleeps run to their time.
#include <atomic>
#include <csignal>

#include "base/critical_section_platform.h"

namespace kv58::critical_section_platform {

namespace {

struct HeldSignal {
    int number;
    const char* request;
};

constexpr HeldSignal kHeld[] = {{SIGINT, "interrupt (SIGINT)"},
                                {SIGTERM, "termination request (SIGTERM)"},
                                {SIGHUP, "hang-up (SIGHUP)"}};
constexpr size_t kCount = sizeof kHeld / sizeof kHeld[0];

volatile std::sig_atomic_t noted[kCount] = {};  // which of them came
struct sigaction previous[kCount];

extern "C" void noteSignal(int number) {
    for (size_t i = 0; i < kCount; ++i) {
        if (kHeld[i].number == number)
            noted[i] = 1;
    }
}

}  // namespace

void holdRequests() {
    for (size_t i = 0; i < kCount; ++i)
        noted[i] = 0;
    struct sigaction hold {};
    hold.sa_handler = noteSignal;
    hold.sa_flags = SA_RESTART;
    sigemptyset(&hold.sa_mask);
    for (size_t i = 0; i < kCount; ++i)
        sigaction(kHeld[i].number, &hold, &previous[i]);
}

std::string heldRequest() {
    for (size_t i = 0; i < kCount; ++i) {
        if (noted[i])
            return kHeld[i].request;
    }
    return "";
}

void releaseRequests() {
    for (size_t i = 0; i < kCount; ++i)
        sigaction(kHeld[i].number, &previous[i], nullptr);
    for (size_t i = 0; i < kCount; ++i) {
        if (noted[i]) {
            noted[i] = 0;
            std::raise(kHeld[i].number);
        }
    }
}

}  // namespace kv58::critical_section_platform
