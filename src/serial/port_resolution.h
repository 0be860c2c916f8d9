// Port names that stand for a USB serial adapter rather than a device path, resolved to the
// device before a port opens:
//
//   "auto"        the one USB serial adapter present; refused, with the adapters listed,
//                 when there is none or there are several
//   "usb:SERIAL"  the adapter whose USB serial number is SERIAL, which stays the same when the
//                 adapter is plugged into another socket (unlike /dev/ttyUSB0 or COM7); an
//                 exact match first, else the one that matches ignoring case
//
// Every other name is returned as it is.
#pragma once

#include <string>
#include <vector>

#include "serial/port_list.h"

namespace kv58 {

inline constexpr const char* kAutoPortName = "auto";
inline constexpr const char* kUsbPortPrefix = "usb:";

// Whether the name stands for an adapter ("auto" or "usb:..."), case-insensitive.
bool namesUsbAdapter(const std::string& name);

// Resolves the name among the given ports into the device to open. False with the reason
// in `error` (which lists the USB adapters present) when no single adapter fits.
bool resolvePortNameAmong(const std::string& name, const std::vector<SerialPortInfo>& ports,
                          std::string& device, std::string& error);

// The same among the ports of this machine (listSerialPorts).
bool resolvePortName(const std::string& name, std::string& device, std::string& error);

// "/dev/ttyUSB0 (USB 0403:6001, serial A12345, FT232R USB UART)" for messages and traces.
std::string describeUsbAdapter(const SerialPortInfo& port);

}  // namespace kv58
