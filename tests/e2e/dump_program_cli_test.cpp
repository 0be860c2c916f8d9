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

    // The image is another transmitter's: its calibration would replace this one's.
    r = ctl({"program", "image.txt", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "the image belongs to another transmitter; nothing was erased"))
        << r.err;
    r = ctl({"program", "image.txt", "--replace-info", "--yes"});
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

// "dump program --out p.txt" then "program p.txt --yes" left Segments A and B erased, with
// no backup and no word of it in the question.
TEST_F(DumpProgramCli, ImageWithoutInformationMemoryKeepsTheTransmittersOwn) {
    ASSERT_EQ(ctl({"dump", "program", "--out", "p.txt"}).exitCode, 0);
    ProgramRun r = ctl({"program", "p.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err,
                         "and program p.txt into it, keeping its Segments A and B "
                         "(configuration and calibration; appended to "
                         "./K58-104711.dat first)? no"))
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("K58-104711.dat")));

    r = ctl({"program", "p.txt", "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "should the run be cut off, kv58ctl --ini " + ini +
                                    " program TEMP-K58-104711.TXT --yes puts the transmitter back"))
        << r.err;
    r = ctl({"dump", "A"});
    EXPECT_EQ(r.out, formatTiTxt({{0x1080, bytesOf(sim::buildSegmentA({}))}}, true)) << r.err;
    r = ctl({"dump", "B"});
    EXPECT_EQ(r.out, formatTiTxt({{0x1000, bytesOf(sim::buildSegmentB({}))}}, true)) << r.err;
    EXPECT_TRUE(contains(readFile(dir.file("K58-104711.dat")), "----- Segment B -----"));

    r = ctl({"program", "p.txt", "--replace-info", "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.err,
                         "leaving its Segments A and B (configuration and calibration) "
                         "erased? yes"))
        << r.err;
    r = ctl({"dump", "A"});
    EXPECT_EQ(r.out, formatTiTxt({{0x1080, std::vector<uint8_t>(128, 0xFF)}}, true)) << r.err;
}

// Each of these ended in "ERROR: Erase check failed!" with the transmitter blank.
TEST_F(DumpProgramCli, ImagesThatCannotBeProgrammedAreRefusedBeforeAnyErase) {
    const std::string values = "00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF\n";
    const std::string full = values + values + values;
    for (const auto& [image, problem] : std::vector<std::pair<std::string, std::string>>{
             {"@0x1100\n" + full, "line 1: the address \"@0x1100\" is not plain hexadecimal"},
             {"@FFF0\n" + full, "line 1 (\"@FFF0\"): the section runs past FFFF"},
             {"@0200\n" + full,
              "line 1 (\"@0200\"): bytes at 0200 to 022F lie outside the flash (1000 to FFFF)"},
         }) {
        writeFile(dir.file("odd.txt"), image);
        const ProgramRun r = ctl({"program", "odd.txt", "--yes"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "kv58ctl: odd.txt: " + problem + "; nothing programmed\n");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("sim.state"))) << "the transmitter was opened";
}

}  // namespace
}  // namespace kv58::test
