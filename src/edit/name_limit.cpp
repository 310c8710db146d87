#include "edit/name_limit.h"

#include <climits>
#include <cstdio>

#include "common/codepage.h"
#include "common/sjis.h"
#include "common/trace.h"
#include "model/item.h"

namespace dov {

namespace {

std::string TracePathOf(const CMyItem* pItem) {
    return pItem && !pItem->m_strTracePath.empty() ? pItem->m_strTracePath : DefaultTracePath();
}

// Bytes the automatic index prefix ("%03d_") puts before this item's new name in its write
// name: 4 below index 1000, more above; 0 when the item is written under its new name.
int LimitOneName(CMyItem* pItem, int iLimit, IHost* pHost);

int IndexPrefixLen(const CMyItem* pItem) {
    if (pItem->m_bNoAutoIndex == 1 || pItem->m_iLayer == 0) return 0;
    char buf[32];
    return std::snprintf(buf, sizeof buf, "%03d_", pItem->m_iKindIndex);
}

}  // namespace

int LimitPresetValue(int iMode) {
    switch (iMode) {
        case 1:
            return 12;
        case 2:
            return 31;
        case 3:
            return 64;
        case 4:
            return 124;
        default:
            return -1;
    }
}

int LimitDialogInitialValue(int iLimitSize) {
    return iLimitSize < 0 ? 31 : iLimitSize;
}

bool ParseLimitField(const std::string& text, int* pValue, IHost* pHost) {
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            if (pHost) pHost->Message(Sj("数字を入力してください"));
            return false;
        }
        v = v * 10 + (c - '0');
        if (v > INT_MAX) v = INT_MAX;
    }
    if (pValue) *pValue = static_cast<int>(v);
    return true;
}

bool IsAutoIndexMode(const CMyItem* pItem) {
    if (!pItem) return false;
    while (pItem->m_pParent) pItem = pItem->m_pParent;
    return pItem->m_bNoAutoIndex == 0;
}

int LimitNameLength(CMyItem* pItem, int iLimit, IHost* pHost) {
    if (!pItem) return -1;
    try {
        return LimitOneName(pItem, iLimit, pHost);
    } catch (const std::exception&) {
        TraceF(TracePathOf(pItem), "※　メモリ確保不能 LimitNameLength()\n");
        return -1;
    }
}

namespace {

int LimitOneName(CMyItem* pItem, int iLimit, IHost* pHost) {
    pItem->UpdateWriteName();
    if (static_cast<long long>(pItem->m_strWriteName.size()) <= iLimit) return 0;
    const std::string trace = TracePathOf(pItem);
    const bool folder = pItem->m_bIsFolder != 0;
    TraceF(trace,
           folder ? "【ファイル名長の制限】制限サイズ[%d]\n　旧フォルダ名： %s\n"
                  : "【ファイル名長の制限】制限サイズ[%d]\n　旧ファイル名： %s\n",
           iLimit, pItem->m_strWriteName.c_str());

    const std::string& name = pItem->m_strNewName;
    const int n = static_cast<int>(name.size());
    const int dot = pItem->GetExtPos(1);
    const int b = dot >= 0 ? dot : n;
    // The prefix really in front of the new name (the index may have more than three digits).
    const int p = IndexPrefixLen(pItem);
    long long k = static_cast<long long>(iLimit) - (n - b) - p;
    if (k < 0) k = b;  // the extension alone is too long: nothing is cut
    // Keep the character at the cut whole.
    const int keep = static_cast<int>(SjisSafePrefixLen(name, static_cast<std::size_t>(k)));
    const std::string before = name;
    pItem->m_strNewName =
        name.substr(0, static_cast<std::size_t>(keep)) + before.substr(static_cast<std::size_t>(b));
    pItem->UpdateWriteName();
    TraceF(trace, folder ? "　新フォルダ名： %s\n" : "　新ファイル名： %s\n",
           pItem->m_strWriteName.c_str());
    if (folder && pHost) pHost->TreeFolderChanged(pItem);
    return pItem->m_strNewName != before ? 1 : 0;
}

}  // namespace

void LimitSubItemNameLength(CMyItem* pFolder, int iLimit, IHost* pHost) {
    if (!pFolder || !pFolder->m_bIsFolder) return;
    const int num = static_cast<int>(pFolder->m_dwNumInFolder);
    for (int i = 0; i < num; ++i) {
        CMyItem* pSub = pFolder->GetSubItem(i);
        if (!pSub) continue;
        LimitNameLength(pSub, iLimit, pHost);
        if (pSub->m_bIsFolder) LimitSubItemNameLength(pSub, iLimit, pHost);
    }
}

int LimitNameLengthCommand(const std::vector<CMyItem*>& rows, int iLimit, bool bEffectSubItem,
                           IHost& host) {
    CMyItem* pFirst = nullptr;
    for (CMyItem* p : rows) {
        if (p) {
            pFirst = p;
            break;
        }
    }
    if (iLimit <= 7 && pFirst && IsAutoIndexMode(pFirst)) {
        host.Message(Sj("自動インデックスモードでは使えないサイズです"));
        return -1;
    }
    TraceF(TracePathOf(pFirst), "=============== ファイル名長の制限 ===============\n");
    int changed = 0;
    for (CMyItem* pItem : rows) {
        if (!pItem) continue;
        if (LimitNameLength(pItem, iLimit, &host) > 0) ++changed;
        if (pItem->m_bIsFolder && bEffectSubItem) LimitSubItemNameLength(pItem, iLimit, &host);
        host.ListRowChanged(pItem->m_iArrayIndex);
    }
    return changed;
}

}  // namespace dov
