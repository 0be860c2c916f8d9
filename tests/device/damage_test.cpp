// A transmitter left damaged is never left without a word: what the reads find, what a write
// or a restore refuses, what the outcome of a failed write says, and that its way back works.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "base/paths.h"
#include "bsl/programming.h"
#include "core/dialog_ids.h"
#include "device/backup_reader.h"
#include "device/backup_restore.h"
#include "device/flow_fixture.h"
#include "device/flows.h"
#include "device/messages.h"
#include "device/segment_state.h"
#include "device/way_back.h"

namespace kv58::test {
namespace {

using ::testing::Contains;

class DamageTest : public FlowTest {
protected:
    std::vector<BackupEntry> entries() {
        std::vector<BackupEntry> out;
        std::string error;
        EXPECT_TRUE(readBackupFile(dir.file("backup/K58-104711.dat"), out, error)) << error;
        return out;
    }
    // Puts a way back of Kind::RestoreEntry into effect, as kv58ctl backup restore does.
    RestoreReport runWayBack(const WayBack& way) {
        EXPECT_EQ(way.kind, WayBack::Kind::RestoreEntry);
        std::vector<BackupEntry> found;
        std::string error;
        EXPECT_TRUE(readBackupFile(way.file, found, error)) << error;
        EXPECT_TRUE(dialog->flows().ReadDataKV58(false));
        BackupRestore restorer(dialog->settings(), dialog->link(), ui, dialog->run(),
                               dialog->data(), dialog->flows());
        return restorer.restore(
            found.at(static_cast<size_t>(way.entry - 1)),
            {.withSegmentB = way.withSegmentB, .matchSegmentB = way.matchSegmentB});
    }
    void writeOutput(const char* output) {
        choose(ids::kOutputList, output);
        writeFromMenu();
    }
    void setSegmentByte(uint16_t address, uint8_t value) {
        const SegmentData s = deviceSegment(address & 0xFF80);
        device().memory().eraseSegment(address & 0xFF80);
        for (size_t i = 0; i < s.size(); ++i) {
            const auto at = static_cast<uint16_t>((address & 0xFF80) + i);
            device().memory().write(at, at == address ? value : s[i]);
        }
    }
};

// The way-back image carries the serial number in its name; a serial number is data from the
// transmitter and never leads the file out of the work image's folder.
TEST(WayBackImageName, IsTheWorkImagesNameWithASafeSerialNumber) {
    const auto named = [](const std::string& serial) {
        SegmentData a;
        a.fill(0);
        std::copy(serial.begin(), serial.end(), a.begin() + 0x1E);
        return wayBackImageName("work/TEMP.TXT", a);
    };
    EXPECT_EQ(named("K58-104711"), "work/TEMP-K58-104711.TXT");
    EXPECT_EQ(named("../../etc/x"), "work/TEMP-.._.._etc_x.TXT");
    EXPECT_EQ(named("A\\B:C*"), "work/TEMP-A_B_C_.TXT");
    EXPECT_EQ(named(""), "work/TEMP-unknown.TXT");
    EXPECT_EQ(named(".."), "work/TEMP-unknown.TXT");
}

TEST(SegmentState, OnlyTheFieldsTheLayoutDefinesAreJudged) {
    SegmentData a{};
    std::copy_n("0102", 4, &a[segment_a::kVersion]);
    std::copy_n("K58-1 /x", 8, &a[segment_a::kId]);
    EXPECT_EQ(classifySegmentA(a), SegmentState::Intact);
    a.fill(0xFF);
    EXPECT_EQ(classifySegmentA(a), SegmentState::Erased);
    // Bytes the layout leaves uninterpreted differ between firmwares: anything goes there.
    SegmentData b{};
    std::copy_n("0102", 4, &b[segment_a::kVersion]);
    for (size_t i : {size_t{0}, size_t{0x12}, size_t{0x2E}, size_t{0x7F}})
        b[i] = 0xFF;
    EXPECT_EQ(classifySegmentA(b), SegmentState::Intact);
    SegmentData version = b;
    version[segment_a::kVersion + 2] = 'x';
    EXPECT_EQ(classifySegmentA(version), SegmentState::Implausible);
    version[segment_a::kVersion + 1] = 0;  // what follows the first NUL does not count
    EXPECT_EQ(classifySegmentA(version), SegmentState::Intact);
    SegmentData serial = b;
    serial[segment_a::kId] = 0xFF;  // a cell that did not program: "ÿ58-104711"
    EXPECT_EQ(classifySegmentA(serial), SegmentState::Implausible);
    serial[segment_a::kId] = 0x7F;
    EXPECT_EQ(classifySegmentA(serial), SegmentState::Implausible);
    SegmentData segB{};
    EXPECT_EQ(classifySegmentB(segB), SegmentState::Intact);
    segB.fill(0xFF);
    EXPECT_EQ(classifySegmentB(segB), SegmentState::Erased);
}

TEST_F(DamageTest, ReadSaysWhatIsDamagedAndHowToPutItBack) {
    ASSERT_TRUE(start());
    writeOutput("4 - 20 mA");
    ASSERT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Confirmed);
    EXPECT_FALSE(dialog->flows().lastReadDamage());

