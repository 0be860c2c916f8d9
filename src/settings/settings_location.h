// Which settings file a program uses, and where the files of its installation lie.
//
// The settings file has the program's name with ".ini" (KV58 -> KV58.ini). A program finds it
//   1. beside itself: a portable folder, a build tree, the Windows archive;
// and an installed program on Linux, when there is none beside it, then
//   2. in the user's settings: $XDG_CONFIG_HOME/kv58/KV58.ini (default ~/.config/kv58/),
//   3. in the machine's: /etc/kv58/KV58.ini,
//   4. the installation's sample: <prefix>/share/kv58/KV58.ini beside <prefix>/bin.
// The first that exists is used; the last-values file KV58.lkd lies beside it.
#pragma once

#include <string>
#include <vector>

namespace kv58 {

// The environment the search reads, so that tests can give their own.
struct SettingsEnvironment {
    std::string xdgConfigHome;  // $XDG_CONFIG_HOME (used only when absolute)
    std::string home;           // $HOME
    std::string systemFolder;   // the machine's settings folder

    // The process's environment; the machine's folder is /etc/kv58.
    static SettingsEnvironment current();
};

struct SettingsSearch {
    std::string path;                 // the settings file found; empty when there is none
    std::vector<std::string> places;  // every place looked at, in order
};

// The places where the program at `programPath` looks for its settings file, in order.
std::vector<std::string> settingsFilePlaces(const std::string& programPath,
                                            const SettingsEnvironment& environment);

// The first of those places that holds a file.
SettingsSearch findSettingsFile(
    const std::string& programPath,
    const SettingsEnvironment& environment = SettingsEnvironment::current());

// The folder where the program makes the files it keeps beside its settings (the last values,
// the simulated transmitter's state, relative backup folders): the settings file's folder; but
// for a settings file that every user shares (the machine's in /etc/kv58, or the
// installation's sample), the user's own settings folder ~/.config/kv58, made when missing,
// so that no run writes into the machine's folders.
std::string folderForNewFiles(
    const std::string& iniPath, const std::string& programPath,
    const SettingsEnvironment& environment = SettingsEnvironment::current());

// The installation's folder of shipped data files (the sample settings and password files,
// PATCH.TXT): <prefix>/share/kv58 for a program in <prefix>/bin. Empty when it does not exist
// (a build tree, a portable folder, Windows).
std::string installedDataFolder(const std::string& programPath);

}  // namespace kv58
