// The benchmark's results as a table for people and as JSON for programs.
#pragma once

#include <string>
#include <vector>

#include "bench_run.h"

namespace kv58::bench {

struct Spread {
    double min = 0;
    double median = 0;  // of an even count: the mean of the middle two
    double max = 0;
};
// The spread of the values; all zero for none.
Spread spreadOf(std::vector<double> values);

// The measures of a row, derived from its samples.
struct Summary {
    Spread wallMs;
    Spread floorMs;
    Spread ratio;       // wall / floor per sample
    Spread cpuPercent;  // CPU time / wall time per sample
};
Summary summarize(const Row& row);

// Where the figures were measured.
struct Machine {
    std::string cpu;  // model name
    int cores = 0;
    std::string system;  // kernel name and release
    std::string date;    // UTC, ISO 8601
};
Machine thisMachine();

// The table: a header line naming the columns (wall, floor, ratio, cpu %) and one line per
// row; `notes` (one per line) follow it.
std::string formatTable(const std::vector<Row>& rows, const std::vector<std::string>& notes);

// {"machine": {...}, "repeat": N, "results": [...], "notes": [...]}
std::string formatJson(const std::vector<Row>& rows, const Machine& machine, int repeat,
                       const std::vector<std::string>& notes);

}  // namespace kv58::bench
