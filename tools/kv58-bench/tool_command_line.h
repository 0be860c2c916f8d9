// The command line of kv58-bench and kv58-faults: --help (or -h), --version, or options that
// each take one value ("--seed 7"). Both programs refuse a bad command line the same way.
#pragma once

#include <functional>
#include <string>

namespace kv58::tools {

constexpr int kExitUsage = 2;

// Takes one option and its value; false with the reason in `error` when it refuses them.
using OptionTaker =
    std::function<bool(const std::string& option, const std::string& value, std::string& error)>;

// The main() of such a program: hands each option with its value to `take`, then returns what
// `run` returns. --help prints the help and --version the version line, each returning 0; a
// command line that `take` or the pairing refuses is reported on stderr as "<program>: <reason>
// (<program> --help shows the options)" and returns kExitUsage.
int runWithOptions(const char* program, int argc, char** argv, const OptionTaker& take,
                   const std::function<void()>& printHelp, const std::function<int()>& run);

}  // namespace kv58::tools
