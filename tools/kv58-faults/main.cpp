// kv58-faults: the fault campaign. Thousands of randomised write sessions against the
// simulated transmitter on the virtual clock, each with faults of the transmitter and the
// wire, each followed by a check of the invariants (see invariants.h).
//
//   kv58-faults [--sessions N] [--seed S]    a campaign (default 1000 sessions, seed 1)
//   kv58-faults --replay SEED                one session, told in full
//
// The last line of the output reads "violations: N"; the exit code is 0 only when N is 0.
// Every violation is printed with the seed of its session, which --replay runs again.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>

#include "device/outcome.h"
#include "invariants.h"
#include "session.h"
#include "tool_command_line.h"

using namespace kv58;
using namespace kv58::faults;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitViolations = 1;
// 2: a refused command line (tools::kExitUsage)
constexpr int kExitHang = 3;
// A session that runs longer than this on the real clock has hung (a whole session takes
// milliseconds; a sanitizer build a second or so).
constexpr int64_t kHangLimitMs = 120'000;

struct Options {
    uint64_t sessions = 1000;
    uint64_t seed = 1;
    bool replay = false;
    uint64_t replaySeed = 0;
};

void printHelp() {
    std::printf(
        "Usage: kv58-faults [--sessions N] [--seed S]\n"
        "       kv58-faults --replay SEED\n\n"
        "Runs randomised configuration writes against the simulated transmitter on the\n"
        "virtual clock, each with one to three faults (lost and corrupted bytes, no answer,\n"
        "refused password, flash cells that will not program, program flash disturbed by the\n"
        "write, the transmitter swapped, power lost, the program killed at a random byte, the\n"
        "loader patch missing for a 1.10 loader, a Segment A erased before the write), against\n"
        "loaders that refuse a block that did not program or acknowledge it, that drop a frame\n"
        "a silence interrupts or wait for its rest, with a flash clock across its range; and\n"
        "restores of backup entries (some with an erased Segment B) and programming runs of\n"
        "images (some that no run may program), and checks after each session that:\n"
        "  - a write is reported as confirmed only when the transmitter holds exactly the new\n"
        "    Segment A, the old Segment B and the old program;\n"
        "  - what a command says the transmitter holds never claims less damage than there\n"
        "    is (\"unchanged\" means Segment A, Segment B and the program as they were);\n"
        "  - a damaged transmitter is put back by running the way back that was named;\n"
        "  - after a kill, the next read reports what the kill left;\n"
        "  - nothing is written over an erased Segment A, and an image or entry that must be\n"
        "    refused changes nothing;\n"
        "  - a changed program memory never goes unreported;\n"
        "  - the backup holds exactly one new, intact entry per identity check that passed;\n"
        "  - the session ends in bounded time.\n"
        "Prints the sessions, the faults injected, the outcomes and every violation with the\n"
        "seed that replays it; the last line reads \"violations: N\".\n\n"
        "  --sessions N    number of sessions (default 1000)\n"
        "  --seed S        campaign seed (default 1)\n"
        "  --replay SEED   run the one session with this seed (as printed) and tell it all\n");
}

bool number(const std::string& text, uint64_t& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text.c_str(), &end, 0);
    return !text.empty() && text[0] != '-' && *end == '\0' && errno == 0;
}

// Takes one option of the command line; false with the reason in `error`.
bool takeOption(Options& o, const std::string& option, const std::string& value,
                std::string& error) {
    uint64_t n = 0;
    if (!number(value, n)) {
        error = option + " " + value + ": expected a whole number";
        return false;
    }
    if (option == "--sessions") {
        o.sessions = n;
    } else if (option == "--seed") {
        o.seed = n;
    } else if (option == "--replay") {
        o.replay = true;
        o.replaySeed = n;
    } else {
        error = "unknown option " + option;
        return false;
    }
    return true;
}

int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Ends the program with the seed of a session that does not end.
class HangWatch {
public:
    HangWatch() : thread_([this] { watch(); }) {}
    ~HangWatch() {
        done_ = true;
        thread_.join();
    }
    void begin(uint64_t seed) {
        seed_ = seed;
        startMs_ = steadyMs();
    }
    void end() { startMs_ = 0; }

private:
    void watch() {
        while (!done_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            const int64_t start = startMs_;
            if (start != 0 && steadyMs() - start > kHangLimitMs) {
                std::printf("violation: session seed 0x%016" PRIx64
                            " hangs (replay: kv58-faults "
                            "--replay 0x%016" PRIx64 ")\nviolations: 1\n",
                            seed_.load(), seed_.load());
                std::fflush(stdout);
                std::_Exit(kExitHang);
            }
        }
    }

    std::atomic<bool> done_{false};
    std::atomic<uint64_t> seed_{0};
    std::atomic<int64_t> startMs_{0};
    std::thread thread_;
};

// "lose-reply:37" -> "lose-reply"; "silent@1..end" -> "silent".
std::string faultKind(const std::string& item) {
    return item.substr(0, item.find_first_of(":@"));
}

// Sessions and confirmed writes per way of the loader ("write-check=nak", "frame-gap=drop").
struct VariantCount {
    uint64_t sessions = 0;
    uint64_t confirmed = 0;
};

void countVariants(const SessionResult& r, std::map<std::string, VariantCount>& variants) {
    for (const std::string& way :
         {"write-check=" + r.plan.writeCheck, "frame-gap=" + r.plan.frameGap}) {
        ++variants[way].sessions;
        variants[way].confirmed += r.outcome == WriteOutcome::Confirmed;
    }
}

