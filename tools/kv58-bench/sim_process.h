// A kv58-sim process serving the simulated transmitter outside this process, for the port
// kinds that need one (pseudo-terminal, RFC 2217). It is started with its arguments, the
// first line of its standard output names what to open, and it is stopped with SIGTERM when
// the object goes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kv58::bench {

class SimProcess {
public:
    // Starts `program` with `arguments` and reads its first output line; false with the
    // reason in `error` when it does not start or ends before printing that line. Its
    // messages (a line per client) go to `logPath`, and into `error` when it fails.
    bool start(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& logPath, std::string& error);
    ~SimProcess();

    // The first line the program printed (a pseudo-terminal path, a listening address).
    const std::string& firstLine() const { return firstLine_; }
    pid_t pid() const { return pid_; }

private:
    void stop();

    pid_t pid_ = -1;
    std::string firstLine_;
};

// kv58-sim beside the running program.
std::string simProgramPath();

}  // namespace kv58::bench
