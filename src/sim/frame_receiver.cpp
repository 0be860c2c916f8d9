#include "sim/frame_receiver.h"

namespace kv58::sim {

uint16_t frameChecksum(std::span<const uint8_t> bytes) {
    uint16_t x = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        x ^= static_cast<uint16_t>(bytes[i] | bytes[i + 1] << 8);
    }
    return static_cast<uint16_t>(x ^ 0xFFFF);
}

FrameReceiver::Event FrameReceiver::onByte(uint8_t byte, int64_t t) {
    if (gap_ == FrameGap::Drop && state_ != State::Idle && t - lastByteUs_ > gapUs_)
        state_ = State::Idle;
    lastByteUs_ = t;
    switch (state_) {
        case State::Idle:
            if (byte != kSyncByte)
                return Event::None;  // noise before a synchronisation
            state_ = State::Synced;
            return Event::Sync;
        case State::Synced:
            if (byte != kFrameHeader) {
                state_ = State::Idle;
                return Event::None;
            }
            frame_[0] = byte;
            state_ = State::Command;
            return Event::None;
        case State::Command:
            frame_[1] = byte;
            state_ = State::Length1;
            return Event::None;
        case State::Length1:
            frame_[2] = byte;
            state_ = State::Length2;
            return Event::None;
        case State::Length2:
            frame_[3] = byte;
            return onHeaderComplete();
        case State::Body:
            return onBodyByte(byte);
        case State::Discard:
            if (gap_ == FrameGap::Wait && --discardLeft_ == 0)
                state_ = State::Idle;
            return Event::None;
    }
    return Event::None;
}

FrameReceiver::Event FrameReceiver::onHeaderComplete() {
    const uint8_t length = frame_[2];
    if (frame_[3] != length || length % 2 != 0 || length > kMaxFramePayload ||
        !acceptsHeader_(frame_[1], length)) {
        state_ = State::Discard;
        discardLeft_ = length + 2u;
        return Event::Refuse;
    }
    received_ = 4;
    state_ = State::Body;
    return Event::None;
}

FrameReceiver::Event FrameReceiver::onBodyByte(uint8_t byte) {
    frame_[received_++] = byte;
    const size_t total = 4 + frame_[2] + 2;
    if (received_ < total)
        return Event::None;
    state_ = State::Idle;
    const uint16_t expected = frameChecksum({frame_.data(), total - 2});
    const uint16_t got = static_cast<uint16_t>(frame_[total - 2] | frame_[total - 1] << 8);
    return got == expected ? Event::Frame : Event::Refuse;
}

}  // namespace kv58::sim
