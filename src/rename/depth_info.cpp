#include "rename/depth_info.h"

#include <algorithm>
#include <new>
#include <utility>

#include "common/pathtext.h"
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

    // Count the separators.
    const std::string_view path = pItem->m_strOrgPath;
    int counter = 0;
    // Only a full path counts: a relative one would depend on the current directory.
    bool failed = path.empty() || path[0] != '/';
    if (!failed) {
        counter = dov::CountSeparators(path, 254);
        failed = counter >= 254;
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

namespace {

// The order the quicksort below leaves in a range of equal depths, written to out. Each
// partition of such a range swaps its ends pairwise up to the middle (reversing it), then sorts
// both halves, the middle entry of an odd length staying where it is. So the order of a range
// (Reversed) is that of its last half read back to front, its middle, then its first half read
// back to front (Straight: read so, a range gives its halves in the order of Reversed).
void Ordered(CMyItem* const* in, std::size_t n, bool reversed, CMyItem**& out) {
    if (n <= 3) {
        for (std::size_t k = 0; k < n; ++k) *out++ = in[reversed ? n - 1 - k : k];
        return;
    }
    const std::size_t half = n / 2;
    Ordered(reversed ? in + n - half : in, half, !reversed, out);
    if (n % 2) *out++ = in[half];
    Ordered(reversed ? in : in + n - half, half, !reversed, out);
}

}  // namespace

void CMyDepthInfo::QuickSort(int lo, int hi) {
    while (lo < hi) {
        // A range of one depth: its order is known without comparing.
        const auto first = m_arDepth.begin() + lo;
        const auto end = m_arDepth.begin() + hi + 1;
        if (std::find_if(first + 1, end, [d = *first](std::uint8_t v) { return v != d; }) == end) {
            const auto n = static_cast<std::size_t>(hi - lo + 1);
            m_scratch.resize(n);
            CMyItem** out = m_scratch.data();
            Ordered(m_arItem.data() + lo, n, true, out);
            std::copy(m_scratch.begin(), m_scratch.end(), m_arItem.begin() + lo);
            return;
        }
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
    std::vector<CMyItem*>().swap(m_scratch);
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
