#include "base/data_files.h"

#include <filesystem>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "base/files.h"
#include "base/paths.h"

namespace kv58 {

namespace {

namespace fs = std::filesystem;

bool isRelative(const std::string& name) {
    return !name.empty() && fs::path(name).is_relative();
}

bool writableFolder(const std::string& folder) {
#ifdef _WIN32
    return _access(folder.c_str(), 2) == 0;
#else
    return access(folder.c_str(), W_OK | X_OK) == 0;
#endif
}

}  // namespace

std::string findDataFile(const std::string& name, const std::vector<std::string>& folders) {
    if (!isRelative(name) || pathExists(name))
        return name;
    for (const std::string& folder : folders) {
        if (folder.empty())
            continue;
        const std::string candidate = joinPath(folder, name);
        if (pathExists(candidate))
            return candidate;
    }
    return name;
}

std::string placeDataFile(const std::string& name, const std::string& home) {
    if (!isRelative(name) || home.empty() || pathExists(name))
        return name;
    const std::string beside = joinPath(home, name);
    if (pathExists(beside) || writableFolder(home))
        return beside;
    return name;
}

}  // namespace kv58
