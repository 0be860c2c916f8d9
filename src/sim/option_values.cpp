#include "sim/option_values.h"

#include <cctype>
#include <cstdlib>

#include "base/text.h"

namespace kv58::sim {

namespace {

bool allDigits(const std::string& text, int base) {
    if (text.empty())
        return false;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (base == 10 ? !std::isdigit(u) : !std::isxdigit(u))
            return false;
    }
    return true;
}

}  // namespace

bool parseCount(const std::string& text, uint64_t& value) {
    if (!allDigits(text, 10) || text.size() > 18)
        return false;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

bool parseInt(const std::string& text, long min, long max, long& value) {
    const bool negative = !text.empty() && text[0] == '-';
    const std::string digits = text.substr(!text.empty() && (text[0] == '-' || text[0] == '+'));
    uint64_t magnitude = 0;
    if (!parseCount(digits, magnitude) || magnitude > 1000000000ull)
        return false;
    const long v = negative ? -static_cast<long>(magnitude) : static_cast<long>(magnitude);
    if (v < min || v > max)
        return false;
    value = v;
    return true;
}

bool parseHexAddress(const std::string& text, uint16_t& value) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits = digits.substr(2);
    }
    if (!allDigits(digits, 16) || digits.size() > 4)
        return false;
    value = static_cast<uint16_t>(std::strtoul(digits.c_str(), nullptr, 16));
    return true;
}

bool parseProbability(const std::string& text, double& value) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || v < 0 || v > 1)
        return false;
    value = v;
    return true;
}

bool parseFlag(const std::string& text, bool& value) {
    for (const char* yes : {"1", "yes", "on", "true"}) {
        if (equalsIgnoreCase(text, yes)) {
            value = true;
            return true;
        }
    }
    for (const char* no : {"0", "no", "off", "false"}) {
        if (equalsIgnoreCase(text, no)) {
            value = false;
            return true;
        }
    }
    return false;
}

bool parseLoaderVersion(const std::string& text, uint16_t& value) {
    const size_t dot = text.find('.');
    if (dot == std::string::npos)
        return false;
    const std::string major = text.substr(0, dot), minor = text.substr(dot + 1);
    if (!allDigits(major, 16) || !allDigits(minor, 16) || major.size() > 2 || minor.size() != 2) {
        return false;
    }
    value = static_cast<uint16_t>(std::strtoul(major.c_str(), nullptr, 16) << 8 |
                                  std::strtoul(minor.c_str(), nullptr, 16));
    return true;
}

std::string formatLoaderVersion(uint16_t version) {
    return strprintf("%X.%02X", version >> 8, version & 0xFF);
}

bool parseLineSettings(const std::string& text, LineSettings& value) {
    const size_t comma = text.find(',');
    uint64_t baud = 0;
    if (!parseCount(text.substr(0, comma), baud) || baud < 50 || baud > 4000000)
        return false;
    LineSettings line;
    line.baud = static_cast<uint32_t>(baud);
    if (comma != std::string::npos) {
        const std::string format = text.substr(comma + 1);
        if (format.size() < 3 || format[0] < '5' || format[0] > '8')
            return false;
        line.dataBits = static_cast<uint8_t>(format[0] - '0');
        switch (toUpperAscii(format[1])) {
            case 'N':
                line.parity = Parity::None;
                break;
            case 'O':
                line.parity = Parity::Odd;
                break;
            case 'E':
                line.parity = Parity::Even;
                break;
            case 'M':
                line.parity = Parity::Mark;
                break;
            case 'S':
                line.parity = Parity::Space;
                break;
            default:
                return false;
        }
        const std::string stop = format.substr(2);
        if (stop == "1")
            line.stopBits = StopBits::One;
        else if (stop == "1.5")
            line.stopBits = StopBits::OneAndHalf;
        else if (stop == "2")
            line.stopBits = StopBits::Two;
        else
            return false;
    }
    value = line;
    return true;
}

}  // namespace kv58::sim
