#include "macro/macro_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macro_test_util.h"
#include "support/test_support.h"

namespace {

using dovtest::Sj;

// The arguments of a statement as one text: "D:31|S:abc" (number token and value for D).
std::string DescribeArgs(const CMacroStatement& st) {
    std::string out;
    for (int i = 0; i < st.m_nArgNum; ++i) {
        if (i) out += "|";
        if (st.m_abyArgType[i] == dov::MACRO_STRING)
            out += "S:" + st.m_astrArg[i];
        else
            out += "D:" + st.m_astrArg[i] + "=" + std::to_string(st.m_adwArgNum[i]);
    }
    return out;
}

struct ParseRow {
    const char* line;  // UTF-8, converted to CP932 before parsing
    int result;
    const char* name;
    const char* args;  // DescribeArgs of the statement (UTF-8)
};

class MacroParserTable : public ::testing::TestWithParam<ParseRow> {};

TEST_P(MacroParserTable, ParsesLine) {
    dovtest::TempDir tmp;
    const ParseRow& row = GetParam();
    CMacroParser parser;
    ASSERT_EQ(parser.CheckAndSetString(Sj(row.line)), row.result) << row.line;
    if (row.result != 1) return;
    CMacroStatement* st = parser.GetStatement();
    EXPECT_EQ(st->m_strFuncName, Sj(row.name));
    EXPECT_EQ(st->m_byRetType, dov::MACRO_VOID);
    EXPECT_EQ(DescribeArgs(*st), Sj(row.args)) << row.line;
    EXPECT_EQ(st->m_astrArg.size(), static_cast<std::size_t>(st->m_nArgNum));
    EXPECT_EQ(st->m_abyArgType.size(), static_cast<std::size_t>(st->m_nArgNum));
    EXPECT_EQ(st->m_adwArgNum.size(), static_cast<std::size_t>(st->m_nArgNum));
}

// clang-format off
const ParseRow kRows[] = {
    // Statement forms.
    {"SelectListAll()", 1, "SelectListAll", ""},
    {"SelectListAll( )", 1, "SelectListAll", ""},
    {"   SelectListAll   ()", 1, "SelectListAll", ""},
    {R"x(DWORD CutLeftListString (1, "abc"))x", 1, "CutLeftListString", "D:1=1|S:abc"},
    {"A B C(1)", 0, "", ""},
    {"SelectListAll\t()", 0, "", ""},
    {"\tSelectListAll()", 0, "", ""},
    {"(1)", 0, "", ""},
    {"  (1)", 0, "", ""},
    {"F(1", 0, "", ""},
    {"F((1))", 0, "", ""},
    {"F(1)(", 1, "F", "D:1=1"},
    {"a note without parentheses", 0, "", ""},
    {R"x("F"(1))x", 0, "", ""},
    {"F-G(1)", 0, "", ""},
    {"_x~9(1)", 1, "_x~9", "D:1=1"},
    {"123(1)", 1, "123", "D:1=1"},
    {"F(1) anything, \"at all\" (", 1, "F", "D:1=1"},
    // Numbers.
    {"F(0x1F)", 1, "F", "D:0x1f=31"},
    {"F(0X1f)", 1, "F", "D:0x1f=31"},
    {"F(31)", 1, "F", "D:31=31"},
    {"F(0x)", 1, "F", ""},
    {"F(0x123456789)", 1, "F", ""},
    {"F(0xFFFFFFFF)", 1, "F", "D:0xffffffff=4294967295"},
    {"F(0x0)", 1, "F", "D:0x0=0"},
    {"F(0xg)", 1, "F", ""},
    {"F(x1)", 1, "F", ""},
    {"F(12a)", 1, "F", ""},
    {"F(4294967295)", 1, "F", "D:4294967295=4294967295"},
    {"F(4294967296)", 1, "F", ""},
    {"F(9999999999)", 1, "F", ""},
    {"F(00000000001)", 1, "F", ""},
    {"F(0000000001)", 1, "F", "D:0000000001=1"},
    {"F(1_0)", 1, "F", "D:1_0=100"},
    {"F(4_________)", 1, "F", ""},
    {"F(-1)", 1, "F", ""},
    {"SetModeAutoSerial(1)", 1, "SetModeAutoSerial", "D:1=1"},
    // Strings.
    {R"x(F("a\"b"))x", 1, "F", "S:a\"b"},
    {R"x(F("a\b"))x", 1, "F", "S:a\\b"},
    {R"x(F("a,b(c)"))x", 1, "F", "S:a,b(c)"},
    {R"x(F(")"))x", 1, "F", "S:)"},
    {R"x(F(""))x", 1, "F", "S:"},
    {R"x(F( "x" ,  7 ))x", 1, "F", "S:x|D:7=7"},
    {R"x(F("表"))x", 1, "F", "S:表"},
    {R"x(F("ソ", "x"))x", 1, "F", "S:ソ|S:x"},
    {R"x(F("日本語\"テスト"))x", 1, "F", "S:日本語\"テスト"},
    {R"x(F("a\"))x", 0, "", ""},
    {R"x(F("a" "b"))x", 1, "F", ""},
    {R"x(F("a"x))x", 1, "F", ""},
    {R"x(F(1, "a"x, 2))x", 1, "F", "D:1=1"},
    {R"x(F(x"a"))x", 1, "F", ""},
    {R"x(F("a" , 1))x", 1, "F", "S:a|D:1=1"},
    // Argument lists.
    {"F(1, x y)", 1, "F", "D:1=1"},
    {"F(1,,2)", 1, "F", "D:1=1"},
    {"F(1,)", 1, "F", "D:1=1"},
    {"F(,1)", 1, "F", ""},
    {"F(1 2)", 1, "F", ""},
    {"F(1,2,3,4,5)", 1, "F", "D:1=1|D:2=2|D:3=3|D:4=4|D:5=5"},
    {"F(1;2)", 1, "F", ""},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Lines, MacroParserTable, ::testing::ValuesIn(kRows));

