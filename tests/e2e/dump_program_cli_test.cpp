// kv58ctl dump and program against the simulated transmitter, as separate runs that share
// the transmitter through its state file.
#include <gtest/gtest.h>

#include <filesystem>

#include "bsl/titxt.h"
#include "sim/transmitter_contents.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

std::vector<uint8_t> bytesOf(const sim::SegmentBytes& segment) {
    return {segment.begin(), segment.end()};
}

class DumpProgramCli : public ::testing::Test {
protected:
    DumpProgramCli() {
        for (const char* file : {"PATCH.TXT", "KV58-PW.TXT"})
            writeFile(dir.file(file),
                      readFile(std::string(KV58_SOURCE_DIR) + "/resources/shipped/" + file));
        writeFile(ini,
                  "[COM]\r\nPort=sim:?state=sim.state\r\nBaud=115200\r\nParity=even\r\n"
                  "[PWfile]\r\nPW01=KV58-PW.TXT\r\n");
    }
    ProgramRun ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--ini", ini});
        return kv58ctl(args, dir.path());
    }

    TempDir dir;
    std::string ini = dir.file("test.ini");
};

TEST(DumpCli, PrintsTheSimulatedSegmentAWithTheInstalledSettings) {
    // The settings file beside kv58ctl; its password file is found there, not in the
    // working directory.
    TempDir elsewhere;
    const ProgramRun r = kv58ctl({"--port", "sim:", "dump", "A"}, elsewhere.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, formatTiTxt({{0x1080, bytesOf(sim::buildSegmentA({}))}}, true));
}

TEST_F(DumpProgramCli, ProgramRewritesTheTransmitterOnlyWhenConfirmed) {
    sim::TransmitterRecipe other;
    other.serial = "K58-777";
    const auto password = sim::firmwarePassword();
    const std::vector<TiTxtSection> image = {{0x1000, bytesOf(sim::buildSegmentB(other))},
                                             {0x1080, bytesOf(sim::buildSegmentA(other))},
                                             {0xFFE0, {password.begin(), password.end()}}};
    writeFile(dir.file("image.txt"), formatTiTxt(image, true));

    ProgramRun r = ctl({"program", "image.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("nothing programmed"), std::string::npos) << r.err;
    r = ctl({"dump", "A"});
    EXPECT_EQ(r.out, formatTiTxt({{0x1080, bytesOf(sim::buildSegmentA({}))}}, true)) << r.err;

    r = ctl({"program", "image.txt", "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Programming completed!\n");
    r = ctl({"dump", "B", "--out", "b.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(dir.file("b.txt")), formatTiTxt({image[0]}, true));
    // The rest of the program flash was erased by the run.
    r = ctl({"dump", "program"});
    std::vector<uint8_t> expected(4096, 0xFF);
    std::copy(password.begin(), password.end(), expected.end() - 32);
    EXPECT_EQ(r.out, formatTiTxt({{0xF000, expected}}, true)) << r.err;
}

TEST_F(DumpProgramCli, FailuresNameWhatIsMissing) {
    ProgramRun r = ctl({"program", "missing.txt", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "kv58ctl: cannot open missing.txt\n");

    // Without the loader patch an old loader would be left erased: nothing is touched.
    writeFile(dir.file("image.txt"), formatTiTxt({{0x1080, std::vector<uint8_t>(128, 0)}}, true));
    std::filesystem::remove(dir.file("PATCH.TXT"));
    r = ctl({"--port", "sim:?loader=1.10&state=old.state", "program", "image.txt", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.find("cannot open the loader patch PATCH.TXT") != std::string::npos) << r.err;
    r = ctl({"--port", "sim:?loader=1.10&state=old.state", "dump", "A"});
    EXPECT_EQ(r.out, formatTiTxt({{0x1080, bytesOf(sim::buildSegmentA({}))}}, true)) << r.err;

    writeFile(ini,
              "[COM]\r\nPort=sim:\r\nBaud=115200\r\nParity=even\r\n"
              "[PWfile]\r\nPW01=NOPE.TXT\r\n");
    r = ctl({"dump", "B"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "kv58ctl: ERROR: send password failed (reading data Segment B)!\n"
              "kv58ctl: ERROR: Unable to open input file \"NOPE.TXT\"!\n");
    EXPECT_TRUE(r.out.empty());
}

}  // namespace
}  // namespace kv58::test
