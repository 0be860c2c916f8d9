// kv58ctl titxt, ports, probe and --trace, run as a user runs them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

class LinkCliTest : public ::testing::Test {
protected:
    std::string image(const std::string& content) {
        writeFile(dir.file("image.txt"), content);
        return dir.file("image.txt");
    }

    TempDir dir;
};

std::string valueLines(unsigned count, unsigned first, const char* end = "\r\n") {
    std::string out;
    char buf[8];
    for (unsigned i = 0; i < count; ++i) {
        std::snprintf(buf, sizeof buf, "%02X ", (first + i) & 0xFF);
        out += buf;
        if (i % 16 == 15 || i + 1 == count)
            out += end;
    }
    return out;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
        out.push_back(text.substr(start, nl - start));
    }
    return out;
}

TEST_F(LinkCliTest, TitxtPrintsTheBlocksOfASection) {
    const ProgramRun r = kv58ctl({"titxt", image("@F000\r\n" + valueLines(512, 0) + "q\r\n")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> lines = splitLines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0].substr(0, 9), "F000 240 ");
    EXPECT_EQ(lines[0].size(), 9u + 480u);
    EXPECT_EQ(lines[0].substr(9, 8), "00010203");
    EXPECT_EQ(lines[1].substr(0, 11), "F0F0 240 F0");
    EXPECT_EQ(lines[2], "F1E0 32 E0E1E2E3E4E5E6E7E8E9EAEBECEDEEEFF0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF");
}

TEST_F(LinkCliTest, TitxtKeepsSectionsApartAndEveryValueWhateverTheLineEnd) {
    const ProgramRun r =
        kv58ctl({"titxt", image("@1000\r\n" + valueLines(16, 0) + "@1010\n01 02 03\n" +
                                "@1020\r\n04 05 06\r\nQ7 08 \r\nq\r\n@2000\r\n09 \r\n")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "1000 16 000102030405060708090A0B0C0D0E0F\n"
              "1010 3 010203\n"
              "1020 5 040506FF08\n");
}

TEST_F(LinkCliTest, TitxtJson) {
    const ProgramRun r = kv58ctl({"--json", "titxt", image("@FFE0\r\n01 02 \r\n@0200\r\nAB \r\n")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "[\n  {\"address\": 65504, \"data\": \"0102\"},\n"
              "  {\"address\": 512, \"data\": \"AB\"}\n]\n");
    EXPECT_EQ(kv58ctl({"titxt", "--json", image("")}).out, "[]\n");
}

TEST_F(LinkCliTest, TitxtOfAMissingFileGivesTheFileMessage) {
    const ProgramRun r = kv58ctl({"titxt", dir.file("absent.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "kv58ctl: ERROR: Unable to open input file \"" + dir.file("absent.txt") + "\"!\n");
}

TEST_F(LinkCliTest, TitxtUsageErrors) {
    EXPECT_EQ(kv58ctl({"titxt"}).exitCode, 1);
    const ProgramRun r = kv58ctl({"titxt", "a", "b"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("unexpected argument b"), std::string::npos) << r.err;
}

TEST_F(LinkCliTest, PortsListsWhatTheMachineHas) {
    const ProgramRun r = kv58ctl({"ports"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(r.out.empty());
    const ProgramRun j = kv58ctl({"ports", "--json"});
    EXPECT_EQ(j.exitCode, 0) << j.err;
    EXPECT_EQ(j.out.front(), '[');
}

TEST_F(LinkCliTest, ProbeWithTraceShowsTheHandshakeOnStderr) {
    const ProgramRun r =
        kv58ctl({"--ini", dir.file("none.ini"), "--port", "sim:", "--trace", "probe"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Boot loader answers on sim: (9600,8N1).\n");
    EXPECT_NE(r.err.find(" ms  >  80\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" ms  <  90\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("|  DTR off"), std::string::npos) << r.err;
    const ProgramRun quiet = kv58ctl({"--ini", dir.file("none.ini"), "--port", "sim:", "probe"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.err.find(" ms  >  80"), std::string::npos) << "no trace without --trace";
}

TEST_F(LinkCliTest, ProbeOfAnUnknownSchemeNamesTheAcceptedForms) {
    const ProgramRun r = kv58ctl({"--ini", dir.file("none.ini"), "--port", "tcp://x:1", "probe"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("ERROR: Opening COM-Port failed!"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("accepted forms: COM3 or /dev/ttyUSB0"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kv58::test