TEST(MacroParser, SignatureAndReuseAcrossLines) {
    dovtest::TempDir tmp;
    CMacroParser parser;
    ASSERT_EQ(parser.CheckAndSetString(Sj(R"x(F(1, "a", 0x2, "b"))x")), 1);
    EXPECT_EQ(parser.GetStatement()->BuildSignature(), "DSDS");
    // Nothing carries over to the next line.
    ASSERT_EQ(parser.CheckAndSetString(std::string_view("G()")), 1);
    EXPECT_EQ(parser.GetStatement()->m_strFuncName, "G");
    EXPECT_EQ(parser.GetStatement()->m_nArgNum, 0);
    EXPECT_EQ(parser.GetStatement()->BuildSignature(), "");
    EXPECT_EQ(parser.m_nQuoteNum, 0u);
    EXPECT_EQ(parser.CheckAndSetString(static_cast<const char*>(nullptr)), 0);
    EXPECT_FALSE(parser.m_bParsed);
    EXPECT_EQ(parser.GetStatement()->m_strFuncName, "");
}

TEST(MacroParser, SignatureLettersAndTypeNames) {
    CMacroStatement st;
    for (std::uint8_t t = 0; t < 9; ++t) st.AddArg("", t, 0);
    EXPECT_EQ(st.BuildSignature(), "VBBWDDDSV");
    EXPECT_EQ(CMacroStatement::GetStrRetType(4), "DWORD");
    EXPECT_EQ(CMacroStatement::GetStrRetType(7), "STRING");
    EXPECT_EQ(CMacroStatement::GetStrRetType(200), Sj("《 UNKOWN 》"));
    CMacroStatement copy;
    copy.Copy(st);
    EXPECT_EQ(copy.m_nArgNum, 9);
    EXPECT_EQ(copy.m_strSignature, "");  // the signature is not copied
}

