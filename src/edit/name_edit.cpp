#include "edit/name_edit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/codepage.h"
#include "common/sjis.h"
#include "common/trace.h"
#include "model/item.h"

namespace dov {

namespace {

// Offset of the first character start at or after p (the length when p is past the end).
std::size_t AlignToChar(std::string_view s, std::size_t p) {
    std::size_t q = 0;
    while (q < p && q < s.size()) q += SjisCharLen(s, q);
    return q < s.size() ? q : s.size();
}

int PlainFind(const std::string& name, const std::string& key, int iStart, int* piLen) {
    if (iStart < 0 || static_cast<std::size_t>(iStart) > name.size()) return -1;
    const std::size_t klen = key.size();
    if (klen > name.size()) return -1;
    for (std::size_t p = AlignToChar(name, static_cast<std::size_t>(iStart));
         p + klen <= name.size(); p += SjisCharLen(name, p)) {
        if (std::memcmp(name.data() + p, key.data(), klen) != 0) continue;
        // The occurrence must end on a character boundary too.
        const std::size_t end = p + klen;
        if (end < name.size() && AlignToChar(name, end) != end) continue;
        *piLen = static_cast<int>(klen);
        return static_cast<int>(p);
    }
    return -1;
}

}  // namespace

int FindKeyHit(CMyRegExp& re, const std::string& name, const std::string& key, int iStart,
               bool bWild, int* piLen) {
    int dummy = 0;
    if (!piLen) piLen = &dummy;
    *piLen = 0;
    if (key.empty() || name.empty()) return -1;
    if (bWild) {
        const int pos = re.Find(name, key, iStart, *piLen);  // catches its own failures
        if (pos < 0) *piLen = 0;
        return pos;
    }
    return PlainFind(name, key, iStart, piLen);  // allocates nothing
}

std::vector<CMyItem*> FolderRows(const CMyItem* pFolder) {
    std::vector<CMyItem*> rows;
    if (!pFolder || !pFolder->m_bIsFolder) return rows;
    const int num = static_cast<int>(pFolder->m_dwNumInFolder);
    rows.reserve(static_cast<std::size_t>(num));
    for (int i = 0; i < num; ++i) rows.push_back(pFolder->GetSubItem(i));
    return rows;
}

std::vector<CMyItem*> SelectedRows(const CMyItem* pFolder, const std::vector<int>& positions) {
    std::vector<CMyItem*> rows;
    if (!pFolder || !pFolder->m_bIsFolder) return rows;
    const int num = static_cast<int>(pFolder->m_dwNumInFolder);
    for (int pos : positions) {
        if (pos >= 0 && pos < num) rows.push_back(pFolder->GetSubItem(pos));
    }
    return rows;
}

std::vector<CMyItem*> SelectedRows(const CMyItem* pFolder, const std::vector<bool>& selected) {
    std::vector<CMyItem*> rows;
    if (!pFolder || !pFolder->m_bIsFolder) return rows;
    const int num = static_cast<int>(pFolder->m_dwNumInFolder);
    for (int i = 0; i < num && static_cast<std::size_t>(i) < selected.size(); ++i) {
        if (selected[static_cast<std::size_t>(i)]) rows.push_back(pFolder->GetSubItem(i));
    }
    return rows;
}

bool CheckKeyWordInput(int iFieldNum, const std::string& key1, const std::string& key2,
                       IHost* pHost) {
    const bool ok = iFieldNum <= 1 ? !key1.empty() : !(key1.empty() && key2.empty());
    if (!ok && pHost) pHost->Message(Sj("キーワードサイズが無効です"));
    return ok;
}

CNameEdit::CNameEdit(CMyRegExp& re, IHost& host, const KeyWordSettings& keys, std::string tracePath)
    : m_re(re), m_host(host), m_keys(keys), m_strTracePath(std::move(tracePath)) {
    if (m_strTracePath.empty()) m_strTracePath = DefaultTracePath();
}

std::string CNameEdit::PtrText(const void* p) const {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%08X",
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(p) & 0xFFFFFFFFu));
    return buf;
}

int CNameEdit::Hit(const std::string& name, const std::string& key, int iStart, bool bWild,
                   int* piLen) {
    return FindKeyHit(m_re, name, key, iStart, bWild, piLen);
}

