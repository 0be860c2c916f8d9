// Runs one of the built programs as a user would, and keeps its exit code and outputs.
#pragma once

#include <string>
#include <vector>

namespace kv58::test {

struct ProgramRun {
    int exitCode = -1;  // -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs <build>/bin/`program` with `args` in the working directory `cwd` (empty: the current
// one), stdin from /dev/null.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& cwd = "");

inline ProgramRun kv58ctl(const std::vector<std::string>& args, const std::string& cwd = "") {
    return runProgram("kv58ctl", args, cwd);
}

bool contains(const std::string& text, const std::string& part);

}  // namespace kv58::test
