#include "edit/serial.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "common/codepage.h"
#include "common/sjis.h"
#include "common/trace.h"
#include "edit/name_edit.h"
#include "model/item.h"

namespace dov {

// ---- Settings ---------------------------------------------------------------------------

namespace {

constexpr SerialNameRecord Rec(const char* name, const char* value) {
    SerialNameRecord r{};
    for (int i = 0; name[i] && i < 49; ++i) r.szName[i] = name[i];
    for (int i = 0; value[i] && i < 49; ++i) r.szValue[i] = value[i];
    return r;
}

constexpr std::array<SerialNameRecord, kSerialNameNum> kTable = {
    Rec("POS_LEFT", "0"),      Rec("POS_RIGHT", "1"),    Rec("POS_PREEXT", "2"),
    Rec("POS_KEYLEFT", "3"),   Rec("POS_KEYRIGHT", "4"), Rec("POS_KEYBOUND", "5"),
    Rec("POS_KEYBOUND2", "6"), Rec("SEP_NONE", "0"),     Rec("SEP_LEFT", "1"),
    Rec("SEP_RIGHT", "2"),     Rec("SEP_BOTH", "3"),     Rec("DIGIT_AUTO", "0"),
    Rec("DIGIT_MANUAL", "1"),  Rec("UPDOWN_UP", "0"),    Rec("UPDOWN_DOWN", "1"),
    Rec("PRE_ZERO", "0"),      Rec("PRE_INDEX", "1"),    Rec("PRE_MANUAL", "2"),
    Rec("DELTA_ONE", "0"),     Rec("DELTA_MANUAL", "1"),
};

bool OutOf(int v, int lo, int hi) {
    return v < lo || v > hi;
}

long long Abs64(int v) {
    return v < 0 ? -static_cast<long long>(v) : v;
}

}  // namespace

const std::array<SerialNameRecord, kSerialNameNum>& SerialNameTable() {
    return kTable;
}

bool FindSerialName(std::string_view name, int* pValue) {
    for (const SerialNameRecord& r : kTable) {
        if (name == r.szName) {
            if (pValue) *pValue = ParseLeadingInt(r.szValue);
            return true;
        }
    }
    return false;
}

void ResetSerialSettingsRange(SerialSettings& s) {
    if (OutOf(s.InsertPosType, 0, 6)) s.InsertPosType = POS_LEFT;
    if (OutOf(s.SeparateType, 0, 3)) s.SeparateType = SEP_RIGHT;
    if (OutOf(s.UpDownType, 0, 1)) s.UpDownType = UPDOWN_UP;
    if (OutOf(s.DeltaType, 0, 1)) s.DeltaType = DELTA_ONE;
    if (Abs64(s.DeltaSize) > 1000000) s.DeltaSize = 1;
    if (OutOf(s.PresetType, 0, 2)) s.PresetType = PRE_ZERO;
    if (Abs64(s.PresetData) > 10000000) s.PresetData = 0;
    if (OutOf(s.DigitType, 0, 1)) s.DigitType = DIGIT_MANUAL;
    if (OutOf(s.DigitSize, 1, 8)) s.DigitSize = 3;
}

void PrepareSerialSimple(SerialSettings& s, bool bUp) {
    s.UpDownType = bUp ? UPDOWN_UP : UPDOWN_DOWN;
    s.PresetType = PRE_MANUAL;
}

SerialDialogEnables GetSerialDialogEnables(const SerialSettings& s) {
    SerialDialogEnables e;
    e.key1 = e.wildCard = s.InsertPosType >= POS_KEYLEFT && s.InsertPosType <= POS_KEYBOUND2;
    e.key2 = s.InsertPosType == POS_KEYBOUND || s.InsertPosType == POS_KEYBOUND2;
    e.sepLeft = s.SeparateType == SEP_LEFT || s.SeparateType == SEP_BOTH;
    e.sepRight = s.SeparateType == SEP_RIGHT || s.SeparateType == SEP_BOTH;
    e.delta = s.DeltaType == DELTA_MANUAL;
    e.preset = s.PresetType == PRE_MANUAL;
    e.digit = s.DigitType == DIGIT_MANUAL;
    return e;
}

int ParseLeadingInt(std::string_view text) {
    std::size_t p = 0;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
    bool neg = false;
    if (p < text.size() && (text[p] == '-' || text[p] == '+')) neg = text[p++] == '-';
    long long v = 0;
    for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
        v = v * 10 + (text[p] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
    }
    if (neg) v = -v;
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    return static_cast<int>(v);
}

// ---- Number texts -----------------------------------------------------------------------

void MakeDesignatedSizeNum(long long v, int w, std::string* pOut) {
    if (!pOut) return;
    pOut->clear();
    if (w < 0) return;
    if (w > kMaxSerialWidth) w = kMaxSerialWidth;
    std::string text = std::to_string(v);
    const std::size_t width = static_cast<std::size_t>(w);
    if (width == 0) {
        *pOut = std::move(text);
    } else if (width < text.size()) {
        *pOut = text.substr(text.size() - width);
    } else {
        *pOut = std::string(width - text.size(), '0') + text;
    }
}

void ApplyNumberSeparators(const SerialSettings& s, std::string* pOut, const std::string& num) {
    if (!pOut) return;
    switch (s.SeparateType) {
        case SEP_LEFT:
            *pOut = s.SeparateStrL + num;
            break;
        case SEP_RIGHT:
            *pOut = num + s.SeparateStrR;
            break;
        case SEP_BOTH:
            *pOut = s.SeparateStrL + num + s.SeparateStrR;
            break;
        default:
            *pOut = num;
            break;
    }
}

int GetPreExtPos(const std::string& name) {
    const int dot = FindLastCharDbcs(name, '.');
    if (dot <= 0) return -1;
    const int after = static_cast<int>(name.size()) - dot - 1;
    return after >= 1 && after <= 4 ? dot : -1;
}

std::string MakeSimpleSerialText(long long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%03lld", v);
    std::string text = buf;
    const bool neg = !text.empty() && text[0] == '-';
    std::string digits = neg ? text.substr(1) : text;
    if (digits.size() > 3) digits = digits.substr(digits.size() - 3);
    return neg ? "-" + digits : digits;
}

// ---- Insertion --------------------------------------------------------------------------

CSerialNumber::CSerialNumber(CMyRegExp& re, IHost& host, std::string tracePath)
    : m_re(re), m_host(host), m_strTracePath(std::move(tracePath)) {
    if (m_strTracePath.empty()) m_strTracePath = DefaultTracePath();
}

int CSerialNumber::Hit(const std::string& name, const std::string& key, int iStart, bool bWild,
                       int* piLen) {
    return FindKeyHit(m_re, name, key, iStart, bWild, piLen);
}

void CSerialNumber::Refresh(CMyItem* pItem) {
    pItem->UpdateWriteName();
    if (pItem->m_bIsFolder) m_host.TreeFolderChanged(pItem);
    m_host.ListRowChanged(pItem->m_iArrayIndex);
}

bool CSerialNumber::MakeSerialNumberByManual(const SerialSettings& s, std::string* pName,
                                             const std::string& text) {
    try {
        return InsertSerialText(s, pName, text);
    } catch (const std::exception&) {
        TraceF(m_strTracePath, "※　メモリ確保不能 CSerialNumber::MakeSerialNumberByManual()\n");
        return false;
    }
}

bool CSerialNumber::InsertSerialText(const SerialSettings& s, std::string* pName,
                                     const std::string& text) {
    if (!pName) {
        TraceF(m_strTracePath, "※　引数が無効　MakeSerialNumberByManual(%08X, %08X)\n", 0u,
               static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(&text) & 0xFFFFFFFFu));
        return false;
    }
    std::string& name = *pName;
    const bool wild = s.UseWildCard != 0;
    switch (s.InsertPosType) {
        case POS_LEFT:
            name.insert(0, text);
            return true;
        case POS_RIGHT:
            name += text;
            return true;
        case POS_PREEXT: {
            const int dot = GetPreExtPos(name);
            if (dot < 0) return false;
            name.insert(static_cast<std::size_t>(dot), text);
            return true;
        }
        case POS_KEYLEFT:
        case POS_KEYRIGHT: {
            int len = 0;
            const int pos = Hit(name, s.InsertPosKey1, 0, wild, &len);
            if (pos < 0) return false;
            if (s.InsertPosType == POS_KEYLEFT) {
                name.insert(static_cast<std::size_t>(pos), text);
                return true;
            }
            if (len <= 0) return false;
            name.insert(static_cast<std::size_t>(pos + len), text);
            return true;
        }
        case POS_KEYBOUND:
        case POS_KEYBOUND2:
            return ReplaceAtSerialMode(s, pName, text);
        default:
            TraceF(m_strTracePath,
                   "※　連番設定ダイアログの指定位置情報が無効。[%d] MakeSerialNumberByManual()\n",
                   s.InsertPosType);
            return false;
    }
}

