// A production bench in miniature: N simulated transmitters, each served by its own kv58-sim
// process (pseudo-terminals and RFC 2217 servers in turn), configured at once by N kv58ctl
// processes started together, each with `kv58ctl write` on its own port and in its own
// working folder. The batch's wall time is compared with the floor of the slowest port alone
// (every port runs the same transfers, so that is the floor of one: the start-up read and the
// write with its reread, computed from the link's trace as for the other rows).
//
// Each size runs in two forms: N separate kv58ctl processes, and one kv58ctl command given
// the N ports (--port … --port …), started from one folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv58::bench {

struct BatchSample {
    int64_t wallUs = 0;     // first start to last end
    int64_t floorUs = 0;    // of one port alone
    int64_t ctlCpuUs = 0;   // user and system time of all kv58ctl processes
    int64_t simCpuUs = 0;   // of all kv58-sim processes during the batch
    int64_t slowestUs = 0;  // the longest kv58ctl process
};

struct BatchRow {
    int ports = 0;
    int baud = 0;
    bool oneCommand = false;  // one kv58ctl with every port, not one process a port
    std::vector<BatchSample> samples;
};

// Runs `repeat` batches on `ports` transmitters and appends their row. False with the reason
// in `error` when a server does not start or a write is not confirmed.
bool runBatch(int ports, int baud, int repeat, bool oneCommand, std::vector<BatchRow>& rows,
              std::string& error);

// The table: ports, baud, batch wall, floor, ratio, kv58ctl's CPU as a share of one core (all
// processes together), per process, and the servers' CPU share.
std::string formatBatchTable(const std::vector<BatchRow>& rows);
std::string formatBatchJson(const std::vector<BatchRow>& rows);

}  // namespace kv58::bench
