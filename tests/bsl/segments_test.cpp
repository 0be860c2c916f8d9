// Program and segment reads and segment writes against the simulated transmitter: the
// password search, the temporary image, pacing, and every failure with its message.
#include "bsl/segments.h"

#include <functional>

#include "sim_link.h"

namespace kv58::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;

class SegmentsTest : public SimLinkTest {
protected:
    Bytes pattern(uint8_t seed) {
        Bytes data(128);
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<uint8_t>(seed ^ (i * 13));
        return data;
    }
    // Frames of one command, in order.
    std::vector<SentFrame> framesOf(uint8_t command) const {
        std::vector<SentFrame> out;
        for (const SentFrame& f : sent.frames)
            if (f.command == command)
                out.push_back(f);
        return out;
    }
};

TEST_F(SegmentsTest, ReadsReturnTheDeviceMemory) {
    std::array<uint8_t, 4096> program{};
    std::array<uint8_t, 128> a{}, b{};
    long lastDone = 0, lastTotal = 0;
    link.setProgressObserver([&](long done, long total) { lastDone = done, lastTotal = total; });
    ASSERT_TRUE(readProgram(link, passwords, program)) << link.message();
    EXPECT_EQ(Bytes(program.begin(), program.end()), memoryAt(0xF000, 4096));
    EXPECT_EQ(std::make_pair(lastDone, lastTotal), std::make_pair(4096L, 4096L));
    const std::vector<SentFrame> reads = framesOf(0x14);
    ASSERT_EQ(reads.size(), 32u);
    for (size_t i = 0; i < reads.size(); ++i)
        EXPECT_EQ(reads[i].address, 0xF000 + 128 * i);

    ASSERT_TRUE(readSegmentA(link, passwords, a)) << link.message();
    EXPECT_EQ(Bytes(a.begin(), a.end()), memoryAt(0x1080, 128));
    ASSERT_TRUE(readSegmentB(link, passwords, b)) << link.message();
    EXPECT_EQ(Bytes(b.begin(), b.end()), memoryAt(0x1000, 128));
    // Reads end without the reset into the device's program: reset is held once per entry.
    EXPECT_EQ(std::count(sent.log.begin(), sent.log.end(), "DTR off"), 3);
}

TEST_F(SegmentsTest, ShortReadAsksForTheWholeSegment) {
    std::array<uint8_t, 128> buffer;
    buffer.fill(0xAA);
    ASSERT_TRUE(readSegmentB(link, passwords, std::span(buffer).first(64))) << link.message();
    EXPECT_EQ(sent.frames.back().text(), "14@1000+128");
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 64), memoryAt(0x1000, 64));
    EXPECT_EQ(Bytes(buffer.begin() + 64, buffer.end()), Bytes(64, 0xAA));
}

TEST_F(SegmentsTest, PasswordSearchTriesTheFilesInOrder) {
    writeWrongPassword("WRONG1.TXT");
    writeWrongPassword("WRONG2.TXT");
    std::array<uint8_t, 128> a{};
    const auto search = [&](const PasswordFileList& files) {
        sent.clear();
        const bool ok = readSegmentA(link, files, a);
        return std::make_pair(ok, framesOf(0x10).size());
    };
    EXPECT_EQ(search({}), std::make_pair(false, size_t{0}));
    EXPECT_EQ(link.message(), "ERROR: send password failed (reading data Segment A)!");
    EXPECT_EQ(search({"", "KV58-PW.TXT"}), std::make_pair(false, size_t{0}));
    EXPECT_EQ(search({"MISSING.TXT", "KV58-PW.TXT"}), std::make_pair(true, size_t{1}));
    EXPECT_EQ(search({"WRONG1.TXT", "WRONG2.TXT", "KV58-PW.TXT"}), std::make_pair(true, size_t{3}));
    EXPECT_EQ(link.passwordFile(), "KV58-PW.TXT");

    device().faults().refusePasswords(-1);
    EXPECT_EQ(search({"KV58-PW.TXT", "WRONG1.TXT"}), std::make_pair(false, size_t{2}));
    EXPECT_EQ(link.resultCode(), LinkResult::Nak);
    EXPECT_EQ(link.message(), "ERROR: send password failed (reading data Segment A)!");
}

