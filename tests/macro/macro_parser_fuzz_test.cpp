// Randomized tests of the statement parser: generated statements must come back exactly, random
// lines must never break it, and monstrous lines must end quickly with bounded output.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/sjis.h"
#include "common/trace.h"
#include "macro/macro_parser.h"
#include "support/test_support.h"

namespace {

using dovtest::Sj;

struct TraceOff {
    TraceOff() { dov::SetTraceEnabled(false); }
    ~TraceOff() { dov::SetTraceEnabled(true); }
};

struct GenArg {
    bool isString;
    std::string content;  // string content, or the number token as written
    std::uint32_t value;
};

std::string RandomWord(std::mt19937& rng, bool letterFirst) {
    static const std::string kChars =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_~";
    std::string w;
    std::size_t n = 1 + rng() % 12;
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t k = (letterFirst && i == 0) ? rng() % 52 : rng() % kChars.size();
        w.push_back(kChars[k]);
    }
    return w;
}

std::string Spaces(std::mt19937& rng) {
    return std::string(rng() % 3, ' ');
}

// A string argument: its content and how it is written between the quotation marks.
void RandomString(std::mt19937& rng, std::string& content, std::string& written) {
    static const std::vector<std::string> kUnits = {
        "a", "Z",  "0",  " ",      ",",      "(",      ")",     "'",       "\t",
        "x", "\\", "\"", Sj("表"), Sj("ソ"), Sj("あ"), Sj("ｱ"), "\x81\x40"};
    std::size_t n = rng() % 10;
    for (std::size_t i = 0; i < n; ++i) {
        const std::string& u = kUnits[rng() % kUnits.size()];
        content += u;
        written += (u == "\"") ? "\\\"" : u;
    }
    // A final single-byte backslash would escape the closing quotation mark.
    std::size_t last = 0;
    for (std::size_t p = 0; p < written.size(); p += SjisCharLen(written, p)) last = p;
    if (!written.empty() && written[last] == '\\' && last + 1 == written.size()) {
        content += "a";
        written += "a";
    }
}

GenArg RandomNumber(std::mt19937& rng) {
    GenArg a{false, {}, 0};
    std::uint32_t v = static_cast<std::uint32_t>(rng());
    if (rng() % 3 == 0) v %= 100;
    char buf[32];
    if (rng() % 2) {
        std::snprintf(buf, sizeof buf, rng() % 2 ? "0x%X" : "0X%x", v);
    } else {
        std::snprintf(buf, sizeof buf, "%u", v);
    }
    a.content = buf;
    a.value = v;
    return a;
}

TEST(MacroParserFuzz, GeneratedStatementsRoundTrip) {
    dovtest::TempDir tmp;
    TraceOff off;
    std::mt19937 rng(20240611);
    CMacroParser parser;
    for (int iter = 0; iter < 20000; ++iter) {
        std::string name = RandomWord(rng, true);
        std::string line = Spaces(rng);
        if (rng() % 4 == 0) line += RandomWord(rng, true) + std::string(1 + rng() % 2, ' ');
        line += name + Spaces(rng) + "(";
        std::vector<GenArg> args(rng() % 6);
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (i) line += ",";
            line += Spaces(rng);
            if (rng() % 2) {
                args[i] = {true, {}, 0};
                std::string written;
                RandomString(rng, args[i].content, written);
                line += "\"" + written + "\"";
            } else {
                args[i] = RandomNumber(rng);
                line += args[i].content;
            }
            line += Spaces(rng);
        }
        line += ")";
        if (rng() % 3 == 0) line += " trailing \"text\" (";

        ASSERT_EQ(parser.CheckAndSetString(line), 1) << dov::EscapeBytes(line);
        const CMacroStatement& st = *parser.GetStatement();
        ASSERT_EQ(st.m_strFuncName, name) << dov::EscapeBytes(line);
        ASSERT_EQ(st.m_nArgNum, static_cast<int>(args.size())) << dov::EscapeBytes(line);
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i].isString) {
                ASSERT_EQ(st.m_abyArgType[i], dov::MACRO_STRING) << dov::EscapeBytes(line);
                ASSERT_EQ(st.m_astrArg[i], args[i].content) << dov::EscapeBytes(line);
                ASSERT_EQ(st.m_adwArgNum[i], 0u);
            } else {
                ASSERT_EQ(st.m_abyArgType[i], dov::MACRO_DWORD) << dov::EscapeBytes(line);
                ASSERT_EQ(st.m_adwArgNum[i], args[i].value) << dov::EscapeBytes(line);
            }
        }
    }
}

