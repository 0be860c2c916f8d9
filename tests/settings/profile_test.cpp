#include "settings/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace kv58 {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

// Reads one key the way the program does (1024-byte buffer unless given) and returns the
// text; the count lands in `count`.
std::string get(const std::string& path, std::string_view section, std::string_view key,
                std::string_view def = "DEF", size_t* count = nullptr, size_t size = 1024) {
    std::string out = "garbage";
    const size_t n = getProfileString(path, section, key, def, out, size);
    if (count)
        *count = n;
    EXPECT_EQ(n, out.size());
    return out;
}

class ProfileRead : public ::testing::Test {
protected:
    TempDir dir;
    std::string ini = dir.file("a.ini");
};

TEST_F(ProfileRead, NamesIgnoreCaseAndBlanksAroundNamesAndValues) {
    writeFile(ini, "  [ Com ]  \r\n\t baud\t=  19200 \t\r\n");
    EXPECT_EQ(get(ini, "COM", "Baud"), "19200");
    EXPECT_EQ(get(ini, "com", "BAUD"), "19200");
}

TEST_F(ProfileRead, OnePairOfMatchingQuotesIsRemovedOthersStay) {
    writeFile(ini,
              "[S]\n"
              "d=\" a b \"\n"
              "s='x'\n"
              "twice=\"\"x\"\"\n"
              "mixed=\"a b'\n"
              "lone=\"abc\n"
              "one=\"\n");
    EXPECT_EQ(get(ini, "S", "d"), " a b ");
    EXPECT_EQ(get(ini, "S", "s"), "x");
    EXPECT_EQ(get(ini, "S", "twice"), "\"x\"");
    EXPECT_EQ(get(ini, "S", "mixed"), "\"a b'");
    EXPECT_EQ(get(ini, "S", "lone"), "\"abc");
    EXPECT_EQ(get(ini, "S", "one"), "\"");
}

TEST_F(ProfileRead, CommentsOnlyAtTheStartOfALine) {
    writeFile(ini,
              "[S]\n"
              "; k=commented\n"
              "  ;k=also commented\n"
              "k=value ; not a comment\n");
    EXPECT_EQ(get(ini, "S", "k"), "value ; not a comment");
}

TEST_F(ProfileRead, FirstSectionAndFirstKeyWin) {
    writeFile(ini,
              "[S]\n"
              "k=first\n"
              "k=second\n"
              "[T]\n"
              "only=t\n"
              "[s]\n"
              "k=third\n"
              "late=only in the second S\n");
    EXPECT_EQ(get(ini, "S", "k"), "first");
    EXPECT_EQ(get(ini, "S", "late"), "DEF");
    EXPECT_EQ(get(ini, "T", "only"), "t");
}

TEST_F(ProfileRead, LinesThatAreNoKeysOrSectionsAreSkipped) {
    writeFile(ini,
              "top=before any section\n"
              "[S]\n"
              "k\n"
              "[broken\n"
              "x=in S still\n");
    EXPECT_EQ(get(ini, "S", "k"), "DEF");
    EXPECT_EQ(get(ini, "S", "x"), "in S still");
    EXPECT_EQ(get(ini, "", "top"), "DEF");
}

TEST_F(ProfileRead, MissingFileSectionOrKeyGivesTheDefaultWithoutTrailingBlanks) {
    size_t n = 99;
    EXPECT_EQ(get(dir.file("none.ini"), "S", "k", "  dflt \t ", &n), "  dflt");
    EXPECT_EQ(n, 6u);
    writeFile(ini, "[S]\nk=1\n");
    EXPECT_EQ(get(ini, "T", "k", "d"), "d");
    EXPECT_EQ(get(ini, "S", "j", "d"), "d");
    EXPECT_EQ(get(ini, "S", "j", "   ", &n), "");
    EXPECT_EQ(n, 0u);
}