template <class Fn>
int CNameEdit::Guarded(const char* where, Fn fn) {
    try {
        return fn();
    } catch (const std::exception&) {
        // Out of memory inside an edit: the name keeps what it had got so far.
        TraceF(m_strTracePath, "※　メモリ確保不能 CNameEdit::%s()\n", where);
        return -1;
    }
}

bool CNameEdit::Stop() {
    // Closing the window ends an edit as STOP does: nothing of it is kept anyway.
    if (!m_bStopped && (m_host.StopRequested() || m_host.QuitRequested())) m_bStopped = true;
    return m_bStopped;
}

void CNameEdit::RefreshItem(CMyItem* pItem) {
    if (!pItem) return;
    pItem->UpdateWriteName();
    if (pItem->m_bIsFolder) m_host.TreeFolderChanged(pItem);
}

// Runs op on the item, then, for a folder with the into-folders setting, on every item inside
// it, depth first in array order (also when the folder's own name did not change).
template <class Op>
int CNameEdit::WithDescent(CMyItem* pItem, Op op) {
    const int result = Guarded("WithDescent", [&] { return op(pItem); });
    if (result < 0 || !pItem->m_bIsFolder || !m_keys.EffectSubItem) return result;
    const int num = static_cast<int>(pItem->m_dwNumInFolder);
    for (int i = 0; i < num; ++i) {
        if (Stop()) return -1;
        CMyItem* pSub = pItem->GetSubItem(i);
        if (pSub && WithDescent(pSub, op) < 0 && m_bStopped) return -1;
    }
    return result;
}

// ---- Extension --------------------------------------------------------------------------

int CNameEdit::CutItemExtension(CMyItem* pItem) {
    return Guarded("CutItemExtension", [&]() -> int {
        if (!pItem) return -1;
        const std::string before = pItem->m_strNewName;
        pItem->CutExtension();
        if (pItem->m_strNewName == before) return 0;
        RefreshItem(pItem);
        return 1;
    });
}

int CNameEdit::RestoreItemExtension(CMyItem* pItem) {
    return Guarded("RestoreItemExtension", [&]() -> int {
        if (!pItem) return -1;
        if (pItem->m_strOrgExt.empty()) return 0;
        pItem->m_strNewName += '.';
        pItem->m_strNewName += pItem->m_strOrgExt;
        RefreshItem(pItem);
        return 1;
    });
}

// ---- Cut ---------------------------------------------------------------------------------

int CNameEdit::StrCutLeft(CMyItem* pItem, const std::string& key, bool bWild) {
    if (!pItem) {
        TraceF(m_strTracePath, "※　引数が無効です。StrCutLeft()\n");
        TraceF(m_strTracePath, "　　pItem[%s] pStrKey[%s]\n", PtrText(pItem).c_str(),
               PtrText(&key).c_str());
        return -1;
    }
    return WithDescent(pItem, [&](CMyItem* it) {
        int len = 0;
        const int pos = Hit(it->m_strNewName, key, 0, bWild, &len);
        if (pos <= 0) return 0;
        it->m_strNewName.erase(0, static_cast<std::size_t>(pos));
        RefreshItem(it);
        return 1;
    });
}

int CNameEdit::StrCutRight(CMyItem* pItem, const std::string& key, bool bWild) {
    if (!pItem) return -1;
    return WithDescent(pItem, [&](CMyItem* it) {
        int len = 0;
        const int pos = Hit(it->m_strNewName, key, 0, bWild, &len);
        if (pos < 0) return 0;
        const int delPos = pos + len;
        const int delSize = static_cast<int>(it->m_strNewName.size()) - delPos;
        if (delPos < 0 || delSize < 0) {
            TraceF(m_strTracePath,
                   "※　削除位置が異常。StrCutRight()\n　iHitPos[%d], iHitLen[%d], "
                   "iDelPos[%d], iDelSize[%d]\n",
                   pos, len, delPos, delSize);
            return -1;
        }
        if (delSize == 0) return 0;
        it->m_strNewName.erase(static_cast<std::size_t>(delPos));
        RefreshItem(it);
        return 1;
    });
}

