// CMyRegExp: the keyword matcher used when wildcards are on.
//
// A small pattern matcher over CP932 byte strings. The keyword is split into clusters:
//
//   literal text            the same bytes (case-sensitive)
//   *                       any run of characters, also none
//   ?                       exactly one character (two bytes for a double-byte character)
//   \d \D                   one single-byte digit / one single-byte non-digit
//   \a \A                   one single-byte letter / one single-byte non-letter
//   \n \N                   one single-byte letter or digit / neither (\n is not a line break)
//   \x (any other byte x)   the character x as ordinary text; a backslash at the very end of
//                           the keyword is dropped
//
// Letters and digits are ASCII only; the classes never match a double-byte character, not even
// the negated ones.
//
// A caller puts the text to search into m_strTarget and the keyword into m_strKey, then asks
// FindKey / FindKeyFrom for the leftmost hit and its length (byte offset and byte count). Among
// hits at the same start a '*' in the middle takes as few bytes as it can and a trailing '*'
// takes the rest of the target. An empty keyword or an empty target never hits.
//
// Choices made here, on purpose:
//   - Hits never split a double-byte character. Start offsets advance by whole characters, a
//     '*' gives up whole characters, and every cluster (a one-byte literal included) matches
//     in place at a character boundary and must end on one. A hit starting on the trail byte of
//     a double-byte character would make every edit built on it cut a character in half.
//   - A one-byte literal is compared in place like a longer one: "?a" means one character and
//     then 'a', so it does not hit the whole of "xyza".
//   - After an escape the scan resumes directly after the escaped character (one or two
//     bytes), so only that character is made ordinary: "\**" is a literal '*' followed by a
//     wildcard, and "50\x*" is "50x" followed by anything.
//
// Searches run in time linear in target length times keyword length: once the part after a
// '*' fails to match from some position it cannot match from a later one, so neither the
// '*' nor the leftmost search backtracks past that point.
//
// One object holds the state of one search at a time; it must never be used from two threads
// at once.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CMyRegExp {
  public:
    // Cluster type codes.
    enum : unsigned char {
        KEY_TEXT = 0,
        KEY_ANY = 1,
        KEY_ONE = 2,
        KEY_DIGIT = 3,
        KEY_NONDIGIT = 4,
        KEY_ALPHA = 5,
        KEY_NONALPHA = 6,
        KEY_ALNUM = 7,
        KEY_NONALNUM = 8,
    };

    // tracePath: CP932 path of the trace file; empty means the program's DataTrace.txt.
    explicit CMyRegExp(std::string tracePath = {});
    virtual ~CMyRegExp() = default;

    // ---- Entry points ------------------------------------------------------------------

    // Leftmost hit at or after offset 0 (or iStart): its offset, and its length in *piHitLen;
    // -1 and length 0 when there is none (also for a start outside 0..target length).
    int FindKey(int* piHitLen);
    int FindKeyFrom(int iStart, int* piHitLen);

    // The same with the target and the keyword given here (they are stored in m_strTarget and
    // m_strKey).
    int Find(std::string_view target, std::string_view key, int iStart, int& iHitLen);

    // ---- Steps (public for the checker and for tests) -----------------------------------

    // Builds the cluster arrays from m_strKey and prepares m_strTarget; both entry points call
    // it before every search. Returns the number of clusters (0 when target or keyword empty).
    int SplitKeyCode();

    // Offset in the (escape-processed) keyword of the next special cluster at or after
    // iKeyPos, with its text and type; -1 (text = rest of the keyword, type KEY_TEXT) when none
    // follows; -2 (text empty) for an offset outside the keyword or a missing text argument.
    // Works on the keyword being split, so it is meaningful inside SplitKeyCode (and on
    // m_strKey when called before any split).
    int GetKeyCluster(int iKeyPos, std::string* pStr, unsigned char* pType);

    // A hit of all clusters that begins with cluster 0 at iPos: its offset, or -1; -2 when the
    // out argument is missing.
    int FindKeyIntarget(int iPos, int* piHitLen);
    // A hit of the clusters iCluster..last anchored at iPos: its offset, or -1; -3 when
    // iCluster is not a cluster index, -2 when the out argument is missing.
    int FindKeyInTarget(int iPos, int iCluster, int* piHitLen);
    // The leftmost offset at or after iPos where FindKeyInTarget(offset, iCluster) hits, or -1.
    int FindRestKey(int iPos, int iCluster, int* piHitLen);
    // Matches the one cluster *piCluster at iPos: the offset where its match begins, or -1.
    // A '*' followed by other clusters matches them too and moves *piCluster to the last one.
    int CheckKeyInTarget(int iPos, int* piCluster, int* piLen);
    // Fewest target bytes the clusters from iCluster on can match.
    int GetMinMatchLen(int iCluster) const;

    // ---- State -------------------------------------------------------------------------
    int m_iClusterPos = 0;  // clusters made by the last SplitKeyCode
    std::string m_strTarget;
    std::string m_strKey;
    std::vector<int> m_aClusterStart;  // offset of each cluster in the processed keyword
    std::vector<int> m_aClusterLen;    // byte length (1 for '*', '?' and the classes)
    std::vector<unsigned char> m_aClusterType;
    std::vector<std::string> m_aClusterStr;
    int m_iTargetLen = 0;
    int m_iKeyLen = 0;
    std::string m_strTracePath;

  private:
    bool IsCharStart(int p) const;
    int NextCharStart(int p) const;
    bool AllAnyFrom(int iCluster) const;
    void Trace(const char* fmtUtf8, int a = 0, int b = 0, int c = 0);
    void PrepareTarget();
    void ClearClusters();
    void AddCluster(int start, int len, unsigned char type, std::string text);

    std::string m_strWorkKey;                 // keyword being split, escapes removed
    bool m_bSplitting = false;                // GetKeyCluster works on m_strWorkKey
    std::vector<unsigned char> m_aCharStart;  // 1 where a character of the target starts
    bool m_bRestFailed = false;               // a '*' found no match for what follows it
    std::string m_strSplitKey;                // the keyword the clusters were made from
    bool m_bSplitValid = false;
};
