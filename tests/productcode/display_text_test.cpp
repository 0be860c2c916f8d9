#include "productcode/display_text.h"

#include <gtest/gtest.h>

namespace kv58::test {
namespace {

constexpr char kDegree = '\xB0';

TEST(DisplaySearchTextTest, HumidityCodesSearchPercentRh) {
    EXPECT_EQ(displaySearchText("RH", kDegree, 1), "%RH");
    EXPECT_EQ(displaySearchText("RX", kDegree, 0), "%RH");
    EXPECT_EQ(displaySearchText("R", kDegree, 1), "%RH");
}

TEST(DisplaySearchTextTest, TemperatureCodesCarryTheSymbolAndUnit) {
    EXPECT_EQ(displaySearchText("TE", kDegree, 1),
              "\xB0"
              "C");
    EXPECT_EQ(displaySearchText("TE", kDegree, 0),
              "\xB0"
              "F");
    EXPECT_EQ(displaySearchText("TH", kDegree, 1),
              "%RH / \xB0"
              "C");
    EXPECT_EQ(displaySearchText("TH", '*', 0), "%RH / *F");
}

TEST(DisplaySearchTextTest, OtherCodesAreSearchedUnchanged) {
    EXPECT_EQ(displaySearchText("TX", kDegree, 1), "TX");
    EXPECT_EQ(displaySearchText("T", kDegree, 1), "T");
    EXPECT_EQ(displaySearchText("th", kDegree, 1), "th");
    EXPECT_EQ(displaySearchText("XY", kDegree, 1), "XY");
    EXPECT_EQ(displaySearchText("", kDegree, 1), "");
}

}  // namespace
}  // namespace kv58::test
