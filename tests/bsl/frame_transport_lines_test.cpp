// The frame transport on the line: pacing, synchronisation, the control lines that start the
// loader, and the data-change warning.
#include <gtest/gtest.h>

#include "frame_transport_fixture.h"

namespace kv58::test {
namespace {

// --- Sending ---

TEST_F(FrameTransportTest, NakAfterTheThirdByteStopsTheFrame) {
    wire->step(3, {0xA0});
    EXPECT_EQ(exchange(0x12, Bytes(244, 0x55)), LinkResult::Nak);
    EXPECT_EQ(hex(wire->written), "80 12 F4");
}

TEST_F(FrameTransportTest, PerByteDelayPacesEveryByte) {
    transport.setByteDelayMs(2);
    wire->step(250, {0x90});
    const int64_t start = clock.nowUs();
    EXPECT_EQ(exchange(0x12, Bytes(244, 0x55)), LinkResult::Ok);
    ASSERT_EQ(wire->written.size(), 250u);
    for (size_t i = 0; i < wire->writeTimesUs.size(); ++i) {
        EXPECT_EQ(wire->writeTimesUs[i] - start, static_cast<int64_t>(i) * 2000) << i;
    }
    EXPECT_EQ(elapsedUs(start), 500'000);
}

TEST_F(FrameTransportTest, WithoutDelayAFrameTakesNoVirtualTime) {
    wire->step(250, {0x90});
    const int64_t start = clock.nowUs();
    static_cast<void>(exchange(0x12, Bytes(244, 0x55)));
    EXPECT_EQ(elapsedUs(start), 0);
}

// --- Synchronisation ---

TEST_F(FrameTransportTest, SynchronizeAcceptsExactly0x90) {
    wire->step(1, {0x90});
    EXPECT_EQ(transport.synchronize(), LinkResult::Ok);
    EXPECT_EQ(hex(wire->written), "80");
}

TEST_F(FrameTransportTest, SynchronizeGivesUpAfterThreeSilentAttemptsOf100Ms) {
    const int64_t start = clock.nowUs();
    EXPECT_EQ(transport.synchronize(), LinkResult::NoSync);
    EXPECT_EQ(elapsedUs(start), 300'000);
    EXPECT_EQ(hex(wire->written), "80 00 80 00 80");
}

TEST_F(FrameTransportTest, SynchronizeCountsOnlyTheExactAcknowledge) {
    wire->step(1, {0x91});
    wire->step(1, {0xA0});
    wire->step(1, {0x80});
    const int64_t start = clock.nowUs();
    EXPECT_EQ(transport.synchronize(), LinkResult::NoSync);
    EXPECT_EQ(elapsedUs(start), 0) << "a wrong answer ends its attempt at once";
}

TEST_F(FrameTransportTest, SynchronizeSucceedsOnALaterAttempt) {
    wire->step(1, {});
    wire->step(2, {0x90}, 40'000);
    const int64_t start = clock.nowUs();
    EXPECT_EQ(transport.synchronize(), LinkResult::Ok);
    EXPECT_EQ(elapsedUs(start), 140'000);
}

TEST_F(FrameTransportTest, AfterASilentAttemptTheNextStartsWithAByteNoFrameStartsWith) {
    // A loader whose acknowledge was lost waits for a frame, and 0x80 would be its header.
    wire->step(1, {});
    wire->step(2, {0xA0});
    wire->step(1, {0x90});
    EXPECT_EQ(transport.synchronize(), LinkResult::Ok);
    EXPECT_EQ(hex(wire->written), "80 00 80 80") << "no 0x00 after an answer, if a wrong one";
}

TEST_F(FrameTransportTest, SynchronizeLeavesTheTransportStatus) {
    static_cast<void>(exchange(0x1A, {}));
    ASSERT_EQ(transport.transportStatus(), LinkResult::NoReply);
    wire->step(1, {0x90});
    static_cast<void>(transport.synchronize());
    EXPECT_EQ(transport.transportStatus(), LinkResult::NoReply);
}

// --- Control lines ---

std::string lineLog(const FakeWire& wire, int64_t origin) {
    std::string out;
    for (const auto& c : wire.lineChanges) {
        out +=
            c.line + (c.level ? "+" : "-") + "@" + std::to_string((c.timeUs - origin) / 1000) + " ";
    }
    return out;
}

TEST_F(FrameTransportTest, LoaderEntrySequence) {
    const int64_t start = clock.nowUs();
    transport.enterBootstrapLoader(true);
    EXPECT_EQ(lineLog(*wire, start),
              "DTR+@0 RTS+@0 DTR-@250 RTS+@250 RTS-@250 RTS+@250 RTS-@250 DTR+@250 RTS+@250 ");
    EXPECT_EQ(elapsedUs(start), 500'000);
    ASSERT_EQ(wire->purges.size(), 2u);
    EXPECT_EQ(wire->purges[0], "out");
    EXPECT_EQ(wire->purges[1], "in");
}

TEST_F(FrameTransportTest, ResetSequenceWithoutLoader) {
    const int64_t start = clock.nowUs();
    transport.enterBootstrapLoader(false);
    EXPECT_EQ(lineLog(*wire, start), "DTR+@0 RTS+@0 DTR-@250 DTR+@250 ");
    EXPECT_EQ(elapsedUs(start), 500'000);
}

TEST_F(FrameTransportTest, InvertedLinesAreDrivenAtTheOppositeLevel) {
    transport.setInvertDtr(true);
    const int64_t start = clock.nowUs();
    transport.enterBootstrapLoader(false);
    EXPECT_EQ(lineLog(*wire, start), "DTR-@0 RTS+@0 DTR+@250 DTR-@250 ");
    wire->lineChanges.clear();
    transport.setInvertDtr(false);
    transport.setInvertRts(true);
    transport.setRts(true);
    transport.setDtr(true);
    EXPECT_EQ(lineLog(*wire, clock.nowUs()), "RTS-@0 DTR+@0 ");
}

// --- Data-change warning ---

// Payload chosen so that the word XOR of the frame is 0x0100: the warning names 0x312.
const Bytes kLowAddressPayload = hex("84 17 00 00");

TEST_F(FrameTransportTest, DataChangeWarningNamesBothAddresses) {
    transport.setDataChangeWarning(true);
    wire->step(10, {0x90});
    EXPECT_EQ(exchange(0x12, kLowAddressPayload), LinkResult::Ok);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "WARNING: This command might change data at address 312 or 313!\n");
    EXPECT_EQ(wire->written.size(), 10u) << "the frame goes out all the same";
}

TEST_F(FrameTransportTest, NoWarningWhenOffOrWhenTheAddressIsHigh) {
    wire->step(10, {0x90});
    static_cast<void>(exchange(0x12, kLowAddressPayload));
    EXPECT_TRUE(warnings.empty());
    transport.setDataChangeWarning(true);
    wire->step(10, {0x90});
    static_cast<void>(exchange(0x14, hex("FA 0F 02 00")));  // points at 0x218E
    EXPECT_TRUE(warnings.empty());
}

}  // namespace
}  // namespace kv58::test
