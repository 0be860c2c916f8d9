#include "base/json.h"

#include <charconv>
#include <cmath>

#include "base/text.h"

namespace kv58 {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0 when it is not
// one (overlong forms, surrogates and values above U+10FFFF included).
size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

void appendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A recursive-descent reader over the text; every function leaves `pos_` after what it read.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<JsonValue> document() {
        skipSpace();
        std::optional<JsonValue> value = this->value(0);
        skipSpace();
        if (value && pos_ != text_.size())
            return fail("end of text expected");
        return value;
    }

    const std::string& error() const { return error_; }

private:
    std::optional<JsonValue> fail(const std::string& what) {
        if (error_.empty())
            error_ = strprintf("at %zu: %s", pos_ + 1, what.c_str());
        return std::nullopt;
    }
    bool more() const { return pos_ < text_.size(); }
    char peek() const { return more() ? text_[pos_] : '\0'; }
    void skipSpace() {
        while (more() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++pos_;
    }
    bool literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word)
            return false;
        pos_ += word.size();
        return true;
    }

    std::optional<JsonValue> value(int depth) {
        if (depth >= kMaxJsonDepth)
            return fail("nested too deeply");
        switch (peek()) {
            case '{':
                return object(depth);
            case '[':
                return array(depth);
            case '"': {
                std::optional<std::string> s = string();
                return s ? std::optional(JsonValue::string(std::move(*s))) : std::nullopt;
            }
            case 't':
                return literal("true") ? std::optional(JsonValue::boolean(true)) : fail("true?");
            case 'f':
                return literal("false") ? std::optional(JsonValue::boolean(false)) : fail("false?");
            case 'n':
                return literal("null") ? std::optional(JsonValue()) : fail("null?");
            default:
                return number();
        }
    }

    std::optional<JsonValue> object(int depth) {
        ++pos_;
        std::map<std::string, JsonValue> members;
        skipSpace();
        if (peek() == '}') {
            ++pos_;
            return JsonValue::object(std::move(members));
        }
        for (;;) {
            skipSpace();
            if (peek() != '"')
                return fail("a member name in quotes expected");
            std::optional<std::string> key = string();
            if (!key)
                return std::nullopt;
            skipSpace();
            if (peek() != ':')
                return fail("':' expected");
            ++pos_;
            skipSpace();
            std::optional<JsonValue> member = value(depth + 1);
            if (!member)
                return std::nullopt;
            members[*key] = std::move(*member);
            skipSpace();
            if (peek() == '}') {
                ++pos_;
                return JsonValue::object(std::move(members));
            }
            if (peek() != ',')
                return fail("',' or '}' expected");
            ++pos_;
        }
    }

    std::optional<JsonValue> array(int depth) {
        ++pos_;
        std::vector<JsonValue> items;
        skipSpace();
        if (peek() == ']') {
            ++pos_;
            return JsonValue::array(std::move(items));
        }
        for (;;) {
            skipSpace();
            std::optional<JsonValue> item = value(depth + 1);
            if (!item)
                return std::nullopt;
            items.push_back(std::move(*item));
            skipSpace();
            if (peek() == ']') {
                ++pos_;
                return JsonValue::array(std::move(items));
            }
            if (peek() != ',')
                return fail("',' or ']' expected");
            ++pos_;
        }
    }

    std::optional<JsonValue> number() {
        // The grammar first (from_chars alone would take "01", "+1", ".5" and "1.").
        const size_t start = pos_;
        if (peek() == '-')
            ++pos_;
        if (peek() == '0') {
            ++pos_;
        } else if (peek() >= '1' && peek() <= '9') {
            while (peek() >= '0' && peek() <= '9')
                ++pos_;
        } else {
            return fail("a value expected");
        }
        if (peek() == '.' && !digitsAfter(1))
            return fail("digits expected after '.'");
        if (peek() == 'e' || peek() == 'E') {
            size_t sign =
                (pos_ + 1 < text_.size() && (text_[pos_ + 1] == '+' || text_[pos_ + 1] == '-')) ? 1
                                                                                                : 0;
            if (!digitsAfter(1 + sign))
                return fail("digits expected in the exponent");
        }
        double value = 0;
        const char* first = text_.data() + start;
        const auto [end, ec] = std::from_chars(first, text_.data() + pos_, value);
        if (ec != std::errc() || end != text_.data() + pos_ || !std::isfinite(value))
            return fail("a number out of range");
        return JsonValue::number(value);
    }

    // Skips `skip` characters and the digits after them; false when there are none.
    bool digitsAfter(size_t skip) {
        size_t p = pos_ + skip;
        const size_t first = p;
        while (p < text_.size() && text_[p] >= '0' && text_[p] <= '9')
            ++p;
        if (p == first)
            return false;
        pos_ = p;
        return true;
    }

    std::optional<uint32_t> hex4() {
        if (pos_ + 4 > text_.size())
            return std::nullopt;
        uint32_t code = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexDigitValue(text_[pos_++]);
            if (digit < 0)
                return std::nullopt;
            code = code << 4 | static_cast<uint32_t>(digit);
        }
        return code;
    }

    // \uXXXX, with a surrogate pair for characters beyond U+FFFF.
    bool unicodeEscape(std::string& out) {
        std::optional<uint32_t> code = hex4();
        if (!code)
            return false;
        if (*code >= 0xDC00 && *code <= 0xDFFF)
            return false;
        if (*code >= 0xD800 && *code <= 0xDBFF) {
            if (!literal("\\u"))
                return false;
            const std::optional<uint32_t> low = hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF)
                return false;
            code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
        }
        appendUtf8(out, *code);
        return true;
    }

    std::optional<std::string> string() {
        ++pos_;
        std::string out;
        while (more()) {
            const char c = text_[pos_];
            if (c == '"') {
                ++pos_;
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                fail("a control character inside a string");
                return std::nullopt;
            }
            if (c != '\\') {
                const size_t length = utf8SequenceLength(text_.substr(pos_));
                if (length == 0) {
                    fail("a byte that is not UTF-8");
                    return std::nullopt;
                }
                out += text_.substr(pos_, length);
                pos_ += length;
                continue;
            }
            ++pos_;
            const char e = peek();
            ++pos_;
            static constexpr std::string_view kFrom = "\"\\/bfnrt";
            static constexpr std::string_view kTo = "\"\\/\b\f\n\r\t";
            if (const size_t i = kFrom.find(e); e != '\0' && i != kFrom.npos) {
                out += kTo[i];
            } else if (e != 'u' || !unicodeEscape(out)) {
                fail("a bad escape in a string");
                return std::nullopt;
            }
        }
        fail("the string does not end");
        return std::nullopt;
    }

    std::string_view text_;
    size_t pos_ = 0;
    std::string error_;
};

