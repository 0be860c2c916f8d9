// TI-TXT image files: the hexadecimal text form in which memory images travel between the
// program and the device.
//
//   @1080            address line: "@" and a hexadecimal address (low 16 bits used)
//   01 02 03 … 0F    data lines: fields of three characters, each a hexadecimal byte
//   q                end line (lower case only); nothing after it is read
//
// Reading rules:
// - Lines are read in pieces of at most 126 characters; a longer line counts as several.
// - A data line is cut into fields of three characters from its first character; a field is
//   taken at every position p with p < line length − 3 (the line end counts into the
//   length), and at the last position before the end when a value stands there. So
//   "01 02 03 \n", "01 02 03\r\n", "01 02 03\n" and a last line "01 02 03" without a line
//   end all give three bytes: the last value of a line is never lost, whatever line ends
//   the writing tool used. Blanks that run to the end of a line are no value:
//   "01 02 03    \n" gives three bytes too.
// - A field is read as optional white space then up to three hexadecimal digits; the byte is
//   the low 8 bits of the value. A field without any hexadecimal digit gives 0xFF (the value
//   of erased flash, so a damaged field never clears a bit when programmed).
// - Bytes gather into a block that starts at the last address; a block is handed on when a
//   data line has made it longer than maxBlockSize − 16, at an address line and at the end.
//   With 16 values a line that gives blocks of 240 bytes. Sections are never merged. A block
//   never exceeds maxBlockSize (at most 248): a line with more values than fit is split,
//   the rest starting a new block at the following address. A block never runs past
//   0xFFFF: the address of the byte after 0xFFFF is 0x0000 (only 16 bits), where a new
//   block starts. Whether such an image may be programmed is the caller's judgement.
// - An address line without hexadecimal digits gives address 0.
//
// Writing: every file the program writes has the address line "@%04X", lines of 16 values
// "%02X " (a space after every value, also the last), lines ended by CR LF, and "q" at the
// end where the file has an end line.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bsl/link_result.h"

namespace kv58 {

// Largest block the reader hands on: an odd start address and an odd length each add one
// byte when the block is written, and the result must fit the 250-byte block buffer.
constexpr int kMaxImageBlock = 248;

// Receives one block; a failed result stops the reading and is returned by it.
using TiTxtBlockSink = std::function<LinkResult(uint16_t address, std::span<const uint8_t> bytes)>;

// Receives each address line as it is reached, after the blocks before it: its line number
// in the file (from 1), its text without the line end, and the address the reader takes.
using TiTxtSectionSink = std::function<void(int line, const std::string& text, uint16_t address)>;

// Reads the file and hands each block to `sink` (and each address line to `sections`, when
// given). Returns Ok, FileOpenFailed, or the first failed result of `sink`. `maxBlockSize` is
// clamped to 1 … kMaxImageBlock.
LinkResult readTiTxtFile(const std::string& path, int maxBlockSize, const TiTxtBlockSink& sink,
                         const TiTxtSectionSink& sections = nullptr);

// The same for an image already in memory.
LinkResult readTiTxtText(std::string_view text, int maxBlockSize, const TiTxtBlockSink& sink,
                         const TiTxtSectionSink& sections = nullptr);

// An image read once into memory, so that every pass of a programming run sees the same
// bytes even when the file is replaced meanwhile. `name` is the file it came from (or the
// name the messages give it).
struct LoadedImage {
    std::string name;
    std::string text;
};

// Far more than any image of a 64 KB address space, however it is spaced; a larger file is
// no image, and is not read into memory.
constexpr size_t kMaxImageFileBytes = 16u << 20;

// Reads the file into `image`. False when it cannot be opened or read, or is larger than
// kMaxImageFileBytes.
[[nodiscard]] bool loadImageFile(const std::string& path, LoadedImage& image);

struct TiTxtSection {
    uint16_t address = 0;
    std::vector<uint8_t> bytes;
};

// "@%04X\r\n" and the bytes in lines of 16 "%02X " each closed by "\r\n"; a count that is
// not a multiple of 16 ends with a shorter line.
std::string formatTiTxtSection(uint16_t address, std::span<const uint8_t> bytes);
// The end line, "q\r\n".
std::string tiTxtEndLine();
// All sections, then the end line if asked for.
std::string formatTiTxt(const std::vector<TiTxtSection>& sections, bool withEndLine);

}  // namespace kv58
