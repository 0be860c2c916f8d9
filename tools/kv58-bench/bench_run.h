// One cell of the benchmark matrix: a port kind at one baud rate, with the four operations
// (plain read, configuration write with its reread, the write's segment transfer alone,
// restore) run `repeat` times each against the simulated transmitter on the real clock.
#pragma once

#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "wire_floor.h"

namespace kv58::bench {

enum class PortKind { Sim, Pty, Rfc2217 };
const char* portKindName(PortKind kind);
std::optional<PortKind> parsePortKind(const std::string& text);

enum class Operation { Read, Write, Segment, Restore };
const char* operationName(Operation op);
constexpr Operation kOperations[] = {Operation::Read, Operation::Write, Operation::Segment,
                                     Operation::Restore};

struct Sample {
    int64_t wallUs = 0;
    int64_t cpuUs = 0;  // user and system time of this process
    Floor floor;
};

struct Row {
    PortKind port = PortKind::Sim;
    int baud = 0;
    Operation op = Operation::Read;
    std::vector<Sample> samples;
    int adapterLatencyMs = 0;  // the simulated USB adapter's latency timer (0: none)
};

// "sim", "pty", "rfc2217"; "sim+16ms" behind an adapter with a latency timer.
std::string portLabel(const Row& row);

struct CellOptions {
    int adapterLatencyMs = 0;  // in process only (option "latency" of the transmitter)
    std::vector<Operation> operations{std::begin(kOperations), std::end(kOperations)};
};

// Runs the cell and appends one row per operation to `rows`. False with the reason in
// `error` when the port cannot be set up or an operation fails (a benchmark of a failing
// transfer would measure nothing useful).
bool runCell(PortKind port, int baud, int repeat, std::vector<Row>& rows, std::string& error,
             const CellOptions& options = {});

}  // namespace kv58::bench
