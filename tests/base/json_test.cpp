// JSON string literals and the strict reader of the production log's lines.
#include "base/json.h"

#include <gtest/gtest.h>

#include <string>

namespace kv58 {
namespace {

TEST(JsonString, EscapesQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(jsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\u000a\\u0001\"");
    EXPECT_EQ(jsonString("\xC2\xB0"
                         "C"),
              "\"\xC2\xB0"
              "C\"")
        << "UTF-8 passes unchanged";
    EXPECT_EQ(jsonCp1252("\xB0"
                         "F"),
              "\"\xC2\xB0"
              "F\"")
        << "Windows-1252 becomes UTF-8";
}

TEST(JsonString, BytesThatAreNotUtf8BecomeTheReplacementCharacter) {
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(jsonString("a\xFF"
                         "b"),
              "\"a" + fffd + "b\"");
    EXPECT_EQ(jsonString("\xC0\xAF"), "\"" + fffd + fffd + "\"") << "overlong form";
    EXPECT_EQ(jsonString("\xED\xA0\x80"), "\"" + fffd + fffd + fffd + "\"") << "a surrogate";
    EXPECT_EQ(jsonString("\xE2\x82"), "\"" + fffd + fffd + "\"") << "cut off";
    // Whatever the bytes, the literal reads back.
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_TRUE(parseJson(jsonString(all)));
}

TEST(JsonReader, ReadsEveryKindOfValue) {
    const auto v = parseJson(
        R"( {"a": [1, -2.5e2, true, false, null], "b": {"c": "x\u00e9\ud83d\ude00\/"}} )");
    ASSERT_TRUE(v);
    const JsonValue* a = v->find("a");
    ASSERT_TRUE(a);
    ASSERT_EQ(a->items().size(), 5u);
    EXPECT_EQ(a->items()[0].asNumber(), 1);
    EXPECT_EQ(a->items()[1].asNumber(), -250);
    EXPECT_TRUE(a->items()[2].asBool());
    EXPECT_EQ(a->items()[3].type(), JsonValue::Type::Bool);
    EXPECT_TRUE(a->items()[4].isNull());
    EXPECT_EQ(v->find("b")->find("c")->asString(), "x\xC3\xA9\xF0\x9F\x98\x80/");
    EXPECT_EQ(v->find("missing"), nullptr);
    EXPECT_EQ(a->find("a"), nullptr) << "an array has no members";
}

TEST(JsonReader, RefusesWhatIsNotJsonSayingWhere) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "at 1: a value expected"},
        {"{\"a\": 1,}", "at 9: a member name in quotes expected"},
        {"[1 2]", "at 4: ',' or ']' expected"},
        {"{\"a\" 1}", "at 6: ':' expected"},
        {"01", "at 2: end of text expected"},
        {"1.", "at 2: digits expected after '.'"},
        {"1e", "at 2: digits expected in the exponent"},
        {"+1", "at 1: a value expected"},
        {"1e999", "at 6: a number out of range"},
        {"\"a\tb\"", "at 3: a control character inside a string"},
        {"\"\\x\"", "at 4: a bad escape in a string"},
        {"\"\\ud800\"", "at 8: a bad escape in a string"},
        {"\"\\udc00\"", "at 8: a bad escape in a string"},
        {"\"\xFF\"", "at 2: a byte that is not UTF-8"},
        {"\"abc", "at 5: the string does not end"},
        {"tru", "at 1: true?"},
        {"{} {}", "at 4: end of text expected"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(parseJson(c.text, &error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(JsonReader, NestingIsBounded) {
    EXPECT_TRUE(
        parseJson(std::string(kMaxJsonDepth - 1, '[') + std::string(kMaxJsonDepth - 1, ']')));
    std::string error;
    EXPECT_FALSE(parseJson(std::string(100'000, '['), &error)) << "no stack overflow";
    EXPECT_EQ(error, "at 33: nested too deeply");
}

TEST(JsonReader, EveryTruncatedPrefixOfAValidTextIsRefused) {
    const std::string text = R"({"word": 45075, "texts": ["0 - 10 V", "\u00b0C"], "ok": true})";
    ASSERT_TRUE(parseJson(text));
    for (size_t n = 0; n < text.size(); ++n)
        EXPECT_FALSE(parseJson(text.substr(0, n))) << n;
}

}  // namespace
}  // namespace kv58
