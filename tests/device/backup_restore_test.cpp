// Putting a backup entry back into the simulated transmitter, after the faults it is there
// for: Segment A erased or half-written by a write that was cut off.
#include "device/backup_restore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/paths.h"
#include "base/text.h"
#include "core/dialog_ids.h"
#include "device/backup.h"
#include "device/flow_fixture.h"
#include "device/flows.h"

namespace kv58::test {
namespace {

constexpr const char* kBackupFile = "backup/K58-104711.dat";

class BackupRestoreTest : public FlowTest {
protected:
    BackupRestoreTest() {
        fixed.tm_year = 126, fixed.tm_mon = 1, fixed.tm_mday = 1, fixed.tm_hour = 3,
        fixed.tm_min = 4;
    }

    RestoreReport restore(const BackupEntry& entry, RestoreOptions options = {}) {
        BackupRestore restorer(dialog->settings(), dialog->link(), ui, dialog->run(),
                               dialog->data(), dialog->flows());
        restorer.now = [this] { return fixed; };
        return restorer.restore(entry, options);
    }
    std::vector<BackupEntry> entries(const std::string& file = kBackupFile) {
        std::vector<BackupEntry> out;
        std::string error;
        EXPECT_TRUE(readBackupFile(dir.file(file), out, error)) << error;
        return out;
    }
    // An entry as the writer makes it, with the date of `fixed`.
    BackupEntry entryOf(const SegmentData& a, const SegmentData& b) {
        return parseBackupText(formatBackupEntry(fixed, a, b)).at(0);
    }
    void replaceInSettings(const std::string& from, const std::string& to) {
        std::string ini = readFile(dir.file("KV58.ini"));
        ini.replace(ini.find(from), from.size(), to);
        writeFile(dir.file("KV58.ini"), ini);
    }
    std::tm fixed{};
};

SegmentData erased() {
    SegmentData s;
    s.fill(0xFF);
    return s;
}

TEST_F(BackupRestoreTest, ErasedSegmentAIsRefusedWithoutForceAndRestoredExactlyWithIt) {
    ASSERT_TRUE(start());
    choose(ids::kOutputList, "4 - 20 mA");
    writeFromMenu();
    ASSERT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Confirmed);
    const SegmentData written = deviceSegment(kSegmentAAddress);
    const SegmentData segB = deviceSegment(kSegmentBAddress);
    const ProgramImage program = deviceProgram();
    const BackupEntry entry = entries().at(0);
    ASSERT_EQ(entry.segmentA, written);

    device().memory().eraseSegment(kSegmentAAddress);  // the adapter pulled after the erase
    ASSERT_TRUE(dialog->flows().ReadDataKV58(false));
    ui.clear();
    RestoreReport report = restore(entries().back());
    EXPECT_EQ(report.outcome, RestoreOutcome::SerialMismatch);
    EXPECT_TRUE(report.transmitterErased);
    EXPECT_EQ(ui.texts(),
              (std::vector<std::string>{
                  "restore the backup of " + entry.dateTime + " (serial number K58-104711)?",
                  "ERROR: Identnumber Error!\n\ntransmitter: (Segment A erased)\n"
                  "backup:      K58-104711",
                  "WARNING!\n\nDATA NOT SENT!", "The transmitter is unchanged."}));
    EXPECT_EQ(deviceSegment(kSegmentAAddress), erased());
    EXPECT_EQ(entries().size(), 1u);  // nothing written, nothing to undo

    report = restore(entries().back(), {.withSegmentB = false, .forceSerial = true});
    EXPECT_EQ(report.outcome, RestoreOutcome::Confirmed);
    EXPECT_TRUE(report.serialForced);
    EXPECT_EQ(deviceSegment(kSegmentAAddress), written);
    EXPECT_EQ(deviceSegment(kSegmentBAddress), segB);
    EXPECT_EQ(deviceProgram(), program);
    EXPECT_EQ(dialog->model().control(ids::kOutputText).text, "4 - 20 mA");
    // The undo entry goes where a write to this transmitter would put its backup.
    const std::string undo = std::string(16, '\xFF') + ".dat";
    EXPECT_EQ(report.undoFile, fileSystemPath(".\\backup\\" + undo));
    EXPECT_EQ(readFile(report.undoFile), textFileBytes(formatBackupEntry(fixed, erased(), segB)));
}

TEST_F(BackupRestoreTest, HalfWrittenSegmentAIsRestoredWithoutForce) {
    writeSettings("", "", "MaxWriteCnt=1\r\n");
    ASSERT_TRUE(start());
    for (uint16_t a = 0x10C0; a <= 0x10FF; ++a)
        device().memory().poke(a, 0x5A);
    ASSERT_TRUE(dialog->flows().ReadDataKV58(false));
    choose(ids::kOutputList, "0 - 5 V");
    device().faults().powerLossAtWrite(1);
    writeFromMenu();
    ASSERT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::NotSent);
    const BackupEntry entry = entries().back();
    ASSERT_NE(deviceSegment(kSegmentAAddress), entry.segmentA);  // the upper half is erased

