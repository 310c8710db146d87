// libFuzzer target for the macro statement parser: any line must parse or fail cleanly, and a
// parsed statement must be self-consistent.
//
// Build (clang), from the repository root:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -Isrc \
//       fuzz/macro_parser_fuzz.cpp src/macro/macro_parser.cpp src/common/sjis.cpp \
//       src/common/codepage.cpp src/common/trace.cpp src/common/paths.cpp -o macro_parser_fuzz
//   ./macro_parser_fuzz -max_len=4096 -max_total_time=600
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/trace.h"
#include "macro/macro_parser.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The trace log would grow without end; the parser's logic is what is fuzzed here.
    dov::SetTraceEnabled(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CMacroParser parser("/dev/null");
    std::string_view line(reinterpret_cast<const char*>(data), size);
    int r = parser.CheckAndSetString(line);
    const CMacroStatement& st = *parser.GetStatement();
    Check((r == 1) == parser.m_bParsed);
    const std::size_t n = static_cast<std::size_t>(st.m_nArgNum);
    Check(st.m_nArgNum >= 0 && st.m_astrArg.size() == n && st.m_abyArgType.size() == n &&
          st.m_adwArgNum.size() == n);
    if (r != 1) {
        Check(n == 0);
        return 0;
    }
    Check(!st.m_strFuncName.empty());
    for (char c : st.m_strFuncName) Check(CMacroParser::IsNameChar(static_cast<unsigned char>(c)));
    for (std::size_t i = 0; i < n; ++i) {
        Check(st.m_abyArgType[i] == dov::MACRO_DWORD || st.m_abyArgType[i] == dov::MACRO_STRING);
        if (st.m_abyArgType[i] == dov::MACRO_DWORD) {
            std::string token = st.m_astrArg[i];
            std::uint32_t v = 0;
            Check(parser.CheckNumString(token, v) && v == st.m_adwArgNum[i]);
        } else {
            Check(st.m_adwArgNum[i] == 0);
            Check(st.m_astrArg[i].size() < size);
        }
    }
    return 0;
}
