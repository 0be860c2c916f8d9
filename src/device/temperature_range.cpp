#include "device/temperature_range.h"

#include <algorithm>
#include <climits>

namespace kv58 {

namespace {

int32_t clamped(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

TemperatureRule temperatureRule(const TemperatureLimits& limits, bool celsius) {
    if (celsius)
        return {limits.minC, limits.maxC, limits.minDiffC};
    return {limits.minF, limits.maxF, limits.minDiffF};
}

TemperatureRange checkedRange(const TemperatureRule& rule, TemperatureRange chosen) {
    if (chosen.tMin == 0 && chosen.tMax == 0)
        return chosen;
    const int64_t lo = rule.lowest, hi = rule.highest, gap = rule.minimumGap;
    TemperatureRange r = chosen;
    if (r.tMin < lo)
        r.tMin = clamped(lo);
    else if (r.tMin > hi - gap)
        r.tMin = clamped(hi - gap);
    if (r.tMax < lo + gap)
        r.tMax = clamped(lo + gap);
    else if (r.tMax > hi)
        r.tMax = clamped(hi);
    if (int64_t{r.tMax} - r.tMin < gap)
        r.tMax = clamped(int64_t{r.tMin} + gap);
    return r;
}

}  // namespace kv58
