#include "serial/port_lock.h"

#include <cctype>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>

#include "base/text.h"
#include "serial/port_resolution.h"

namespace kv58 {

namespace {

// The ports this process holds: a second thread of one command, or a port given twice, is
// refused here (the lock files only tell processes apart on some systems).
std::mutex& heldMutex() {
    static std::mutex mutex;
    return mutex;
}

std::set<std::string>& heldKeys() {
    static std::set<std::string> keys;
    return keys;
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = toLowerAscii(c);
    return text;
}

// A port of a scheme that lives in this process ("sim:...", a test's own): a name that starts
// with a scheme word and a colon that no "//" follows. Devices are paths or COM names, network
// ports have "//", and "auto"/"usb:" are resolved to a device before this is asked.
bool inProcessPort(const std::string& name) {
    const size_t colon = name.find(':');
    if (colon < 2 || colon == std::string::npos || name.compare(colon, 3, "://") == 0)
        return false;
    for (size_t i = 0; i < colon; ++i) {
        if (!std::isalpha(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

// The key as a file name: letters and digits stay, every other byte becomes %XX.
std::string lockFileName(const std::string& key) {
    std::string name;
    for (const char c : key) {
        const auto u = static_cast<unsigned char>(c);
        const bool plain = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') ||
                           (u >= 'a' && u <= 'z') || u == '-' || u == '_';
        name += plain ? std::string(1, c) : strprintf("%%%02X", u);
    }
    return name + ".lock";
}

}  // namespace

bool portLockKey(const std::string& portName, std::string& key, std::string& error) {
    std::string device = portName;
    if (namesUsbAdapter(portName) && !resolvePortName(portName, device, error))
        return false;
    const bool local = inProcessPort(device);
    if (local || device.find("://") != std::string::npos) {
        key = local ? device : lowerCase(device);
        return true;
    }
#ifdef _WIN32
    key = lowerCase(device);  // COM3, com3 and \\.\COM3 are one port
    if (key.rfind("\\\\.\\", 0) == 0)
        key.erase(0, 4);
#else
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(device, ec);
    key = ec ? device : real.string();
#endif
    return true;
}

std::unique_ptr<PortRunLock> PortRunLock::acquire(const std::string& portName, std::string& error) {
    std::string key;
    if (!portLockKey(portName, key, error))
        return nullptr;
    const std::string busyText =
        strprintf("serial port %s is in use by another kv58ctl run", portName.c_str());
    std::lock_guard lock(heldMutex());
    if (heldKeys().count(key) != 0) {
        error = busyText;
        return nullptr;
    }
    std::unique_ptr<FileLock> file;
    const std::string folder = inProcessPort(key) ? std::string() : portLockFolder();
    if (!folder.empty()) {
        FileLock::Result result = FileLock::Result::Failed;
        std::string reason;
        file = FileLock::acquire(folder + "/" + lockFileName(key), result, reason);
        if (result == FileLock::Result::Busy) {
            error = busyText;
            return nullptr;
        }
    }
    heldKeys().insert(key);
    return std::unique_ptr<PortRunLock>(new PortRunLock(portName, key, std::move(file)));
}

PortRunLock::PortRunLock(std::string portName, std::string key, std::unique_ptr<FileLock> file)
    : portName_(std::move(portName)), key_(std::move(key)), file_(std::move(file)) {}

PortRunLock::~PortRunLock() {
    file_.reset();
    std::lock_guard lock(heldMutex());
    heldKeys().erase(key_);
}

}  // namespace kv58
