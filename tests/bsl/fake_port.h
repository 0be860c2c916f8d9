// A scripted serial port on the virtual clock, for driving the link without a device.
//
// The test holds a FakeWire; the link opens "fake:…" and gets a port on that wire. The wire
// records every byte written (with its time), every control-line change and purge, and
// delivers scripted input bytes at given times. Waiting for input jumps the virtual clock to
// the arrival of the awaited byte or to the time-out, so time-outs are exact and cost nothing.
//
// Input comes from script steps ("after the host has written n more bytes, these bytes
// arrive d µs later") or, when no step is left, from a responder that plays a minimal loader:
// it answers a single 0x80 with 0x90 and hands every following command frame to a handler.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "serial/serial_port.h"

namespace kv58::test {

using Bytes = std::vector<uint8_t>;

class FakeWire {
public:
    struct Step {
        size_t afterBytes;  // bytes the host writes first, counted from the previous step
        Bytes reply;
        int64_t delayUs;
    };
    struct LineChange {
        std::string line;  // "DTR" or "RTS"
        bool level;
        int64_t timeUs;
    };

    // --- Script. ---
    void step(size_t afterBytes, Bytes reply, int64_t delayUs = 0) {
        steps.push_back({afterBytes, std::move(reply), delayUs});
    }
    // The synchronisation byte answered with 0x90, then a frame of `frameLength` bytes
    // answered with `reply`.
    void syncThen(size_t frameLength, Bytes reply) {
        step(1, {0x90});
        step(frameLength, std::move(reply));
    }
    // Plays a loader once the steps are used up: `handler` gets each command frame as sent
    // and returns the reply bytes.
    std::function<Bytes(const Bytes& frame)> handler;
    // Input that arrives at `atUs` without being asked for.
    void deliverAt(int64_t atUs, const Bytes& bytes);

    // --- Faults. ---
    bool failOpen = false;
    bool failConfigure = false;
    bool failClose = false;
    int64_t outputEmptyAtUs = 0;  // outputQueued() is 1 until then

    // --- Record. ---
    Bytes written;
    std::vector<int64_t> writeTimesUs;
    std::vector<LineChange> lineChanges;
    std::vector<std::string> purges;  // "in", "out", "in+out" with "!" for abort
    LineSettings configured;
    int opens = 0;
    int closes = 0;
    bool open = false;
    std::vector<Bytes> frames;  // command frames the responder saw

    // --- Used by the port. ---
    Clock* clock = nullptr;
    void hostWrote(uint8_t byte);
    size_t queued() const;
    size_t waitFor(size_t count, int64_t timeoutMs);
    size_t take(uint8_t* destination, size_t max);
    void purgeInput();

private:
    void arrive(const Bytes& bytes, int64_t atUs);
    void respond(uint8_t byte);

    std::deque<Step> steps;
    size_t sinceStep_ = 0;
    std::deque<std::pair<int64_t, uint8_t>> incoming_;  // arrival time, byte; in order
    bool inFrame_ = false;
    Bytes frame_;
};

// Registers the "fake:" scheme; every "fake:…" port opened afterwards is on `wire`.
void useFakeWire(const std::shared_ptr<FakeWire>& wire);

// "80 14 04 04" -> bytes.
Bytes hex(const std::string& text);
// The frame with its two checksum bytes appended.
Bytes withChecksum(Bytes frame);
// Bytes -> "80 14 04 04".
std::string hex(const Bytes& bytes);

}  // namespace kv58::test
