// The bootstrap-loader link against the simulated transmitter, in process on a virtual clock.
#include <gtest/gtest.h>

#include <array>

#include "bsl/bsl_link.h"
#include "bsl/programming.h"
#include "bsl/segments.h"
#include "bsl/titxt.h"
#include "sim/shipped_images.h"
#include "sim/sim_port.h"
#include "sim/transmitter_contents.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace kv58::sim {
namespace {

using kv58::test::TempDir;
using kv58::test::WorkingDirectory;
using kv58::test::writeFile;

const PasswordFileList kPasswords = {kPasswordFileName};

// Counts the frames of one command that the link sends, from the trace.
class FrameCounter final : public TraceObserver {
public:
    void onTrace(const TraceEvent& e) override {
        if (e.kind != TraceEvent::Kind::Sent || e.bytes.empty())
            return;
        sent_.push_back(e.bytes[0]);
    }
    // Frames "80 CMD L L lo hi" with this command and address.
    int frames(uint8_t command, uint16_t address) const {
        int n = 0;
        for (size_t i = 0; i + 5 < sent_.size(); ++i) {
            n += sent_[i] == 0x80 && sent_[i + 1] == command && sent_[i + 2] == sent_[i + 3] &&
                 sent_[i + 4] == (address & 0xFF) && sent_[i + 5] == (address >> 8);
        }
        return n;
    }

private:
    std::vector<uint8_t> sent_;
};

class LinkAgainstDevice : public ::testing::Test {
protected:
    void SetUp() override {
        registerSimPortScheme();
        forgetSimDevices();
        writeFile(dir.file(kPasswordFileName), passwordFileText());
        writeFile(dir.file(kPatchFileName), patchFileText());
        link.setWaits(0, 2);
    }
    void use(const std::string& name) {
        link.setPortName(name);
        std::string error;
        device = deviceFor(name, error);
        ASSERT_TRUE(device) << error;
    }
    // Opens the port and enters the loader, as every device operation starts.
    void begin() {
        ASSERT_EQ(link.openPort(), LinkResult::Ok) << link.transport().lastError();
        link.transport().enterBootstrapLoader(true);
    }
    std::array<uint8_t, 128> readA() {
        std::array<uint8_t, 128> a{};
        EXPECT_TRUE(readSegmentA(link, kPasswords, a)) << link.message();
        return a;
    }
    std::string serialOf(const std::array<uint8_t, 128>& a) {
        return std::string(reinterpret_cast<const char*>(&a[kOffsetSerial]));
    }