TEST_F(SegmentsTest, SegmentWriteProgramsAByteExactImageAndVerifiesIt) {
    const Bytes data = pattern(0x5C);
    const Bytes segmentB = memoryAt(0x1000, 128);
    ASSERT_TRUE(writeSegmentA(link, passwords, data, ui)) << link.message();
    EXPECT_EQ(memoryAt(0x1080, 128), data);
    EXPECT_EQ(memoryAt(0x1000, 128), segmentB);
    EXPECT_EQ(link.message(), "Programming completed!");
    EXPECT_FALSE(link.passwordFile());
    EXPECT_TRUE(link.imageFile().empty());
    EXPECT_EQ(framesOf(0x16).at(0).text(), "16@1080+42242");

    std::string expected = "@1080\r\n";
    for (size_t line = 0; line < 8; ++line) {
        for (size_t i = 0; i < 16; ++i) {
            char value[4];
            std::snprintf(value, sizeof value, "%02X ", data[line * 16 + i]);
            expected += value;
        }
        expected += "\r\n";
    }
    EXPECT_EQ(readFile("TEMP.TXT"), expected + "q\r\n");
}

// A command holds its port from its first operation to its last: another link (another run
// of this process, or another process) is refused between the operations, until it lets go.
TEST_F(SegmentsTest, ARunHoldsItsPortBetweenItsOperations) {
    std::array<uint8_t, 128> a{};
    link.transport().holdPortForRun();
    ASSERT_TRUE(readSegmentA(link, passwords, a)) << link.message();
    EXPECT_FALSE(link.transport().isOpen());
    EXPECT_TRUE(link.transport().holdsPort());
    BslLink other{clock};
    other.setPortName("sim:");
    EXPECT_FALSE(readSegmentA(other, passwords, a));
    EXPECT_EQ(other.resultCode(), LinkResult::PortOpenFailed);
    EXPECT_EQ(other.transport().lastError(), "serial port sim: is in use by another kv58ctl run");
    link.transport().letGoOfPort();
    EXPECT_FALSE(link.transport().holdsPort());
    ASSERT_TRUE(readSegmentA(other, passwords, a)) << other.message();
    // Without a hold for the run, each closing lets go of the port.
    EXPECT_FALSE(other.transport().holdsPort());
    ASSERT_TRUE(readSegmentA(link, passwords, a)) << link.message();
}

// Another run in the same folder replaces TEMP.TXT while this one programs (between its
// passes): every pass still works from this run's own image, and the file left is whole.
TEST_F(SegmentsTest, SegmentWriteProgramsItsOwnImageWhateverHappensToTheFile) {
    const Bytes mine = pattern(0x3A);
    const std::string theirs = formatTiTxtSection(0x1080, pattern(0x91)) + tiTxtEndLine();
    int replaced = 0;
    link.setProgressObserver([&](long, long) {
        if (!link.imageFile().empty() && replaced++ < 50)
            writeFile("TEMP.TXT", theirs);
    });
    ASSERT_TRUE(writeSegmentA(link, passwords, mine, ui)) << link.message();
    EXPECT_GT(replaced, 2);
    EXPECT_EQ(memoryAt(0x1080, 128), mine);
    EXPECT_EQ(readFile("TEMP.TXT"), theirs);
}

// Flash that will not program, behind a loader that acknowledges such a block (the
// verification then finds it) and behind one that refuses it.
struct WriteCheckCase {
    const char* option;
    LinkResult result;
    const char* message;
};

class StuckCellTest : public SegmentsTest, public ::testing::WithParamInterface<WriteCheckCase> {};

