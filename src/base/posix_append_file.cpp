#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/append_file.h"

namespace kv58 {

AppendFile::~AppendFile() {
    close();
}

bool AppendFile::open(const std::string& path, std::string& reason) {
    close();
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    handle_ = fd;
    return true;
}

bool AppendFile::append(std::string_view bytes, std::string& reason) {
    if (!isOpen()) {
        reason = "the file is not open";
        return false;
    }
    const int fd = static_cast<int>(handle_);
    ssize_t n;
    do {
        n = ::write(fd, bytes.data(), bytes.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        reason = std::strerror(errno);
        return false;
    }
    if (static_cast<size_t>(n) != bytes.size()) {
        // A regular file takes a write whole unless the disk is full; a part of a record
        // must not be mistaken for success.
        reason = "only part of the record was written (disk full?)";
        return false;
    }
    if (fdatasync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

void AppendFile::close() {
    if (isOpen())
        ::close(static_cast<int>(handle_));
    handle_ = kClosed;
}

}  // namespace kv58
