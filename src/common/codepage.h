// The bridge between the disk's names (UTF-8, or any bytes) and the CP932 text inside.
//
// Disk to inside never fails and loses nothing. The disk bytes are read as UTF-8; a byte
// 0x80-0xFF that is not part of a valid UTF-8 sequence stands alone as the value
// 0x110000 + byte. A code point that CP932 holds with an exact round trip under glibc's table,
// outside the user-defined area, becomes its CP932 code. Every other value v (a character
// CP932 lacks or holds lossily, a private-use code point, a combining mark, a raw byte)
// becomes a pair: two user-defined characters with the indexes v / 1128 and v % 1128.
//
// A user-defined character with index i (0-1127) is the lead byte 0xF0 + i / 188 and the
// trail t = i % 188 taken from 0x40-0x7E then 0x80-0xFC. The pair's value is computed from the
// code point or byte alone, so every process and every file agrees on it.
//
// Inside to disk is the exact inverse. It fails (std::nullopt) on a byte sequence that is not
// valid CP932, on a user-defined character that is not half of a valid pair, and on a pair
// whose value is above 0x1100FF, a surrogate, a code point CP932 holds exactly, or a raw byte
// below 0x80.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dov {

// The value of a byte b (0x80-0xFF) that is not part of valid UTF-8.
constexpr char32_t kRawByteBase = 0x110000;

// Inside to disk: the disk's bytes for a CP932 text.
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);
// Disk to inside: always has a value (any byte string converts).
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// Two CP932 paths (or names) that are the same bytes on disk: equal bytes, or characters CP932
// codes twice (Ⅰ as 0x8754 and 0xFA4A) where they differ. A text that cannot be converted is
// the same only as its own bytes.
bool SameOnDisk(std::string_view a, std::string_view b);

// The same two directions over values (code points, and kRawByteBase + b for a raw byte), for
// text that is not UTF-8 bytes, such as the window's UTF-16.
std::optional<std::u32string> Cp932ToValues(std::string_view cp932);
std::optional<std::string> ValuesToCp932(std::u32string_view values);

// A UTF-8 text from the program's own source (a message, a caption, a trace format) in CP932.
// Results are cached by text, so the hot paths pay for the conversion once.
const std::string& Sj(const char* utf8Literal);

// Raw bytes made printable for a trace line: printable ASCII stays, everything else is \xNN.
std::string EscapeBytes(std::string_view bytes);

// CP932 text for showing on a terminal or in a widget, always valid UTF-8: a pair shows as its
// real character, a raw byte and a byte that is not valid CP932 as \xNN.
std::string DisplayUtf8(std::string_view cp932);

}  // namespace dov
