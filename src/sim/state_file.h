// The state file of a simulated transmitter: its flash (information memory and main flash) as
// a TI-TXT image, so that what one run writes the next one reads. RAM is volatile and the ROM
// comes with the loader version option, so neither is kept.
#pragma once

#include <string>

#include "sim/msp430_memory.h"

namespace kv58::sim {

enum class StateLoad { Loaded, Missing, Failed };

// Reads the file into the flash (erased first, then the file's bytes). Missing when the file
// does not exist; Failed with a message naming the file and the line at fault.
StateLoad loadStateFile(const std::string& path, Msp430Memory& memory, std::string& error);

// Writes every 16-byte line of flash that is not erased, grouped into sections. The file is
// replaced atomically (a temporary file beside it, then a rename), so a reader never sees a
// half-written state.
[[nodiscard]] bool saveStateFile(const std::string& path, const Msp430Memory& memory,
                                 std::string& error);

}  // namespace kv58::sim
