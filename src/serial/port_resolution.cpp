#include "serial/port_resolution.h"

#include "base/text.h"

namespace kv58 {

namespace {

bool isUsbAdapter(const SerialPortInfo& port) {
    return port.transport == "usb";
}

std::vector<const SerialPortInfo*> usbAdapters(const std::vector<SerialPortInfo>& ports) {
    std::vector<const SerialPortInfo*> adapters;
    for (const SerialPortInfo& p : ports) {
        if (isUsbAdapter(p))
            adapters.push_back(&p);
    }
    return adapters;
}

std::string listing(const std::vector<const SerialPortInfo*>& adapters) {
    std::string text;
    for (const SerialPortInfo* p : adapters)
        text += "\n  " + describeUsbAdapter(*p);
    return text;
}

bool resolveAuto(const std::vector<const SerialPortInfo*>& adapters, std::string& device,
                 std::string& error) {
    if (adapters.size() == 1) {
        device = adapters.front()->name;
        return true;
    }
    if (adapters.empty()) {
        error =
            "port auto: no USB serial adapter is connected (kv58ctl ports lists the serial "
            "ports there are)";
    } else {
        error = strprintf(
            "port auto: %zu USB serial adapters are connected; choose one with "
            "usb:SERIAL or its device name:%s",
            adapters.size(), listing(adapters).c_str());
    }
    return false;
}

// The adapters whose serial number equals `serial`, exactly or (when none does) ignoring case.
std::vector<const SerialPortInfo*> withSerial(const std::vector<const SerialPortInfo*>& adapters,
                                              const std::string& serial) {
    std::vector<const SerialPortInfo*> exact, folded;
    for (const SerialPortInfo* p : adapters) {
        if (p->serialNumber == serial)
            exact.push_back(p);
        else if (equalsIgnoreCase(p->serialNumber, serial))
            folded.push_back(p);
    }
    return exact.empty() ? folded : exact;
}

bool resolveSerial(const std::vector<const SerialPortInfo*>& adapters, const std::string& serial,
                   std::string& device, std::string& error) {
    if (serial.empty()) {
        error =
            "usb: needs the adapter's USB serial number, as in usb:A12345 (kv58ctl ports "
            "shows them)";
        return false;
    }
    const std::vector<const SerialPortInfo*> found = withSerial(adapters, serial);
    if (found.size() == 1) {
        device = found.front()->name;
        return true;
    }
    if (found.empty()) {
        error = strprintf("usb:%s: no USB serial adapter with serial number \"%s\" is connected",
                          serial.c_str(), serial.c_str());
        error += adapters.empty() ? std::string(" (none is connected)")
                                  : "; connected:" + listing(adapters);
    } else {
        error = strprintf(
            "usb:%s: %zu USB serial adapters have serial number \"%s\" (an adapter with "
            "several ports, or one without its own number); choose by device name:%s",
            serial.c_str(), found.size(), serial.c_str(), listing(found).c_str());
    }
    return false;
}

}  // namespace

bool namesUsbAdapter(const std::string& name) {
    return equalsIgnoreCase(name, kAutoPortName) || startsWithIgnoreCase(name, kUsbPortPrefix);
}

bool resolvePortNameAmong(const std::string& name, const std::vector<SerialPortInfo>& ports,
                          std::string& device, std::string& error) {
    if (!namesUsbAdapter(name)) {
        device = name;
        return true;
    }
    const std::vector<const SerialPortInfo*> adapters = usbAdapters(ports);
    if (equalsIgnoreCase(name, kAutoPortName))
        return resolveAuto(adapters, device, error);
    return resolveSerial(adapters, name.substr(std::string(kUsbPortPrefix).size()), device, error);
}

bool resolvePortName(const std::string& name, std::string& device, std::string& error) {
    if (!namesUsbAdapter(name)) {
        device = name;
        return true;
    }
    std::vector<SerialPortInfo> ports;
    std::string why;
    if (!listSerialPorts(ports, why)) {
        error = name + ": " + why;
        return false;
    }
    return resolvePortNameAmong(name, ports, device, error);
}

std::string describeUsbAdapter(const SerialPortInfo& p) {
    std::string text = p.name + " (";
    if (p.usbVendorId >= 0) {
        text += strprintf("USB %04X:%04X, ", static_cast<unsigned>(p.usbVendorId),
                          static_cast<unsigned>(p.usbProductId));
    }
    text += p.serialNumber.empty() ? "no serial number" : "serial " + p.serialNumber;
    if (!p.description.empty())
        text += ", " + p.description;
    return text + ")";
}

}  // namespace kv58
