// The system's own words for a Windows error code, for messages that name a file's problem.
#pragma once

#include <string>

namespace kv58 {

// FormatMessage's text without its line end, or "error N" when the system has none.
std::string win32SystemText(unsigned long code);

}  // namespace kv58
