// The image that puts a whole transmitter back after a write changed its program: Segment B
// as read when the write began, the Segment A written, and the program as the last plain
// read found it.
#pragma once

#include <string>

#include "device/transmitter_data.h"

namespace kv58 {

// "TEMP.TXT" of the restore: the three sections at 0x1000, 0x1080 and 0xF000, 16 values a
// line, no end line (275 lines), with the platform's text line ends.
std::string restoreImage(const SegmentData& segmentB, const SegmentData& segmentA,
                         const ProgramImage& program);

}  // namespace kv58
