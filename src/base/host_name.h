// The name of this machine, which the production log records as the station.
#pragma once

#include <string>

namespace kv58 {

// The system's host name; "unknown" when the system cannot tell.
std::string hostName();

}  // namespace kv58
