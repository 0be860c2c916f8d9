// kv58ctl settings, ini and key, run as a user runs them.
#include <gtest/gtest.h>

#include <string>

#include "settings/limits_key.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace kv58 {
namespace {

using test::contains;
using test::kv58ctl;
using test::ProgramRun;
using test::readFile;
using test::TempDir;
using test::writeFile;

class SettingsCli : public ::testing::Test {
protected:
    TempDir dir;
    std::string ini = dir.file("KV58.ini");
};

TEST_F(SettingsCli, ShippedDemoFileLoadsBesideTheProgram) {
    const ProgramRun r = kv58ctl({"settings", "--json"});  // no --ini: bin/KV58.ini
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string expected =
        "{\"Port\": \"sim:?state=kv58-sim.state\", \"Baud\": 9600, \"DataBit\": 8, "
        "\"StopBit\": 1, \"Parity\": \"even\", \"AutoDTR\": false, \"InvertDTR\": false, "
        "\"InvertRTS\": false, \"WaitPrg\": 0, \"WaitSeg\": 2, \"MaxWriteCnt\": 3, "
        "\"TSym\": \"\xC2\xB0\", \"SaveData\": true, \"SavePath\": \".\\\\backup\", "
        "\"PasswordFiles\": [\"KV58-PW.TXT\"], \"Limits\": [-40, 120, 20, -40, 248, 36], "
        "\"IniPath\": \"" KV58_BIN_DIR "/KV58.ini\", \"LastValuePath\": \"" KV58_BIN_DIR
        "/KV58.lkd\", \"Searched\": [\"" KV58_BIN_DIR "/KV58.ini\"]}\n";
    EXPECT_EQ(r.out, expected);
    const ProgramRun text = kv58ctl({"settings"});
    EXPECT_TRUE(contains(text.out, "\nSearched       " KV58_BIN_DIR "/KV58.ini (used)\n"))
        << text.out;
}

TEST_F(SettingsCli, PortOnlyFileAndPortOverride) {
    writeFile(ini, "[COM]\r\nPort=COM2\r\n[Program]\r\nT-Sym=\r\n");
    ProgramRun r = kv58ctl({"--ini", ini, "settings"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Port           COM2\n"));
    EXPECT_TRUE(contains(r.out, "StopBit        1\n"));
    EXPECT_TRUE(contains(r.out, "TSym           \xC2\xB0\n"));
    EXPECT_TRUE(contains(r.out, "SavePath       .\\\n"));
    EXPECT_TRUE(contains(r.out, "Limits         0 0 0 0 0 0\n"));
    r = kv58ctl({"settings", "--port", "sim:", "--ini", ini, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "\"Port\": \"sim:\""));
}

TEST_F(SettingsCli, ConversionsAsTheProgramMakesThem) {
    // Leading-number conversion, the stop-bit and yes/no rules, and a password list that
    // ends at its first empty key.
    writeFile(ini,
              "[COM]\r\nPort=COM2\r\nBaud=19200abc\r\nStopBit=1.5\r\nAutoDTR=Ja\r\n"
              "Parity=odd\r\n[Program]\r\nSaveData=nein\r\nMaxWriteCnt=x\r\n"
              "[PWfile]\r\nPW01=A.TXT\r\nPW02=\r\nPW03=C.TXT\r\n");
    const ProgramRun r = kv58ctl({"--ini", ini, "settings", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* part :
         {"\"Baud\": 19200,", "\"StopBit\": 15,", "\"Parity\": \"odd\",", "\"AutoDTR\": true,",
          "\"MaxWriteCnt\": 0,", "\"SaveData\": false,", "\"PasswordFiles\": [\"A.TXT\"],"}) {
        EXPECT_TRUE(contains(r.out, part)) << part << " in " << r.out;
    }
}

TEST_F(SettingsCli, BrokenFilesExitWithTwoAndNameFileSectionAndKey) {
    writeFile(ini,
              "[COM]\r\nPort=COM1\r\n[PWfile]\r\nPW01=A.TXT\r\nPW02=B.TXT\r\n"
              "PW03=ABCDEFGHI.TXT\r\n");
    ProgramRun r = kv58ctl({"--ini", ini, "settings", "--json"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(contains(r.out, "{\"ok\": false, \"error\": ")) << r.out;
    EXPECT_TRUE(contains(r.out, "PW03: the password file name <ABCDEFGHI.TXT> is longer")) << r.out;
    EXPECT_TRUE(contains(r.err, "Dateiname f\xC3\xBCr Passwortfile aus INI-Datei lesen."));
    EXPECT_TRUE(contains(r.err, "<ABCDEFGHI.TXT> hat nicht das geforderte 8.3-Format!"));
    EXPECT_TRUE(contains(r.err, "ERROR reading INI-File!"));
    EXPECT_TRUE(contains(r.err, ini + ": [PWfile] PW03:")) << r.err;

    writeFile(ini, "[COM]\r\nBaud=9600\r\n");
    r = kv58ctl({"--ini", ini, "settings"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(contains(r.err, "--port")) << r.err;
    EXPECT_TRUE(contains(r.err, ini + ": [COM] Port:")) << r.err;

    writeFile(ini, "[COM]\r\nPort=COM1\r\n[Program]\r\nKey01=" +
                       EncodeKey({-40, 120, 200, -40, 248, 36}) + "\r\n");
    r = kv58ctl({"--ini", ini, "settings"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(contains(r.err, ini + ": [Program] Key01:")) << r.err;
}

TEST_F(SettingsCli, IniGetReturnsTextAndCountAsTheProgramReadsThem) {
    writeFile(ini, "\xEF\xBB\xBF[Program]\nT-Sym=\xC2\xB0\nSavePath = ' .\\x '\nEmpty=\n");
    EXPECT_EQ(kv58ctl({"ini", "get", ini, "program", "t-sym"}).out, "\xC2\xB0\n1\n");
    EXPECT_EQ(kv58ctl({"ini", "get", ini, "Program", "SavePath"}).out, " .\\x \n5\n");
    EXPECT_EQ(kv58ctl({"ini", "get", ini, "Program", "Empty", "--default", "d"}).out, "\n0\n");
    EXPECT_EQ(kv58ctl({"ini", "get", ini, "Program", "None", "--default", "dflt  "}).out,
              "dflt\n4\n");
    EXPECT_EQ(kv58ctl({"ini", "get", ini, "Program", "SavePath", "--size", "3"}).out, " .\n2\n");
    EXPECT_EQ(kv58ctl({"--json", "ini", "get", ini, "Program", "T-Sym"}).out,
              "{\"text\": \"\xC2\xB0\", \"count\": 1}\n");
    const ProgramRun bad = kv58ctl({"ini", "get", ini, "Program", "T-Sym", "--size", "x"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(contains(bad.err, "--size"));
}

TEST_F(SettingsCli, IniSetKeepsTheFilesEncodingAndComments) {
    writeFile(ini, "; bench\r\n[COM]\r\nPort=COM1\r\n");
    ASSERT_EQ(kv58ctl({"ini", "set", ini, "COM", "Port", "COM3"}).exitCode, 0);
    ASSERT_EQ(kv58ctl({"ini", "set", ini, "Program", "T-Sym", "\xC2\xB0"}).exitCode, 0);
    EXPECT_EQ(readFile(ini), "; bench\r\n[COM]\r\nPort=COM3\r\n[Program]\r\nT-Sym=\xB0\r\n");
    EXPECT_EQ(kv58ctl({"ini", "set", dir.file("no/dir.ini"), "S", "k", "v"}).exitCode, 1);
}

TEST_F(SettingsCli, KeyEncodeAndDecode) {
    const ProgramRun made = kv58ctl({"key", "encode", "-40", "120", "20", "-40", "248", "36"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    ASSERT_EQ(made.out.size(), 63u);
    const ProgramRun plain = kv58ctl({"key", "decode", made.out.substr(0, 62)});
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_EQ(plain.out, "v-040b+120d+020v-040b+248d+036\n");

    std::string damaged = made.out.substr(0, 62);
    damaged[0] = damaged[0] == '7' ? '6' : '7';
    const ProgramRun mismatch = kv58ctl({"key", "decode", damaged});
    EXPECT_EQ(mismatch.exitCode, 1);
    EXPECT_EQ(mismatch.out, "\n");

    EXPECT_EQ(kv58ctl({"key", "encode", "-40", "120", "200", "-40", "248", "36"}).exitCode, 1);
    EXPECT_EQ(kv58ctl({"key", "encode", "-40", "120", "20", "-40", "248"}).exitCode, 1);
    EXPECT_EQ(kv58ctl({"key", "encode", "-40", "1200", "20", "-40", "248", "36"}).exitCode, 1);
}

}  // namespace
}  // namespace kv58
