#include "device/segment_state.h"

#include "device/backup_reader.h"

namespace kv58 {

namespace {

// Whether every byte of the field up to its first NUL passes `ok`.
template <typename Predicate>
bool fieldHolds(const SegmentData& segment, size_t offset, size_t length, Predicate ok) {
    for (size_t i = offset; i < offset + length; ++i) {
        if (segment[i] == 0)
            return true;
        if (!ok(segment[i]))
            return false;
    }
    return true;
}

bool isDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}

bool isPrintableAscii(uint8_t c) {
    return c >= 0x20 && c <= 0x7E;
}

}  // namespace

SegmentState classifySegmentA(const SegmentData& segmentA) {
    if (isErased(segmentA))
        return SegmentState::Erased;
    const bool version =
        fieldHolds(segmentA, segment_a::kVersion, segment_a::kVersionLength, isDigit);
    const bool serial =
        fieldHolds(segmentA, segment_a::kId, segment_a::kIdLength, isPrintableAscii);
    return version && serial ? SegmentState::Intact : SegmentState::Implausible;
}

SegmentState classifySegmentB(const SegmentData& segmentB) {
    return isErased(segmentB) ? SegmentState::Erased : SegmentState::Intact;
}

const char* segmentStateName(SegmentState state) {
    switch (state) {
        case SegmentState::Intact:
            return "intact";
        case SegmentState::Erased:
            return "erased";
        case SegmentState::Implausible:
            return "implausible";
    }
    return "?";
}

}  // namespace kv58
