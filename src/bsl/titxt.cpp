#include "bsl/titxt.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <string_view>

#include "base/text.h"
#include "bsl/frame_transport.h"
#include "bsl/link_result.h"

namespace kv58 {

namespace {

// Lines are read in pieces as a 127-character buffer takes them: 126 characters and the
// terminating zero.
constexpr size_t kPieceLength = 126;
constexpr size_t kFieldWidth = 3;
constexpr int kFlushMargin = 16;
// The value of a field that holds no hexadecimal digit.
constexpr uint8_t kEmptyFieldValue = 0xFF;

bool isScanSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Where the characters of an image come from: a file, or an image already in memory.
using NextChar = std::function<int()>;  // the next character, or EOF at the end

// Reads the next piece of a line: up to 126 characters, ending after a line feed. False at
// the end of the image. The piece counts up to its first zero byte, as a C string would.
bool readPiece(const NextChar& next, std::string& storage, std::string_view& piece) {
    storage.clear();
    int c = 0;
    while (storage.size() < kPieceLength && (c = next()) != EOF) {
        storage.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    if (storage.empty())
        return false;
    piece = std::string_view(storage.c_str());
    return true;
}

size_t skipSpace(std::string_view line, size_t pos) {
    while (pos < line.size() && isScanSpace(line[pos]))
        ++pos;
    return pos;
}

// Whether the field at `pos` is one of the line's values. Blanks that run to the end of the
// line are none, however many fields they span: a tool that pads its lines must not shift
// every later byte of the section. Other fields that start before the last three characters
// are values (a field of junk gives 0xFF); the one field after them only when a value stands
// there: a line's last value must not depend on whether the writing tool put a space or a
// carriage return behind it.
bool isValueField(std::string_view line, size_t pos) {
    const size_t first = skipSpace(line, pos);
    if (first >= line.size())
        return false;
    return pos + kFieldWidth < line.size() || hexDigitValue(line[first]) >= 0;
}

// A field at `pos`: optional white space, then up to three hexadecimal digits.
uint8_t fieldValue(std::string_view line, size_t pos) {
    pos = skipSpace(line, pos);
    unsigned value = 0;
    size_t digits = 0;
    for (; digits < kFieldWidth && pos < line.size() && hexDigitValue(line[pos]) >= 0; ++digits) {
        value = value * 16 + static_cast<unsigned>(hexDigitValue(line[pos++]));
    }
    return digits == 0 ? kEmptyFieldValue : static_cast<uint8_t>(value & 0xFF);
}

// The address of an address line: white space, then hexadecimal digits; low 16 bits.
uint16_t addressValue(std::string_view line) {
    size_t pos = 1;
    while (pos < line.size() && isScanSpace(line[pos]))
        ++pos;
    unsigned value = 0;
    for (; pos < line.size() && hexDigitValue(line[pos]) >= 0; ++pos) {
        value = (value * 16 + static_cast<unsigned>(hexDigitValue(line[pos]))) & 0xFFFF;
    }
    return static_cast<uint16_t>(value);
}

// Gathers the bytes of data lines into blocks and hands them on.
class BlockCollector {
public:
    BlockCollector(int maxBlockSize, const TiTxtBlockSink& sink)
        : limit_(static_cast<size_t>(std::clamp(maxBlockSize, 1, kMaxImageBlock))),
          flushAbove_(std::clamp(maxBlockSize, 1, kMaxImageBlock) - kFlushMargin),
          sink_(sink) {}

    // Hands on the gathered block; the next one starts at the same address (address lines
    // and the end) or right after it (`advance`).
    LinkResult flush(bool advance) {
        if (length_ == 0)
            return LinkResult::Ok;
        const LinkResult rc = sink_(address_, std::span<const uint8_t>(block_.data(), length_));
        if (advance)
            address_ = static_cast<uint16_t>(address_ + length_);
        length_ = 0;
        return rc;
    }

    void startSection(uint16_t address) { address_ = address; }

    LinkResult appendLine(std::string_view line) {
        for (size_t pos = 0; isValueField(line, pos); pos += kFieldWidth) {
            // A line with more values than fit: split it rather than overrun the block. A
            // block never runs past 0xFFFF either: the next byte's address wraps to 0x0000,
            // and a device command cannot say that.
            if (length_ == limit_ || address_ + length_ > 0xFFFF) {
                if (const LinkResult rc = flush(true); failed(rc))
                    return rc;
            }
            block_[length_++] = fieldValue(line, pos);
        }
        if (static_cast<int>(length_) > flushAbove_)
            return flush(true);
        return LinkResult::Ok;
    }

private:
    size_t limit_;
    int flushAbove_;
    const TiTxtBlockSink& sink_;
    std::array<uint8_t, kBlockCapacity> block_{};
    size_t length_ = 0;
    uint16_t address_ = 0;
};

// The text of a line without its line end.
std::string withoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return std::string(line);
}

LinkResult readTiTxt(const NextChar& next, int maxBlockSize, const TiTxtBlockSink& sink,
                     const TiTxtSectionSink& sections) {
    BlockCollector blocks(maxBlockSize, sink);
    std::string storage;
    std::string_view line;
    LinkResult rc = LinkResult::Ok;
    int lineNumber = 1;  // of the piece being read; a piece that ends a line moves it on
    for (int after = 1; rc == LinkResult::Ok && readPiece(next, storage, line);
         lineNumber = after) {
        if (!storage.empty() && storage.back() == '\n')
            ++after;
        if (!line.empty() && line[0] == 'q')
            break;
        if (!line.empty() && line[0] == '@') {
            rc = blocks.flush(false);
            blocks.startSection(addressValue(line));
            if (sections)
                sections(lineNumber, withoutLineEnd(line), addressValue(line));
        } else {
            rc = blocks.appendLine(line);
        }
    }
    if (rc == LinkResult::Ok)
        rc = blocks.flush(false);
    return rc;
}

}  // namespace

LinkResult readTiTxtFile(const std::string& path, int maxBlockSize, const TiTxtBlockSink& sink,
                         const TiTxtSectionSink& sections) {
    // Read whole and bounded: a device or an endless pipe named as an image ends the read.
    LoadedImage image;
    if (!loadImageFile(path, image))
        return LinkResult::FileOpenFailed;
    return readTiTxtText(image.text, maxBlockSize, sink, sections);
}

LinkResult readTiTxtText(std::string_view text, int maxBlockSize, const TiTxtBlockSink& sink,
                         const TiTxtSectionSink& sections) {
    size_t pos = 0;
    return readTiTxt(
        [&] { return pos < text.size() ? static_cast<unsigned char>(text[pos++]) : EOF; },
        maxBlockSize, sink, sections);
}

bool loadImageFile(const std::string& path, LoadedImage& image) {
    image.name = path;
    image.text.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[4096];
    size_t got = 0;
    bool fits = true;
    while (fits && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        fits = image.text.size() + got <= kMaxImageFileBytes;
        if (fits)
            image.text.append(buffer, got);
    }
    const bool ok = fits && !std::ferror(file);
    std::fclose(file);
    if (!ok)
        image.text.clear();
    return ok;
}

std::string formatTiTxtSection(uint16_t address, std::span<const uint8_t> bytes) {
    std::string out = strprintf("@%04X\r\n", address);
    for (size_t i = 0; i < bytes.size(); ++i) {
        out += strprintf("%02X ", bytes[i]);
        if (i % 16 == 15 || i + 1 == bytes.size())
            out += "\r\n";
    }
    return out;
}

std::string tiTxtEndLine() {
    return "q\r\n";
}

std::string formatTiTxt(const std::vector<TiTxtSection>& sections, bool withEndLine) {
    std::string out;
    for (const TiTxtSection& s : sections)
        out += formatTiTxtSection(s.address, s.bytes);
    if (withEndLine)
        out += tiTxtEndLine();
    return out;
}

}  // namespace kv58
