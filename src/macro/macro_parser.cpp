#include "macro/macro_parser.h"

#include <algorithm>
#include <new>
#include <string>

#include "common/codepage.h"
#include "common/sjis.h"
#include "common/trace.h"

namespace {

// The quotation-mark hit lines repeat the whole line, so a line with very many quotation marks
// would write a trace of (marks x line length) bytes. Hit lines stop once they have repeated
// this many bytes of the line; everything else about the line is traced as usual.
constexpr std::size_t kQuoteTraceBudget = 1 << 20;

// A statement's texts (the line, its argument part, each argument) are traced at most this
// long; a longer text is cut at a character boundary and the cut is said in the trace line.
constexpr std::size_t kTraceTextMax = 4096;

std::string TraceText(std::string_view s) {
    if (s.size() <= kTraceTextMax) return std::string(s);
    std::size_t p = 0;
    while (p < s.size()) {
        const std::size_t len = SjisCharLen(s, p);
        if (p + len > kTraceTextMax) break;
        p += len;
    }
    return std::string(s.substr(0, p)) + dov::Sj("…［以下 ") + std::to_string(s.size() - p) +
           dov::Sj(" バイト省略］");
}

bool IsAsciiLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsHexDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CMacroStatement

void CMacroStatement::Clear() {
    m_strFuncName.clear();
    m_byRetType = dov::MACRO_VOID;
    m_nArgNum = 0;
    m_astrArg.clear();
    m_abyArgType.clear();
    m_adwArgNum.clear();
    m_strSignature.clear();
}

void CMacroStatement::Copy(const CMacroStatement& other) {
    if (&other == this) return;
    m_strFuncName = other.m_strFuncName;
    m_byRetType = other.m_byRetType;
    m_nArgNum = other.m_nArgNum;
    m_astrArg = other.m_astrArg;
    m_abyArgType = other.m_abyArgType;
    m_adwArgNum = other.m_adwArgNum;
}

void CMacroStatement::AddArg(std::string text, std::uint8_t type, std::uint32_t value) {
    m_astrArg.push_back(std::move(text));
    m_abyArgType.push_back(type);
    m_adwArgNum.push_back(value);
    m_nArgNum = static_cast<int>(m_astrArg.size());
}

char CMacroStatement::GetSignatureLetter(std::uint8_t code) {
    switch (code) {
        case dov::MACRO_CHAR:
        case dov::MACRO_BYTE:
            return 'B';
        case dov::MACRO_WORD:
            return 'W';
        case dov::MACRO_DWORD:
        case dov::MACRO_INT:
        case dov::MACRO_UINT:
            return 'D';
        case dov::MACRO_STRING:
            return 'S';
        default:
            return 'V';
    }
}

const std::string& CMacroStatement::BuildSignature() {
    m_strSignature.clear();
    for (std::uint8_t t : m_abyArgType) m_strSignature.push_back(GetSignatureLetter(t));
    return m_strSignature;
}

const std::string& CMacroStatement::GetStrRetType(std::uint8_t code) {
    static const std::string kNames[] = {"VOID",  "CHAR", "BYTE", "WORD",
                                         "DWORD", "INT",  "UINT", "STRING"};
    if (code < sizeof(kNames) / sizeof(kNames[0])) return kNames[code];
    return dov::Sj("《 UNKOWN 》");
}

void CMacroStatement::TraceBody(const std::string& tracePath) const {
    dov::TraceF(tracePath, "【戻り値】%s\n", GetStrRetType(m_byRetType).c_str());
    dov::TraceF(tracePath, "【関数名】%s\n", TraceText(m_strFuncName).c_str());
    std::size_t n = std::min({static_cast<std::size_t>(std::max(m_nArgNum, 0)), m_astrArg.size(),
                              m_abyArgType.size(), m_adwArgNum.size()});
    for (std::size_t i = 0; i < n; ++i) {
        unsigned idx = static_cast<unsigned>(i);
        dov::TraceF(tracePath, "【引数型 %02u】%s\n", idx, GetStrRetType(m_abyArgType[i]).c_str());
        if (m_abyArgType[i] == dov::MACRO_STRING)
            dov::TraceF(tracePath, "【引数データ %02u】%s\n", idx, TraceText(m_astrArg[i]).c_str());
        else
            dov::TraceF(tracePath, "【引数データ %02u】%u\n", idx, m_adwArgNum[i]);
    }
}

void CMacroStatement::TraceMacroData(const std::string& tracePath) const {
    dov::TraceF(tracePath, "/////////////////マクロ構文データ/////////////////\n");
    TraceBody(tracePath);
}

// ---------------------------------------------------------------------------------------------
// CMacroParser

CMacroParser::CMacroParser(std::string tracePath)
    : m_strTracePath(tracePath.empty() ? dov::DefaultTracePath() : std::move(tracePath)) {}

bool CMacroParser::IsNameChar(unsigned char c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == '~';
}

void CMacroParser::Reset() {
    m_bParsed = false;
    m_strLine.clear();
    m_adwQuotePos.clear();
    m_nQuoteNum = 0;
    m_adwCommaPos.clear();
    m_nCommaNum = 0;
    m_astrWord.clear();
    m_adwWordLen.clear();
    m_nWordNum = 0;
    m_strArgText.clear();
    m_statement.Clear();
}

int CMacroParser::CheckAndSetString(const char* pLine) {
    if (!pLine) {
        Reset();
        dov::TraceF(m_strTracePath, "※　引数が無効。CheckAndSetString()\n");
        return 0;
    }
    return CheckAndSetString(std::string_view(pLine));
}

int CMacroParser::CheckAndSetString(std::string_view line) {
    try {
        Reset();
        m_strLine.assign(line.data(), line.size());
        m_bParsed = CheckGrammar();
    } catch (...) {
        // Out of memory on a monstrous line: the line is simply not run.
        m_bParsed = false;
    }
    return m_bParsed ? 1 : 0;
}

void CMacroParser::CheckDoubleQuotation() {
    // A quotation mark is escaped when the character before it is a single-byte backslash.
    // Walking whole characters keeps a double-byte character whose second byte is 0x5C (as in
    // "表" or "ソ") from escaping the mark that closes a string.
    const std::string_view s = m_strLine;
    std::size_t traced = 0;
    bool prevBackslash = false;
    for (std::size_t p = 0; p < s.size();) {
        std::size_t len = SjisCharLen(s, p);
        if (len == 1 && s[p] == '"' && !prevBackslash) {
            if (traced < kQuoteTraceBudget) {
                dov::TraceF(m_strTracePath, "・引用符ヒット。Index[%03u] 位置[%03u] [%s]\n",
                            static_cast<unsigned>(m_adwQuotePos.size()), static_cast<unsigned>(p),
                            m_strLine.c_str());
                traced += s.size() + 1;
            }
            m_adwQuotePos.push_back(p);
        }
        prevBackslash = (len == 1 && s[p] == '\\');
        p += len;
    }
    m_nQuoteNum = m_adwQuotePos.size();
}

std::size_t CMacroParser::QuotesBefore(std::size_t pos) const {
    return static_cast<std::size_t>(
        std::lower_bound(m_adwQuotePos.begin(), m_adwQuotePos.end(), pos) - m_adwQuotePos.begin());
}

bool CMacroParser::IsInQuotes(std::size_t pos) const {
    return (QuotesBefore(pos) & 1) != 0;
}

std::size_t CMacroParser::FindUnquoted(char c, std::size_t from, std::size_t end) const {
    end = std::min(end, m_strLine.size());
    while (from < end) {
        std::size_t p = m_strLine.find(c, from);
        if (p == std::string::npos || p >= end) return std::string::npos;
        if (!IsInQuotes(p)) return p;
        // Jump to the quotation mark that closes this string and go on after it.
        std::size_t k = QuotesBefore(p);
        if (k >= m_adwQuotePos.size()) return std::string::npos;
        from = m_adwQuotePos[k] + 1;
    }
    return std::string::npos;
}

bool CMacroParser::FindInvalidChar(std::size_t end) const {
    for (std::size_t p = 0; p < end; ++p) {
        unsigned char c = static_cast<unsigned char>(m_strLine[p]);
        if (!IsNameChar(c) && c != ' ') return true;
    }
    return false;
}

bool CMacroParser::FindRetAndFuncName(std::size_t end) {
    try {
        for (std::size_t p = 0; p < end;) {
            if (m_strLine[p] == ' ') {
                ++p;
                continue;
            }
            std::size_t q = p;
            while (q < end && m_strLine[q] != ' ') ++q;
            m_astrWord.push_back(m_strLine.substr(p, q - p));
            m_adwWordLen.push_back(q - p);
            p = q;
        }
    } catch (const std::bad_alloc&) {
        dov::TraceF(m_strTracePath, "※　バッファの確保に失敗。FindRetAndFuncName()\n");
        m_nWordNum = m_astrWord.size();
        return false;
    }
    m_nWordNum = m_astrWord.size();
    if (m_nWordNum == 1) {
        m_statement.m_strFuncName = m_astrWord[0];  // SetFuncName
        return true;
    }
    if (m_nWordNum == 2) {
        m_statement.m_byRetType = dov::MACRO_VOID;  // SetRetTypeStr: the word is not interpreted
        m_statement.m_strFuncName = m_astrWord[1];
        return true;
    }
    return false;
}

bool CMacroParser::CheckGrammar() {
    const std::string& s = m_strLine;
    const std::string shown = TraceText(s);
    const char* line = shown.c_str();
    CheckDoubleQuotation();

    // 1. The opening parenthesis, searched from just after the first letter.
    std::size_t from = 0;
    for (std::size_t p = 0; p < s.size(); ++p) {
        if (IsAsciiLetter(static_cast<unsigned char>(s[p]))) {
            from = p + 1;
            break;
        }
    }
    std::size_t open = FindUnquoted('(', from, s.size());

    // 2.
    if (open == std::string::npos || (!m_adwQuotePos.empty() && open >= m_adwQuotePos[0])) {
        dov::TraceF(m_strTracePath,
                    "※　文法エラー。関数の括弧が見つからない。CheckGrammar()\n　Str[ %s ]\n", line);
        return false;
    }
    // 3.
    if (open == 0) {
        dov::TraceF(m_strTracePath,
                    "※　文法エラー。関数名が見つからない。CheckGrammar()\n　Str[ %s ]\n", line);
        return false;
    }
    // 4.
    if (FindInvalidChar(open)) {
        dov::TraceF(m_strTracePath,
                    "※　文法エラー。無効な文字が含まれています。CheckGrammar()\n\tStr[ %s ]\n",
                    line);
        return false;
    }
    // 5.
    if (!FindRetAndFuncName(open)) {
        dov::TraceF(m_strTracePath,
                    "※　文法エラー。戻り値・関数名が無効。CheckGrammar()\n\tStr[ %s ]\n", line);
        return false;
    }
    // 6. FindCloseParenthasis
    std::size_t close = FindUnquoted(')', open + 1, s.size());
    if (close == std::string::npos) {
        dov::TraceF(m_strTracePath,
                    "※　文法エラー。閉じ括弧が見つからない。FindCloseParenthasis()\n");
        dov::TraceF(m_strTracePath,
                    "※　文法エラー。閉じ括弧が見つからない。CheckGrammar()\n　Str[ %s ]\n", line);
        return false;
    }
    // 7.
    std::size_t open2 = FindUnquoted('(', open + 1, close);
    if (open2 != std::string::npos) {
        dov::TraceF(m_strTracePath,
                    "※　文法エラー。閉じ括弧の前に開き括弧の2個目が存在。CheckGrammar()\n　Str[ "
                    "%s ]\n　OpenPos[%d] OpenPos2[%d] ClosePos[%d]\n",
                    line, static_cast<int>(open), static_cast<int>(open2), static_cast<int>(close));
        return false;
    }
    // 8.
    m_strArgText = s.substr(open + 1, close - open - 1);
    dov::TraceF(m_strTracePath, "○カッコ内のデータ [%s]\n", TraceText(m_strArgText).c_str());
    // 9. From here the grammar is valid whatever the arguments give.
    CheckArgGrammar(open + 1, close);
    return true;
}

void CMacroParser::CheckArgGrammar(std::size_t begin, std::size_t end) {
    if (begin >= end) {
        dov::TraceF(m_strTracePath, "※　引数が無効。CheckArgGrammar()\n");
        return;
    }
    CheckConmaInArg(begin, end);
    std::size_t start = begin;
    for (std::size_t i = 0; i <= m_adwCommaPos.size(); ++i) {
        std::size_t stop = i < m_adwCommaPos.size() ? m_adwCommaPos[i] : end;
        if (!CheckArgCluster(start, stop)) return;
        start = stop + 1;
    }
}

void CMacroParser::CheckConmaInArg(std::size_t begin, std::size_t end) {
    const std::string_view s = m_strLine;
    std::size_t k = QuotesBefore(begin);  // quotation marks before p, kept up to date
    for (std::size_t p = begin; p < end;) {
        while (k < m_adwQuotePos.size() && m_adwQuotePos[k] < p) ++k;
        std::size_t len = SjisCharLen(s, p);
        if (len == 1 && s[p] == ',' && (k & 1) == 0) m_adwCommaPos.push_back(p);
        p += len;
    }
    m_nCommaNum = m_adwCommaPos.size();
}

bool CMacroParser::FindInvalidCharInArg(std::size_t begin, std::size_t end) const {
    std::size_t k = QuotesBefore(begin);
    for (std::size_t p = begin; p < end; ++p) {
        while (k < m_adwQuotePos.size() && m_adwQuotePos[k] < p) ++k;
        if (k & 1) continue;  // inside quotes
        unsigned char c = static_cast<unsigned char>(m_strLine[p]);
        if (c == '"' || c == ' ' || IsNameChar(c)) continue;
        return true;
    }
    return false;
}

bool CMacroParser::CheckSpaceInArgCluster(std::size_t begin, std::size_t end,
                                          std::string& token) const {
    std::size_t p = begin;
    while (p < end && m_strLine[p] == ' ') ++p;
    if (p >= end) {
        dov::TraceF(m_strTracePath, "※　空白以外見つからない。CheckSpaceInArgCluster()\n");
        return false;
    }
    std::size_t q = p;
    while (q < end && m_strLine[q] != ' ') ++q;
    for (std::size_t r = q; r < end; ++r) {
        if (m_strLine[r] != ' ') {
            dov::TraceF(m_strTracePath,
                        "※　第一文字列の後に再び文字がひっとした。CheckSpaceInArgCluster()\n");
            return false;
        }
    }
    token = m_strLine.substr(p, q - p);
    return true;
}

bool CMacroParser::CheckDblQtInArgCluster(std::size_t begin, std::size_t end, std::size_t q1,
                                          std::size_t q2) const {
    for (std::size_t p = begin; p < q1; ++p)
        if (m_strLine[p] != ' ') return false;
    for (std::size_t p = q2 + 1; p < end; ++p)
        if (m_strLine[p] != ' ') return false;
    return true;
}

bool CMacroParser::CheckArgCluster(std::size_t begin, std::size_t end) {
    if (begin >= end) {
        dov::TraceF(m_strTracePath, "※　引数が無効。CheckArgCluster()\n");
        return false;
    }
    try {
        std::string text = m_strLine.substr(begin, end - begin);
        dov::TraceF(m_strTracePath, "□CheckArgCluster()\n\t[%s]\n", TraceText(text).c_str());

        if (FindInvalidCharInArg(begin, end)) {
            dov::TraceF(m_strTracePath, "※　引数部分に無効な文字。CheckArgCluster()\n");
            return false;
        }

        // CheckDblQtNumInArgCluster
        std::size_t first = QuotesBefore(begin);
        std::size_t num = QuotesBefore(end) - first;
        if (num > 2 || num == 1) {
            dov::TraceF(m_strTracePath,
                        "※　引数部分での引用符数取得失敗、もしくは数が過多。CheckArgCluster()\n\t"
                        "Result[%01X], DblQtNum[%d]\n",
                        1u, static_cast<int>(std::min<std::size_t>(num, 0x7fffffff)));
            return false;
        }

        if (num == 0) {
            std::string token;
            if (!CheckSpaceInArgCluster(begin, end, token)) return false;
            dov::TraceF(m_strTracePath, "○　引数は数値：[%s]\n", TraceText(token).c_str());
            std::uint32_t value = 0;
            if (!CheckNumString(token, value)) {
                dov::TraceF(m_strTracePath, "※　無効な数値です。: [%s]  CheckArgCluster()\n",
                            TraceText(token).c_str());
                return false;
            }
            dov::TraceF(m_strTracePath, "○　文字列を数値に変換しました。[%u] CheckArgCluster()\n",
                        value);
            m_statement.AddArg(std::move(token), dov::MACRO_DWORD, value);
            return true;
        }

        std::size_t q1 = m_adwQuotePos[first];
        std::size_t q2 = m_adwQuotePos[first + 1];
        if (!CheckDblQtInArgCluster(begin, end, q1, q2)) {
            dov::TraceF(m_strTracePath,
                        "※　引数部分に引用符以外の文字列がありました。CheckArgCluster()\n");
            return false;
        }
        std::string content =
            ConvEscSeqInArgStr(std::string_view(m_strLine).substr(q1 + 1, q2 - q1 - 1));
        dov::TraceF(m_strTracePath, "○引数部分の文字列 [%s]\n", TraceText(content).c_str());
        m_statement.AddArg(std::move(content), dov::MACRO_STRING, 0);
        return true;
    } catch (const std::bad_alloc&) {
        dov::TraceF(m_strTracePath, "※　バッファが確保できません。CheckArgCluster()\n");
        return false;
    }
}

bool CMacroParser::CheckNumString(std::string& token, std::uint32_t& value) const {
    value = 0;
    if (token.empty()) return false;
    bool hasLetter = false;
    for (char& ch : token) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (IsAsciiLetter(c)) {
            hasLetter = true;
            if (c >= 'A' && c <= 'Z') ch = static_cast<char>(c - 'A' + 'a');
        }
    }
    if (hasLetter) {
        if (token.size() < 3 || token.size() > 10 || token[0] != '0' || token[1] != 'x') {
            dov::TraceF(m_strTracePath,
                        "※　16進指示が無いorデータ部分の過不足 CheckNumString()\n\tStr[%s]\n",
                        token.c_str());
            return false;
        }
        std::uint32_t v = 0;
        for (std::size_t i = 2; i < token.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(token[i]);
            if (!IsHexDigit(c)) return false;
            v = v * 16 + HexValue(c);
        }
        value = v;
        return true;
    }
    if (token.size() >= 11) return false;
    if (token.size() == 10 && token.compare("4294967295") > 0) return false;
    std::uint64_t v = 0;
    for (char ch : token) {
        unsigned char c = static_cast<unsigned char>(ch);
        v = v * 10 + ((c >= '0' && c <= '9') ? c - '0' : 0);  // '_' and '~' count as 0
    }
    if (v > 0xFFFFFFFFull) return false;  // cannot happen after the comparison above
    value = static_cast<std::uint32_t>(v);
    return true;
}

std::string CMacroParser::ConvEscSeqInArgStr(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t p = 0; p < text.size();) {
        std::size_t len = SjisCharLen(text, p);
        if (len == 1 && text[p] == '\\' && p + 1 < text.size() && text[p + 1] == '"') {
            out.push_back('"');
            p += 2;
            continue;
        }
        out.append(text.substr(p, len));
        p += len;
    }
    return out;
}

void CMacroParser::TraceParseResult() const {
    dov::TraceF(m_strTracePath, "/////////////////構文解析結果/////////////////\n");
    if (m_strLine.empty()) {
        dov::TraceF(m_strTracePath, "※　文字列がセットされていません。");
        return;
    }
    dov::TraceF(m_strTracePath, "【解析文字列】%s\n【解析結果】\n", TraceText(m_strLine).c_str());
    if (!m_bParsed) {
        dov::TraceF(m_strTracePath, "失敗\n");
        return;
    }
    m_statement.TraceBody(m_strTracePath);
}
