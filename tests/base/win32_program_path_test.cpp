// Where a Windows program finds its settings: its own full path from the system.
#include <gtest/gtest.h>
#include <windows.h>

#include "base/paths.h"
#include "base/text.h"

namespace kv58 {
namespace {

TEST(Win32ProgramPath, IsTheFullPathOfTheRunningProgram) {
    const std::string path = programPath();
    ASSERT_GE(path.size(), 3u);
    EXPECT_EQ(path.substr(1, 2), ":\\") << path;
    EXPECT_TRUE(equalsIgnoreCase(baseName(path), "test_base.exe")) << path;
    EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u) << path;
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
    EXPECT_EQ(settingsStem(path) + "ini", path.substr(0, path.size() - 3) + "ini");
}

}  // namespace
}  // namespace kv58