bool CSerialNumber::ReplaceAtSerialMode(const SerialSettings& s, std::string* pName,
                                        const std::string& text) {
    if (!pName) {
        TraceF(m_strTracePath, "※　引数が無効。ReplaceAtSerialMode()\n\tpTarget[%08X] pStr[%08X]\n",
               0u, 1u);
        return false;
    }
    if (text.empty()) return false;
    const bool wild = s.UseWildCard != 0;
    const std::string& k1 = s.InsertPosKey1;
    const std::string& k2 = s.InsertPosKey2;
    if (k1.empty() && k2.empty()) return true;  // nothing to do, yet the number is used up
    if (k2.empty()) return ReplaceByRegExp(pName, k1, text, wild);
    if (k1.empty()) return ReplaceByRegExp(pName, k2, text, wild);
    return ReplaceBoundByRegExp(pName, k1, k2, text, wild, s.InsertPosType);
}

bool CSerialNumber::ReplaceBoundByRegExp(std::string* pName, const std::string& key1,
                                         const std::string& key2, const std::string& text,
                                         bool bWild, int iPosType) {
    if (!pName) return false;
    std::string& name = *pName;
    int len1 = 0, len2 = 0;
    const int p1 = Hit(name, key1, 0, bWild, &len1);
    if (p1 < 0 || len1 <= 0) return false;
    const int e1 = p1 + len1;
    const int p2 = Hit(name, key2, e1, bWild, &len2);
    if (p2 < 0 || len2 <= 0) return false;
    const int delPos = iPosType == POS_KEYBOUND2 ? p1 : e1;
    const int delSize = iPosType == POS_KEYBOUND2 ? p2 + len2 - p1 : p2 - e1;
    if (delSize < 0) {
        TraceF(m_strTracePath, "※　削除サイズが異常 DelSize[%d] ReplaceBoundByRegExp()\n", delSize);
        return false;
    }
    name.replace(static_cast<std::size_t>(delPos), static_cast<std::size_t>(delSize), text);
    return true;
}

