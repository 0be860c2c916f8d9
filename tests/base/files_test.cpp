#include "base/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace kv58 {
namespace {

using test::fileExists;
using test::readFile;
using test::TempDir;
using test::writeFile;

size_t filesIn(const std::string& folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

TEST(ReplaceFile, WholeFileOrNothingAndNoFileLeftBeside) {
    TempDir dir;
    const std::string file = dir.file("TEMP.TXT");
    writeFile(file, "old contents");
    EXPECT_EQ(replaceFile(file, "new\r\n"), FileWriteResult::Ok);
    EXPECT_EQ(readFile(file), "new\r\n");
    EXPECT_EQ(replaceFile(dir.file("fresh.txt"), ""), FileWriteResult::Ok);
    EXPECT_TRUE(fileExists(dir.file("fresh.txt")));
    EXPECT_EQ(filesIn(dir.path()), 2u) << "no temporary file stays behind";

    std::string reason;
    EXPECT_EQ(replaceFile(dir.file("no/such/dir/TEMP.TXT"), "x", &reason),
              FileWriteResult::CannotCreate);
    EXPECT_FALSE(reason.empty()) << "the system's reason";
    EXPECT_EQ(replaceFile(dir.path(), "x"), FileWriteResult::CannotCreate) << "a folder";
    EXPECT_EQ(readFile(file), "new\r\n");
    EXPECT_EQ(filesIn(dir.path()), 2u);
}

TEST(ReplaceFile, KeepsPermissionsAndSymbolicLinks) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX permission bits and symbolic links";
#else
    TempDir dir;
    const std::string real = dir.file("real.ini");
    const std::string link = dir.file("link.ini");
    writeFile(real, "[S]\nk=1\n");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    std::filesystem::create_symlink(real, link);
    ASSERT_EQ(replaceFile(link, "[S]\nk=2\n"), FileWriteResult::Ok);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(real), "[S]\nk=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif
}

TEST(ReadWholeFile, TellsAMissingFileFromOneThatCannotBeRead) {
    TempDir dir;
    std::string bytes = "stale";
    EXPECT_EQ(readWholeFile(dir.file("none"), bytes), ReadResult::Missing);
#ifndef _WIN32
    // A device named instead of a file: the read ends at the bound, with nothing kept.
    EXPECT_EQ(readWholeFile("/dev/zero", bytes), ReadResult::Failed);
    EXPECT_TRUE(bytes.empty());
#endif
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(readWholeFile(dir.path(), bytes), ReadResult::Failed);
    writeFile(dir.file("a.bin"), std::string("\0\xFF\r\n", 4));
    EXPECT_EQ(readWholeFile(dir.file("a.bin"), bytes), ReadResult::Ok);
    EXPECT_EQ(bytes, std::string("\0\xFF\r\n", 4));
    EXPECT_TRUE(fileReadable(dir.file("a.bin")));
    EXPECT_FALSE(fileReadable(dir.file("none")));
}

}  // namespace
}  // namespace kv58
