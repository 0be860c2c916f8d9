// Calendar time for records that outlive the process (the production log): ISO 8601 with the
// local zone's offset, so that records of stations in different zones still sort and compare.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv58 {

struct ZonedTime {
    int64_t unixMs = 0;     // milliseconds since 1970-01-01T00:00:00Z
    int offsetMinutes = 0;  // of the local zone at that moment, east of UTC positive
};

// Now, with the local zone's offset (the system's clock and zone settings).
ZonedTime zonedTimeNow();

// "2026-12-07T16:05:54.123+01:00" ("Z" is never used: the offset is always written).
std::string formatIso8601(const ZonedTime& time);

// Reads "YYYY-MM-DD", "YYYY-MM-DDTHH:MM", "...:SS" and "...:SS.fff" (a blank may stand for
// the "T"), with an optional zone "Z", "+HH:MM", "-HH:MM" or "+HHMM". A time without a zone
// is local time on this machine. Nothing when the text is not such a time or names no real
// date ("2026-02-30").
std::optional<int64_t> parseIso8601(std::string_view text);

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t daysFromCivil(int year, unsigned month, unsigned day);
void civilFromDays(int64_t days, int& year, unsigned& month, unsigned& day);

}  // namespace kv58
