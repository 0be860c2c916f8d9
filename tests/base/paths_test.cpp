#include "base/paths.h"

#include <gtest/gtest.h>

namespace kv58 {
namespace {

TEST(SettingsStem, CutsAtTheLastDotOfTheFileNameOnly) {
    EXPECT_EQ(settingsStem("C:\\Tools\\Conf.exe"), "C:\\Tools\\Conf.");
    EXPECT_EQ(settingsStem("C:\\Tools\\Conf"), "C:\\Tools\\Conf.");
    EXPECT_EQ(settingsStem("/home/a.b/bin/kv58"), "/home/a.b/bin/kv58.");
    EXPECT_EQ(settingsStem("C:\\my.dir\\KV58"), "C:\\my.dir\\KV58.");
    EXPECT_EQ(settingsStem("/opt/kv58/KV58.bin.exe"), "/opt/kv58/KV58.bin.");
}

TEST(Paths, WindowsSeparatorsBecomeNative) {
#ifndef _WIN32
    EXPECT_EQ(nativePath(".\\backup\\A1.dat"), "./backup/A1.dat");
    // Windows-1252 texts become UTF-8 names.
    EXPECT_EQ(fileSystemPath(".\\B\xFCro\\\xFF\xFF.dat"), "./B\xC3\xBCro/\xC3\xBF\xC3\xBF.dat");
#endif
    EXPECT_EQ(baseName("C:\\Tools\\Conf.exe"), "Conf.exe");
    EXPECT_EQ(baseName("/usr/bin/kv58ctl"), "kv58ctl");
    EXPECT_EQ(dirName("/usr/bin/kv58ctl"), "/usr/bin");
    EXPECT_EQ(dirName("kv58ctl"), "");
}

}  // namespace
}  // namespace kv58
