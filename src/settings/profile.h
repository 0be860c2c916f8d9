// Profile ("INI") files, read and written one key at a time with the semantics of the Windows
// profile-string calls that the program's settings files were written for.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/profile_format.h"

namespace kv58 {

// Reads `key` of `section` from the file at `path` into `out` (Windows-1252, whatever the
// file's encoding). A missing file, section or key gives `defaultText` without its trailing
// blanks; the result is cut to `bufferSize` - 1 characters. Returns the number of characters
// copied, like GetPrivateProfileStringA.
size_t getProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view defaultText, std::string& out, size_t bufferSize = 1024);

// A profile file read once, for a caller that reads many keys of it (the settings load): each
// key is then looked up in memory instead of reading and decoding the whole file again. Keys
// read the file as it was when the object was made.
class ProfileSnapshot {
public:
    explicit ProfileSnapshot(const std::string& path);
    // The lines point into the text: the snapshot stays where it was made.
    ProfileSnapshot(const ProfileSnapshot&) = delete;
    ProfileSnapshot& operator=(const ProfileSnapshot&) = delete;

    // getProfileString on the snapshot.
    size_t get(std::string_view section, std::string_view key, std::string_view defaultText,
               std::string& out, size_t bufferSize = 1024) const;

private:
    std::string text_;  // the file's contents as Windows-1252 text (empty when unreadable)
    std::vector<profile::Line> lines_;
};

// Writes `value` (Windows-1252) to `key` of `section`, creating the file and the section when
// missing and keeping every other byte of the file. Writes through a temporary file and an
// atomic rename. Returns false when the file cannot be written, and leaves the file as it is
// when it would no longer read as meant: a Windows-1252 file whose other lines would then
// read as UTF-8, or a value that would not read back.
[[nodiscard]] bool writeProfileString(const std::string& path, std::string_view section,
                                      std::string_view key, std::string_view value);

}  // namespace kv58
