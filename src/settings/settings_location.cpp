#include "settings/settings_location.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/paths.h"

namespace kv58 {

namespace {

namespace fs = std::filesystem;

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool isFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

[[maybe_unused]] bool isFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// The user's settings folder as the XDG base directories define it: $XDG_CONFIG_HOME when it
// is an absolute path, else ~/.config.
[[maybe_unused]] std::string userConfigFolder(const SettingsEnvironment& environment) {
    if (!environment.xdgConfigHome.empty() && environment.xdgConfigHome.front() == '/')
        return environment.xdgConfigHome;
    if (!environment.home.empty())
        return environment.home + "/.config";
    return "";
}

}  // namespace

SettingsEnvironment SettingsEnvironment::current() {
    return {variable("XDG_CONFIG_HOME"), variable("HOME"), "/etc/kv58"};
}

std::vector<std::string> settingsFilePlaces(const std::string& programPath,
                                            const SettingsEnvironment& environment) {
    const std::string beside = settingsStem(programPath) + "ini";
    std::vector<std::string> places{beside};
#ifndef _WIN32
    const std::string fileName = baseName(beside);
    if (const std::string user = userConfigFolder(environment); !user.empty())
        places.push_back(user + "/kv58/" + fileName);
    if (!environment.systemFolder.empty())
        places.push_back(environment.systemFolder + "/" + fileName);
    if (const std::string shipped = installedDataFolder(programPath); !shipped.empty())
        places.push_back(shipped + "/" + fileName);
#else
    static_cast<void>(environment);
#endif
    return places;
}

SettingsSearch findSettingsFile(const std::string& programPath,
                                const SettingsEnvironment& environment) {
    SettingsSearch search;
    search.places = settingsFilePlaces(programPath, environment);
    for (const std::string& place : search.places) {
        if (isFile(place)) {
            search.path = place;
            break;
        }
    }
    return search;
}

std::string folderForNewFiles(const std::string& iniPath, const std::string& programPath,
                              const SettingsEnvironment& environment) {
    const std::string folder = dirName(iniPath);
#ifndef _WIN32
    const std::string shipped = installedDataFolder(programPath);
    const bool shared = (!environment.systemFolder.empty() && folder == environment.systemFolder) ||
                        (!shipped.empty() && folder == shipped);
    const std::string user = userConfigFolder(environment);
    if (shared && !user.empty()) {
        std::error_code ec;
        fs::create_directories(user + "/kv58", ec);
        return user + "/kv58";
    }
#else
    static_cast<void>(programPath);
    static_cast<void>(environment);
#endif
    return folder;
}

std::string installedDataFolder(const std::string& programPath) {
#ifdef _WIN32
    static_cast<void>(programPath);
    return "";
#else
    const std::string bin = dirName(programPath);
    if (baseName(bin) != "bin")
        return "";
    const std::string folder = dirName(bin) + "/share/kv58";
    return isFolder(folder) ? folder : "";
#endif
}

}  // namespace kv58
