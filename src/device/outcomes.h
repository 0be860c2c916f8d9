// How a write or a backup restore ended, as kv58ctl prints it and the production log records
// it: one sentence and the exit code that kv58ctl gives for it. One table for both, so that
// the log always says what the terminal said.
#pragma once

#include "device/backup_restore.h"
#include "device/flows.h"

namespace kv58 {

struct OutcomeReport {
    const char* text;  // "written and confirmed"
    int exitCode;      // 0 only when the transmitter holds what was asked for
};

// A plain read: "read", or "not read" after every attempt failed.
OutcomeReport describeReadOutcome(bool read);
OutcomeReport describeOutcome(WriteOutcome outcome);
OutcomeReport describeOutcome(RestoreOutcome outcome);

}  // namespace kv58
