// Port enumeration on Windows: the system lists every COM port that a driver has announced
// under HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, one value per port, named after the
// kernel device ("\Device\Serial0", "\Device\USBSER000") and holding the port name ("COM3").
// USB adapters are then found in the device tree (usb_instance_id.h), which records each
// device's port name with its vendor and product id and, where it has one, its USB serial
// number; that is as far as the registry goes (no product names of the USB descriptors).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "serial/port_list.h"

namespace kv58::win32 {

// The ports listed in an open key of that form, in port order (COM2 before COM10). False
// with the reason in `error` when the key cannot be read.
bool listPortsInKey(HKEY key, std::vector<SerialPortInfo>& ports, std::string& error);

// Port order: by the number after "COM", other names after them by text.
bool portNameLess(const std::string& a, const std::string& b);

}  // namespace kv58::win32
