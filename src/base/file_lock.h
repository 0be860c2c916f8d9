// An advisory lock on a file that dies with the process: a lock file held open (POSIX flock,
// Windows an open without sharing), which the system lets go of however the process ends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kv58 {

class FileLock {
public:
    enum class Result { Held, Busy, Failed };

    // Creates the file when missing and locks it without waiting. Busy when another open of
    // it (another process, or another lock in this one) holds it; Failed with the system's
    // reason in `reason` when it cannot be made or locked.
    static std::unique_ptr<FileLock> acquire(const std::string& path, Result& result,
                                             std::string& reason);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    explicit FileLock(intptr_t handle) : handle_(handle) {}
    intptr_t handle_;
};

}  // namespace kv58
