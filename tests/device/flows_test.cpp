// Whole flows of the application against the simulated transmitter: what a user sees from
// start-up to the reread after a write.
#include "device/flows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "base/paths.h"
#include "core/dialog_ids.h"
#include "device/backup.h"
#include "device/flow_fixture.h"
#include "device/messages.h"
#include "serial/port_lock.h"
#include "settings/profile.h"

namespace kv58::test {
namespace {

using ::testing::ElementsAre;

TEST_F(FlowTest, StartUpShowsTheTransmitterAndTheTitle) {
    ASSERT_TRUE(start());
    EXPECT_TRUE(ui.messages.empty()) << ui.messages[0].text;
    EXPECT_EQ(dialog->title(), "KV58 Configurator     V2.08.000   (" + port + ",9600,8,1,e)");
    const DialogModel& m = dialog->model();
    EXPECT_EQ(m.control(ids::kTypeText).text, "KV58-FT");
    EXPECT_EQ(m.control(ids::kOutputText).text, "0 - 10 V");
    EXPECT_EQ(m.control(ids::kTMinText).text, "-20");
    EXPECT_EQ(m.control(ids::kTMaxText).text, "80");
    EXPECT_EQ(m.control(ids::kVersionText).text, "01.02");
    EXPECT_EQ(m.control(ids::kSerialText).text, "K58-104711");
    EXPECT_EQ(m.list(ids::kOutputList).selectedText(), "0 - 10 V");
    EXPECT_EQ(infoTexts(), std::vector<std::string>{text::kReadingFromKv58});
    EXPECT_FALSE(ui.infoIsOpen);
}

// The desktop program holds its port while it reads or writes, and lets go after each, so
// that a kv58ctl run may use the port while the window stays open.
TEST_F(FlowTest, TheDesktopProgramLetsGoOfItsPortAfterEachOperation) {
    ASSERT_TRUE(start());
    EXPECT_FALSE(dialog->link().transport().holdsPort());
    choose(ids::kOutputList, "4 - 20 mA");
    writeFromMenu();
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Confirmed);
    EXPECT_FALSE(dialog->link().transport().holdsPort());
    std::string error;
    EXPECT_TRUE(PortRunLock::acquire(dialog->settings().Port, error)) << error;
}

TEST_F(FlowTest, WriteOfANewOutputIsConfirmedAndBackedUp) {
    ASSERT_TRUE(start());
    const SegmentData before = deviceSegment(kSegmentAAddress);
    const SegmentData segB = deviceSegment(kSegmentBAddress);
    const ProgramImage program = deviceProgram();
    choose(ids::kOutputList, "4 - 20 mA");
    ui.clear();
    writeFromMenu();

    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Confirmed);
    ASSERT_EQ(ui.messages.size(), 1u) << ui.messages.back().text;
    EXPECT_EQ(ui.messages[0].text, "write new configuration?");
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(infoTexts(),
              (std::vector<std::string>{text::kReadingUserdata, text::kRereading,
                                        text::kWritingSegmentA, text::kReadingFromKv58}));
    EXPECT_EQ(dialog->model().control(ids::kOutputText).text, "4 - 20 mA");

    SegmentData expected = before;
    expected[segment_a::kBitMaske] = static_cast<uint8_t>(before[segment_a::kBitMaske] | 0x30);
    EXPECT_EQ(deviceSegment(kSegmentAAddress), expected);
    EXPECT_EQ(deviceSegment(kSegmentBAddress), segB);
    EXPECT_EQ(deviceProgram(), program);

    const std::string backup = readFile(dir.file("backup/K58-104711.dat"));
    EXPECT_EQ(backup.size(),
              textFileBytes(formatBackupEntry(dialog->flows().now(), expected, segB)).size());

    std::string out;
    getProfileString(dir.file("KV58.lkd"), "LastValue", "Output", "", out);
    EXPECT_EQ(out, "4 - 20 mA");
}

TEST_F(FlowTest, BackupEntryIsByteExact) {
    ASSERT_TRUE(start());
    std::tm fixed{};
    fixed.tm_year = 126, fixed.tm_mon = 0, fixed.tm_mday = 2, fixed.tm_hour = 3, fixed.tm_min = 4;
    dialog->flows().now = [fixed] { return fixed; };
    const SegmentData segB = deviceSegment(kSegmentBAddress);
    choose(ids::kOutputList, "0 - 20 mA");
    writeFromMenu();
    ASSERT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Confirmed);
    EXPECT_EQ(readFile(dir.file("backup/K58-104711.dat")),
              textFileBytes(formatBackupEntry(fixed, deviceSegment(kSegmentAAddress), segB)));
}

