// Flash erase as the flash controller does it: a mass erase erases for certain only once its
// cycles add up to the cumulative mass-erase time, and the loader's flash work lasts as many
// cycles of the flash timing generator as the family user's guide gives.
#include <gtest/gtest.h>

#include <bitset>

#include "bsl/bsl_link.h"
#include "bsl/programming.h"
#include "bsl/titxt.h"
#include "sim/msp430_memory.h"
#include "sim/shipped_images.h"
#include "sim/transmitter_contents.h"
#include "sim_host.h"
#include "support/temp_dir.h"

namespace kv58::sim::test {
namespace {

// A mass-erase cycle at the default clock: 5297 cycles at 366 kHz.
constexpr int64_t kCycleUs = 14'473;

size_t programmedBits(const Msp430Memory& m, uint32_t first, uint32_t last) {
    size_t bits = 0;
    for (uint32_t a = first; a <= last; ++a)
        bits += 8 - std::bitset<8>(m.read(static_cast<uint16_t>(a))).count();
    return bits;
}

// Information memory and the top 4 KB of the program programmed with a pattern.
Msp430Memory programmedMemory(uint64_t seed) {
    Msp430Memory m;
    m.setEraseSeed(seed);
    for (uint32_t a = kInfoStart; a <= kInfoEnd; ++a)
        m.write(static_cast<uint16_t>(a), static_cast<uint8_t>(a * 37));
    for (uint32_t a = 0xF000; a <= 0xFFFF; ++a)
        m.write(static_cast<uint16_t>(a), static_cast<uint8_t>(a * 37));
    return m;
}

TEST(MassErase, ErasesForCertainOnlyOnceTheCumulativeTimeIsReached) {
    Msp430Memory m = programmedMemory(7);
    size_t left = programmedBits(m, kInfoStart, 0xFFFF);
    int cycles = 0;
    for (; (cycles + 1) * kCycleUs < kCumulativeMassEraseUs; ++cycles) {
        m.massEraseCycle(true, kCycleUs);
        const size_t now = programmedBits(m, kInfoStart, 0xFFFF);
        EXPECT_LT(now, left) << "cycle " << cycles + 1;
        EXPECT_GT(now, 0u) << "cycle " << cycles + 1;
        left = now;
    }
    EXPECT_EQ(cycles, 13);
    m.massEraseCycle(true, kCycleUs);
    EXPECT_EQ(programmedBits(m, kInfoStart, 0xFFFF), 0u);
}

TEST(MassErase, MainOnlyLeavesTheInformationMemory) {
    Msp430Memory m = programmedMemory(7);
    const size_t info = programmedBits(m, kInfoStart, kInfoEnd);
    m.massEraseCycle(false, kCumulativeMassEraseUs);
    EXPECT_EQ(programmedBits(m, kMainStart, 0xFFFF), 0u);
    EXPECT_EQ(programmedBits(m, kInfoStart, kInfoEnd), info);
}

TEST(MassErase, ProgrammingCountsTheEraseTimeAfresh) {
    Msp430Memory m = programmedMemory(7);
    for (int i = 0; i < 13; ++i)
        m.massEraseCycle(true, kCycleUs);
    for (uint32_t a = 0xF000; a <= 0xFFFF; ++a)
        m.write(static_cast<uint16_t>(a), 0x00);
    m.massEraseCycle(true, kCycleUs);
    EXPECT_EQ(programmedBits(m, kInfoStart, kInfoEnd), 0u) << "200 ms in all";
    EXPECT_GT(programmedBits(m, 0xF000, 0xFFFF), 4096u * 8 * 3 / 4) << "15 ms since written";
}

TEST(MassErase, TheSeedChoosesTheBitsThatStay) {
    Msp430Memory a = programmedMemory(1), b = programmedMemory(1), c = programmedMemory(2);
    for (Msp430Memory* m : {&a, &b, &c})
        m->massEraseCycle(true, 5 * kCycleUs);
    size_t sameAsB = 0, sameAsC = 0;
    for (uint32_t addr = 0xF000; addr <= 0xFFFF; ++addr) {
        const auto at = static_cast<uint16_t>(addr);
        sameAsB += a.read(at) == b.read(at);
        sameAsC += a.read(at) == c.read(at);
    }
    EXPECT_EQ(sameAsB, 4096u);
    EXPECT_LT(sameAsC, 4096u / 2);
}

// The time from the end of a command frame to the loader's answer, for the flash work.
class EraseTimes : public ::testing::TestWithParam<std::pair<const char*, int64_t>> {};

INSTANTIATE_TEST_SUITE_P(FlashClock, EraseTimes,
                         ::testing::Values(std::pair{"257", int64_t{257}},
                                           std::pair{"366", int64_t{366}},
                                           std::pair{"476", int64_t{476}}));

TEST_P(EraseTimes, FollowTheFlashTimingGenerator) {
    SimHost host(std::string("sim:ftg?ftg=") + GetParam().first);
    host.enterLoader();
    const int64_t khz = GetParam().second;
    const int64_t frameUs = 10 * characterTimeUs(LineSettings{}) + DeviceOptions{}.processingUs;
    ASSERT_TRUE(host.unlock(devicePassword()));
    for (const auto& [command, key, cycles] :
         {std::tuple{uint8_t{0x16}, uint16_t{0xA502}, int64_t{4819}},
          std::tuple{uint8_t{0x18}, uint16_t{0xA506}, int64_t{5297}}}) {
        ASSERT_TRUE(host.sync());
        const int64_t start = host.clock.nowUs();
        ASSERT_EQ(host.exchange(commandFrame(command, 0x1080, key), 1), Bytes{0x90});
        const int64_t workUs = host.clock.nowUs() - start - frameUs - characterTimeUs({});
        EXPECT_EQ(workUs, (cycles * 1000 + khz - 1) / khz) << std::hex << int{command};
    }
}

// A programming run against the simulated transmitter: the run's 20 mass erases suffice at
// every clock of the range; fewer leave bits that the erase check finds.
class EraseCheck : public ::testing::Test {
protected:
    void SetUp() override {
        registerSimPortScheme();
        forgetSimDevices();
        kv58::test::writeFile(dir.file(kPasswordFileName), passwordFileText());
        kv58::test::writeFile(dir.file(kPatchFileName), patchFileText());
        kv58::test::writeFile(dir.file("image.txt"),
                              formatTiTxt({{0x1000, std::vector<uint8_t>(256, 0x00)},
                                           {0xF000, std::vector<uint8_t>(4096, 0x00)}},
                                          true));
    }
    SimDevice& use(const std::string& name) {
        link.setPortName(name);
        std::string error;
        device = deviceFor(name, error);
        EXPECT_TRUE(device) << error;
        return *device;
    }
    // Opens the port, enters the loader and sends `cycles` mass erases.
    void massErase(int cycles) {
        ASSERT_EQ(link.openPort(), LinkResult::Ok);
        link.transport().enterBootstrapLoader(true);
        for (int i = 0; i < cycles; ++i)
            ASSERT_EQ(link.bslCommand(kCmdMassErase, 0xFF00, kEraseAllKey), LinkResult::Ok);
    }
    // Unlocks with the vectors as they now read, erased or not.
    LinkResult unlockWithTheVectors() {
        std::vector<uint8_t> vectors;
        for (uint32_t a = kVectorAddress; a <= 0xFFFF; ++a)
            vectors.push_back(device->memory().read(static_cast<uint16_t>(a)));
        kv58::test::writeFile(dir.file("vectors.txt"), formatTiTxt({{0xFFE0, vectors}}, true));
        return link.transmitPassword(dir.file("vectors.txt"));
    }

