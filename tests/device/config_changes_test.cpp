// What kv58ctl write shows before its question, and the range check it refuses or applies.
#include "device/config_changes.h"

#include <gtest/gtest.h>

#include "device/temperature_range.h"

namespace kv58 {
namespace {

// KV58-FT, 0 - 10 V, %RH / °C, no relay, factory calibrated; -20 … 80 °C.
SegmentData segment(uint16_t word = 0x8000 | 0x3000 | 0x0010 | 0x0003, int32_t tMin = -20,
                    int32_t tMax = 80) {
    SegmentData s{};
    s.fill(0x5A);
    writeWord(s, segment_a::kBitMaske, word);
    writeWord(s, segment_a::kTempVon, *encodeTemperature(tMin));
    writeWord(s, segment_a::kTempBis, *encodeTemperature(tMax));
    return s;
}

TEST(ConfigChanges, OneLinePerChangedFieldInTheDialogsOrder) {
    const SegmentData before = segment();
    EXPECT_TRUE(configChanges(before, before, '\xB0').empty());

    const SegmentData after = segment(0x8000 | 0x1000 | 0x0030 | 0x0003, 5, 60);
    EXPECT_EQ(configChanges(before, after, '\xB0'),
              (std::vector<std::string>{"output 0 - 10 V -> 4 - 20 mA",
                                        "T min -20 -> 5 \xB0"
                                        "C",
                                        "T max 80 -> 60 \xB0"
                                        "C",
                                        "display %RH / \xB0"
                                        "C -> %RH"}));
}

TEST(ConfigChanges, ChangedBytesWithoutAChangedFieldAreNotHidden) {
    const SegmentData before = segment();
    // A meaningless bit of the word, which the write clears.
    SegmentData stray = before;
    writeWord(stray, segment_a::kBitMaske, 0x8000 | 0x3000 | 0x0010 | 0x0003 | 0x0400);
    EXPECT_EQ(configChanges(stray, before, '\xB0'),
              std::vector<std::string>{"configuration word B413 -> B013"});
    // T min stored as -19.5 °C reads as -19 and is written as -19.
    SegmentData fraction = before;
    writeWord(fraction, segment_a::kTempVon, 2050);
    SegmentData whole = before;
    writeWord(whole, segment_a::kTempVon, *encodeTemperature(-19));
    const std::vector<std::string> lines = configChanges(fraction, whole, '\xB0');
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("whole degrees"), std::string::npos) << lines[0];
}

TEST(TemperatureRangeCheck, AllowedRangesStayAndOthersAreMovedInside) {
    const TemperatureRule rule{-40, 120, 20};
    EXPECT_EQ(checkedRange(rule, {-20, 80}), (TemperatureRange{-20, 80}));
    EXPECT_EQ(checkedRange(rule, {-40, -20}), (TemperatureRange{-40, -20}));  // both edges
    EXPECT_EQ(checkedRange(rule, {100, 120}), (TemperatureRange{100, 120}));
    EXPECT_EQ(checkedRange(rule, {0, 0}), (TemperatureRange{0, 0}));  // no range set

    EXPECT_EQ(checkedRange(rule, {5, 10}), (TemperatureRange{5, 25}));  // too close
    EXPECT_EQ(checkedRange(rule, {-80, 80}), (TemperatureRange{-40, 80}));
    EXPECT_EQ(checkedRange(rule, {-20, 500}), (TemperatureRange{-20, 120}));
    EXPECT_EQ(checkedRange(rule, {110, 115}), (TemperatureRange{100, 120}));
    EXPECT_EQ(checkedRange(rule, {INT32_MIN, INT32_MAX}), (TemperatureRange{-40, 120}));
}

TEST(TemperatureRangeCheck, TheUnitChoosesTheScale) {
    const TemperatureLimits limits{-40, 120, 20, -40, 248, 36};
    EXPECT_EQ(temperatureRule(limits, true).highest, 120);
    EXPECT_EQ(temperatureRule(limits, false).highest, 248);
    EXPECT_EQ(temperatureRule(limits, false).minimumGap, 36);
}

}  // namespace
}  // namespace kv58
