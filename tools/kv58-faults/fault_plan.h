// What goes wrong in one session of the fault campaign, drawn from the session's seed, so
// that a seed replays its session exactly.
//
// Faults are those of the simulated transmitter (sim/faults.h), armed when the write starts,
// plus two that follow the host's bytes: the transmitter falls silent for a stretch of the
// transfer, or loses its power at a given byte. The session's own settings (baud rate,
// attempts, loader version, the configuration chosen) come from the same seed, and so do the
// ways of the transmitter's loader where loaders differ: whether it refuses a block that did
// not program, whether it drops a frame that a silence interrupts, and the clock of its flash.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv58::faults {

struct FaultPlan {
    uint64_t seed = 0;

    // Settings and transmitter of the session.
    int baud = 9600;
    int maxWriteCnt = 3;
    std::string loader = "1.60";
    std::string serial;
    int outputChoice = 0;  // index into the output list, taken modulo its length
    int tMin = 0, tMax = 0;

    // The loader's ways (options of the simulated transmitter).
    std::string writeCheck = "ack";  // ack | nak
    std::string frameGap = "drop";   // drop | wait
    int ftgKhz = 366;                // 257 … 476

    // Items for Faults::arm, armed when the write starts ("lose-reply:37").
    std::vector<std::string> items;
    // Silent from the host's n-th byte of the write on, up to its m-th (none: to the end).
    std::optional<uint64_t> silentFrom;
    std::optional<uint64_t> silentUntil;
    // Power fails when the host has sent this many bytes of the write.
    std::optional<uint64_t> powerOffAt;

    // The number of faults: items plus the byte-triggered ones.
    size_t count() const;
    // "lose-reply:37, silent@120..900, power-off@1200" (or "none").
    std::string describe() const;
    // "write-check=nak&frame-gap=wait&ftg=301", as the options of a sim: name.
    std::string loaderOptions() const;
};

// The seed of session `index` of a campaign with seed `campaignSeed`.
uint64_t sessionSeed(uint64_t campaignSeed, uint64_t index);

// One to three faults and the session's settings, from the seed.
FaultPlan planFaults(uint64_t seed);

}  // namespace kv58::faults
