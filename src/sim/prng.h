// A small deterministic pseudo-random generator (SplitMix64): the same seed gives the same
// firmware bytes, RAM garbage and fault decisions on every platform and every run.
#pragma once

#include <cstdint>

namespace kv58::sim {

class Prng {
public:
    explicit Prng(uint64_t seed) : state_(seed) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint8_t byte() { return static_cast<uint8_t>(next() >> 56); }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Uniform in [0, bound); bound > 0.
    uint32_t below(uint32_t bound) { return static_cast<uint32_t>(next() % bound); }

private:
    uint64_t state_;
};

// A seed from text (FNV-1a), so that a serial number chooses its own calibration bytes.
inline uint64_t seedFrom(const char* text) {
    uint64_t h = 0xCBF29CE484222325ull;
    for (; *text; ++text) {
        h ^= static_cast<unsigned char>(*text);
        h *= 0x100000001B3ull;
    }
    return h;
}

}  // namespace kv58::sim
