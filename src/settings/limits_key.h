// The temperature limits and the limits key ("Program"/"Key01") that carries them.
//
// The key is a keyless scramble of a 30-character plain text made by
// "v%+04db%+04dd%+04dv%+04db%+04dd%+04d" from the six limits, e.g.
// "v-040b+120d+020v-040b+248d+036":
//   1. every plain-text character as two upper-case hexadecimal digits (60 digits);
//   2. the checksum of those digit characters appended as two hexadecimal digits (62);
//   3. the characters at even positions stay, those at odd positions appear in reverse order.
// Step 3 is its own inverse. The checksum adds the digit characters as signed 8-bit codes,
// reducing the running sum modulo 255 after each addition, so "a" and "A" sum differently.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kv58 {

// The allowed temperature range: minimum, maximum and minimum difference in °C, then in °F.
struct TemperatureLimits {
    int32_t minC = 0;
    int32_t maxC = 0;
    int32_t minDiffC = 0;
    int32_t minF = 0;
    int32_t maxF = 0;
    int32_t minDiffF = 0;

    // Maximum - minimum >= minimum difference on both scales.
    bool isValid() const;

    bool operator==(const TemperatureLimits&) const = default;
};

// The plain text of a key, or an empty text when its checksum does not match. Takes a key of
// any length; only an even length can be a valid key.
std::string DecodeKey(std::string_view key);

// A key that DecodeKey turns back into the plain text of `limits`. Empty when a limit does
// not fit the four characters of its field (-999 to +999).
std::string EncodeKey(const TemperatureLimits& limits);

// The six limits of a decoded plain text: the four characters at positions 1, 6, 11, 16, 21
// and 26, each by leading-prefix decimal conversion; characters that are missing give 0.
TemperatureLimits limitsFromPlainText(std::string_view plain);

}  // namespace kv58
