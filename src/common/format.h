// printf-style formatting without the C library's stream machinery, for the lines the program
// writes per item (trace, logs). The result is byte for byte what vsnprintf gives.
//
// Handled directly: %s %c %d %i %u %x %X %% with the length modifiers hh, h, l, ll, z, j, t, an
// optional '0' or '-' flag and a decimal width. Any other conversion (a precision, '*', %p, %f,
// ...) hands the whole format to vsnprintf.
#pragma once

#include <cstdarg>
#include <string>

namespace dov {

// Appends the formatted text to out.
void AppendFormatV(std::string& out, const char* fmt, va_list ap);
void AppendFormat(std::string& out, const char* fmt, ...);

}  // namespace dov
