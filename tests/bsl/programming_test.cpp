// Programming runs against the simulated transmitter: the full run, the loader patch of old
// loaders and the patch state across runs, and the failures that end a run.
#include "bsl/programming.h"

#include "sim_link.h"

namespace kv58::test {
namespace {

using Strings = std::vector<std::string>;
const Strings kResetIntoProgram = {"DTR on", "RTS on", "DTR off", "DTR on"};

// An image the size of a restore: Segment B, Segment A and the upper 4 KB of the program.
std::vector<TiTxtSection> restoreImage() {
    std::vector<TiTxtSection> image = {{0x1000, {}}, {0x1080, {}}, {0xF000, {}}};
    for (TiTxtSection& s : image) {
        const size_t length = s.address == 0xF000 ? 4096 : 128;
        for (size_t i = 0; i < length; ++i)
            s.bytes.push_back(static_cast<uint8_t>(i * 7 + s.address));
    }
    return image;
}

class ProgrammingTest : public SimLinkTest {
protected:
    // A segment-write image for Segment A on a device whose Segment A is erased.
    void prepareSegmentWrite(uint8_t seed) {
        device().memory().eraseSegment(0x1080);
        segment.assign(128, 0);
        for (size_t i = 0; i < segment.size(); ++i)
            segment[i] = static_cast<uint8_t>(seed + i);
        writeFile("TEMP.TXT", formatTiTxt({{0x1080, segment}}, true));
        link.setPasswordFile("KV58-PW.TXT");
    }
    // Every data command on the image's addresses comes right after Load PC 0x0220.
    void expectPatchEnteredBeforeImageCommands(size_t from) {
        for (size_t i = from; i < sent.frames.size(); ++i) {
            const SentFrame& f = sent.frames[i];
            if ((f.command == 0x12 || f.command == 0x14) && f.address >= 0x1000) {
                EXPECT_EQ(sent.frames[i - 1].text(), "1A@0220+0") << "before " << f.text();
            }
        }
    }
    size_t indexOf(const std::string& text) const {
        const Strings t = sent.texts();
        return static_cast<size_t>(std::find(t.begin(), t.end(), text) - t.begin());
    }
    std::vector<uint8_t> segment;
};

TEST_F(ProgrammingTest, FullRunLeavesTheDeviceAsTheImageSaysAndResetsIt) {
    const std::vector<TiTxtSection> image = restoreImage();
    writeFile("TEMP.TXT", formatTiTxt(image, false));
    link.setPasswordFile(
        "KV58-PW.TXT");  // the device is erased first: its password no longer holds
    std::vector<std::pair<long, long>> progress;
    link.setProgressObserver([&](long done, long total) { progress.emplace_back(done, total); });

    ASSERT_TRUE(runProgramming(link, ProgrammingMode::FullRun)) << link.message();
    EXPECT_EQ(link.message(), "Programming completed!");
    for (const TiTxtSection& s : image)
        EXPECT_EQ(memoryAt(s.address, s.bytes.size()), s.bytes);
    EXPECT_EQ(memoryAt(0x1100, 0xF000 - 0x1100), std::vector<uint8_t>(0xF000 - 0x1100, 0xFF));

    ASSERT_GT(sent.frames.size(), 22u);
    for (size_t i = 0; i < 20; ++i)
        EXPECT_EQ(sent.frames[i].text(), "18@FF00+42246");
    EXPECT_EQ(sent.frames[20].text(), "10@FFE0+32");
    EXPECT_EQ(sent.frames[20].data, std::vector<uint8_t>(32, 0xFF));
    EXPECT_EQ(sent.frames[21].text(), "14@0FFA+2");
    EXPECT_EQ(Strings(sent.log.end() - 4, sent.log.end()), kResetIntoProgram);
    EXPECT_EQ(link.runActions(),
              RunMassErase | RunEraseCheck | RunProgram | RunVerify | RunResetAtEnd);
    EXPECT_FALSE(link.passwordFile());

    // Erase check, programming and verification count as one progress of three passes.
    const long total = 3 * 4352;
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(total, total));
    for (size_t i = 1; i < progress.size(); ++i)
        EXPECT_GE(progress[i].first, progress[i - 1].first);
}

TEST_F(ProgrammingTest, OldLoaderGetsThePatchAndEntersItBeforeEveryDataCommand) {
    link.setPortName("sim:old?loader=1.10");
    prepareSegmentWrite(0x30);
    ASSERT_TRUE(runProgramming(link, ProgrammingMode::SegmentWrite)) << link.message();
    // Without the patch the old loader programs only every other word.
    EXPECT_EQ(memoryAt(0x1080, 128), segment);
    const size_t version = indexOf("14@0FFA+2");
    ASSERT_LT(version + 3, sent.frames.size());
    EXPECT_EQ(sent.frames[version + 1].text(), "1A@0C22+0");
    EXPECT_EQ(sent.frames[version + 2].text(), "10@FFE0+32");
    EXPECT_EQ(sent.frames[version + 3].address, 0x0220);  // the patch, written directly
    expectPatchEnteredBeforeImageCommands(version + 3);
    EXPECT_EQ(link.loaderVersion(), 0x0110);
    EXPECT_TRUE(link.patchActive());
    EXPECT_FALSE(link.needsPatch());
    EXPECT_TRUE(link.transport().dataChangeWarning());

    // The next run reads the version anew and loads the patch again.
    sent.clear();
    prepareSegmentWrite(0x50);
    ASSERT_TRUE(runProgramming(link, ProgrammingMode::SegmentWrite)) << link.message();
    EXPECT_EQ(sent.count("1A@0C22+0"), 1u);
    EXPECT_EQ(memoryAt(0x1080, 128), segment);
}

TEST_F(ProgrammingTest, MissingPatchFileFailsTheRunBeforeTheDeviceAndTheNextRunLoadsIt) {
    link.setPortName("sim:old?loader=1.10");
    const std::string patch = readFile("PATCH.TXT");
    std::remove("PATCH.TXT");
    prepareSegmentWrite(0x11);
    // The loader's version is not known yet: it could be one that needs the patch, and a full
    // run would learn it only after its erase.
    EXPECT_FALSE(runProgramming(link, ProgrammingMode::SegmentWrite));
    EXPECT_EQ(link.resultCode(), LinkResult::FileOpenFailed);
    EXPECT_EQ(link.message().rfind("ERROR: Unable to open input file \"PATCH.TXT\"! ", 0), 0u)
        << link.message();
    EXPECT_TRUE(sent.frames.empty()) << "the port was opened";

    writeFile("PATCH.TXT", patch);
    ASSERT_TRUE(runProgramming(link, ProgrammingMode::SegmentWrite)) << link.message();
    EXPECT_TRUE(link.patchActive());
    EXPECT_EQ(memoryAt(0x1080, 128), segment);
}

TEST_F(ProgrammingTest, NewerLoaderClearsThePatchStateOfAnEarlierDevice) {
    link.setPortName("sim:old?loader=1.10");
    prepareSegmentWrite(0x22);
    ASSERT_TRUE(runProgramming(link, ProgrammingMode::SegmentWrite)) << link.message();
    ASSERT_TRUE(link.patchActive());

    link.setPortName("sim:new?loader=1.11");
    sent.clear();
    prepareSegmentWrite(0x33);
    ASSERT_TRUE(runProgramming(link, ProgrammingMode::SegmentWrite)) << link.message();
    EXPECT_EQ(sent.count("1A@0220+0"), 0u);
    EXPECT_FALSE(link.patchActive());
    EXPECT_FALSE(link.transport().dataChangeWarning());
    EXPECT_EQ(link.loaderVersion(), 0x0111);
    EXPECT_EQ(memoryAt(0x1080, 128), segment);
}

TEST_F(ProgrammingTest, MassEraseRefusedInItsFifthCycleEndsTheRunWithReset) {
    writeFile("TEMP.TXT", formatTiTxt(restoreImage(), false));
    // Each cycle is a synchronisation byte and a 10-byte frame; flip the fifth frame's
    // address byte so that the loader refuses its checksum.
    device().faults().corruptSent(4 * 11 + 1 + 5);
    EXPECT_FALSE(runProgramming(link, ProgrammingMode::FullRun));
    EXPECT_EQ(link.resultCode(), LinkResult::Nak);
    EXPECT_EQ(link.message(), "ERROR: Communication Error!");
    EXPECT_EQ(sent.texts(), Strings(5, "18@FF00+42246"));
    EXPECT_EQ(Strings(sent.log.end() - 4, sent.log.end()), kResetIntoProgram);
}

TEST_F(ProgrammingTest, RefusedPasswordIsReportedAsSuch) {
    writeFile("TEMP.TXT", formatTiTxt(restoreImage(), false));
    device().faults().refusePasswords(1);
    EXPECT_FALSE(runProgramming(link, ProgrammingMode::FullRun));
    EXPECT_EQ(link.message(), "ERROR: Password not accepted!");
}

TEST_F(ProgrammingTest, FailuresBeforeTheDeviceIsTouched) {
    const std::vector<uint8_t> before = memoryAt(0x1000, 256);
    // No image: a full run must not erase a device it has nothing to program into.
    EXPECT_FALSE(runProgramming(link, ProgrammingMode::FullRun));
    EXPECT_EQ(link.resultCode(), LinkResult::FileOpenFailed);
    EXPECT_EQ(link.message(), "ERROR: Unable to open input file \"TEMP.TXT\"!");
    EXPECT_TRUE(sent.log.empty());
    EXPECT_EQ(memoryAt(0x1000, 256), before);

    writeFile("TEMP.TXT", formatTiTxt(restoreImage(), false));
    link.setPortName(dir.file("no-such-port"));
    EXPECT_FALSE(runProgramming(link, ProgrammingMode::FullRun));
    EXPECT_EQ(link.message(), "ERROR: Opening COM-Port failed!");
}

// Images that the run cannot program as meant left the device erased: "@0x1100" programmed
// at address 0, a section wrapping past FFFF, a section in RAM.
TEST_F(ProgrammingTest, ImagesThatCannotBeProgrammedAreRefusedBeforeThePortOpens) {
    const std::vector<uint8_t> before = memoryAt(0x1000, 256);
    std::string lines;
    for (int i = 0; i < 3; ++i)
        lines += "00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF \r\n";
    for (const auto& [image, problem] : std::vector<std::pair<std::string, std::string>>{
             {"@0x1100\r\n" + lines, "line 1: the address \"@0x1100\" is not plain hexadecimal"},
             {"@F000\r\n" + lines + "@FFF0\r\n" + lines,
              "line 5 (\"@FFF0\"): the section runs past FFFF"},
             {"@0200\r\n" + lines,
              "line 1 (\"@0200\"): bytes at 0200 to 022F lie outside the "
              "flash (1000 to FFFF)"},
         }) {
        writeFile("TEMP.TXT", image);
        EXPECT_FALSE(runProgramming(link, ProgrammingMode::FullRun));
        EXPECT_EQ(link.resultCode(), LinkResult::FileOpenFailed);
        EXPECT_EQ(link.message(), "ERROR: image \"TEMP.TXT\": " + problem + "!");
    }
    EXPECT_TRUE(sent.log.empty());
    EXPECT_EQ(memoryAt(0x1000, 256), before);
}

}  // namespace
}  // namespace kv58::test