TEST_F(ProfileRead, EmptyValueIsEmptyNotTheDefault) {
    writeFile(ini, "[S]\nk=\nq=  \"\"  \n");
    size_t n = 99;
    EXPECT_EQ(get(ini, "S", "k", "dflt", &n), "");
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(get(ini, "S", "q", "dflt"), "");
}

TEST_F(ProfileRead, ResultIsCutToTheBufferSizeMinusOne) {
    writeFile(ini, "[S]\nk=abcdef\n");
    size_t n = 0;
    EXPECT_EQ(get(ini, "S", "k", "", &n, 4), "abc");
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(get(ini, "S", "k", "", &n, 1), "");
    EXPECT_EQ(get(ini, "S", "k", "", &n, 0), "");
    EXPECT_EQ(get(ini, "S", "missing", "xyz", &n, 3), "xy");
    const std::string longValue(2000, 'v');
    writeFile(ini, "[S]\nk=" + longValue + "\n");
    EXPECT_EQ(get(ini, "S", "k", "", &n), longValue.substr(0, 1023));
}

TEST_F(ProfileRead, EveryLineEndStyleReads) {
    for (const std::string eol : {"\r\n", "\n", "\r"}) {
        writeFile(ini, "[A]" + eol + "k=1" + eol + "[B]" + eol + "k=2");
        EXPECT_EQ(get(ini, "A", "k"), "1") << "line end " << eol.size();
        EXPECT_EQ(get(ini, "B", "k"), "2") << "line end " << eol.size();
    }
}

TEST_F(ProfileRead, Utf8FilesReadLikeTheirWindows1252Twins) {
    const std::string cp1252 = "[Program]\r\nT-Sym=\xB0\r\nName=M\xFCller\r\n";
    const std::string utf8 = "[Program]\r\nT-Sym=\xC2\xB0\r\nName=M\xC3\xBCller\r\n";
    writeFile(ini, cp1252);
    EXPECT_EQ(get(ini, "Program", "T-Sym"), "\xB0");
    writeFile(ini, utf8);
    EXPECT_EQ(get(ini, "Program", "T-Sym"), "\xB0");
    EXPECT_EQ(get(ini, "Program", "Name"), "M\xFCller");
    // With a byte-order mark the first section is still found.
    writeFile(ini, "\xEF\xBB\xBF" + utf8);
    EXPECT_EQ(get(ini, "Program", "T-Sym"), "\xB0");
    writeFile(ini, "\xEF\xBB\xBF[Program]\nT-Sym=x\n");
    EXPECT_EQ(get(ini, "program", "t-sym"), "x");
}

// The settings load reads the file once and looks every key up in that copy; the copy answers
// exactly as a call per key would, and later changes of the file do not reach it.
TEST_F(ProfileRead, SnapshotAnswersLikeTheCallsFromOneReadOfTheFile) {
    writeFile(
        ini,
        "\xEF\xBB\xBF[COM]\r\nPort = 'COM3'  \r\n[com]\r\nBaud=1\r\n[Program]\nT-Sym=\xC2\xB0\n");
    const ProfileSnapshot snapshot(ini);
    for (const auto& [section, key] : std::vector<std::pair<std::string, std::string>>{
             {"com", "port"}, {"COM", "Baud"}, {"Program", "T-Sym"}, {"None", "x"}}) {
        std::string out;
        const size_t n = snapshot.get(section, key, "DEF  ", out);
        EXPECT_EQ(out, get(ini, section, key, "DEF  ")) << section << "/" << key;
        EXPECT_EQ(n, out.size());
    }
    std::string cut;
    EXPECT_EQ(snapshot.get("COM", "Port", "", cut, 3), 2u);
    EXPECT_EQ(cut, "CO");
    writeFile(ini, "[COM]\nPort=COM9\n");
    std::string port;
    snapshot.get("COM", "Port", "", port);
    EXPECT_EQ(port, "COM3") << "the snapshot was read once, when it was made";
    const ProfileSnapshot missing(dir.file("none.ini"));
    missing.get("COM", "Port", "x ", port);
    EXPECT_EQ(port, "x");
}

