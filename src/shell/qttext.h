// Text between the program (CP932 bytes) and the widgets (QString).
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace dov {

// CP932 bytes for a widget through the name bridge: a pair shows as its real character, a raw
// byte of the disk as the lone surrogate U+DC00 + byte; text that is not valid CP932 shows
// escaped.
QString ToQt(std::string_view cp932);

// A typed or shown text as CP932 through the name bridge (any character converts); nothing
// only for a lone surrogate that stands for no raw byte.
std::optional<std::string> FromQt(const QString& text);

// A text of the program's own source (UTF-8 literal) for a widget.
inline QString U8(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Size text: 64-bit decimal with a comma before every group of three digits.
QString SizeText(std::uint64_t size);

// "%Y/%m/%d (%a) %H:%M:%S" in local time.
QString ItemDateText(std::int64_t seconds);

}  // namespace dov
