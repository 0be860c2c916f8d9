// Whole-file reads and the one way the program replaces a file: crash-safe, whole or not at all.
#pragma once

#include <cstddef>
#include <string>

namespace kv58 {

enum class ReadResult { Ok, Missing, Failed };

// The most any file the program reads may hold (settings, images, backups, lists): a device or
// an endless pipe named instead of a file ends the read there.
constexpr size_t kMaxFileBytes = 64u << 20;

// Reads the whole file as bytes. Missing when the file does not exist, Failed when it exists
// but cannot be read (a folder, no permission, an I/O error) or holds more than kMaxFileBytes.
[[nodiscard]] ReadResult readWholeFile(const std::string& path, std::string& bytes);

// Whether the file can be opened for reading.
[[nodiscard]] bool fileReadable(const std::string& path);

// Whether a file or folder of that name exists (false also when the system cannot tell).
[[nodiscard]] bool pathExists(const std::string& path);

enum class [[nodiscard]] FileWriteResult{
    Ok,
    CannotCreate,  // the file (or the new file beside it) cannot be created or put in place
    WriteFailed,   // it was created, but the bytes could not all be written and flushed
};

// Replaces the file's contents with `bytes`, creating it when missing. The bytes go to a new
// file beside it with a name of its own (so that runs side by side never share one), are
// flushed to the disk, and the new file is renamed over the old one, so that a crash or a
// full disk leaves either the old or the new contents, never a mix. An existing file keeps
// its permissions; a symbolic link keeps pointing at the replaced file. On failure the old
// file is untouched, the new one removed, and `reason` (when given) holds the system's text.
FileWriteResult replaceFile(const std::string& path, const std::string& bytes,
                            std::string* reason = nullptr);

// replaceFile for a file that other runs in the same folder write too (the work image of a
// segment write): the writers take turns under an advisory lock on the folder (POSIX), so
// that each replacement is whole and the last one wins.
FileWriteResult replaceSharedFile(const std::string& path, const std::string& bytes,
                                  std::string* reason = nullptr);

// A native path in the library's Windows-1252, for a message.
std::string pathForMessage(const std::string& nativePath);
// The working folder, absolute, as the system names it ("" when it cannot tell).
std::string workingFolder();
// The working folder, absolute, for a message.
std::string workingFolderForMessage();
// "FILE (in the working folder FOLDER) cannot be written: REASON" for a file the program
// creates, so that a user who started it from a launcher learns where it tried.
std::string fileNotWritten(const std::string& nativePath, const std::string& reason);

}  // namespace kv58
