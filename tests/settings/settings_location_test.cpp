// Which settings file a program uses: beside it first, then for an installed program the
// user's, the machine's and the installation's sample.
#include "settings/settings_location.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace kv58 {
namespace {

using test::TempDir;
using test::writeFile;

namespace fs = std::filesystem;

class SettingsLocation : public ::testing::Test {
protected:
    SettingsLocation() {
        for (const char* folder : {"usr/bin", "usr/share/kv58", "home/.config/kv58", "xdg/kv58",
                                   "etc/kv58", "portable"}) {
            fs::create_directories(root.file(folder));
        }
        environment = {"", root.file("home"), root.file("etc/kv58")};
    }
    TempDir root;
    const std::string program = root.file("usr/bin/KV58");
    SettingsEnvironment environment;
};

TEST_F(SettingsLocation, AnInstalledProgramLooksBesideItselfThenUserMachineAndSample) {
    const std::vector<std::string> places = {
        root.file("usr/bin/KV58.ini"), root.file("home/.config/kv58/KV58.ini"),
        root.file("etc/kv58/KV58.ini"), root.file("usr/share/kv58/KV58.ini")};
#ifndef _WIN32
    EXPECT_EQ(settingsFilePlaces(program, environment), places);
    EXPECT_EQ(installedDataFolder(program), root.file("usr/share/kv58"));
    EXPECT_EQ(findSettingsFile(program, environment).path, "") << "none there yet";

    writeFile(places[3], "[COM]\n");
    EXPECT_EQ(findSettingsFile(program, environment).path, places[3]);
    writeFile(places[2], "[COM]\n");
    EXPECT_EQ(findSettingsFile(program, environment).path, places[2]);
    writeFile(places[1], "[COM]\n");
    EXPECT_EQ(findSettingsFile(program, environment).path, places[1]);
    writeFile(places[0], "[COM]\n");
    const SettingsSearch search = findSettingsFile(program, environment);
    EXPECT_EQ(search.path, places[0]);
    EXPECT_EQ(search.places, places);
#else
    EXPECT_EQ(settingsFilePlaces(program, environment), std::vector{places[0]});
#endif
}

TEST_F(SettingsLocation, XdgConfigHomeCountsOnlyWhenAbsolute) {
#ifndef _WIN32
    environment.xdgConfigHome = root.file("xdg");
    EXPECT_EQ(settingsFilePlaces(program, environment).at(1), root.file("xdg/kv58/KV58.ini"));
    environment.xdgConfigHome = "relative/xdg";
    EXPECT_EQ(settingsFilePlaces(program, environment).at(1),
              root.file("home/.config/kv58/KV58.ini"));
    environment.home.clear();
    EXPECT_EQ(settingsFilePlaces(program, environment).at(1), root.file("etc/kv58/KV58.ini"));
#endif
}

TEST_F(SettingsLocation, NewFilesOfSharedSettingsGoToTheUsersFolder) {
    const std::string user = root.file("home/.config/kv58");
    EXPECT_EQ(folderForNewFiles(user + "/KV58.ini", program, environment), user);
    EXPECT_EQ(folderForNewFiles(root.file("portable/KV58.ini"), program, environment),
              root.file("portable"));
#ifndef _WIN32
    fs::remove_all(root.file("home/.config"));
    EXPECT_EQ(folderForNewFiles(root.file("etc/kv58/KV58.ini"), program, environment), user);
    EXPECT_TRUE(fs::is_directory(user)) << "made when missing";
    EXPECT_EQ(folderForNewFiles(root.file("usr/share/kv58/KV58.ini"), program, environment), user);
#endif
}

TEST_F(SettingsLocation, APortableFolderHasNoInstalledDataFolder) {
    const std::string portable = root.file("portable/KV58");
    EXPECT_EQ(installedDataFolder(portable), "");
    writeFile(root.file("portable/KV58.ini"), "[COM]\n");
    EXPECT_EQ(findSettingsFile(portable, environment).path, root.file("portable/KV58.ini"));
    // A folder named bin without share/kv58 beside it (a build tree) is no installation.
    fs::remove_all(root.file("usr/share"));
    EXPECT_EQ(installedDataFolder(program), "");
}

}  // namespace
}  // namespace kv58
