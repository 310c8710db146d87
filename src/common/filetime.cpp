#include "common/filetime.h"

#include <cstdio>

namespace dov {

namespace {
constexpr std::int64_t kEpochDelta = 11644473600LL;  // seconds from 1601-01-01 to 1970-01-01
constexpr std::int64_t kTicks = 10000000LL;          // 100 ns ticks per second
}  // namespace

FileTime UnixToFileTime(std::int64_t seconds, std::int64_t nanoseconds) {
    std::int64_t s = seconds + kEpochDelta;
    if (s < 0) return {};
    return FileTime::FromValue(static_cast<std::uint64_t>(s) * kTicks +
                               static_cast<std::uint64_t>(nanoseconds / 100));
}

std::int64_t FileTimeToUnix(FileTime ft) {
    return static_cast<std::int64_t>(ft.Value() / kTicks) - kEpochDelta;
}

FileTime CurrentLocalFileTime() {
    // Items are made by the thousand within one second: the conversion is done once a second.
    thread_local bool known = false;
    thread_local std::time_t knownNow = 0;
    thread_local FileTime knownTime{};
    std::time_t now = std::time(nullptr);
    if (known && now == knownNow) return knownTime;
    std::tm local{};
    localtime_r(&now, &local);
    std::int64_t wall = static_cast<std::int64_t>(timegm(&local));
    knownTime = UnixToFileTime(wall);
    knownNow = now;
    known = true;
    return knownTime;
}

std::int32_t ToTime32(std::int64_t seconds) {
    if (seconds > INT32_MAX) return INT32_MAX;
    if (seconds < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(seconds);
}

std::string FormatLocalTime(std::int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return buf;
}

}  // namespace dov