template <class Pass>
int CNameEdit::RepeatOnName(CMyItem* it, Pass pass) {
    int changed = 0;
    for (;;) {
        const int r = pass(it->m_strNewName);
        if (r < 0) break;
        if (r > 0) changed = 1;
        if (!m_keys.EnableAllTarget) break;
        if (Stop()) {
            if (changed) RefreshItem(it);
            return -1;
        }
    }
    if (changed) RefreshItem(it);
    return changed;
}

int CNameEdit::StrCutKey(CMyItem* pItem, const std::string& key, bool bWild) {
    if (!pItem) return -1;
    return WithDescent(pItem, [&](CMyItem* it) {
        // Every pass deletes at least one byte, so the loop ends with the name at the latest.
        return RepeatOnName(it, [&](std::string& name) {
            int len = 0;
            const int pos = Hit(name, key, 0, bWild, &len);
            if (pos < 0 || len <= 0) return -1;
            name.erase(static_cast<std::size_t>(pos), static_cast<std::size_t>(len));
            return 1;
        });
    });
}

int CNameEdit::CutItemStrKeyBound1(CMyItem* pItem, const std::string& key1, const std::string& key2,
                                   bool bWild) {
    return CutKeyBound(pItem, key1, key2, bWild, false);
}

int CNameEdit::CutItemStrKeyBound2(CMyItem* pItem, const std::string& key1, const std::string& key2,
                                   bool bWild) {
    return CutKeyBound(pItem, key1, key2, bWild, true);
}

// Deletes what stands between a keyword-1 hit and the keyword-2 hit after it; bWithKeys: the
// keywords go too.
int CNameEdit::CutKeyBound(CMyItem* pItem, const std::string& key1, const std::string& key2,
                           bool bWild, bool bWithKeys) {
    if (!pItem) {
        TraceF(m_strTracePath, "※　引数が無効です。%s()\n",
               bWithKeys ? "CutItemStrKeyBound2" : "CutItemStrKeyBound1");
        TraceF(m_strTracePath, "　　pItem[%s] pStrKey1[%s] pStrKey2[%s]\n", PtrText(pItem).c_str(),
               PtrText(&key1).c_str(), PtrText(&key2).c_str());
        return -1;
    }
    return WithDescent(pItem, [&](CMyItem* it) {
        // Without the keywords, the search start moves past the keyword-1 hit on every pass and
        // nothing before it changes, so the loop ends after at most one pass per byte. With
        // them, each pass searches from the start again (so pairs that form across a deletion
        // are found too) and ends the loop as soon as it deletes nothing: either the span is
        // empty or it would take the whole name. Every other pass shortens the name.
        int c = 0;
        return RepeatOnName(it, [&](std::string& name) {
            int len1 = 0, len2 = 0;
            const int p1 = Hit(name, key1, c, bWild, &len1);
            if (p1 < 0) return -1;
            const int e1 = p1 + len1;
            const int p2 = Hit(name, key2, e1, bWild, &len2);
            if (p2 < 0) return -1;
            if (bWithKeys) {
                const int span = p2 + len2 - p1;
                if (span <= 0 || span >= static_cast<int>(name.size())) return -1;
                name.erase(static_cast<std::size_t>(p1), static_cast<std::size_t>(span));
                return 1;
            }
            c = p1 + 1;
            if (p2 <= e1) return 0;
            name.erase(static_cast<std::size_t>(e1), static_cast<std::size_t>(p2 - e1));
            return 1;
        });
    });
}

// ---- Paste -------------------------------------------------------------------------------

int CNameEdit::PasteItemStrLeft(CMyItem* pItem, const std::string& text) {
    if (!pItem) {
        TraceF(m_strTracePath, "※　引数が無効です。PasteItemStrLeft()\n");
        TraceF(m_strTracePath, "　　pItem[%s]\n", PtrText(pItem).c_str());
        return -1;
    }
    return WithDescent(pItem, [&](CMyItem* it) {
        if (text.empty()) return 0;
        it->m_strNewName.insert(0, text);
        RefreshItem(it);
        return 1;
    });
}

int CNameEdit::PasteItemStrRight(CMyItem* pItem, const std::string& text) {
    if (!pItem) return -1;
    return WithDescent(pItem, [&](CMyItem* it) {
        if (text.empty()) return 0;
        const int dot = it->GetExtPos(1);  // a dot at offset 0 counts here
        if (dot >= 0)
            it->m_strNewName.insert(static_cast<std::size_t>(dot), text);
        else
            it->m_strNewName += text;
        RefreshItem(it);
        return 1;
    });
}