TEST_F(FlowTest, AnsweringNoChangesNothingButTheLastValues) {
    ASSERT_TRUE(start());
    const SegmentData before = deviceSegment(kSegmentAAddress);
    choose(ids::kOutputList, "4 - 20 mA");
    ui.clear();
    ui.answers = {MsgAnswer::No};
    writeFromMenu();
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Declined);
    EXPECT_TRUE(ui.infoEvents.empty());
    EXPECT_EQ(deviceSegment(kSegmentAAddress), before);
    EXPECT_FALSE(fileExists(dir.file("backup")));
    EXPECT_TRUE(fileExists(dir.file("KV58.lkd")));
}

TEST_F(FlowTest, SwappedTransmitterIsNeverWritten) {
    ASSERT_TRUE(start());
    choose(ids::kOutputList, "4 - 20 mA");
    device().faults().swapAtEntry(1);
    ui.clear();
    writeFromMenu();
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::IdentityError);
    EXPECT_THAT(ui.texts(),
                ElementsAre("write new configuration?", "ERROR: Identnumber Error!",
                            "WARNING!\n\nDATA NOT SENT!", "The transmitter is unchanged."));
    // The dialog shows the transmitter now connected; nothing was backed up.
    EXPECT_EQ(dialog->model().control(ids::kSerialText).text,
              serialNumberOf(deviceSegment(kSegmentAAddress)));
    EXPECT_NE(dialog->model().control(ids::kSerialText).text, "K58-104711");
    EXPECT_FALSE(fileExists(dir.file("backup")));
    EXPECT_EQ(dialog->model().control(ids::kOutputText).text, "0 - 10 V");
}

TEST_F(FlowTest, IdentityReadsShareTheAttemptBudget) {
    ASSERT_TRUE(start());
    choose(ids::kOutputList, "4 - 20 mA");
    device().faults().answerFromEntry(3);
    ui.clear();
    writeFromMenu();
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Confirmed);
    ASSERT_GE(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[1].text.rfind("WARNING!\n(test 1 / 3)\n\nERROR: ", 0), 0u)
        << ui.messages[1].text;
    EXPECT_EQ(ui.messages[2].text.rfind("WARNING!\n(test 2 / 3)\n\n", 0), 0u);
    EXPECT_EQ(ui.messages.size(), 3u);
    const auto texts = infoTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "reading userdata...  (transfer 1 / 3)"),
              texts.end());
}

// A cell that will not program, behind a loader that acknowledges the block (the
// verification finds it) and behind one that refuses it.
class StuckCellFlow : public FlowTest,
                      public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

INSTANTIATE_TEST_SUITE_P(WriteCheck, StuckCellFlow,
                         ::testing::Values(std::pair{"ack", "ERROR: Verification failed!"},
                                           std::pair{"nak", "ERROR: Communication Error!"}));

TEST_P(StuckCellFlow, OneAttemptAndAFailingTransferEndsWithDataNotSent) {
    writeSettings(std::string("write-check=") + GetParam().first, "", "MaxWriteCnt=1\r\n");
    ASSERT_TRUE(start());
    choose(ids::kOutputList, "4 - 20 mA");
    device().faults().stickCell(kSegmentAAddress + segment_a::kBitMaske);
    ui.clear();
    writeFromMenu();
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::NotSent);
    // Segment A was erased and written with one bit that would not program: "DATA NOT SENT"
    // is followed by what the transmitter holds now, and the way back.
    EXPECT_THAT(
        ui.texts(),
        ElementsAre("write new configuration?", GetParam().second, "WARNING!\n\nDATA NOT SENT!",
                    "Segment A (configuration) of the transmitter is half-written or "
                    "damaged.\nTo put it back:\nkv58ctl backup restore " +
                        nativePath(".\\backup\\K58-104711.dat") +
                        " --entry 1 --match-segment-b --yes"));
    EXPECT_EQ(dialog->flows().lastOutcome().state, TransmitterState::SegmentAHalfWritten);
    EXPECT_EQ(ui.foregroundCalls, 1);
    EXPECT_FALSE(ui.infoIsOpen);
}