class ProfileWrite : public ::testing::Test {
protected:
    TempDir dir;
    std::string ini = dir.file("a.ini");
};

TEST_F(ProfileWrite, CreatesTheFileAndTheSection) {
    ASSERT_TRUE(writeProfileString(ini, "LastValue", "TMin", "-40"));
    EXPECT_EQ(readFile(ini), "[LastValue]\r\nTMin=-40\r\n");
    ASSERT_TRUE(writeProfileString(ini, "LastValue", "TMax", "120"));
    ASSERT_TRUE(writeProfileString(ini, "Other", "k", "v"));
    EXPECT_EQ(readFile(ini), "[LastValue]\r\nTMin=-40\r\nTMax=120\r\n[Other]\r\nk=v\r\n");
}

TEST_F(ProfileWrite, ReplacesInPlaceAndKeepsEveryOtherByte) {
    const std::string before =
        "; Settings of the bench\r\n"
        "[COM]\r\n"
        "; the adapter's port\r\n"
        "  port =  COM1   \r\n"
        "Port=COM9\r\n"
        "Baud=9600 ; fast enough\r\n"
        "\r\n"
        "[Program]\r\n"
        "WaitSeg=2\r\n"
        "[com]\r\n"
        "Port=COM8\r\n";
    writeFile(ini, before);
    ASSERT_TRUE(writeProfileString(ini, "com", "PORT", "COM3"));
    std::string expected = before;
    expected.replace(expected.find("COM1   "), 7, "COM3");
    EXPECT_EQ(readFile(ini), expected);
    EXPECT_EQ(get(ini, "COM", "Port"), "COM3");
}

TEST_F(ProfileWrite, AWriteThatWouldChangeHowOtherLinesReadLeavesTheFile) {
    // Windows-1252: the degree sign alone is no UTF-8, so "\xC3\xA9" reads as two characters.
    const std::string cp1252 = "[Program]\r\nName=\xC3\xA9\r\n[COM]\r\nPort=\xB0\r\n";
    writeFile(ini, cp1252);
    ASSERT_EQ(get(ini, "Program", "Name"), "\xC3\xA9");
    // Without the degree sign the whole file would be UTF-8 and Name would read as one.
    EXPECT_FALSE(writeProfileString(ini, "COM", "Port", "COM3"));
    EXPECT_EQ(readFile(ini), cp1252);
    EXPECT_TRUE(writeProfileString(ini, "COM", "Port", "\xB0\xB0"));
    EXPECT_EQ(get(ini, "Program", "Name"), "\xC3\xA9");
    // A value whose Windows-1252 bytes would read as UTF-8 in a file of plain ASCII.
    writeFile(ini, "[A]\r\nk=1\r\n");
    EXPECT_FALSE(writeProfileString(ini, "A", "k", "\xC3\xA9"));
    EXPECT_EQ(get(ini, "A", "k"), "1");
    // In a UTF-8 file the same value is written as UTF-8 and reads back.
    writeFile(ini, "[A]\r\nk=\xC2\xB0\r\n");
    EXPECT_TRUE(writeProfileString(ini, "A", "k", "\xC3\xA9"));
    EXPECT_EQ(get(ini, "A", "k"), "\xC3\xA9");
}

TEST_F(ProfileWrite, NewKeyGoesAfterTheLastKeyOfItsSection) {
    writeFile(ini,
              "[COM]\n"
              "Port=COM1\n"
              "\n"
              "; timing of the programming runs\n"
              "[Program]\n"
              "WaitSeg=2\n");
    ASSERT_TRUE(writeProfileString(ini, "COM", "InvertDTR", "yes"));
    ASSERT_TRUE(writeProfileString(ini, "Program", "WaitPrg", "0"));
    EXPECT_EQ(readFile(ini),
              "[COM]\n"
              "Port=COM1\n"
              "InvertDTR=yes\n"
              "\n"
              "; timing of the programming runs\n"
              "[Program]\n"
              "WaitSeg=2\n"
              "WaitPrg=0\n");
}

