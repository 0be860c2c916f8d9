// Waiting for the user's interrupt (Ctrl-C, or a request to end the program) in a command
// that holds a resource until it is told to stop.
#pragma once

namespace kv58::cli {

// From construction on, an interrupt no longer ends the program; wait() returns once one has
// come, also when it came before wait() was called.
class InterruptWait {
public:
    InterruptWait();
    ~InterruptWait();
    InterruptWait(const InterruptWait&) = delete;
    InterruptWait& operator=(const InterruptWait&) = delete;

    void wait();
};

}  // namespace kv58::cli
