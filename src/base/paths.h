// File locations: the program's own path, the settings-file rule, and Windows-style paths.
#pragma once

#include <string>
#include <string_view>

namespace kv58 {

// Full path of the running program (empty when the platform cannot tell).
std::string programPath();

// Cuts the program path after the last "." of its file name, keeping the "."; a file name
// without a "." gets one appended. "C:\Tools\Conf.exe" -> "C:\Tools\Conf.",
// "/home/a.b/bin/kv58" -> "/home/a.b/bin/kv58.". Both "/" and "\" separate folders.
std::string settingsStem(std::string_view programPath);

// Converts a Windows-style path from a settings file ("\" separators, ".\" for the working
// directory) into one the platform opens. On Windows it is returned unchanged.
std::string nativePath(std::string_view path);

// The name under which the file system knows a Windows-style path whose text is Windows-1252
// (a settings value, a serial number): nativePath, and on systems other than Windows, whose
// file names are UTF-8 by convention, converted to UTF-8, so that "B\xFCro" is the folder the
// user sees as "Büro" and a serial number of erased flash (0xFF bytes) still gives a name that
// can be typed.
std::string fileSystemPath(std::string_view path);

// `name` inside `folder`, joined with the system's separator; a "./" or ".\" in front of
// `name` is dropped. The bytes of both are kept as they are (a join through the standard
// library's path would convert a Windows name's code page).
std::string joinPath(std::string_view folder, std::string_view name);

// The file name without its folders ("/" and "\" both separate).
std::string baseName(std::string_view path);
// The folder part with its trailing separator removed ("" when there is none).
std::string dirName(std::string_view path);

}  // namespace kv58
