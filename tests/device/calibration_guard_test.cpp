#include "device/calibration_guard.h"

#include <gtest/gtest.h>

#include "base/files.h"
#include "bsl/bsl_link.h"
#include "bsl/titxt.h"
#include "device/infomem.h"
#include "flow_fixture.h"

namespace kv58::test {
namespace {

// A full programming run against the transmitter that the dialog read, of an image that holds
// Segment B: the one of another transmitter, or this one's own.
class CalibrationGuard : public FlowTest {
protected:
    void SetUp() override {
        writeSettings("");
        ASSERT_TRUE(start());
        before = device().memory().flashChanges();
    }
    // The transmitter's program with `a` and `b` as its information memory.
    std::string imageWith(const SegmentData& a, const SegmentData& b) {
        const ProgramImage program = deviceProgram();
        const std::vector<TiTxtSection> sections = {
            {kSegmentBAddress, {b.begin(), b.end()}},
            {kSegmentAAddress, {a.begin(), a.end()}},
            {kProgramAddress, {program.begin(), program.end()}}};
        EXPECT_EQ(replaceFile("image.txt", formatTiTxt(sections, true)), FileWriteResult::Ok);
        return "image.txt";
    }
    std::string ownImage() {
        return imageWith(deviceSegment(kSegmentAAddress), deviceSegment(kSegmentBAddress));
    }
    // Another serial number and another calibration.
    std::string imageOfAnotherTransmitter() {
        SegmentData otherA = deviceSegment(kSegmentAAddress);
        SegmentData otherB = deviceSegment(kSegmentBAddress);
        otherA[segment_a::kId + 9] ^= 0x01;
        otherB[3] ^= 0x5A;
        return imageWith(otherA, otherB);
    }
    bool program(const std::string& image) {
        return runProgramming(dialog->link(), ProgrammingMode::FullRun, image,
                              sameCalibration(dialog->settings().passwordFileNames(), image));
    }
    bool flashUntouched() { return device().memory().flashChanges() == before; }

    uint64_t before = 0;
};

TEST_F(CalibrationGuard, TheTransmittersOwnImageIsProgrammed) {
    EXPECT_TRUE(program(ownImage())) << dialog->link().message();
}

TEST_F(CalibrationGuard, AnotherTransmittersCalibrationIsRefusedBeforeTheErase) {
    EXPECT_FALSE(program(imageOfAnotherTransmitter()));
    EXPECT_NE(dialog->link().message().find("the image belongs to another transmitter"),
              std::string::npos)
        << dialog->link().message();
    EXPECT_TRUE(flashUntouched());
}

// A transmitter whose last run was cut off after its erase answers only the erased password:
// its Segment B, programmed again by then, is still read and compared.
TEST_F(CalibrationGuard, AnErasedPasswordStillHasItsCalibrationChecked) {
    for (uint32_t address = 0xFFE0; address <= 0xFFFF; ++address)
        device().memory().poke(static_cast<uint16_t>(address), 0xFF);
    before = device().memory().flashChanges();
    EXPECT_FALSE(program(imageOfAnotherTransmitter()));
    EXPECT_NE(dialog->link().message().find("another transmitter"), std::string::npos)
        << dialog->link().message();
    EXPECT_TRUE(flashUntouched());
}

// A run cut off while it programmed Segment B leaves it half-written with the image's own
// bytes, and Segment A still erased: the image that puts it back is not refused.
TEST_F(CalibrationGuard, ASegmentBHalfWayToTheImagesIsTheImagesOwn) {
    const SegmentData b = deviceSegment(kSegmentBAddress);
    const std::string image = ownImage();
    device().memory().eraseSegment(kSegmentAAddress);
    device().memory().eraseSegment(kSegmentBAddress);
    for (size_t i = 0; i < b.size() / 2; ++i)
        device().memory().write(static_cast<uint16_t>(kSegmentBAddress + i), b[i]);
    EXPECT_TRUE(program(image)) << dialog->link().message();
}

// A line that fails while Segment B is read once is tried again; one that keeps failing
// stops the run: a transmitter that could not be checked is not erased.
TEST_F(CalibrationGuard, ALineThatFailsIsTriedAgainButNeverPassesTheCheck) {
    device().faults().loseReply(3);
    EXPECT_TRUE(program(ownImage())) << dialog->link().message();
    before = device().memory().flashChanges();
    device().faults().setSilent(true);
    EXPECT_FALSE(program(imageOfAnotherTransmitter()));
    EXPECT_NE(dialog->link().message().find("could not be read"), std::string::npos)
        << dialog->link().message();
    EXPECT_TRUE(flashUntouched());
}

}  // namespace
}  // namespace kv58::test
