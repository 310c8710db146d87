#include "common/format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

void AppendCompiled(std::string& out, const dov::CompiledFormat* f, ...) {
    va_list ap;
    va_start(ap, f);
    f->AppendV(out, ap);
    va_end(ap);
}

// The formatter must give exactly what the C library gives, for the conversions it handles
// itself and for those it hands on; a compiled format gives the same, or refuses the format.
template <typename... A>
void ExpectAsPrintf(const char* fmt, A... args) {
    char want[1024];
    std::snprintf(want, sizeof want, fmt, args...);
    std::string got = "prefix:";
    dov::AppendFormat(got, fmt, args...);
    EXPECT_EQ(got, std::string("prefix:") + want) << fmt;
    dov::CompiledFormat compiled;
    if (!compiled.Compile(fmt)) return;
    got = "prefix:";
    AppendCompiled(got, &compiled, args...);
    AppendCompiled(got, &compiled, args...);  // the same object, used again
    EXPECT_EQ(got, std::string("prefix:") + want + want) << fmt;
}

TEST(Format, MatchesPrintf) {
    ExpectAsPrintf("plain text, no conversion");
    ExpectAsPrintf("%s|%d|%%|%c", "名前", -42, 'x');
    ExpectAsPrintf("[%d] / [%d]", INT_MIN, INT_MAX);
    ExpectAsPrintf("%u %lu %llu %zu", 4000000000u, ULONG_MAX, ULLONG_MAX, static_cast<size_t>(7));
    ExpectAsPrintf("%ld %lld %i", LONG_MIN, LLONG_MIN, 0);
    ExpectAsPrintf("%03d %03d %02u %04d %10u %-5d| %5s|%-5s|", 7, -7, 3u, 12345, 42u, 9, "ab",
                   "cd");
    ExpectAsPrintf("%08X %02X %x %01X", 0xDEADBEEFu, 0x0Au, 255u, 0u);
    ExpectAsPrintf("%hhd %hd %hhu", 300, 70000, 300);
    ExpectAsPrintf("%03lld %s", 5LL, "");
    ExpectAsPrintf("%s%s%s%s%s%s%s%s%s|%c%c", "1", "2", "3", "4", "5", "6", "7", "8", "9", 'a',
                   'b');
    // Handed on to the C library.
    ExpectAsPrintf("%.3s|%5.1f|%p", "abcdef", 2.25, static_cast<void*>(nullptr));
    ExpectAsPrintf("%*d|%+d|% d|%#x", 6, 1, 2, 3, 255u);
}

TEST(Format, CompiledRefusesWhatItLeavesToTheCLibrary) {
    for (const char* fmt : {"%.3s", "%5.1f", "%p", "%*d", "%+d", "% d", "%#x", "%ls", "%05s"}) {
        dov::CompiledFormat compiled;
        EXPECT_FALSE(compiled.Compile(fmt)) << fmt;
        EXPECT_FALSE(compiled.Ok()) << fmt;
    }
    dov::CompiledFormat compiled;
    ASSERT_TRUE(compiled.Compile("[%s]"));
    std::string out;
    AppendCompiled(out, &compiled, static_cast<const char*>(nullptr));
    EXPECT_EQ(out, "[(null)]");
}

TEST(Format, LongOutputAndAppending) {
    const std::string big(3000, 'a');
    std::string out = "x";
    dov::AppendFormat(out, "%s/%d", big.c_str(), 1);
    EXPECT_EQ(out, "x" + big + "/1");
    out = "y";
    dov::AppendFormat(out, "%s/%.1f", big.c_str(), 1.5);  // long and handed on
    EXPECT_EQ(out, "y" + big + "/1.5");
}

}  // namespace
