// POSIX: the signals are blocked while held, so that one that comes stays pending; restoring
// the mask delivers it, and it does what it always does (by default, it ends the program).
#include <pthread.h>

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

sigset_t previousMask;

sigset_t heldSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const HeldSignal& s : kHeld)
        sigaddset(&set, s.number);
    return set;
}

}  // namespace

void holdRequests() {
    const sigset_t set = heldSet();
    pthread_sigmask(SIG_BLOCK, &set, &previousMask);
}

std::string heldRequest() {
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    for (const HeldSignal& s : kHeld) {
        // A signal the thread blocked already before (a command that waits for it) is not
        // one this section held.
        if (sigismember(&pending, s.number) == 1 && sigismember(&previousMask, s.number) != 1)
            return s.request;
    }
    return "";
}

void releaseRequests() {
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
}

}  // namespace kv58::critical_section_platform
