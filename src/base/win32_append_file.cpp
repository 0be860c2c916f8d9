#include <windows.h>

#include "base/append_file.h"
#include "base/win32_system_text.h"

namespace kv58 {

namespace {

HANDLE native(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

AppendFile::~AppendFile() {
    close();
}

bool AppendFile::open(const std::string& path, std::string& reason) {
    close();
    // Append-only access: every write goes to the end of the file as one piece, whatever
    // other processes append meanwhile. Others may read, write and append too.
    const HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = win32SystemText(GetLastError());
        return false;
    }
    handle_ = reinterpret_cast<intptr_t>(file);
    return true;
}

bool AppendFile::append(std::string_view bytes, std::string& reason) {
    if (!isOpen()) {
        reason = "the file is not open";
        return false;
    }
    DWORD written = 0;
    if (!WriteFile(native(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr)) {
        reason = win32SystemText(GetLastError());
        return false;
    }
    if (written != bytes.size()) {
        reason = "only part of the record was written (disk full?)";
        return false;
    }
    if (!FlushFileBuffers(native(handle_))) {
        reason = win32SystemText(GetLastError());
        return false;
    }
    return true;
}

void AppendFile::close() {
    if (isOpen())
        CloseHandle(native(handle_));
    handle_ = kClosed;
}

}  // namespace kv58
