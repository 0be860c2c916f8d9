// A write is confirmed only when the reread shows that the transmitter on the line holds the
// new Segment A, its own Segment B and its old program: found by the fault campaign.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "bsl/link_trace.h"
#include "core/dialog_ids.h"
#include "device/flow_fixture.h"
#include "device/flows.h"
#include "device/messages.h"

namespace kv58::test {
namespace {

using ::testing::Contains;

TEST_F(FlowTest, TransmitterExchangedAfterTheIdentityCheckIsNotConfirmed) {
    ASSERT_TRUE(start());
    const SegmentData segB = deviceSegment(kSegmentBAddress);
    choose(ids::kOutputList, "4 - 20 mA");
    // Loader start 1 is the identity check; before start 2 (the erase) another transmitter
    // is connected, which then receives this one's Segment A.
    device().faults().swapAtEntry(2);
    ui.clear();
    writeFromMenu();
    EXPECT_NE(deviceSegment(kSegmentBAddress), segB);
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::Mismatch);
    EXPECT_THAT(ui.texts(), Contains(std::string(text::kSegmentBChanged)));
}

// Refuses every password of the n-th port opening from now on, and only those.
class RefusePasswordsAtOpening final : public TraceObserver {
public:
    RefusePasswordsAtOpening(sim::SimDevice& device, int n) : device_(device), n_(n) {}
    void onTrace(const TraceEvent& e) override {
        if (e.kind != TraceEvent::Kind::Note || e.text.rfind("opened ", 0) != 0)
            return;
        ++openings_;
        device_.faults().refusePasswords(openings_ == n_ ? -1 : 0);
    }

private:
    sim::SimDevice& device_;
    int n_;
    int openings_ = 0;
};

TEST_F(FlowTest, ChangedProgramThatTheRereadCannotReadIsNotConfirmed) {
    ASSERT_TRUE(start());
    const ProgramImage program = deviceProgram();
    choose(ids::kOutputList, "0 - 5 V");
    device().faults().changeProgramOnNextErase();
    // Openings: identity check, erase, programming run, then the reread's program read.
    RefusePasswordsAtOpening refuse(device(), 4);
    dialog->link().addTraceObserver(&refuse);
    ui.clear();
    writeFromMenu();
    dialog->link().removeTraceObserver(&refuse);
    EXPECT_NE(deviceProgram(), program);
    EXPECT_THAT(ui.texts(), Contains(std::string(text::kErrorReadingProgram)));
    EXPECT_EQ(dialog->flows().lastWriteOutcome(), WriteOutcome::ProgramUnchecked);
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
