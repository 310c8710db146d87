#include "shell/qttext.h"

#include <ctime>

#include "common/codepage.h"
#include "common/sizetext.h"

namespace dov {

// A raw byte b (a disk name byte that is not part of valid UTF-8) travels in a QString as the
// lone surrogate U+DC00 + b, so a name shown in a field and read back keeps its bytes.
QString ToQt(std::string_view cp932) {
    const auto values = Cp932ToValues(cp932);
    if (!values) return QString::fromStdString(DisplayUtf8(cp932));
    QString out;
    out.reserve(static_cast<qsizetype>(values->size()));
    for (char32_t v : *values) {
        if (v >= kRawByteBase) {
            out += QChar(static_cast<char16_t>(0xDC00 + (v - kRawByteBase)));
        } else if (v >= 0x10000) {
            out += QChar(QChar::highSurrogate(v));
            out += QChar(QChar::lowSurrogate(v));
        } else {
            out += QChar(static_cast<char16_t>(v));
        }
    }
    return out;
}

std::optional<std::string> FromQt(const QString& text) {
    std::u32string values;
    values.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            values += QChar::surrogateToUcs4(u, text.at(++i).unicode());
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            values += kRawByteBase + (u - 0xDC00);
        } else {
            values += u;  // another lone surrogate: ValuesToCp932 refuses it
        }
    }
    return ValuesToCp932(values);
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
