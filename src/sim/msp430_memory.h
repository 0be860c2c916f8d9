// The address space of the simulated transmitter's microcontroller.
//
//   0x0000–0x01FF  peripherals (not modelled: writes are ignored, reads give 0)
//   0x0200–0x09FF  RAM, 2 KB; volatile (garbage after power-up, kept across a reset)
//   0x0A00–0x0BFF  vacant (writes ignored)
//   0x0C00–0x0FFF  loader ROM; the loader version word at 0x0FFA (major) and 0x0FFB (minor)
//   0x1000–0x10FF  information memory, two 128-byte flash segments (B at 0x1000, A at 0x1080)
//   0x1100–0xFFFF  main flash in 512-byte segments (the first one, 0x1100–0x11FF, is the
//                  upper half of the segment that the information memory shadows, so it
//                  holds 256 bytes); the interrupt vectors at 0xFFE0–0xFFFF
//
// Flash behaves like flash: an erase sets a whole segment to 0xFF, programming can only clear
// bits (a 1 written over a 0 leaves the 0, which a later verification notices). A segment
// erase is complete in one cycle; a mass erase only once its cycles add up to the cumulative
// mass-erase time (flash_timing.h). Before that each programmed bit reads erased only once
// its byte has had the erase time that this bit needs: a share of the cumulative time,
// drawn for every bit from the erase seed, and counted afresh whenever the byte is
// programmed again.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace kv58::sim {

constexpr uint16_t kRamStart = 0x0200;
constexpr uint16_t kRamEnd = 0x09FF;
constexpr uint16_t kRomStart = 0x0C00;
constexpr uint16_t kRomEnd = 0x0FFF;
constexpr uint16_t kLoaderVersionAddress = 0x0FFA;
constexpr uint16_t kInfoStart = 0x1000;
constexpr uint16_t kInfoEnd = 0x10FF;
constexpr uint16_t kInfoSegmentSize = 128;
constexpr uint16_t kSegmentBAddress = 0x1000;
constexpr uint16_t kSegmentAAddress = 0x1080;
constexpr uint16_t kMainStart = 0x1100;
constexpr uint32_t kMainEnd = 0xFFFF;
constexpr uint16_t kMainSegmentSize = 512;
constexpr uint16_t kVectorAddress = 0xFFE0;
constexpr uint16_t kVectorSize = 32;

enum class Region { Peripheral, Ram, Vacant, Rom, InfoFlash, MainFlash };

Region regionOf(uint16_t address);
inline bool isFlash(uint16_t address) {
    const Region r = regionOf(address);
    return r == Region::InfoFlash || r == Region::MainFlash;
}

// One flash segment: its first address and its size in bytes.
struct Segment {
    uint16_t start;
    uint32_t size;
};
// The flash segment that holds `address`; none outside flash.
std::optional<Segment> segmentOf(uint16_t address);

class Msp430Memory {
public:
    Msp430Memory();

    uint8_t read(uint16_t address) const { return bytes_[address]; }

    // One byte written as the bus would: RAM takes it, flash clears the bits that are 0 in
    // `value` (the cell becomes old AND value), peripherals, vacant space and ROM ignore it.
    void write(uint16_t address, uint8_t value);

    // Sets a byte whatever the region and the flash rules (building contents, the ROM,
    // loading a state file, a disturbed cell).
    void poke(uint16_t address, uint8_t value);

    // Erases the segment that holds `address` (nothing outside flash).
    void eraseSegment(uint16_t address);
    // Erases all main flash segments at once and for certain; with `includeInfo` the
    // information memory as well (building contents, loading a state file).
    void eraseMain(bool includeInfo);
    // One mass-erase cycle of `cycleUs` over the main flash, with `includeInfo` over the
    // information memory as well: the bits whose erase time is reached read erased.
    void massEraseCycle(bool includeInfo, int64_t cycleUs);
    // Chooses which bits need how much erase time.
    void setEraseSeed(uint64_t seed) { eraseSeed_ = seed; }

    // Counts every change of a flash byte, so that a state file is written only after real
    // changes.
    uint64_t flashChanges() const { return flashChanges_; }

    uint16_t loaderVersion() const {
        return static_cast<uint16_t>(read(kLoaderVersionAddress) << 8 |
                                     read(kLoaderVersionAddress + 1));
    }

private:
    void eraseRange(uint32_t first, uint32_t last);
    void setFlash(uint16_t address, uint8_t value);
    // The bits of the byte at `address` whose erase time is reached after `erasedUs`.
    uint8_t bitsErasedAfter(uint16_t address, int64_t erasedUs) const;

    std::array<uint8_t, 0x10000> bytes_{};
    // Mass-erase time each flash byte has had since it was last programmed (µs).
    std::vector<int64_t> eraseUs_ = std::vector<int64_t>(0x10000, 0);
    uint64_t eraseSeed_ = 1;
    uint64_t flashChanges_ = 0;
};

}  // namespace kv58::sim
