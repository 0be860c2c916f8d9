// kv58-bench: how fast the Configurator's transfers are on the wire, against the simulated
// transmitter on the real clock.
//
//   kv58-bench [--port sim|pty|rfc2217] [--baud N] [--repeat N] [--json FILE]
//
// Without options it runs the whole matrix: every port kind at 9600 and 115200 baud (8E1),
// each with a plain read, a configuration write with its reread, the write's Segment A
// transfer alone, and a restore, three times.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_run.h"
#include "headless_app.h"
#include "report.h"
#include "tool_command_line.h"

using namespace kv58;
using namespace kv58::bench;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

struct Options {
    std::vector<PortKind> ports{PortKind::Sim, PortKind::Pty, PortKind::Rfc2217};
    std::vector<int> bauds{9600, 115200};
    int repeat = 3;
    std::string jsonPath;
    bool portChosen = false;
};

void printHelp() {
    std::printf(
        "Usage: kv58-bench [--port sim|pty|rfc2217] [--baud N] [--repeat N] [--json FILE]\n\n"
        "Times a plain read, a configuration write with its reread, the write's Segment A\n"
        "transfer alone (segment) and a restore against the simulated transmitter with its\n"
        "wire timing on the real clock, and compares each with its floor: the pauses the\n"
        "program must make, the character time of every byte on the line and the\n"
        "transmitter's own processing time, counted from the link's trace. Prints wall\n"
        "time, floor, ratio (wall / floor) and this process's CPU time as a share of the\n"
        "wall time, with minimum, median and maximum over the repetitions.\n\n"
        "  --port KIND   one port kind: sim (in process), pty (kv58-sim --pty), rfc2217\n"
        "                (kv58-sim --listen); default all three\n"
        "  --baud N      one baud rate (8E1); default 9600 and 115200\n"
        "  --repeat N    repetitions of each operation (default 3)\n"
        "  --json FILE   also write the results as JSON\n");
}

bool positive(const std::string& text, int& value) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v <= 0 || v > 10'000'000)
        return false;
    value = static_cast<int>(v);
    return true;
}

// Takes one option of the command line; false with the reason in `error`.
bool takeOption(Options& o, const std::string& option, const std::string& value,
                std::string& error) {
    int n = 0;
    if (option == "--port") {
        const auto kind = parsePortKind(value);
        if (!kind) {
            error = "--port " + value + ": expected sim, pty or rfc2217";
            return false;
        }
        o.ports = {*kind};
        o.portChosen = true;
    } else if (option == "--baud" && positive(value, n)) {
        o.bauds = {n};
    } else if (option == "--repeat" && positive(value, n)) {
        o.repeat = n;
    } else if (option == "--json") {
        o.jsonPath = value;
    } else {
        error = option == "--baud" || option == "--repeat"
                    ? option + " " + value + ": expected a positive whole number"
                    : "unknown option " + option;
        return false;
    }
    return true;
}

// Runs every chosen cell of the matrix and prints the table (and writes the JSON).
int runMatrix(const Options& options) {
    std::string error;
    std::vector<Row> rows;
    std::vector<std::string> notes;
    for (PortKind port : options.ports) {
        for (int baud : options.bauds) {
            std::fprintf(stderr, "kv58-bench: %s at %d baud...\n", portKindName(port), baud);
            const size_t before = rows.size();
            if (runCell(port, baud, options.repeat, rows, error))
                continue;
            rows.resize(before);
            const std::string what =
                std::string(portKindName(port)) + " at " + std::to_string(baud) + " baud: " + error;
            // A port kind this build cannot serve is reported, not fatal, in the full matrix.
            if (port == PortKind::Rfc2217 && !options.portChosen) {
                notes.push_back(std::string("rfc2217: not available (") + error + ")");
                break;
            }
            std::fprintf(stderr, "kv58-bench: %s\n", what.c_str());
            return kExitFailure;
        }
    }
    std::fputs(formatTable(rows, notes).c_str(), stdout);
    if (!options.jsonPath.empty() &&
        !headless::writeBytes(options.jsonPath,
                              formatJson(rows, thisMachine(), options.repeat, notes))) {
        std::fprintf(stderr, "kv58-bench: cannot write %s\n", options.jsonPath.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    return tools::runWithOptions(
        "kv58-bench", argc, argv,
        [&options](const std::string& option, const std::string& value, std::string& error) {
            return takeOption(options, option, value, error);
        },
        printHelp, [&options] { return runMatrix(options); });
}