    device().memory().eraseSegment(kSegmentAAddress);
    ui.clear();
    ASSERT_TRUE(dialog->flows().ReadDataKV58(false));
    ASSERT_TRUE(dialog->flows().lastReadDamage());
    EXPECT_EQ(dialog->flows().lastReadDamage()->state, TransmitterState::SegmentAErased);
    EXPECT_THAT(
        ui.texts(),
        Contains("Segment A (configuration) of the transmitter is erased.\nTo put it "
                 "back:\nkv58ctl backup restore " +
                 nativePath(".\\backup\\K58-104711.dat") + " --entry 1 --match-segment-b --yes"));

    // An erased Segment B of a transmitter whose Segment A tells its serial number.
    ASSERT_EQ(runWayBack(dialog->flows().lastReadDamage()->wayBack).outcome,
              RestoreOutcome::Confirmed);
    device().memory().eraseSegment(kSegmentBAddress);
    ASSERT_TRUE(dialog->flows().ReadDataKV58(false));
    ASSERT_TRUE(dialog->flows().lastReadDamage());
    const WayBack way = dialog->flows().lastReadDamage()->wayBack;
    EXPECT_EQ(dialog->flows().lastReadDamage()->state, TransmitterState::SegmentBErased);
    EXPECT_TRUE(way.withSegmentB);
    EXPECT_FALSE(way.matchSegmentB);
    // The undo entry of the restore above went to the file of the erased Segment A's
    // "serial number"; the transmitter's own file has the write's entry.
    EXPECT_EQ(way.entry, 1);
    EXPECT_EQ(runWayBack(way).outcome, RestoreOutcome::Confirmed);
    EXPECT_FALSE(isErased(deviceSegment(kSegmentBAddress)));

    // Both gone: nothing on disk tells which transmitter it is.
    device().memory().eraseSegment(kSegmentAAddress);
    device().memory().eraseSegment(kSegmentBAddress);
    ASSERT_TRUE(dialog->flows().ReadDataKV58(false));
    EXPECT_EQ(dialog->flows().lastReadDamage()->state, TransmitterState::Unknown);
}

// The first case of the issue: a write after an interrupted one, over an erased Segment A,
// reported success and wrote a configuration into sixteen 0xFF bytes of serial number.
TEST_F(DamageTest, WriteOverADamagedSegmentAIsRefusedAndItsWayBackRepairsIt) {
    ASSERT_TRUE(start());
    writeOutput("4 - 20 mA");
    const SegmentData written = deviceSegment(kSegmentAAddress);
    device().memory().eraseSegment(kSegmentAAddress);
    ASSERT_TRUE(dialog->flows().ReadDataKV58(false));
    ui.clear();
    writeOutput("0 - 10 V");
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::DamagedRefused);
    EXPECT_TRUE(isErased(deviceSegment(kSegmentAAddress)));
    EXPECT_EQ(entries().size(), 1u) << "nothing backed up, nothing written";
    EXPECT_EQ(ui.texts().front().rfind("Segment A (configuration) of the transmitter is erased: "
                                       "a configuration write would put back only part of it.",
                                       0),
              0u);
    const Outcome left = dialog->flows().lastOutcome();
    EXPECT_EQ(left.state, TransmitterState::SegmentAErased);
    EXPECT_EQ(runWayBack(left.wayBack).outcome, RestoreOutcome::Confirmed);
    EXPECT_EQ(deviceSegment(kSegmentAAddress), written);

    // A serial number that a cell did not program: as damaged.
    setSegmentByte(kSegmentAAddress + segment_a::kId, 0xFF);
    ASSERT_TRUE(dialog->flows().ReadDataKV58(false));
    writeOutput("0 - 10 V");
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::DamagedRefused);
    EXPECT_EQ(dialog->flows().lastOutcome().state, TransmitterState::SegmentAHalfWritten);
}

// "Not written: attempts used up" was said of a Segment A that a stuck cell had changed, and
// of one that a power loss had left with the new configuration in it.
TEST_F(DamageTest, AttemptsUsedUpAfterAnEraseSayWhatSegmentAHolds) {
    writeSettings("", "", "MaxWriteCnt=1\r\n");
    ASSERT_TRUE(start());
    device().faults().stickCell(kSegmentAAddress + segment_a::kId);
    writeOutput("4 - 20 mA");
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::NotSent);
    EXPECT_EQ(dialog->flows().lastOutcome().state, TransmitterState::SegmentAHalfWritten);
    device().faults().unstickAll();
    EXPECT_EQ(runWayBack(dialog->flows().lastOutcome().wayBack).outcome, RestoreOutcome::Confirmed);

    device().faults().powerLossAtWrite(1);
    writeOutput("0 - 5 V");
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::NotSent);
    EXPECT_EQ(dialog->flows().lastOutcome().state, TransmitterState::NotVerified);
    EXPECT_EQ(deviceSegment(kSegmentAAddress), dialog->data().segmentAWrite);
}

