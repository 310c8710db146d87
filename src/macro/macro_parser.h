// The macro statement parser: one line of a macro file becomes a function name, an (ignored)
// return type and a list of typed arguments (numbers and strings).
//
// Grammar of a line:   [spaces] [RetType spaces] FuncName [spaces] "(" [args] ")" [anything]
// where a word is a run of A-Z a-z 0-9 _ ~, an argument is a number (decimal up to 4294967295,
// or 0x and 1 to 8 hex digits) or a quoted string ("\"" is the only escape), and the only white
// space is the space character. The parser knows nothing of the function table; it checks the
// grammar, converts the arguments and writes a trace line for every check.
//
// All texts are CP932 byte strings. Positions are byte offsets in the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dov {

// Type codes of a return value or an argument.
enum MacroType : std::uint8_t {
    MACRO_VOID = 0,
    MACRO_CHAR = 1,
    MACRO_BYTE = 2,
    MACRO_WORD = 3,
    MACRO_DWORD = 4,
    MACRO_INT = 5,
    MACRO_UINT = 6,
    MACRO_STRING = 7,
};

}  // namespace dov

// One parsed statement.
class CMacroStatement {
  public:
    std::string m_strFuncName;
    std::uint8_t m_byRetType = dov::MACRO_VOID;
    int m_nArgNum = 0;
    std::vector<std::string> m_astrArg;      // string content, or the folded number token
    std::vector<std::uint8_t> m_abyArgType;  // one type code per argument
    std::vector<std::uint32_t> m_adwArgNum;  // number value, 0 for a string
    std::string m_strSignature;              // one letter per argument (BuildSignature)

    // Empties everything: no name, no arguments, return type VOID, no signature.
    void Clear();
    // Copies name, return type and arguments (not the signature).
    void Copy(const CMacroStatement& other);
    // Appends one argument to the three arrays.
    void AddArg(std::string text, std::uint8_t type, std::uint32_t value);
    // Sets m_strSignature from the argument types (D for numbers, S for strings ...).
    const std::string& BuildSignature();

    // The name of a type code ("VOID", "DWORD", ... or "《 UNKOWN 》"), CP932.
    static const std::string& GetStrRetType(std::uint8_t code);
    // The signature letter of a type code.
    static char GetSignatureLetter(std::uint8_t code);

    // "/////////////////マクロ構文データ/////////////////" and the statement's lines.
    void TraceMacroData(const std::string& tracePath) const;
    // The return-type, name and argument lines shared by both dumps.
    void TraceBody(const std::string& tracePath) const;
};

class CMacroParser {
  public:
    // Trace lines go to tracePath; empty means DataTrace.txt in the program's own folder.
    explicit CMacroParser(std::string tracePath = {});

    // Resets the parser and its statement, stores the line and parses it. 1 when the grammar
    // is valid (the arguments before the first malformed one are kept), else 0. A null line
    // is refused with a trace line.
    int CheckAndSetString(const char* pLine);
    int CheckAndSetString(std::string_view line);

    CMacroStatement* GetStatement() { return &m_statement; }
    const CMacroStatement* GetStatement() const { return &m_statement; }

    // The parse dump: the line, then "失敗" or the statement.
    void TraceParseResult() const;

    const std::string& TracePath() const { return m_strTracePath; }

    // Folds letters to lower case in place and converts a number token. false (value 0) for
    // anything that is not a decimal number up to 4294967295 or "0x" with 1 to 8 hex digits.
    bool CheckNumString(std::string& token, std::uint32_t& value) const;

    // Replaces every backslash + quotation mark by a quotation mark (stepping over double-byte
    // characters, so a trail byte 0x5C escapes nothing).
    static std::string ConvEscSeqInArgStr(std::string_view text);

    // The name characters: A-Z a-z 0-9 _ ~.
    static bool IsNameChar(unsigned char c);

    // State of the last parse (kept public for the dumps and tests).
    bool m_bParsed = false;
    std::string m_strLine;
    std::vector<std::size_t> m_adwQuotePos;
    std::size_t m_nQuoteNum = 0;
    std::vector<std::size_t> m_adwCommaPos;
    std::size_t m_nCommaNum = 0;
    std::vector<std::string> m_astrWord;
    std::vector<std::size_t> m_adwWordLen;
    std::size_t m_nWordNum = 0;
    std::string m_strArgText;

  private:
    void Reset();
    bool CheckGrammar();
    void CheckDoubleQuotation();
    bool IsInQuotes(std::size_t pos) const;
    std::size_t QuotesBefore(std::size_t pos) const;
    // First unquoted c at or after from and before end; npos when none.
    std::size_t FindUnquoted(char c, std::size_t from, std::size_t end) const;
    bool FindInvalidChar(std::size_t end) const;
    bool FindRetAndFuncName(std::size_t end);
    void CheckArgGrammar(std::size_t begin, std::size_t end);
    void CheckConmaInArg(std::size_t begin, std::size_t end);
    bool CheckArgCluster(std::size_t begin, std::size_t end);
    bool FindInvalidCharInArg(std::size_t begin, std::size_t end) const;
    bool CheckSpaceInArgCluster(std::size_t begin, std::size_t end, std::string& token) const;
    bool CheckDblQtInArgCluster(std::size_t begin, std::size_t end, std::size_t q1,
                                std::size_t q2) const;

    std::string m_strTracePath;
    CMacroStatement m_statement;
};
