#include "device/backup_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <vector>

#include "device/backup.h"
#include "support/temp_dir.h"

namespace kv58 {
namespace {

std::tm at(int day, int minute) {
    std::tm t{};
    t.tm_year = 2026 - 1900, t.tm_mon = 0, t.tm_mday = day, t.tm_hour = 9, t.tm_min = minute;
    return t;
}

SegmentData pattern(uint8_t seed) {
    SegmentData s{};
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<uint8_t>(seed + i * 7);
    return s;
}

// Three entries as the writer appends them; entry n starts on line 25 * (n - 1) + 1.
std::string threeEntries() {
    return formatBackupEntry(at(1, 10), pattern(1), pattern(2)) +
           formatBackupEntry(at(2, 20), pattern(3), pattern(4)) +
           formatBackupEntry(at(3, 30), pattern(5), pattern(6));
}

// The file's lines, to damage one by its line number (from 1).
struct Lines {
    explicit Lines(const std::string& text) {
        std::istringstream in(text);
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
    }
    std::string text() const {
        std::string out;
        for (const auto& l : lines)
            out += l + "\n";
        return out;
    }
    Lines& set(int n, const std::string& l) { return lines.at(n - 1) = l, *this; }
    Lines& erase(int n) { return lines.erase(lines.begin() + n - 1), *this; }
    Lines& insert(int n, const std::string& l) {
        return lines.insert(lines.begin() + n - 1, l), *this;
    }
    std::vector<std::string> lines;
};

void expectIntact(const BackupEntry& e, int index, uint8_t seedA, uint8_t seedB) {
    EXPECT_TRUE(e.intact()) << "entry " << index << ": line " << e.damageLine << ": " << e.damage;
    EXPECT_EQ(e.index, index);
    EXPECT_EQ(e.segmentA, pattern(seedA)) << "entry " << index;
    EXPECT_EQ(e.segmentB, pattern(seedB)) << "entry " << index;
}

TEST(BackupReader, ReadsWhatTheWriterAppends) {
    for (const char* lineEnd : {"\n", "\r\n"}) {
        std::string text;
        for (char c : threeEntries())
            text += c == '\n' ? std::string(lineEnd) : std::string(1, c);
        const auto entries = parseBackupText(text);
        ASSERT_EQ(entries.size(), 3u);
        expectIntact(entries[0], 1, 1, 2);
        expectIntact(entries[1], 2, 3, 4);
        expectIntact(entries[2], 3, 5, 6);
        EXPECT_EQ(entries[0].line, 2);
        EXPECT_EQ(entries[2].line, 52);
        EXPECT_EQ(entries[1].dateTime, "02.01.2026 09:20");
    }
}

struct Damage {
    const char* name;
    std::function<void(Lines&)> apply;
    int damageLine;    // where the fault is reported
    const char* says;  // part of the reason
};

// Entry 2 (lines 26 to 50) is damaged; entries 1 and 3 must come through whole, with their
// indexes.
TEST(BackupReader, DamagedEntryIsReportedByLineAndTheOthersAreKept) {
    const std::vector<Damage> cases = {
        {"bad hex", [](Lines& l) { l.set(33, "00 11 22 G1 44 55 66 77 88 99 AA BB CC DD EE FF "); },
         33, "bad hex value \"G1\""},
        {"three digits",
         [](Lines& l) { l.set(30, "123 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF"); }, 30,
         "bad hex value \"123\""},
        {"short line", [](Lines& l) { l.set(42, "00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE"); },
         42, "16 values expected, found 15"},
        {"missing q", [](Lines& l) { l.erase(38); }, 38, "\"q\" expected, found \"\""},
        {"line lost", [](Lines& l) { l.erase(44); }, 49, "\"q\" too early"},
        {"line doubled", [](Lines& l) { l.insert(31, l.lines[30]); }, 38, "\"q\" expected"},
        {"wrong address", [](Lines& l) { l.set(29, "@1000"); }, 29, "\"@1080\" expected"},
        {"bad date", [](Lines& l) { l.set(27, "#========= 32.01.2026 09:20 =========="); }, 27,
         "date line"},
        {"garbled date", [](Lines& l) { l.set(27, "#\x01\x02 garbage"); }, 27, "date line"},
        {"date lost", [](Lines& l) { l.erase(27); }, 27, "date line"},
    };
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.name);
        Lines lines(threeEntries());
        c.apply(lines);
        const auto entries = parseBackupText(lines.text());
        ASSERT_EQ(entries.size(), 3u);
        expectIntact(entries[0], 1, 1, 2);
        EXPECT_FALSE(entries[1].intact());
        EXPECT_EQ(entries[1].index, 2);
        EXPECT_EQ(entries[1].damageLine, c.damageLine) << entries[1].damage;
        EXPECT_NE(entries[1].damage.find(c.says), std::string::npos) << entries[1].damage;
        expectIntact(entries[2], 3, 5, 6);
    }
}

TEST(BackupReader, TruncatedLastEntryAndRemnantsBeforeTheFirstAreDamagedEntries) {
    Lines cut(threeEntries());
    cut.lines.resize(60);  // the third entry ends after its ninth line
    auto entries = parseBackupText(cut.text());
    ASSERT_EQ(entries.size(), 3u);
    expectIntact(entries[1], 2, 3, 4);
    EXPECT_EQ(entries[2].damageLine, 60);
    EXPECT_NE(entries[2].damage.find("ends early"), std::string::npos) << entries[2].damage;

    Lines head(threeEntries());
    head.lines.erase(head.lines.begin(), head.lines.begin() + 10);  // the file lost its start
    entries = parseBackupText(head.text());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_FALSE(entries[0].intact());
    EXPECT_EQ(entries[0].line, 1);
    expectIntact(entries[1], 2, 3, 4);
    expectIntact(entries[2], 3, 5, 6);

    EXPECT_TRUE(parseBackupText("").empty());
    EXPECT_TRUE(parseBackupText("\n\n").empty());
}

TEST(BackupReader, FileErrorsNameTheFile) {
    test::TempDir dir;
    std::vector<BackupEntry> entries;
    std::string error;
    EXPECT_FALSE(readBackupFile(dir.file("none.dat"), entries, error));
    EXPECT_NE(error.find(dir.file("none.dat")), std::string::npos) << error;
    test::writeFile(dir.file("K1.dat"), threeEntries());
    ASSERT_TRUE(readBackupFile(dir.file("K1.dat"), entries, error));
    EXPECT_EQ(entries.size(), 3u);
}

}  // namespace
}  // namespace kv58
