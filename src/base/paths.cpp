#include "base/paths.h"

#include <array>

#include "base/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kv58 {

namespace {
size_t lastSeparator(std::string_view path) {
    return path.find_last_of("/\\");
}
}  // namespace

std::string programPath() {
#ifdef _WIN32
    std::array<char, 1024> buffer{};
    const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    return std::string(buffer.data(), n);
#else
    std::array<char, 4096> buffer{};
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return {};
    return std::string(buffer.data(), static_cast<size_t>(n));
#endif
}

std::string settingsStem(std::string_view path) {
    const size_t sep = lastSeparator(path);
    const size_t nameStart = sep == std::string_view::npos ? 0 : sep + 1;
    const size_t dot = path.find_last_of('.');
    if (dot != std::string_view::npos && dot >= nameStart) {
        return std::string(path.substr(0, dot + 1));
    }
    return std::string(path) + ".";
}

std::string nativePath(std::string_view path) {
    std::string out(path);
#ifndef _WIN32
    for (char& c : out) {
        if (c == '\\')
            c = '/';
    }
#endif
    return out;
}

std::string joinPath(std::string_view folder, std::string_view name) {
#ifdef _WIN32
    constexpr char kSeparator = '\\';
#else
    constexpr char kSeparator = '/';
#endif
    while (name.size() >= 2 && name[0] == '.' && (name[1] == '/' || name[1] == '\\'))
        name.remove_prefix(2);
    std::string out(folder);
    if (!out.empty() && out.back() != '/' && out.back() != '\\')
        out += kSeparator;
    out += name;
    return nativePath(out);
}

std::string fileSystemPath(std::string_view path) {
#ifdef _WIN32
    return nativePath(path);
#else
    return cp1252ToUtf8(nativePath(path));
#endif
}

std::string baseName(std::string_view path) {
    const size_t sep = lastSeparator(path);
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::string dirName(std::string_view path) {
    const size_t sep = lastSeparator(path);
    return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep));
}

}  // namespace kv58
