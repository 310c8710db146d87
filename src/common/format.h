// printf-style formatting without the C library's stream machinery, for the lines the program
// writes per item (trace, logs). The result is byte for byte what vsnprintf gives.
//
// Handled directly: %s %c %d %i %u %x %X %% with the length modifiers hh, h, l, ll, z, j, t, an
// optional '0' or '-' flag and a decimal width. Any other conversion (a precision, '*', %p, %f,
// ...) hands the whole format to vsnprintf.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace dov {

// Whether every byte is below 0x80 (such a text is the same in CP932, UTF-8 and on disk).
// Read as (overlapping) words: it runs for most names of every item, so it stays inline.
[[gnu::always_inline]] inline bool IsAscii(std::string_view s) {
    const char* p = s.data();
    const std::size_t n = s.size();
    std::uint64_t w = 0;
    if (n >= 8) {
        std::memcpy(&w, p + n - 8, 8);
        for (std::size_t k = 0; k + 8 < n; k += 8) {
            std::uint64_t x;
            std::memcpy(&x, p + k, 8);
            w |= x;
        }
    } else if (n >= 4) {
        std::uint32_t a, b;
        std::memcpy(&a, p, 4);
        std::memcpy(&b, p + n - 4, 4);
        w = a | b;
    } else {
        for (std::size_t k = 0; k < n; ++k) w |= static_cast<unsigned char>(p[k]);
    }
    return (w & 0x8080808080808080u) == 0;
}

// Appends the formatted text to out.
void AppendFormatV(std::string& out, const char* fmt, va_list ap);
void AppendFormat(std::string& out, const char* fmt, ...);

// A format read once and applied to many lines (the trace's lines per item): the text it gives
// is AppendFormatV's, without reading the format again each time.
class CompiledFormat {
  public:
    // false when fmt holds a conversion left to the C library (the object is then unusable).
    bool Compile(std::string_view fmt);
    bool Ok() const { return ok_; }
    void AppendV(std::string& out, va_list ap) const;
    // AppendV when no argument's text holds a '\n'. false, with nothing appended, when one does
    // or when the format has a width or more than a few conversions.
    bool AppendWithoutNewlineV(std::string& out, va_list ap) const;

    // One conversion: its flags, width and length modifier (see format.cpp).
    struct Spec {
        bool zero = false, left = false;
        int width = 0;
        int length = 0;
        char conv = 0;
    };

  private:
    // The literal text before a conversion (conv 0: the text after the last one).
    struct Piece {
        std::uint32_t at = 0, len = 0;
        Spec spec;
    };
    bool AppendSimple(std::string& out, va_list ap, bool refuseNewline) const;

    // Formats of at most this many conversions, none with a width, are applied in two passes.
    static constexpr std::size_t kSimpleArgs = 8;
    std::string text_;
    std::vector<Piece> pieces_;
    bool ok_ = false;
    bool simple_ = false;
};

}  // namespace dov
