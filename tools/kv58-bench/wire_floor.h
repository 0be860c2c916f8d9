// The floor of a transfer: the least time it can take on its wire, computed from the link's
// trace, to compare the measured wall time with.
//
// The floor is the critical path of an ideal host that spends no time of its own:
//   - every pause the program makes (the link's sleeps: reset sequence, per-byte delays; and
//     pauses of the flows outside the link, such as the settling time before a reread) runs
//     its full length;
//   - every byte sent occupies the line for one character time, after the byte before it;
//     a per-byte delay and the character time of the byte it follows overlap;
//   - the transmitter answers a frame once its last byte has arrived, after its processing
//     time (reply latency, plus erase or flash programming for those commands);
//   - every byte received occupies the line for one character time, and then waits in the
//     USB adapter as long as its latency timer holds it (sim/adapter_hold.h);
//   - a wait that ends without its bytes lasts its whole time-out.
// So the floor holds everything the link must wait for and nothing that only the host adds.
#pragma once

#include <cstdint>
#include <vector>

#include "base/clock.h"
#include "bsl/link_trace.h"

namespace kv58::bench {

// How long the transmitter works on a frame before it answers.
struct DeviceTiming {
    int64_t processingUs = 0;    // before every reply
    int64_t segmentEraseUs = 0;  // erase-segment command
    int64_t massEraseUs = 0;     // mass-erase command
    int64_t programByteUs = 0;   // each flash byte a write command programs
    int64_t adapterHoldUs = 0;   // the adapter's latency timer (0: bytes pass at once)
};

// The timing of the simulated transmitter with its default options and this adapter hold.
DeviceTiming simulatedDeviceTiming(int64_t adapterHoldUs = 0);

// Processing time of one command frame as sent (header, command, L1, L2, payload,
// checksum); a single byte is the synchronisation.
int64_t deviceWorkUs(const std::vector<uint8_t>& frame, const DeviceTiming& timing);

struct Floor {
    int64_t totalUs = 0;
    int64_t pausesUs = 0;  // sleeps, pauses outside the link, waits that timed out
    int64_t deviceUs = 0;  // processing time of the transmitter
    size_t bytesSent = 0;
    size_t bytesReceived = 0;
};

// Collects the trace of an operation and the pauses of its clock.
class FloorMeter final : public TraceObserver {
public:
    void onTrace(const TraceEvent& event) override;
    // A pause on the operation's clock (MeteredClock reports every sleep). Pauses inside a
    // traced sleep or wait are that event; the others are pauses outside the link.
    void onPause(int64_t startUs, int64_t durationUs);
    void clear();

    Floor floor(int64_t characterUs, const DeviceTiming& timing) const;

private:
    struct Pause {
        int64_t startUs;
        int64_t durationUs;
    };
    // Pauses that no traced sleep or wait accounts for.
    std::vector<Pause> untracedPauses() const;

    std::vector<TraceEvent> events_;
    std::vector<Pause> pauses_;
};

// A clock that tells a FloorMeter of every sleep and otherwise is the clock it wraps.
class MeteredClock final : public Clock {
public:
    MeteredClock(Clock& inner, FloorMeter& meter) : inner_(inner), meter_(meter) {}
    int64_t nowUs() const override { return inner_.nowUs(); }
    void sleepUs(int64_t us) override;
    bool isVirtual() const override { return inner_.isVirtual(); }

private:
    Clock& inner_;
    FloorMeter& meter_;
};

}  // namespace kv58::bench
