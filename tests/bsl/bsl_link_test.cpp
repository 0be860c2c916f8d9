// The loader command layer: settings, exact frames, address and length normalisation, block
// operations and the patch bracket.
#include <gtest/gtest.h>

#include "base/text.h"
#include "bsl_link_fixture.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

// --- Settings ---

TEST(BslLinkSettings, SetterRules) {
    VirtualClock clock;
    BslLink link(clock);
    for (uint32_t baud : {9601u, 0u, 230400u}) {
        link.setBaudRate(baud);
        EXPECT_EQ(link.lineSettings().baud, 9600u) << baud;
    }
    for (uint32_t baud : {110u, 14400u, 56000u, 128000u, 256000u}) {
        link.setBaudRate(baud);
        EXPECT_EQ(link.lineSettings().baud, baud);
    }
    const std::pair<const char*, Parity> parities[] = {
        {"none", Parity::None}, {"even", Parity::Even}, {"o", Parity::Odd}, {"Mark", Parity::Mark},
        {"s", Parity::Space},   {"x", Parity::Even},    {"", Parity::Even}, {"1", Parity::Even}};
    for (const auto& [text, parity] : parities) {
        link.setParity(text);
        EXPECT_EQ(link.lineSettings().parity, parity) << text;
    }
    const std::pair<int, StopBits> stops[] = {{1, StopBits::One},
                                              {15, StopBits::OneAndHalf},
                                              {2, StopBits::Two},
                                              {0, StopBits::One},
                                              {3, StopBits::One}};
    for (const auto& [code, bits] : stops) {
        link.setStopBits(code);
        EXPECT_EQ(link.lineSettings().stopBits, bits) << code;
    }
}

TEST_F(BslLinkTest, OpenPortUsesTheStoredSettings) {
    static_cast<void>(link.closePort());
    link.setBaudRate(19200);
    link.setParity("None");
    link.setStopBits(2);
    link.setDataBits(7);
    ASSERT_EQ(link.openPort(), LinkResult::Ok);
    EXPECT_EQ(describe(wire->configured), "19200,7N2");
}

// --- Exact frames ---

TEST_F(BslLinkTest, VersionReadMassEraseAndSegmentEraseFrames) {
    EXPECT_EQ(link.bslCommand(kCmdTxDataBlock, 0x0FFA, 2), LinkResult::Ok);
    EXPECT_EQ(hex(wire->written), "80 80 14 04 04 FA 0F 02 00 83 E0");
    wire->written.clear();
    EXPECT_EQ(link.bslCommand(kCmdMassErase, kMassEraseAddress, kMassEraseKey), LinkResult::Ok);
    EXPECT_EQ(hex(wire->written), "80 80 18 04 04 00 FF 06 A5 7D B9");
    wire->written.clear();
    EXPECT_EQ(link.bslCommand(kCmdEraseSegment, 0x1080, kEraseSegmentKey), LinkResult::Ok);
    EXPECT_EQ(hex(wire->written), "80 80 16 04 04 80 10 02 A5 F9 58");
}

TEST_F(BslLinkTest, WriteAtAnOddAddressGetsFFInFrontAndAnEvenLength) {
    Block data{};
    data[0] = 0x01;
    data[1] = 0x02;
    data[2] = 0x03;
    EXPECT_EQ(link.bslCommand(kCmdRxDataBlock, 0x1081, 3, &data), LinkResult::Ok);
    ASSERT_EQ(wire->frames.size(), 1u);
    EXPECT_EQ(hex(wire->frames[0]), hex(withChecksum(hex("80 12 08 08 80 10 04 00 FF 01 02 03"))));
    EXPECT_EQ(data[0], 0x01) << "the caller's data stay as they were";
}

TEST_F(BslLinkTest, WriteOfOddLengthGetsFFBehind) {
    Block data{};
    data.fill(0x11);
    static_cast<void>(link.bslCommand(kCmdRxDataBlock, 0x1080, 3, &data));
    EXPECT_EQ(hex(wire->frames.at(0)),
              hex(withChecksum(hex("80 12 08 08 80 10 04 00 11 11 11 FF"))));
}

TEST_F(BslLinkTest, ReadsAskForWholeWords) {
    static_cast<void>(link.bslCommand(kCmdTxDataBlock, 0x1080, 3));
    static_cast<void>(link.bslCommand(kCmdTxDataBlock, 0x1081, 2));
    static_cast<void>(link.bslCommand(kCmdTxDataBlock, 0x1081, 1));
    EXPECT_EQ(commands(), (Strings{"14@1080+4", "14@1080+4", "14@1080+2"}));
}

