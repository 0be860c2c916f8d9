// The backup heading's time on Windows: the local time the system shows.
#include <gtest/gtest.h>
#include <windows.h>

#include "device/backup.h"

namespace kv58 {
namespace {

bool sameMinute(const std::tm& t, const SYSTEMTIME& s) {
    return t.tm_year + 1900 == s.wYear && t.tm_mon + 1 == s.wMonth && t.tm_mday == s.wDay &&
           t.tm_hour == s.wHour && t.tm_min == s.wMinute;
}

TEST(Win32LocalTime, BackupTimeIsTheSystemsLocalTime) {
    // Asked twice when a minute turns over between the two reads.
    for (int attempt = 0; attempt < 2; ++attempt) {
        SYSTEMTIME system{};
        GetLocalTime(&system);
        const std::tm now = localTimeNow();
        if (sameMinute(now, system))
            return;
    }
    FAIL() << "localTimeNow() differs from GetLocalTime()";
}

}  // namespace
}  // namespace kv58