    ASSERT_TRUE(dialog->flows().ReadDataKV58(false));
    const RestoreReport report = restore(entry);
    EXPECT_EQ(report.outcome, RestoreOutcome::Confirmed);
    EXPECT_FALSE(report.serialForced);
    EXPECT_EQ(deviceSegment(kSegmentAAddress), entry.segmentA);
    EXPECT_EQ(deviceSegment(kSegmentAAddress)[0x7F], 0x5A);
    EXPECT_EQ(dialog->model().control(ids::kOutputText).text, "0 - 5 V");
}

TEST_F(BackupRestoreTest, AnotherTransmittersEntryIsRefusedAndTouchesNothing) {
    ASSERT_TRUE(start());
    const SegmentData before = deviceSegment(kSegmentAAddress);
    SegmentData other = before;
    std::copy_n("K58-999999", 10, other.begin() + segment_a::kId);
    const BackupEntry entry = entryOf(other, deviceSegment(kSegmentBAddress));
    ui.clear();
    ui.answers = {MsgAnswer::No};
    EXPECT_EQ(restore(entry).outcome, RestoreOutcome::Declined);
    EXPECT_TRUE(ui.infoEvents.empty());

    const RestoreReport report = restore(entry);
    EXPECT_EQ(report.outcome, RestoreOutcome::SerialMismatch);
    EXPECT_EQ(report.transmitterSerial, "K58-104711");
    EXPECT_EQ(ui.messages.at(2).text,
              "ERROR: Identnumber Error!\n\ntransmitter: K58-104711\nbackup:      K58-999999");
    EXPECT_EQ(deviceSegment(kSegmentAAddress), before);
    EXPECT_FALSE(fileExists(dir.file("backup")));
}

TEST_F(BackupRestoreTest, UndoEntryIsAppendedEvenWithoutSaveDataAndUndoesTheRestore) {
    replaceInSettings("SaveData=Ja", "SaveData=Nein");
    ASSERT_TRUE(start());
    const SegmentData before = deviceSegment(kSegmentAAddress);
    const SegmentData segB = deviceSegment(kSegmentBAddress);
    SegmentData older = before;
    older[segment_a::kBitMaske] = static_cast<uint8_t>(older[segment_a::kBitMaske] | 0x30);

    EXPECT_EQ(restore(entryOf(older, segB)).outcome, RestoreOutcome::Confirmed);
    EXPECT_EQ(deviceSegment(kSegmentAAddress), older);
    EXPECT_EQ(readFile(dir.file(kBackupFile)),
              textFileBytes(formatBackupEntry(fixed, before, segB)));

    ASSERT_TRUE(dialog->flows().ReadDataKV58(false));
    EXPECT_EQ(restore(entries().back()).outcome, RestoreOutcome::Confirmed);
    EXPECT_EQ(deviceSegment(kSegmentAAddress), before);
    EXPECT_EQ(entries().size(), 2u);
}

// Failed writes of Segment B come from a cell that will not program, behind a loader that
// acknowledges the block and behind one that refuses it.
class SegmentBRestore : public BackupRestoreTest,
                        public ::testing::WithParamInterface<const char*> {};

INSTANTIATE_TEST_SUITE_P(WriteCheck, SegmentBRestore, ::testing::Values("ack", "nak"));

TEST_P(SegmentBRestore, SegmentBOnlyWhenAskedAndFailedWritesUseTheAttempts) {
    writeSettings(std::string("write-check=") + GetParam());
    ASSERT_TRUE(start());
    const SegmentData segA = deviceSegment(kSegmentAAddress);
    const SegmentData segB = deviceSegment(kSegmentBAddress);
    SegmentData otherB = segB;
    otherB[5] = 0x12;
    const BackupEntry entry = entryOf(segA, otherB);
    EXPECT_EQ(restore(entry).outcome, RestoreOutcome::Confirmed);
    EXPECT_EQ(deviceSegment(kSegmentBAddress), segB);
    EXPECT_EQ(restore(entry, {.withSegmentB = true}).outcome, RestoreOutcome::Confirmed);
    EXPECT_EQ(deviceSegment(kSegmentBAddress), otherB);

    device().faults().stickCell(kSegmentBAddress + 5);
    ui.clear();
    EXPECT_EQ(restore(entryOf(segA, segB), {.withSegmentB = true}).outcome,
              RestoreOutcome::Incomplete);
    const std::vector<std::string> shown = ui.texts();
    ASSERT_EQ(shown.size(), 6u);  // question, three failed writes, the end, what is left
    EXPECT_EQ(shown[1], std::string(GetParam()) == "ack" ? "ERROR: Verification failed!"
                                                         : "ERROR: Communication Error!");
    EXPECT_EQ(shown[4], "WARNING!\n\nSegment A restored, Segment B NOT SENT!");
    EXPECT_EQ(shown[5].rfind("Segment B (calibration) of the transmitter is half-written or "
                             "damaged.\nTo put it back:\n",
                             0),
              0u)
        << shown[5];
    EXPECT_EQ(entries().size(), 3u);  // one undo entry per restore
}

