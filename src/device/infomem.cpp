#include "device/infomem.h"

#include "base/text.h"

namespace kv58 {

int32_t decodeTemperature(uint16_t word) {
    return (static_cast<int32_t>(word) - 4000) / 100;
}

std::optional<uint16_t> encodeTemperature(int32_t degrees) {
    if (degrees < kMinCodableTemperature || degrees > kMaxCodableTemperature)
        return std::nullopt;
    return static_cast<uint16_t>(degrees * 100 + 4000);
}

uint16_t readWord(const SegmentData& segment, size_t offset) {
    return static_cast<uint16_t>(segment.at(offset) | (segment.at(offset + 1) << 8));
}

void writeWord(SegmentData& segment, size_t offset, uint16_t value) {
    segment.at(offset) = static_cast<uint8_t>(value & 0xFF);
    segment.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

std::string fieldText(const SegmentData& segment, size_t offset, size_t maxLength) {
    std::string text;
    for (size_t i = offset; i < segment.size() && i < offset + maxLength; ++i) {
        if (segment[i] == 0)
            break;
        text += static_cast<char>(segment[i]);
    }
    return text;
}

std::string serialNumberOf(const SegmentData& segmentA) {
    return fieldText(segmentA, segment_a::kId, segment_a::kIdLength);
}

TransmitterConfig decodeSegmentA(const SegmentData& segmentA) {
    TransmitterConfig config;
    const std::string version = fieldText(segmentA, segment_a::kVersion, segment_a::kVersionLength);
    config.strVersion = version.size() < segment_a::kVersionLength
                            ? version
                            : version.substr(0, 2) + "." + version.substr(2, 2);
    config.strID = serialNumberOf(segmentA);
    config.nBitMaske = readWord(segmentA, segment_a::kBitMaske);
    config.nTempVon = decodeTemperature(readWord(segmentA, segment_a::kTempVon));
    config.nTempBis = decodeTemperature(readWord(segmentA, segment_a::kTempBis));
    return config;
}

int32_t numericVersion(const SegmentData& segmentA) {
    const auto* first = segmentA.data() + segment_a::kVersion;
    return leadingInt(std::string(first, first + segment_a::kVersionLength));
}

std::optional<SegmentData> encodeSegmentA(const SegmentData& readImage, int32_t newWord,
                                          int32_t actualWord, int32_t tMin, int32_t tMax,
                                          bool relayChosen) {
    const auto von = encodeTemperature(tMin);
    const auto bis = encodeTemperature(tMax);
    if (!von || !bis)
        return std::nullopt;
    const int32_t carried = config_bits::kFactoryCalibration | config_bits::kFahrenheit |
                            (relayChosen ? 0 : config_bits::kRelay);
    const auto word = static_cast<uint16_t>((newWord & 0xFFFF & ~carried) | (actualWord & carried));
    SegmentData image = readImage;
    writeWord(image, segment_a::kBitMaske, word);
    writeWord(image, segment_a::kTempVon, *von);
    writeWord(image, segment_a::kTempBis, *bis);
    return image;
}

}  // namespace kv58
