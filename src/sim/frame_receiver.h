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
// Silence inside a frame, and after a synchronisation that no frame followed, is handled in
// one of two ways, as loaders differ:
//   drop  silence longer than the gap time abandons the frame, so a host that retries its
//         synchronisation after a lost byte finds the loader waiting for one again; after
//         an early refusal the rest of the frame is ignored until the line is quiet that long;
//   wait  there is no timer: the loader waits for the rest of the frame however long the line
//         stays quiet, and takes whatever comes next as that rest (the next synchronisation
//         byte too); after an early refusal it skips as many bytes as the frame's L1 and
//         checksum announce.
// In both, a byte other than 0x80 where a frame's header belongs sends the loader back to
// waiting for a synchronisation.
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

enum class FrameGap { Drop, Wait };

class FrameReceiver {
public:
    enum class Event { None, Sync, Refuse, Frame };

    // `acceptsHeader(command, length)` says whether a frame may start like that.
    FrameReceiver(FrameGap gap, int64_t gapUs, std::function<bool(uint8_t, uint8_t)> acceptsHeader)
        : gap_(gap), gapUs_(gapUs), acceptsHeader_(std::move(acceptsHeader)) {}

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

    FrameGap gap_;
    int64_t gapUs_;
    std::function<bool(uint8_t, uint8_t)> acceptsHeader_;
    State state_ = State::Idle;
    int64_t lastByteUs_ = 0;
    std::array<uint8_t, 4 + kMaxFramePayload + 2> frame_{};
    size_t received_ = 0;
    size_t discardLeft_ = 0;  // bytes of a refused frame still to skip (wait)
};

}  // namespace kv58::sim
