// The ROM loader of the simulated transmitter, driven with raw bytes.
#include <gtest/gtest.h>

#include "sim/transmitter_contents.h"
#include "sim_host.h"

namespace kv58::sim::test {
namespace {

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override { host.enterLoader(); }
    SimHost host{"sim:loader"};
};

TEST(FrameChecksum, KnownFramesOfTheLoaderProtocol) {
    // The version read, a mass erase and a Segment A erase as the link sends them.
    EXPECT_EQ(commandFrame(0x14, 0x0FFA, 2),
              (Bytes{0x80, 0x14, 0x04, 0x04, 0xFA, 0x0F, 0x02, 0x00, 0x83, 0xE0}));
    EXPECT_EQ(commandFrame(0x18, 0xFF00, 0xA506),
              (Bytes{0x80, 0x18, 0x04, 0x04, 0x00, 0xFF, 0x06, 0xA5, 0x7D, 0xB9}));
    EXPECT_EQ(commandFrame(0x16, 0x1080, 0xA502),
              (Bytes{0x80, 0x16, 0x04, 0x04, 0x80, 0x10, 0x02, 0xA5, 0xF9, 0x58}));
    // The reply of a 1.10 loader to the version read.
    EXPECT_EQ(withChecksum({0x80, 0x00, 0x02, 0x02, 0x01, 0x10}),
              (Bytes{0x80, 0x00, 0x02, 0x02, 0x01, 0x10, 0x7C, 0xED}));
}

TEST_F(LoaderTest, SynchronisationIsAnsweredWith0x90) {
    EXPECT_TRUE(host.sync());
    // A second synchronisation after a pause finds the loader waiting again.
    host.clock.sleepMs(100);
    EXPECT_TRUE(host.sync());
}

TEST_F(LoaderTest, ProtectedCommandsAreRefusedUntilThePasswordArrives) {
    EXPECT_EQ(host.command(0x14, 0x1080, 2), Bytes{0xA0});
    EXPECT_EQ(host.command(0x16, 0x1080, 0xA502), Bytes{0xA0});
    EXPECT_EQ(host.command(0x12, 0x1080, 2, {0, 0}), Bytes{0xA0});
    EXPECT_FALSE(host.unlock(erasedPassword()));
    EXPECT_EQ(host.command(0x14, 0x1080, 2), Bytes{0xA0});
    EXPECT_TRUE(host.unlock(devicePassword()));
    EXPECT_EQ(host.readBlock(0x1080 + kOffsetVersion, 4), (Bytes{'0', '1', '0', '2'}));
}

TEST_F(LoaderTest, ReadReplyIsADataFrameWithChecksum) {
    ASSERT_TRUE(host.unlock(devicePassword()));
    const Bytes reply = host.command(0x14, 0x0FFA, 2, {}, 8);
    EXPECT_EQ(reply, withChecksum({0x80, 0x00, 0x02, 0x02, 0x01, 0x60}));  // loader 1.60
}

TEST_F(LoaderTest, OddOrOversizedReadLengthsAreRefused) {
    ASSERT_TRUE(host.unlock(devicePassword()));
    EXPECT_EQ(host.command(0x14, 0x1080, 3), Bytes{0xA0});
    EXPECT_EQ(host.command(0x14, 0x1080, 252), Bytes{0xA0});
    EXPECT_EQ(host.command(0x14, 0x1080, 0), Bytes{0xA0});
    EXPECT_EQ(host.readBlock(0xF000, 250).size(), 250u);
}

TEST_F(LoaderTest, WriteEraseAndReadBackFollowFlashRules) {
    ASSERT_TRUE(host.unlock(devicePassword()));
    EXPECT_EQ(host.command(0x16, 0x1085, 0xA502), Bytes{0x90});  // any address in Segment A
    EXPECT_EQ(host.readBlock(0x1080, 128), Bytes(128, 0xFF));
    EXPECT_NE(host.readBlock(0x1000, 128), Bytes(128, 0xFF)) << "Segment B untouched";
    EXPECT_EQ(host.command(0x12, 0x1080, 4, {0x0F, 0xF0, 0x12, 0x34}), Bytes{0x90});
    // Writing 1s over 0s leaves the 0s.
    EXPECT_EQ(host.command(0x12, 0x1080, 2, {0xF0, 0x0F}), Bytes{0x90});
    EXPECT_EQ(host.readBlock(0x1080, 4), (Bytes{0x00, 0x00, 0x12, 0x34}));
}

TEST_F(LoaderTest, MassEraseIsUnprotectedAndTheErasedPasswordOpensTheDevice) {
    for (int cycle = 0; cycle < 20; ++cycle)
        ASSERT_EQ(host.command(0x18, 0xFF00, 0xA506), Bytes{0x90});
    EXPECT_FALSE(host.unlock(devicePassword()));
    EXPECT_TRUE(host.unlock(erasedPassword()));
    EXPECT_EQ(host.readBlock(0x1000, 128), Bytes(128, 0xFF));  // information memory too
    EXPECT_EQ(host.readBlock(0xFF80, 128), Bytes(128, 0xFF));
}

TEST_F(LoaderTest, MalformedHeadersAreRefusedRightAfterTheSecondLength) {
    ASSERT_TRUE(host.sync());
    // L1 ≠ L2: the refusal comes after the fourth byte, before the rest of the frame.
    EXPECT_EQ(host.exchange({0x80, 0x12, 0x06, 0x08}, 1), Bytes{0xA0});
    host.clock.sleepMs(100);
    ASSERT_TRUE(host.sync());
    EXPECT_EQ(host.exchange({0x80, 0x3C, 0x04, 0x04}, 1), Bytes{0xA0}) << "unknown command";
    host.clock.sleepMs(100);
    ASSERT_TRUE(host.sync());
    EXPECT_EQ(host.exchange({0x80, 0x10, 0x04, 0x04}, 1), Bytes{0xA0}) << "short password frame";
}

TEST_F(LoaderTest, RestOfARefusedFrameIsIgnored) {
    ASSERT_TRUE(host.sync());
    // The whole malformed frame is already on its way when the refusal comes; a 0x80 in its
    // payload must not be taken for a synchronisation.
    Bytes frame = {0x80, 0x12, 0x06, 0x08, 0x80, 0x10, 0x02, 0x00, 0x80, 0x80, 0x11, 0x22};
    EXPECT_EQ(host.exchange(frame, 2, 100), Bytes{0xA0});
    host.clock.sleepMs(100);
    EXPECT_TRUE(host.sync());
}

TEST_F(LoaderTest, BadChecksumIsRefusedAndChangesNothing) {
    ASSERT_TRUE(host.unlock(devicePassword()));
    const Bytes before = host.readBlock(0x1080, 16);
    ASSERT_TRUE(host.sync());
    Bytes frame = commandFrame(0x16, 0x1080, 0xA502);
    frame.back() ^= 0x01;
    EXPECT_EQ(host.exchange(frame, 1), Bytes{0xA0});
    EXPECT_EQ(host.readBlock(0x1080, 16), before);
}

TEST_F(LoaderTest, SilenceInsideAFrameAbandonsIt) {
    ASSERT_TRUE(host.sync());
    host.send({0x80, 0x14, 0x04});  // the rest of the frame is lost
    EXPECT_TRUE(host.receive(1, 300).empty());
    EXPECT_TRUE(host.sync()) << "the loader waits for a synchronisation again";
}

// A loader without a time-out between a frame's bytes (frame-gap=wait).
class WaitingLoader : public ::testing::Test {
protected:
    void SetUp() override { host.enterLoader(); }
    SimHost host{"sim:waiting?frame-gap=wait"};
};

TEST_F(WaitingLoader, AFrameInterruptedBySilenceIsCompletedByTheNextBytes) {
    ASSERT_TRUE(host.unlock(devicePassword()));
    ASSERT_TRUE(host.sync());
    const Bytes frame = commandFrame(0x14, 0x1080, 2);
    host.send({frame.begin(), frame.begin() + 3});
    EXPECT_TRUE(host.receive(1, 300).empty());
    const Bytes reply = host.exchange({frame.begin() + 3, frame.end()}, 8);
    ASSERT_EQ(reply.size(), 8u);
    EXPECT_EQ(reply[0], 0x80);
}

TEST_F(WaitingLoader, AnUnansweredSynchronisationTurnsTheNextIntoAFrameHeader) {
    ASSERT_TRUE(host.sync());
    host.clock.sleepMs(500);
    EXPECT_FALSE(host.sync());
    host.clock.sleepMs(500);
    EXPECT_FALSE(host.sync()) << "the command byte of that frame";
}

TEST_F(WaitingLoader, AByteThatCannotBeAHeaderEndsTheWaitForAFrame) {
    ASSERT_TRUE(host.sync());
    host.clock.sleepMs(500);
    host.send({0x00});
    EXPECT_TRUE(host.sync());
}

TEST_F(WaitingLoader, ARefusedFrameIsSkippedAsItsLengthAnnouncesIt) {
    ASSERT_TRUE(host.sync());
    EXPECT_EQ(host.exchange({0x80, 0x3C, 0x04, 0x04}, 1), Bytes{0xA0}) << "unknown command";
    host.clock.sleepMs(500);
    // Four payload bytes and two checksum bytes follow the header, whatever arrives as them.
    EXPECT_TRUE(host.exchange(Bytes(5, 0x80), 1, 100).empty());
    EXPECT_FALSE(host.sync());
    EXPECT_TRUE(host.sync());
}

TEST_F(LoaderTest, LoadPcToTheLoaderRestartLocksItAgain) {
    ASSERT_TRUE(host.unlock(devicePassword()));
    EXPECT_EQ(host.command(0x1A, 0x0C22, 0), Bytes{0x90});
    EXPECT_EQ(host.command(0x14, 0x1080, 2), Bytes{0xA0});
    EXPECT_TRUE(host.unlock(devicePassword()));
}

TEST_F(LoaderTest, LoadPcIntoTheFirmwareLeavesTheLoader) {
    ASSERT_TRUE(host.unlock(devicePassword()));
    EXPECT_EQ(host.command(0x1A, 0xF000, 0), Bytes{0x90});
    EXPECT_EQ(host.device->mode(), SimDevice::Mode::Program);
    EXPECT_FALSE(host.sync());
}

}  // namespace
}  // namespace kv58::sim::test
