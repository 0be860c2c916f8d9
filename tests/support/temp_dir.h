// A fresh temporary folder per test, removed with its contents afterwards, and small file
// helpers that keep bytes exactly as given (no line-end translation).
#pragma once

#include <string>

namespace kv58::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

// Changes the working directory for the lifetime of the object (files such as TEMP.TXT and
// PATCH.TXT are looked up there).
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& path);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::string previous_;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);  // "" when missing
bool fileExists(const std::string& path);
// The bytes a file written in text mode holds for `text`: each "\n" is "\r\n" on Windows.
std::string textFileBytes(const std::string& text);

}  // namespace kv58::test
