#include "serial/win32_port_list.h"

#include <algorithm>
#include <array>

#include "base/text.h"
#include "serial/win32_comm.h"

namespace kv58 {

namespace win32 {

namespace {

constexpr const char* kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

SerialPortInfo describePort(const std::string& device, const std::string& port) {
    SerialPortInfo info;
    info.name = port;
    info.description = device;
    if (device.find("USB") != std::string::npos) {
        info.transport = "usb";
    } else if (startsWithIgnoreCase(device, "\\Device\\Serial")) {
        info.transport = "native";
    }
    return info;
}

unsigned long portNumber(const std::string& name) {
    return std::stoul(name.substr(3));
}

}  // namespace

bool portNameLess(const std::string& a, const std::string& b) {
    const bool aCom = isComPortName(a);
    const bool bCom = isComPortName(b);
    if (aCom && bCom && a.size() < 12 && b.size() < 12)
        return portNumber(a) < portNumber(b);
    if (aCom != bCom)
        return aCom;
    return a < b;
}

bool listPortsInKey(HKEY key, std::vector<SerialPortInfo>& ports, std::string& error) {
    ports.clear();
    for (DWORD index = 0;; ++index) {
        std::array<char, 256> device{};
        std::array<char, 256> port{};
        DWORD deviceSize = static_cast<DWORD>(device.size());
        DWORD portSize = static_cast<DWORD>(port.size() - 1);  // room for a missing NUL
        DWORD type = 0;
        const LONG rc = RegEnumValueA(key, index, device.data(), &deviceSize, nullptr, &type,
                                      reinterpret_cast<BYTE*>(port.data()), &portSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_MORE_DATA)
            continue;  // not a port name: far longer than any
        if (rc != ERROR_SUCCESS) {
            error = "cannot list the serial ports: " + errorText(static_cast<DWORD>(rc));
            return false;
        }
        const std::string name = trim(std::string(port.data()), " ");
        if (type == REG_SZ && !name.empty())
            ports.push_back(describePort(std::string(device.data(), deviceSize), name));
    }
    std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
        return portNameLess(a.name, b.name);
    });
    return true;
}

}  // namespace win32

bool listSerialPorts(std::vector<SerialPortInfo>& ports, std::string& error) {
    ports.clear();
    HKEY key = nullptr;
    const LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, win32::kSerialCommKey, 0, KEY_READ, &key);
    if (rc == ERROR_FILE_NOT_FOUND)
        return true;  // the key appears with the first port a driver announces
    if (rc != ERROR_SUCCESS) {
        error = "cannot list the serial ports: " + win32::errorText(static_cast<DWORD>(rc));
        return false;
    }
    const bool listed = win32::listPortsInKey(key, ports, error);
    RegCloseKey(key);
    return listed;
}

}  // namespace kv58
