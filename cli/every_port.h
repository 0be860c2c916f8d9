// One command on several ports at once: each port is served by a kv58ctl process of its own
// (the same command with --port PORT), so that nothing of one port's run (its link, its
// transmitter's files, its held signals, its output) is shared with another's, and a port
// that fails, hangs or loses its adapter never stops or slows the others. The parent gathers
// their outcomes: a progress line per port as it ends, then a summary table, or with --json
// an array of one object per port.
#pragma once

#include <string>
#include <vector>

#include "command.h"

namespace kv58::cli {

// The commands that may run on several ports ("read", "write", "dump", "program", and
// "backup" with "restore").
bool runsOnSeveralPorts(const std::string& command, const std::vector<std::string>& args);

// Runs `command` with ctx.args on every port of `ports`. Exit code: 0 when every port
// succeeded, else the worst of theirs (3 over 2 over 1).
int runOnEveryPort(const Context& ctx, const std::string& command,
                   const std::vector<std::string>& ports);

struct PortOutcome {
    std::string port;
    int exitCode = -1;  // -1: the run did not end normally
    std::string out;    // standard output (JSON with --json … as the command prints it)
    std::string err;    // standard error
    double seconds = 0;
};

// The worst exit code of the ports (0 when all succeeded).
int worstExitCode(const std::vector<PortOutcome>& outcomes);
// "/dev/pts/3: written and confirmed (9.7 s)": the port and the last line its run printed.
std::string progressLine(const PortOutcome& outcome);
// What a run gives as text rather than as its result object: the image of a dump (its
// object's tiTxt), or output that is no JSON object; "" for none.
std::string textOutputOf(const PortOutcome& outcome);
// The summary table: port, serial number, result, time.
std::string summaryTable(const std::vector<PortOutcome>& outcomes);
// The JSON array: per port its object with port, ok, exitCode, outcome and the command's own
// fields (or its output as "output" when that is no JSON object).
std::string jsonArray(const std::vector<PortOutcome>& outcomes);

}  // namespace kv58::cli
