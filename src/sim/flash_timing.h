// Flash timing of the simulated MSP430, from the flash memory controller chapter of the
// family user's guide and the flash table of the device data sheet.
//
// The flash controller's timing generator runs at fFTG, which the data sheet allows from
// 257 to 476 kHz. Every flash operation lasts a fixed number of its cycles:
//   byte or word program   35 cycles
//   segment erase        4819 cycles
//   mass erase           5297 cycles (11.1 ms at 476 kHz, 20.6 ms at 257 kHz)
// One mass erase does not erase a programmed cell for certain: the data sheet asks for a
// cumulative mass-erase time of 200 ms, reached by repeating the mass erase (at least 19
// cycles at the fastest clock), which is why a programming run sends 20 of them.
#pragma once

#include <cstdint>

namespace kv58::sim {

constexpr uint32_t kFtgMinKhz = 257;
constexpr uint32_t kFtgMaxKhz = 476;
// The data sheet gives a range only; the simulated transmitter runs in its middle unless
// told otherwise.
constexpr uint32_t kFtgDefaultKhz = 366;

constexpr int64_t kProgramCycles = 35;
constexpr int64_t kSegmentEraseCycles = 4819;
constexpr int64_t kMassEraseCycles = 5297;
constexpr int64_t kCumulativeMassEraseUs = 200'000;

// The length of `cycles` cycles of a timing generator at `ftgKhz`, in whole microseconds
// (rounded up: the operation is over only when its last cycle is).
constexpr int64_t ftgCyclesUs(int64_t cycles, uint32_t ftgKhz) {
    return (cycles * 1000 + ftgKhz - 1) / ftgKhz;
}

}  // namespace kv58::sim
