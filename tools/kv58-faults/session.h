// One session of the fault campaign: a fresh simulated transmitter, the application started
// on it (which reads it), the faults of the plan armed, the session's command (a write of a
// new configuration, a restore of a backup entry, a programming run of an image) run to its
// end on the virtual clock; after a kill the next program's read, and where the transmitter
// is left damaged the way back that was named; then the invariants checked against the
// transmitter's memory and the backup folder (session_kinds.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/flows.h"
#include "device/outcome.h"
#include "fault_plan.h"
#include "headless_app.h"

namespace kv58::faults {

struct SessionResult {
    FaultPlan plan;
    WriteOutcome outcome = WriteOutcome::NotStarted;  // of a write session
    std::optional<Outcome> claim;                     // what the command said it left
    bool damaged = false;     // neither as before nor as meant when the command ended
    bool wayBackRan = false;  // and the way back it (or the next read) named was run
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
    void freshFolder();

    headless::WorkFolder folder_;
};

}  // namespace kv58::faults