TEST_F(BslLinkTest, OtherCommandsAreNotNormalised) {
    static_cast<void>(link.bslCommand(kCmdEraseSegment, 0x1081, 0xA502));
    static_cast<void>(link.bslCommand(kCmdLoadPc, 0x0C23, 0));
    EXPECT_EQ(commands(), (Strings{"16@1081+42242", "1A@0C23+0"}));
    EXPECT_EQ(wire->frames[0][2], 4) << "payload is the four address and length bytes";
}

TEST_F(BslLinkTest, ReplyDataAreCopiedOut) {
    loader.memory[0x0FFA] = 0x01;
    loader.memory[0x0FFB] = 0x10;
    Block reply{};
    EXPECT_EQ(link.bslCommand(kCmdTxDataBlock, 0x0FFA, 2, nullptr, &reply), LinkResult::Ok);
    EXPECT_EQ(reply[0], 0x01);
    EXPECT_EQ(reply[1], 0x10);
    EXPECT_EQ(link.lastReplyLength(), 2u);
}

TEST_F(BslLinkTest, FailedSynchronisationSendsNoCommandAndKeepsTheReply) {
    wire->handler = nullptr;
    Block reply{};
    reply.fill(0x5A);
    EXPECT_EQ(link.bslCommand(kCmdTxDataBlock, 0x1080, 128, nullptr, &reply), LinkResult::NoSync);
    EXPECT_EQ(hex(wire->written), "80 00 80 00 80");
    EXPECT_EQ(reply[0], 0x5A);
    EXPECT_EQ(reply[127], 0x5A);
}

TEST_F(BslLinkTest, DataThatCannotFitAFrameAreRefusedUnsent) {
    Block data{};
    EXPECT_EQ(link.bslCommand(kCmdRxDataBlock, 0x1081, 250, &data), LinkResult::InvalidReply);
    EXPECT_EQ(link.bslCommand(kCmdRxPassword, 0xFFE0, 251, &data), LinkResult::InvalidReply);
    EXPECT_TRUE(wire->written.empty());
}

// --- Verification and erase check ---

TEST_F(BslLinkTest, EraseCheckNamesTheFirstByteThatIsNotErased) {
    std::fill_n(&loader.memory[0x1000], 16, 0xFF);
    loader.memory[0x1002] = 0x3F;
    loader.memory[0x1005] = 0x00;
    EXPECT_EQ(link.verifyBlock(0x1000, 16, BlockEraseCheck), LinkResult::EraseCheckFailed);
    EXPECT_EQ(link.message(), "Erase Check failed at 1002 (3f)\n");
}

TEST_F(BslLinkTest, VerifyNamesAddressDeviceByteAndExpectedByte) {
    std::fill_n(&loader.memory[0x1080], 16, 0x00);
    link.dataBlock().fill(0x00);
    link.dataBlock()[5] = 0xA7;
    EXPECT_EQ(link.verifyBlock(0x1080, 16, BlockVerify), LinkResult::VerifyFailed);
    EXPECT_EQ(link.message(), "Verification failed at 1085 (0, a7)\n");
    link.dataBlock()[5] = 0x00;
    EXPECT_EQ(link.verifyBlock(0x1080, 16, BlockVerify), LinkResult::Ok);
    EXPECT_EQ(link.message(), "");
}

TEST_F(BslLinkTest, NothingToCheckSendsNothing) {
    EXPECT_EQ(link.verifyBlock(0x1080, 16, BlockProgram | BlockPassword), LinkResult::Ok);
    EXPECT_TRUE(wire->written.empty());
}

TEST_F(BslLinkTest, BlockAtAnOddAddressIsComparedAtTheRightOffset) {
    loader.memory[0x1080] = 0x99;  // the byte below the block, read along
    loader.memory[0x1081] = 0x01;
    loader.memory[0x1082] = 0x02;
    loader.memory[0x1083] = 0x03;
    link.dataBlock()[0] = 0x01;
    link.dataBlock()[1] = 0x02;
    link.dataBlock()[2] = 0x03;
    EXPECT_EQ(link.verifyBlock(0x1081, 3, BlockVerify), LinkResult::Ok);
    loader.memory[0x1083] = 0x07;
    EXPECT_EQ(link.verifyBlock(0x1081, 3, BlockVerify), LinkResult::VerifyFailed);
    EXPECT_EQ(link.message(), "Verification failed at 1083 (7, 3)\n");
}

TEST_F(BslLinkTest, OddBlockWrittenThenVerifiedRoundTrips) {
    for (int i = 0; i < 5; ++i)
        link.dataBlock()[i] = static_cast<uint8_t>(0x40 + i);
    EXPECT_EQ(link.programBlock(0x2001, 5, BlockProgram | BlockVerify), LinkResult::Ok);
    EXPECT_EQ(loader.memory[0x2000], 0xFF);
    EXPECT_EQ(loader.memory[0x2001], 0x40);
    EXPECT_EQ(loader.memory[0x2005], 0x44);
}

