// The receiving half of the simulated ROM loader: turns the bytes that reach the device into
// synchronisations, refusals and complete command frames.
//
// Wire format (host to loader):
//   synchronisation  0x80                              answered with 0x90
//   command frame    0x80 CMD L1 L2 payload[L1] CKL CKH
// A frame follows a synchronisation, so a 0x80 right after an answered synchronisation is
// taken as a frame header, not as a second synchronisation. CKL is the inverted XOR of the bytes at
// even offsets (from the 0x80 on), CKH that of the bytes at odd offsets. The loader refuses a frame
// as soon as its four header bytes show that it is malformed (L1 ≠ L2, a length the command cannot
// have, an unknown command), and a complete frame whose checksum is wrong; after an early
// refusal it ignores the rest of the frame until the line has been quiet for the gap time.
//
// Silence inside a frame longer than the gap time-out abandons the frame (and a
// synchronisation that no frame followed), so a host that retries its synchronisation after
// a lost byte finds the loader waiting for one again.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

namespace kv58::sim {

constexpr uint8_t kSyncByte = 0x80;
constexpr uint8_t kFrameHeader = 0x80;
constexpr uint8_t kAck = 0x90;
constexpr uint8_t kNak = 0xA0;
constexpr size_t kMaxFramePayload = 254;

// The 16-bit frame checksum: low byte first on the wire.
uint16_t frameChecksum(std::span<const uint8_t> bytes);

class FrameReceiver {
public:
    enum class Event { None, Sync, Refuse, Frame };

    // `acceptsHeader(command, length)` says whether a frame may start like that.
    FrameReceiver(int64_t gapUs, std::function<bool(uint8_t, uint8_t)> acceptsHeader)
        : gapUs_(gapUs), acceptsHeader_(std::move(acceptsHeader)) {}

    // One byte that arrived at time `t` (µs).
    Event onByte(uint8_t byte, int64_t t);
    // Back to waiting for a synchronisation (loader start, reset).
    void restart() { state_ = State::Idle; }

    // The frame of the last Event::Frame.
    uint8_t command() const { return frame_[1]; }
    std::span<const uint8_t> payload() const { return {frame_.data() + 4, frame_[2]}; }

private:
    enum class State { Idle, Synced, Command, Length1, Length2, Body, Discard };

    Event onHeaderComplete();
    Event onBodyByte(uint8_t byte);

    int64_t gapUs_;
    std::function<bool(uint8_t, uint8_t)> acceptsHeader_;
    State state_ = State::Idle;
    int64_t lastByteUs_ = 0;
    std::array<uint8_t, 4 + kMaxFramePayload + 2> frame_{};
    size_t received_ = 0;
};

}  // namespace kv58::sim