TEST(MacroParserTrace, FullTraceOfAParsedLine) {
    dovtest::TempDir tmp;
    macrotest::ResetTrace();
    CMacroParser parser;
    ASSERT_EQ(parser.CheckAndSetString(std::string(R"x(DWORD CutLeftListString (1, "abc"))x")), 1);
    parser.TraceParseResult();
    EXPECT_EQ(macrotest::ReadTraceUtf8(),
              "・引用符ヒット。Index[000] 位置[028] [DWORD CutLeftListString (1, \"abc\")]\n"
              "・引用符ヒット。Index[001] 位置[032] [DWORD CutLeftListString (1, \"abc\")]\n"
              "○カッコ内のデータ [1, \"abc\"]\n"
              "□CheckArgCluster()\n\t[1]\n"
              "○　引数は数値：[1]\n"
              "○　文字列を数値に変換しました。[1] CheckArgCluster()\n"
              "□CheckArgCluster()\n\t[ \"abc\"]\n"
              "○引数部分の文字列 [abc]\n"
              "/////////////////構文解析結果/////////////////\n"
              "【解析文字列】DWORD CutLeftListString (1, \"abc\")\n"
              "【解析結果】\n"
              "【戻り値】VOID\n"
              "【関数名】CutLeftListString\n"
              "【引数型 00】DWORD\n"
              "【引数データ 00】1\n"
              "【引数型 01】STRING\n"
              "【引数データ 01】abc\n");
}

TEST(MacroParserTrace, DumpsOfEmptyAndFailedLinesAndMacroData) {
    dovtest::TempDir tmp;
    CMacroParser parser;
    parser.CheckAndSetString(std::string_view(""));
    macrotest::ResetTrace();
    parser.TraceParseResult();
    EXPECT_EQ(macrotest::ReadTraceUtf8(),
              "/////////////////構文解析結果/////////////////\n※　文字列がセットされていません。");

    parser.CheckAndSetString(std::string_view("A B C(1)"));
    macrotest::ResetTrace();
    parser.TraceParseResult();
    EXPECT_EQ(macrotest::ReadTraceUtf8(),
              "/////////////////構文解析結果/////////////////\n【解析文字列】A B C(1)\n"
              "【解析結果】\n失敗\n");

    CMacroStatement st;
    st.m_strFuncName = "X";
    st.m_byRetType = 9;
    st.AddArg("0x10", dov::MACRO_DWORD, 16);
    macrotest::ResetTrace();
    st.TraceMacroData(dov::DefaultTracePath());
    EXPECT_EQ(macrotest::ReadTraceUtf8(),
              "/////////////////マクロ構文データ/////////////////\n【戻り値】《 UNKOWN 》\n"
              "【関数名】X\n【引数型 00】DWORD\n【引数データ 00】16\n");
}

// A huge statement costs a bounded trace: each of its texts is cut, and the cut is said.
TEST(MacroParserTrace, HugeStatementTextsAreCutInTheTrace) {
    dovtest::TempDir tmp;
    macrotest::ResetTrace();
    CMacroParser parser;
    const std::string arg(1 << 20, 'x');
    ASSERT_EQ(parser.CheckAndSetString("PasteLeftListString(\"" + arg + "\")"), 1);
    parser.TraceParseResult();
    const std::string trace = macrotest::ReadTraceUtf8();
    // One quotation-mark line repeats the line (its own budget); everything else is cut.
    EXPECT_LT(trace.size(), 2u * arg.size());
    EXPECT_NE(trace.find("○引数部分の文字列 [" + std::string(4096, 'x') + "…［以下 " +
                         std::to_string(arg.size() - 4096) + " バイト省略］]\n"),
              std::string::npos);
    EXPECT_NE(trace.find("【引数データ 00】" + std::string(4096, 'x') + "…［以下 "),
              std::string::npos);
}

struct TraceRow {
    const char* line;
    const char* expected;  // a piece the trace must contain
};

class MacroParserTraceTable : public ::testing::TestWithParam<TraceRow> {};