std::string NameWithInfo(const CMyItem* pItem, const std::string& text, InfoPlace where) {
    std::string name = pItem->m_strNewName;
    const int dot = pItem->GetExtPos(1);
    const std::size_t stemEnd = dot >= 0 ? static_cast<std::size_t>(dot) : name.size();
    switch (where) {
        case InfoPlace::Left:
            name.insert(0, text);
            break;
        case InfoPlace::Right:
            name.insert(stemEnd, text);
            break;
        case InfoPlace::Whole:
            if (!text.empty()) name.replace(0, stemEnd, text);
            break;
    }
    return name;
}

InfoSource InfoSourceOf(const CMyItem* pItem, InfoCache& cache, unsigned kinds,
                        const std::function<bool()>& stop) {
    InfoSource src;
    if (!pItem) return src;
    const bool onDisk = !pItem->m_bUserMakeFold && !pItem->m_strOrgPath.empty();
    if (onDisk) {
        src.hasMtime = true;
        src.mtime = pItem->m_status.m_mtime;
    }
    const std::string& parent = pItem->m_strParentPath;
    const int slash = FindLastCharDbcs(parent, '/');
    src.parent = parent.substr(static_cast<std::size_t>(slash + 1));
    if (kinds && onDisk && !pItem->m_bIsFolder)
        src.file = &cache.Get(pItem->m_strOrgPath, pItem->m_status.size64, pItem->m_status.m_mtime,
                              kinds, stop);
    return src;
}

int CNameEdit::PasteItemInfo(CMyItem* pItem, const InfoTemplate& tmpl, InfoPlace where,
                             InfoCache& cache, int* pNoInfo) {
    if (!pItem) return -1;
    return WithDescent(pItem, [&](CMyItem* it) {
        const InfoSource src = InfoSourceOf(it, cache, tmpl.Kinds(), [&] { return Stop(); });
        if (m_bStopped) return -1;
        const InfoTemplate::Expansion e = tmpl.Expand(src);
        if (!e.complete && pNoInfo) ++*pNoInfo;
        std::string name = NameWithInfo(it, e.text, where);
        if (name == it->m_strNewName) return 0;
        it->m_strNewName = std::move(name);
        RefreshItem(it);
        return 1;
    });
}

EditRunResult CNameEdit::RunInfoPaste(const InfoTemplate& tmpl, InfoPlace where, InfoCache& cache,
                                      const std::vector<CMyItem*>& rows) {
    EditRunResult r;
    m_bStopped = false;
    const long long total = static_cast<long long>(rows.size());
    for (CMyItem* pItem : rows) {
        if (Stop()) break;
        const int res = PasteItemInfo(pItem, tmpl, where, cache, &r.iNoInfo);
        ++r.iRows;
        if (res > 0) ++r.iChanged;
        if (res < 0 && !m_bStopped) ++r.iFailed;
        if (pItem) m_host.ListRowChanged(pItem->m_iArrayIndex);
        m_host.Progress(r.iRows, total);
        if (m_bStopped) break;
    }
    r.bStopped = m_bStopped;
    return r;
}

namespace {

// Offsets where a keyword hits (its start, or with bAtEnd its end), left to right, without
// overlaps; only the first unless bAll. An empty hit ends the collection and is not used.
// Each search starts at the end of the previous (non-empty) hit, so the collection ends.
template <class HitFn, class StopFn>
std::vector<int> CollectHits(const std::string& name, bool bAll, bool bAtEnd, HitFn hit,
                             StopFn stop, bool* pStopped) {
    std::vector<int> offsets;
    int start = 0;
    for (;;) {
        int len = 0;
        const int pos = hit(name, start, &len);
        if (pos < 0 || len <= 0) break;
        offsets.push_back(bAtEnd ? pos + len : pos);
        if (!bAll) break;
        start = pos + len;
        if (stop()) {
            *pStopped = true;
            break;
        }
    }
    return offsets;
}

}  // namespace

