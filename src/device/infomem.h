// The transmitter's information memory as the Configurator interprets it.
//
// Segment B (0x1000–0x107F) holds calibration and travels as 128 opaque bytes. Segment A
// (0x1080–0x10FF) holds the configuration; multi-byte values are little-endian:
//
//   offset  size  field
//   0x00    16    not interpreted (kept as read)
//   0x10     2    nTempVon   T min coded as T * 100 + 4000
//   0x12     2    not interpreted
//   0x14     2    nTempBis   T max coded as T * 100 + 4000
//   0x16     2    not interpreted
//   0x18     2    nBitMaske  configuration word (bits below)
//   0x1A     4    strVersion "0102" -> shown as 01.02, no terminator
//   0x1E    16    strID      serial number, ends at the first NUL or after 16 characters
//   0x2E    82    not interpreted
//
// Configuration word: bits 0–2 transmitter type, 4–5 output signal, 8 alarm relay,
// 12–13 display reading, 14 temperature unit (set = °F), 15 factory calibration. The other
// bits carry no meaning and are written as 0.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kv58 {

constexpr size_t kSegmentSize = 128;
constexpr size_t kProgramSize = 4096;
constexpr uint16_t kSegmentAAddress = 0x1080;
constexpr uint16_t kSegmentBAddress = 0x1000;
constexpr uint16_t kProgramAddress = 0xF000;

using SegmentData = std::array<uint8_t, kSegmentSize>;
using ProgramImage = std::array<uint8_t, kProgramSize>;

namespace segment_a {
constexpr size_t kTempVon = 0x10;
constexpr size_t kTempBis = 0x14;
constexpr size_t kBitMaske = 0x18;
constexpr size_t kVersion = 0x1A;
constexpr size_t kVersionLength = 4;
constexpr size_t kId = 0x1E;
constexpr size_t kIdLength = 16;
}  // namespace segment_a

// Masks of the configuration word's fields.
namespace config_bits {
constexpr uint16_t kType = 0x0007;
constexpr uint16_t kOutput = 0x0030;
constexpr uint16_t kRelay = 0x0100;
constexpr uint16_t kDisplay = 0x3000;
constexpr uint16_t kFahrenheit = 0x4000;
constexpr uint16_t kFactoryCalibration = 0x8000;
}  // namespace config_bits

// One decoded configuration.
struct TransmitterConfig {
    int32_t nBitMaske = 0;   // the 16-bit configuration word, zero-extended
    int32_t nTempVon = 0;    // T min, whole degrees of the unit bit 14 selects
    int32_t nTempBis = 0;    // T max
    std::string strVersion;  // "01.02"
    std::string strID;       // serial number, up to 16 characters

    bool operator==(const TransmitterConfig&) const = default;
};

// Lowest and highest temperature a segment word can hold.
constexpr int32_t kMinCodableTemperature = -40;
constexpr int32_t kMaxCodableTemperature = 615;

// Word -> degrees: (word - 4000) / 100, truncated toward zero.
int32_t decodeTemperature(uint16_t word);
// Degrees -> word; nothing for a temperature outside -40 … 615, which would wrap.
std::optional<uint16_t> encodeTemperature(int32_t degrees);

uint16_t readWord(const SegmentData& segment, size_t offset);
void writeWord(SegmentData& segment, size_t offset, uint16_t value);

// The characters from `offset` up to the first NUL, at most `maxLength`.
std::string fieldText(const SegmentData& segment, size_t offset, size_t maxLength);
// The serial number of a Segment A image (offset 0x1E, at most 16 characters).
std::string serialNumberOf(const SegmentData& segmentA);

// Decodes version, serial number, configuration word and temperature range.
TransmitterConfig decodeSegmentA(const SegmentData& segmentA);

// The 4-character version field read as a decimal number: leading blanks skipped, digits up to
// the first non-digit, none gives 0. Only the version field itself is looked at, so digits of
// the serial number that follows never join in.
int32_t numericVersion(const SegmentData& segmentA);

// The Segment A write image: a copy of the read image with the new configuration word and the
// new temperature range. Bits 14 and 15 come from the actual word (factory calibration and
// temperature unit are never chosen in the Configurator), and so does the alarm relay unless
// `relayChosen` (a product code chose it: the relay list is never open to the user, and the
// text it keeps from an earlier transmitter must not be written to this one). Nothing when
// T min or T max cannot be coded (see encodeTemperature); the image is then left untouched.
std::optional<SegmentData> encodeSegmentA(const SegmentData& readImage, int32_t newWord,
                                          int32_t actualWord, int32_t tMin, int32_t tMax,
                                          bool relayChosen);

}  // namespace kv58
