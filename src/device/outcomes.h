// How a write or a backup restore ended, as kv58ctl prints it and the production log records
// it: one sentence and the exit code that kv58ctl gives for it. One table for both, so that
// the log always says what the terminal said.
#pragma once

#include <optional>

#include "device/backup_restore.h"
#include "device/flows.h"
#include "device/outcome.h"

namespace kv58 {

struct OutcomeReport {
    const char* text;  // "written and confirmed"
    int exitCode;      // exitCodeOf what the command left
};

// 0 confirmed, 1 unchanged, 3 anything else (damage, or a change nobody could check).
int exitCodeOf(TransmitterState left);

// A plain read: "read", "not read" after every attempt failed, or the damage it found.
OutcomeReport describeReadOutcome(bool read, const std::optional<Outcome>& damage);
OutcomeReport describeOutcome(WriteOutcome outcome, TransmitterState left);
OutcomeReport describeOutcome(RestoreOutcome outcome, TransmitterState left);

}  // namespace kv58
