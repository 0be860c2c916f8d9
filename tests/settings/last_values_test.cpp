#include "settings/last_values.h"

#include <gtest/gtest.h>

#include "settings/profile.h"
#include "support/temp_dir.h"

namespace kv58 {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

LastValues fullSelection() {
    LastValues v;
    v.transmitter = "KV58-FT";
    v.output = "4 - 20 mA";
    v.tUnit =
        "\xB0"
        "C";
    v.tMin = -40;
    v.tMax = 120;
    v.display =
        "%RH / \xB0"
        "C";
    v.alarmRelay = "Yes";
    v.writeProg = true;
    v.produktCode = "";
    return v;
}

TEST(SaveLastValuesTest, WritesEveryKeyInOrderIntoANewFile) {
    TempDir dir;
    const std::string path = dir.file("KV58.lkd");
    ASSERT_TRUE(SaveLastValues(path, fullSelection()));
    EXPECT_EQ(readFile(path),
              "[LastValue]\r\nTransmitter=KV58-FT\r\nOutput=4 - 20 mA\r\nTUnit=\xB0"
              "C\r\n"
              "TMin=-40\r\nTMax=120\r\nDisplay=%RH / \xB0"
              "C\r\nAlarmRelay=Yes\r\n"
              "WriteProg=1\r\nProduktCode=\r\n");
}

TEST(SaveLastValuesTest, ListsWithoutSelectionKeepTheirOldValues) {
    TempDir dir;
    const std::string path = dir.file("KV58.lkd");
    ASSERT_TRUE(SaveLastValues(path, fullSelection()));
    LastValues next;  // no list has a selection
    next.tMin = 0;
    next.tMax = 50;
    next.produktCode = "KV58-1234";
    ASSERT_TRUE(SaveLastValues(path, next));
    std::string text;
    getProfileString(path, "LastValue", "Transmitter", "", text);
    EXPECT_EQ(text, "KV58-FT");
    getProfileString(path, "LastValue", "Display", "", text);
    EXPECT_EQ(text,
              "%RH / \xB0"
              "C");
    getProfileString(path, "LastValue", "TMax", "", text);
    EXPECT_EQ(text, "50");
    getProfileString(path, "LastValue", "WriteProg", "", text);
    EXPECT_EQ(text, "0");
    getProfileString(path, "LastValue", "ProduktCode", "", text);
    EXPECT_EQ(text, "KV58-1234");
}

TEST(SaveLastValuesTest, ReportsAFileThatCannotBeWritten) {
    TempDir dir;
    EXPECT_FALSE(SaveLastValues(dir.file("no/folder/KV58.lkd"), fullSelection()));
}

}  // namespace
}  // namespace kv58