// Sessions by kind, claims, damage and ways back run; and the confirmed share of the writes
// that faced only the faults of earlier campaigns, which must not drop.
struct ContractCounts {
    std::map<std::string, uint64_t> kinds, claims;
    uint64_t damaged = 0, wayBacksRun = 0, earlierWrites = 0, earlierConfirmed = 0;

    void add(const SessionResult& r) {
        ++kinds[kindName(r.plan.kind)];
        ++claims[r.claim ? stateKey(r.claim->state) : "none (killed)"];
        damaged += r.damaged;
        wayBacksRun += r.wayBackRan;
        if (r.plan.onlyEarlierFaults()) {
            ++earlierWrites;
            earlierConfirmed += r.outcome == WriteOutcome::Confirmed;
        }
    }
    void print() const {
        std::printf("sessions by kind:\n");
        for (const auto& [kind, n] : kinds)
            std::printf("  %-18s %" PRIu64 "\n", kind.c_str(), n);
        std::printf("what the commands said the transmitter holds:\n");
        for (const auto& [claim, n] : claims)
            std::printf("  %-22s %" PRIu64 "\n", claim.c_str(), n);
        std::printf("left damaged: %" PRIu64 ", ways back run: %" PRIu64 "\n", damaged,
                    wayBacksRun);
        std::printf(
            "writes with only earlier faults: %" PRIu64 ", confirmed %" PRIu64 " (%.1f %%)\n",
            earlierWrites, earlierConfirmed,
            earlierWrites
                ? 100.0 * static_cast<double>(earlierConfirmed) / static_cast<double>(earlierWrites)
                : 0.0);
    }
};

void countFaults(const FaultPlan& plan, std::map<std::string, uint64_t>& kinds) {
    for (const std::string& item : plan.items)
        ++kinds[faultKind(item)];
    if (plan.silentFrom)
        ++kinds["silent"];
    if (plan.powerOffAt)
        ++kinds["power-off"];
}

int replay(uint64_t seed) {
    SessionRunner runner;
    const SessionResult r = runner.run(seed);
    const FaultPlan& p = r.plan;
    std::printf("session seed 0x%016" PRIx64 "\n", seed);
    std::printf("%s session; transmitter %s, loader %s (%s), %d baud, MaxWriteCnt %d\n",
                kindName(p.kind), p.serial.c_str(), p.loader.c_str(), p.loaderOptions().c_str(),
                p.baud, p.maxWriteCnt);
    std::printf("new configuration: output item %d, T %d to %d\n", p.outputChoice, p.tMin, p.tMax);
    std::printf("faults: %s\n", p.describe().c_str());
    for (const std::string& text : r.shown)
        std::printf("shown: %s\n", text.c_str());
    std::printf("outcome: %s after %.3f s\n", outcomeName(r.outcome),
                static_cast<double>(r.virtualUs) / 1e6);
    if (r.claim) {
        std::printf("said: %s%s%s\n", stateKey(r.claim->state),
                    r.claim->wayBack.file.empty() ? "" : "; way back: ",
                    wayBackCommand(r.claim->wayBack, "kv58ctl").c_str());
    }
    std::printf("left damaged: %s; way back run: %s\n", r.damaged ? "yes" : "no",
                r.wayBackRan ? "yes" : "no");
    for (const std::string& v : r.violations)
        std::printf("violation: %s\n", v.c_str());
    std::printf("violations: %zu\n", r.violations.size());
    return r.violations.empty() ? kExitOk : kExitViolations;
}

int campaign(const Options& o) {
    SessionRunner runner;
    HangWatch watch;
    uint64_t faults = 0, violations = 0;
    std::map<std::string, uint64_t> kinds, outcomes;
    std::map<std::string, VariantCount> variants;
    ContractCounts contract;
    for (uint64_t i = 0; i < o.sessions; ++i) {
        const uint64_t seed = sessionSeed(o.seed, i);
        watch.begin(seed);
        const SessionResult r = runner.run(seed);
        watch.end();
        faults += r.plan.count();
        countFaults(r.plan, kinds);
        countVariants(r, variants);
        contract.add(r);
        ++outcomes[outcomeName(r.outcome)];
        for (const std::string& v : r.violations) {
            ++violations;
            std::printf("violation: session %" PRIu64 " seed 0x%016" PRIx64
                        " (%s): %s "
                        "(replay: kv58-faults --replay 0x%016" PRIx64 ")\n",
                        i, seed, r.plan.describe().c_str(), v.c_str(), seed);
        }
        if ((i + 1) % 1000 == 0) {
            std::fprintf(stderr, "kv58-faults: %" PRIu64 " sessions\n", i + 1);
        }
    }
    std::printf("campaign seed: %" PRIu64 "\nsessions: %" PRIu64 "\nfaults injected: %" PRIu64 "\n",
                o.seed, o.sessions, faults);
    for (const auto& [kind, n] : kinds)
        std::printf("  %-18s %" PRIu64 "\n", kind.c_str(), n);
    std::printf("loaders (sessions, confirmed):\n");
    for (const auto& [variant, n] : variants) {
        std::printf("  %-18s %" PRIu64 " %" PRIu64 "\n", variant.c_str(), n.sessions, n.confirmed);
    }
    std::printf("outcomes:\n");
    for (const auto& [outcome, n] : outcomes) {
        std::printf("  %-18s %" PRIu64 "\n", outcome.c_str(), n);
    }
    contract.print();
    std::printf("violations: %" PRIu64 "\n", violations);
    return violations == 0 ? kExitOk : kExitViolations;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    return tools::runWithOptions(
        "kv58-faults", argc, argv,
        [&options](const std::string& option, const std::string& value, std::string& error) {
            return takeOption(options, option, value, error);
        },
        printHelp,
        [&options] { return options.replay ? replay(options.replaySeed) : campaign(options); });
}
