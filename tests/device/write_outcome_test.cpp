// A write is confirmed only when the reread shows that the transmitter on the line holds the
// new Segment A, its own Segment B and its old program: found by the fault campaign.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "bsl/link_trace.h"
#include "bsl/programming.h"
#include "core/dialog_ids.h"
#include "device/backup_reader.h"
#include "device/calibration_guard.h"
#include "device/flow_fixture.h"
#include "device/flows.h"
#include "device/messages.h"

namespace kv58::test {
namespace {

using ::testing::Contains;

// A transmitter exchanged after the identity check is never written: the erase's opening
// finds another Segment B, and the programming run's erase check a segment the erase did not
// touch.
TEST_F(FlowTest, TransmitterExchangedBeforeTheEraseIsNeverWritten) {
    ASSERT_TRUE(start());
    choose(ids::kOutputList, "4 - 20 mA");
    // Loader start 1 is the identity check; before start 2 (the erase) another transmitter
    // is connected.
    device().faults().swapAtEntry(2);
    const sim::TransmitterRecipe other = device().nextTransmitter();
    ui.clear();
    writeFromMenu();
    EXPECT_EQ(serialNumberOf(deviceSegment(kSegmentAAddress)), other.serial);
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::NotSent);
    EXPECT_EQ(dialog->flows().lastOutcome().state, TransmitterState::Unchanged);
    EXPECT_THAT(ui.texts(), Contains(std::string("ERROR: Segment B is not the one read before: "
                                                 "another transmitter is connected (writing "
                                                 "data Segment A)!")));
}

TEST_F(FlowTest, TransmitterExchangedBeforeTheProgrammingIsNeverProgrammed) {
    ASSERT_TRUE(start());
    choose(ids::kOutputList, "4 - 20 mA");
    device().faults().swapAtEntry(3);  // after this one's erase, before the programming run
    const sim::TransmitterRecipe other = device().nextTransmitter();
    ui.clear();
    writeFromMenu();
    const SegmentData a = deviceSegment(kSegmentAAddress);
    EXPECT_EQ(serialNumberOf(a), other.serial);
    EXPECT_FALSE(isErased(a));
    EXPECT_THAT(ui.texts(), Contains(std::string("ERROR: Erase check failed!")));
    // The transmitter that was written is gone with its Segment A erased: that is what the
    // outcome must say, not that nothing happened.
    EXPECT_TRUE(needsWayBack(dialog->flows().lastOutcome().state));
}

TEST_F(FlowTest, TransmitterExchangedBeforeTheRereadIsNotConfirmed) {
    ASSERT_TRUE(start());
    const SegmentData segB = deviceSegment(kSegmentBAddress);
    choose(ids::kOutputList, "4 - 20 mA");
    device().faults().swapAtEntry(4);  // identity check, erase, programming run, reread
    ui.clear();
    writeFromMenu();
    EXPECT_NE(deviceSegment(kSegmentBAddress), segB);
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Mismatch);
    EXPECT_EQ(dialog->flows().lastOutcome().state, TransmitterState::Unknown);
    EXPECT_THAT(ui.texts(), Contains(std::string(text::kSegmentBChanged)));
    // Nothing that was read can be trusted, the program included: the way back is the first
    // transmitter's whole image, which a full run refuses for this one of another calibration.
    const WayBack& way = dialog->flows().lastOutcome().wayBack;
    ASSERT_EQ(way.kind, WayBack::Kind::ProgramFile);
    const SegmentData otherB = deviceSegment(kSegmentBAddress);
    EXPECT_FALSE(runProgramming(dialog->link(), ProgrammingMode::FullRun, way.file,
                                sameCalibration(dialog->settings().passwordFileNames(), way.file)));
    EXPECT_EQ(deviceSegment(kSegmentBAddress), otherB);
}

// Refuses every password of the given port openings (counted from its making), and only those.
class RefusePasswordsAtOpenings final : public TraceObserver {
public:
    RefusePasswordsAtOpenings(sim::SimDevice& device, std::set<int> openings)
        : device_(device), openings_(std::move(openings)) {}
    void onTrace(const TraceEvent& e) override {
        if (e.kind != TraceEvent::Kind::Note || e.text.rfind("opened ", 0) != 0)
            return;
        ++opened_;
        device_.faults().refusePasswords(openings_.count(opened_) ? -1 : 0);
    }

private:
    sim::SimDevice& device_;
    std::set<int> openings_;
    int opened_ = 0;
};

// The reread's program read fails, while everything else matches: the program check is made
// with further reads, and the changed program restored.
TEST_F(FlowTest, ChangedProgramThatTheRereadCannotReadIsCheckedAgainAndRestored) {
    ASSERT_TRUE(start());
    const ProgramImage program = deviceProgram();
    choose(ids::kOutputList, "0 - 5 V");
    device().faults().changeProgramOnNextErase();
    // Openings: identity check, erase, programming run, then the reread's program read.
    RefusePasswordsAtOpenings refuse(device(), {4});
    dialog->link().addTraceObserver(&refuse);
    ui.clear();
    writeFromMenu();
    dialog->link().removeTraceObserver(&refuse);
    EXPECT_THAT(ui.texts(), Contains(std::string(text::kErrorReadingProgram)));
    EXPECT_THAT(ui.texts(), Contains(std::string(text::kProgramCheckFailed)));
    EXPECT_EQ(deviceProgram(), program);
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Confirmed);
}

TEST_F(FlowTest, ChangedProgramThatCannotBeReadIsNotConfirmedAndItsImageIsTheWayBack) {
    ASSERT_TRUE(start());
    const ProgramImage program = deviceProgram();
    const SegmentData segB = deviceSegment(kSegmentBAddress);
    choose(ids::kOutputList, "0 - 5 V");
    device().faults().changeProgramOnNextErase();
    // The reread's program read (4), then the three further reads (7 to 9) refused.
    RefusePasswordsAtOpenings refuse(device(), {4, 7, 8, 9});
    dialog->link().addTraceObserver(&refuse);
    ui.clear();
    writeFromMenu();
    dialog->link().removeTraceObserver(&refuse);
    EXPECT_NE(deviceProgram(), program);
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::ProgramUnchecked);
    const Outcome& left = dialog->flows().lastOutcome();
    EXPECT_EQ(left.state, TransmitterState::NotVerified);
    ASSERT_EQ(left.wayBack.kind, WayBack::Kind::ProgramFile);
    EXPECT_EQ(ui.texts().back(),
              "The transmitter was changed, but the change could not be verified.\nTo put it "
              "back, program the image that holds it:\nkv58ctl program TEMP-K58-104711.TXT --yes");
    // Programming that image puts the transmitter where the write meant it to be.
    device().faults().refusePasswords(0);
    ASSERT_TRUE(runProgramming(dialog->link(), ProgrammingMode::FullRun, left.wayBack.file))
        << dialog->link().message();
    EXPECT_EQ(deviceProgram(), program);
    EXPECT_EQ(deviceSegment(kSegmentAAddress), dialog->data().segmentAWrite);
    EXPECT_EQ(deviceSegment(kSegmentBAddress), segB);
}

TEST_F(FlowTest, WriteAfterAStartUpWithoutProgramIsNotConfirmed) {
    device().faults().refusePasswords(1);
    writeSettings("", "", "MaxWriteCnt=1\r\n");
    ASSERT_TRUE(start());
    ASSERT_FALSE(dialog->data().referenceValid);
    choose(ids::kOutputList, "0 - 5 V");
    writeFromMenu();
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::ProgramUnchecked);
}

}  // namespace
}  // namespace kv58::test
