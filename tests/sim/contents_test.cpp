// Memory map, flash rules and the factory contents of the simulated transmitter.
#include <gtest/gtest.h>

#include "sim/image_text.h"
#include "sim/msp430_memory.h"
#include "sim/shipped_images.h"
#include "sim/transmitter_contents.h"
#include "support/temp_dir.h"

namespace kv58::sim {
namespace {

uint16_t wordAt(const SegmentBytes& s, size_t offset) {
    return static_cast<uint16_t>(s[offset] | s[offset + 1] << 8);
}

TEST(MemoryMap, SegmentsOfInformationAndMainFlash) {
    const auto seg = [](uint16_t a) {
        const auto s = segmentOf(a);
        return s ? std::make_pair(s->start, s->size) : std::make_pair(uint16_t{0}, 0u);
    };
    EXPECT_EQ(seg(0x1000), std::make_pair(uint16_t{0x1000}, 128u));
    EXPECT_EQ(seg(0x10FF), std::make_pair(uint16_t{0x1080}, 128u));
    EXPECT_EQ(seg(0x1100), std::make_pair(uint16_t{0x1100}, 256u));
    EXPECT_EQ(seg(0x1200), std::make_pair(uint16_t{0x1200}, 512u));
    EXPECT_EQ(seg(0xFFFF), std::make_pair(uint16_t{0xFE00}, 512u));
    EXPECT_FALSE(segmentOf(0x0FFF));
    EXPECT_FALSE(segmentOf(0x0200));
}

TEST(MemoryMap, FlashOnlyClearsBitsAndEraseSetsWholeSegments) {
    Msp430Memory m;
    m.write(0x1100, 0x0F);
    m.write(0x1100, 0xF3);
    EXPECT_EQ(m.read(0x1100), 0x03);
    m.write(0x11FF, 0x00);
    m.write(0x1200, 0x00);
    m.eraseSegment(0x1180);
    EXPECT_EQ(m.read(0x1100), 0xFF);
    EXPECT_EQ(m.read(0x11FF), 0xFF);
    EXPECT_EQ(m.read(0x1200), 0x00) << "the next segment stays";
}

TEST(MemoryMap, RamTakesBytesRomAndVacantSpaceIgnoreThem) {
    Msp430Memory m;
    installLoaderRom(m, 0x0110);
    m.write(0x0300, 0x12);
    m.write(0x0300, 0x34);
    EXPECT_EQ(m.read(0x0300), 0x34);
    m.write(0x0FFA, 0x02);
    EXPECT_EQ(m.loaderVersion(), 0x0110);
    m.write(0x0A00, 0x55);
    EXPECT_EQ(m.read(0x0A00), 0x00);
}

TEST(MemoryMap, MassEraseWithAndWithoutInformationMemory) {
    Msp430Memory m;
    installTransmitter(m, {});
    m.eraseMain(false);
    EXPECT_EQ(m.read(0xFFFE), 0xFF);
    EXPECT_NE(m.read(0x1000), 0xFF);
    m.eraseMain(true);
    EXPECT_EQ(m.read(0x1000), 0xFF);
    EXPECT_EQ(m.read(0x10FF), 0xFF);
}

TEST(Contents, DefaultSegmentADecodes) {
    const SegmentBytes a = buildSegmentA({});
    EXPECT_EQ(wordAt(a, 0x18),
              0x8000 | 0x3000 | 0x0010 | 0x0003);  // factory cal., %RH/°C, 0-10 V, FT
    EXPECT_EQ(wordAt(a, 0x10), 2000);              // -20
    EXPECT_EQ(wordAt(a, 0x14), 12000);             // 80
    EXPECT_EQ(std::string(a.begin() + 0x1A, a.begin() + 0x1E), "0102");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&a[0x1E])), "K58-104711");
}

TEST(Contents, OptionsChangeTheConfigurationWord) {
    TransmitterRecipe recipe;
    recipe.type = kTypeKv58Fpt;
    recipe.output = kOutput4To20mA;
    recipe.fahrenheit = true;
    recipe.relay = true;
    recipe.factoryCalibrated = false;
    recipe.display = kDisplayHumidity;
    recipe.tempMin = -40;
    recipe.serial = "ABCDEFGHIJKLMNOP";  // 16 characters, no terminator
    const SegmentBytes a = buildSegmentA(recipe);
    EXPECT_EQ(wordAt(a, 0x18), 0x4000 | 0x1000 | 0x0100 | 0x0030 | 0x0005);
    EXPECT_EQ(wordAt(a, 0x10), 0);
    EXPECT_EQ(std::string(a.begin() + 0x1E, a.begin() + 0x2E), "ABCDEFGHIJKLMNOP");
}

