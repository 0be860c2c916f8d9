// The loader command layer around whole operations: passwords, the end of an operation, and
// image files applied block by block.
#include <gtest/gtest.h>

#include "base/text.h"
#include "bsl_link_fixture.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

// --- Passwords ---

TEST_F(BslLinkTest, ErasedDevicePasswordIs32BytesOfFF) {
    EXPECT_EQ(link.transmitPassword(std::nullopt), LinkResult::Ok);
    Bytes expected = hex("80 10 24 24 E0 FF 20 00");
    expected.insert(expected.end(), 32, 0xFF);
    EXPECT_EQ(hex(wire->frames.at(0)), hex(withChecksum(expected)));
}

TEST_F(BslLinkTest, RefusedPasswordGivesSeven) {
    loader.acceptPassword = false;
    EXPECT_EQ(link.transmitPassword(std::nullopt), LinkResult::Nak);
}

TEST_F(BslLinkTest, PasswordFileSendsItsBlockAsOnePasswordCommand) {
    TempDir dir;
    std::string text = "@FFE0\r\n";
    for (int line = 0; line < 2; ++line) {
        for (int i = 0; i < 16; ++i)
            text += strprintf("%02X ", line * 16 + i);
        text += "\r\n";
    }
    writeFile(dir.file("pw.txt"), text + "q\r\n");
    EXPECT_EQ(link.transmitPassword(dir.file("pw.txt")), LinkResult::Ok);
    ASSERT_EQ(commands(), (Strings{"10@FFE0+32"}));
    EXPECT_EQ(wire->frames[0][8], 0x00);
    EXPECT_EQ(wire->frames[0][8 + 31], 0x1F);
}

TEST_F(BslLinkTest, MissingPasswordFileGives96WithoutTouchingTheDevice) {
    TempDir dir;
    EXPECT_EQ(link.transmitPassword(dir.file("none.txt")), LinkResult::FileOpenFailed);
    EXPECT_EQ(link.failedFile(), dir.file("none.txt"));
    EXPECT_EQ(link.resultCode(), LinkResult::FileOpenFailed);
    EXPECT_TRUE(wire->written.empty());
}

// --- End of an operation ---

TEST_F(BslLinkTest, EndOperationMessages) {
    static_cast<void>(link.imageFileMissing("PATCH.TXT"));
    const std::tuple<int, bool, const char*> cases[] = {
        {0, false, "Programming completed!"},
        {0, true, "Programming completed!"},
        {1, false, "ERROR: Communication Error!"},
        {2, true, "ERROR: Communication Error!"},
        {3, false, "ERROR: Communication Error!"},
        {6, true, "ERROR: Communication Error!"},
        {7, true, "ERROR: Password not accepted!"},
        {7, false, "ERROR: Communication Error!"},
        {9, false, "ERROR: Communication Error!"},
        {10, false, "ERROR: Communication Error!"},
        {42, false, "ERROR: Communication Error!"},
        {96, false, "ERROR: Unable to open input file \"PATCH.TXT\"!"},
        {97, false, "ERROR: Erase check failed!"},
        {98, false, "ERROR: Verification failed!"},
        {99, false, "ERROR: Syncronization failed!\nDevice with boot loader connected?"},
    };
    for (const auto& [code, passwordStage, text] : cases) {
        ASSERT_EQ(link.openPort(), LinkResult::Ok);
        const auto result = static_cast<LinkResult>(code);
        EXPECT_EQ(link.endOperation(result, passwordStage), code == 0) << code;
        EXPECT_EQ(link.message(), text) << code;
        EXPECT_EQ(link.resultCode(), result);
        EXPECT_FALSE(link.transport().isOpen()) << code;
    }
}

TEST_F(BslLinkTest, EndOperationResetsTheDeviceOnlyWhenTheLastRunAskedForIt) {
    EXPECT_TRUE(link.endOperation(LinkResult::Ok, false));
    EXPECT_TRUE(wire->lineChanges.empty());
    ASSERT_EQ(link.openPort(), LinkResult::Ok);
    link.beginRun(RunProgram | RunResetAtEnd, "");
    EXPECT_FALSE(link.endOperation(LinkResult::Nak, false));
    ASSERT_EQ(wire->lineChanges.size(), 4u);
    EXPECT_EQ(wire->lineChanges[2].line, "DTR");
    EXPECT_FALSE(wire->lineChanges[2].level);
    EXPECT_TRUE(wire->lineChanges[3].level);
    EXPECT_EQ(wire->closes, 2);
}

// --- Image files through the link ---

std::string imageSection(unsigned address, size_t count, uint8_t first) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(first + i);
    std::string out = strprintf("@%04X\r\n", address);
    for (size_t i = 0; i < count; ++i) {
        out += strprintf("%02X ", bytes[i]);
        if (i % 16 == 15)
            out += "\r\n";
    }
    return out;
}

TEST_F(BslLinkTest, ImageIsWrittenBlockByBlockWithProgress) {
    TempDir dir;
    writeFile(dir.file("img.txt"), imageSection(0xF000, 512, 0) + "q\r\n");
    std::vector<std::pair<long, long>> progress;
    link.setProgressObserver([&](long done, long total) { progress.emplace_back(done, total); });
    EXPECT_EQ(link.processImageFile(dir.file("img.txt"), BlockProgram | BlockVerify),
              LinkResult::Ok);
    EXPECT_EQ(commands(), (Strings{"12@F000+240", "14@F000+240", "12@F0F0+240", "14@F0F0+240",
                                   "12@F1E0+32", "14@F1E0+32"}));
    EXPECT_EQ(loader.memory[0xF1FF], 0xFF);
    EXPECT_EQ(loader.memory[0xF0FF], 0xFF);
    EXPECT_EQ(loader.memory[0xF100], 0x00);
    EXPECT_EQ(progress,
              (std::vector<std::pair<long, long>>{{0, 512}, {240, 512}, {480, 512}, {512, 512}}));
}

TEST_F(BslLinkTest, FailingBlockEndsTheImageWithItsCode) {
    TempDir dir;
    writeFile(dir.file("img.txt"), imageSection(0xF000, 512, 0) + "q\r\n");
    loader.nakAfter[kCmdRxDataBlock] = 1;
    EXPECT_EQ(link.processImageFile(dir.file("img.txt"), BlockProgram), LinkResult::Nak);
    EXPECT_EQ(link.resultCode(), LinkResult::Nak);
    EXPECT_EQ(commands(), (Strings{"12@F000+240", "12@F0F0+240"}));
}

TEST_F(BslLinkTest, VerificationFailureOfAnImageKeepsItsMessage) {
    TempDir dir;
    writeFile(dir.file("img.txt"), imageSection(0x1000, 32, 0x10) + "q\r\n");
    EXPECT_EQ(link.processImageFile(dir.file("img.txt"), BlockVerify), LinkResult::VerifyFailed);
    EXPECT_EQ(link.message(), "Verification failed at 1000 (0, 10)\n");
}

}  // namespace
}  // namespace kv58::test
