#include "invariants.h"

#include "base/text.h"

namespace kv58::faults {

namespace {

// "0x1085" for the first byte where the two differ.
template <typename Bytes>
std::string firstDifference(const Bytes& a, const Bytes& b, uint32_t base) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i]) {
            return strprintf("0x%04X (%02X, expected %02X)", static_cast<unsigned>(base + i), a[i],
                             b[i]);
        }
    }
    return "its length";
}

void checkSuccess(const SessionFacts& f, std::vector<std::string>& out) {
    if (f.outcome != WriteOutcome::Confirmed)
        return;
    if (f.after.segmentA != f.writeImage) {
        out.push_back("confirmed, but Segment A differs from the one written at " +
                      firstDifference(f.after.segmentA, f.writeImage, kSegmentAAddress));
    }
    if (f.after.segmentB != f.before.segmentB) {
        out.push_back("confirmed, but Segment B differs from the old one at " +
                      firstDifference(f.after.segmentB, f.before.segmentB, kSegmentBAddress));
    }
    if (f.after.flash != f.before.flash) {
        out.push_back("confirmed, but the program memory differs from the old one at " +
                      firstDifference(f.after.flash, f.before.flash, 0x1100));
    }
}

void checkProgramChange(const SessionFacts& f, std::vector<std::string>& out) {
    if (f.after.flash == f.before.flash)
        return;
    if (!f.failureReported) {
        out.push_back(std::string("program memory changed at ") +
                      firstDifference(f.after.flash, f.before.flash, 0x1100) +
                      " without a failure shown (outcome: " + outcomeName(f.outcome) + ")");
    }
}

void checkBackup(const SessionFacts& f, std::vector<std::string>& out) {
    for (const BackupEntry& e : f.entriesAfter) {
        if (!e.intact()) {
            out.push_back(strprintf("backup entry %d damaged at line %d: ", e.index, e.damageLine) +
                          e.damage);
        }
    }
    if (f.kind != SessionKind::Write)
        return;  // a restore appends its undo entry, a programming run its kept segments
    const size_t expected = f.identityPassed ? 1 : 0;
    if (f.newEntries.size() != expected) {
        out.push_back(strprintf("%zu new backup entries for %zu passed identity checks",
                                f.newEntries.size(), expected));
        return;
    }
    if (expected == 0)
        return;
    const BackupEntry& e = f.newEntries.front();
    if (e.segmentA != f.writeImage)
        out.push_back("the backup entry's Segment A is not the one written");
    if (e.segmentB != f.original.segmentB)
        out.push_back("the backup entry's Segment B is not the one read");
}

}  // namespace

const char* outcomeName(WriteOutcome o) {
    switch (o) {
        case WriteOutcome::NotStarted:
            return "not started";
        case WriteOutcome::Declined:
            return "declined";
        case WriteOutcome::RangeRefused:
            return "range refused";
        case WriteOutcome::IdentityError:
            return "identity error";
        case WriteOutcome::DamagedRefused:
            return "damaged refused";
        case WriteOutcome::NotSent:
            return "not sent";
        case WriteOutcome::RereadFailed:
            return "reread failed";
        case WriteOutcome::Mismatch:
            return "mismatch";
        case WriteOutcome::RestoreFailed:
            return "restore failed";
        case WriteOutcome::ProgramUnchecked:
            return "program unchecked";
        case WriteOutcome::Confirmed:
            return "confirmed";
    }
    return "?";
}

std::string firstDifferenceText(const DeviceImage& a, const DeviceImage& b) {
    if (a.segmentA != b.segmentA)
        return firstDifference(a.segmentA, b.segmentA, kSegmentAAddress);
    if (a.segmentB != b.segmentB)
        return firstDifference(a.segmentB, b.segmentB, kSegmentBAddress);
    return firstDifference(a.flash, b.flash, 0x1100);
}

std::vector<std::string> checkInvariants(const SessionFacts& facts) {
    std::vector<std::string> out;
    checkSuccess(facts, out);
    checkProgramChange(facts, out);
    checkBackup(facts, out);
    checkContract(facts, out);
    if (facts.virtualUs > kMaxSessionUs) {
        out.push_back(strprintf("the write took %lld s on the virtual clock",
                                static_cast<long long>(facts.virtualUs / 1'000'000)));
    }
    return out;
}

}  // namespace kv58::faults