bool CSerialNumber::ReplaceByRegExp(std::string* pName, const std::string& key,
                                    const std::string& text, bool bWild) {
    if (!pName) return false;
    int len = 0;
    const int pos = Hit(*pName, key, 0, bWild, &len);
    if (pos < 0 || len <= 0) return false;
    pName->replace(static_cast<std::size_t>(pos), static_cast<std::size_t>(len), text);
    return true;
}

// ---- Commands -----------------------------------------------------------------------------

int CSerialNumber::NumberBeforeExt(const std::vector<CMyItem*>& rows, long long v, int step,
                                   bool simple) {
    int changed = 0;
    try {
        for (CMyItem* pItem : rows) {
            if (!pItem) continue;
            std::string text;
            if (simple) {
                text = MakeSimpleSerialText(v);
            } else {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%03lld", v);
                text = buf;
            }
            const int dot = pItem->GetExtPos(1);
            if (dot >= 0)
                pItem->m_strNewName.insert(static_cast<std::size_t>(dot), text);
            else
                pItem->m_strNewName += text;
            Refresh(pItem);
            ++changed;
            v += step;
        }
    } catch (const std::exception&) {
        TraceF(m_strTracePath, "※　メモリ確保不能 CSerialNumber::NumberBeforeExt()\n");
    }
    return changed;
}

int CSerialNumber::SerialNumberQuick(int iCommand, const std::vector<CMyItem*>& rows) {
    long long n = 0;
    for (CMyItem* p : rows) n += p ? 1 : 0;
    switch (iCommand) {
        case 2041:
            return NumberBeforeExt(rows, 0, 1, false);
        case 2042:
            return NumberBeforeExt(rows, n - 1, -1, false);
        case 2043:
            return NumberBeforeExt(rows, 1, 1, false);
        case 2044:
            return NumberBeforeExt(rows, n, -1, false);
        default:
            return 0;
    }
}

int CSerialNumber::SerialNumberSimple(int iStart, bool bUp, const std::vector<CMyItem*>& rows) {
    return NumberBeforeExt(rows, iStart, bUp ? 1 : -1, true);
}

int CSerialNumber::SerialNumberByDetail(const SerialSettings& s,
                                        const std::vector<CMyItem*>& rows) {
    m_bStopped = false;
    const int w = s.DigitType == DIGIT_MANUAL ? s.DigitSize : 0;
    const long long d = s.DeltaType == DELTA_MANUAL ? s.DeltaSize : 1;
    long long v = 0;
    if (s.PresetType == PRE_INDEX) {
        for (CMyItem* p : rows) {
            if (p) {
                v = p->m_iKindIndex;
                break;
            }
        }
    } else if (s.PresetType == PRE_MANUAL) {
        v = s.PresetData;
    }
    int numbered = 0;
    try {
        for (CMyItem* pItem : rows) {
            if (m_host.StopRequested() || m_host.QuitRequested()) {
                m_bStopped = true;
                break;
            }
            if (!pItem) continue;
            std::string num, text;
            MakeDesignatedSizeNum(v, w, &num);
            ApplyNumberSeparators(s, &text, num);
            if (MakeSerialNumberByManual(s, &pItem->m_strNewName, text)) {
                ++numbered;
                v = s.UpDownType == UPDOWN_DOWN ? v - d : v + d;
            }
            Refresh(pItem);
        }
    } catch (const std::exception&) {
        TraceF(m_strTracePath, "※　メモリ確保不能 CSerialNumber::SerialNumberByDetail()\n");
    }
    return numbered;
}

int SwitchAutoIndexMode(CMyItem* pRoot, bool bAutoIndex, IHost& host) {
    if (!pRoot) {
        host.Message(Sj("自動連番スレッド:引数が無効なので終了"));
        return -1;
    }
    if ((pRoot->m_bNoAutoIndex != 0) == !bAutoIndex) return 0;
    pRoot->SetWriteMode(bAutoIndex);
    return 1;
}

}  // namespace dov
