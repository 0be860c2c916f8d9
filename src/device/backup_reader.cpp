#include "device/backup_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "base/text.h"

namespace kv58 {

namespace {

constexpr std::string_view kDatePrefix = "#========= ";
constexpr std::string_view kDateSuffix = " ==========";
constexpr std::string_view kDateMark = "#===";  // enough of a date line to find an entry by
constexpr std::string_view kSegmentAHeading = "----- Segment A -----";
constexpr std::string_view kSegmentBHeading = "----- Segment B -----";
constexpr size_t kValuesPerLine = 16;
constexpr size_t kDataLines = kSegmentSize / kValuesPerLine;

// The file's lines with their line ends and trailing blanks removed.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        lines.push_back(line.substr(0, line.find_last_not_of(" \t\r") + 1));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

bool isDateLine(std::string_view line) {
    return line.starts_with(kDateMark);
}

// Where entries start: at date lines; at a Segment A heading that has no date line before it
// when the entry running then already had its own (the line before it, when not blank and
// not an end line, is taken for its garbled date line); and at the first text of the file.
std::vector<size_t> entryStarts(const std::vector<std::string_view>& lines) {
    std::vector<size_t> starts;
    bool segmentASeen = false;  // by the entry running
    const auto start = [&](size_t i) {
        starts.push_back(i);
        segmentASeen = false;
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (isDateLine(line)) {
            start(i);
        } else if (line == kSegmentAHeading) {
            if (starts.empty()) {
                start(i);
            } else if (segmentASeen) {
                const std::string_view before = lines[i - 1];
                const bool garbledDate = !before.empty() && before != "q" && i - 1 > starts.back();
                start(garbledDate ? i - 1 : i);
            }
            segmentASeen = true;
        } else if (starts.empty() && !line.empty()) {
            start(i);  // text before any entry: a remnant of one
        }
    }
    return starts;
}

// "06.12.2026 07:10": digits where the writer puts them, within their ranges.
bool isDateTime(std::string_view s) {
    constexpr std::string_view kForm = "99.99.9999 99:99";  // 9: a digit
    if (s.size() != kForm.size())
        return false;
    for (size_t i = 0; i < s.size(); ++i) {
        const bool digit = s[i] >= '0' && s[i] <= '9';
        if (kForm[i] == '9' ? !digit : s[i] != kForm[i])
            return false;
    }
    const auto number = [&](size_t at) { return leadingInt(s.substr(at, 2)); };
    const int day = number(0), month = number(3);
    return day >= 1 && day <= 31 && month >= 1 && month <= 12 && number(11) <= 23 &&
           number(14) <= 59;
}

// A text shown in a message: at most 12 characters of it.
std::string quoted(std::string_view text) {
    return "\"" + std::string(text.substr(0, 12)) + (text.size() > 12 ? "...\"" : "\"");
}

// Checks one entry, line by line, and takes its date and images; the first fault found ends
// the check.
class EntryReader {
public:
    EntryReader(const std::vector<std::string_view>& lines, size_t begin, size_t end,
                BackupEntry& entry)
        : lines_(lines), next_(begin), end_(end), entry_(entry) {
        while (end_ > begin && lines_[end_ - 1].empty())
            --end_;  // blank lines between entries
    }

    void read() {
        const bool ok = dateLine() && exactLine(kSegmentAHeading) &&
                        segment(kSegmentAAddress, entry_.segmentA) && exactLine("") &&
                        exactLine(kSegmentBHeading) && segment(kSegmentBAddress, entry_.segmentB);
        if (ok && next_ < end_)
            fail(next_, "text after the entry's last line \"q\"");
    }

private:
    // The next line, or nothing when the entry has ended (reported as too short).
    std::optional<std::string_view> take(std::string_view expected) {
        if (next_ >= end_) {
            fail(end_ - 1,
                 "the entry ends early (25 lines expected), " + std::string(expected) + " missing");
            return std::nullopt;
        }
        return lines_[next_++];
    }

    bool fail(size_t index, const std::string& reason) {
        entry_.damage = reason;
        entry_.damageLine = static_cast<int>(index) + 1;
        return false;
    }

    bool exactLine(std::string_view text) {
        const std::string expected = text.empty() ? "empty line" : quoted(text);
        const auto line = take(expected);
        if (!line)
            return false;
        return *line == text || fail(next_ - 1, expected + " expected, found " + quoted(*line));
    }