    TempDir dir;
    WorkingDirectory cwd{dir.path()};
    VirtualClock clock{5'000'000};
    BslLink link{clock};
    Block reply{};  // the data of a read command
    std::shared_ptr<SimDevice> device;
    kv58::test::RecordingUi ui;
};

TEST_F(LinkAgainstDevice, SynchronisesAfterTheEntrySequenceOnly) {
    use("sim:link-sync");
    begin();
    EXPECT_EQ(link.transport().synchronize(), LinkResult::Ok);
    link.transport().enterBootstrapLoader(false);  // plain reset: the transmitter's program
    const int64_t start = clock.nowUs();
    EXPECT_EQ(link.transport().synchronize(), LinkResult::NoSync);
    EXPECT_GE(clock.nowUs() - start, 300'000);
    EXPECT_EQ(link.closePort(), LinkResult::Ok);
}

TEST_F(LinkAgainstDevice, PasswordAcceptedAndRefused) {
    use("sim:link-pw");
    begin();
    EXPECT_EQ(link.transmitPassword(std::nullopt), LinkResult::Nak) << "erased-device password";
    EXPECT_EQ(link.bslCommand(kCmdTxDataBlock, 0x1080, 2, nullptr, &reply), LinkResult::Nak);
    EXPECT_EQ(link.transmitPassword(std::string(kPasswordFileName)), LinkResult::Ok);
    EXPECT_EQ(link.bslCommand(kCmdTxDataBlock, 0x1080, 2, nullptr, &reply), LinkResult::Ok);
    static_cast<void>(link.closePort());
}

TEST_F(LinkAgainstDevice, ReadsTheFactoryContents) {
    use("sim:link-read");
    const auto a = readA();
    EXPECT_EQ(serialOf(a), "K58-104711");
    std::array<uint8_t, 4096> program{};
    ASSERT_TRUE(readProgram(link, kPasswords, program)) << link.message();
    EXPECT_TRUE(std::equal(program.begin(), program.end(), firmware().begin()));
}

TEST_F(LinkAgainstDevice, WritesAndVerifiesBlocks) {
    use("sim:link-block");
    begin();
    ASSERT_EQ(link.transmitPassword(std::string(kPasswordFileName)), LinkResult::Ok);
    ASSERT_EQ(link.bslCommand(kCmdEraseSegment, 0x1080, kEraseSegmentKey), LinkResult::Ok);
    link.dataBlock().fill(0);
    for (int i = 0; i < 16; ++i)
        link.dataBlock()[i] = static_cast<uint8_t>(0x10 + i);
    EXPECT_EQ(link.programBlock(0x1080, 16, BlockEraseCheck | BlockProgram | BlockVerify),
              LinkResult::Ok);
    EXPECT_EQ(device->memory().read(0x108F), 0x1F);
    // Programming 1s over 0s leaves the 0s, which the verification finds.
    link.dataBlock().fill(0xFF);
    EXPECT_EQ(link.programBlock(0x1080, 16, BlockProgram | BlockVerify), LinkResult::VerifyFailed);
    EXPECT_EQ(link.verifyBlock(0x1080, 16, BlockEraseCheck), LinkResult::EraseCheckFailed);
    static_cast<void>(link.closePort());
}

TEST_F(LinkAgainstDevice, SegmentWriteErasesAndProgramsSegmentA) {
    use("sim:link-write");
    auto a = readA();
    a[kOffsetTempMin] = 0x00;  // T min -40
    a[kOffsetTempMin + 1] = 0x00;
    ASSERT_TRUE(writeSegmentA(link, kPasswords, a, ui)) << link.message();
    EXPECT_EQ(link.message(), "Programming completed!");
    EXPECT_EQ(readA(), a);
}

TEST_F(LinkAgainstDevice, FullRunMassErasesAndRestores) {
    use("sim:link-full");
    const auto a = readA();
    std::array<uint8_t, 4096> program{};
    ASSERT_TRUE(readProgram(link, kPasswords, program)) << link.message();
    device->memory().write(0x2000, 0x00);  // something outside the image, to be erased
    writeFile(dir.file("TEMP.TXT"), formatTiTxt({{0x1080, {a.begin(), a.end()}},
                                                 {0xF000, {program.begin(), program.end()}}},
                                                true));
    ASSERT_TRUE(runProgramming(link, ProgrammingMode::FullRun)) << link.message();
    EXPECT_EQ(device->memory().read(0x2000), 0xFF);
    EXPECT_EQ(device->memory().read(0x1000), 0xFF) << "Segment B was not in the image";
    EXPECT_EQ(readA(), a);
    EXPECT_EQ(device->mode(), SimDevice::Mode::Reset) << "port closed after the run";
}

TEST_F(LinkAgainstDevice, OldLoaderIsWrittenThroughThePatch) {
    use("sim:link-old?loader=1.10");
    FrameCounter frames;
    link.addTraceObserver(&frames);
    auto a = readA();
    a[0x20] = 'X';
    ASSERT_TRUE(writeSegmentA(link, kPasswords, a, ui)) << link.message();
    EXPECT_EQ(readA(), a);
    EXPECT_EQ(link.loaderVersion(), 0x0110);
    EXPECT_EQ(frames.frames(kCmdLoadPc, 0x0C22), 1);
    EXPECT_EQ(frames.frames(kCmdLoadPc, 0x0220), 3)
        << "before the erase check, the write and the verification";
    link.removeTraceObserver(&frames);
}

TEST_F(LinkAgainstDevice, OldLoaderWithoutTheRightPatchFails) {
    use("sim:link-nopatch?loader=1.10");
    auto a = readA();
    a[0x20] = 'X';
    writeFile(dir.file(kPatchFileName), "@0220\r\n00 11 22 33 \r\nq\r\n");  // not our patch
    EXPECT_FALSE(writeSegmentA(link, kPasswords, a, ui));
    EXPECT_EQ(device->mode(), SimDevice::Mode::Reset);
    // Without a patch image the write ends before its erase: the loader is known to need one.
    std::remove(kPatchFileName);
    FrameCounter frames;
    link.addTraceObserver(&frames);
    EXPECT_FALSE(writeSegmentA(link, kPasswords, a, ui));
    link.removeTraceObserver(&frames);
    EXPECT_EQ(link.message().rfind("ERROR: Unable to open input file \"PATCH.TXT\"! ", 0), 0u)
        << link.message();
    EXPECT_EQ(frames.frames(kCmdEraseSegment, 0x1080), 0);
}

TEST_F(LinkAgainstDevice, A128ByteReadTakesTheLineTime) {
    use("sim:link-timing");
    begin();
    ASSERT_EQ(link.transmitPassword(std::string(kPasswordFileName)), LinkResult::Ok);
    const int64_t start = clock.nowUs();
    ASSERT_EQ(link.bslCommand(kCmdTxDataBlock, 0xF000, 128, nullptr, &reply), LinkResult::Ok);
    // 11-bit characters at 9600 baud: synchronisation 1 + 1, frame 10, reply 4 + 128 + 2;
    // the device takes 100 µs before each of its two replies.
    EXPECT_EQ(clock.nowUs() - start, (1 + 1 + 10 + 134) * 1146 + 2 * 100);
    static_cast<void>(link.closePort());
}

// The link's recovery from lost bytes, against both ways a loader treats a frame that a
// silence interrupts.
class LostBytes : public LinkAgainstDevice, public ::testing::WithParamInterface<const char*> {
protected:
    void useWire() { use(std::string("sim:link-wire?frame-gap=") + GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(FrameGap, LostBytes, ::testing::Values("drop", "wait"));

TEST_P(LostBytes, LostAndCorruptedBytes) {
    useWire();
    begin();
    // The acknowledge of the first synchronisation is lost: the second attempt is answered.
    device->faults().loseReply(1);
    ASSERT_EQ(link.transmitPassword(std::string(kPasswordFileName)), LinkResult::Ok);
    device->faults().corruptReply(1 + 1 + 40);  // sync answer, then a byte of the data
    EXPECT_EQ(link.bslCommand(kCmdTxDataBlock, 0x1080, 128, nullptr, &reply),
              LinkResult::InvalidReply);
    // A byte of a frame's payload is lost: no answer; the next command is carried out.
    device->faults().loseSent(1 + 6);
    EXPECT_EQ(link.bslCommand(kCmdTxDataBlock, 0x1000, 2, nullptr, &reply), LinkResult::NoReply);
    EXPECT_EQ(link.bslCommand(kCmdTxDataBlock, 0x1000, 2, nullptr, &reply), LinkResult::Ok);
    EXPECT_EQ(link.lastReplyLength(), 2u);
    device->faults().loseSent(2);  // the frame header after the synchronisation
    EXPECT_EQ(link.bslCommand(kCmdTxDataBlock, 0x1000, 2, nullptr, &reply), LinkResult::NoReply);
    // Without its header the frame is noise to the loader, but a 0x80 inside it (the address
    // 0x1080) is a synchronisation: the host then gets an acknowledge instead of data.
    device->faults().loseSent(2);
    EXPECT_EQ(link.bslCommand(kCmdTxDataBlock, 0x1080, 128, nullptr, &reply), LinkResult::Ok);
    EXPECT_EQ(link.lastReplyLength(), 0u);
    link.transport().enterBootstrapLoader(true);
    ASSERT_EQ(link.transmitPassword(std::string(kPasswordFileName)), LinkResult::Ok);
    EXPECT_EQ(link.bslCommand(kCmdTxDataBlock, 0x1080, 128, nullptr, &reply), LinkResult::Ok);
    EXPECT_EQ(link.lastReplyLength(), 128u);
    static_cast<void>(link.closePort());
}

TEST_F(LinkAgainstDevice, SilentAndLateDevices) {
    use("sim:link-late?fault=answer-from:3");
    std::array<uint8_t, 128> a{};
    EXPECT_FALSE(readSegmentA(link, kPasswords, a));
    EXPECT_EQ(link.message(), "ERROR: send password failed (reading data Segment A)!");
    EXPECT_FALSE(readSegmentA(link, kPasswords, a));
    EXPECT_TRUE(readSegmentA(link, kPasswords, a)) << link.message();
    device->faults().setSilent(true);
    EXPECT_FALSE(readSegmentA(link, kPasswords, a));
}

TEST_F(LinkAgainstDevice, RefusedPassword) {
    use("sim:link-refuse?fault=refuse-password");
    std::array<uint8_t, 128> a{};
    EXPECT_FALSE(readSegmentA(link, kPasswords, a));
    EXPECT_EQ(link.message(), "ERROR: send password failed (reading data Segment A)!");
}

// A cell that will not program, behind a loader that acknowledges the block (the
// verification finds it) and behind one that refuses it; either way the write fails.
class StuckCell : public LinkAgainstDevice,
                  public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

INSTANTIATE_TEST_SUITE_P(WriteCheck, StuckCell,
                         ::testing::Values(std::pair{"ack", "ERROR: Verification failed!"},
                                           std::pair{"nak", "ERROR: Communication Error!"}));

TEST_P(StuckCell, CellThatWillNotProgramFailsTheWrite) {
    use(std::string("sim:link-stuck?fault=stuck:1090&write-check=") + GetParam().first);
    auto a = readA();
    a[0x10] = 0x00;
    EXPECT_FALSE(writeSegmentA(link, kPasswords, a, ui));
    EXPECT_EQ(link.message(), GetParam().second);
    EXPECT_NE(readA(), a);
}

TEST_F(LinkAgainstDevice, SegmentWriteThatChangesTheProgram) {
    use("sim:link-change?fault=program-change");
    std::array<uint8_t, 4096> before{}, after{};
    ASSERT_TRUE(readProgram(link, kPasswords, before));
    ASSERT_TRUE(writeSegmentA(link, kPasswords, readA(), ui)) << link.message();
    ASSERT_TRUE(readProgram(link, kPasswords, after));
    EXPECT_NE(before, after);
    EXPECT_NE(before[0x400], after[0x400]);
}

TEST_F(LinkAgainstDevice, TransmitterSwappedBetweenOperations) {
    use("sim:link-swap?fault=swap:2");
    EXPECT_EQ(serialOf(readA()), "K58-104711");
    EXPECT_EQ(serialOf(readA()), "K58-104712");
    EXPECT_EQ(serialOf(readA()), "K58-104712");
}

TEST_F(LinkAgainstDevice, PowerLostDuringAWrite) {
    use("sim:link-power?fault=power-loss:1");
    auto a = readA();
    a.fill(0x00);
    EXPECT_FALSE(writeSegmentA(link, kPasswords, a, ui));
    const auto half = readA();
    EXPECT_EQ(half[0], 0x00);
    EXPECT_EQ(half[127], 0xFF);
}

}  // namespace
}  // namespace kv58::sim
