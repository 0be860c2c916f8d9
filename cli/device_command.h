// What the kv58ctl commands that run device operations share: finding the installation's
// data files, showing progress, and reporting a failed operation.
#pragma once

#include <string>

#include "bsl/bsl_link.h"
#include "bsl/segments.h"

namespace kv58::cli {

class ConsoleUi;

// The link looks data files (password files, the loader patch) up by name in the working
// directory. For kv58ctl, run from anywhere, a name that is not there is also looked for
// beside the settings file, where an installation keeps them. Returns the path to use: the
// name itself when neither has it.
std::string findDataFile(const std::string& name, const std::string& iniPath);

// Forwards the link's progress to the terminal's progress bar.
void showProgress(BslLink& link, ConsoleUi& ui);

// The link's message of a failed operation, one line, UTF-8.
std::string failureText(const BslLink& link);

// "kv58ctl: <message>" on stderr, with the port's own reason when it could not be opened.
void printFailure(const BslLink& link);

// After a failed password search: the message of every password file that cannot be opened.
void printUnreadablePasswordFiles(const PasswordFileList& passwordFiles);

}  // namespace kv58::cli
