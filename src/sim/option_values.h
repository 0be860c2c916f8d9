// Strict parsers for the values of the simulated transmitter's options: the whole text must
// be a value of the expected form, otherwise the parser says no (callers then name the
// option and the form they expected).
#pragma once

#include <cstdint>
#include <string>

#include "serial/serial_port.h"

namespace kv58::sim {

// Decimal, no sign: "0", "17".
[[nodiscard]] bool parseCount(const std::string& text, uint64_t& value);
// Decimal with optional sign, within [min, max].
[[nodiscard]] bool parseInt(const std::string& text, long min, long max, long& value);
// Hexadecimal address, optionally with 0x: "1090", "0xF400". At most 0xFFFF.
[[nodiscard]] bool parseHexAddress(const std::string& text, uint16_t& value);
// A number from 0 to 1: "0.01", "1".
[[nodiscard]] bool parseProbability(const std::string& text, double& value);
// "1", "yes", "on", "true" / "0", "no", "off", "false" (any case).
[[nodiscard]] bool parseFlag(const std::string& text, bool& value);
// Loader version "M.NN" with hexadecimal digits as the ROM stores them: "1.10" is the bytes
// 0x01 0x10. The result has the major version in the high byte.
[[nodiscard]] bool parseLoaderVersion(const std::string& text, uint16_t& value);
std::string formatLoaderVersion(uint16_t version);
// "9600" or "9600,8E1": baud, data bits 5–8, parity N/O/E/M/S, stop bits 1, 1.5 or 2.
[[nodiscard]] bool parseLineSettings(const std::string& text, LineSettings& value);

}  // namespace kv58::sim
