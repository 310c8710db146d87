#include "shell/qttext.h"

#include <ctime>

#include "common/codepage.h"
#include "common/sizetext.h"

namespace dov {

QString ToQt(std::string_view cp932) {
    if (auto u = Cp932ToUtf8(cp932)) return QString::fromStdString(*u);
    return QString::fromStdString(DisplayUtf8(cp932));
}

std::optional<std::string> FromQt(const QString& text) {
    return Utf8ToCp932(text.toStdString());
}

QString SizeText(std::uint64_t size) {
    return QString::fromStdString(InsertComma(
        FormatSize64(static_cast<std::uint32_t>(size >> 32), static_cast<std::uint32_t>(size))));
}

QString ItemDateText(std::int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return {};
    char buf[64];
    // The day name is the C locale's (the program never sets a locale of its own).
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d (%s) %02d:%02d:%02d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, kDays[tm.tm_wday % 7], tm.tm_hour, tm.tm_min,
                  tm.tm_sec);
    return QString::fromLatin1(buf);
}

}  // namespace dov