// A byte lost on its way to the loader, behind a loader that drops the interrupted frame and
// one that waits for its rest: the attempt fails, the next one starts afresh.
class LostByteFlow : public FlowTest, public ::testing::WithParamInterface<const char*> {};

INSTANTIATE_TEST_SUITE_P(FrameGap, LostByteFlow, ::testing::Values("drop", "wait"));

TEST_P(LostByteFlow, ALostByteCostsOneAttempt) {
    writeSettings(std::string("frame-gap=") + GetParam());
    ASSERT_TRUE(start());
    choose(ids::kOutputList, "4 - 20 mA");
    // A byte of the identity check's password, and one of the segment write's data.
    for (const auto& [byte, shown] :
         {std::pair{5,
                    "WARNING!\n(test 1 / 3)\n\nERROR: send password failed (reading data "
                    "Segment A)!"},
          std::pair{300, "ERROR: Communication Error!"}}) {
        device().faults().loseSent(byte);
        ui.clear();
        writeFromMenu();
        EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Confirmed) << byte;
        EXPECT_THAT(ui.texts(), ElementsAre("write new configuration?", shown));
    }
}

TEST_F(FlowTest, ZeroAttemptsStillReadsOnce) {
    writeSettings("fault=silent", "", "MaxWriteCnt=0\r\n");
    EXPECT_FALSE(start());
    EXPECT_THAT(ui.texts(), ElementsAre("ERROR reading program!", "ERROR reading data!",
                                        linkMessage(LinkResult::NoSync, false, "")));
}

TEST_F(FlowTest, ZeroAttemptsStillWritesOnce) {
    writeSettings("", "", "MaxWriteCnt=0\r\n");
    ASSERT_TRUE(start());
    choose(ids::kOutputList, "4 - 20 mA");
    device().faults().answerFromEntry(2);
    ui.clear();
    writeFromMenu();
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::NotSent);
    ASSERT_EQ(ui.messages.size(), 5u);
    EXPECT_EQ(ui.messages[1].text.rfind("WARNING!\n(test 1 / 0)\n\nERROR: ", 0), 0u)
        << ui.messages[1].text;
    EXPECT_EQ(ui.messages[2].text, "WARNING!\n\nDATA NOT SENT!");
    EXPECT_EQ(ui.messages[3].text, linkMessage(LinkResult::NoSync, false, ""));
    EXPECT_EQ(ui.messages[4].text, "The transmitter is unchanged.");
}

TEST_F(FlowTest, NoTransmitterReportsEachAttempt) {
    writeSettings("fault=silent");
    EXPECT_FALSE(start());
    // The dialog's own messages, then the cause once.
    EXPECT_THAT(ui.texts(),
                ElementsAre("ERROR reading program!", "ERROR reading program!",
                            "ERROR reading program!", "ERROR reading data!",
                            "ERROR: Syncronization failed!\nDevice with boot loader connected?"));
    EXPECT_FALSE(ui.infoIsOpen);
    // The lists still follow the (unchanged) new configuration.
    EXPECT_EQ(dialog->model().list(ids::kTypeList).selectedText(), "KV58-FT");
}

TEST_F(FlowTest, ChangedProgramIsRestored) {
    ASSERT_TRUE(start());
    const ProgramImage program = deviceProgram();
    const SegmentData segB = deviceSegment(kSegmentBAddress);
    choose(ids::kOutputList, "0 - 5 V");
    device().faults().changeProgramOnNextErase();
    ui.clear();
    writeFromMenu();
    EXPECT_THAT(ui.texts(), ElementsAre("write new configuration?",
                                        "FATAL ERROR PROGRAM-CHECK! Verification failed!"));
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Confirmed);
    EXPECT_EQ(deviceProgram(), program);
    EXPECT_EQ(deviceSegment(kSegmentBAddress), segB);
    EXPECT_EQ(readWord(deviceSegment(kSegmentAAddress), segment_a::kBitMaske) & 0x30, 0x00);
    // The restore image: 275 lines, no end line.
    const std::string image = readFile(dir.file("TEMP.TXT"));
    EXPECT_EQ(std::count(image.begin(), image.end(), '\n'), 275);
    EXPECT_EQ(image.rfind(textFileBytes("@1000\n"), 0), 0u);
    EXPECT_EQ(image.find("q"), std::string::npos);
}