TEST_F(ProfileWrite, SectionWithoutKeysAndFileWithoutFinalLineEnd) {
    writeFile(ini, "[Empty]\r\n[Last]\r\nk=1");
    ASSERT_TRUE(writeProfileString(ini, "Empty", "a", "x"));
    ASSERT_TRUE(writeProfileString(ini, "Last", "b", "y"));
    EXPECT_EQ(readFile(ini), "[Empty]\r\na=x\r\n[Last]\r\nk=1\r\nb=y\r\n");
    writeFile(ini, "[S]\nk=1");
    ASSERT_TRUE(writeProfileString(ini, "T", "k", "2"));
    EXPECT_EQ(readFile(ini), "[S]\nk=1\n[T]\nk=2\n");
}

TEST_F(ProfileWrite, KeepsTheFilesEncoding) {
    writeFile(ini, "[S]\nT-Sym=\xB0\n");
    ASSERT_TRUE(writeProfileString(ini, "S", "Display",
                                   "%RH / \xB0"
                                   "C"));
    EXPECT_EQ(readFile(ini),
              "[S]\nT-Sym=\xB0\nDisplay=%RH / \xB0"
              "C\n");

    writeFile(ini, "\xEF\xBB\xBF[S]\nT-Sym=\xC2\xB0\n");
    ASSERT_TRUE(writeProfileString(ini, "S", "T-Sym", "\xB5"));
    ASSERT_TRUE(writeProfileString(ini, "S", "Display",
                                   "\xB0"
                                   "F"));
    EXPECT_EQ(readFile(ini),
              "\xEF\xBB\xBF[S]\nT-Sym=\xC2\xB5\nDisplay=\xC2\xB0"
              "F\n");
    EXPECT_EQ(get(ini, "S", "Display"),
              "\xB0"
              "F");

    writeFile(ini, "[S]\nName=M\xC3\xBCller\n");
    ASSERT_TRUE(writeProfileString(ini, "S", "T", "\xB0"));
    EXPECT_EQ(readFile(ini), "[S]\nName=M\xC3\xBCller\nT=\xC2\xB0\n");
}

TEST_F(ProfileWrite, RefusesWhatWouldBreakTheFileAndLeavesItAlone) {
    const std::string before = "[S]\nk=1\n";
    writeFile(ini, before);
    EXPECT_FALSE(writeProfileString(ini, "S", "k", "1\r\n[Evil]\r\nx=y"));
    EXPECT_FALSE(writeProfileString(ini, "S", "a=b", "1"));
    EXPECT_FALSE(writeProfileString(ini, "S]x", "k", "1"));
    EXPECT_FALSE(writeProfileString(ini, "", "k", "1"));
    EXPECT_FALSE(writeProfileString(ini, "S", " ", "1"));
    EXPECT_FALSE(writeProfileString(ini, "S", ";k", "1"));
    EXPECT_EQ(readFile(ini), before);
}

TEST_F(ProfileWrite, LeavesNoTemporaryFilesAndFailsCleanly) {
    writeFile(ini, "[S]\nk=1\n");
    ASSERT_TRUE(writeProfileString(ini, "S", "k", "2"));
    EXPECT_FALSE(writeProfileString(dir.file("no/such/folder.ini"), "S", "k", "1"));
    EXPECT_FALSE(writeProfileString(dir.path(), "S", "k", "1"));
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        ++files;
        EXPECT_EQ(entry.path().filename(), "a.ini");
    }
    EXPECT_EQ(files, 1u);
}

}  // namespace
}  // namespace kv58
