// The frame transport's frames: checksums, command frames, replies and reply data frames.
#include <gtest/gtest.h>

#include "frame_transport_fixture.h"

namespace kv58::test {
namespace {

// --- Checksum ---

TEST(FrameChecksum, KnownFrames) {
    EXPECT_EQ(checksumOf(hex("80 14 04 04 FA 0F 02 00")), 0xE083);  // CKL 83, CKH E0
    EXPECT_EQ(checksumOf(hex("80 18 04 04 00 FF 06 A5")), 0xB97D);
    EXPECT_EQ(checksumOf(hex("80 16 04 04 80 10 02 A5")), 0x58F9);
    EXPECT_EQ(checksumOf({}), 0xFFFF);
}

TEST(FrameChecksum, OneChangedByteChangesExactlyTheChecksumByteOfItsParity) {
    Bytes frame = hex("80 10 24 24");
    for (int i = 0; i < 36; ++i)
        frame.push_back(static_cast<uint8_t>(i * 7 + 3));
    ASSERT_EQ(frame.size(), 40u);
    const uint16_t good = checksumOf(frame);
    for (size_t i = 0; i < frame.size(); ++i) {
        Bytes damaged = frame;
        damaged[i] ^= 0x5A;
        const uint16_t bad = checksumOf(damaged);
        const unsigned changedLow = (bad ^ good) & 0xFFu;
        const unsigned changedHigh = static_cast<unsigned>(bad ^ good) >> 8;
        EXPECT_EQ(i % 2 == 0 ? changedLow : changedHigh, 0x5A) << "byte " << i;
        EXPECT_EQ(i % 2 == 0 ? changedHigh : changedLow, 0) << "byte " << i;
    }
}

TEST(FrameChecksum, OddLastByteIsNotIncluded) {
    EXPECT_EQ(checksumOf(hex("80 14 04")), checksumOf(hex("80 14")));
}

// --- Command frames ---

TEST_F(FrameTransportTest, SendsHeaderLengthsPayloadAndChecksum) {
    wire->step(10, {0x90});
    EXPECT_EQ(exchange(0x14, hex("FA 0F 02 00")), LinkResult::Ok);
    EXPECT_EQ(hex(wire->written), "80 14 04 04 FA 0F 02 00 83 E0");
    // The receive side is cleared (with abort) before the frame goes out.
    ASSERT_FALSE(wire->purges.empty());
    EXPECT_EQ(wire->purges.front(), "in!");
}

TEST_F(FrameTransportTest, OddPayloadGetsFFAppendedAndEvenLengths) {
    wire->step(10, {0x90});
    EXPECT_EQ(exchange(0x10, hex("01 02 03")), LinkResult::Ok);
    EXPECT_EQ(hex(wire->written), hex(withChecksum(hex("80 10 04 04 01 02 03 FF"))));
}

TEST_F(FrameTransportTest, PayloadTooLongForALengthByteIsRefusedUnsent) {
    EXPECT_EQ(exchange(0x12, Bytes(255, 0)), LinkResult::InvalidReply);
    EXPECT_TRUE(wire->written.empty());
    wire->step(260, {0x90});
    EXPECT_EQ(exchange(0x12, Bytes(254, 0)), LinkResult::Ok);
    EXPECT_EQ(wire->written.size(), 260u);
}

// --- Single-byte replies ---

TEST_F(FrameTransportTest, ReplyKindIsTheHighNibble) {
    const std::pair<uint8_t, LinkResult> cases[] = {
        {0x90, LinkResult::Ok},
        {0x91, LinkResult::Ok},
        {0x9F, LinkResult::Ok},
        {0xA0, LinkResult::Nak},
        {0xA5, LinkResult::Nak},
        {0x70, LinkResult::ReplyHeader70},
        {0x7E, LinkResult::ReplyHeader70},
        {0x00, LinkResult::InvalidReply},
        {0x60, LinkResult::InvalidReply},
        {0xB0, LinkResult::InvalidReply},
        {0xFF, LinkResult::InvalidReply},
        {0x10, LinkResult::InvalidReply},
    };
    for (const auto& [reply, code] : cases) {
        wire->step(6, {reply});
        EXPECT_EQ(exchange(0x1A, {}), code) << std::hex << int(reply);
        EXPECT_EQ(transport.transportStatus(), code);
        EXPECT_EQ(transport.reply().length, 0);
    }
}

TEST_F(FrameTransportTest, NoReplyGivesSixAfterExactly1200Ms) {
    const int64_t start = clock.nowUs();
    EXPECT_EQ(exchange(0x1A, hex("22 0C 00 00")), LinkResult::NoReply);
    EXPECT_EQ(elapsedUs(start), 1'200'000);
    EXPECT_EQ(transport.transportStatus(), LinkResult::NoReply);
    EXPECT_EQ(transport.reply().header, 0);
}

TEST_F(FrameTransportTest, ALateReplyWithinTheTimeOutCounts) {
    wire->step(6, {0x90}, 1'199'000);
    const int64_t start = clock.nowUs();
    EXPECT_EQ(exchange(0x1A, {}), LinkResult::Ok);
    EXPECT_EQ(elapsedUs(start), 1'199'000);
}

// --- Reply data frames ---

const Bytes kValidReply = hex("80 00 02 02 01 10 7C ED");

TEST_F(FrameTransportTest, ValidDataFrameKeepsItsData) {
    wire->step(10, kValidReply);
    EXPECT_EQ(exchange(0x14, hex("FA 0F 02 00")), LinkResult::Ok);
    ASSERT_EQ(transport.reply().length, 2);
    EXPECT_EQ(transport.reply().data[0], 0x01);
    EXPECT_EQ(transport.reply().data[1], 0x10);
}

TEST_F(FrameTransportTest, EveryTruncatedPrefixOfAValidReplyIsInvalid) {
    for (size_t n = 1; n < kValidReply.size(); ++n) {
        wire->step(10, Bytes(kValidReply.begin(), kValidReply.begin() + n));
        const int64_t start = clock.nowUs();
        EXPECT_EQ(exchange(0x14, hex("FA 0F 02 00")), LinkResult::InvalidReply) << n << " bytes";
        // Whichever part is missing, its wait of 300 ms runs out.
        EXPECT_EQ(elapsedUs(start), 300'000) << n << " bytes";
        EXPECT_EQ(transport.reply().length, 0) << n << " bytes";
    }
}

TEST_F(FrameTransportTest, AnyDamagedByteAfterTheHeaderMakesTheReplyInvalid) {
    for (size_t i = 1; i < kValidReply.size(); ++i) {
        for (unsigned flip : {0x01u, 0x80u}) {
            Bytes damaged = kValidReply;
            damaged[i] = static_cast<uint8_t>(damaged[i] ^ flip);
            wire->step(10, damaged);
            EXPECT_EQ(exchange(0x14, hex("FA 0F 02 00")), LinkResult::InvalidReply)
                << "byte " << i << " flip " << int(flip);
            // A damaged announcement may leave bytes behind; the next frame purges them.
        }
    }
}

TEST_F(FrameTransportTest, SequenceNumberInTheReplyHeaderIsIgnored) {
    Bytes reply = kValidReply;
    reply[0] = 0x8B;
    wire->step(10, reply);
    EXPECT_EQ(exchange(0x14, hex("FA 0F 02 00")), LinkResult::Ok);
}

TEST_F(FrameTransportTest, ChecksumFailureStillReportsTheReceivedData) {
    // The last checksum byte inverted (built anew: GCC 12 at -O3 mistakes an in-place change
    // of a copied vector's last byte for an overflow).
    Bytes reply(kValidReply.begin(), kValidReply.end() - 1);
    reply.push_back(static_cast<uint8_t>(kValidReply.back() ^ 0xFF));
    wire->step(10, reply);
    EXPECT_EQ(exchange(0x14, hex("FA 0F 02 00")), LinkResult::InvalidReply);
    EXPECT_EQ(transport.reply().length, 2);
}

Bytes dataFrame(size_t count) {
    Bytes frame = {0x80, 0x00, static_cast<uint8_t>(count), static_cast<uint8_t>(count)};
    for (size_t i = 0; i < count; ++i)
        frame.push_back(static_cast<uint8_t>(i));
    return withChecksum(frame);
}

TEST_F(FrameTransportTest, DataFrameOf250BytesIsTheLargestAccepted) {
    wire->step(10, dataFrame(250));
    EXPECT_EQ(exchange(0x14, hex("00 F0 FA 00")), LinkResult::Ok);
    EXPECT_EQ(transport.reply().length, 250);
    EXPECT_EQ(transport.reply().data[249], 249);
}

TEST_F(FrameTransportTest, DataFrameAnnouncingMoreThan250BytesIsInvalidAndNotStored) {
    for (size_t count : {251u, 255u}) {
        wire->step(10, dataFrame(count));
        const int64_t start = clock.nowUs();
        EXPECT_EQ(exchange(0x14, hex("00 F0 FE 00")), LinkResult::InvalidReply);
        EXPECT_EQ(transport.reply().length, 0);
        EXPECT_EQ(elapsedUs(start), 0) << "refused at once, without waiting for the data";
    }
}

TEST_F(FrameTransportTest, ReplyLengthIsClearedBeforeEachReply) {
    wire->step(10, kValidReply);
    static_cast<void>(exchange(0x14, hex("FA 0F 02 00")));
    ASSERT_EQ(transport.reply().length, 2);
    wire->step(6, {0x90});
    static_cast<void>(exchange(0x1A, {}));
    EXPECT_EQ(transport.reply().length, 0);
}

}  // namespace
}  // namespace kv58::test
