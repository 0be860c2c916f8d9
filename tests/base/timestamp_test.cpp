// Calendar times with their zone offset, written and read back.
#include "base/timestamp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace kv58 {
namespace {

TEST(Timestamp, CivilDaysRoundTripAcrossEraAndLeapYears) {
    EXPECT_EQ(daysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(daysFromCivil(2000, 3, 1), 11017);
    EXPECT_EQ(daysFromCivil(1969, 12, 31), -1);
    for (int64_t days = -800'000; days < 800'000; days += 997) {
        int y = 0;
        unsigned m = 0, d = 0;
        civilFromDays(days, y, m, d);
        EXPECT_EQ(daysFromCivil(y, m, d), days);
    }
}

TEST(Timestamp, WritesLocalTimeWithItsOffset) {
    const int64_t ms = 1'796'655'954'123;  // 2026-12-07T15:05:54.123Z
    EXPECT_EQ(formatIso8601({ms, 60}), "2026-12-07T16:05:54.123+01:00");
    EXPECT_EQ(formatIso8601({ms, 0}), "2026-12-07T15:05:54.123+00:00");
    EXPECT_EQ(formatIso8601({ms, -330}), "2026-12-07T09:35:54.123-05:30");
    EXPECT_EQ(formatIso8601({ms, 600}), "2026-12-08T01:05:54.123+10:00") << "the next day";
    EXPECT_EQ(formatIso8601({-1, 0}), "1969-12-31T23:59:59.999+00:00");
}

TEST(Timestamp, ReadsWhatItWritesAndTheShortForms) {
    for (const int offset : {0, 60, -330, 600}) {
        const ZonedTime t{1'796'655'954'123, offset};
        EXPECT_EQ(parseIso8601(formatIso8601(t)), t.unixMs) << offset;
    }
    EXPECT_EQ(parseIso8601("2026-12-07T15:05:54Z"), 1'796'655'954'000);
    EXPECT_EQ(parseIso8601("2026-12-07 16:05+0100"), 1'796'655'900'000);
    EXPECT_EQ(parseIso8601("2026-12-07T00:00:00.000-00:00"), 1'796'601'600'000);
    for (const char* bad :
         {"2026-13-01", "2026-02-29", "2026-02-30T00:00Z", "2026-12-07T24:00Z", "2026-12-07T10:60Z",
          "26-12-07", "2026-12-07x", "2026-12-07T10Z", "2026-12-07T10:00+1", "yesterday", ""}) {
        EXPECT_FALSE(parseIso8601(bad)) << bad;
    }
    EXPECT_TRUE(parseIso8601("2024-02-29")) << "a leap day";
}

#ifndef _WIN32
// The C library's zone rules, which a POSIX TZ variable sets (Windows takes its own).
TEST(Timestamp, ATimeWithoutZoneIsLocalTime) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    EXPECT_EQ(parseIso8601("2026-12-07"), parseIso8601("2026-12-07T00:00+01:00")) << "winter";
    EXPECT_EQ(parseIso8601("2026-07-07T12:00"), parseIso8601("2026-07-07T12:00+02:00")) << "summer";
    const ZonedTime now = zonedTimeNow();
    EXPECT_TRUE(now.offsetMinutes == 60 || now.offsetMinutes == 120);
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
#endif

}  // namespace
}  // namespace kv58
