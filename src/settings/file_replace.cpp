#include "settings/file_replace.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
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

bool writeAndRename(const std::string& target, const std::string& temp, const std::string& bytes) {
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out)
            return false;
    }
    return MoveFileExA(temp.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
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

bool writeAndRename(const std::string& target, const std::string& temp, const std::string& bytes) {
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    struct stat old {};
    bool ok = true;
    if (::stat(target.c_str(), &old) == 0)
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    ok = ok && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (ok)
        syncFolder(target);
    return ok;
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
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.bad() ? ReadResult::Failed : ReadResult::Ok;
}

bool replaceFile(const std::string& path, const std::string& bytes) {
    const std::string target = writeTarget(path);
    const std::string temp = temporaryName(target);
    if (writeAndRename(target, temp, bytes))
        return true;
    std::error_code ec;
    fs::remove(temp, ec);
    return false;
}

}  // namespace kv58
