// A run's hold on its port: from the first read to the last operation of a command, no other
// run (another kv58ctl, a desktop program, another thread of the same command) may use the
// port between this run's operations. The hold is advisory and dies with the process: a
// killed run never leaves a port held.
//
// The port is known by what it leads to: a USB adapter named "auto" or "usb:SERIAL" by its
// device, a device by its real path (so /dev/serial/by-id/... and /dev/ttyUSB0 are one port),
// a network port by its name. A simulated transmitter ("sim:...") lives in its process, so
// its hold is the process's alone (its state file has a lock of its own).
#pragma once

#include <memory>
#include <string>

#include "base/file_lock.h"

namespace kv58 {

class PortRunLock {
public:
    // Holds `portName` for the caller until the object is destroyed. Nothing, with the reason
    // in `error` ("serial port /dev/ttyUSB0 is in use by another kv58ctl run"), when another
    // run holds it or an adapter name does not resolve.
    static std::unique_ptr<PortRunLock> acquire(const std::string& portName, std::string& error);

    ~PortRunLock();
    PortRunLock(const PortRunLock&) = delete;
    PortRunLock& operator=(const PortRunLock&) = delete;

    const std::string& portName() const { return portName_; }

private:
    PortRunLock(std::string portName, std::string key, std::unique_ptr<FileLock> file);

    std::string portName_;
    std::string key_;
    std::unique_ptr<FileLock> file_;  // none for a port of this process alone
};

// The same port as the hold knows it ("/dev/ttyUSB0" for "/dev/serial/by-id/usb-…").
// False with the reason in `error` when an adapter name does not resolve.
bool portLockKey(const std::string& portName, std::string& key, std::string& error);

// The folder of the lock files, one a port, made when missing: the user's runtime folder (or
// temporary folder). Empty when there is none that is the user's own; ports are then held
// only against this process's other runs (the exclusive open of a device during each
// operation still keeps other processes out).
std::string portLockFolder();

}  // namespace kv58
