#include "rename/depth_info.h"

#include <new>
#include <utility>

#include "common/sjis.h"
#include "common/trace.h"
#include "model/item.h"

CMyDepthInfo::CMyDepthInfo(std::string tracePath) : m_strTracePath(std::move(tracePath)) {
    if (m_strTracePath.empty()) m_strTracePath = dov::DefaultTracePath();
    try {
        m_arDepth.resize(kGrowBy);
        m_arItem.resize(kGrowBy);
    } catch (const std::bad_alloc&) {
        m_arDepth.clear();
        m_arItem.clear();
    }
}

bool CMyDepthInfo::CheckDepthByParentPath(CMyItem* pItem, std::uint8_t* pbyDepth) {
    if (!pItem || !pbyDepth) {
        dov::TraceF(TracePath(),
                    "※　引数が無効。CheckDepthByParentPath()\n\tpItem[%08X]  pbDepth[%08X]\n",
                    static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(pItem)),
                    static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(pbyDepth)));
        if (pbyDepth) *pbyDepth = 0;
        return false;
    }
    *pbyDepth = 0;
    if (pItem->m_bUserMakeFold) {
        if (pItem->m_iLayer < 2) {
            dov::TraceF(TracePath(),
                        "※\tルート直下のユーザ作成フォルダがあります。CheckDepth()\n\tNewFileName= "
                        "\"%s\"  OrgPath= \"%s\"\n",
                        pItem->m_strNewName.c_str(), pItem->m_strOrgPath.c_str());
            return false;
        }
        if (!pItem->m_pParent) {
            dov::TraceF(TracePath(),
                        "※　親アイテムのアドレスが無効。CheckDepthByParentPath()\n\tNewFileName= "
                        "\"%s\"   OrgPath= \"%s\"\n",
                        pItem->m_strNewName.c_str(), pItem->m_strOrgPath.c_str());
            return false;
        }
        pItem->m_byDepth = 0;
        return true;
    }

    // Count the separators, stepping over double-byte characters whole.
    const std::string_view path = pItem->m_strOrgPath;
    int counter = 0;
    bool failed = false;
    std::size_t from = 0;
    int hit = FindCharDbcs(path, '/');
    // Only a full path counts: a relative one would depend on the current directory.
    if (hit != 0) failed = true;
    while (!failed && hit >= 0) {
        if (counter >= 254) {
            failed = true;
            break;
        }
        ++counter;
        from += static_cast<std::size_t>(hit) + 1;
        hit = FindCharDbcs(path.substr(from), '/');
    }
    if (failed || counter == 0 || counter >= 254) {
        dov::TraceF(TracePath(),
                    "※　アイテムの深さが異常です。CheckDepth()\n\tDepth[%d]  NewFileName= \"%s\"  "
                    "OrgPath= \"%s\"\n",
                    counter, pItem->m_strNewName.c_str(), pItem->m_strOrgPath.c_str());
        return false;
    }
    *pbyDepth = static_cast<std::uint8_t>(counter);
    pItem->m_byDepth = static_cast<std::uint8_t>(counter);
    return true;
}

bool CMyDepthInfo::SetAndCheckItem(CMyItem* pItem) {
    if (!pItem) {
        dov::TraceF(TracePath(), "※　引数が無効です。SetAndCheckItem()\n");
        return false;
    }
    std::uint8_t depth = 0;
    if (!CheckDepthByParentPath(pItem, &depth)) {
        dov::TraceF(TracePath(), "※　深さ情報の取得に失敗。SetAndCheckItem()\n");
        return false;
    }
    if (depth >= 255) {
        dov::TraceF(TracePath(), "※　区切りの数が異常です。SetAndCheckItem() iHitNum[%d]\n", depth);
        return false;
    }
    try {
        const std::size_t at = static_cast<std::size_t>(m_iItemNum);
        if (at >= m_arDepth.size()) m_arDepth.resize(m_arDepth.size() + kGrowBy);
        m_arDepth[at] = depth;
        if (at >= m_arItem.size()) m_arItem.resize(m_arItem.size() + kGrowBy);
        m_arItem[at] = pItem;
    } catch (const std::bad_alloc&) {
        dov::TraceF(TracePath(),
                    "※　深さデータのためのメモリが不足 SetAncCheckItem()\n\tItemPath=\"%s\"\n",
                    pItem->m_strOrgPath.c_str());
        return false;
    }
    ++m_iItemNum;
    return true;
}

void CMyDepthInfo::QuickSort(int lo, int hi) {
    while (lo < hi) {
        const std::uint8_t pivot = m_arDepth[static_cast<std::size_t>((lo + hi) / 2)];
        int i = lo - 1;
        int j = hi + 1;
        for (;;) {
            do ++i;
            while (m_arDepth[static_cast<std::size_t>(i)] < pivot);
            do --j;
            while (m_arDepth[static_cast<std::size_t>(j)] > pivot);
            if (i >= j) break;
            std::swap(m_arDepth[static_cast<std::size_t>(i)],
                      m_arDepth[static_cast<std::size_t>(j)]);
            std::swap(m_arItem[static_cast<std::size_t>(i)], m_arItem[static_cast<std::size_t>(j)]);
        }
        QuickSort(lo, i - 1);
        lo = j + 1;
    }
}

bool CMyDepthInfo::SortByDepth() {
    if (m_iItemNum >= 2) QuickSort(0, m_iItemNum - 1);
    return true;
}

CMyItem* CMyDepthInfo::GetItemADRS(int index) const {
    if (index < 0 || index >= m_iItemNum) {
        dov::TraceF(TracePath(), "※　引数の範囲が無効。GetItemADRS() Index[%d]/MaxIndex[%d]\n",
                    index, m_iItemNum);
        return nullptr;
    }
    return m_arItem[static_cast<std::size_t>(index)];
}

std::uint8_t CMyDepthInfo::GetDepth(int index) const {
    if (index < 0 || index >= m_iItemNum) return 0;
    return m_arDepth[static_cast<std::size_t>(index)];
}
