#include "serial/win32_port_list.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

#include "base/text.h"
#include "serial/usb_instance_id.h"
#include "serial/win32_comm.h"

namespace kv58 {

namespace win32 {

namespace {

constexpr const char* kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
// The device tree: one key per bus, then per device, then per instance.
constexpr const char* kEnumKey = "SYSTEM\\CurrentControlSet\\Enum";
// Buses whose serial adapters name their port in "Device Parameters": USB itself, and the
// bus of a vendor driver that puts ids and serial number into one key.
constexpr const char* kUsbBuses[] = {"USB", "FTDIBUS"};

// The names of the subkeys of an open key.
std::vector<std::string> subkeys(HKEY key) {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        std::array<char, 256> name{};
        DWORD size = static_cast<DWORD>(name.size());
        const LONG rc =
            RegEnumKeyExA(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_SUCCESS)
            names.emplace_back(name.data(), size);
    }
    return names;
}

// "PortName" of an instance key's "Device Parameters"; nothing when it has none.
std::optional<std::string> portNameOf(HKEY instance) {
    std::array<char, 64> value{};
    DWORD size = static_cast<DWORD>(value.size() - 1);
    DWORD type = 0;
    if (RegGetValueA(instance, "Device Parameters", "PortName", RRF_RT_REG_SZ, &type, value.data(),
                     &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const std::string name = trim(std::string(value.data()), " ");
    return name.empty() ? std::nullopt : std::optional(name);
}

// The USB identity of every port name the device tree records. The tree keeps devices that
// are no longer plugged in; a port name that two devices claim is left without one.
std::map<std::string, std::optional<UsbIdentity>> usbIdentitiesByPort() {
    std::map<std::string, std::optional<UsbIdentity>> byPort;
    for (const char* bus : kUsbBuses) {
        HKEY busKey = nullptr;
        const std::string busPath = std::string(kEnumKey) + "\\" + bus;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, busPath.c_str(), 0, KEY_READ, &busKey) != 0)
            continue;
        for (const std::string& device : subkeys(busKey)) {
            HKEY deviceKey = nullptr;
            if (RegOpenKeyExA(busKey, device.c_str(), 0, KEY_READ, &deviceKey) != 0)
                continue;
            for (const std::string& instance : subkeys(deviceKey)) {
                HKEY instanceKey = nullptr;
                if (RegOpenKeyExA(deviceKey, instance.c_str(), 0, KEY_READ, &instanceKey) != 0)
                    continue;
                UsbIdentity identity;
                const std::optional<std::string> port = portNameOf(instanceKey);
                if (port && parseUsbInstance(device, instance, identity)) {
                    const auto [it, fresh] = byPort.try_emplace(*port, identity);
                    if (!fresh)
                        it->second.reset();
                }
                RegCloseKey(instanceKey);
            }
            RegCloseKey(deviceKey);
        }
        RegCloseKey(busKey);
    }
    return byPort;
}

void addUsbIdentities(std::vector<SerialPortInfo>& ports) {
    const auto byPort = usbIdentitiesByPort();
    for (SerialPortInfo& p : ports) {
        const auto it = byPort.find(p.name);
        if (it == byPort.end() || !it->second)
            continue;
        p.transport = "usb";
        p.usbVendorId = it->second->vendorId;
        p.usbProductId = it->second->productId;
        p.serialNumber = it->second->serialNumber;
    }
}

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
    if (listed)
        win32::addUsbIdentities(ports);
    return listed;
}

}  // namespace kv58
