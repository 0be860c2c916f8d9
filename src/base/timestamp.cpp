#include "base/timestamp.h"

#include <chrono>
#include <ctime>

#include "base/text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kv58 {

namespace {

constexpr int64_t kMsPerDay = 86'400'000;

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

bool leapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned daysInMonth(int year, unsigned month) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : kDays[month - 1];
}

#ifdef _WIN32

// Local and universal time from the system itself: the C library would follow a TZ variable
// in its own syntax instead (and under Wine take a Unix zone name for UTC).
int localOffsetMinutesNow() {
    SYSTEMTIME local{}, utc{};
    GetLocalTime(&local);
    GetSystemTime(&utc);
    const auto minutes = [](const SYSTEMTIME& t) {
        return daysFromCivil(t.wYear, t.wMonth, t.wDay) * 1440 + t.wHour * 60 + t.wMinute;
    };
    return static_cast<int>(minutes(local) - minutes(utc));
}

#else

int localOffsetMinutesNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<int>(local.tm_gmtoff / 60);
}

#endif

// Reads exactly `count` digits at `pos`.
bool digits(std::string_view text, size_t& pos, size_t count, int& value) {
    if (pos + count > text.size())
        return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    pos += count;
    return true;
}

bool expect(std::string_view text, size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

// The zone at `pos` as minutes east of UTC; nothing when there is none.
bool readZone(std::string_view text, size_t& pos, std::optional<int>& offset) {
    if (pos == text.size())
        return true;
    if (text[pos] == 'Z' || text[pos] == 'z') {
        offset = 0;
        return ++pos == text.size();
    }
    if (text[pos] != '+' && text[pos] != '-')
        return false;
    const int sign = text[pos++] == '-' ? -1 : 1;
    int hours = 0, minutes = 0;
    if (!digits(text, pos, 2, hours))
        return false;
    if (pos < text.size() && text[pos] == ':')
        ++pos;
    if (!digits(text, pos, 2, minutes) || hours > 23 || minutes > 59)
        return false;
    offset = sign * (hours * 60 + minutes);
    return pos == text.size();
}

// Local wall-clock time to universal time, by the C library's zone rules (daylight saving
// time included).
std::optional<int64_t> localToUnixMs(int year, unsigned month, unsigned day, int hour, int minute,
                                     int second, int ms) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = static_cast<int>(month) - 1;
    t.tm_mday = static_cast<int>(day);
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&t);
    if (seconds == static_cast<std::time_t>(-1))
        return std::nullopt;
    return static_cast<int64_t>(seconds) * 1000 + ms;
}

}  // namespace

int64_t daysFromCivil(int year, unsigned month, unsigned day) {
    const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
    const int64_t era = floorDiv(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t mp = (static_cast<int64_t>(month) + 9) % 12;
    const int64_t doy = (153 * mp + 2) / 5 + static_cast<int64_t>(day) - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t days, int& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = floorDiv(days, 146097);
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

ZonedTime zonedTimeNow() {
    using namespace std::chrono;
    ZonedTime t;
    t.unixMs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    t.offsetMinutes = localOffsetMinutesNow();
    return t;
}

std::string formatIso8601(const ZonedTime& time) {
    const int64_t localMs = time.unixMs + static_cast<int64_t>(time.offsetMinutes) * 60'000;
    const int64_t days = floorDiv(localMs, kMsPerDay);
    const int64_t inDay = localMs - days * kMsPerDay;
    int year = 0;
    unsigned month = 0, day = 0;
    civilFromDays(days, year, month, day);
    const int offset = time.offsetMinutes < 0 ? -time.offsetMinutes : time.offsetMinutes;
    return strprintf("%04d-%02u-%02uT%02d:%02d:%02d.%03d%c%02d:%02d", year, month, day,
                     static_cast<int>(inDay / 3'600'000), static_cast<int>(inDay / 60'000 % 60),
                     static_cast<int>(inDay / 1000 % 60), static_cast<int>(inDay % 1000),
                     time.offsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
}

std::optional<int64_t> parseIso8601(std::string_view text) {
    size_t pos = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    if (!digits(text, pos, 4, year) || !expect(text, pos, '-') || !digits(text, pos, 2, month) ||
        !expect(text, pos, '-') || !digits(text, pos, 2, day)) {
        return std::nullopt;
    }
    if (month < 1 || month > 12 || day < 1 ||
        static_cast<unsigned>(day) > daysInMonth(year, static_cast<unsigned>(month))) {
        return std::nullopt;
    }
    if (pos < text.size() && (text[pos] == 'T' || text[pos] == 't' || text[pos] == ' ')) {
        ++pos;
        if (!digits(text, pos, 2, hour) || !expect(text, pos, ':') ||
            !digits(text, pos, 2, minute) || hour > 23 || minute > 59) {
            return std::nullopt;
        }
        if (pos < text.size() && text[pos] == ':') {
            ++pos;
            if (!digits(text, pos, 2, second) || second > 59)
                return std::nullopt;
            if (pos < text.size() && text[pos] == '.') {
                ++pos;
                if (!digits(text, pos, 3, ms))
                    return std::nullopt;
            }
        }
    }
    std::optional<int> offset;
    if (!readZone(text, pos, offset))
        return std::nullopt;
    const auto m = static_cast<unsigned>(month);
    const auto d = static_cast<unsigned>(day);
    if (!offset)
        return localToUnixMs(year, m, d, hour, minute, second, ms);
    const int64_t localMs = daysFromCivil(year, m, d) * kMsPerDay +
                            ((hour * 60 + minute) * 60 + second) * int64_t{1000} + ms;
    return localMs - static_cast<int64_t>(*offset) * 60'000;
}

}  // namespace kv58
