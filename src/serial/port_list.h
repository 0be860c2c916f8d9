// The serial ports of the machine, for `kv58ctl ports` and the port prompt.
#pragma once

#include <string>
#include <vector>

namespace kv58 {

struct SerialPortInfo {
    std::string name;         // what openSerialPort accepts: "/dev/ttyUSB0", "COM3"
    std::string description;  // the system's description, e.g. the USB product name
    std::string transport;    // "native", "usb", "bluetooth" or "" when unknown
    int usbVendorId = -1;     // USB ids, -1 when not a USB port
    int usbProductId = -1;
    std::string manufacturer;  // USB only, "" when unknown
    std::string serialNumber;  // USB only, "" when unknown
};

// The machine's serial ports, sorted by name. False (with the reason in `error`) when the
// system cannot be asked; an empty list with true means there are none.
bool listSerialPorts(std::vector<SerialPortInfo>& ports, std::string& error);

}  // namespace kv58
