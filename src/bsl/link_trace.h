// Observers on the link: a trace of everything that happens on the wire, and progress.
//
// The trace records every byte sent and received with its time from the link's Clock, every
// sleep and every wait for input the link makes (so that the time a transfer must take can be
// computed from a trace), control-line changes, purges, and notes from the port backend
// ("pseudo-terminal: parity not applied"). Observers are called synchronously on the link's
// thread; they must not call back into the link.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kv58 {

// The text of Sleep events that pace the bytes of a frame.
inline constexpr const char* kByteDelayText = "byte delay";

struct TraceEvent {
    enum class Kind {
        Sent,      // `bytes` (one byte per event) handed to the port
        Received,  // `bytes` read from the port's input queue
        Sleep,     // a required pause of `durationUs`; `text` says why: kByteDelayText for
                   // the per-byte delay of a frame, "reset sequence" for the entry waits
        Wait,      // a wait for `count` input bytes with time-out `timeoutUs`: it took
                   // `durationUs` and ended with `got` bytes queued
        Control,   // a modem-control line change; `text` is "DTR on", "RTS off", …
        Purge,     // queues discarded; `text` says which
        Note,      // anything else worth knowing: port open and close, backend notes
    };
    Kind kind = Kind::Note;
    int64_t timeUs = 0;  // when the event began
    std::vector<uint8_t> bytes;
    int64_t durationUs = 0;
    int64_t timeoutUs = 0;
    size_t count = 0;
    size_t got = 0;
    std::string text;
};

class TraceObserver {
public:
    virtual ~TraceObserver() = default;
    virtual void onTrace(const TraceEvent& event) = 0;
};

// Bytes done of bytes planned for a long operation; (0, 0) when nothing is planned.
using ProgressFunction = std::function<void(long done, long total)>;

// Turns trace events into readable lines: "   12.345 ms  >  80 14 04 04". Consecutive bytes
// of one direction are gathered into one line stamped with the time of the first; a line
// never holds more than 16 bytes. Times are relative to the first event seen.
class TraceFormatter final : public TraceObserver {
public:
    explicit TraceFormatter(std::function<void(const std::string& line)> sink)
        : sink_(std::move(sink)) {}
    ~TraceFormatter() override { flush(); }

    void onTrace(const TraceEvent& event) override;
    // Emits the line being gathered, if any.
    void flush();

private:
    void emit(int64_t timeUs, char direction, const std::string& text);

    std::function<void(const std::string&)> sink_;
    bool haveOrigin_ = false;
    int64_t originUs_ = 0;
    TraceEvent::Kind pendingKind_ = TraceEvent::Kind::Note;
    int64_t pendingTimeUs_ = 0;
    std::vector<uint8_t> pending_;
};

}  // namespace kv58
