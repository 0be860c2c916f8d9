#include "wire_floor.h"

#include <algorithm>

#include "bsl/bsl_link.h"
#include "sim/adapter_hold.h"
#include "sim/device_options.h"
#include "sim/msp430_memory.h"
#include "sim/rom_loader.h"

namespace kv58::bench {

namespace {

constexpr size_t kFrameHeaderBytes = 4;  // header, command, L1, L2
constexpr size_t kCommandArguments = 4;  // address and length words of the payload

}  // namespace

DeviceTiming simulatedDeviceTiming(int64_t adapterHoldUs) {
    DeviceTiming t;
    const sim::DeviceOptions options;
    const sim::LoaderTraits loader{options.writeCheck, options.ftgKhz};
    t.processingUs = options.processingUs;
    t.adapterHoldUs = adapterHoldUs;
    t.segmentEraseUs = loader.segmentEraseUs();
    t.massEraseUs = loader.massEraseUs();
    t.programByteUs = loader.programByteUs();
    return t;
}

int64_t deviceWorkUs(const std::vector<uint8_t>& frame, const DeviceTiming& timing) {
    if (frame.size() < kFrameHeaderBytes + kCommandArguments)
        return timing.processingUs;
    const uint8_t command = frame[1];
    const size_t payload = std::min<size_t>(frame[2], frame.size() - kFrameHeaderBytes);
    const auto address = static_cast<uint16_t>(frame[4] | frame[5] << 8);
    switch (command) {
        case kCmdRxDataBlock: {
            int64_t flashBytes = 0;
            for (size_t i = 0; i + kCommandArguments < payload; ++i) {
                flashBytes += sim::isFlash(static_cast<uint16_t>(address + i)) ? 1 : 0;
            }
            return timing.processingUs + flashBytes * timing.programByteUs;
        }
        case kCmdEraseSegment:
            return timing.processingUs + timing.segmentEraseUs;
        case kCmdMassErase:
            return timing.processingUs + timing.massEraseUs;
        default:
            return timing.processingUs;
    }
}

void FloorMeter::onTrace(const TraceEvent& event) {
    using Kind = TraceEvent::Kind;
    if (event.kind == Kind::Sent || event.kind == Kind::Received || event.kind == Kind::Sleep ||
        event.kind == Kind::Wait) {
        events_.push_back(event);
    }
}

void FloorMeter::onPause(int64_t startUs, int64_t durationUs) {
    if (durationUs > 0)
        pauses_.push_back({startUs, durationUs});
}

void FloorMeter::clear() {
    events_.clear();
    pauses_.clear();
}

std::vector<FloorMeter::Pause> FloorMeter::untracedPauses() const {
    using Kind = TraceEvent::Kind;
    std::vector<Pause> out;
    auto event = events_.begin();
    for (const Pause& p : pauses_) {
        // Events and pauses are both in time order; skip the intervals that end before p.
        while (event != events_.end() &&
               (event->kind == Kind::Sent || event->kind == Kind::Received ||
                event->timeUs + event->durationUs <= p.startUs)) {
            ++event;
        }
        const bool covered = event != events_.end() && event->timeUs <= p.startUs;
        if (!covered)
            out.push_back(p);
    }
    return out;
}

Floor FloorMeter::floor(int64_t characterUs, const DeviceTiming& timing) const {
    using Kind = TraceEvent::Kind;
    const std::vector<Pause> pauses = untracedPauses();
    auto pause = pauses.begin();
    Floor f;
    int64_t t = 0;          // the ideal host's time
    int64_t lineFree = 0;   // when the line towards the transmitter is free
    int64_t replyLine = 0;  // how far the transmitter's reply has come down its line
    sim::AdapterHold adapter(timing.adapterHoldUs);
    // When the last byte read so far reaches the host. It is settled (the host waits for it)
    // only once the reply is done: a later byte that fills the adapter's packet lets the bytes
    // before it through earlier than their timer would.
    int64_t delivered = 0;
    bool deliveryPending = false;
    std::vector<uint8_t> frame;
    bool sending = false;
    const auto takePause = [&](int64_t us) {
        t += us;
        f.pausesUs += us;
    };
    const auto settle = [&] {
        if (deliveryPending)
            t = std::max(t, delivered);
        deliveryPending = false;
    };
    for (const TraceEvent& e : events_) {
        for (; pause != pauses.end() && pause->startUs < e.timeUs; ++pause) {
            settle();
            takePause(pause->durationUs);
        }
        switch (e.kind) {
            case Kind::Sent:
                settle();
                if (!sending)
                    frame.clear();
                sending = true;
                frame.insert(frame.end(), e.bytes.begin(), e.bytes.end());
                f.bytesSent += e.bytes.size();
                lineFree =
                    std::max(t, lineFree) + characterUs * static_cast<int64_t>(e.bytes.size());
                break;
            case Kind::Sleep:
                settle();
                takePause(e.durationUs);
                break;
            case Kind::Wait:
                if (sending || e.got < e.count)
                    settle();
                if (sending) {
                    const int64_t work = deviceWorkUs(frame, timing);
                    f.deviceUs += work;
                    replyLine = lineFree + work;
                    sending = false;
                }
                if (e.got < e.count)
                    takePause(e.timeoutUs);
                break;
            case Kind::Received:
                f.bytesReceived += e.bytes.size();
                // The reply comes down the line whether or not the host is waiting for it.
                for (size_t i = 0; i < e.bytes.size(); ++i) {
                    replyLine += characterUs;
                    delivered = adapter.take(replyLine).atUs;
                    deliveryPending = true;
                }
                break;
            default:
                break;
        }
    }
    settle();
    for (; pause != pauses.end(); ++pause)
        takePause(pause->durationUs);
    f.totalUs = std::max(t, lineFree);
    return f;
}

void MeteredClock::sleepUs(int64_t us) {
    meter_.onPause(inner_.nowUs(), us);
    inner_.sleepUs(us);
}

}  // namespace kv58::bench
