#ifndef _WIN32

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/file_lock.h"

namespace kv58 {

std::unique_ptr<FileLock> FileLock::acquire(const std::string& path, Result& result,
                                            std::string& reason) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        result = Result::Failed;
        reason = std::strerror(errno);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        result = errno == EWOULDBLOCK ? Result::Busy : Result::Failed;
        reason = std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    result = Result::Held;
    return std::unique_ptr<FileLock>(new FileLock(fd));
}

FileLock::~FileLock() {
    ::close(static_cast<int>(handle_));  // lets go of the lock; the file stays
}

}  // namespace kv58

#endif  // !_WIN32
