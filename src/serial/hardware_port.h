// The hardware backend of openSerialPort: one file per platform implements it (POSIX termios
// here; the Win32 communications calls on Windows).
#pragma once

#include <memory>
#include <string>

#include "serial/serial_port.h"

namespace kv58 {

// Opens a serial device by name, exclusively. Null with the reason in `error` on failure.
std::unique_ptr<SerialPort> openHardwarePort(const std::string& name, Clock& clock,
                                             std::string& error);

}  // namespace kv58