// Inserts text at every keyword hit (its start, or with bAtEnd its end) of the item's new name,
// right to left so that the offsets stay valid, with the descent into folders.
int CNameEdit::PasteAtKeyHits(CMyItem* pItem, const std::string& key, const std::string& text,
                              bool bWild, bool bAtEnd) {
    return WithDescent(pItem, [&](CMyItem* it) {
        bool stopped = false;
        const std::vector<int> offsets = CollectHits(
            it->m_strNewName, m_keys.EnableAllTarget != 0, bAtEnd,
            [&](const std::string& n, int s, int* l) { return Hit(n, key, s, bWild, l); },
            [&] { return Stop(); }, &stopped);
        int changed = 0;
        if (!text.empty()) {
            for (auto o = offsets.rbegin(); o != offsets.rend(); ++o) {
                it->m_strNewName.insert(static_cast<std::size_t>(*o), text);
                changed = 1;
            }
        }
        if (changed) RefreshItem(it);
        return stopped ? -1 : changed;
    });
}

int CNameEdit::PasteItemStrKeyLeft(CMyItem* pItem, const std::string& key, const std::string& text,
                                   bool bWild) {
    if (!pItem) {
        TraceF(m_strTracePath, "※　引数が無効です PasteItemStrKeyLeft()\n");
        TraceF(m_strTracePath, "　　pItem[%s]\n", PtrText(pItem).c_str());
        return -1;
    }
    return PasteAtKeyHits(pItem, key, text, bWild, false);
}

int CNameEdit::PasteItemStrKeyRight(CMyItem* pItem, const std::string& key, const std::string& text,
                                    bool bWild) {
    if (!pItem) {
        TraceF(m_strTracePath, "※　引数が無効です。PasteItemStrKeyRight()\n");
        TraceF(m_strTracePath, "　　pItem[%s]\n", PtrText(pItem).c_str());
        return -1;
    }
    return PasteAtKeyHits(pItem, key, text, bWild, true);
}

// ---- Replace and reset ------------------------------------------------------------------

int CNameEdit::ReplaceItemStrByRegExp(CMyItem* pItem, const std::string& key,
                                      const std::string& replacement, bool bWild) {
    if (!pItem) {
        TraceF(m_strTracePath, "※　引数が無効です。ReplaceItemStrByRegExp()\n");
        TraceF(m_strTracePath, "　　pItem[%s]\n", PtrText(pItem).c_str());
        return -1;
    }
    return WithDescent(pItem, [&](CMyItem* it) {
        std::string& name = it->m_strNewName;
        const std::string before = name;
        int c = 0;
        // The next search starts right after the text just inserted: the replacement is never
        // searched again, and (name length - search start) drops on every pass.
        for (;;) {
            int len = 0;
            const int pos = Hit(name, key, c, bWild, &len);
            if (pos < 0 || len <= 0) break;
            name.replace(static_cast<std::size_t>(pos), static_cast<std::size_t>(len), replacement);
            if (!m_keys.EnableAllTarget) break;
            c = pos + static_cast<int>(replacement.size());
            if (Stop()) {
                RefreshItem(it);
                return -1;
            }
        }
        if (name == before) return 0;
        RefreshItem(it);
        return 1;
    });
}

int CNameEdit::ResetItemName(CMyItem* pItem) {
    if (!pItem) {
        TraceF(m_strTracePath, "※　引数が無効です。ResetItemName()\n");
        TraceF(m_strTracePath, "　　pItem[%s]\n", PtrText(pItem).c_str());
        return -1;
    }
    return WithDescent(pItem, [&](CMyItem* it) {
        if (it->m_strNewName == it->m_strOrgName) return 0;
        it->m_strNewName = it->m_strOrgName;
        RefreshItem(it);
        return 1;
    });
}

int CNameEdit::RegexReplaceItem(CMyItem* pItem, const CRegexReplace& re) {
    if (!pItem) return -1;
    return WithDescent(pItem, [&](CMyItem* it) {
        switch (re.Replace(it->m_strNewName)) {
            case CRegexReplace::Changed:
                RefreshItem(it);
                return 1;
            case CRegexReplace::Unchanged:
                return 0;
            default:
                return -1;
        }
    });
}

int CNameEdit::ConvertItemCharType(CMyItem* pItem, CharConv kind) {
    if (!pItem) return -1;
    return WithDescent(pItem, [&](CMyItem* it) {
        auto out = ConvertCharType(it->m_strNewName, kind);
        if (!out) return -1;
        if (*out == it->m_strNewName) return 0;
        it->m_strNewName = std::move(*out);
        RefreshItem(it);
        return 1;
    });
}