TEST_F(BslLinkTest, ReplyShorterThanTheBlockIsNotComparedAgainstOldData) {
    link.dataBlock().fill(0x00);  // what a fresh link's reply buffer holds as well
    loader.shortReplyBy = 2;
    EXPECT_EQ(link.verifyBlock(0x1080, 16, BlockVerify), LinkResult::InvalidReply);
}

TEST_F(BslLinkTest, CommandFailureOfAVerificationIsItsResult) {
    loader.nakAfter[kCmdTxDataBlock] = 0;
    EXPECT_EQ(link.verifyBlock(0x1080, 16, BlockVerify), LinkResult::Nak);
}

// --- Block operations ---

TEST_F(BslLinkTest, ProgramBlockChecksWritesAndVerifiesInThatOrder) {
    std::fill_n(&loader.memory[0x1000], 32, 0xFF);
    link.dataBlock().fill(0x3C);
    EXPECT_EQ(link.programBlock(0x1000, 32, BlockEraseCheck | BlockProgram | BlockVerify),
              LinkResult::Ok);
    EXPECT_EQ(commands(), (Strings{"14@1000+32", "12@1000+32", "14@1000+32"}));
}

TEST_F(BslLinkTest, ProgramBlockStopsAtTheFirstFailingStep) {
    loader.memory[0x1000] = 0x00;
    EXPECT_EQ(link.programBlock(0x1000, 32, BlockEraseCheck | BlockProgram | BlockVerify),
              LinkResult::EraseCheckFailed);
    EXPECT_EQ(commands(), (Strings{"14@1000+32"}));
    wire->frames.clear();
    loader.nakAfter[kCmdRxDataBlock] = 0;
    EXPECT_EQ(link.programBlock(0x1000, 32, BlockProgram | BlockVerify), LinkResult::Nak);
    EXPECT_EQ(commands(), (Strings{"12@1000+32"}));
}

TEST_F(BslLinkTest, PasswordBlockIgnoresEveryOtherBit) {
    link.dataBlock().fill(0x21);
    EXPECT_EQ(
        link.programBlock(0xFFE0, 32, BlockPassword | BlockProgram | BlockVerify | BlockEraseCheck),
        LinkResult::Ok);
    EXPECT_EQ(commands(), (Strings{"10@FFE0+32"}));
    EXPECT_EQ(wire->frames[0].size(), 6u + 4 + 32);
}

TEST_F(BslLinkTest, ActivePatchIsEnteredBeforeEveryDataCommand) {
    activatePatch();
    link.transport().setDataChangeWarning(true);
    std::fill_n(&loader.memory[0x1000], 16, 0xFF);
    link.dataBlock().fill(0xFF);
    EXPECT_EQ(link.programBlock(0x1000, 16, BlockEraseCheck | BlockProgram | BlockVerify),
              LinkResult::Ok);
    EXPECT_EQ(commands(), (Strings{"1A@0220+0", "14@1000+16", "1A@0220+0", "12@1000+16",
                                   "1A@0220+0", "14@1000+16"}));
    EXPECT_TRUE(link.transport().dataChangeWarning()) << "switched on again after the bracket";
}

TEST_F(BslLinkTest, PatchedCommandSwitchesTheWarningOffForTheDataFrameOnly) {
    activatePatch();
    link.transport().setDataChangeWarning(true);
    ASSERT_EQ(link.beginPatchedCommand(), LinkResult::Ok);
    EXPECT_FALSE(link.transport().dataChangeWarning());
    link.endPatchedCommand();
    EXPECT_TRUE(link.transport().dataChangeWarning());
}

TEST_F(BslLinkTest, WithoutPatchTheBracketSendsNothing) {
    link.setOutcome(LinkResult::Nak, "old");
    EXPECT_EQ(link.beginPatchedCommand(), LinkResult::Ok);
    link.endPatchedCommand();
    EXPECT_TRUE(wire->written.empty());
    EXPECT_EQ(link.message(), "");
    EXPECT_EQ(link.resultCode(), LinkResult::Ok);
    EXPECT_FALSE(link.transport().dataChangeWarning());
}

TEST_F(BslLinkTest, RefusedPatchEntryEndsTheBlock) {
    activatePatch();
    loader.nakAfter[kCmdLoadPc] = 0;
    EXPECT_EQ(link.programBlock(0x1000, 16, BlockProgram), LinkResult::Nak);
    EXPECT_EQ(commands(), (Strings{"1A@0220+0"}));
}

}  // namespace
}  // namespace kv58::test
