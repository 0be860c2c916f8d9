// Whole-file reads and crash-safe whole-file replacement.
#pragma once

#include <string>

namespace kv58 {

enum class ReadResult { Ok, Missing, Failed };

// Reads the whole file as bytes. Missing when the file does not exist, Failed when it exists
// but cannot be read (a folder, no permission, an I/O error).
ReadResult readWholeFile(const std::string& path, std::string& bytes);

// Replaces the file's contents with `bytes`, creating it when missing. The bytes go to a new
// file beside it, are flushed to the disk, and the new file is renamed over the old one, so
// that a crash or a full disk leaves either the old or the new contents, never a mix. An
// existing file keeps its permissions; a symbolic link keeps pointing at the replaced file.
// Returns false (and leaves the old file untouched) when anything fails.
bool replaceFile(const std::string& path, const std::string& bytes);

}  // namespace kv58