INSTANTIATE_TEST_SUITE_P(WriteCheck, StuckCellTest,
                         ::testing::Values(WriteCheckCase{"ack", LinkResult::VerifyFailed,
                                                          "ERROR: Verification failed!"},
                                           WriteCheckCase{"nak", LinkResult::Nak,
                                                          "ERROR: Communication Error!"}),
                         [](const auto& test) { return std::string(test.param.option); });

TEST_P(StuckCellTest, SegmentWriteOnFlashThatWillNotProgramFails) {
    link.setPortName(std::string("sim:?write-check=") + GetParam().option);
    Bytes data = pattern(0x21);
    data[5] = 0x00;
    device().faults().stickCell(0x1085);
    EXPECT_FALSE(writeSegmentA(link, passwords, data, ui));
    EXPECT_EQ(link.resultCode(), GetParam().result);
    EXPECT_EQ(link.message(), GetParam().message);
    EXPECT_EQ(at(0x1085), 0xFF);
    EXPECT_EQ(memoryAt(0x1080, 5), Bytes(data.begin(), data.begin() + 5));
}

TEST_F(SegmentsTest, SegmentWritePacing) {
    link.setWaits(1, 2);
    ASSERT_TRUE(writeSegmentB(link, passwords, pattern(0x77), ui)) << link.message();
    // Password search, the first loader-version read (it decides whether the patch must be at
    // hand before the erase) and the erase: no delay. The run: password, version read and
    // erase check at WaitSeg, the data at WaitPrg, the verification without delay.
    const std::vector<SentFrame> passwordsSent = framesOf(0x10);
    ASSERT_EQ(passwordsSent.size(), 2u);
    EXPECT_EQ(passwordsSent[0].delayedBytes, 0u);
    EXPECT_EQ(framesOf(0x16).at(0).delayedBytes, 0u);
    EXPECT_EQ(passwordsSent[1].delayedBytes, 42u);
    EXPECT_EQ(passwordsSent[1].delayUs, 2000);
    const std::vector<SentFrame> reads = framesOf(0x14);
    ASSERT_EQ(reads.size(), 4u);
    EXPECT_EQ(reads[0].text(), "14@0FFA+2");
    EXPECT_EQ(reads[0].delayedBytes, 0u);
    EXPECT_EQ(reads[1].text(), "14@0FFA+2");
    EXPECT_EQ(std::make_pair(reads[1].delayedBytes, reads[1].delayUs),
              std::make_pair(size_t{10}, int64_t{2000}));
    EXPECT_EQ(reads[2].text(), "14@1000+128");
    EXPECT_EQ(reads[2].delayedBytes, 10u);
    EXPECT_EQ(reads[3].text(), "14@1000+128");
    EXPECT_EQ(reads[3].delayedBytes, 0u);
    const SentFrame write = framesOf(0x12).at(0);
    EXPECT_EQ(std::make_pair(write.delayedBytes, write.delayUs),
              std::make_pair(size_t{138}, int64_t{1000}));
    EXPECT_EQ(link.transport().byteDelayMs(), 0);
}

TEST_F(SegmentsTest, SegmentWriteAfterAFullRunResetsTheDeviceAfterTheErase) {
    link.beginRun(RunMassErase | RunEraseCheck | RunProgram | RunVerify | RunResetAtEnd, "");
    ASSERT_TRUE(writeSegmentA(link, passwords, pattern(0x01), ui)) << link.message();
    const auto erase = std::find(sent.log.begin(), sent.log.end(), "16@1080+42242");
    ASSERT_LT(erase + 5, sent.log.end());
    EXPECT_EQ(Strings(erase + 1, erase + 5), (Strings{"DTR on", "RTS on", "DTR off", "DTR on"}));
    EXPECT_EQ(link.runActions(), RunEraseCheck | RunProgram | RunVerify);
}

