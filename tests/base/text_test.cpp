#include "base/text.h"

#include <gtest/gtest.h>

namespace kv58 {
namespace {

TEST(Cp1252, DegreeSignAndEuroRoundTrip) {
    const std::string cp = "T-Sym=\xB0 \x80";
    EXPECT_EQ(cp1252ToUtf8(cp), "T-Sym=\xC2\xB0 \xE2\x82\xAC");
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(cp)), cp);
}

TEST(Cp1252, UnmappableCharacterBecomesQuestionMarkAndBadUtf8PassesThrough) {
    EXPECT_EQ(utf8ToCp1252("\xE2\x88\x9E"), "?");  // infinity sign
    EXPECT_EQ(utf8ToCp1252("a\xB0z"), "a\xB0z");   // a lone Windows-1252 byte
    EXPECT_FALSE(isUtf8WithMultibyte("plain ascii"));
    EXPECT_FALSE(isUtf8WithMultibyte("a\xB0z"));
    EXPECT_TRUE(isUtf8WithMultibyte("\xC2\xB0"));
}

TEST(LeadingInt, TakesTheLeadingNumberOnly) {
    EXPECT_EQ(leadingInt("  -40"), -40);
    EXPECT_EQ(leadingInt("+12abc"), 12);
    EXPECT_EQ(leadingInt("4mA"), 4);
    EXPECT_EQ(leadingInt("abc"), 0);
    EXPECT_EQ(leadingInt("- 5"), 0);
    EXPECT_EQ(leadingInt(""), 0);
    EXPECT_EQ(leadingInt("99999999999"), 2147483647);
    EXPECT_EQ(leadingInt("-99999999999"), -2147483648);
}

TEST(YesNo, FirstCharacterDecides) {
    for (const char* yes : {"1", "J", "ja", "Yes", "y"})
        EXPECT_TRUE(isYes(yes)) << yes;
    for (const char* no : {"", "0", "Nein", "No", " yes"})
        EXPECT_FALSE(isYes(no)) << no;
}

TEST(HexDigit, BothCasesAndNothingElse) {
    EXPECT_EQ(hexDigitValue('0'), 0);
    EXPECT_EQ(hexDigitValue('9'), 9);
    EXPECT_EQ(hexDigitValue('a'), 10);
    EXPECT_EQ(hexDigitValue('F'), 15);
    // The neighbours of each digit range, a space and a Windows-1252 letter.
    for (char c : {'/', ':', '@', 'G', '`', 'g', ' ', '\xC4'})
        EXPECT_EQ(hexDigitValue(c), -1) << c;
}

TEST(Format, PrintfStyle) {
    EXPECT_EQ(strprintf("%04X|%d|%s", 0x1A, -3, "x"), "001A|-3|x");
    EXPECT_EQ(strprintf("%s", std::string(3000, 'a').c_str()).size(), 3000u);
}

}  // namespace
}  // namespace kv58
