// Shift-JIS (CP932) byte tests and searches.
//
// Every name and text inside the program is a CP932 byte string, and every scan over one steps
// over double-byte characters whole. The one rule for "does a double-byte character start here"
// lives in SjisCharLen(); every other scan in the program is built on it.
#pragma once

#include <cstddef>
#include <string_view>

// 0x81-0x9F or 0xE0-0xFC.
constexpr bool IsSjisLeadByte(unsigned char c) {
    return static_cast<unsigned char>(c ^ 0x20) >= 0xA1 &&
           static_cast<unsigned char>(c ^ 0x20) <= 0xDC;
}

// 0x40-0x7E or 0x80-0xFC.
constexpr bool IsSjisTrailByte(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Bytes taken by the character at p; 0 when p is at or past the end. 2 where a lead byte is
// followed by a trail byte; 4 where two user-defined characters with lead bytes 0xF0-0xF5
// follow each other (a pair: one character of the disk, see common/codepage.h), taken from
// the left; else 1.
inline std::size_t SjisCharLen(std::string_view s, std::size_t p) {
    const std::size_t n = s.size();
    if (p >= n) return 0;
    const auto c = static_cast<unsigned char>(s[p]);
    if (c < 0x81 || p + 1 >= n || !IsSjisLeadByte(c) ||
        !IsSjisTrailByte(static_cast<unsigned char>(s[p + 1])))
        return 1;
    if (c < 0xF0 || c > 0xF5 || p + 3 >= n) return 2;
    const auto c2 = static_cast<unsigned char>(s[p + 2]);
    return c2 >= 0xF0 && c2 <= 0xF5 && IsSjisTrailByte(static_cast<unsigned char>(s[p + 3])) ? 4
                                                                                             : 2;
}

// Offset of the first single byte equal to c, stepping over double-byte characters; -1 if none.
int FindCharDbcs(std::string_view s, char c);

// Offset of the last single byte equal to c, stepping over double-byte characters; -1 if none.
int FindLastCharDbcs(std::string_view s, char c);

// Looks at positions p and p + 1 only; returns the first of them where a character of more
// than one byte starts, else -1.
int FindDbcsChar(std::string_view s, int p);

// Whether offset holds the first byte of a character of more than one byte, walking from the
// start.
bool IsLeadByteAt(std::string_view s, int offset);

// Cuts s to at most n bytes without splitting a character.
std::size_t SjisSafePrefixLen(std::string_view s, std::size_t n);