TEST_F(SegmentsTest, FailedProgramBlockFailsTheReadAndLeavesTheDestination) {
    // Replies: 2 bytes for the password, then 135 per block (synchronisation and a frame of
    // 4 + 128 + 2). Corrupt a data byte of the sixth block.
    device().faults().corruptReply(2 + 5 * 135 + 1 + 4 + 10);
    std::array<uint8_t, 4096> program;
    program.fill(0xAA);
    EXPECT_FALSE(readProgram(link, passwords, program));
    EXPECT_EQ(link.message(), "ERROR: reading program at F280!");
    EXPECT_EQ(link.resultCode(), LinkResult::InvalidReply);
    EXPECT_EQ(framesOf(0x14).size(), 6u);
    EXPECT_EQ(Bytes(program.begin(), program.end()), Bytes(4096, 0xAA));
}

TEST_F(SegmentsTest, FailedSegmentTransfersNameTheirSegment) {
    // A data byte of the read's reply (after the password's 2 reply bytes, the
    // synchronisation and the frame header) corrupted: the checksum fails.
    std::array<uint8_t, 128> a;
    a.fill(0xAA);
    device().faults().corruptReply(2 + 1 + 4 + 10);
    EXPECT_FALSE(readSegmentA(link, passwords, a));
    EXPECT_EQ(link.message(), "ERROR: reading data (Segment A)!");
    EXPECT_EQ(Bytes(a.begin(), a.end()), Bytes(128, 0xAA));

    // The erase of a Segment A write refused (its address byte flipped, as below).
    sent.clear();
    device().faults().corruptSent(43 + 11 + 1 + 5);
    EXPECT_FALSE(writeSegmentA(link, passwords, pattern(0x42), ui));
    EXPECT_EQ(link.message(), "ERROR: erase segment A (writing data)!");
    EXPECT_TRUE(framesOf(0x12).empty());
}

TEST_F(SegmentsTest, EveryOperationNamesItselfWhenItCannotStart) {
    std::array<uint8_t, 4096> program{};
    const Bytes data = pattern(0x10);
    struct Operation {
        std::function<bool()> run;
        const char* what;
    };
    const std::vector<Operation> operations = {
        {[&] { return readProgram(link, passwords, program); }, "reading program"},
        {[&] { return readSegmentA(link, passwords, program); }, "reading data Segment A"},
        {[&] { return readSegmentB(link, passwords, program); }, "reading data Segment B"},
        {[&] { return writeSegmentA(link, passwords, data, ui); }, "writing data Segment A"},
        {[&] { return writeSegmentB(link, passwords, data, ui); }, "writing data Segment B"},
    };
    device().faults().refusePasswords(-1);
    for (const Operation& op : operations) {
        link.setPortName(dir.file("no-such-port"));
        EXPECT_FALSE(op.run());
        EXPECT_EQ(link.message(), std::string("ERROR: opening COM-Port failed (") + op.what + ")!");
        link.setPortName("sim:");
        EXPECT_FALSE(op.run());
        EXPECT_EQ(link.message(), std::string("ERROR: send password failed (") + op.what + ")!");
    }
}

TEST_F(SegmentsTest, SegmentWriteFailures) {
    // The erase refused: flip the address byte of its frame (after the password search's
    // 43 bytes, the loader-version read's 11 and the synchronisation byte: header, command,
    // two lengths, address).
    device().faults().corruptSent(43 + 11 + 1 + 5);
    EXPECT_FALSE(writeSegmentB(link, passwords, pattern(0x42), ui));
    EXPECT_EQ(link.message(), "ERROR: erase segment B (writing data)!");
    EXPECT_TRUE(framesOf(0x12).empty());

    // The temporary image cannot be created: a message box, and the device is not touched.
    sent.clear();
    link.setTempFile("no-such-folder/TEMP.TXT");
    EXPECT_FALSE(writeSegmentA(link, passwords, pattern(0x42), ui));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Fehler beim \xD6"
              "ffnen der Zieldatei <no-such-folder/TEMP.TXT>!");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(sent.log.empty());

    // More data than the segment holds is refused before anything happens.
    EXPECT_FALSE(writeSegmentA(link, passwords, Bytes(129, 0), ui));
    EXPECT_TRUE(sent.log.empty());
}

}  // namespace
}  // namespace kv58::test
