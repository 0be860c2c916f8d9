#include "settings/limits_key.h"

#include <gtest/gtest.h>

#include <climits>

namespace kv58 {
namespace {

// Worked out by hand from the key's construction (hex digits, checksum, reordering), not
// with EncodeKey: -40/120/20 °C, -40/248/36 °F.
constexpr const char* kDemoPlain = "v-040b+120d+020v-040b+248d+036";
constexpr const char* kDemoKey = "702633303B642834323B622034303D762032303B642032313B622034303D66";
const TemperatureLimits kDemoLimits{-40, 120, 20, -40, 248, 36};

TEST(LimitsKey, DecodesAWorkedExample) {
    EXPECT_EQ(DecodeKey(kDemoKey), kDemoPlain);
    EXPECT_EQ(limitsFromPlainText(DecodeKey(kDemoKey)), kDemoLimits);
}

TEST(LimitsKey, EncodesTheWorkedExampleAndRoundTrips) {
    EXPECT_EQ(EncodeKey(kDemoLimits), kDemoKey);
    for (const TemperatureLimits& l :
         {TemperatureLimits{0, 0, 0, 0, 0, 0}, TemperatureLimits{-999, 999, 1, -999, 999, -999},
          TemperatureLimits{-40, 120, 200, -40, 248, 36}}) {
        const std::string key = EncodeKey(l);
        EXPECT_EQ(key.size(), 62u);
        EXPECT_EQ(limitsFromPlainText(DecodeKey(key)), l);
    }
}

TEST(LimitsKey, LimitsThatDoNotFitTheirFieldGiveNoKey) {
    EXPECT_EQ(EncodeKey({-1000, 0, 0, 0, 0, 0}), "");
    EXPECT_EQ(EncodeKey({0, 0, 0, 0, 0, 1000}), "");
}

TEST(LimitsKey, AnyChangedDigitFailsTheChecksum) {
    const std::string key = kDemoKey;
    for (size_t i = 0; i < key.size(); ++i) {
        std::string damaged = key;
        damaged[i] = damaged[i] == '0' ? '1' : '0';
        EXPECT_EQ(DecodeKey(damaged), "") << "digit " << i;
    }
    // The checksum covers the digit characters as stored: lower case sums differently.
    std::string lower = key;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(DecodeKey(lower), "");
}

TEST(LimitsKey, MalformedKeysDecodeToNothingWithoutHarm) {
    EXPECT_EQ(DecodeKey(""), "");
    EXPECT_EQ(DecodeKey("7"), "");
    EXPECT_EQ(DecodeKey(std::string(kDemoKey) + "0"), "");
    EXPECT_EQ(DecodeKey(std::string(kDemoKey).substr(0, 60)), "");
    EXPECT_EQ(DecodeKey("\xFF\x80\xB0\xC2zz??"), "");
    EXPECT_EQ(DecodeKey(std::string(5000, 'F')), "");
}

TEST(LimitsKey, FieldsComeFromFixedPositionsAndMissingOnesAreZero) {
    EXPECT_EQ(limitsFromPlainText(""), (TemperatureLimits{}));
    EXPECT_EQ(limitsFromPlainText("v-040b+120d+0"), (TemperatureLimits{-40, 120, 0, 0, 0, 0}));
    // Each field is four characters: a fifth digit belongs to the next field's letter.
    EXPECT_EQ(limitsFromPlainText("v12345678901234567890123456789"),
              (TemperatureLimits{1234, 6789, 1234, 6789, 1234, 6789}));
    EXPECT_EQ(limitsFromPlainText("vxyz b+12"), (TemperatureLimits{0, 12, 0, 0, 0, 0}));
}

TEST(TemperatureLimitsTest, ValidWhenTheRangeCoversTheMinimumDifferenceOnBothScales) {
    EXPECT_TRUE((TemperatureLimits{}).isValid());
    EXPECT_TRUE(kDemoLimits.isValid());
    EXPECT_TRUE((TemperatureLimits{-40, 120, 160, -40, 248, 288}).isValid());
    EXPECT_FALSE((TemperatureLimits{-40, 120, 200, -40, 248, 36}).isValid());
    EXPECT_FALSE((TemperatureLimits{-40, 120, 20, -40, 248, 289}).isValid());
    EXPECT_FALSE((TemperatureLimits{120, -40, 0, 0, 0, 0}).isValid());
    EXPECT_TRUE((TemperatureLimits{INT_MIN, INT_MAX, INT_MAX, 0, 0, 0}).isValid());
    EXPECT_FALSE((TemperatureLimits{INT_MAX, INT_MIN, INT_MIN, 0, 0, 0}).isValid());
}

}  // namespace
}  // namespace kv58
