// kv58-sim --listen: the simulated transmitter behind a COM-port control (RFC 2217) server.
#pragma once

#include <cstdint>
#include <string>

#include "sim/device_options.h"

namespace kv58::sim {

// The help lines of the mode, for kv58-sim --help.
extern const char* const kListenHelp;

// Serves the device on `endpoint` ("PORT", "HOST:PORT") until SIGINT or SIGTERM; prints the
// port name to open ("rfc2217://127.0.0.1:4000") as the first line of standard output and one
// line per client coming and going on standard error. A client silent for `idleTimeoutMs`
// is dropped (0: never). Returns the program's exit code.
int serveListen(const DeviceOptions& options, const std::string& endpoint, int64_t idleTimeoutMs);

}  // namespace kv58::sim
