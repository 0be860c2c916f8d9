// JSON text: string literals for the programs' machine-readable output, and a strict reader
// for the JSON this system writes itself (the production log's lines).
//
// The reader takes RFC 8259 JSON and nothing else (no comments, no trailing commas, no
// single quotes, no NaN), nests at most kMaxJsonDepth levels deep, and says where it stopped
// when the text is not JSON. Numbers are kept as doubles, read without regard to the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv58 {

// A UTF-8 text as a JSON string literal: quotes and backslashes escaped, control characters
// as \u00XX. Bytes that are not well-formed UTF-8 become U+FFFD, so that the literal is
// always valid JSON whatever the text held.
std::string jsonString(std::string_view utf8);

// A Windows-1252 text of the library as a JSON string literal.
std::string jsonCp1252(std::string_view cp1252);

constexpr int kMaxJsonDepth = 32;

class JsonValue {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    JsonValue() = default;
    static JsonValue boolean(bool value);
    static JsonValue number(double value);
    static JsonValue string(std::string value);
    static JsonValue array(std::vector<JsonValue> items);
    static JsonValue object(std::map<std::string, JsonValue> members);

    Type type() const { return type_; }
    bool isNull() const { return type_ == Type::Null; }

    // The value as the type asks; a default (false, 0, "", nothing) for another type.
    bool asBool() const { return type_ == Type::Bool && bool_; }
    double asNumber() const { return type_ == Type::Number ? number_ : 0; }
    const std::string& asString() const;
    const std::vector<JsonValue>& items() const;
    const std::map<std::string, JsonValue>& members() const;

    // The member of an object; null when this is no object or has no such member.
    const JsonValue* find(const std::string& key) const;

private:
    Type type_ = Type::Null;
    bool bool_ = false;
    double number_ = 0;
    std::string string_;
    std::shared_ptr<const std::vector<JsonValue>> items_;
    std::shared_ptr<const std::map<std::string, JsonValue>> members_;
};

// Parses one JSON text (white space around it allowed). Nothing, with `error` saying what
// was found where ("at 17: ',' or '}' expected"), when the text is not JSON.
std::optional<JsonValue> parseJson(std::string_view text, std::string* error = nullptr);

}  // namespace kv58
