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

#include "sim/prng.h"

namespace kv58::faults {

// What a session does: a configuration write, a restore of a backup entry, or a full
// programming run of an image.
enum class SessionKind { Write, Restore, Program };
const char* kindName(SessionKind kind);

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

    // The kind of session and the faults of the safety contract (fault_plan_contract.cpp),
    // drawn after everything above, so that the other draws of a seed stay those of
    // campaigns before them.
    SessionKind kind = SessionKind::Write;
    // The program ends when the host has sent this many bytes (killed: nothing more reaches
    // the transmitter); the next program's read must find what it left.
    std::optional<uint64_t> killAt;
    bool patchMissing = false;    // PATCH.TXT is not there; the loader is 1.10
    bool erasedSegmentA = false;  // the transmitter's Segment A is erased before the session
    // Restore: the entry's Segment B is written too, and is erased in the entry.
    bool withSegmentB = false;
    bool erasedSegmentBEntry = false;
    // Program: "" for the transmitter's own image, or an image no run may program:
    // "hex-prefix" (@0x...), "wrap" (past FFFF), "ram" (@0200).
    std::string oddImage;

    // The number of faults: items plus the byte-triggered ones.
    size_t count() const;
    // "lose-reply:37, silent@120..900, power-off@1200" (or "none").
    std::string describe() const;
    // "write-check=nak&frame-gap=wait&ftg=301", as the options of a sim: name.
    std::string loaderOptions() const;
    // Whether only faults of campaigns before the safety contract's were drawn: such
    // sessions are those earlier campaigns ran.
    bool onlyEarlierFaults() const;
};

// The seed of session `index` of a campaign with seed `campaignSeed`.
uint64_t sessionSeed(uint64_t campaignSeed, uint64_t index);

// One to three faults and the session's settings, from the seed.
FaultPlan planFaults(uint64_t seed);

// Draws the session's kind and the faults of the safety contract (fault_plan_contract.cpp).
void addContractFaults(sim::Prng& rng, FaultPlan& plan);
// The contract's faults as items of describe() ("kill@1200", "patch-missing", ...).
std::vector<std::string> contractFaultItems(const FaultPlan& plan);

}  // namespace kv58::faults
