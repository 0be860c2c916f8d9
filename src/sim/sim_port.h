// The in-process face of the simulated transmitter: the "sim:" port scheme.
//
// Names: "sim:" [LABEL] ["?" key=value ("&" key=value)…], for example
//   sim:
//   sim:?serial=K58-2&loader=1.10&state=kv58-sim.state
//   sim:bench2?fault=lose-reply:3
// The keys are those of kv58-sim (see deviceOptionHelp); values may use %XX escapes. A device
// opened by name keeps its memory for the life of the process, across the opens and closes
// of every device operation: devices are kept in a process-wide registry keyed by the whole
// name (so two different names are two different transmitters). A relative state file is
// resolved against the working directory of the first open.
//
// A SimPort is the SerialPort over such a device. Opening it raises DTR and RTS (the device
// leaves reset and runs its own program); closing drops them (the device is held in reset).
// Time comes from the Clock given at open: with a virtual clock every wait jumps the clock to
// the moment the awaited byte arrives, so a whole device operation costs no real time; with
// the real clock a wait blocks for exactly the wire time.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/clock.h"
#include "serial/serial_port.h"
#include "sim/device_options.h"
#include "sim/sim_device.h"

namespace kv58::sim {

// Where a relative state file of a sim: name lies: the file name in, the path to use out.
using StateFilePlacer = std::function<std::string(const std::string& name)>;

// Registers "sim:" with openSerialPort. Programs call it once at start-up; those that find
// their data files beside their settings file pass that rule for state files too (a later
// call replaces the rule).
void registerSimPortScheme(StateFilePlacer placeStateFile = {});

// Parses a sim: name into options; false with an error that starts with the name.
[[nodiscard]] bool parseSimName(const std::string& name, DeviceOptions& options,
                                std::string& error);

// The device behind a name, made on first use. Null with the reason in `error`.
std::shared_ptr<SimDevice> deviceFor(const std::string& name, std::string& error);
// Forgets every device made so far (tests that want a fresh transmitter under a name).
void forgetSimDevices();

// Opens a port on the named device; null when the name is bad or the port is already open.
std::unique_ptr<SerialPort> openSimPort(const std::string& name, Clock& clock, std::string& error);

}  // namespace kv58::sim