    bool dateLine() {
        const auto line = take("date line");
        if (!line)
            return false;
        const bool framed = line->size() > kDatePrefix.size() + kDateSuffix.size() &&
                            line->starts_with(kDatePrefix) && line->ends_with(kDateSuffix);
        const std::string_view stamp =
            framed ? line->substr(kDatePrefix.size(),
                                  line->size() - kDatePrefix.size() - kDateSuffix.size())
                   : std::string_view();
        if (!framed || !isDateTime(stamp)) {
            return fail(next_ - 1,
                        "date line \"#========= dd.mm.yyyy hh:mm ==========\" "
                        "expected, found " +
                            quoted(*line));
        }
        entry_.dateTime = std::string(stamp);
        return true;
    }

    bool segment(uint16_t address, SegmentData& image) {
        const std::string addressLine = strprintf("@%04X", address);
        const auto line = take(quoted(addressLine));
        if (!line)
            return false;
        if (!equalsIgnoreCase(*line, addressLine)) {
            return fail(next_ - 1, quoted(addressLine) + " expected, found " + quoted(*line));
        }
        for (size_t row = 0; row < kDataLines; ++row) {
            const auto data = take("a line of 16 values");
            if (!data || !dataLine(*data, &image[row * kValuesPerLine]))
                return false;
        }
        return exactLine("q");
    }

    // 16 values of one or two hexadecimal digits, separated by blanks.
    bool dataLine(std::string_view line, uint8_t* out) {
        if (line == "q")
            return fail(next_ - 1, "\"q\" too early: the image has fewer than 8 lines");
        size_t count = 0;
        for (size_t pos = line.find_first_not_of(" \t"); pos != std::string_view::npos;
             pos = line.find_first_not_of(" \t", pos)) {
            const size_t stop = std::min(line.find_first_of(" \t", pos), line.size());
            const std::string_view token = line.substr(pos, stop - pos);
            pos = stop;
            if (token.size() > 2 || !std::all_of(token.begin(), token.end(),
                                                 [](char c) { return hexDigitValue(c) >= 0; })) {
                return fail(next_ - 1, "bad hex value " + quoted(token));
            }
            if (count == kValuesPerLine)
                return fail(next_ - 1, "more than 16 values");
            int value = 0;
            for (char c : token)
                value = value * 16 + hexDigitValue(c);
            out[count++] = static_cast<uint8_t>(value);
        }
        if (count == kValuesPerLine)
            return true;
        return fail(next_ - 1, strprintf("16 values expected, found %zu", count));
    }

    const std::vector<std::string_view>& lines_;
    size_t next_;
    size_t end_;
    BackupEntry& entry_;
};

}  // namespace

std::vector<BackupEntry> parseBackupText(std::string_view text) {
    const std::vector<std::string_view> lines = splitLines(text);
    const std::vector<size_t> starts = entryStarts(lines);
    std::vector<BackupEntry> entries;
    for (size_t n = 0; n < starts.size(); ++n) {
        BackupEntry entry;
        entry.index = static_cast<int>(n) + 1;
        entry.line = static_cast<int>(starts[n]) + 1;
        const size_t end = n + 1 < starts.size() ? starts[n + 1] : lines.size();
        EntryReader(lines, starts[n], end, entry).read();
        if (!entry.intact()) {
            entry.segmentA = {};
            entry.segmentB = {};
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool readBackupFile(const std::string& path, std::vector<BackupEntry>& entries,
                    std::string& error) {
    entries.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = strprintf("cannot open %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    std::string text;
    char buffer[64 * 1024];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 &&
           text.size() <= kMaxBackupFileSize) {
        text.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = strprintf("cannot read %s", path.c_str());
        return false;
    }
    if (text.size() > kMaxBackupFileSize) {
        error = strprintf("%s is larger than %zu MiB: not a backup file", path.c_str(),
                          kMaxBackupFileSize / (1024 * 1024));
        return false;
    }
    entries = parseBackupText(text);
    return true;
}

bool isErased(const SegmentData& segment) {
    return std::all_of(segment.begin(), segment.end(), [](uint8_t b) { return b == 0xFF; });
}

std::string isoDateTime(const BackupEntry& entry) {
    // "dd.mm.yyyy hh:mm", checked when the entry was read.
    const std::string& d = entry.dateTime;
    if (d.size() != 16)
        return {};
    return d.substr(6, 4) + "-" + d.substr(3, 2) + "-" + d.substr(0, 2) + "T" + d.substr(11, 5);
}

}  // namespace kv58
