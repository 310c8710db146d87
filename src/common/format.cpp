#include "common/format.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace dov {
namespace {

// length: 0 int, -1 char (hh), -2 short (h), 1 long, 2 long long, 3 size_t, 4 intmax_t,
// 5 ptrdiff_t.
using Spec = CompiledFormat::Spec;

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

// The digits of an integer conversion (without its width) in buf; their count.
std::size_t FormatInteger(char (&buf)[32], const Spec& s, va_list* ap) {
    const bool isSigned = s.conv == 'd' || s.conv == 'i';
    const int base = (s.conv == 'x' || s.conv == 'X') ? 16 : 10;
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
    return static_cast<std::size_t>(r.ptr - buf);
}

void AppendInteger(std::string& out, const Spec& s, va_list* ap) {
    char buf[32];
    const std::size_t len = FormatInteger(buf, s, ap);
    Pad(out, len, s, buf, s.zero && !s.left ? '0' : ' ');
}

// Appends one conversion with its argument.
void AppendArg(std::string& out, const Spec& s, va_list* ap) {
    if (s.conv == 's') {
        const char* str = va_arg(*ap, const char*);
        if (!str) str = "(null)";
        const std::size_t len = std::strlen(str);
        if (s.width == 0)
            out.append(str, len);
        else
            Pad(out, len, s, str, ' ');
    } else if (s.conv == 'c') {
        const char c = static_cast<char>(va_arg(*ap, int));
        Pad(out, 1, s, &c, ' ');
    } else {
        AppendInteger(out, s, ap);
    }
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
        AppendArg(out, s, ap);
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

bool CompiledFormat::Compile(std::string_view fmt) {
    text_.clear();
    pieces_.clear();
    ok_ = false;
    Piece piece;
    std::size_t p = 0;
    while (p < fmt.size()) {
        const char c = fmt[p++];
        if (c != '%') {
            text_ += c;
            continue;
        }
        if (p < fmt.size() && fmt[p] == '%') {
            text_ += '%';
            ++p;
            continue;
        }
        // ParseSpec reads up to the conversion character, which ends the view's text at the
        // latest (a view taken from a C string has its NUL after it).
        const std::string spec(fmt.substr(p));
        const char* end = ParseSpec(spec.c_str(), piece.spec);
        if (!end) return false;
        p += static_cast<std::size_t>(end - spec.c_str());
        piece.len = static_cast<std::uint32_t>(text_.size() - piece.at);
        pieces_.push_back(piece);
        piece = Piece{};
        piece.at = static_cast<std::uint32_t>(text_.size());
    }
    piece.len = static_cast<std::uint32_t>(text_.size() - piece.at);
    pieces_.push_back(piece);
    simple_ = pieces_.size() - 1 <= kSimpleArgs;
    for (const Piece& p : pieces_)
        if (p.spec.width != 0) simple_ = false;
    ok_ = true;
    return true;
}

void CompiledFormat::AppendV(std::string& out, va_list ap) const {
    if (simple_) {
        AppendSimple(out, ap, false);
        return;
    }
    va_list aq;
    va_copy(aq, ap);
    for (const Piece& piece : pieces_) {
        out.append(text_.data() + piece.at, piece.len);
        if (piece.spec.conv) AppendArg(out, piece.spec, &aq);
    }
    va_end(aq);
}

bool CompiledFormat::AppendWithoutNewlineV(std::string& out, va_list ap) const {
    return simple_ && AppendSimple(out, ap, true);
}

// No widths and few conversions: the arguments' texts are found first, then out grows once and
// everything is copied in.
bool CompiledFormat::AppendSimple(std::string& out, va_list ap, bool refuseNewline) const {
    struct Text {
        const char* data;
        std::size_t size;
    } args[kSimpleArgs];  // set below, for the n conversions
    char digits[kSimpleArgs][32];
    std::size_t total = text_.size();
    const std::size_t n = pieces_.size() - 1;
    va_list aq;
    va_copy(aq, ap);
    for (std::size_t k = 0; k < n; ++k) {
        const Spec& s = pieces_[k].spec;
        if (s.conv == 's') {
            const char* str = va_arg(aq, const char*);
            if (!str) str = "(null)";
            args[k] = {str, std::strlen(str)};
            if (refuseNewline && std::memchr(str, '\n', args[k].size)) {
                va_end(aq);
                return false;
            }
        } else if (s.conv == 'c') {
            digits[k][0] = static_cast<char>(va_arg(aq, int));
            args[k] = {digits[k], 1};
            if (refuseNewline && digits[k][0] == '\n') {
                va_end(aq);
                return false;
            }
        } else if (s.length == 0 && (s.conv == 'd' || s.conv == 'i')) {
            const auto r = std::to_chars(digits[k], digits[k] + sizeof digits[k], va_arg(aq, int));
            args[k] = {digits[k], static_cast<std::size_t>(r.ptr - digits[k])};
        } else {
            args[k] = {digits[k], FormatInteger(digits[k], s, &aq)};
        }
        total += args[k].size;
    }
    va_end(aq);
    const std::size_t at = out.size();
    out.resize(at + total);
    char* p = out.data() + at;
    for (std::size_t k = 0; k <= n; ++k) {
        const Piece& piece = pieces_[k];
        std::memcpy(p, text_.data() + piece.at, piece.len);
        p += piece.len;
        if (k < n) {
            std::memcpy(p, args[k].data, args[k].size);
            p += args[k].size;
        }
    }
    return true;
}

void AppendFormat(std::string& out, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    AppendFormatV(out, fmt, ap);
    va_end(ap);
}

}  // namespace dov
