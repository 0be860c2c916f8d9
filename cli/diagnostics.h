// kv58ctl's lines on stderr that report a problem. Each is also kept, so that --json can
// give a failed command's reasons in its closing object on stdout.
#pragma once

#include <string>

#include "base/text.h"

namespace kv58::cli {

// Prints the formatted text on stderr (a line, or several) and keeps it.
void printError(const char* format, ...) __attribute__((format(KV58_PRINTF_CHECK, 1, 2)));

// The texts printed so far, one line each, without the leading "kv58ctl: " or
// "kv58ctl COMMAND: ".
std::string errorsSoFar();

// The outcome members ("\"outcome\": ..., \"wayBack\": ...") of a failed command, for its
// closing object; empty when the command kept none.
void keepFailureOutcome(const std::string& outcomeMembers);
std::string failureOutcome();

// A command that printed its own JSON object for its failure says so; the closing failure
// object is then left out.
void markJsonResultPrinted();
bool jsonResultPrinted();

}  // namespace kv58::cli
