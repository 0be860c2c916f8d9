// What the kv58ctl commands that run device operations share: finding the installation's
// data files, showing progress, and reporting a failed operation.
#pragma once

#include <string>

#include "bsl/bsl_link.h"
#include "bsl/segments.h"
#include "command.h"

namespace kv58::cli {

class ConsoleUi;

// With --json standard output holds the command's JSON alone: the link's data-change warning
// goes to standard error then.
void keepJsonOutputClean(const Context& ctx, BslLink& link);

// Forwards the link's progress to the terminal's progress bar.
void showProgress(BslLink& link, ConsoleUi& ui);

// The link's message of a failed operation, one line, UTF-8.
std::string failureText(const BslLink& link);

// "kv58ctl: <message>" on stderr, with the port's own reason when it could not be opened.
void printFailure(const BslLink& link);

// After a failed password search: the message of every password file that cannot be opened
// where the link looks for it.
void printUnreadablePasswordFiles(const BslLink& link, const PasswordFileList& passwordFiles);

}  // namespace kv58::cli
