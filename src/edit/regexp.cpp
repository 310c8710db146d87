#include "edit/regexp.h"

#include <cstring>
#include <new>

#include "common/sjis.h"
#include "common/trace.h"

namespace {

bool IsDigitByte(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsAlphaByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Type of the class cluster "\x", or KEY_TEXT when x names no class.
unsigned char ClassType(char x) {
    switch (x) {
        case 'd':
            return CMyRegExp::KEY_DIGIT;
        case 'D':
            return CMyRegExp::KEY_NONDIGIT;
        case 'a':
            return CMyRegExp::KEY_ALPHA;
        case 'A':
            return CMyRegExp::KEY_NONALPHA;
        case 'n':
            return CMyRegExp::KEY_ALNUM;
        case 'N':
            return CMyRegExp::KEY_NONALNUM;
        default:
            return CMyRegExp::KEY_TEXT;
    }
}

}  // namespace

CMyRegExp::CMyRegExp(std::string tracePath) : m_strTracePath(std::move(tracePath)) {}

void CMyRegExp::Trace(const char* fmtUtf8, int a, int b, int c) {
    if (!dov::TraceEnabled()) return;
    if (m_strTracePath.empty()) m_strTracePath = dov::DefaultTracePath();
    dov::TraceF(m_strTracePath, fmtUtf8, a, b, c);
}

// ---- Target ---------------------------------------------------------------------------------

void CMyRegExp::PrepareTarget() {
    m_iTargetLen = static_cast<int>(m_strTarget.size());
    m_aCharStart.assign(m_strTarget.size() + 1, 0);
    std::size_t p = 0;
    while (p < m_strTarget.size()) {
        m_aCharStart[p] = 1;
        p += SjisCharLen(m_strTarget, p);
    }
    m_aCharStart[m_strTarget.size()] = 1;
}

bool CMyRegExp::IsCharStart(int p) const {
    return p >= 0 && static_cast<std::size_t>(p) < m_aCharStart.size() && m_aCharStart[p] != 0;
}

int CMyRegExp::NextCharStart(int p) const {
    if (p >= m_iTargetLen) return p + 1;
    return p + static_cast<int>(SjisCharLen(m_strTarget, static_cast<std::size_t>(p)));
}

// ---- Splitting the keyword ---------------------------------------------------------------

void CMyRegExp::ClearClusters() {
    m_bSplitValid = false;
    m_iClusterPos = 0;
    m_aClusterStart.clear();
    m_aClusterLen.clear();
    m_aClusterType.clear();
    m_aClusterStr.clear();
}

void CMyRegExp::AddCluster(int start, int len, unsigned char type, std::string text) {
    // A run of '*' acts as one '*': keep only the first of a run.
    if (type == KEY_ANY && m_iClusterPos > 0 && m_aClusterType.back() == KEY_ANY) return;
    m_aClusterStart.push_back(start);
    m_aClusterLen.push_back(len);
    m_aClusterType.push_back(type);
    m_aClusterStr.push_back(std::move(text));
    ++m_iClusterPos;
}

int CMyRegExp::GetKeyCluster(int iKeyPos, std::string* pStr, unsigned char* pType) {
    std::string& key = m_bSplitting ? m_strWorkKey : m_strKey;
    unsigned char dummyType = 0;
    if (!pType) pType = &dummyType;
    *pType = KEY_TEXT;
    if (!pStr) return -2;
    pStr->clear();
    if (iKeyPos < 0 || static_cast<std::size_t>(iKeyPos) >= key.size()) return -2;

    std::size_t p = static_cast<std::size_t>(iKeyPos);
    while (p < key.size()) {
        const std::size_t len = SjisCharLen(key, p);
        if (len > 1) {
            p += len;
            continue;
        }
        const char c = key[p];
        if (c == '*' || c == '?') {
            *pStr = std::string(1, c);
            *pType = c == '*' ? KEY_ANY : KEY_ONE;
            return static_cast<int>(p);
        }
        if (c == '\\') {
            if (p + 1 >= key.size()) {
                key.erase(p, 1);  // a lone backslash at the end is dropped
                break;
            }
            const unsigned char type = ClassType(key[p + 1]);
            if (type != KEY_TEXT) {
                *pStr = key.substr(p, 2);
                *pType = type;
                return static_cast<int>(p);
            }
            // An escape: the backslash goes, the character after it is ordinary text, and
            // the scan goes on right after that character.
            key.erase(p, 1);
            p += SjisCharLen(key, p);
            continue;
        }
        ++p;
    }
    *pStr = key.substr(static_cast<std::size_t>(iKeyPos));
    return -1;
}

int CMyRegExp::SplitKeyCode() {
    PrepareTarget();
    // Splitting depends on the keyword alone: the same keyword as last time gives the same
    // clusters (a run over many names searches with one keyword).
    if (m_bSplitValid && !m_strTarget.empty() && m_strKey == m_strSplitKey) return m_iClusterPos;
    ClearClusters();
    m_iKeyLen = static_cast<int>(m_strKey.size());
    if (m_strTarget.empty() || m_strKey.empty()) {
        Trace("※　文字列の長さが不正 SplitKeyCode()\n\t被検索文字列長= %d    キーワード長= %d\n",
              m_iTargetLen, m_iKeyLen);
        return 0;
    }
    try {
        m_strWorkKey = m_strKey;
        m_bSplitting = true;
        std::string text;
        unsigned char type = KEY_TEXT;
        int prevEnd = 0;
        int pos = GetKeyCluster(0, &text, &type);
        while (pos >= 0) {
            if (pos > prevEnd) {
                AddCluster(prevEnd, pos - prevEnd, KEY_TEXT,
                           m_strWorkKey.substr(static_cast<std::size_t>(prevEnd),
                                               static_cast<std::size_t>(pos - prevEnd)));
            }
            const int textLen = static_cast<int>(text.size());
            AddCluster(pos, textLen, type, text);
            prevEnd = pos + textLen;
            pos = GetKeyCluster(prevEnd, &text, &type);
        }
        m_bSplitting = false;
        // GetKeyCluster may have removed escapes behind the last special cluster.
        if (static_cast<std::size_t>(prevEnd) < m_strWorkKey.size()) {
            AddCluster(prevEnd, static_cast<int>(m_strWorkKey.size()) - prevEnd, KEY_TEXT,
                       m_strWorkKey.substr(static_cast<std::size_t>(prevEnd)));
        }
        m_iKeyLen = static_cast<int>(m_strWorkKey.size());
    } catch (const std::bad_alloc&) {
        m_bSplitting = false;
        // A keyword split only in part would search for something else than was asked:
        // rather no hit at all.
        ClearClusters();
        Trace("※　CMemoryExceptionError At SplitKeyCode()\n");
        return 0;
    }
    for (int i = 0; i < m_iClusterPos; ++i) {
        if (m_aClusterType[i] >= KEY_DIGIT) m_aClusterLen[i] = 1;
    }
    m_strSplitKey = m_strKey;
    m_bSplitValid = true;
    return m_iClusterPos;
}

// ---- Matching -------------------------------------------------------------------------------

int CMyRegExp::GetMinMatchLen(int iCluster) const {
    int sum = 0;
    for (int i = iCluster < 0 ? 0 : iCluster; i < m_iClusterPos; ++i) {
        if (m_aClusterType[i] == KEY_TEXT)
            sum += m_aClusterLen[i];
        else if (m_aClusterType[i] != KEY_ANY)
            sum += 1;
    }
    return sum;
}

bool CMyRegExp::AllAnyFrom(int iCluster) const {
    for (int i = iCluster; i < m_iClusterPos; ++i)
        if (m_aClusterType[i] != KEY_ANY) return false;
    return true;
}

int CMyRegExp::CheckKeyInTarget(int iPos, int* piCluster, int* piLen) {
    if (!piCluster || !piLen) {
        Trace("※　引数のポインタが無効です。 CheckKeyInTarget()\n");
        return -1;
    }
    *piLen = 0;
    const int i = *piCluster;
    if (i < 0 || i >= m_iClusterPos || iPos < 0) {
        Trace("※　引数が異常です。 CheckKeyInTarget()\n\tClusterPos[%d]/m_iClusterPos[%d]\n", i,
              m_iClusterPos);
        return -1;
    }
    if (!IsCharStart(iPos) && iPos < m_iTargetLen) return -1;

    if (iPos >= m_iTargetLen) {
        // Only a trailing '*' (or a run of them) matches nothing at the end.
        if (!AllAnyFrom(i)) return -1;
        *piCluster = m_iClusterPos - 1;
        return iPos;
    }

    const auto byteAt = static_cast<unsigned char>(m_strTarget[static_cast<std::size_t>(iPos)]);
    const bool single = SjisCharLen(m_strTarget, static_cast<std::size_t>(iPos)) == 1;
    switch (m_aClusterType[i]) {
        case KEY_TEXT: {
            const std::string& text = m_aClusterStr[i];
            const int len = static_cast<int>(text.size());
            if (len == 0 || iPos + len > m_iTargetLen) return -1;
            if (std::memcmp(m_strTarget.data() + iPos, text.data(), text.size()) != 0) return -1;
            if (!IsCharStart(iPos + len)) return -1;  // would end inside a character
            *piLen = len;
            return iPos;
        }
        case KEY_ONE:
            *piLen = NextCharStart(iPos) - iPos;
            return iPos;
        case KEY_DIGIT:
        case KEY_NONDIGIT:
        case KEY_ALPHA:
        case KEY_NONALPHA:
        case KEY_ALNUM:
        case KEY_NONALNUM: {
            if (!single) return -1;
            bool in = false;
            switch (m_aClusterType[i]) {
                case KEY_DIGIT:
                    in = IsDigitByte(byteAt);
                    break;
                case KEY_NONDIGIT:
                    in = !IsDigitByte(byteAt);
                    break;
                case KEY_ALPHA:
                    in = IsAlphaByte(byteAt);
                    break;
                case KEY_NONALPHA:
                    in = !IsAlphaByte(byteAt);
                    break;
                case KEY_ALNUM:
                    in = IsAlphaByte(byteAt) || IsDigitByte(byteAt);
                    break;
                default:
                    in = !IsAlphaByte(byteAt) && !IsDigitByte(byteAt);
                    break;
            }
            if (!in) return -1;
            *piLen = 1;
            return iPos;
        }
        case KEY_ANY: {
            int j = i + 1;
            while (j < m_iClusterPos && m_aClusterType[j] == KEY_ANY) ++j;
            if (j >= m_iClusterPos) {
                *piLen = m_iTargetLen - iPos;
                *piCluster = m_iClusterPos - 1;
                return iPos;
            }
            int restLen = 0;
            const int q = FindRestKey(iPos, j, &restLen);
            if (q < 0) {
                m_bRestFailed = true;
                return -1;
            }
            *piLen = q + restLen - iPos;
            *piCluster = m_iClusterPos - 1;
            return iPos;
        }
        default:
            return -1;
    }
}

int CMyRegExp::FindKeyInTarget(int iPos, int iCluster, int* piHitLen) {
    if (!piHitLen) {
        Trace("※　引数のポインタが無効。 FindKeyInTarget()\n");
        return -2;
    }
    *piHitLen = 0;
    if (iCluster < 0 || iCluster >= m_iClusterPos) {
        Trace(
            "※　キーワードの指定が無効。FindKeyInTarget()\n\tiCheckPos[%d] "
            "iClusterPos[%d]/iClusterNum[%d]\n",
            iPos, iCluster, m_iClusterPos);
        return -3;
    }
    int cur = iPos;
    int hitStart = -1;
    for (int k = iCluster; k < m_iClusterPos; ++k) {
        int len = 0;
        const int at = CheckKeyInTarget(cur, &k, &len);
        if (at < 0) return -1;
        if (hitStart < 0) hitStart = at;
        cur = at + len;
    }
    *piHitLen = cur - hitStart;
    return hitStart;
}

int CMyRegExp::FindKeyIntarget(int iPos, int* piHitLen) {
    if (!piHitLen) {
        Trace("※　引数のポインタが不正です。FindKeyIntarget()\n");
        return -2;
    }
    *piHitLen = 0;
    if (m_iClusterPos <= 0) return -1;
    return FindKeyInTarget(iPos, 0, piHitLen);
}

int CMyRegExp::FindRestKey(int iPos, int iCluster, int* piHitLen) {
    if (!piHitLen) return -1;
    *piHitLen = 0;
    if (iCluster < 0 || iCluster >= m_iClusterPos || iPos < 0) return -1;
    const int last = m_iTargetLen - GetMinMatchLen(iCluster);
    for (int q = iPos; q <= last; q = NextCharStart(q)) {
        if (!IsCharStart(q)) continue;
        m_bRestFailed = false;
        int len = 0;
        if (FindKeyInTarget(q, iCluster, &len) >= 0) {
            *piHitLen = len;
            return q;
        }
        // What follows an inner '*' matched nowhere after q: it will not after a later q.
        if (m_bRestFailed) return -1;
    }
    return -1;
}

int CMyRegExp::FindKeyFrom(int iStart, int* piHitLen) {
    int dummy = 0;
    if (!piHitLen) piHitLen = &dummy;
    *piHitLen = 0;
    try {
        if (SplitKeyCode() <= 0) return -1;
    } catch (const std::exception&) {
        // Out of memory while preparing the target: no hit.
        ClearClusters();
        return -1;
    }
    if (iStart < 0 || iStart > m_iTargetLen) return -1;
    const int last = m_iTargetLen - GetMinMatchLen(0);
    int s = iStart;
    while (s < m_iTargetLen && !IsCharStart(s)) ++s;
    for (; s <= last; s = NextCharStart(s)) {
        m_bRestFailed = false;
        int len = 0;
        const int at = FindKeyIntarget(s, &len);
        if (at >= 0) {
            *piHitLen = len;
            return at;
        }
        if (m_bRestFailed) break;
    }
    m_bRestFailed = false;
    return -1;
}

int CMyRegExp::FindKey(int* piHitLen) {
    return FindKeyFrom(0, piHitLen);
}

int CMyRegExp::Find(std::string_view target, std::string_view key, int iStart, int& iHitLen) {
    iHitLen = 0;
    try {
        m_strTarget.assign(target);
        m_strKey.assign(key);
    } catch (const std::exception&) {
        return -1;
    }
    return FindKeyFrom(iStart, &iHitLen);
}
