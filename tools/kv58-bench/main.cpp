// kv58-bench: how fast the Configurator's transfers are on the wire, against the simulated
// transmitter on the real clock.
//
//   kv58-bench [--port sim|pty|rfc2217] [--baud N] [--repeat N] [--json FILE]
//   kv58-bench --adapter-latency MS,... [--baud N] [--repeat N] [--json FILE]
//   kv58-bench --ports N,... [--baud N] [--repeat N] [--json FILE]
//
// Without options it runs the whole matrix: every port kind at 9600 and 115200 baud (8E1),
// each with a plain read, a configuration write with its reread, the write's Segment A
// transfer alone, and a restore, three times. --adapter-latency times reads behind a USB
// adapter's latency timer; --ports a bench of N transmitters configured at once
// (batch_run.h).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/json.h"
#include "base/text.h"
#include "batch_run.h"
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
    std::vector<int> adapterLatenciesMs;  // --adapter-latency: read rows behind such adapters
    std::vector<int> batchPorts;          // --ports: batches of this many transmitters
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
        "  --json FILE   also write the results as JSON\n\n"
        "  --adapter-latency MS,...\n"
        "                instead of the matrix: a plain read in process behind a USB serial\n"
        "                adapter whose latency timer holds received bytes up to MS ms (16 is\n"
        "                many adapters' default, 1 their low-latency mode; 0 none), for each\n"
        "                value and baud rate\n"
        "  --ports N,... instead of the matrix: a bench of N simulated transmitters (kv58-sim\n"
        "                on pseudo-terminals and as RFC 2217 servers in turn) written at once\n"
        "                by N kv58ctl processes (kv58ctl write, each in its own folder),\n"
        "                and by one kv58ctl write given the N ports;\n"
        "                prints the batch's wall time against the floor of one port alone and\n"
        "                the CPU time of kv58ctl and of the servers (default baud 9600)\n");
}

// "1,4,8,16": whole numbers from `min` to 1000; false for anything else.
bool numberList(const std::string& text, int min, std::vector<int>& values) {
    values.clear();
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        char* end = nullptr;
        const long v = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || v < min || v > 1000)
            return false;
        values.push_back(static_cast<int>(v));
        start = comma + 1;
    }
    return !values.empty();
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
    } else if (option == "--adapter-latency" || option == "--ports") {
        const bool ports = option == "--ports";
        if (!numberList(value, ports ? 1 : 0, ports ? o.batchPorts : o.adapterLatenciesMs)) {
            error = option + " " + value + ": expected whole numbers separated by commas" +
                    (ports ? " (1 or more)" : " (milliseconds, 0 or more)");
            return false;
        }
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

// The read behind adapters with latency timers: in process, at each baud rate.
int runAdapterRows(const Options& options) {
    std::string error;
    std::vector<Row> rows;
    for (int baud : options.bauds) {
        for (int latency : options.adapterLatenciesMs) {
            std::fprintf(stderr, "kv58-bench: read behind a %d ms adapter at %d baud...\n", latency,
                         baud);
            CellOptions cell;
            cell.adapterLatencyMs = latency;
            cell.operations = {Operation::Read};
            if (!runCell(PortKind::Sim, baud, options.repeat, rows, error, cell)) {
                std::fprintf(stderr, "kv58-bench: %s\n", error.c_str());
                return kExitFailure;
            }
        }
    }
    std::fputs(formatTable(rows, {}).c_str(), stdout);
    if (!options.jsonPath.empty() &&
        !headless::writeBytes(options.jsonPath,
                              formatJson(rows, thisMachine(), options.repeat, {}))) {
        std::fprintf(stderr, "kv58-bench: cannot write %s\n", options.jsonPath.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

int runBatches(const Options& options) {
    std::string error;
    std::vector<BatchRow> rows;
    const std::vector<int> bauds = options.bauds.size() == 1 ? options.bauds : std::vector{9600};
    for (int baud : bauds) {
        for (int ports : options.batchPorts) {
            std::fprintf(stderr, "kv58-bench: %d transmitters at once at %d baud...\n", ports,
                         baud);
            for (const bool oneCommand : {false, true}) {
                if (!runBatch(ports, baud, options.repeat, oneCommand, rows, error)) {
                    std::fprintf(stderr, "kv58-bench: %s\n", error.c_str());
                    return kExitFailure;
                }
            }
        }
    }
    std::fputs(formatBatchTable(rows).c_str(), stdout);
    const Machine m = thisMachine();
    const std::string json =
        "{\n  \"machine\": {\"cpu\": " + jsonString(m.cpu) + strprintf(", \"cores\": %d", m.cores) +
        ", \"system\": " + jsonString(m.system) + ", \"date\": " + jsonString(m.date) + "},\n" +
        strprintf("  \"repeat\": %d,\n  \"batches\": ", options.repeat) + formatBatchJson(rows) +
        "\n}\n";
    if (!options.jsonPath.empty() && !headless::writeBytes(options.jsonPath, json)) {
        std::fprintf(stderr, "kv58-bench: cannot write %s\n", options.jsonPath.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

int run(const Options& options) {
    if (!options.batchPorts.empty())
        return runBatches(options);
    if (!options.adapterLatenciesMs.empty())
        return runAdapterRows(options);
    return runMatrix(options);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    return tools::runWithOptions(
        "kv58-bench", argc, argv,
        [&options](const std::string& option, const std::string& value, std::string& error) {
            return takeOption(options, option, value, error);
        },
        printHelp, [&options] { return run(options); });
}