TEST_F(FlowTest, FahrenheitTransmitterStaysFahrenheit) {
    writeSettings("unit=F&tmin=0&tmax=200");
    ASSERT_TRUE(start());
    EXPECT_EQ(dialog->model().control(ids::kTMinUnit).text,
              "\xB0"
              "F");
    choose(ids::kOutputList, "4 - 20 mA");
    ui.clear();
    writeFromMenu();
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Confirmed);
    EXPECT_EQ(ui.messages.size(), 1u);
    const uint16_t word = readWord(deviceSegment(kSegmentAAddress), segment_a::kBitMaske);
    EXPECT_EQ(word & 0x4000, 0x4000);
    EXPECT_EQ(dialog->model().control(ids::kTMaxText).text, "200");
}

TEST_F(FlowTest, UncodableRangeIsRefused) {
    writeSettings("", "", "Key01=" + EncodeKey({-100, 700, 10, -100, 700, 10}) + "\r\n");
    // The later Key01 in the file does not count; write the file again with only this key.
    writeFile(dir.file("KV58.ini"), "[COM]\r\nPort=" + port + "\r\n[Program]\r\nKey01=" +
                                        EncodeKey({-100, 700, 10, -100, 700, 10}) +
                                        "\r\n[PWfile]\r\nPW01=KV58-PW.TXT\r\n");
    ASSERT_TRUE(start());
    const SegmentData before = deviceSegment(kSegmentAAddress);
    dialog->model().setControlText(ids::kTMinEdit, "-60");
    ui.clear();
    writeFromMenu();
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::RangeRefused);
    EXPECT_THAT(ui.texts(),
                testing::Contains(std::string(
                    "T min and T max must lie between -40 and 615!\n\nDATA NOT SENT!")));
    EXPECT_EQ(ui.messages.back().text, "The transmitter is unchanged.");
    EXPECT_EQ(deviceSegment(kSegmentAAddress), before);
}

TEST_F(FlowTest, RunFollowsAutoDtrAndTheMenu) {
    writeSettings("", "AutoDTR=Ja\r\n");
    ASSERT_TRUE(start());
    EXPECT_TRUE(dialog->run().isOn());
    EXPECT_TRUE(ui.runChecked);
    EXPECT_EQ(device().mode(), sim::SimDevice::Mode::Program);
    dialog->onCommand(ids::kMenuRun);
    EXPECT_FALSE(dialog->run().isOn());
    EXPECT_FALSE(ui.runChecked);
    // A read with RUN on switches it off first, and on again with AutoDTR.
    dialog->onCommand(ids::kMenuRun);
    dialog->onCommand(ids::kReadNow);
    EXPECT_TRUE(dialog->run().isOn());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(FlowTest, InvertedAdapterLinesReachTheLinkAndRun) {
    // An adapter that inverts both lines: only the settings' InvertDTR and InvertRTS let the
    // entry sequence start the loader, and RUN release the reset.
    writeSettings("invert-dtr=1&invert-rts=1", "InvertDTR=yes\r\nInvertRTS=yes\r\n");
    ASSERT_TRUE(start());
    dialog->onCommand(ids::kMenuRun);
    EXPECT_TRUE(dialog->run().isOn());
    EXPECT_EQ(device().mode(), sim::SimDevice::Mode::Program);
}

TEST_F(FlowTest, ReadWithoutAutoDtrLeavesRunOff) {
    ASSERT_TRUE(start());
    dialog->onCommand(ids::kMenuRun);
    ASSERT_TRUE(ui.runChecked);
    dialog->onCommand(ids::kReadNow);
    EXPECT_FALSE(dialog->run().isOn());
    EXPECT_FALSE(ui.runChecked);
}

TEST_F(FlowTest, SettingsFailureAsksToQuitWithTwo) {
    writeFile(dir.file("KV58.ini"), "[COM]\r\nBaud=9600\r\n");
    EXPECT_FALSE(start());
    EXPECT_TRUE(dialog->settingsFailed());
    EXPECT_EQ(ui.quitCode, 2);
    EXPECT_EQ(ui.messages.back().text, "ERROR reading INI-File!");
}

TEST_F(FlowTest, WriteClearsTheWriteProgramFlag) {
    writeSettings("version=0099");
    ASSERT_TRUE(start());
    EXPECT_TRUE(dialog->data().writeProgram);
    EXPECT_TRUE(dialog->model().control(ids::kWriteProgram).checked);
    writeFromMenu();
    EXPECT_FALSE(dialog->data().writeProgram);
    EXPECT_FALSE(dialog->model().control(ids::kWriteProgram).checked);
}

}  // namespace
}  // namespace kv58::test
