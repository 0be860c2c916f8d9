// The TI-TXT reader and writer: block formation, the field and line-end rules, and the
// exact form of the files the program writes.
#include "bsl/titxt.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "bsl/link_result.h"
#include "fake_port.h"
#include "support/temp_dir.h"

namespace kv58::test {
namespace {

struct Blocks {
    LinkResult result = LinkResult::NoReply;  // until read
    std::vector<std::pair<uint16_t, Bytes>> blocks;

    std::vector<std::string> summary() const {
        std::vector<std::string> out;
        for (const auto& [address, bytes] : blocks) {
            out.push_back(strprintf("%04X:%zu", address, bytes.size()));
        }
        return out;
    }
    Bytes all() const {
        Bytes out;
        for (const auto& b : blocks)
            out.insert(out.end(), b.second.begin(), b.second.end());
        return out;
    }
};

class TiTxtReaderTest : public ::testing::Test {
protected:
    Blocks read(const std::string& content, int maxBlockSize = 240) {
        writeFile(dir.file("image.txt"), content);
        Blocks b;
        b.result =
            readTiTxtFile(dir.file("image.txt"), maxBlockSize,
                          [&](uint16_t address, std::span<const uint8_t> bytes) {
                              b.blocks.emplace_back(address, Bytes(bytes.begin(), bytes.end()));
                              return LinkResult::Ok;
                          });
        return b;
    }

