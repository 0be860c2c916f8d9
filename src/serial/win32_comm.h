// Pieces of the Win32 serial backend that need no open port: the device path of a port
// name, the line configuration record, the purge flags and the texts of failures.
#pragma once

#include <windows.h>

#include <string>

#include "serial/serial_port.h"

namespace kv58::win32 {

// Queue sizes asked of the driver at open.
constexpr DWORD kQueueSize = 512;

// True for "COM1", "com12" and the like: "COM" in any case, then a number without a leading 0.
bool isComPortName(const std::string& name);

// The path CreateFileA opens: "COM12" becomes "\\.\COM12", since only COM1 to COM9 are
// known by their bare names; every other name (already "\\.\…", or a device path) is kept.
std::string devicePath(const std::string& name);

// Writes the line settings into a configuration record read from the port: speed, data bits,
// parity, stop bits, binary transfer, parity checking, DTR and RTS enabled (asserted), no
// flow control of either kind, no null stripping, no error-character replacement. Every
// other field keeps the value it had.
void applyLineSettings(DCB& dcb, const LineSettings& settings);

// PurgeComm flags for the directions and whether pending transfers are aborted.
DWORD purgeFlags(bool input, bool output, bool abort);

// "The system cannot find the file specified (error 2)": the system's text of an error code.
std::string errorText(DWORD code);

// Why a port could not be opened, in words a user acts on.
std::string openFailureText(const std::string& name, DWORD code);

}  // namespace kv58::win32
