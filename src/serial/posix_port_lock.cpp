// Where the lock files of held ports live on POSIX systems: $XDG_RUNTIME_DIR/kv58-ports, else
// /tmp/kv58-ports-UID.
#ifndef _WIN32

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "base/text.h"
#include "serial/port_lock.h"

namespace kv58 {

std::string portLockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder =
        runtime && *runtime
            ? std::string(runtime) + "/kv58-ports"
            : strprintf("/tmp/kv58-ports-%lu", static_cast<unsigned long>(getuid()));
    // Private, and refused when another user made it first (in /tmp anyone could).
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid())
        return {};
    return folder;
}

}  // namespace kv58

#endif  // !_WIN32
