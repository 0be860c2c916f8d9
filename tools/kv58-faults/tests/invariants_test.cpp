// The invariant checks on hand-made session facts: each invariant must catch the fault it
// stands for, and a clean session must pass.
#include "invariants.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kv58::faults {
namespace {

using ::testing::Contains;
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
    f.original = f.before;
    f.target = f.after;
    f.outcome = WriteOutcome::Confirmed;
    f.claim = Outcome{TransmitterState::Confirmed, {}};
    f.identityPassed = true;
    f.newEntries = f.entriesAfter = {entry(f.writeImage, f.before.segmentB)};
    return f;
}

TEST(Invariants, ACleanConfirmedWritePasses) {
    EXPECT_THAT(checkInvariants(confirmedWrite()), IsEmpty());
}

// A session whose transmitter is damaged, with a way back that put it back: only the
// invariant under test can fail.
SessionFacts repaired(SessionFacts f) {
    WayBack way;
    way.kind = WayBack::Kind::ProgramFile;
    way.file = "TEMP.TXT";
    f.wayBack = way;
    f.afterWayBack = f.before;
    return f;
}

TEST(Invariants, ConfirmedMeansNewSegmentAOldSegmentBOldProgram) {
    SessionFacts f = confirmedWrite();
    f.after.segmentA[5] = 0x00;
    EXPECT_THAT(checkInvariants(repaired(f)),
                Contains(HasSubstr("Segment A differs from the one written at 0x1085")));
    f = confirmedWrite();
    f.after.segmentB[0x7F] = 0x00;
    EXPECT_THAT(checkInvariants(repaired(f)),
                Contains(HasSubstr("Segment B differs from the old one at 0x107F")));
    f = confirmedWrite();
    f.after.flash[0xF400 - 0x1100] = 0x00;
    f.failureReported = true;
    EXPECT_THAT(
        checkInvariants(repaired(f)),
        Contains(HasSubstr("program memory differs from the old one at 0xF400 (00, expected FF)")));
}

TEST(Invariants, AChangedProgramMustNotGoUnreported) {
    SessionFacts f = confirmedWrite();
    f.outcome = WriteOutcome::NotSent;
    f.claim = Outcome{TransmitterState::Unknown, {}};
    f.after.flash[0] = 0x00;
    EXPECT_THAT(checkInvariants(repaired(f)),
                ElementsAre(HasSubstr("without a failure shown (outcome: not sent)")));
    f.failureReported = true;
    EXPECT_THAT(checkInvariants(repaired(f)), IsEmpty());
    // A failed write that left the program alone needs no message for this invariant.
    f = confirmedWrite();
    f.outcome = WriteOutcome::NotSent;
    f.claim = Outcome{TransmitterState::SegmentAErased, {}};
    f.after.segmentA.fill(0xFF);
    EXPECT_THAT(checkInvariants(repaired(f)), IsEmpty());
}

TEST(Contract, AClaimNeverNamesLessDamageThanThereIs) {
    SessionFacts f = confirmedWrite();
    f.outcome = WriteOutcome::NotSent;
    f.claim = Outcome{TransmitterState::Unchanged, {}};
    EXPECT_THAT(checkInvariants(repaired(f)),
                ElementsAre("said unchanged, but the transmitter differs at 0x1080 (33, "
                            "expected 11)"));
    f.after = f.before;
    EXPECT_THAT(checkInvariants(f), IsEmpty());
    // Segment A named, the program damaged.
    f.claim = Outcome{TransmitterState::SegmentAErased, {}};
    f.after.segmentA.fill(0xFF);
    f.after.flash[0x100] = 0x00;
    f.failureReported = true;
    EXPECT_THAT(checkInvariants(repaired(f)),
                ElementsAre(HasSubstr("said segment-a-erased, but the damage is elsewhere")));
    // Not verified covers all of it.
    f.claim = Outcome{TransmitterState::NotVerified, {}};
    EXPECT_THAT(checkInvariants(repaired(f)), IsEmpty());
    // Confirmed must be exactly the target.
    f = confirmedWrite();
    f.after.segmentA[0] = 0x00;
    EXPECT_THAT(checkInvariants(repaired(f)), Contains(HasSubstr("said confirmed, but")));
}

TEST(Contract, ADamagedTransmitterNeedsAWayBackThatPutsItBack) {
    SessionFacts f = confirmedWrite();
    f.outcome = WriteOutcome::NotSent;
    f.claim = Outcome{TransmitterState::SegmentAErased, {}};
    f.after.segmentA.fill(0xFF);
    EXPECT_THAT(checkInvariants(f), ElementsAre(HasSubstr("and no way back was named")));
    SessionFacts g = repaired(f);
    g.afterWayBack->segmentA[3] = 0x00;
    EXPECT_THAT(checkInvariants(g), ElementsAre(HasSubstr("left the transmitter damaged")));
    g.afterWayBack = f.target;  // put back as the write meant it: fine too
    EXPECT_THAT(checkInvariants(g), IsEmpty());
    // Each part as it was or as meant is no damage.
    f.after = f.before;
    f.after.segmentB = f.target.segmentB;
    EXPECT_THAT(checkInvariants(f), IsEmpty());
}

TEST(Contract, AfterAKillTheNextReadFindsTheDamage) {
    SessionFacts f = confirmedWrite();
    f.killed = true;
    f.outcome = WriteOutcome::NotSent;
    f.claim.reset();
    f.after.segmentA.fill(0xFF);
    EXPECT_THAT(checkInvariants(repaired(f)),
                ElementsAre(HasSubstr("after the kill the next read found nothing wrong")));
    f.nextReadDamage = Outcome{TransmitterState::SegmentAErased, {}};
    EXPECT_THAT(checkInvariants(repaired(f)), IsEmpty());
}

TEST(Contract, NothingIsWrittenOverAnErasedSegmentANorByARefusedCommand) {
    SessionFacts f = confirmedWrite();
    f.before.segmentA.fill(0xFF);
    f.erasedSegmentAAtStart = true;
    f.target = f.after;
    EXPECT_THAT(checkInvariants(f), Contains(HasSubstr("written over an erased Segment A")));
    f = confirmedWrite();
    f.mustRefuse = true;
    EXPECT_THAT(checkInvariants(f),
                Contains(HasSubstr("an image or entry that must be refused changed")));
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
    f.claim = Outcome{TransmitterState::Unchanged, {}};
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
