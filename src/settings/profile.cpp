#include "settings/profile.h"

#include <algorithm>

#include "base/files.h"
#include "base/text.h"
#include "settings/profile_format.h"

namespace kv58 {

using profile::Encoding;
using profile::Line;
using profile::Location;

namespace {

size_t copyOut(std::string_view text, std::string& out, size_t bufferSize) {
    const size_t room = bufferSize == 0 ? 0 : bufferSize - 1;
    out.assign(text.substr(0, std::min(room, text.size())));
    return out.size();
}

// Names and values that would change the structure of the file when written: a line end
// would start a new line, an "=" would end a key name early, a "]" a section name.
bool writable(std::string_view section, std::string_view key, std::string_view value) {
    const auto hasLineEnd = [](std::string_view t) {
        return t.find_first_of("\r\n") != std::string_view::npos;
    };
    if (trimView(section).empty() || trimView(key).empty())
        return false;
    if (hasLineEnd(section) || hasLineEnd(key) || hasLineEnd(value))
        return false;
    if (section.find(']') != std::string_view::npos)
        return false;
    const std::string_view k = trimView(key);
    return k.find('=') == std::string_view::npos && k.front() != '[' && k.front() != ';';
}

std::string insertKeyInSection(const std::string& bytes, const std::vector<Line>& lines,
                               const Location& where, const std::string& keyLine,
                               std::string_view eol) {
    const Line& after = lines[where.lastKey != Location::npos ? where.lastKey : where.section];
    std::string edited = bytes.substr(0, after.next);
    if (after.next == after.end)
        edited += eol;  // the last line of the file had no line end
    edited += keyLine;
    edited += eol;
    edited += bytes.substr(after.next);
    return edited;
}

std::string appendSection(const std::string& bytes, const std::string& sectionLine,
                          const std::string& keyLine, std::string_view eol, Encoding encoding) {
    std::string edited = bytes;
    const bool endsWithLineEnd =
        !edited.empty() && (edited.back() == '\n' || edited.back() == '\r');
    if (edited.size() > profile::contentStart(encoding) && !endsWithLineEnd)
        edited += eol;
    edited += sectionLine;
    edited += eol;
    edited += keyLine;
    edited += eol;
    return edited;
}

// The file's bytes, in `encoding`, with `key` of `section` set to `value`; every other byte
// stays.
std::string withValue(const std::string& bytes, Encoding encoding, std::string_view section,
                      std::string_view key, std::string_view value) {
    const std::vector<Line> lines = profile::scanLines(bytes, profile::contentStart(encoding));
    const Location where = profile::locate(lines, encoding, section, key);
    const std::string encodedValue = profile::encode(value, encoding);
    if (where.key != Location::npos) {
        const Line& line = lines[where.key];
        return bytes.substr(0, line.valueBegin) + encodedValue + bytes.substr(line.end);
    }
    const std::string_view eol = profile::lineEnding(bytes);
    const std::string keyLine = profile::encode(key, encoding) + "=" + encodedValue;
    if (where.section != Location::npos) {
        return insertKeyInSection(bytes, lines, where, keyLine, eol);
    }
    const std::string sectionLine = "[" + profile::encode(section, encoding) + "]";
    return appendSection(bytes, sectionLine, keyLine, eol, encoding);
}

// The file as the reader sees it: Windows-1252 text without a byte-order mark.
std::string readingOf(std::string_view bytes) {
    const Encoding encoding = profile::detectEncoding(bytes);
    return profile::decode(bytes.substr(profile::contentStart(encoding)), encoding);
}

// Whether the edited file reads as the edit meant: the text read before with the one value
// set. The encoding is told from the whole file, so an edit can change how other lines read:
// a Windows-1252 file whose only bytes that are not UTF-8 stood in the old value would read
// as UTF-8 afterwards, and a value whose Windows-1252 bytes look like UTF-8 would not read
// back.
bool readsAsMeant(const std::string& before, const std::string& after, std::string_view section,
                  std::string_view key, std::string_view value) {
    return readingOf(after) == withValue(readingOf(before), Encoding::Cp1252, section, key, value);
}

}  // namespace

ProfileSnapshot::ProfileSnapshot(const std::string& path) {
    std::string bytes;
    if (readWholeFile(path, bytes) != ReadResult::Ok)
        return;
    const Encoding encoding = profile::detectEncoding(bytes);
    text_ =
        profile::decode(std::string_view(bytes).substr(profile::contentStart(encoding)), encoding);
    lines_ = profile::scanLines(text_, 0);
}

size_t ProfileSnapshot::get(std::string_view section, std::string_view key,
                            std::string_view defaultText, std::string& out,
                            size_t bufferSize) const {
    const Location where = profile::locate(lines_, Encoding::Cp1252, section, key);
    if (where.key != Location::npos)
        return copyOut(profile::keyValue(text_, lines_[where.key]), out, bufferSize);
    // find_last_not_of gives npos for an all-blank default, and npos + 1 is 0.
    return copyOut(defaultText.substr(0, defaultText.find_last_not_of(" \t") + 1), out, bufferSize);
}

size_t getProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view defaultText, std::string& out, size_t bufferSize) {
    return ProfileSnapshot(path).get(section, key, defaultText, out, bufferSize);
}

bool writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    if (!writable(section, key, value))
        return false;
    std::string bytes;
    if (readWholeFile(path, bytes) == ReadResult::Failed)
        return false;
    // A file that is plain ASCII so far has no encoding of its own; like Windows, it then
    // takes Windows-1252 bytes.
    const std::string edited =
        withValue(bytes, profile::detectEncoding(bytes), section, key, value);
    if (!readsAsMeant(bytes, edited, section, key, value))
        return false;
    return replaceFile(path, edited) == FileWriteResult::Ok;
}

}  // namespace kv58
