// A file that many processes append whole records to at once, such as the production log.
//
// Every append is one write call on a file opened for appending only (O_APPEND; on Windows
// FILE_APPEND_DATA), so the system places each record at the end of the file as it then is,
// in one piece: records of processes that append at the same moment neither interleave nor
// overwrite each other. A record is on the disk (flushed) when append() returns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kv58 {

class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens the file for appending, creating it when missing (readable and writable for all
    // whom the process's file-mode mask allows). False with the system's reason in `reason`.
    [[nodiscard]] bool open(const std::string& path, std::string& reason);
    bool isOpen() const { return handle_ != kClosed; }

    // Appends the bytes with one write call and flushes them to the disk. False with the
    // system's reason when they could not all be written or flushed.
    [[nodiscard]] bool append(std::string_view bytes, std::string& reason);

    void close();

private:
    static constexpr intptr_t kClosed = -1;
    intptr_t handle_ = kClosed;  // a file descriptor, or a Windows HANDLE
};

}  // namespace kv58
