#include "bsl/image_check.h"

#include <algorithm>

#include "base/text.h"
#include "bsl/titxt.h"

namespace kv58 {

namespace {

// "@", blanks, one to four hexadecimal digits, blanks: nothing else.
bool plainAddress(const std::string& text) {
    size_t pos = 1;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    size_t digits = 0;
    while (pos < text.size() && hexDigitValue(text[pos]) >= 0) {
        ++pos;
        ++digits;
    }
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    return digits >= 1 && digits <= 4 && pos == text.size();
}

void addBlock(ImageSection& section, uint32_t address, size_t length) {
    const uint32_t end = address + static_cast<uint32_t>(length);
    if (section.bytes > 0 && address < section.first)
        section.wraps = true;  // the reader went on at 0x0000
    if (section.bytes == 0 || address < section.first)
        section.first = address;
    section.end = std::max(section.end, end);
    section.bytes += static_cast<long>(length);
}

std::string where(const ImageSection& s) {
    return s.line > 0 ? strprintf("line %d (\"%s\")", s.line, s.addressText.c_str())
                      : std::string("the data before the first address line");
}

}  // namespace

namespace {

// The layout of the image that `read` passes through the two sinks.
template <typename Read>
LinkResult layoutOf(Read read, ImageLayout& layout) {
    layout = {};
    layout.sections.emplace_back();  // bytes before any address line
    const LinkResult rc = read(
        [&](uint16_t address, std::span<const uint8_t> bytes) {
            addBlock(layout.sections.back(), address, bytes.size());
            layout.bytes += static_cast<long>(bytes.size());
            return LinkResult::Ok;
        },
        [&](int line, const std::string& text, uint16_t) {
            ImageSection s;
            s.line = line;
            s.addressText = text;
            layout.sections.push_back(s);
        });
    if (layout.sections.front().bytes == 0)
        layout.sections.erase(layout.sections.begin());
    return rc;
}

}  // namespace

bool readImageLayout(const std::string& path, ImageLayout& layout) {
    const auto read = [&](const TiTxtBlockSink& blocks, const TiTxtSectionSink& sections) {
        return readTiTxtFile(path, kMaxImageBlock, blocks, sections);
    };
    return layoutOf(read, layout) != LinkResult::FileOpenFailed;
}

void readImageLayoutText(std::string_view text, ImageLayout& layout) {
    const auto read = [&](const TiTxtBlockSink& blocks, const TiTxtSectionSink& sections) {
        return readTiTxtText(text, kMaxImageBlock, blocks, sections);
    };
    static_cast<void>(layoutOf(read, layout));
}

std::string imageProblem(const ImageLayout& layout) {
    for (const ImageSection& s : layout.sections) {
        if (s.line > 0 && !plainAddress(s.addressText))
            return strprintf("line %d: the address \"%s\" is not plain hexadecimal", s.line,
                             s.addressText.c_str());
        if (s.bytes == 0)
            continue;
        if (s.wraps || s.end > kFlashEnd)
            return where(s) + ": the section runs past FFFF";
        if (s.first < kFlashStart)
            return where(s) + strprintf(
                                  ": bytes at %04X to %04X lie outside the flash "
                                  "(1000 to FFFF)",
                                  s.first, std::min(s.end, kFlashStart) - 1);
    }
    if (layout.bytes == 0)
        return "the image holds no data (not a TI-TXT image?)";
    return "";
}

bool holdsInformationMemory(const ImageLayout& layout) {
    return std::any_of(layout.sections.begin(), layout.sections.end(), [](const ImageSection& s) {
        return s.bytes > 0 && s.first < kInformationMemoryEnd && s.end > kFlashStart;
    });
}

}  // namespace kv58
