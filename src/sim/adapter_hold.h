// The receive side of a USB serial adapter between the transmitter and the host: bytes that
// come from the transmitter wait in the adapter until its latency timer runs out, counted from
// the first byte it holds, or until a USB packet is full, and then reach the host together.
// Many adapters hold bytes up to 16 ms by default; in low-latency mode, 1 ms.
//
// Shared by the simulated transmitter (which delivers its replies this late) and the
// benchmark (whose floor counts the same hold), so that both follow one rule.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv58::sim {

// A full-speed USB packet of 64 bytes carries 62 received bytes after two status bytes.
inline constexpr size_t kAdapterPacketBytes = 62;

class AdapterHold {
public:
    // No hold at all with holdUs 0: every byte passes at once.
    explicit AdapterHold(int64_t holdUs = 0, size_t packetBytes = kAdapterPacketBytes)
        : holdUs_(holdUs), packetBytes_(packetBytes == 0 ? 1 : packetBytes) {}

    struct Passing {
        int64_t atUs;        // when the byte reaches the host
        size_t alsoEarlier;  // bytes held before it that now go with it, at this earlier time
    };

    // A byte reaches the adapter at `arrivalUs` (bytes come in time order): when it goes on
    // to the host. Until a later byte fills the packet, the answer for a held byte is the
    // expiry of the timer; a byte that fills it takes the bytes before it along at once.
    Passing take(int64_t arrivalUs);

    // Drops what is held (the port was closed).
    void clear() { held_ = 0; }

    int64_t holdUs() const { return holdUs_; }

private:
    int64_t holdUs_;
    size_t packetBytes_;
    size_t held_ = 0;
    int64_t releaseUs_ = 0;  // when the timer of the bytes held runs out
};

}  // namespace kv58::sim
