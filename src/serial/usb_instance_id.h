// The USB identity of a serial adapter as Windows records it in the device tree of the
// registry (HKLM\SYSTEM\CurrentControlSet\Enum), where the keys of a device are named:
//
//   USB\VID_0403&PID_6001\A12345          bus USB: the ids in the device key, the USB serial
//                                          number as the instance key
//   USB\VID_067B&PID_2303\5&2C2A6F3&0&2   an adapter without a serial number: Windows makes
//                                          up an instance name with "&" in it
//   USB\VID_10C4&PID_EA60&MI_00\6&…       one interface of a composite device: no serial here
//   <vendor bus>\VID_0403+PID_6001+A12345A\0000
//                                          a vendor driver's own bus: ids and serial number in
//                                          one key, "+" between them, the last letter naming
//                                          the port of a chip with several
//
// Kept apart from the Windows code so that its rules are tested everywhere.
#pragma once

#include <string>
#include <string_view>

namespace kv58 {

struct UsbIdentity {
    int vendorId = -1;
    int productId = -1;
    std::string serialNumber;  // "" when the device has none
};

// Reads the identity from a device key and its instance key (as in the examples above);
// false when the device key names no vendor and product id.
bool parseUsbInstance(std::string_view deviceKey, std::string_view instanceKey,
                      UsbIdentity& identity);

}  // namespace kv58
