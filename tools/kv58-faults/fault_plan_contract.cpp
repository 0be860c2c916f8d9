// The faults the safety contract adds to the campaign: the process killed at a random
// instant, a missing loader patch, a transmitter whose Segment A is already erased, a backup
// entry with an erased Segment B, images no run may program; and the sessions that restore a
// backup entry or program an image.
#include <algorithm>

#include "base/text.h"
#include "fault_plan.h"

namespace kv58::faults {

namespace {

using sim::Prng;

// Host bytes of a write with its reread are about 800, of a restore about 1200, of a full
// programming run about 10 000: kills land in every stage of each.
uint64_t killByte(Prng& rng, SessionKind kind) {
    const uint32_t span = kind == SessionKind::Program ? 12000 : 1600;
    return 1 + rng.below(span);
}

// A killed session keeps only the faults that lose bytes or time. What a kill left must be
// found by the next read; a fault that writes wrong bytes (a cell that will not program, a
// disturbed program, lost power, two corrupted bytes whose flips the frame's checksum does
// not see) leaves damage that only the write's own verification finds, and a kill right
// after it leaves nothing that could.
void keepWireFaultsOnly(FaultPlan& plan) {
    const auto flashFault = [](const std::string& item) {
        return item.rfind("stuck", 0) == 0 || item.rfind("program-change", 0) == 0 ||
               item.rfind("swap", 0) == 0 || item.rfind("power-loss", 0) == 0 ||
               item.rfind("corrupt", 0) == 0;
    };
    plan.items.erase(std::remove_if(plan.items.begin(), plan.items.end(), flashFault),
                     plan.items.end());
    plan.powerOffAt.reset();
}

}  // namespace

const char* kindName(SessionKind kind) {
    switch (kind) {
        case SessionKind::Write:
            return "write";
        case SessionKind::Restore:
            return "restore";
        case SessionKind::Program:
            return "program";
    }
    return "?";
}

void addContractFaults(Prng& rng, FaultPlan& plan) {
    const uint32_t kind = rng.below(10);
    plan.kind = kind == 0   ? SessionKind::Restore
                : kind == 1 ? SessionKind::Program
                            : SessionKind::Write;
    plan.withSegmentB = rng.below(2) == 0;
    switch (rng.below(8)) {
        case 0:
            plan.killAt = killByte(rng, plan.kind);
            keepWireFaultsOnly(plan);
            break;
        case 1:
            plan.patchMissing = true;
            plan.loader = "1.10";
            break;
        case 2:
            if (plan.kind == SessionKind::Restore) {
                plan.erasedSegmentBEntry = true;
                plan.withSegmentB = true;
            } else if (plan.kind == SessionKind::Program) {
                static const char* const kOdd[] = {"hex-prefix", "wrap", "ram"};
                plan.oddImage = kOdd[rng.below(3)];
            } else {
                plan.erasedSegmentA = true;
            }
            break;
        default:
            break;
    }
}

std::vector<std::string> contractFaultItems(const FaultPlan& plan) {
    std::vector<std::string> items;
    if (plan.killAt)
        items.push_back("kill@" + std::to_string(*plan.killAt));
    if (plan.patchMissing)
        items.push_back("patch-missing");
    if (plan.erasedSegmentA)
        items.push_back("erased-segment-a");
    if (plan.erasedSegmentBEntry)
        items.push_back("entry-with-erased-segment-b");
    if (!plan.oddImage.empty())
        items.push_back("odd-image:" + plan.oddImage);
    return items;
}

bool FaultPlan::onlyEarlierFaults() const {
    return kind == SessionKind::Write && contractFaultItems(*this).empty();
}

}  // namespace kv58::faults
