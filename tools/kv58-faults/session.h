// One session of the fault campaign: a fresh simulated transmitter, the application started
// on it (which reads it), a new configuration chosen, the faults of the plan armed, the write
// run to its end on the virtual clock, and the invariants checked against the transmitter's
// memory and the backup folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/flows.h"
#include "fault_plan.h"
#include "headless_app.h"

namespace kv58::faults {

struct SessionResult {
    FaultPlan plan;
    WriteOutcome outcome = WriteOutcome::NotStarted;
    std::vector<std::string> violations;
    std::vector<std::string> shown;  // what the user saw during the write, UTF-8
    int64_t virtualUs = 0;
};

// Runs sessions one after another in one working folder (made the working directory while
// the object lives).
class SessionRunner {
public:
    // The application syncs its last-values file to disk at every write; a folder in
    // memory (/dev/shm where there is one) keeps a campaign from waiting on the disk.
    SessionRunner();
    SessionResult run(uint64_t seed);

private:
    headless::WorkFolder folder_;
};

}  // namespace kv58::faults