    TempDir dir;
};

using Strings = std::vector<std::string>;

std::string lines(size_t values, const char* end = "\r\n", size_t perLine = 16) {
    std::string out;
    for (size_t i = 0; i < values; ++i) {
        out += strprintf("%02X ", static_cast<unsigned>(i & 0xFF));
        if (i % perLine == perLine - 1 || i + 1 == values)
            out += end;
    }
    return out;
}

TEST_F(TiTxtReaderTest, SectionOf512BytesGivesBlocksOf240And240And32) {
    const Blocks b = read("@F000\r\n" + lines(512) + "q\r\n");
    EXPECT_EQ(b.result, LinkResult::Ok);
    EXPECT_EQ(b.summary(), (Strings{"F000:240", "F0F0:240", "F1E0:32"}));
    const Bytes all = b.all();
    ASSERT_EQ(all.size(), 512u);
    for (size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(all[i], i & 0xFF) << i;
}

TEST_F(TiTxtReaderTest, SectionsAreNeverMerged) {
    const Blocks b = read("@1000\r\n" + lines(128) + "@1080\r\n" + lines(128) + "q\r\n");
    EXPECT_EQ(b.summary(), (Strings{"1000:128", "1080:128"}));
}

TEST_F(TiTxtReaderTest, LastValueOfALineIsKeptWhateverEndsTheLine) {
    EXPECT_EQ(hex(read("@0200\n01 02 03\n").all()), "01 02 03") << "LF alone";
    EXPECT_EQ(hex(read("@0200\n01 02 03 \n").all()), "01 02 03");
    EXPECT_EQ(hex(read("@0200\r\n01 02 03\r\n").all()), "01 02 03");
    EXPECT_EQ(hex(read("@0200\r\n01 02 03 \r\n").all()), "01 02 03");
    EXPECT_EQ(hex(read("@0200\r\n01 02 03").all()), "01 02 03") << "no line end at all";
    EXPECT_EQ(hex(read("@0200\r\n01 02 03 ").all()), "01 02 03");
    EXPECT_EQ(hex(read("@0200\r\n01 02 3\n").all()), "01 02 03");
    // Line ends and trailing blanks are no values; a field of junk inside the line is.
    EXPECT_EQ(hex(read("@0200\r\n01 02 \r\n").all()), "01 02");
    EXPECT_EQ(hex(read("@0200\n01 02 \n").all()), "01 02");
    EXPECT_EQ(hex(read("@0200\r\n01 zz\n").all()), "01");
    EXPECT_EQ(hex(read("@0200\r\nzz 01\n").all()), "FF 01");
    EXPECT_EQ(hex(read("@0200\r\n\r\n\n01 \r\n").all()), "01") << "empty lines give nothing";
}

TEST_F(TiTxtReaderTest, TrailingBlanksAreNoValueHoweverManyFieldsTheySpan) {
    EXPECT_EQ(hex(read("@0200\n01 02 03    \n04 05 \n").all()), "01 02 03 04 05");
    EXPECT_EQ(hex(read("@0200\r\n01 02 03 \t      \r\n04 \r\n").all()), "01 02 03 04");
    EXPECT_EQ(read("@0200\r\n01         ").summary(), (Strings{"0200:1"})) << "no line end";
    EXPECT_EQ(read("@0200\r\n            \r\n").summary(), Strings{}) << "a blank line";
    // Inside the line a field without a digit is still a value.
    EXPECT_EQ(hex(read("@0200\n01 ?? 03    \n").all()), "01 FF 03");
}

TEST_F(TiTxtReaderTest, LineFeedFilesKeepEveryByteAtItsAddress) {
    // As tools write TI-TXT on Unix: LF line ends, no blank after the last value.
    std::string text = "@F000\n";
    for (int line = 0; line < 32; ++line) {
        for (int i = 0; i < 16; ++i)
            text += strprintf(i == 15 ? "%02X\n" : "%02X ", (line * 16 + i) & 0xFF);
    }
    const Blocks b = read(text + "q\n");
    EXPECT_EQ(b.summary(), (Strings{"F000:240", "F0F0:240", "F1E0:32"}));
    const Bytes all = b.all();
    for (size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(all[i], i & 0xFF) << i;
}

TEST_F(TiTxtReaderTest, OnlyALowerCaseQEndsTheImage) {
    const Blocks b = read("@1000\r\n01 02 \r\nQ1 03 \r\nq\r\n04 05 \r\n");
    EXPECT_EQ(hex(b.all()), "01 02 FF 03") << "Q1 is a field without hexadecimal digits";
}

TEST_F(TiTxtReaderTest, FileWithoutEndLineEndsAtTheEndOfTheFile) {
    EXPECT_EQ(read("@1000\r\n" + lines(20)).summary(), (Strings{"1000:20"}));
}

TEST_F(TiTxtReaderTest, FieldRules) {
    // Up to three digits, low eight bits kept; white space skipped; either case.
    EXPECT_EQ(hex(read("@0\r\n12345678 \r\n").all()), "23 56 78");
    EXPECT_EQ(hex(read("@0\r\nab Cd\t0f \r\n").all()), "AB CD 0F");
    EXPECT_EQ(hex(read("@0\r\n 1  2 \r\n").all()), "01 02");
    // A field without a digit gives 0xFF, always.
    EXPECT_EQ(hex(read("@0\r\nzz 01 -- \r\n").all()), "FF 01 FF");
}

TEST_F(TiTxtReaderTest, AddressLines) {
    EXPECT_EQ(read("@ffe0\r\n00 \r\n").summary(), (Strings{"FFE0:1"}));
    EXPECT_EQ(read("@12345\r\n00 \r\n").summary(), (Strings{"2345:1"})) << "low 16 bits";
    EXPECT_EQ(read("@\r\n00 \r\n").summary(), (Strings{"0000:1"}));
    EXPECT_EQ(read("00 01 \r\n").summary(), (Strings{"0000:2"})) << "data before any address";
}

TEST_F(TiTxtReaderTest, NewAddressLineStartsANewBlockEvenWhenItContinues) {
    EXPECT_EQ(read("@1000\r\n" + lines(16) + "@1010\r\n" + lines(16)).summary(),
              (Strings{"1000:16", "1010:16"}));
}

TEST_F(TiTxtReaderTest, LinesLongerThan126CharactersAreReadInPieces) {
    // 50 values: the first 126 characters hold 42 fields, the remaining 26 characters 8.
    const Blocks b = read("@2000\r\n" + lines(50, "\r\n", 50));
    EXPECT_EQ(b.summary(), (Strings{"2000:50"}));
    const Bytes all = b.all();
    for (size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(all[i], i) << i;
}

TEST_F(TiTxtReaderTest, LongLinesAreSplitSoThatNoBlockExceedsTheLimit) {
    // 41 values a line: six lines make 246 bytes, more than a block may hold.
    std::string text = "@4000\r\n";
    for (int line = 0; line < 12; ++line)
        text += lines(41, "\r\n", 41);
    const Blocks b = read(text);
    size_t total = 0;
    uint16_t next = 0x4000;
    for (const auto& [address, bytes] : b.blocks) {
        EXPECT_LE(bytes.size(), 240u);
        EXPECT_EQ(address, next) << "blocks follow each other";
        next = static_cast<uint16_t>(address + bytes.size());
        total += bytes.size();
    }
    EXPECT_EQ(total, 12u * 41u);
    EXPECT_EQ(b.summary().front(), "4000:240");
}

TEST_F(TiTxtReaderTest, NoBlockRunsPastTheTopOfTheAddressSpace) {
    const Blocks b = read("@FFF0\r\n" + lines(48) + "@FFFF\r\n01 02 \r\n");
    EXPECT_EQ(b.summary(), (Strings{"FFF0:16", "0000:32", "FFFF:1", "0000:1"}));
    EXPECT_EQ(hex(b.blocks[1].second).substr(0, 8), "10 11 12");
}

TEST_F(TiTxtReaderTest, BlockLimitIsClampedToWhatTheBufferTakes) {
    std::string text = "@4000\r\n";
    for (int line = 0; line < 10; ++line)
        text += lines(41, "\r\n", 41);
    for (const auto& [address, bytes] : read(text, 100000).blocks) {
        EXPECT_LE(bytes.size(), static_cast<size_t>(kMaxImageBlock));
    }
    const Blocks tiny = read("@0\r\n" + lines(64), 0);
    EXPECT_EQ(tiny.blocks.size(), 64u) << "a limit of 0 is taken as 1 byte";
    EXPECT_EQ(tiny.all().size(), 64u);
}

TEST_F(TiTxtReaderTest, MissingFileGives96) {
    int calls = 0;
    EXPECT_EQ(
        readTiTxtFile(dir.file("nothing.txt"), 240,
                      [&](uint16_t, std::span<const uint8_t>) { return ++calls, LinkResult::Ok; }),
        LinkResult::FileOpenFailed);
    EXPECT_EQ(calls, 0);
}

#ifndef _WIN32
// A device named as an image is no image: its read ends at the bound instead of never.
TEST_F(TiTxtReaderTest, AnEndlessDeviceIsNoImage) {
    EXPECT_EQ(readTiTxtFile("/dev/zero", 240,
                            [](uint16_t, std::span<const uint8_t>) { return LinkResult::Ok; }),
              LinkResult::FileOpenFailed);
}
#endif

TEST_F(TiTxtReaderTest, SinkFailureStopsTheReading) {
    writeFile(dir.file("image.txt"),
              "@1000\r\n" + lines(16) + "@2000\r\n" + lines(16) + "@3000\r\n" + lines(16));
    std::vector<uint16_t> seen;
    EXPECT_EQ(readTiTxtFile(dir.file("image.txt"), 240,
                            [&](uint16_t address, std::span<const uint8_t>) {
                                seen.push_back(address);
                                return address == 0x2000 ? LinkResult::VerifyFailed
                                                         : LinkResult::Ok;
                            }),
              LinkResult::VerifyFailed);
    EXPECT_EQ(seen, (std::vector<uint16_t>{0x1000, 0x2000}));
}

TEST_F(TiTxtReaderTest, BinaryJunkNeverCrashes) {
    std::string junk;
    for (int i = 0; i < 5000; ++i)
        junk += static_cast<char>((i * 7919) % 256);
    const Blocks b = read(junk);
    for (const auto& [address, bytes] : b.blocks)
        EXPECT_LE(bytes.size(), 240u);
}

// --- Writer ---

TEST(TiTxtWriter, SegmentFileIsByteExact) {
    Bytes segment(128);
    for (size_t i = 0; i < segment.size(); ++i)
        segment[i] = static_cast<uint8_t>(0xF0 + i);
    const std::string text = formatTiTxt({{0x1080, segment}}, true);
    std::string expected = "@1080\r\n";
    for (int line = 0; line < 8; ++line) {
        for (int i = 0; i < 16; ++i)
            expected += strprintf("%02X ", (0xF0 + line * 16 + i) & 0xFF);
        expected += "\r\n";
    }
    expected += "q\r\n";
    EXPECT_EQ(text, expected);
    // 16 values of three characters, then the line end.
    EXPECT_EQ(text.substr(7, 50), "F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF \r\n");
}

TEST(TiTxtWriter, SeveralSectionsAndAShortLastLine) {
    EXPECT_EQ(formatTiTxt({{0x1000, {0xAB}}, {0xF000, {1, 2, 3}}}, false),
              "@1000\r\nAB \r\n@F000\r\n01 02 03 \r\n");
    EXPECT_EQ(formatTiTxtSection(0x0002, {}), "@0002\r\n");
    EXPECT_EQ(tiTxtEndLine(), "q\r\n");
}

TEST(TiTxtWriter, WhatIsWrittenReadsBackUnchanged) {
    TempDir dir;
    Bytes b(128), a(128), program(4096);
    for (size_t i = 0; i < 128; ++i)
        b[i] = static_cast<uint8_t>(i * 3);
    for (size_t i = 0; i < 128; ++i)
        a[i] = static_cast<uint8_t>(255 - i);
    for (size_t i = 0; i < 4096; ++i)
        program[i] = static_cast<uint8_t>(i * 13 + 7);
    const std::vector<TiTxtSection> sections = {{0x1000, b}, {0x1080, a}, {0xF000, program}};
    writeFile(dir.file("t.txt"), formatTiTxt(sections, true));
    std::map<uint16_t, Bytes> memory;
    std::vector<uint16_t> starts;
    ASSERT_EQ(readTiTxtFile(dir.file("t.txt"), 240,
                            [&](uint16_t address, std::span<const uint8_t> bytes) {
                                starts.push_back(address);
                                for (size_t i = 0; i < bytes.size(); ++i)
                                    memory[static_cast<uint16_t>(address + i)] = {bytes[i]};
                                return LinkResult::Ok;
                            }),
              LinkResult::Ok);
    for (const TiTxtSection& s : sections) {
        for (size_t i = 0; i < s.bytes.size(); ++i) {
            ASSERT_EQ(memory[static_cast<uint16_t>(s.address + i)].at(0), s.bytes[i]);
        }
    }
    EXPECT_EQ(starts.size(), 2u + 18u) << "4096 bytes: 17 blocks of 240 and one of 16";
}

}  // namespace
}  // namespace kv58::test
