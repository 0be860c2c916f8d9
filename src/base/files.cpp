#include "base/files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "base/text.h"

#ifdef _WIN32
#include <windows.h>

#include "base/win32_system_text.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kv58 {

namespace fs = std::filesystem;

namespace {

// The file a write really lands on: the target of a symbolic link, else the path itself.
std::string writeTarget(const std::string& path) {
    std::error_code ec;
    if (!fs::is_symlink(path, ec))
        return path;
    const fs::path target = fs::weakly_canonical(path, ec);
    return ec ? path : target.string();
}

std::string temporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const unsigned long pid = GetCurrentProcessId();
#else
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    return target + ".~" + std::to_string(pid) + "-" + std::to_string(counter++);
}

#ifdef _WIN32

FileWriteResult writeAndRename(const std::string& target, const std::string& temp,
                               const std::string& bytes, std::string& reason) {
    const HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = win32SystemText(GetLastError());
        return FileWriteResult::CannotCreate;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(file);
    if (!ok)
        reason = win32SystemText(GetLastError());
    ok = CloseHandle(file) && ok;
    if (!ok)
        return FileWriteResult::WriteFailed;
    if (!MoveFileExA(temp.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        reason = win32SystemText(GetLastError());
        return FileWriteResult::CannotCreate;
    }
    return FileWriteResult::Ok;
}

#else

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Makes the rename itself durable; a failure here does not undo the replacement.
void syncFolder(const std::string& target) {
    const fs::path folder = fs::path(target).parent_path();
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

FileWriteResult writeAndRename(const std::string& target, const std::string& temp,
                               const std::string& bytes, std::string& reason) {
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        reason = std::strerror(errno);
        return FileWriteResult::CannotCreate;
    }
    struct stat old {};
    bool ok = true;
    if (::stat(target.c_str(), &old) == 0)
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    ok = ok && writeAll(fd, bytes) && ::fsync(fd) == 0;
    if (!ok)
        reason = std::strerror(errno);
    ok = (::close(fd) == 0) && ok;
    if (!ok) {
        if (reason.empty())
            reason = std::strerror(errno);
        return FileWriteResult::WriteFailed;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        reason = std::strerror(errno);
        return FileWriteResult::CannotCreate;
    }
    syncFolder(target);
    return FileWriteResult::Ok;
}

#endif

}  // namespace

ReadResult readWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found)
        return ReadResult::Missing;
    if (ec || fs::is_directory(status))
        return ReadResult::Failed;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return ReadResult::Failed;
    char chunk[1 << 16];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.append(chunk, static_cast<size_t>(in.gcount()));
        if (bytes.size() > kMaxFileBytes) {
            bytes.clear();
            return ReadResult::Failed;
        }
    }
    return in.bad() ? ReadResult::Failed : ReadResult::Ok;
}

bool fileReadable(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::fclose(file);
    return true;
}

bool pathExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

FileWriteResult replaceFile(const std::string& path, const std::string& bytes,
                            std::string* reason) {
    const std::string target = writeTarget(path);
    const std::string temp = temporaryName(target);
    std::string why;
    const FileWriteResult result = writeAndRename(target, temp, bytes, why);
    if (result == FileWriteResult::Ok)
        return result;
    std::error_code ec;
    fs::remove(temp, ec);
    if (reason)
        *reason = why;
    return result;
}

FileWriteResult replaceSharedFile(const std::string& path, const std::string& bytes,
                                  std::string* reason) {
#ifdef _WIN32
    return replaceFile(path, bytes, reason);
#else
    // The folder's lock orders the writers; a folder that cannot be locked (no read
    // permission) still gets a whole file from the rename.
    const fs::path folder = fs::path(writeTarget(path)).parent_path();
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        static_cast<void>(::flock(fd, LOCK_EX));
    const FileWriteResult result = replaceFile(path, bytes, reason);
    if (fd >= 0)
        ::close(fd);  // releases the lock
    return result;
#endif
}

std::string pathForMessage(const std::string& nativePath) {
#ifdef _WIN32
    return nativePath;
#else
    return utf8ToCp1252(nativePath);
#endif
}

std::string workingFolder() {
#ifdef _WIN32
    // The system's own bytes: the standard library's path would convert the code page.
    char buffer[MAX_PATH + 1];
    const DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    return length == 0 || length > MAX_PATH ? std::string() : std::string(buffer, length);
#else
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? std::string() : folder.string();
#endif
}

std::string workingFolderForMessage() {
    const std::string folder = workingFolder();
    return folder.empty() ? std::string("the working folder") : pathForMessage(folder);
}

std::string fileNotWritten(const std::string& path, const std::string& reason) {
    const std::string why = reason.empty() ? std::string("reason unknown") : reason;
    if (std::filesystem::path(path).is_absolute())
        return strprintf("%s cannot be written: %s", pathForMessage(path).c_str(), why.c_str());
    return strprintf("%s (in the working folder %s) cannot be written: %s",
                     pathForMessage(path).c_str(), workingFolderForMessage().c_str(), why.c_str());
}

}  // namespace kv58
