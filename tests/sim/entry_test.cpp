// The entry sequence on DTR (reset) and RTS (test), and what a plain reset starts.
#include <gtest/gtest.h>

#include "sim/transmitter_contents.h"
#include "sim_host.h"

namespace kv58::sim::test {
namespace {

TEST(Entry, ClosedPortHoldsResetAndOpeningRunsTheProgram) {
    SimHost host("sim:entry-open");
    EXPECT_EQ(host.device->mode(), SimDevice::Mode::Program);
    EXPECT_FALSE(host.sync());
    host.close();
    EXPECT_EQ(host.device->mode(), SimDevice::Mode::Reset);
}

TEST(Entry, TwoTestPulsesDuringResetStartTheLoader) {
    SimHost host("sim:entry-invoke");
    host.enterLoader(true);
    EXPECT_EQ(host.device->mode(), SimDevice::Mode::Loader);
    EXPECT_TRUE(host.sync());
    EXPECT_EQ(host.device->loaderStarts(), 1u);
}

TEST(Entry, PlainResetStartsTheTransmitterProgram) {
    SimHost host("sim:entry-plain");
    host.enterLoader(true);
    host.enterLoader(false);
    EXPECT_EQ(host.device->mode(), SimDevice::Mode::Program);
    EXPECT_FALSE(host.sync());
}

TEST(Entry, OneTestPulseIsNotEnough) {
    SimHost host("sim:entry-one");
    host.port->setRts(false);
    host.port->setDtr(false);
    host.port->setRts(true);
    host.port->setRts(false);
    host.port->setDtr(true);
    EXPECT_EQ(host.device->mode(), SimDevice::Mode::Program);
}

TEST(Entry, InvertedAdapterNeedsAnInvertingHost) {
    SimHost host("sim:entry-inverted?invert-dtr=1&invert-rts=1");
    host.enterLoader(true);
    EXPECT_NE(host.device->mode(), SimDevice::Mode::Loader);
    // The same sequence with every level inverted, as a link set to invert drives it.
    host.port->setDtr(false), host.port->setRts(false);
    host.clock.sleepMs(250);
    host.port->setDtr(true);
    for (bool rts : {false, true, false, true})
        host.port->setRts(rts);
    host.port->setDtr(false), host.port->setRts(false);
    EXPECT_EQ(host.device->mode(), SimDevice::Mode::Loader);
    EXPECT_TRUE(host.sync());
}

TEST(Entry, WithoutControlLinesAQuietLineRestartsTheLoader) {
    SimHost host("sim:quiet?start=loader&quiet-reset=400&fault=answer-from:2");
    EXPECT_FALSE(host.sync()) << "the first loader start does not answer";
    host.clock.sleepMs(250);  // with the 100 ms the synchronisation waited: not long enough
    EXPECT_FALSE(host.sync());
    host.clock.sleepMs(400);
    const auto password = firmwarePassword();
    ASSERT_TRUE(host.unlock(Bytes(password.begin(), password.end())));
    ASSERT_EQ(host.command(0x1A, 0xF000, 0), Bytes{0x90});
    EXPECT_FALSE(host.sync()) << "the transmitter's program runs";
    host.clock.sleepMs(400);
    EXPECT_TRUE(host.sync());
}

TEST(Entry, ResetCutsOffARunningReply) {
    SimHost host("sim:entry-cut");
    host.enterLoader();
    const auto password = firmwarePassword();
    ASSERT_TRUE(host.unlock(Bytes(password.begin(), password.end())));
    ASSERT_TRUE(host.sync());
    host.send(commandFrame(0x14, 0xF000, 128));  // a reply of 134 bytes, about 150 ms
    host.clock.sleepMs(50);
    host.port->setDtr(false);
    const Bytes got = host.receive(134, 500);
    EXPECT_GT(got.size(), 0u);
    EXPECT_LT(got.size(), 40u);
}

TEST(Entry, MemoryOutlivesThePortAndPortsAreExclusive) {
    SimHost host("sim:entry-keep");
    host.device->memory().write(0x1080, 0x00);
    std::string error;
    EXPECT_EQ(openSimPort("sim:entry-keep", host.clock, error), nullptr);
    EXPECT_NE(error.find("already open"), std::string::npos) << error;
    host.close();
    host.open();
    EXPECT_EQ(host.device->memory().read(0x1080), 0x00);
}

}  // namespace
}  // namespace kv58::sim::test
