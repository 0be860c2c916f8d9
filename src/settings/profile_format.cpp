#include "settings/profile_format.h"

#include "base/text.h"

namespace kv58::profile {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t";

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Classifies the content [begin, end) of one line.
void classify(std::string_view bytes, Line& line) {
    const std::string_view content = bytes.substr(line.begin, line.end - line.begin);
    const size_t first = content.find_first_not_of(kBlanks);
    if (first == std::string_view::npos || content[first] == ';')
        return;
    if (content[first] == '[') {
        const size_t close = content.find(']', first + 1);
        if (close == std::string_view::npos)
            return;
        line.kind = LineKind::Section;
        line.name = trimView(content.substr(first + 1, close - first - 1), kBlanks);
        return;
    }
    const size_t equals = content.find('=');
    if (equals == std::string_view::npos)
        return;
    line.kind = LineKind::Key;
    line.name = trimView(content.substr(0, equals), kBlanks);
    const size_t value = content.find_first_not_of(kBlanks, equals + 1);
    line.valueBegin = line.begin + (value == std::string_view::npos ? content.size() : value);
}

bool sameName(std::string_view raw, Encoding encoding, std::string_view wanted) {
    if (encoding == Encoding::Cp1252)
        return equalsIgnoreCase(raw, wanted);
    return equalsIgnoreCase(utf8ToCp1252(raw), wanted);
}

}  // namespace

Encoding detectEncoding(std::string_view bytes) {
    if (bytes.substr(0, kBom.size()) == kBom)
        return Encoding::Utf8WithBom;
    return isUtf8WithMultibyte(bytes) ? Encoding::Utf8 : Encoding::Cp1252;
}

size_t contentStart(Encoding encoding) {
    return encoding == Encoding::Utf8WithBom ? kBom.size() : 0;
}

std::string decode(std::string_view bytes, Encoding encoding) {
    if (encoding == Encoding::Cp1252)
        return std::string(bytes);
    return utf8ToCp1252(bytes);
}

std::string encode(std::string_view text, Encoding encoding) {
    if (encoding == Encoding::Cp1252)
        return std::string(text);
    return cp1252ToUtf8(text);
}

std::vector<Line> scanLines(std::string_view bytes, size_t start) {
    std::vector<Line> lines;
    size_t pos = start;
    while (pos < bytes.size()) {
        Line line;
        line.begin = pos;
        while (pos < bytes.size() && !isLineEnd(bytes[pos]))
            ++pos;
        line.end = pos;
        if (pos < bytes.size()) {
            const bool crlf =
                bytes[pos] == '\r' && pos + 1 < bytes.size() && bytes[pos + 1] == '\n';
            pos += crlf ? 2 : 1;
        }
        line.next = pos;
        classify(bytes, line);
        lines.push_back(line);
    }
    return lines;
}

std::string_view lineEnding(std::string_view bytes) {
    const size_t pos = bytes.find_first_of("\r\n");
    if (pos == std::string_view::npos)
        return "\r\n";
    if (bytes[pos] == '\n')
        return "\n";
    return bytes.substr(pos + 1, 1) == "\n" ? "\r\n" : "\r";
}

std::string_view keyValue(std::string_view bytes, const Line& line) {
    std::string_view value = bytes.substr(line.valueBegin, line.end - line.valueBegin);
    value = trimView(value, kBlanks);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

Location locate(const std::vector<Line>& lines, Encoding encoding, std::string_view section,
                std::string_view key) {
    Location where;
    size_t i = 0;
    for (; i < lines.size(); ++i) {
        if (lines[i].kind == LineKind::Section && sameName(lines[i].name, encoding, section)) {
            where.section = i;
            break;
        }
    }
    if (where.section == Location::npos)
        return where;
    for (++i; i < lines.size() && lines[i].kind != LineKind::Section; ++i) {
        if (lines[i].kind != LineKind::Key)
            continue;
        where.lastKey = i;
        if (where.key == Location::npos && sameName(lines[i].name, encoding, key))
            where.key = i;
    }
    return where;
}

}  // namespace kv58::profile
