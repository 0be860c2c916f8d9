#include "device/infomem.h"

#include <gtest/gtest.h>

#include <cstring>

#include "device/choices.h"

namespace kv58 {
namespace {

SegmentData segmentWith(uint16_t word, uint16_t von, uint16_t bis, const char* version,
                        const char* id) {
    SegmentData s{};
    s.fill(0x5A);  // bytes the Configurator does not interpret
    writeWord(s, segment_a::kBitMaske, word);
    writeWord(s, segment_a::kTempVon, von);
    writeWord(s, segment_a::kTempBis, bis);
    std::memcpy(&s[segment_a::kVersion], version, std::min<size_t>(std::strlen(version) + 1, 4));
    std::memset(&s[segment_a::kId], 0, 16);
    std::memcpy(&s[segment_a::kId], id, std::min<size_t>(std::strlen(id), 16));
    return s;
}

TEST(TemperatureCoding, WordsDecodeWithTruncationTowardZero) {
    EXPECT_EQ(decodeTemperature(2000), -20);
    EXPECT_EQ(decodeTemperature(12000), 80);
    EXPECT_EQ(decodeTemperature(3950), 0);
    EXPECT_EQ(decodeTemperature(0), -40);
    EXPECT_EQ(decodeTemperature(0xFFFF), 615);
}

TEST(TemperatureCoding, OnlyCodableRangeEncodes) {
    EXPECT_EQ(encodeTemperature(-20), 0x07D0);
    EXPECT_EQ(encodeTemperature(80), 0x2EE0);
    EXPECT_EQ(encodeTemperature(-40), 0);
    EXPECT_EQ(encodeTemperature(615), 65500);
    EXPECT_FALSE(encodeTemperature(-41));
    EXPECT_FALSE(encodeTemperature(616));
}

TEST(DecodeSegmentA, TypicalTransmitter) {
    const auto s = segmentWith(0x8313, 2000, 12000, "0102", "KV12345");
    const TransmitterConfig c = decodeSegmentA(s);
    EXPECT_EQ(c.nBitMaske, 0x8313);
    EXPECT_EQ(c.nTempVon, -20);
    EXPECT_EQ(c.nTempBis, 80);
    EXPECT_EQ(c.strVersion, "01.02");
    EXPECT_EQ(c.strID, "KV12345");
    EXPECT_EQ(numericVersion(s), 102);
}

TEST(DecodeSegmentA, ErasedSegment) {
    SegmentData s;
    s.fill(0xFF);
    const TransmitterConfig c = decodeSegmentA(s);
    EXPECT_EQ(c.nBitMaske, 0xFFFF);
    EXPECT_EQ(c.nTempVon, 615);
    EXPECT_EQ(c.nTempBis, 615);
    EXPECT_EQ(c.strVersion, "\xFF\xFF.\xFF\xFF");
    EXPECT_EQ(c.strID, std::string(16, '\xFF'));
    EXPECT_EQ(numericVersion(s), 0);

    const ConfigTexts t = describeConfigWord(c.nBitMaske, '\xB0');
    EXPECT_EQ(t.type, "");
    EXPECT_EQ(t.output, "4 - 20 mA");
    EXPECT_EQ(t.relay, "Yes");
    EXPECT_EQ(t.unit,
              "\xB0"
              "F");
    EXPECT_EQ(t.display,
              "%RH / \xB0"
              "F");
    EXPECT_TRUE(t.factoryCalibration);
}

TEST(DecodeSegmentA, ShortVersionAndFullLengthSerial) {
    auto s = segmentWith(0x0003, 4000, 4000, "01", "");
    std::memcpy(&s[segment_a::kId], "ABCDEFGHIJKLMNOP", 16);  // no NUL after it
    s[segment_a::kId + 16] = 'Z';
    const TransmitterConfig c = decodeSegmentA(s);
    EXPECT_EQ(c.strVersion, "01");
    EXPECT_EQ(c.strID, "ABCDEFGHIJKLMNOP");
}

TEST(NumericVersion, OnlyTheVersionFieldCounts) {
    EXPECT_EQ(numericVersion(segmentWith(0, 0, 0, "0099", "12345")), 99);
    EXPECT_EQ(numericVersion(segmentWith(0, 0, 0, "0100", "")), 100);
    EXPECT_EQ(numericVersion(segmentWith(0, 0, 0, " 7x1", "")), 7);
}

TEST(EncodeSegmentA, KeepsEverythingButWordAndRange) {
    const auto read = segmentWith(0x8FFB, 2000, 12000, "0102", "SN-1");
    const auto image = encodeSegmentA(read, 0x3133, 0x8FFB, -40, 100, false);
    ASSERT_TRUE(image);
    // Meaningless bits 3, 6, 7, 9-11 are cleared; bit 15 and the unit bit come from the device.
    EXPECT_EQ(readWord(*image, segment_a::kBitMaske), 0xB133);
    EXPECT_EQ(readWord(*image, segment_a::kTempVon), 0);
    EXPECT_EQ(readWord(*image, segment_a::kTempBis), 14000);
    for (size_t i = 0; i < kSegmentSize; ++i) {
        const bool rewritten =
            (i >= 0x10 && i < 0x12) || (i >= 0x14 && i < 0x16) || (i >= 0x18 && i < 0x1A);
        if (!rewritten) {
            EXPECT_EQ((*image)[i], read[i]) << "offset " << i;
        }
    }
}

TEST(EncodeSegmentA, FahrenheitTransmitterStaysFahrenheit) {
    const auto read = segmentWith(0x4013, 4000, 20000, "0102", "F1");
    const auto image = encodeSegmentA(read, 0x0033, 0x4013, 32, 160, false);
    ASSERT_TRUE(image);
    EXPECT_EQ(readWord(*image, segment_a::kBitMaske), 0x4033);
}

TEST(EncodeSegmentA, RelayBitIsTheTransmittersUnlessAProductCodeChoseIt) {
    const auto read = segmentWith(0x0013, 4000, 20000, "0102", "R1");  // relay No
    // The relay list still shows "Yes" from an earlier transmitter: its bit is in the word.
    EXPECT_EQ(readWord(*encodeSegmentA(read, 0x0133, 0x0013, 0, 80, false), segment_a::kBitMaske),
              0x0033);
    EXPECT_EQ(readWord(*encodeSegmentA(read, 0x0133, 0x0013, 0, 80, true), segment_a::kBitMaske),
              0x0133);
    const auto withRelay = segmentWith(0x0113, 4000, 20000, "0102", "R2");
    EXPECT_EQ(
        readWord(*encodeSegmentA(withRelay, 0x0013, 0x0113, 0, 80, false), segment_a::kBitMaske),
        0x0113);
}

TEST(EncodeSegmentA, RefusesUncodableRange) {
    const auto read = segmentWith(0x0013, 4000, 20000, "0102", "X");
    EXPECT_FALSE(encodeSegmentA(read, 0x0013, 0x0013, -41, 80, false));
    EXPECT_FALSE(encodeSegmentA(read, 0x0013, 0x0013, 0, 616, false));
}

}  // namespace
}  // namespace kv58
