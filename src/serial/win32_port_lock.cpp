// Where the lock files of held ports live on Windows: kv58-ports in the user's temporary
// folder.
#ifdef _WIN32

#include <windows.h>

#include <string>

#include "serial/port_lock.h"

namespace kv58 {

std::string portLockFolder() {
    char temp[MAX_PATH + 1] = "";
    const DWORD length = GetTempPathA(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH)
        return {};
    const std::string folder = std::string(temp, length) + "kv58-ports";
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return {};
    return folder;
}

}  // namespace kv58

#endif  // _WIN32
