// How a segment read from a transmitter looks: its own data, erased, or damaged.
//
// Segment A is judged only by the fields the configuration layout defines (infomem.h): the
// software-version characters before the first NUL must be ASCII digits, and the serial-number
// bytes before the first NUL must be printable ASCII. The bytes the layout leaves
// uninterpreted are never looked at: their content differs between firmwares. Segment B is
// calibration in a form this program does not know, so all it can tell is whether it is
// erased.
//
// A segment cut off half-way through its programming may still look intact by these rules;
// the flows that write know better and say so (device/outcome.h).
#pragma once

#include "device/infomem.h"

namespace kv58 {

enum class SegmentState {
    Intact,       // as a transmitter's own
    Erased,       // every byte 0xFF
    Implausible,  // Segment A only: a defined field holds what no transmitter writes there
};

SegmentState classifySegmentA(const SegmentData& segmentA);
SegmentState classifySegmentB(const SegmentData& segmentB);

// "intact", "erased", "implausible": the words of kv58ctl's output.
const char* segmentStateName(SegmentState state);

}  // namespace kv58
