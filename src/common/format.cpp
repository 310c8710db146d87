#include "common/format.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace dov {
namespace {

struct Spec {
    bool zero = false, left = false;
    int width = 0;
    int length = 0;  // 0 int, -1 char (hh), -2 short (h), 1 long, 2 long long, 3 size_t, 4
                     // intmax_t, 5 ptrdiff_t
    char conv = 0;
};

// Reads one conversion after its '%'. Returns the character after it, or nullptr when the
// conversion is one this formatter leaves to the C library.
const char* ParseSpec(const char* p, Spec& s) {
    for (;; ++p) {
        if (*p == '0')
            s.zero = true;
        else if (*p == '-')
            s.left = true;
        else
            break;
    }
    while (*p >= '0' && *p <= '9') {
        if (s.width > 100000) return nullptr;
        s.width = s.width * 10 + (*p++ - '0');
    }
    if (*p == 'h') {
        ++p;
        s.length = -2;
        if (*p == 'h') ++p, s.length = -1;
    } else if (*p == 'l') {
        ++p;
        s.length = 1;
        if (*p == 'l') ++p, s.length = 2;
    } else if (*p == 'z') {
        ++p, s.length = 3;
    } else if (*p == 'j') {
        ++p, s.length = 4;
    } else if (*p == 't') {
        ++p, s.length = 5;
    }
    switch (*p) {
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
            break;
        case 's':
        case 'c':
            if (s.length != 0 || s.zero) return nullptr;
            break;
        default:
            return nullptr;
    }
    s.conv = *p;
    return p + 1;
}

void Pad(std::string& out, std::size_t len, const Spec& s, const char* text, char fill) {
    const std::size_t w = static_cast<std::size_t>(s.width);
    if (len >= w) return (void)out.append(text, len);
    if (s.left) {
        out.append(text, len);
        out.append(w - len, ' ');
    } else if (fill == '0' && len > 0 && text[0] == '-') {
        out += '-';
        out.append(w - len, '0');
        out.append(text + 1, len - 1);
    } else {
        out.append(w - len, fill);
        out.append(text, len);
    }
}

void AppendInteger(std::string& out, const Spec& s, va_list* ap) {
    const bool isSigned = s.conv == 'd' || s.conv == 'i';
    const int base = (s.conv == 'x' || s.conv == 'X') ? 16 : 10;
    char buf[32];
    std::to_chars_result r{};
    if (isSigned) {
        long long v;
        switch (s.length) {
            case -1:
                v = static_cast<signed char>(va_arg(*ap, int));
                break;
            case -2:
                v = static_cast<short>(va_arg(*ap, int));
                break;
            case 1:
                v = va_arg(*ap, long);
                break;
            case 2:
                v = va_arg(*ap, long long);
                break;
            case 3:
                v = static_cast<long long>(va_arg(*ap, std::size_t));
                break;
            case 4:
                v = va_arg(*ap, std::intmax_t);
                break;
            case 5:
                v = va_arg(*ap, std::ptrdiff_t);
                break;
            default:
                v = va_arg(*ap, int);
                break;
        }
        r = std::to_chars(buf, buf + sizeof buf, v, base);
    } else {
        unsigned long long v;
        switch (s.length) {
            case -1:
                v = static_cast<unsigned char>(va_arg(*ap, unsigned));
                break;
            case -2:
                v = static_cast<unsigned short>(va_arg(*ap, unsigned));
                break;
            case 1:
                v = va_arg(*ap, unsigned long);
                break;
            case 2:
                v = va_arg(*ap, unsigned long long);
                break;
            case 3:
                v = va_arg(*ap, std::size_t);
                break;
            case 4:
                v = va_arg(*ap, std::uintmax_t);
                break;
            case 5:
                v = static_cast<unsigned long long>(va_arg(*ap, std::ptrdiff_t));
                break;
            default:
                v = va_arg(*ap, unsigned);
                break;
        }
        r = std::to_chars(buf, buf + sizeof buf, v, base);
    }
    if (s.conv == 'X')
        for (char* c = buf; c != r.ptr; ++c)
            if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 'a' + 'A');
    Pad(out, static_cast<std::size_t>(r.ptr - buf), s, buf, s.zero && !s.left ? '0' : ' ');
}

// Appends fmt with its arguments; false (with part of the text appended) at the first
// conversion left to the C library.
bool AppendDirect(std::string& out, const char* fmt, va_list* ap) {
    const char* p = fmt;
    for (;;) {
        const char* pct = std::strchr(p, '%');
        if (!pct) {
            out.append(p);
            return true;
        }
        out.append(p, static_cast<std::size_t>(pct - p));
        p = pct + 1;
        if (*p == '%') {
            out += '%';
            ++p;
            continue;
        }
        Spec s;
        p = ParseSpec(p, s);
        if (!p) return false;
        if (s.conv == 's') {
            const char* str = va_arg(*ap, const char*);
            if (!str) str = "(null)";
            Pad(out, std::strlen(str), s, str, ' ');
        } else if (s.conv == 'c') {
            const char c = static_cast<char>(va_arg(*ap, int));
            Pad(out, 1, s, &c, ' ');
        } else {
            AppendInteger(out, s, ap);
        }
    }
}

}  // namespace

void AppendFormatV(std::string& out, const char* fmt, va_list ap) {
    const std::size_t at = out.size();
    va_list aq;
    va_copy(aq, ap);
    const bool done = AppendDirect(out, fmt, &aq);
    va_end(aq);
    if (done) return;
    out.resize(at);
    va_copy(aq, ap);
    char small[512];
    const int n = std::vsnprintf(small, sizeof small, fmt, aq);
    va_end(aq);
    if (n <= 0) return;
    if (static_cast<std::size_t>(n) < sizeof small)
        return (void)out.append(small, static_cast<std::size_t>(n));
    out.resize(at + static_cast<std::size_t>(n) + 1);
    va_copy(aq, ap);
    std::vsnprintf(out.data() + at, static_cast<std::size_t>(n) + 1, fmt, aq);
    va_end(aq);
    out.resize(at + static_cast<std::size_t>(n));
}

void AppendFormat(std::string& out, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    AppendFormatV(out, fmt, ap);
    va_end(ap);
}

}  // namespace dov
