// Shift-JIS (CP932) byte tests and searches.
//
// Every name and text inside the program is a CP932 byte string, and every scan over one steps
// over double-byte characters whole. The one rule for "does a double-byte character start here"
// lives in SjisCharLen(); every other scan in the program is built on it.
#pragma once

#include <cstddef>
#include <string_view>

// 0x81-0x9F or 0xE0-0xF5 (the upper bound is 0xF5, not 0xFC).
constexpr bool IsSjisLeadByte(unsigned char c) {
    return static_cast<unsigned char>(c ^ 0x20) >= 0xA1 &&
           static_cast<unsigned char>(c ^ 0x20) <= 0xD5;
}

// 0x40-0x7E or 0x80-0xFC.
constexpr bool IsSjisTrailByte(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Bytes taken by the character at p: 2 where a lead byte is followed by a trail byte, else 1;
// 0 when p is at or past the end.
inline std::size_t SjisCharLen(std::string_view s, std::size_t p) {
    if (p >= s.size()) return 0;
    if (p + 1 < s.size() && IsSjisLeadByte(static_cast<unsigned char>(s[p])) &&
        IsSjisTrailByte(static_cast<unsigned char>(s[p + 1])))
        return 2;
    return 1;
}

// Offset of the first single byte equal to c, stepping over double-byte characters; -1 if none.
int FindCharDbcs(std::string_view s, char c);

// Offset of the last single byte equal to c, stepping over double-byte characters; -1 if none.
int FindLastCharDbcs(std::string_view s, char c);

// Looks at positions p and p + 1 only; returns the first of them where a double-byte character
// starts, else -1.
int FindDbcsChar(std::string_view s, int p);

// Whether offset holds the first byte of a double-byte character, walking from the start.
bool IsLeadByteAt(std::string_view s, int offset);

// Cuts s to at most n bytes without splitting a double-byte character.
std::size_t SjisSafePrefixLen(std::string_view s, std::size_t n);