TEST_F(BackupRestoreTest, NothingIsWrittenWhenTheUndoEntryCannotBe) {
    replaceInSettings("SavePath=.\\backup", "SavePath=.\\missing\\deeper");
    ASSERT_TRUE(start());
    const SegmentData before = deviceSegment(kSegmentAAddress);
    SegmentData other = before;
    other[segment_a::kBitMaske] ^= 0x10;
    ui.clear();
    EXPECT_EQ(restore(entryOf(other, deviceSegment(kSegmentBAddress))).outcome,
              RestoreOutcome::UndoFailed);
    EXPECT_EQ(ui.texts().end()[-2], "WARNING!\n\nDATA NOT SENT!");
    EXPECT_EQ(ui.texts().back(), "The transmitter is unchanged.");
    EXPECT_EQ(deviceSegment(kSegmentAAddress), before);
}

// An erased Segment A reads as software version 0, for which the reread skips its program
// check; the restored entry's version decides instead.
TEST_F(BackupRestoreTest, ChangedProgramIsFoundAndPutBackAlsoAfterAnErasedSegmentA) {
    ASSERT_TRUE(start());
    const ProgramImage program = deviceProgram();
    const BackupEntry entry =
        entryOf(deviceSegment(kSegmentAAddress), deviceSegment(kSegmentBAddress));
    device().memory().eraseSegment(kSegmentAAddress);
    ASSERT_TRUE(dialog->flows().ReadDataKV58(false));
    ASSERT_TRUE(dialog->data().writeProgram);
    device().faults().changeProgramOnNextErase();
    EXPECT_EQ(restore(entry, {.forceSerial = true}).outcome, RestoreOutcome::ProgramChanged);
    EXPECT_EQ(deviceProgram(), program);
    EXPECT_EQ(deviceSegment(kSegmentAAddress), entry.segmentA);
}

TEST_F(BackupRestoreTest, RestoreWithoutAProgramReferenceIsNotConfirmed) {
    device().faults().refusePasswords(1);
    writeSettings("", "", "MaxWriteCnt=1\r\n");
    ASSERT_TRUE(start());
    ASSERT_FALSE(dialog->data().referenceValid);
    const BackupEntry entry =
        entryOf(deviceSegment(kSegmentAAddress), deviceSegment(kSegmentBAddress));
    EXPECT_EQ(restore(entry).outcome, RestoreOutcome::ProgramUnchecked);
}

TEST_F(BackupRestoreTest, RereadOfAnotherTransmitterIsAMismatch) {
    ASSERT_TRUE(start());
    const BackupEntry entry =
        entryOf(deviceSegment(kSegmentAAddress), deviceSegment(kSegmentBAddress));
    const uint64_t first = device().loaderStarts();
    ASSERT_EQ(restore(entry).outcome, RestoreOutcome::Confirmed);
    // The reread is the last three loader starts (program, Segment A, Segment B): the
    // transmitter is exchanged just before it.
    const uint64_t perRestore = device().loaderStarts() - first;
    device().faults().swapAtEntry(perRestore - 2);
    ui.clear();
    const RestoreReport report = restore(entry);
    EXPECT_EQ(report.outcome, RestoreOutcome::Mismatch);
    EXPECT_EQ(ui.texts().end()[-2],
              strprintf("ERROR: Segment A differs from the backup at %04X: "
                        "%02X instead of %02X!",
                        report.differenceAddress, deviceSegment(report.differenceAddress)[0],
                        entry.segmentA[report.differenceAddress - 0x1080]));
    // Of the transmitter now connected nothing is known.
    EXPECT_EQ(report.left.state, TransmitterState::Unknown);
}

TEST_F(BackupRestoreTest, ATemporaryImageThatCannotBeWrittenIsNamedWithItsReasonNeverAnEmptyBox) {
    ASSERT_TRUE(start());
    std::filesystem::create_directory(dir.file("TEMP.TXT"));  // its name taken by a folder
    ui.clear();
    const RestoreReport report =
        restore(entryOf(deviceSegment(kSegmentAAddress), deviceSegment(kSegmentBAddress)));
    EXPECT_EQ(report.outcome, RestoreOutcome::NotWritten);
    const std::vector<std::string> texts = ui.texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), std::string()), 0);
    const std::string cannotOpen =
        "Fehler beim \xD6"
        "ffnen der Zieldatei <TEMP.TXT>!";
    const auto at = std::find(texts.begin(), texts.end(), cannotOpen);
    ASSERT_NE(at, texts.end());
    ASSERT_NE(at + 1, texts.end());
    EXPECT_EQ((at + 1)->rfind("TEMP.TXT (in the working folder ", 0), 0u) << *(at + 1);
    EXPECT_NE((at + 1)->find(") cannot be written: "), std::string::npos) << *(at + 1);
}

}  // namespace
}  // namespace kv58::test
