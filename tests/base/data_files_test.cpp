// Where data files named in a settings file are found, and where new ones are made.
#include "base/data_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/version.h"
#include "support/temp_dir.h"

namespace kv58 {
namespace {

using test::TempDir;
using test::WorkingDirectory;
using test::writeFile;

namespace fs = std::filesystem;

std::string madeFolder(const TempDir& dir, const char* name) {
    fs::create_directory(dir.file(name));
    return dir.file(name);
}

class DataFiles : public ::testing::Test {
protected:
    TempDir work;
    const std::string settings = madeFolder(work, "settings");
    const std::string shipped = madeFolder(work, "shipped");
    WorkingDirectory cwd{madeFolder(work, "here")};
};

TEST_F(DataFiles, WorkingFolderFirstThenEachFolderInOrder) {
    EXPECT_EQ(findDataFile("PW.TXT", {settings, shipped}), "PW.TXT") << "found nowhere";
    writeFile(shipped + "/PW.TXT", "x");
    EXPECT_EQ(fs::path(findDataFile("PW.TXT", {settings, shipped})), fs::path(shipped + "/PW.TXT"));
    writeFile(settings + "/PW.TXT", "x");
    EXPECT_EQ(fs::path(findDataFile("PW.TXT", {settings, shipped})),
              fs::path(settings + "/PW.TXT"));
    writeFile("PW.TXT", "x");
    EXPECT_EQ(findDataFile("PW.TXT", {settings, shipped}), "PW.TXT");
    // An absolute name is never moved; an empty folder is the working folder.
    EXPECT_EQ(fs::path(findDataFile(shipped + "/NONE.TXT", {settings})),
              fs::path(shipped + "/NONE.TXT"));
    EXPECT_EQ(findDataFile("NONE.TXT", {"", settings}), "NONE.TXT");
}

TEST_F(DataFiles, NewFilesGoBesideTheSettingsUnlessTheWorkingFolderHasThem) {
    EXPECT_EQ(fs::path(placeDataFile("sim.state", settings)), fs::path(settings + "/sim.state"));
    EXPECT_EQ(fs::path(placeDataFile("./backup", settings)), fs::path(settings + "/backup"));
    writeFile("sim.state", "x");
    EXPECT_EQ(placeDataFile("sim.state", settings), "sim.state");
    EXPECT_EQ(placeDataFile(".", settings), ".") << "the working folder itself";
    EXPECT_EQ(placeDataFile("new.state", ""), "new.state") << "settings in the working folder";
}

TEST(Version, LineNamesProgramVersionBuildAndCommit) {
    EXPECT_EQ(versionNumberText(), "2.08.000");
    const std::string line = versionLine("kv58ctl");
    EXPECT_EQ(line.rfind("kv58ctl 2.08.000 (build 46, commit ", 0), 0u) << line;
    EXPECT_EQ(line.back(), ')');
    EXPECT_GT(std::string(buildCommit()).size(), 0u);
}

}  // namespace
}  // namespace kv58
