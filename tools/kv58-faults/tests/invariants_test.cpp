// The invariant checks on hand-made session facts: each invariant must catch the fault it
// stands for, and a clean session must pass.
#include "invariants.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kv58::faults {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

BackupEntry entry(const SegmentData& a, const SegmentData& b) {
    BackupEntry e;
    e.dateTime = "07.12.2026 09:00";
    e.segmentA = a;
    e.segmentB = b;
    return e;
}

// A confirmed write of a new Segment A with its backup entry.
SessionFacts confirmedWrite() {
    SessionFacts f;
    f.before.segmentA.fill(0x11);
    f.before.segmentB.fill(0x22);
    f.before.flash.assign(0xEF00, 0xFF);
    f.before.flash.back() = 0xF0;
    f.writeImage.fill(0x33);
    f.after = f.before;
    f.after.segmentA = f.writeImage;
    f.outcome = WriteOutcome::Confirmed;
    f.identityPassed = true;
    f.newEntries = f.entriesAfter = {entry(f.writeImage, f.before.segmentB)};
    return f;
}

TEST(Invariants, ACleanConfirmedWritePasses) {
    EXPECT_THAT(checkInvariants(confirmedWrite()), IsEmpty());
}

TEST(Invariants, ConfirmedMeansNewSegmentAOldSegmentBOldProgram) {
    SessionFacts f = confirmedWrite();
    f.after.segmentA[5] = 0x00;
    EXPECT_THAT(checkInvariants(f),
                ElementsAre(HasSubstr("Segment A differs from the one written at 0x1085")));
    f = confirmedWrite();
    f.after.segmentB[0x7F] = 0x00;
    EXPECT_THAT(checkInvariants(f),
                ElementsAre(HasSubstr("Segment B differs from the old one at 0x107F")));
    f = confirmedWrite();
    f.after.flash[0xF400 - 0x1100] = 0x00;
    f.failureReported = true;
    EXPECT_THAT(checkInvariants(f),
                ElementsAre(HasSubstr(
                    "program memory differs from the old one at 0xF400 (00, expected FF)")));
}

TEST(Invariants, AChangedProgramMustNotGoUnreported) {
    SessionFacts f = confirmedWrite();
    f.outcome = WriteOutcome::NotSent;
    f.after.flash[0] = 0x00;
    EXPECT_THAT(checkInvariants(f),
                ElementsAre(HasSubstr("without a failure shown (outcome: not sent)")));
    f.failureReported = true;
    EXPECT_THAT(checkInvariants(f), IsEmpty());
    // A failed write that left the program alone needs no message for this invariant.
    f = confirmedWrite();
    f.outcome = WriteOutcome::NotSent;
    f.after.segmentA.fill(0xFF);
    EXPECT_THAT(checkInvariants(f), IsEmpty());
}

TEST(Invariants, OneIntactBackupEntryPerPassedIdentityCheck) {
    SessionFacts f = confirmedWrite();
    f.newEntries.push_back(f.newEntries.front());
    f.entriesAfter = f.newEntries;
    EXPECT_THAT(checkInvariants(f),
                ElementsAre("2 new backup entries for 1 passed identity checks"));

    f = confirmedWrite();
    f.identityPassed = false;
    f.outcome = WriteOutcome::IdentityError;
    f.after = f.before;
    EXPECT_THAT(checkInvariants(f),
                ElementsAre("1 new backup entries for 0 passed identity checks"));
    f.newEntries.clear();
    EXPECT_THAT(checkInvariants(f), IsEmpty());

    f = confirmedWrite();
    f.newEntries.front().segmentB.fill(0);
    EXPECT_THAT(checkInvariants(f),
                ElementsAre("the backup entry's Segment B is not the one read"));
    f = confirmedWrite();
    f.newEntries.front().segmentA = f.before.segmentA;
    EXPECT_THAT(checkInvariants(f),
                ElementsAre("the backup entry's Segment A is not the one written"));
}

TEST(Invariants, DamagedEntriesAnywhereAreReported) {
    SessionFacts f = confirmedWrite();
    BackupEntry old = entry(f.before.segmentA, f.before.segmentB);
    old.index = 1;
    old.damage = "a line of 15 values";
    old.damageLine = 9;
    f.entriesAfter.insert(f.entriesAfter.begin(), old);
    EXPECT_THAT(checkInvariants(f),
                ElementsAre("backup entry 1 damaged at line 9: a line of 15 values"));
}

TEST(Invariants, ASessionMustEndInBoundedVirtualTime) {
    SessionFacts f = confirmedWrite();
    f.virtualUs = kMaxSessionUs + 1;
    EXPECT_THAT(checkInvariants(f), ElementsAre(HasSubstr("on the virtual clock")));
}

}  // namespace
}  // namespace kv58::faults
