// The range check on T min and T max: the limits of the settings file's key, on the scale of
// the transmitter's unit, and the range the check leaves of a chosen one.
#pragma once

#include <cstdint>

#include "settings/limits_key.h"

namespace kv58 {

// The limits on one scale: T min and T max within lowest … highest, T max at least
// minimumGap above T min.
struct TemperatureRule {
    int32_t lowest = 0;
    int32_t highest = 0;
    int32_t minimumGap = 0;
};

TemperatureRule temperatureRule(const TemperatureLimits& limits, bool celsius);

struct TemperatureRange {
    int32_t tMin = 0;
    int32_t tMax = 0;

    bool operator==(const TemperatureRange&) const = default;
};

// The range the check leaves of `chosen`: each end moved to the nearest value the rule allows,
// then T max raised to keep the gap. A range of 0 and 0 (no range set) is left alone.
TemperatureRange checkedRange(const TemperatureRule& rule, TemperatureRange chosen);

}  // namespace kv58
