// Old loaders (1.10 and lower) and the loader patch.
#include <gtest/gtest.h>

#include "sim/transmitter_contents.h"
#include "sim_host.h"

namespace kv58::sim::test {
namespace {

const Bytes kData = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};

class OldLoader : public ::testing::Test {
protected:
    void SetUp() override {
        host.enterLoader();
        const auto p = firmwarePassword();
        ASSERT_TRUE(host.unlock(Bytes(p.begin(), p.end())));
        ASSERT_EQ(host.command(0x16, 0x1080, 0xA502), Bytes{0x90});
    }
    void loadPatch() {
        ASSERT_EQ(host.command(0x12, kPatchAddress, static_cast<uint16_t>(loaderPatch().size()),
                               loaderPatch()),
                  Bytes{0x90});
    }
    SimHost host{"sim:old?loader=1.10"};
};

TEST_F(OldLoader, ReportsItsVersion) {
    EXPECT_EQ(host.readBlock(0x0FFA, 2), (Bytes{0x01, 0x10}));
}

TEST_F(OldLoader, DirectFlashWritesLoseEveryOtherWord) {
    EXPECT_EQ(host.command(0x12, 0x1080, 8, kData), Bytes{0x90});
    EXPECT_EQ(host.readBlock(0x1080, 8), (Bytes{0x01, 0x02, 0xFF, 0xFF, 0x05, 0x06, 0xFF, 0xFF}));
}

TEST_F(OldLoader, RamWritesAndReadsWorkWithoutThePatch) {
    loadPatch();
    EXPECT_EQ(host.readBlock(kPatchAddress, static_cast<uint16_t>(loaderPatch().size())),
              loaderPatch());
}

TEST_F(OldLoader, WritesEnteredThroughThePatchAreComplete) {
    loadPatch();
    EXPECT_EQ(host.command(0x1A, 0x0220, 0), Bytes{0x90});
    EXPECT_EQ(host.command(0x12, 0x1080, 8, kData), Bytes{0x90});
    EXPECT_EQ(host.readBlock(0x1080, 8), kData);
    // The patch carries out one command only: the next direct write is defective again.
    EXPECT_EQ(host.command(0x12, 0x1090, 8, kData), Bytes{0x90});
    EXPECT_NE(host.readBlock(0x1090, 8), kData);
}

TEST_F(OldLoader, PatchEntryWithoutThePatchInRamHangsUntilReset) {
    EXPECT_EQ(host.command(0x1A, 0x0220, 0), Bytes{0x90});
    EXPECT_EQ(host.device->mode(), SimDevice::Mode::Hung);
    EXPECT_FALSE(host.sync());
    host.enterLoader();
    EXPECT_TRUE(host.sync());
}

TEST_F(OldLoader, PatchSurvivesAResetButNotAPowerLoss) {
    loadPatch();
    host.enterLoader();
    const auto p = firmwarePassword();
    ASSERT_TRUE(host.unlock(Bytes(p.begin(), p.end())));
    EXPECT_EQ(host.command(0x1A, 0x0220, 0), Bytes{0x90});
    EXPECT_EQ(host.device->mode(), SimDevice::Mode::Loader);
    host.device->losePower();
    host.enterLoader();
    ASSERT_TRUE(host.unlock(Bytes(p.begin(), p.end())));
    EXPECT_EQ(host.command(0x1A, 0x0220, 0), Bytes{0x90});
    EXPECT_EQ(host.device->mode(), SimDevice::Mode::Hung);
}

TEST(NewLoader, DirectFlashWritesAreComplete) {
    SimHost host("sim:new?loader=1.11");
    host.enterLoader();
    const auto p = firmwarePassword();
    ASSERT_TRUE(host.unlock(Bytes(p.begin(), p.end())));
    ASSERT_EQ(host.command(0x16, 0x1080, 0xA502), Bytes{0x90});
    EXPECT_EQ(host.command(0x12, 0x1080, 8, kData), Bytes{0x90});
    EXPECT_EQ(host.readBlock(0x1080, 8), kData);
}

}  // namespace
}  // namespace kv58::sim::test