TEST_F(DamageTest, SegmentWriteOnAnOldLoaderWithoutItsPatchErasesNothing) {
    writeSettings("loader=1.10");
    ASSERT_TRUE(start());
    const SegmentData before = deviceSegment(kSegmentAAddress);
    ASSERT_EQ(std::remove(dir.file("PATCH.TXT").c_str()), 0);
    ui.clear();
    writeOutput("4 - 20 mA");
    EXPECT_EQ(deviceSegment(kSegmentAAddress), before);
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::NotSent);
    EXPECT_EQ(dialog->flows().lastOutcome().state, TransmitterState::Unchanged);
    EXPECT_EQ(ui.texts().at(1),
              "ERROR: Unable to open input file \"PATCH.TXT\"! the loader, 1.10 or older, needs "
              "it: nothing was erased.");
}

// After a failed automatic restore nothing told the user that the image it wrote brings the
// transmitter back.
TEST_F(DamageTest, FailedAutomaticRestoreNamesTheImageThatPutsItBack) {
    ASSERT_TRUE(start());
    const ProgramImage program = deviceProgram();
    const SegmentData segB = deviceSegment(kSegmentBAddress);
    device().faults().changeProgramOnNextErase(0xF400);
    device().faults().stickCell(0xF000);  // the restore's programming fails there
    ASSERT_NE(program[0], 0xFF);
    writeOutput("0 - 5 V");
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::RestoreFailed);
    const Outcome left = dialog->flows().lastOutcome();
    EXPECT_EQ(left.state, TransmitterState::Unknown);
    ASSERT_EQ(left.wayBack.kind, WayBack::Kind::ProgramFile);
    EXPECT_THAT(ui.texts().back(), testing::EndsWith("kv58ctl program TEMP-K58-104711.TXT --yes"));
    device().faults().unstickAll();
    ASSERT_TRUE(runProgramming(dialog->link(), ProgrammingMode::FullRun, left.wayBack.file));
    EXPECT_EQ(deviceProgram(), program);
    EXPECT_EQ(deviceSegment(kSegmentBAddress), segB);
    EXPECT_EQ(deviceSegment(kSegmentAAddress), dialog->data().segmentAWrite);
}

// An undo entry that recorded an erased Segment B was written back as calibration.
TEST_F(DamageTest, RestoreNeverWritesAnErasedSegmentBNorADamagedSegmentA) {
    ASSERT_TRUE(start());
    writeOutput("4 - 20 mA");
    const SegmentData segA = deviceSegment(kSegmentAAddress);
    SegmentData erased;
    erased.fill(0xFF);
    BackupRestore restorer(dialog->settings(), dialog->link(), ui, dialog->run(), dialog->data(),
                           dialog->flows());
    BackupEntry withErasedB = entries().back();
    withErasedB.segmentB = erased;
    ui.clear();
    EXPECT_EQ(restorer.restore(withErasedB, {.withSegmentB = true}).outcome,
              RestoreOutcome::ErasedSegmentB);
    EXPECT_EQ(ui.messages.size(), 1u) << "refused before the question";
    EXPECT_FALSE(isErased(deviceSegment(kSegmentBAddress)));

    BackupEntry withErasedA = entries().back();
    withErasedA.segmentA = erased;
    EXPECT_EQ(restorer.restore(withErasedA, {.forceSerial = true}).outcome,
              RestoreOutcome::EntryRefused);
    EXPECT_EQ(deviceSegment(kSegmentAAddress), segA);
    EXPECT_EQ(entries().size(), 1u) << "no undo entry: nothing was to be written";
}

TEST_F(DamageTest, MatchingSegmentBNeverWritesAnotherTransmitter) {
    ASSERT_TRUE(start());
    writeOutput("4 - 20 mA");
    const BackupEntry entry = entries().back();
    device().swapTransmitter(device().nextTransmitter());
    device().memory().eraseSegment(kSegmentAAddress);
    ASSERT_TRUE(dialog->flows().ReadDataKV58(false));
    BackupRestore restorer(dialog->settings(), dialog->link(), ui, dialog->run(), dialog->data(),
                           dialog->flows());
    EXPECT_EQ(restorer.restore(entry, {.matchSegmentB = true}).outcome,
              RestoreOutcome::SerialMismatch);
    EXPECT_TRUE(isErased(deviceSegment(kSegmentAAddress)));
}

// In one session the relay list keeps the text of a transmitter read before; a written word
// took its relay bit from there.
TEST_F(DamageTest, RelayOfAnEarlierTransmitterIsNotWrittenToTheNext) {
    writeSettings("relay=yes");
    ASSERT_TRUE(start());
    ASSERT_EQ(dialog->model().list(ids::kRelayList).selectedText(), "Yes");
    sim::TransmitterRecipe next = device().nextTransmitter();
    next.relay = false;
    device().swapTransmitter(next);
    dialog->onCommand(ids::kReadNow);
    ASSERT_EQ(dialog->model().list(ids::kRelayList).selectedText(), "Yes");
    writeOutput("4 - 20 mA");
    ASSERT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Confirmed);
    EXPECT_EQ(readWord(deviceSegment(kSegmentAAddress), segment_a::kBitMaske) & config_bits::kRelay,
              0);
}

}  // namespace
}  // namespace kv58::test
