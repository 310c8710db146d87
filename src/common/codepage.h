// CP932 <-> UTF-8 conversion with glibc iconv.
//
// Conversion never substitutes: a byte sequence that is not valid in the source encoding, or a
// character the target cannot hold, makes the whole conversion fail (std::nullopt).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dov {

std::optional<std::string> Cp932ToUtf8(std::string_view cp932);
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// A UTF-8 text from the program's own source (a message, a caption, a trace format) in CP932.
// Results are cached by text, so the hot paths pay for the conversion once. A text that
// cannot be converted (a programming error) comes back with its bytes escaped.
const std::string& Sj(const char* utf8Literal);

// Raw bytes made printable for a trace line: printable ASCII stays, everything else is \xNN.
std::string EscapeBytes(std::string_view bytes);

// CP932 text for showing on a terminal or in a widget; invalid bytes come out escaped.
std::string DisplayUtf8(std::string_view cp932);

}  // namespace dov