const std::string kNoString;
const std::vector<JsonValue> kNoItems;
const std::map<std::string, JsonValue> kNoMembers;

}  // namespace

std::string jsonString(std::string_view utf8) {
    std::string out = "\"";
    while (!utf8.empty()) {
        const char c = utf8[0];
        const auto byte = static_cast<unsigned char>(c);
        size_t length = 1;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += strprintf("\\u%04x", byte);
        } else if ((length = utf8SequenceLength(utf8)) == 0) {
            out += kReplacement;
            length = 1;
        } else {
            out += utf8.substr(0, length);
        }
        utf8.remove_prefix(length);
    }
    return out + "\"";
}

std::string jsonCp1252(std::string_view cp1252) {
    return jsonString(cp1252ToUtf8(cp1252));
}

JsonValue JsonValue::boolean(bool value) {
    JsonValue v;
    v.type_ = Type::Bool;
    v.bool_ = value;
    return v;
}

JsonValue JsonValue::number(double value) {
    JsonValue v;
    v.type_ = Type::Number;
    v.number_ = value;
    return v;
}

JsonValue JsonValue::string(std::string value) {
    JsonValue v;
    v.type_ = Type::String;
    v.string_ = std::move(value);
    return v;
}

JsonValue JsonValue::array(std::vector<JsonValue> items) {
    JsonValue v;
    v.type_ = Type::Array;
    v.items_ = std::make_shared<const std::vector<JsonValue>>(std::move(items));
    return v;
}

JsonValue JsonValue::object(std::map<std::string, JsonValue> members) {
    JsonValue v;
    v.type_ = Type::Object;
    v.members_ = std::make_shared<const std::map<std::string, JsonValue>>(std::move(members));
    return v;
}

const std::string& JsonValue::asString() const {
    return type_ == Type::String ? string_ : kNoString;
}

const std::vector<JsonValue>& JsonValue::items() const {
    return items_ ? *items_ : kNoItems;
}

const std::map<std::string, JsonValue>& JsonValue::members() const {
    return members_ ? *members_ : kNoMembers;
}

const JsonValue* JsonValue::find(const std::string& key) const {
    if (!members_)
        return nullptr;
    const auto it = members_->find(key);
    return it == members_->end() ? nullptr : &it->second;
}

std::optional<JsonValue> parseJson(std::string_view text, std::string* error) {
    Reader reader(text);
    std::optional<JsonValue> value = reader.document();
    if (!value && error)
        *error = reader.error();
    return value;
}

}  // namespace kv58