TEST(Contents, CalibrationDependsOnTheSerialNumber) {
    TransmitterRecipe other;
    other.serial = "K58-104712";
    EXPECT_EQ(buildSegmentB({}), buildSegmentB({}));
    EXPECT_NE(buildSegmentB({}), buildSegmentB(other));
}

TEST(Contents, FirmwareHasAVectorTableIntoItself) {
    const FirmwareBytes& fw = firmware();
    for (size_t v = 0; v < 16; ++v) {
        const uint16_t target = static_cast<uint16_t>(fw[0xFE0 + 2 * v] | fw[0xFE1 + 2 * v] << 8);
        EXPECT_GE(target, 0xF000) << "vector " << v;
        EXPECT_LT(target, 0xFFE0) << "vector " << v;
        EXPECT_NE(fw[target - 0xF000], 0xFF) << "vector " << v << " points at erased flash";
    }
    EXPECT_EQ(fw[0xFFE], 0x00);  // reset vector 0xF000
    EXPECT_EQ(fw[0xFFF], 0xF0);
}

TEST(Contents, NextSerialNumber) {
    EXPECT_EQ(nextSerial("K58-104711"), "K58-104712");
    EXPECT_EQ(nextSerial("X-199"), "X-200");
    EXPECT_EQ(nextSerial("AB"), "AB-2");
    EXPECT_EQ(nextSerial("ABCDEFGHIJKLMNOP"), "ABCDEFGHIJKLMN-2");
}

TEST(ShippedFiles, MatchTheSimulatedFirmwareAndPatch) {
    const std::string dir = std::string(KV58_SOURCE_DIR) + "/resources/shipped/";
    EXPECT_EQ(kv58::test::readFile(dir + kPasswordFileName), passwordFileText());
    EXPECT_EQ(kv58::test::readFile(dir + kPatchFileName), patchFileText());
    std::vector<ImageSection> sections;
    std::string error;
    ASSERT_TRUE(parseImageText(passwordFileText(), sections, error)) << error;
    ASSERT_EQ(sections.size(), 1u);
    EXPECT_EQ(sections[0].address, 0xFFE0u);
    const auto password = firmwarePassword();
    EXPECT_EQ(sections[0].bytes, std::vector<uint8_t>(password.begin(), password.end()));
    EXPECT_LE(std::string(kPasswordFileName).size(), 12u);
}

TEST(ImageText, FormatsAndParsesSections) {
    const std::vector<ImageSection> in = {{0x1000, {1, 2, 3}},
                                          {0xFFF0, std::vector<uint8_t>(16, 0xAB)}};
    const std::string text = formatImageText(in);
    EXPECT_EQ(text.substr(0, 18), "@1000\r\n01 02 03 \r\n");
    std::vector<ImageSection> out;
    std::string error;
    ASSERT_TRUE(parseImageText(text, out, error)) << error;
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].address, 0xFFF0u);
    EXPECT_EQ(out[1].bytes, in[1].bytes);
    ASSERT_TRUE(parseImageText("@f000\n0a 0B\nq\n@0000\nzz\n", out, error)) << "stops at q";
    EXPECT_EQ(out[0].bytes, (std::vector<uint8_t>{0x0A, 0x0B}));
}

TEST(ImageText, RejectsMalformedText) {
    std::vector<ImageSection> out;
    std::string error;
    EXPECT_FALSE(parseImageText("01 02\n", out, error));
    EXPECT_EQ(error, "line 1: data before the first address line");
    EXPECT_FALSE(parseImageText("@1000\n01 1FF\n", out, error));
    EXPECT_EQ(error, "line 2: bad byte value '1FF'");
    EXPECT_FALSE(parseImageText("@FFFF\n01 02\n", out, error));
    EXPECT_EQ(error, "line 2: data beyond address FFFF");
    EXPECT_FALSE(parseImageText("@10000\n", out, error));
}

}  // namespace
}  // namespace kv58::sim