    kv58::test::TempDir dir;
    kv58::test::WorkingDirectory cwd{dir.path()};
    VirtualClock clock{1'000'000};
    BslLink link{clock};
    std::shared_ptr<SimDevice> device;
};

TEST_F(EraseCheck, FewerCyclesThanTheCumulativeTimeNeedsAreCaught) {
    use("sim:short?ftg=476");  // 11 129 µs a cycle: 18 reach 200 ms, 17 do not
    massErase(17);
    EXPECT_EQ(link.transmitPassword(std::nullopt), LinkResult::Nak)
        << "the vectors are not all erased";
    ASSERT_EQ(unlockWithTheVectors(), LinkResult::Ok);
    EXPECT_EQ(link.processImageFile("image.txt", BlockEraseCheck), LinkResult::EraseCheckFailed);
    EXPECT_EQ(link.message().rfind("Erase Check failed at ", 0), 0u) << link.message();
    ASSERT_EQ(link.bslCommand(kCmdMassErase, 0xFF00, kEraseAllKey), LinkResult::Ok);
    EXPECT_EQ(link.processImageFile("image.txt", BlockEraseCheck), LinkResult::Ok);
    EXPECT_EQ(link.transmitPassword(std::nullopt), LinkResult::Ok);
    static_cast<void>(link.closePort());
}

TEST_F(EraseCheck, ARunOfFiveCyclesWouldBeCaught) {
    use("sim:five");
    massErase(5);
    EXPECT_EQ(link.transmitPassword(std::nullopt), LinkResult::Nak);
    ASSERT_EQ(unlockWithTheVectors(), LinkResult::Ok);
    EXPECT_EQ(link.processImageFile("image.txt", BlockEraseCheck), LinkResult::EraseCheckFailed);
    static_cast<void>(link.closePort());
}

class FullRunAtEveryClock : public EraseCheck, public ::testing::WithParamInterface<const char*> {};

INSTANTIATE_TEST_SUITE_P(FlashClock, FullRunAtEveryClock, ::testing::Values("257", "476"));

TEST_P(FullRunAtEveryClock, TwentyMassErasesSuffice) {
    use(std::string("sim:full?ftg=") + GetParam());
    ASSERT_TRUE(runProgramming(link, ProgrammingMode::FullRun, "image.txt")) << link.message();
    for (uint32_t a = 0x1100; a < 0xF000; ++a)
        ASSERT_EQ(device->memory().read(static_cast<uint16_t>(a)), 0xFF) << std::hex << a;
    EXPECT_EQ(device->memory().read(0xF123), 0x00);
}

}  // namespace
}  // namespace kv58::sim::test
