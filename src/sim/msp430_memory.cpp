#include "sim/msp430_memory.h"

#include "sim/flash_timing.h"
#include "sim/prng.h"

namespace kv58::sim {

Region regionOf(uint16_t address) {
    if (address < kRamStart)
        return Region::Peripheral;
    if (address <= kRamEnd)
        return Region::Ram;
    if (address < kRomStart)
        return Region::Vacant;
    if (address <= kRomEnd)
        return Region::Rom;
    if (address <= kInfoEnd)
        return Region::InfoFlash;
    return Region::MainFlash;
}

std::optional<Segment> segmentOf(uint16_t address) {
    switch (regionOf(address)) {
        case Region::InfoFlash:
            return Segment{static_cast<uint16_t>(address & ~(kInfoSegmentSize - 1)),
                           kInfoSegmentSize};
        case Region::MainFlash: {
            // Main segments are aligned on 512 bytes; the one at 0x1000 is shared with the
            // information memory, so its flash part starts at 0x1100.
            const auto start = static_cast<uint16_t>(address & ~(kMainSegmentSize - 1));
            if (start < kMainStart) {
                return Segment{kMainStart,
                               static_cast<uint32_t>(start + kMainSegmentSize - kMainStart)};
            }
            return Segment{start, kMainSegmentSize};
        }
        default:
            return std::nullopt;
    }
}

Msp430Memory::Msp430Memory() {
    for (uint32_t a = kInfoStart; a <= kMainEnd; ++a)
        bytes_[a] = 0xFF;
}

void Msp430Memory::write(uint16_t address, uint8_t value) {
    switch (regionOf(address)) {
        case Region::Ram:
            bytes_[address] = value;
            break;
        case Region::InfoFlash:
        case Region::MainFlash:
            if ((bytes_[address] & value) != bytes_[address])
                eraseUs_[address] = 0;  // freshly programmed bits need the whole erase time
            setFlash(address, static_cast<uint8_t>(bytes_[address] & value));
            break;
        default:
            break;
    }
}

void Msp430Memory::poke(uint16_t address, uint8_t value) {
    if (isFlash(address)) {
        eraseUs_[address] = 0;
        setFlash(address, value);
    } else {
        bytes_[address] = value;
    }
}

void Msp430Memory::setFlash(uint16_t address, uint8_t value) {
    if (bytes_[address] == value)
        return;
    bytes_[address] = value;
    ++flashChanges_;
}

void Msp430Memory::eraseRange(uint32_t first, uint32_t last) {
    for (uint32_t a = first; a <= last; ++a) {
        eraseUs_[a] = 0;
        setFlash(static_cast<uint16_t>(a), 0xFF);
    }
}

void Msp430Memory::eraseSegment(uint16_t address) {
    if (const auto segment = segmentOf(address)) {
        eraseRange(segment->start, segment->start + segment->size - 1);
    }
}

void Msp430Memory::eraseMain(bool includeInfo) {
    eraseRange(includeInfo ? kInfoStart : kMainStart, kMainEnd);
}

void Msp430Memory::massEraseCycle(bool includeInfo, int64_t cycleUs) {
    for (uint32_t a = includeInfo ? kInfoStart : kMainStart; a <= kMainEnd; ++a) {
        if (bytes_[a] == 0xFF)
            continue;
        const int64_t erased = eraseUs_[a] + cycleUs;
        const auto address = static_cast<uint16_t>(a);
        setFlash(address, static_cast<uint8_t>(bytes_[a] | bitsErasedAfter(address, erased)));
        eraseUs_[a] = bytes_[a] == 0xFF ? 0 : erased;
    }
}

uint8_t Msp430Memory::bitsErasedAfter(uint16_t address, int64_t erasedUs) const {
    if (erasedUs >= kCumulativeMassEraseUs)
        return 0xFF;
    // Eight needs per byte, one from each byte of a number drawn for the address: from
    // 1/256 of the cumulative time up to all of it.
    uint64_t needs = Prng(eraseSeed_ ^ (uint64_t{address} * 0x9E3779B97F4A7C15ull)).next();
    uint8_t bits = 0;
    for (int bit = 0; bit < 8; ++bit, needs >>= 8) {
        const int64_t need =
            static_cast<int64_t>((needs & 0xFF) + 1) * kCumulativeMassEraseUs / 256;
        if (erasedUs >= need)
            bits = static_cast<uint8_t>(bits | 1u << bit);
    }
    return bits;
}

}  // namespace kv58::sim
