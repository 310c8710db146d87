// Times as the item records keep them: 64-bit counts of 100 ns since 1601-01-01 split into two
// 32-bit halves (directory entries), and 32-bit seconds since 1970 (file status).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace dov {

struct FileTime {
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    std::uint64_t Value() const { return (static_cast<std::uint64_t>(high) << 32) | low; }
    static FileTime FromValue(std::uint64_t v) {
        return {static_cast<std::uint32_t>(v), static_cast<std::uint32_t>(v >> 32)};
    }
    bool operator==(const FileTime&) const = default;
};

// Seconds (and nanoseconds) since 1970 as a file time.
FileTime UnixToFileTime(std::int64_t seconds, std::int64_t nanoseconds = 0);

// A file time back to seconds since 1970 (rounded down).
std::int64_t FileTimeToUnix(FileTime ft);

// The current local calendar time converted to a file time as it stands (the local wall clock
// read as if it were UTC).
FileTime CurrentLocalFileTime();

// Seconds since 1970 as the 32-bit value the status record stores.
std::int32_t ToTime32(std::int64_t seconds);

// "YYYY/MM/DD hh:mm:ss" in local time.
std::string FormatLocalTime(std::int64_t seconds);

}  // namespace dov
