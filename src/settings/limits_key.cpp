#include "settings/limits_key.h"

#include <array>

#include "base/text.h"

namespace kv58 {

namespace {

constexpr const char* kPlainFormat = "v%+04db%+04dd%+04dv%+04db%+04dd%+04d";
constexpr std::array<size_t, 6> kFieldPositions = {1, 6, 11, 16, 21, 26};
constexpr size_t kFieldWidth = 4;

// Undoes (and does) the reordering: even positions in place, odd positions reversed. An
// odd-length text loses its last character, as the program's loop never reaches it.
std::string reorder(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    // `end` is one past the index the program's loop calls j; that loop runs while j > 0.
    size_t i = 0;
    for (size_t end = text.size(); end >= 2; end -= 2, i += 2) {
        out += text[i];
        out += text[end - 1];
    }
    return out;
}

// Hexadecimal leading-prefix conversion of a short text: optional blanks, an optional sign,
// hexadecimal digits; no digits give 0.
int hexPrefix(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int value = 0;
    for (int digit = 0; i < text.size() && (digit = hexDigitValue(text[i])) >= 0; ++i)
        value = value * 16 + digit;
    return negative ? -value : value;
}

int checksum(std::string_view digits) {
    int sum = 0;
    for (char c : digits)
        sum = (sum + static_cast<signed char>(c)) % 255;
    return sum;
}

}  // namespace

bool TemperatureLimits::isValid() const {
    // 64-bit, so that no pair of 32-bit limits can overflow the difference.
    const auto holds = [](int64_t min, int64_t max, int64_t diff) { return max - min >= diff; };
    return holds(minC, maxC, minDiffC) && holds(minF, maxF, minDiffF);
}

std::string DecodeKey(std::string_view key) {
    std::string digits = reorder(key);
    const size_t checkLength = digits.size() < 2 ? digits.size() : 2;
    const int check = hexPrefix(std::string_view(digits).substr(digits.size() - checkLength));
    digits.resize(digits.size() - checkLength);
    if (checksum(digits) != check)
        return {};
    std::string plain;
    for (size_t i = 0; i < digits.size(); i += 2) {
        const int code = hexPrefix(std::string_view(digits).substr(i, 2));
        if (code == 0)
            break;  // a zero character ends the text
        plain += static_cast<char>(code);
    }
    return plain;
}

std::string EncodeKey(const TemperatureLimits& limits) {
    const std::array<int32_t, 6> values = {limits.minC, limits.maxC, limits.minDiffC,
                                           limits.minF, limits.maxF, limits.minDiffF};
    for (int32_t v : values) {
        if (v < -999 || v > 999)
            return {};
    }
    const std::string plain =
        strprintf(kPlainFormat, values[0], values[1], values[2], values[3], values[4], values[5]);
    std::string digits;
    for (char c : plain)
        digits += strprintf("%02X", static_cast<unsigned char>(c));
    digits += strprintf("%02X", static_cast<unsigned>(checksum(digits)));
    return reorder(digits);
}

TemperatureLimits limitsFromPlainText(std::string_view plain) {
    std::array<int32_t, 6> v{};
    for (size_t n = 0; n < kFieldPositions.size(); ++n) {
        const size_t pos = kFieldPositions[n];
        v[n] = pos < plain.size() ? leadingInt(plain.substr(pos, kFieldWidth)) : 0;
    }
    return {v[0], v[1], v[2], v[3], v[4], v[5]};
}

}  // namespace kv58