// ---- Macro-only cuts --------------------------------------------------------------------

int CNameEdit::CutItemStrFromLeft(CMyItem* pItem, const std::string& key, bool bWild) {
    return Guarded("CutItemStrFromLeft", [&]() -> int {
        if (!pItem) {
            TraceF(m_strTracePath, "※　引数が無効。CutItemStrFromLeft()\n");
            return -1;
        }
        std::string& name = pItem->m_strNewName;
        int p = 0;
        for (;;) {
            int len = 0;
            const int pos = Hit(name, key, p, bWild, &len);
            if (pos != p || len <= 0) break;
            p += len;
        }
        const int strLen = static_cast<int>(name.size());
        if (p > strLen) {
            TraceF(m_strTracePath,
                   "※　削除かサイズが文字列サイズを超えています。CutItemStrFromLeft()\n\tDeleteLen["
                   "%d], "
                   "iStrLen[%d]\n",
                   p, strLen);
            return -1;
        }
        if (p == 0) return 0;
        name.erase(0, static_cast<std::size_t>(p));
        RefreshItem(pItem);
        return 1;
    });
}

int CNameEdit::CutItemStrFromRight(CMyItem* pItem, const std::string& key, bool bWild, bool bExt) {
    return Guarded("CutItemStrFromRight", [&]() -> int {
        if (!pItem) {
            TraceF(m_strTracePath, "※　引数が無効。CutItemStrFromRight()\n");
            return -1;
        }
        std::string& name = pItem->m_strNewName;
        std::vector<std::pair<int, int>> hits;
        int start = 0;
        for (;;) {
            int len = 0;
            const int pos = Hit(name, key, start, bWild, &len);
            if (pos < 0 || len <= 0) break;
            hits.emplace_back(pos, len);
            start = pos + len;
        }
        int end = static_cast<int>(name.size());
        if (bExt) {
            const int dot = pItem->GetExtPos(1);
            if (dot >= 0) end = dot;
        }
        int changed = 0;
        for (auto h = hits.rbegin(); h != hits.rend(); ++h) {
            if (h->first + h->second != end) break;
            name.erase(static_cast<std::size_t>(h->first), static_cast<std::size_t>(h->second));
            end = h->first;
            changed = 1;
        }
        if (changed) RefreshItem(pItem);
        return changed;
    });
}

// ---- Command loops ----------------------------------------------------------------------

EditRunResult CNameEdit::RunEditCommand(int iOpCode, const std::vector<CMyItem*>& rows) {
    if (iOpCode == EDIT_REPLACE && m_keys.UseRegExp)
        return RegexReplaceCommand(m_keys.Key1, m_keys.Key2, m_keys.EnableAllTarget != 0, false,
                                   rows);
    EditRunResult r;
    m_bStopped = false;
    const bool wild = m_keys.UseWildCard != 0;
    const std::string& k1 = m_keys.Key1;
    const std::string& k2 = m_keys.Key2;
    for (CMyItem* pItem : rows) {
        if (Stop()) {
            r.bStopped = true;
            break;
        }
        int res = 0;
        switch (iOpCode) {
            case EDIT_CUT_LEFT:
                res = StrCutLeft(pItem, k1, wild);
                break;
            case EDIT_CUT_RIGHT:
                res = StrCutRight(pItem, k1, wild);
                break;
            case EDIT_CUT_KEY:
                res = StrCutKey(pItem, k1, wild);
                break;
            case EDIT_CUT_BOUND1:
                res = CutItemStrKeyBound1(pItem, k1, k2, wild);
                break;
            case EDIT_CUT_BOUND2:
                res = CutItemStrKeyBound2(pItem, k1, k2, wild);
                break;
            case EDIT_PASTE_LEFT:
                res = PasteItemStrLeft(pItem, k1);
                break;
            case EDIT_PASTE_RIGHT:
                res = PasteItemStrRight(pItem, k1);
                break;
            case EDIT_PASTE_KEY_LEFT:
                res = PasteItemStrKeyLeft(pItem, k1, k2, wild);
                break;
            case EDIT_PASTE_KEY_RIGHT:
                res = PasteItemStrKeyRight(pItem, k1, k2, wild);
                break;
            case EDIT_RESET_NAME:
                res = ResetItemName(pItem);
                break;
            case EDIT_REPLACE:
                // Nothing to search for: the command starts nothing.
                if (k1.empty()) return r;
                res = ReplaceItemStrByRegExp(pItem, k1, k2, wild);
                break;
            default:
                return r;
        }
        if (CountRow(r, pItem, res)) break;
    }
    return r;
}

