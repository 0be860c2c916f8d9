// The layout of an image, as a programming run will read it, and what makes it unfit to be
// programmed before anything is erased for it.
#include "bsl/image_check.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace kv58::test {
namespace {

class ImageCheck : public ::testing::Test {
protected:
    ImageLayout layoutOf(const std::string& text) {
        writeFile(file, text);
        ImageLayout layout;
        EXPECT_TRUE(readImageLayout(file, layout));
        return layout;
    }
    std::string problemOf(const std::string& text) { return imageProblem(layoutOf(text)); }
    TempDir dir;
    std::string file = dir.file("image.txt");
};

std::string values(int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += "A5 " + std::string(i % 16 == 15 ? "\n" : "");
    return out + "\n";
}

TEST_F(ImageCheck, SectionsCarryTheirLineAndExtent) {
    const ImageLayout l = layoutOf("@F000\n" + values(32) + "\n@1000\r\n" + values(3) + "q\n");
    ASSERT_EQ(l.sections.size(), 2u);
    EXPECT_EQ(l.sections[0].line, 1);
    EXPECT_EQ(l.sections[0].addressText, "@F000");
    EXPECT_EQ(l.sections[0].first, 0xF000u);
    EXPECT_EQ(l.sections[0].end, 0xF020u);
    EXPECT_EQ(l.sections[1].line, 6);
    EXPECT_EQ(l.sections[1].bytes, 3);
    EXPECT_EQ(l.bytes, 35);
    EXPECT_EQ(imageProblem(l), "");
    EXPECT_TRUE(holdsInformationMemory(l));
    EXPECT_FALSE(holdsInformationMemory(layoutOf("@F000\n" + values(16))));
    EXPECT_TRUE(holdsInformationMemory(layoutOf("@10FF\n" + values(1))));
    EXPECT_FALSE(holdsInformationMemory(layoutOf("@1100\n" + values(1))));
}

TEST_F(ImageCheck, AddressesMustBePlainHexadecimal) {
    EXPECT_EQ(problemOf("@0x1100\n" + values(4)),
              "line 1: the address \"@0x1100\" is not plain hexadecimal");
    EXPECT_EQ(problemOf("@F000\n" + values(4) + "@+20\n" + values(2)),
              "line 3: the address \"@+20\" is not plain hexadecimal");
    EXPECT_EQ(problemOf("@10000\n" + values(4)),
              "line 1: the address \"@10000\" is not plain hexadecimal");
    EXPECT_EQ(problemOf("@\n" + values(4)), "line 1: the address \"@\" is not plain hexadecimal");
    // An address line without data is still checked.
    EXPECT_EQ(problemOf("@G\n@F000\n" + values(4)),
              "line 1: the address \"@G\" is not plain hexadecimal");
    EXPECT_EQ(problemOf("@ f000 \r\n" + values(4)), "");
}

TEST_F(ImageCheck, EveryByteLiesInTheFlash) {
    EXPECT_EQ(problemOf("@FFF0\n" + values(48)), "line 1 (\"@FFF0\"): the section runs past FFFF");
    EXPECT_EQ(problemOf("@FFFF\n" + values(2)), "line 1 (\"@FFFF\"): the section runs past FFFF");
    EXPECT_EQ(problemOf("@FFF0\n" + values(16)), "");
    EXPECT_EQ(problemOf("@0200\n" + values(16)),
              "line 1 (\"@0200\"): bytes at 0200 to 020F lie outside the flash (1000 to FFFF)");
    EXPECT_EQ(problemOf("@0FFE\n" + values(4)),
              "line 1 (\"@0FFE\"): bytes at 0FFE to 0FFF lie outside the flash (1000 to FFFF)");
    EXPECT_EQ(problemOf(values(4)),
              "the data before the first address line: bytes at 0000 to 0003 lie outside the "
              "flash (1000 to FFFF)");
}

TEST_F(ImageCheck, AnImageWithoutDataIsNoImage) {
    EXPECT_EQ(problemOf(""), "the image holds no data (not a TI-TXT image?)");
    EXPECT_EQ(problemOf("@F000\nq\n"), "the image holds no data (not a TI-TXT image?)");
    ImageLayout layout;
    EXPECT_FALSE(readImageLayout(dir.file("missing.txt"), layout));
}

}  // namespace
}  // namespace kv58::test
