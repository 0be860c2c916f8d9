#include "bsl/link_trace.h"

#include "base/text.h"

namespace kv58 {

namespace {

constexpr size_t kBytesPerLine = 16;

std::string hexBytes(const std::vector<uint8_t>& bytes) {
    std::string out;
    for (uint8_t b : bytes)
        out += strprintf(out.empty() ? "%02X" : " %02X", b);
    return out;
}

}  // namespace

void TraceFormatter::emit(int64_t timeUs, char direction, const std::string& text) {
    const int64_t t = timeUs - originUs_;
    sink_(strprintf("%6lld.%03lld ms  %c  %s", static_cast<long long>(t / 1000),
                    static_cast<long long>(t % 1000), direction, text.c_str()));
}

void TraceFormatter::flush() {
    if (pending_.empty())
        return;
    emit(pendingTimeUs_, pendingKind_ == TraceEvent::Kind::Sent ? '>' : '<', hexBytes(pending_));
    pending_.clear();
}

void TraceFormatter::onTrace(const TraceEvent& event) {
    if (!haveOrigin_) {
        haveOrigin_ = true;
        originUs_ = event.timeUs;
    }
    using Kind = TraceEvent::Kind;
    if (event.kind == Kind::Sent || event.kind == Kind::Received) {
        if (event.bytes.empty())
            return;
        if (pendingKind_ != event.kind || pending_.size() >= kBytesPerLine)
            flush();
        if (pending_.empty()) {
            pendingKind_ = event.kind;
            pendingTimeUs_ = event.timeUs;
        }
        pending_.insert(pending_.end(), event.bytes.begin(), event.bytes.end());
        return;
    }
    // Waits and sleeps end a run of bytes; the pacing of single bytes shows in their times,
    // and zero-length waits (data already there) are noise.
    if (event.kind == Kind::Sleep && event.text == kByteDelayText)
        return;
    if (event.kind == Kind::Wait && event.got >= event.count && event.durationUs == 0)
        return;
    flush();
    switch (event.kind) {
        case Kind::Sleep:
            emit(event.timeUs, '.',
                 strprintf("sleep %lld ms (%s)", static_cast<long long>(event.durationUs / 1000),
                           event.text.c_str()));
            break;
        case Kind::Wait:
            emit(event.timeUs, '.',
                 strprintf("wait for %zu byte(s), up to %lld ms: %zu after %lld.%03lld ms",
                           event.count, static_cast<long long>(event.timeoutUs / 1000), event.got,
                           static_cast<long long>(event.durationUs / 1000),
                           static_cast<long long>(event.durationUs % 1000)));
            break;
        case Kind::Control:
            emit(event.timeUs, '|', event.text);
            break;
        case Kind::Purge:
            emit(event.timeUs, '~', "purge " + event.text);
            break;
        default:
            emit(event.timeUs, '#', event.text);
            break;
    }
}

}  // namespace kv58
