#ifdef _WIN32

#include <windows.h>

#include "base/file_lock.h"
#include "base/text.h"

namespace kv58 {

std::unique_ptr<FileLock> FileLock::acquire(const std::string& path, Result& result,
                                            std::string& reason) {
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        result = error == ERROR_SHARING_VIOLATION ? Result::Busy : Result::Failed;
        reason = strprintf("system error %lu", static_cast<unsigned long>(error));
        return nullptr;
    }
    result = Result::Held;
    return std::unique_ptr<FileLock>(new FileLock(reinterpret_cast<intptr_t>(h)));
}

FileLock::~FileLock() {
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace kv58

#endif  // _WIN32
