// The choice tables: how a configuration word reads, and the word the lists' selections build.
#include "device/choices.h"

#include <gtest/gtest.h>

namespace kv58 {
namespace {

TEST(Choices, WordsShowAsTheirRows) {
    const ConfigTexts t = describeConfigWord(0x8313 | 0x3000, '\xB0');
    EXPECT_EQ(t.type, "KV58-FT");
    EXPECT_EQ(t.output, "0 - 10 V");
    EXPECT_EQ(t.unit,
              "\xB0"
              "C");
    EXPECT_EQ(t.display,
              "%RH / \xB0"
              "C");
    EXPECT_EQ(t.relay, "Yes");

    EXPECT_EQ(describeConfigWord(0x2000, '*').display, "*C");
    EXPECT_EQ(describeConfigWord(0x1000, '\xB0').display, "%RH");
    EXPECT_EQ(describeConfigWord(0x0000, '\xB0').display, "");  // no display text
    EXPECT_EQ(describeConfigWord(0x0000, '\xB0').output, "0 - 5 V");
    EXPECT_EQ(describeConfigWord(0x0000, '\xB0').relay, "No");
    EXPECT_EQ(describeConfigWord(0x0007, '\xB0').type, "");
}

TEST(Choices, BuildWordFromSelectedIds) {
    EXPECT_EQ(buildConfigWord({1, 8, 0, 4, 2}), 0x3033);
    EXPECT_EQ(buildConfigWord({2, 2, 0, 1, 1}), 0x1101);
    EXPECT_EQ(buildConfigWord({0, 0, 0, 0, 0}), 0);
    EXPECT_EQ(buildConfigWord({4, 3, 9, 8, 0}), 0);  // ids without rows add nothing
}

}  // namespace
}  // namespace kv58
