// How kv58ctl reports what a command left on the transmitter: the exit code of its state, a
// closing line on stderr, and the outcome's keys in --json output.
#pragma once

#include <string>

#include "command.h"
#include "device/outcome.h"
#include "device/outcomes.h"

namespace kv58::cli {

// "kv58ctl", with the --ini and --port of this run: the front of a way back's command line.
std::string wayBackProgram(const Context& ctx);

// "the transmitter is unchanged", "Segment A is erased", ... (empty for Confirmed).
const char* stateSummary(TransmitterState state);

// The JSON members of an outcome, without braces:
// "outcome": "segment-a-erased", "wayBack": "kv58ctl backup restore ..." (or null).
std::string outcomeJson(const Context& ctx, const Outcome& outcome);

// Prints "kv58ctl: <what happened>; <stateSummary>" on stderr. With --json and unless the
// command prints its own object: {<outcomeJson>} on stdout when the transmitter is confirmed,
// else the outcome is kept for the failure object kv58ctl closes with. Returns the exit code.
int reportOutcome(const Context& ctx, const std::string& whatHappened, const Outcome& outcome,
                  bool printJson);

}  // namespace kv58::cli