TEST_P(MacroParserTraceTable, WritesMessage) {
    dovtest::TempDir tmp;
    macrotest::ResetTrace();
    CMacroParser parser;
    parser.CheckAndSetString(Sj(GetParam().line));
    std::string trace = macrotest::ReadTraceUtf8();
    EXPECT_NE(trace.find(GetParam().expected), std::string::npos)
        << "line: " << GetParam().line << "\ntrace:\n"
        << trace;
}

// clang-format off
const TraceRow kTraceRows[] = {
    {"A B C(1)", "※　文法エラー。戻り値・関数名が無効。CheckGrammar()\n\tStr[ A B C(1) ]\n"},
    {"(1)", "※　文法エラー。関数名が見つからない。CheckGrammar()\n　Str[ (1) ]\n"},
    {"F\t(1)", "※　文法エラー。無効な文字が含まれています。CheckGrammar()\n\tStr[ F\t(1) ]\n"},
    {"note", "※　文法エラー。関数の括弧が見つからない。CheckGrammar()\n　Str[ note ]\n"},
    {R"x("F"(1))x", "※　文法エラー。関数の括弧が見つからない。CheckGrammar()\n　Str[ \"F\"(1) ]\n"},
    {"F(1", "※　文法エラー。閉じ括弧が見つからない。FindCloseParenthasis()\n"
            "※　文法エラー。閉じ括弧が見つからない。CheckGrammar()\n　Str[ F(1 ]\n"},
    {"F((1))", "※　文法エラー。閉じ括弧の前に開き括弧の2個目が存在。CheckGrammar()\n"
               "　Str[ F((1)) ]\n　OpenPos[1] OpenPos2[2] ClosePos[4]\n"},
    {"F()", "○カッコ内のデータ []\n※　引数が無効。CheckArgGrammar()\n"},
    {"F( )", "□CheckArgCluster()\n\t[ ]\n※　空白以外見つからない。CheckSpaceInArgCluster()\n"},
    {"F(1,,2)", "※　引数が無効。CheckArgCluster()\n"},
    {"F(1, x y)", "□CheckArgCluster()\n\t[ x y]\n"
                  "※　第一文字列の後に再び文字がひっとした。CheckSpaceInArgCluster()\n"},
    {"F(-1)", "※　引数部分に無効な文字。CheckArgCluster()\n"},
    {R"x(F("a" "b"))x", "※　引数部分での引用符数取得失敗、もしくは数が過多。CheckArgCluster()\n"
                      "\tResult[1], DblQtNum[4]\n"},
    {R"x(F("a"x))x", "※　引数部分に引用符以外の文字列がありました。CheckArgCluster()\n"},
    {"F(0x)", "○　引数は数値：[0x]\n※　16進指示が無いorデータ部分の過不足 CheckNumString()\n"
              "\tStr[0x]\n※　無効な数値です。: [0x]  CheckArgCluster()\n"},
    {"F(12A)", "\tStr[12a]\n※　無効な数値です。: [12a]  CheckArgCluster()\n"},
    {"F(4294967296)", "○　引数は数値：[4294967296]\n※　無効な数値です。: [4294967296]  CheckArgCluster()\n"},
    {"F(0X1F)", "○　引数は数値：[0X1F]\n○　文字列を数値に変換しました。[31] CheckArgCluster()\n"},
    {R"x(F("a\"b"))x", "○引数部分の文字列 [a\"b]\n"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Lines, MacroParserTraceTable, ::testing::ValuesIn(kTraceRows));

TEST(MacroParserTrace, EscapedQuotationMarkIsNotRecorded) {
    dovtest::TempDir tmp;
    macrotest::ResetTrace();
    CMacroParser parser;
    ASSERT_EQ(parser.CheckAndSetString(std::string(R"x(F("a\"b"))x")), 1);
    EXPECT_EQ(parser.m_nQuoteNum, 2u);
    EXPECT_EQ(parser.m_adwQuotePos, (std::vector<std::size_t>{2, 7}));
    std::string trace = macrotest::ReadTraceUtf8();
    EXPECT_NE(trace.find("Index[001] 位置[007]"), std::string::npos) << trace;
}

}  // namespace
