#include "sim/image_text.h"

#include <cctype>
#include <cstdlib>

#include "base/text.h"

namespace kv58::sim {

std::string formatImageText(const std::vector<ImageSection>& sections) {
    std::string text;
    for (const ImageSection& section : sections) {
        text += strprintf("@%04X\r\n", section.address);
        for (size_t i = 0; i < section.bytes.size(); ++i) {
            text += strprintf("%02X ", section.bytes[i]);
            if (i % 16 == 15 || i + 1 == section.bytes.size())
                text += "\r\n";
        }
    }
    text += "q\r\n";
    return text;
}

namespace {

bool parseHex(const std::string& token, unsigned long max, unsigned long& value) {
    if (token.empty() || token.size() > 8)
        return false;
    for (char c : token) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    value = std::strtoul(token.c_str(), nullptr, 16);
    return value <= max;
}

std::vector<std::string> tokens(const std::string& line) {
    std::vector<std::string> result;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        const size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i > start)
            result.push_back(line.substr(start, i - start));
    }
    return result;
}

}  // namespace

bool parseImageText(const std::string& text, std::vector<ImageSection>& sections,
                    std::string& error) {
    sections.clear();
    size_t lineNumber = 0, start = 0;
    bool haveAddress = false;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = trim(text.substr(start, end - start), " \t\r");
        start = end + 1;
        ++lineNumber;
        const auto fail = [&](const std::string& what) {
            error = strprintf("line %zu: ", lineNumber) + what;
            return false;
        };
        if (line.empty())
            continue;
        if (line == "q" || line == "Q")
            return true;
        unsigned long value = 0;
        if (line[0] == '@') {
            if (!parseHex(trim(line.substr(1)), 0xFFFF, value))
                return fail("bad address line");
            sections.push_back({static_cast<uint32_t>(value), {}});
            haveAddress = true;
            continue;
        }
        if (!haveAddress)
            return fail("data before the first address line");
        ImageSection& section = sections.back();
        for (const std::string& token : tokens(line)) {
            if (!parseHex(token, 0xFF, value))
                return fail("bad byte value '" + token + "'");
            if (section.address + section.bytes.size() > 0xFFFF) {
                return fail("data beyond address FFFF");
            }
            section.bytes.push_back(static_cast<uint8_t>(value));
        }
    }
    return true;
}

}  // namespace kv58::sim
