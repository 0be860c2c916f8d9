// What kv58ctl write settles before it asks its question: a range the check would correct is
// refused (unless corrections are accepted), and the user sees what the write will change.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/main_dialog.h"

namespace kv58::cli {

// The T min and T max given on the command line (absent: the field keeps its value).
struct GivenRange {
    std::optional<std::string> tMin, tMax;
};

// False, with the value at fault and the allowed range on stderr, when a given value is not an
// integer or when the range to be written (given values over the fields' own) is one the range
// check would correct.
bool rangeIsAllowed(const DialogModel& model, const GivenRange& given);

// The Segment A image the write would program, from the dialog's choices and the range as the
// check leaves it; nothing when the range cannot be coded (the write reports that itself).
std::optional<SegmentData> plannedSegmentA(MainDialog& dialog);

// The changed fields, one line each on stderr: "K58-104711: output 0 - 10 V -> 4 - 20 mA".
void printChanges(const std::string& serial, const std::vector<std::string>& changes);

}  // namespace kv58::cli
