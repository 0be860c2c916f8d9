// The TI-TXT reader on arbitrary files. Every block it hands on is non-empty, within its size
// limit and inside the 64 KB address space, and the blocks together carry exactly the values
// of the file at their addresses, section by section, as an independent reading of the file
// below finds them.
#include <algorithm>
#include <string_view>
#include <vector>

#include "bsl/titxt.h"
#include "fuzz_support.h"

using namespace kv58;

namespace {

struct Section {
    uint32_t address = 0;
    std::vector<uint8_t> values;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool blank(char c) {
    return std::string_view(" \t\r\n\v\f").find(c) != std::string_view::npos;
}

// The lines as a 127-character buffer reads them: at most 126 characters, a line feed
// included, and each cut at its first NUL byte.
std::vector<std::string_view> pieces(std::string_view file) {
    std::vector<std::string_view> out;
    while (!file.empty()) {
        const size_t feed = file.substr(0, 126).find('\n');
        const size_t length =
            feed == std::string_view::npos ? std::min<size_t>(file.size(), 126) : feed + 1;
        std::string_view piece = file.substr(0, length);
        out.push_back(piece.substr(0, piece.find('\0')));
        file.remove_prefix(length);
    }
    return out;
}

// "@" and hexadecimal digits after blanks; the low 16 bits of the number.
uint32_t addressOf(std::string_view line) {
    size_t i = 1;
    while (i < line.size() && blank(line[i]))
        ++i;
    uint32_t address = 0;
    for (; i < line.size() && hexDigit(line[i]) >= 0; ++i)
        address = (address << 4 | static_cast<uint32_t>(hexDigit(line[i]))) & 0xFFFF;
    return address;
}

// Fields of three characters from the line's start, each read as "%3x". The fields stop where
// only blanks are left; the field that starts within the last three characters counts only
// when a hexadecimal digit stands there; a field without a digit is 0xFF.
void appendValues(std::string_view line, std::vector<uint8_t>& values) {
    for (size_t at = 0;; at += 3) {
        size_t i = at;
        while (i < line.size() && blank(line[i]))
            ++i;
        if (i >= line.size())
            return;
        if (at + 3 >= line.size() && hexDigit(line[i]) < 0)
            return;
        unsigned value = 0;
        int digits = 0;
        for (; digits < 3 && i < line.size() && hexDigit(line[i]) >= 0; ++digits, ++i)
            value = value * 16 + static_cast<unsigned>(hexDigit(line[i]));
        values.push_back(digits ? static_cast<uint8_t>(value) : 0xFF);
    }
}

std::vector<Section> sectionsOf(std::string_view file) {
    std::vector<Section> sections(1);
    for (std::string_view line : pieces(file)) {
        if (!line.empty() && line[0] == 'q')
            break;
        if (!line.empty() && line[0] == '@')
            sections.push_back({addressOf(line), {}});
        else
            appendValues(line, sections.back().values);
    }
    return sections;
}

struct Block {
    uint32_t address;
    std::vector<uint8_t> bytes;
};

// The blocks in order must lay out each non-empty section's values from its address on,
// without a block reaching into the next section.
void checkAgainst(const std::vector<Section>& sections, const std::vector<Block>& blocks) {
    size_t b = 0;
    for (const Section& s : sections) {
        size_t done = 0;
        while (done < s.values.size()) {
            KV58_FUZZ_CHECK(b < blocks.size());
            const Block& block = blocks[b++];
            KV58_FUZZ_CHECK(block.address == ((s.address + done) & 0xFFFF));
            KV58_FUZZ_CHECK(block.bytes.size() <= s.values.size() - done);
            KV58_FUZZ_CHECK(std::equal(block.bytes.begin(), block.bytes.end(),
                                       s.values.begin() + static_cast<std::ptrdiff_t>(done)));
            done += block.bytes.size();
        }
    }
    KV58_FUZZ_CHECK(b == blocks.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses the block size limit, as callers pass different ones.
    const int maxBlock = data[0] % (kMaxImageBlock + 8) - 4;
    const int limit = std::clamp(maxBlock, 1, kMaxImageBlock);
    const std::string& path = fuzz::inputFile("titxt");
    fuzz::writeInput(path, data + 1, size - 1);
    std::vector<Block> blocks;
    const LinkResult result =
        readTiTxtFile(path, maxBlock, [&](uint16_t address, std::span<const uint8_t> bytes) {
            KV58_FUZZ_CHECK(!bytes.empty());
            KV58_FUZZ_CHECK(bytes.size() <= static_cast<size_t>(limit));
            KV58_FUZZ_CHECK(address + bytes.size() <= 0x10000);
            blocks.push_back({address, {bytes.begin(), bytes.end()}});
            return LinkResult::Ok;
        });
    KV58_FUZZ_CHECK(result == LinkResult::Ok);
    const std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);
    checkAgainst(sectionsOf(file), blocks);
    return 0;
}
