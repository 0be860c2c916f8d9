// The ports of a command given more than once (--port … --port …, --ports FILE).
#pragma once

#include <string>
#include <vector>

namespace kv58::cli {

// Appends the ports of FILE: one a line, surrounding blanks ignored, blank lines and lines
// that start with '#' skipped. False with `error` naming the file (and line) at fault.
bool readPortsFile(const std::string& path, std::vector<std::string>& ports, std::string& error);

// The first port named twice, or "" when each is named once.
std::string portGivenTwice(const std::vector<std::string>& ports);

}  // namespace kv58::cli