bool CNameEdit::CountRow(EditRunResult& r, CMyItem* pItem, int res) {
    ++r.iRows;
    if (res > 0) ++r.iChanged;
    if (res < 0) ++r.iFailed;
    if (pItem) m_host.ListRowChanged(pItem->m_iArrayIndex);
    if (m_bStopped) r.bStopped = true;
    return m_bStopped;
}

template <class PerItem>
EditRunResult CNameEdit::RunRows(const std::vector<CMyItem*>& rows, PerItem perItem) {
    EditRunResult r;
    m_bStopped = false;
    for (CMyItem* pItem : rows) {
        if (Stop()) {
            r.bStopped = true;
            break;
        }
        const int res = perItem(pItem);
        if (CountRow(r, pItem, res)) break;
    }
    return r;
}

EditRunResult CNameEdit::RegexReplaceCommand(const std::string& pattern,
                                             const std::string& replacement, bool bAll,
                                             bool bIgnoreCase, const std::vector<CMyItem*>& rows,
                                             std::string* pErr) {
    if (pattern.empty()) return {};
    CRegexReplace re;
    std::string err;
    if (!re.Compile(pattern, replacement, bAll, bIgnoreCase, &err)) {
        m_host.Message(err, MsgKind::Ok);
        if (pErr) *pErr = err;
        return {};
    }
    return RunRows(rows, [&](CMyItem* it) { return RegexReplaceItem(it, re); });
}

EditRunResult CNameEdit::ConvertCommand(CharConv kind, const std::vector<CMyItem*>& rows) {
    return RunRows(rows, [&](CMyItem* it) { return ConvertItemCharType(it, kind); });
}

EditRunResult CNameEdit::CutExtensionCommand(const std::vector<CMyItem*>& rows) {
    EditRunResult r;
    for (CMyItem* pItem : rows) {
        if (!pItem) continue;
        ++r.iRows;
        if (CutItemExtension(pItem) > 0) ++r.iChanged;
        m_host.ListRowChanged(pItem->m_iArrayIndex);
    }
    return r;
}

EditRunResult CNameEdit::RestoreExtensionCommand(const std::vector<CMyItem*>& rows) {
    EditRunResult r;
    for (CMyItem* pItem : rows) {
        if (!pItem) continue;
        ++r.iRows;
        if (RestoreItemExtension(pItem) > 0) ++r.iChanged;
        m_host.ListRowChanged(pItem->m_iArrayIndex);
    }
    return r;
}

int CNameEdit::SelectItemsByKey(const std::vector<CMyItem*>& rows, std::vector<bool>& selected,
                                const std::string& key, bool bWild) {
    if (selected.size() != rows.size()) {
        try {
            selected.resize(rows.size(), false);
        } catch (const std::exception&) {
            return 0;
        }
    }
    CRegexReplace rx;
    if (m_keys.UseRegExp) {
        std::string err;
        if (!rx.Compile(key, {}, false, false, &err)) {
            m_host.Message(err, MsgKind::Ok);
            return static_cast<int>(std::count(selected.begin(), selected.end(), true));
        }
    }
    int numSelected = 0;
    for (bool b : selected) numSelected += b ? 1 : 0;
    const bool testAll = numSelected <= 1;
    m_bStopped = false;
    int after = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if ((testAll || selected[i]) && rows[i] && !m_bStopped && !Stop()) {
            int len = 0;
            const bool hit = rx.IsCompiled() ? rx.Matches(rows[i]->m_strNewName)
                                             : Hit(rows[i]->m_strNewName, key, 0, bWild, &len) >= 0;
            if (hit != selected[i]) {
                selected[i] = hit;
                m_host.ListRowChanged(static_cast<int>(i));
            }
        }
        if (selected[i]) ++after;
    }
    return after;
}

}  // namespace dov
