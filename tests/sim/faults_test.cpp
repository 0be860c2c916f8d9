// Faults injected into the simulated transmitter, programmatically and by name.
#include <gtest/gtest.h>

#include "sim/transmitter_contents.h"
#include "sim_host.h"

namespace kv58::sim::test {
namespace {

Bytes password() {
    const auto p = firmwarePassword();
    return Bytes(p.begin(), p.end());
}

class Faulty : public ::testing::Test {
protected:
    void SetUp() override { host.enterLoader(); }
    Faults& faults() { return host.device->faults(); }
    SimHost host{"sim:faulty"};
};

TEST_F(Faulty, LostAndCorruptedBytesInEitherDirection) {
    faults().loseSent(1);
    EXPECT_FALSE(host.sync());
    EXPECT_TRUE(host.sync());
    faults().loseReply(1);
    host.clock.sleepMs(100);
    EXPECT_FALSE(host.sync());
    host.clock.sleepMs(100);
    faults().corruptReply(1);
    EXPECT_EQ(host.exchange({0x80}, 1, 100), Bytes{0xD0});
    host.clock.sleepMs(100);
    faults().corruptSent(1);
    EXPECT_FALSE(host.sync()) << "0xC0 is no synchronisation";
    EXPECT_TRUE(host.sync());
}

TEST_F(Faulty, LossRateOneSilencesTheLine) {
    faults().setLossRate(1.0);
    EXPECT_FALSE(host.sync());
    faults().setLossRate(0);
    EXPECT_TRUE(host.sync());
}

TEST_F(Faulty, SilentDeviceNeverAnswers) {
    faults().setSilent(true);
    EXPECT_FALSE(host.sync());
    host.enterLoader();
    EXPECT_FALSE(host.sync());
}

TEST_F(Faulty, RefusedPasswords) {
    faults().refusePasswords(1);
    EXPECT_FALSE(host.unlock(password()));
    EXPECT_TRUE(host.unlock(password()));
    faults().refusePasswords(-1);
    host.enterLoader();
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(host.unlock(password()));
}

TEST_F(Faulty, StuckCellKeepsItsBits) {
    faults().stickCell(0x1081);
    ASSERT_TRUE(host.unlock(password()));
    ASSERT_EQ(host.command(0x16, 0x1080, 0xA502), Bytes{0x90});
    ASSERT_EQ(host.command(0x12, 0x1080, 2, {0x12, 0x34}), Bytes{0x90});
    EXPECT_EQ(host.readBlock(0x1080, 2), (Bytes{0x12, 0xFF}));
}

TEST(WriteCheck, ABlockThatDidNotTakeIsRefusedFromTheFailingByteOn) {
    SimHost host("sim:checking?write-check=nak");
    host.enterLoader();
    host.device->faults().stickCell(0x1082);
    ASSERT_TRUE(host.unlock(devicePassword()));
    ASSERT_EQ(host.command(0x16, 0x1080, 0xA502), Bytes{0x90});
    EXPECT_EQ(host.command(0x12, 0x1080, 4, {0x12, 0x34, 0x56, 0x78}), Bytes{0xA0});
    EXPECT_EQ(host.readBlock(0x1080, 4), (Bytes{0x12, 0x34, 0xFF, 0xFF}));
    EXPECT_EQ(host.command(0x12, 0x1080, 2, {0x12, 0x34}), Bytes{0x90}) << "what took";
    EXPECT_EQ(host.command(0x12, 0x1080, 2, {0xFF, 0x34}), Bytes{0xA0}) << "a 1 over a 0";
    EXPECT_EQ(host.command(0x12, 0x0300, 2, {0xAB, 0xCD}), Bytes{0x90}) << "RAM";
}

TEST_F(Faulty, SegmentEraseChangesTheProgramOnce) {
    ASSERT_TRUE(host.unlock(password()));
    const Bytes program = host.readBlock(0xF400, 2);
    faults().changeProgramOnNextErase(0xF400);
    ASSERT_EQ(host.command(0x16, 0x1080, 0xA502), Bytes{0x90});
    const Bytes changed = host.readBlock(0xF400, 2);
    EXPECT_NE(changed, program);
    ASSERT_EQ(host.command(0x16, 0x1000, 0xA502), Bytes{0x90});
    EXPECT_EQ(host.readBlock(0xF400, 2), changed);
}

TEST_F(Faulty, AnswersOnlyFromTheNthLoaderStart) {
    faults().answerFromEntry(2);
    host.enterLoader();
    EXPECT_FALSE(host.sync());
    host.enterLoader();
    EXPECT_TRUE(host.sync());
}

TEST_F(Faulty, SwappedTransmitterHasTheNextSerialNumber) {
    const auto serialAt = [&] {
        const Bytes s = host.readBlock(kSegmentAAddress + kOffsetSerial, 10);
        return std::string(s.begin(), s.end());
    };
    ASSERT_TRUE(host.unlock(password()));
    EXPECT_EQ(serialAt(), "K58-104711");
    faults().swapAtEntry(1);
    host.enterLoader();
    ASSERT_TRUE(host.unlock(password()));
    EXPECT_EQ(serialAt(), "K58-104712");
}

TEST_F(Faulty, PowerLossHalfProgramsTheBlockAndSilencesTheDevice) {
    ASSERT_TRUE(host.unlock(password()));
    ASSERT_EQ(host.command(0x16, 0x1080, 0xA502), Bytes{0x90});
    faults().powerLossAtWrite(1);
    EXPECT_TRUE(host.command(0x12, 0x1080, 8, {1, 2, 3, 4, 5, 6, 7, 8}).empty());
    EXPECT_EQ(host.device->mode(), SimDevice::Mode::Unpowered);
    EXPECT_FALSE(host.sync());
    host.enterLoader();
    ASSERT_TRUE(host.unlock(password()));
    EXPECT_EQ(host.readBlock(0x1080, 8), (Bytes{1, 2, 3, 4, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(FaultsByName, OptionsArmTheFaults) {
    SimHost host("sim:named?fault=lose-reply:1,refuse-password:1&fault=answer-from:2");
    host.enterLoader();
    EXPECT_FALSE(host.sync()) << "first loader start does not answer";
    host.enterLoader();
    EXPECT_FALSE(host.sync()) << "first reply byte lost";
    host.clock.sleepMs(100);
    EXPECT_FALSE(host.unlock(password()));
    EXPECT_TRUE(host.unlock(password()));
}

TEST(FaultsByName, BadItemsAreRefusedWithTheAcceptedForms) {
    std::string error;
    VirtualClock clock;
    EXPECT_EQ(openSimPort("sim:bad?fault=lose-reply:0", clock, error), nullptr);
    EXPECT_NE(error.find("lose-reply:N with N from 1"), std::string::npos) << error;
    EXPECT_EQ(openSimPort("sim:bad?fault=melt", clock, error), nullptr);
    EXPECT_NE(error.find("unknown fault 'melt'"), std::string::npos) << error;
    EXPECT_NE(error.find("power-loss:N"), std::string::npos) << error;
}

TEST(FaultsByName, RandomFaultsRepeatWithTheSeed) {
    const auto run = [](const std::string& name) {
        SimHost host(name);
        host.enterLoader();
        std::string outcome;
        for (int i = 0; i < 40; ++i) {
            outcome += host.sync() ? '+' : '-';
            host.clock.sleepMs(100);
        }
        return outcome;
    };
    const std::string a = run("sim:r?fault=lose-rate:0.3&seed=7");
    EXPECT_EQ(a, run("sim:r?fault=lose-rate:0.3&seed=7"));
    EXPECT_NE(a.find('+'), std::string::npos);
    EXPECT_NE(a.find('-'), std::string::npos);
    EXPECT_NE(a, run("sim:r?fault=lose-rate:0.3&seed=8"));
}

}  // namespace
}  // namespace kv58::sim::test