// Random lines over an alphabet weighted towards the grammar's own characters.
TEST(MacroParserFuzz, RandomLinesKeepTheStatementConsistent) {
    dovtest::TempDir tmp;
    std::mt19937 rng(77);
    static const std::string kAlphabet = "F(),\"\\ \t0x1aA_~9;-\x81\x95\x5c\xe0\xfc\xff";
    CMacroParser parser;
    for (int iter = 0; iter < 30000; ++iter) {
        // A few lines with the trace on, so its formatting sees the odd bytes too.
        dov::SetTraceEnabled(iter < 300);
        std::string line;
        std::size_t n = rng() % 40;
        for (std::size_t i = 0; i < n; ++i) {
            if (rng() % 8 == 0)
                line.push_back(static_cast<char>(rng() & 0xFF));
            else
                line.push_back(kAlphabet[rng() % kAlphabet.size()]);
        }
        int r = parser.CheckAndSetString(line);
        const CMacroStatement& st = *parser.GetStatement();
        ASSERT_EQ(r == 1, parser.m_bParsed);
        ASSERT_EQ(st.m_astrArg.size(), static_cast<std::size_t>(st.m_nArgNum));
        ASSERT_EQ(st.m_abyArgType.size(), static_cast<std::size_t>(st.m_nArgNum));
        ASSERT_EQ(st.m_adwArgNum.size(), static_cast<std::size_t>(st.m_nArgNum));
        ASSERT_TRUE(std::is_sorted(parser.m_adwQuotePos.begin(), parser.m_adwQuotePos.end()));
        if (r == 1) {
            ASSERT_FALSE(st.m_strFuncName.empty()) << dov::EscapeBytes(line);
            for (char c : st.m_strFuncName)
                ASSERT_TRUE(CMacroParser::IsNameChar(static_cast<unsigned char>(c)));
            for (int i = 0; i < st.m_nArgNum; ++i) {
                ASSERT_TRUE(st.m_abyArgType[i] == dov::MACRO_DWORD ||
                            st.m_abyArgType[i] == dov::MACRO_STRING);
                if (st.m_abyArgType[i] == dov::MACRO_DWORD) {
                    std::string token = st.m_astrArg[i];
                    std::uint32_t v = 0;
                    ASSERT_TRUE(parser.CheckNumString(token, v));
                    ASSERT_EQ(v, st.m_adwArgNum[i]);
                }
            }
            parser.TraceParseResult();
        } else {
            ASSERT_EQ(st.m_nArgNum, 0);
        }
    }
    dov::SetTraceEnabled(true);
}

long long FileSize(const std::string& nativePath) {
    struct stat st {};
    return stat(nativePath.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : 0;
}

// Lines of a million quotation marks or commas, traced as usual: each ends with a bounded trace.
TEST(MacroParserFuzz, MonstrousLinesEndWithBoundedTrace) {
    dovtest::TempDir tmp;
    const std::string tracePath = *dov::Cp932ToUtf8(dov::DefaultTracePath());
    const std::size_t kMillion = 1000000;
    struct Case {
        std::string line;
        int result;
        int args;
    };
    std::vector<Case> cases;
    cases.push_back({std::string(kMillion, '"'), 0, 0});
    cases.push_back({"F(" + std::string(kMillion, '"') + ")", 1, 0});
    cases.push_back({"F(" + std::string(kMillion, '"'), 0, 0});
    cases.push_back({std::string(kMillion, ','), 0, 0});
    cases.push_back({"F(" + std::string(kMillion, ',') + ")", 1, 0});
    cases.push_back({"F(1" + std::string(kMillion, ',') + ")", 1, 1});
    cases.push_back({"F(\"" + std::string(kMillion, ',') + "\")", 1, 1});
    cases.push_back({"F(" + std::string(kMillion, '(') + ")", 0, 0});
    cases.push_back({std::string(kMillion, 'a') + "()", 1, 0});
    cases.push_back({"F(" + std::string(kMillion, ' ') + ")", 1, 0});
    std::string manyArgs = "F(";
    for (int i = 0; i < 20000; ++i) manyArgs += "\"\",";
    manyArgs += "1)";
    cases.push_back({manyArgs, 1, 20001});

    CMacroParser parser;
    for (const Case& c : cases) {
        dov::TraceReset(dov::DefaultTracePath());
        ASSERT_EQ(parser.CheckAndSetString(c.line), c.result) << c.line.substr(0, 8);
        EXPECT_EQ(parser.GetStatement()->m_nArgNum, c.args) << c.line.substr(0, 8);
        parser.TraceParseResult();
        // A few copies of the line at most, never one per quotation mark.
        EXPECT_LT(FileSize(tracePath), 8 * static_cast<long long>(c.line.size()) + (4 << 20))
            << c.line.substr(0, 8);
    }
}

}  // namespace
