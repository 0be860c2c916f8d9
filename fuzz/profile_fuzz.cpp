// The profile-file reader and writer on arbitrary files:
// - the line scan stays inside the file; reads never overrun their buffer size;
// - a key that is written reads back with the value written, and another key of the file
//   keeps the value it had;
// - the write changes only the bytes of its key's line: either the line's text between two
//   line ends is edited in place and is then "key=value", or the old bytes all stay and what
//   is added holds only that key's line (and its section's header when the section was
//   missing);
// - a write is refused only in a Windows-1252 file whose other lines would read otherwise
//   afterwards, and then the file stays byte for byte.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "settings/profile.h"
#include "settings/profile_format.h"

using namespace kv58;

namespace {

struct Target {
    const char* section;
    const char* key;
};
// A key that settings files hold, one of a section that they hold, one of a new section.
constexpr Target kTargets[] = {{"COM", "Port"}, {"Program", "NewKey"}, {"Fuzz", "Key"}};

// A plain value for the round trip: letters and digits taken from the input.
std::string plainValue(const uint8_t* data, size_t size) {
    std::string v;
    for (size_t i = 0; i < size && v.size() < 12; ++i) {
        const char c = static_cast<char>(data[i]);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))
            v += c;
    }
    return v.empty() ? "X" : v;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// "key=value" up to blanks around the name and the value.
bool isKeyLine(std::string_view line, const Target& t, const std::string& value) {
    const size_t equals = line.find('=');
    return equals != std::string_view::npos &&
           lower(trimmed(line.substr(0, equals))) == lower(t.key) &&
           trimmed(line.substr(equals + 1)) == value;
}

// The lines' texts; CR LF, LF and a lone CR end a line, and a last line end starts no line.
std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t begin = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(begin, i - begin));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        begin = i + 1;
    }
    if (begin < text.size())
        lines.push_back(text.substr(begin));
    return lines;
}

// Lines of `before` that `after` no longer has, and lines it has anew, between the lines
// both share at their start and at their end. The write either edits one line in place, into
// the key's line, or adds the key's line (after its section's header when the section is
// new) and removes nothing.
void checkOnlyTheKeyLineChanged(std::string_view before, std::string_view after, const Target& t,
                                const std::string& value) {
    // A byte-order mark stays where it is and belongs to no line.
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (before.substr(0, 3) == kBom) {
        KV58_FUZZ_CHECK(after.substr(0, 3) == kBom);
        before.remove_prefix(3);
        after.remove_prefix(3);
    }
    const auto old = linesOf(before), now = linesOf(after);
    size_t head = 0;
    while (head < old.size() && head < now.size() && old[head] == now[head])
        ++head;
    size_t tail = 0;
    while (tail < old.size() - head && tail < now.size() - head &&
           old[old.size() - 1 - tail] == now[now.size() - 1 - tail]) {
        ++tail;
    }
    const size_t removed = old.size() - head - tail;
    const std::vector<std::string_view> added(now.begin() + static_cast<std::ptrdiff_t>(head),
                                              now.end() - static_cast<std::ptrdiff_t>(tail));
    if (removed == 0 && added.empty())
        return;  // the key held that value already
    KV58_FUZZ_CHECK(removed <= 1 && !added.empty());
    KV58_FUZZ_CHECK(isKeyLine(added.back(), t, value));
    if (added.size() == 2) {
        KV58_FUZZ_CHECK(removed == 0);
        KV58_FUZZ_CHECK(lower(trimmed(added[0])) == "[" + lower(t.section) + "]");
    }
    KV58_FUZZ_CHECK(added.size() <= 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto encoding = profile::detectEncoding(bytes);
    for (const profile::Line& line : profile::scanLines(bytes, profile::contentStart(encoding))) {
        KV58_FUZZ_CHECK(line.begin <= line.end && line.end <= line.next && line.next <= size);
    }
    const std::string& path = fuzz::inputFile("profile");
    fuzz::writeInput(path, data, size);
    std::string port, baud;
    getProfileString(path, "COM", "Port", "", port);
    getProfileString(path, "COM", "Baud", "9600", baud);
    getProfileString(path, "PWfile", "PW01", "", port, 14);
    KV58_FUZZ_CHECK(port.size() < 14);

    const Target& target = kTargets[size % 3];
    const std::string value = plainValue(data, size);
    std::string before, after, readBack;
    getProfileString(path, "Program", "WaitSeg", "(none)", before);
    if (!writeProfileString(path, target.section, target.key, value)) {
        // Refused only where the file would read otherwise afterwards: a Windows-1252 file
        // (bytes above 0x7F that are not UTF-8) whose other lines would then read as UTF-8.
        // It is left byte for byte.
        std::string unchanged;
        KV58_FUZZ_CHECK(fuzz::readInput(path, unchanged) && unchanged == bytes);
        KV58_FUZZ_CHECK(encoding == profile::Encoding::Cp1252);
        KV58_FUZZ_CHECK(std::any_of(bytes.begin(), bytes.end(),
                                    [](char c) { return static_cast<unsigned char>(c) > 0x7F; }));
        return 0;
    }
    getProfileString(path, target.section, target.key, "", readBack);
    KV58_FUZZ_CHECK(readBack == value);
    getProfileString(path, "Program", "WaitSeg", "(none)", after);
    KV58_FUZZ_CHECK(before == after);

    std::string written;
    KV58_FUZZ_CHECK(fuzz::readInput(path, written));
    checkOnlyTheKeyLineChanged(bytes, written, target, value);
    return 0;
}
