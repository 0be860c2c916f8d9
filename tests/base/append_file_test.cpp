// Appending whole records to a file that other processes append to at the same time.
#include "base/append_file.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "base/text.h"
#include "support/temp_dir.h"

namespace kv58 {
namespace {

using test::readFile;
using test::TempDir;

TEST(AppendFile, CreatesAppendsAndKeepsWhatWasThere) {
    TempDir dir;
    const std::string path = dir.file("log");
    test::writeFile(path, "old\n");
    AppendFile file;
    std::string reason;
    ASSERT_TRUE(file.open(path, reason)) << reason;
    ASSERT_TRUE(file.append("one\n", reason)) << reason;
    ASSERT_TRUE(file.append("two\n", reason)) << reason;
    EXPECT_EQ(readFile(path), "old\none\ntwo\n");
    file.close();
    EXPECT_FALSE(file.append("three\n", reason));
    EXPECT_EQ(reason, "the file is not open");
}

TEST(AppendFile, OpenFailsWithTheSystemsReason) {
    TempDir dir;
    AppendFile file;
    std::string reason;
    EXPECT_FALSE(file.open(dir.file("no/such/folder/log"), reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(file.open(dir.path(), reason)) << "a folder";
    EXPECT_FALSE(file.isOpen());
}

#ifndef _WIN32
// Eight processes append records of many lengths (up to 5 KB, far beyond what a pipe keeps
// whole) as fast as they can: every record ends up in the file whole, once.
TEST(AppendFile, RecordsOfProcessesAppendingAtOnceNeverMix) {
    TempDir dir;
    const std::string path = dir.file("log");
    constexpr int kProcesses = 8;
    constexpr int kRecords = 300;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            AppendFile file;
            std::string reason;
            bool ok = file.open(path, reason);
            for (int r = 0; ok && r < kRecords; ++r) {
                const std::string body(static_cast<size_t>((r * 37 + p * 11) % 5000),
                                       static_cast<char>('a' + p));
                ok = file.append(strprintf("%d %d %zu ", p, r, body.size()) + body + "\n", reason);
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::istringstream lines(readFile(path));
    std::map<std::pair<int, int>, int> seen;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        int p = -1, r = -1;
        size_t length = 0;
        std::string body;
        fields >> p >> r >> length;
        fields.get();
        std::getline(fields, body);
        ASSERT_TRUE(p >= 0 && p < kProcesses) << line.substr(0, 40);
        EXPECT_EQ(body, std::string(length, static_cast<char>('a' + p))) << p << " " << r;
        ++seen[{p, r}];
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kProcesses * kRecords));
    for (const auto& [key, count] : seen)
        EXPECT_EQ(count, 1) << key.first << " " << key.second;
}
#endif

}  // namespace
}  // namespace kv58
