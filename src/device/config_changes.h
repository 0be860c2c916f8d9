// What a configuration write changes on the transmitter, field by field, for the user to see
// before the question.
#pragma once

#include <string>
#include <vector>

#include "device/infomem.h"

namespace kv58 {

// One text a changed field, Windows-1252, in the order the dialog shows the fields:
// "output 0 - 10 V -> 4 - 20 mA", "T min -20 -> 5 \xB0C". Bytes of Segment A that change
// without a field changing (a range stored in fractions of a degree is written in whole
// degrees) give one line of their own. Empty when `after` is `before`.
std::vector<std::string> configChanges(const SegmentData& before, const SegmentData& after,
                                       char degreeSign);

}  // namespace kv58
