// The last-values file: the user's last choices of a new configuration, section "LastValue".
// The program writes it before every write of a new configuration and never reads it back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kv58 {

// The dialog's entries at the time of a write (Windows-1252 texts). A list text of
// std::nullopt means the list has no selection: its key is not written and keeps its old value.
struct LastValues {
    std::optional<std::string> transmitter;  // "Transmitter", e.g. "KV58-FT"
    std::optional<std::string> output;       // "Output", e.g. "4 - 20 mA"
    std::optional<std::string> tUnit;        // "TUnit"
    int32_t tMin = 0;                        // "TMin"
    int32_t tMax = 0;                        // "TMax"
    std::optional<std::string> display;      // "Display", e.g. "%RH / °C"
    std::optional<std::string> alarmRelay;   // "AlarmRelay", "Yes" or "No"
    bool writeProg = false;                  // "WriteProg", "1" or "0"
    std::string produktCode;                 // "ProduktCode"
};

// Writes the keys in the order Transmitter, Output, TUnit, TMin, TMax, Display, AlarmRelay,
// WriteProg, ProduktCode, each with its own profile write. Every key is attempted; the result
// is true when all writes succeeded. The dialog goes on with the write of the transmitter
// either way: losing the last choices must not stop it.
[[nodiscard]] bool SaveLastValues(const std::string& lastValuePath, const LastValues& values);

}  // namespace kv58
