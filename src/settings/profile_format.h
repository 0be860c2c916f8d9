// The line structure of a profile ("INI") file, shared by the reader and the writer.
//
//   [Section]        a section header: "[" is the first non-blank character, the name runs to
//                    the first "]" and is trimmed of blanks
//   ; comment        a comment: ";" is the first non-blank character
//   Key = Value      a key: the name is the trimmed text before the first "=", the value the
//                    text after it, trimmed, and without one pair of matching enclosing quotes
//   anything else    ignored (a line without "=" is not a key)
//
// Lines end with CR LF, LF or a lone CR. Names compare without regard to ASCII letter case.
// The structural characters are ASCII, so the same scan works on Windows-1252 and on UTF-8
// bytes; only names and values need decoding.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kv58::profile {

enum class Encoding { Cp1252, Utf8, Utf8WithBom };

// A byte-order mark makes a file UTF-8; otherwise it is UTF-8 when its bytes are well-formed
// UTF-8 with at least one multi-byte character, and Windows-1252 in every other case.
Encoding detectEncoding(std::string_view bytes);
// Where the lines of the file start (after a byte-order mark).
size_t contentStart(Encoding encoding);
// Raw file bytes to Windows-1252 text, and back.
std::string decode(std::string_view bytes, Encoding encoding);
std::string encode(std::string_view text, Encoding encoding);

enum class LineKind { Other, Section, Key };

struct Line {
    size_t begin = 0;  // first byte of the line
    size_t end = 0;    // end of its content, before the line end
    size_t next = 0;   // first byte of the following line
    LineKind kind = LineKind::Other;
    std::string_view name;  // section or key name, trimmed, raw bytes
    size_t valueBegin = 0;  // Key: first byte after "=" and its following blanks
};

// Splits `bytes` from `start` on into classified lines. The views point into `bytes`.
std::vector<Line> scanLines(std::string_view bytes, size_t start);

// The line end the file uses (that of its first line), CR LF for a file without one.
std::string_view lineEnding(std::string_view bytes);

// The value of a key line as the profile calls return it: trailing blanks removed, then one
// pair of matching enclosing quotes (double or single) removed. Raw bytes.
std::string_view keyValue(std::string_view bytes, const Line& line);

// Where a key lives in a scanned file. Indexes into the line vector; npos when absent.
struct Location {
    static constexpr size_t npos = static_cast<size_t>(-1);
    size_t section = npos;  // the first section of that name
    size_t key = npos;      // the first key of that name inside it
    size_t lastKey = npos;  // the last key line of that section
};

// Finds `section` and `key` (Windows-1252 names) among the lines of a file in `encoding`.
// Only the first section of that name is searched.
Location locate(const std::vector<Line>& lines, Encoding encoding, std::string_view section,
                std::string_view key);

}  // namespace kv58::profile
