#include "device/backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace kv58 {
namespace {

using test::RecordingUi;
using test::TempDir;

SegmentData withSerial(const char* serial, size_t length) {
    SegmentData s{};
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<uint8_t>(i);
    std::memset(&s[segment_a::kId], 0, 16);
    std::memcpy(&s[segment_a::kId], serial, length);
    return s;
}
SegmentData withSerial(const char* serial) {
    return withSerial(serial, std::strlen(serial));
}

std::tm sampleTime() {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 6;
    t.tm_hour = 7;
    t.tm_min = 10;
    return t;
}

TEST(BackupName, SerialNumbersBecomeSafeFileNames) {
    EXPECT_EQ(backupSerialText(withSerial("A1/B2")), "A1-B2");
    EXPECT_EQ(backupSerialText(withSerial("..\\..\\x")), "..-..-x");
    EXPECT_EQ(backupSerialText(withSerial("C:x*?\"<>|")), "C-x------");
    EXPECT_EQ(backupSerialText(withSerial("a\tb\x01")), "a-b-");
    EXPECT_EQ(backupSerialText(withSerial("  SN 42  ")), "SN 42");
    EXPECT_EQ(backupSerialText(withSerial("\tK58-1\r")), "K58-1");
    EXPECT_EQ(backupSerialText(withSerial("")), "NoSNumber");
    EXPECT_EQ(backupSerialText(withSerial("   ")), "NoSNumber");
    // Sixteen characters without a NUL: taken whole, nothing beyond.
    SegmentData full = withSerial("0123456789ABCDEF", 16);
    full[segment_a::kId + 16] = 'X';
    EXPECT_EQ(backupSerialText(full), "0123456789ABCDEF");
}

TEST(BackupName, FolderGetsItsSeparator) {
    EXPECT_EQ(backupFolder("C:\\data"), "C:\\data\\");
    EXPECT_EQ(backupFolder(".\\"), ".\\");
}

TEST(BackupEntry, HasTwentyFiveLinesInTheFixedLayout) {
    SegmentData a{}, b{};
    a.fill(0xAB);
    b.fill(0x01);
    const std::string entry = formatBackupEntry(sampleTime(), a, b);
    const std::string line = "AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB \n";
    const std::string lineB = "01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 \n";
    std::string expected =
        "\n#========= 06.12.2026 07:10 ==========\n----- Segment A -----\n@1080\n";
    for (int i = 0; i < 8; ++i)
        expected += line;
    expected += "q\n\n----- Segment B -----\n@1000\n";
    for (int i = 0; i < 8; ++i)
        expected += lineB;
    expected += "q\n";
    EXPECT_EQ(entry, expected);
    EXPECT_EQ(std::count(entry.begin(), entry.end(), '\n'), 25);
}

class SaveInfoMemoryTest : public ::testing::Test {
protected:
    SaveInfoMemoryTest() {
        settings.SaveData = true;
        settings.SavePath = dir.path() + "\\backups";
    }
    TempDir dir;
    Settings settings;
    RecordingUi ui;
    SegmentData read = withSerial("A1/B2");
    SegmentData write = withSerial("A1/B2");
    SegmentData segB{};
};

TEST_F(SaveInfoMemoryTest, AppendsOneEntryPerCall) {
    ASSERT_TRUE(SaveInfoMemory(settings, read, write, segB, ui, sampleTime()));
    ASSERT_TRUE(SaveInfoMemory(settings, read, write, segB, ui, sampleTime()));
    const std::string content = test::readFile(dir.path() + "/backups/A1-B2.dat");
    EXPECT_EQ(content, test::textFileBytes(formatBackupEntry(sampleTime(), write, segB) +
                                           formatBackupEntry(sampleTime(), write, segB)));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SaveInfoMemoryTest, OffWritesNothing) {
    settings.SaveData = false;
    EXPECT_TRUE(SaveInfoMemory(settings, read, write, segB, ui, sampleTime()));
    EXPECT_FALSE(test::fileExists(dir.path() + "/backups"));
}

TEST_F(SaveInfoMemoryTest, MissingParentFolderIsReported) {
    settings.SavePath = dir.path() + "\\missing\\deeper\\";
    EXPECT_FALSE(SaveInfoMemory(settings, read, write, segB, ui, sampleTime()));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text,
              "Verzeichnis " + dir.path() + "\\missing\\deeper\\ konnte nicht angelegt werden!");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Exclamation);
    // Then the system's reason, once.
    EXPECT_EQ(ui.messages[1].text.rfind(dir.path(), 0), 0u) << ui.messages[1].text;
    EXPECT_NE(ui.messages[1].text.find("deeper cannot be written: "), std::string::npos)
        << ui.messages[1].text;
}

TEST_F(SaveInfoMemoryTest, UnopenableFileIsReported) {
    // A folder in the file's place cannot be opened for appending.
    ASSERT_TRUE(SaveInfoMemory(settings, read, write, segB, ui, sampleTime()));
    settings.SavePath = dir.path();
    std::filesystem::create_directory(dir.path() + "/A1-B2.dat");
    EXPECT_FALSE(SaveInfoMemory(settings, read, write, segB, ui, sampleTime()));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text,
              "Datei " + dir.path() + "\\A1-B2.dat konnte nicht ge\xF6" + "ffnet/erstellt werden!");
    EXPECT_EQ(ui.messages[1].text.rfind(dir.path(), 0), 0u) << ui.messages[1].text;
    EXPECT_NE(ui.messages[1].text.find("A1-B2.dat cannot be written: "), std::string::npos)
        << ui.messages[1].text;
}

}  // namespace
}  // namespace kv58
