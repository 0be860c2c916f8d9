// Wire timing of the simulated transmitter on the virtual clock.
#include <gtest/gtest.h>

#include "sim/adapter_hold.h"
#include "sim/transmitter_contents.h"
#include "sim_host.h"

namespace kv58::sim::test {
namespace {

constexpr int64_t kLatencyUs = 100;  // the device's default processing time

class Timing : public ::testing::Test {
protected:
    void unlock() {
        host.enterLoader();
        const auto p = firmwarePassword();
        ASSERT_TRUE(host.unlock(Bytes(p.begin(), p.end())));
    }
    SimHost host{"sim:timing"};
};

TEST_F(Timing, CharacterTimeFollowsTheLineSettings) {
    EXPECT_EQ(characterTimeUs({9600, 8, Parity::Even, StopBits::One}), 1146);  // 11 bits
    EXPECT_EQ(characterTimeUs({9600, 8, Parity::None, StopBits::One}), 1042);  // 10 bits
}

TEST_F(Timing, A128ByteReadAt9600TakesWhatTheLineNeeds) {
    unlock();
    const int64_t charUs = characterTimeUs(LineSettings{});
    const int64_t start = host.clock.nowUs();
    const Bytes data = host.readBlock(0xF000, 128);
    ASSERT_EQ(data.size(), 128u);
    // Synchronisation: 1 byte out, 1 back. Frame: 10 bytes out, 4 + 128 + 2 back.
    EXPECT_EQ(host.clock.nowUs() - start, (1 + 1 + 10 + 134) * charUs + 2 * kLatencyUs);
}

TEST_F(Timing, FasterLineShortensTheRead) {
    std::string error;
    const LineSettings fast{19200, 8, Parity::None, StopBits::One};
    ASSERT_TRUE(host.port->configure(fast, error)) << error;
    unlock();
    const int64_t start = host.clock.nowUs();
    ASSERT_EQ(host.readBlock(0xF000, 128).size(), 128u);
    EXPECT_EQ(host.clock.nowUs() - start, 146 * characterTimeUs(fast) + 2 * kLatencyUs);
}

TEST_F(Timing, RepliesArriveOneCharacterTimeApart) {
    unlock();
    ASSERT_TRUE(host.sync());
    host.send(commandFrame(0x14, 0x1080, 2));
    const int64_t charUs = characterTimeUs(LineSettings{});
    const int64_t sent = host.clock.nowUs();
    EXPECT_EQ(host.port->waitForInput(1, 1200), 1u);
    EXPECT_EQ(host.clock.nowUs() - sent, 11 * charUs + kLatencyUs);
    EXPECT_EQ(host.port->waitForInput(3, 1200), 3u);
    EXPECT_EQ(host.clock.nowUs() - sent, 13 * charUs + kLatencyUs);
}

TEST_F(Timing, OutputQueueDrainsAtLineSpeed) {
    host.send(Bytes(10, 0x55));
    EXPECT_EQ(host.port->outputQueued(), 10u);
    host.clock.sleepUs(3 * characterTimeUs(LineSettings{}));
    EXPECT_EQ(host.port->outputQueued(), 7u);
    host.port->purge(false, true, true);
    EXPECT_EQ(host.port->outputQueued(), 1u) << "the byte on the line finishes";
}

TEST_F(Timing, WaitWithoutAnswerLastsTheWholeTimeOut) {
    const int64_t start = host.clock.nowUs();
    EXPECT_EQ(host.port->waitForInput(1, 1200), 0u);
    EXPECT_EQ(host.clock.nowUs() - start, 1'200'000);
}

TEST_F(Timing, FlashWorkDelaysTheAnswer) {
    unlock();
    ASSERT_TRUE(host.sync());
    host.send(commandFrame(0x16, 0x1080, 0xA502));
    const int64_t sent = host.clock.nowUs();
    ASSERT_EQ(host.receive(1), Bytes{0x90});
    // A segment erase is 4819 cycles of the flash timing generator, at 366 kHz 13 167 µs.
    EXPECT_EQ(host.clock.nowUs() - sent,
              11 * characterTimeUs(LineSettings{}) + kLatencyUs + 13'167);
}

// The adapter's latency timer, started by the first byte it holds.
TEST(AdapterHold, HoldsBytesUntilTheTimerRunsOutOrAPacketIsFull) {
    AdapterHold none;
    EXPECT_EQ(none.take(500).atUs, 500);

    AdapterHold hold(16'000, 4);
    EXPECT_EQ(hold.take(1000).atUs, 17'000);
    EXPECT_EQ(hold.take(2000).atUs, 17'000) << "joins the bytes held";
    EXPECT_EQ(hold.take(3000).atUs, 17'000);
    const AdapterHold::Passing full = hold.take(4000);
    EXPECT_EQ(full.atUs, 4000) << "the fourth byte fills the packet";
    EXPECT_EQ(full.alsoEarlier, 3u);
    EXPECT_EQ(hold.take(5000).atUs, 21'000) << "a new hold starts its own timer";
    EXPECT_EQ(hold.take(21'000).atUs, 37'000) << "the timer ran out as it came: a new hold";
    hold.clear();
    EXPECT_EQ(hold.take(22'000).atUs, 38'000);
}

TEST(AdapterLatency, AReplyReachesTheHostWhenTheAdaptersTimerRunsOut) {
    const int64_t charUs = characterTimeUs(LineSettings{});
    for (const int holdMs : {1, 16}) {
        SimHost host("sim:held?latency=" + std::to_string(holdMs));
        host.enterLoader();
        host.send({0x80});
        const int64_t sent = host.clock.nowUs();
        ASSERT_EQ(host.receive(1), Bytes{0x90});
        EXPECT_EQ(host.clock.nowUs() - sent, 2 * charUs + kLatencyUs + holdMs * 1000);
    }
}

TEST(AdapterLatency, ALongReplyPassesInPacketsAndItsTailWaitsForTheTimer) {
    SimHost host("sim:held?latency=16");
    host.enterLoader();
    const auto p = firmwarePassword();
    ASSERT_TRUE(host.unlock(Bytes(p.begin(), p.end())));
    ASSERT_TRUE(host.sync());
    host.send(commandFrame(0x14, 0xF000, 128));
    const int64_t sent = host.clock.nowUs();
    const int64_t charUs = characterTimeUs(LineSettings{});
    const int64_t firstOnLine = sent + 10 * charUs + kLatencyUs;  // reply starts after this
    // At 9600 baud (1146 us a character) each hold gathers 14 bytes before its 16 ms run
    // out, far fewer than a packet: holds start with bytes 1, 15, 29, ... 127.
    EXPECT_EQ(host.port->waitForInput(1, 1200), 14u) << "the first hold comes at once";
    EXPECT_EQ(host.clock.nowUs(), firstOnLine + charUs + 16'000);
    ASSERT_EQ(host.port->waitForInput(134, 1200), 134u);
    EXPECT_EQ(host.clock.nowUs(), firstOnLine + 127 * charUs + 16'000);
}

TEST(AdapterLatency, AFullPacketPassesBeforeItsTimerRunsOut) {
    SimHost host("sim:held?latency=16");
    std::string error;
    const LineSettings fast{115200, 8, Parity::Even, StopBits::One};
    ASSERT_TRUE(host.port->configure(fast, error)) << error;
    host.enterLoader();
    const auto p = firmwarePassword();
    ASSERT_TRUE(host.unlock(Bytes(p.begin(), p.end())));
    ASSERT_TRUE(host.sync());
    host.send(commandFrame(0x14, 0xF000, 128));
    const int64_t charUs = characterTimeUs(fast);  // 95 us: 62 bytes in 5.9 ms
    const int64_t firstOnLine = host.clock.nowUs() + 10 * charUs + kLatencyUs;
    EXPECT_EQ(host.port->waitForInput(1, 1200), 62u) << "a whole packet at once";
    EXPECT_EQ(host.clock.nowUs(), firstOnLine + 62 * charUs) << "with the 62nd byte";
    ASSERT_EQ(host.port->waitForInput(134, 1200), 134u);
    EXPECT_EQ(host.clock.nowUs(), firstOnLine + 125 * charUs + 16'000)
        << "bytes 125 to 134 wait for their timer";
}

TEST(LineMismatch, DeviceWithOtherSettingsHearsNothing) {
    SimHost host("sim:mismatch?line=9600,8E1");
    std::string error;
    ASSERT_TRUE(host.port->configure({19200, 8, Parity::Even, StopBits::One}, error));
    host.enterLoader();
    EXPECT_FALSE(host.sync());
    ASSERT_TRUE(host.port->configure({9600, 8, Parity::None, StopBits::One}, error));
    EXPECT_FALSE(host.sync());
    ASSERT_TRUE(host.port->configure({9600, 8, Parity::Even, StopBits::Two}, error));
    EXPECT_TRUE(host.sync()) << "stop bits do not matter to a receiver";
}

}  // namespace
}  // namespace kv58::sim::test
