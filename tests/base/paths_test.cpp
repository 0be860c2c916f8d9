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

// A backup file's name holds a serial number's bytes as they are (sixteen 0xFF for an
// erased Segment A on Windows, whose file names are the code page's): the join keeps them.
TEST(Paths, JoinKeepsTheBytesOfBothAndDropsALeadingDot) {
    const std::string erased(4, '\xFF');
    const std::string joined = joinPath("backup", erased + ".dat");
    EXPECT_EQ(joined, nativePath("backup\\" + erased + ".dat"));
    EXPECT_EQ(joinPath("settings", "./sim.state"), nativePath("settings\\sim.state"));
    EXPECT_EQ(joinPath("settings", ".\\backup"), nativePath("settings\\backup"));
}

}  // namespace
}  // namespace kv58
