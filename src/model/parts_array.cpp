// CMyPartsArray: the owning, ordered array of a folder's sub-items.
#include "model/parts_array.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>

#include "common/codepage.h"
#include "common/trace.h"
#include "model/item_trace.h"

using dov::PosOf;

namespace {

bool IsFolderItem(const CMyItem* p) {
    return p->m_bIsFolder != 0;
}

}  // namespace

std::int32_t NextAddOrder(const CMyItem& owner) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(owner.m_iFileNum) +
                                     static_cast<std::uint32_t>(owner.m_iFoldNum) + 1u);
}

CMyPartsArray::CMyPartsArray() = default;

CMyPartsArray::~CMyPartsArray() {
    // From the last entry to the first, then every slot.
    for (std::size_t i = m_arParts.size(); i-- > 0;) m_arParts[i].reset();
    m_arParts.clear();
}

CMyItem* CMyPartsArray::GetAt(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_arParts.size()) return nullptr;
    return m_arParts[static_cast<std::size_t>(index)].get();
}

bool CMyPartsArray::SlotFree(int w, const CMyItem* p) const {
    const CMyItem* q = GetAt(w);
    return q == nullptr || q == p;
}

void CMyPartsArray::RebuildName(CMyItem* p) {
    if (m_bDeferNames) return;
    p->UpdateWriteName();  // traces its own failure and leaves the old names
}

// ---- Making items ----------------------------------------------------------------------------

CMyItem* CMyPartsArray::MakeNewFolder(std::unique_ptr<CMyItem> filled) {
    if (!m_pOwner) {
        DOV_TRACE(m_strTracePath, "※　所有者のない配列です。CMyPartsArray::MakeNewFolder()\n");
        return nullptr;
    }
    const bool loaded = filled != nullptr;
    std::unique_ptr<CMyItem> item = std::move(filled);
    try {
        if (!item) item = std::make_unique<CMyItem>();
        CMyItem& o = *m_pOwner;
        item->m_pParent = m_pOwner;
        item->m_strTracePath = m_strTracePath;
        item->m_iKindIndex = o.m_iFoldNum;
        item->m_iArrayIndex = static_cast<std::int32_t>(o.m_dwNumInFolder);
        item->m_iAddOrder = NextAddOrder(o);
        item->m_iLayer = m_iLayer + 1;
        item->m_bNoAutoIndex = o.m_bNoAutoIndex;
        if (item->SetToFolder() != 0) throw std::bad_alloc();
        if (!loaded) {
            char num[16];
            std::snprintf(num, sizeof num, "%03d", o.m_iFoldNum);
            item->m_strNewName = dov::Sj("新規フォルダ_") + num;
            item->m_strOrgName.clear();
            item->m_status.m_size = 0;
            item->m_status.size64 = 0;
        }
        item->m_iSpare1 = 0;
        item->m_iSpare2 = 0;
        // AddParts builds the write name with the kind number and layer it gives.
        if (AddParts(item.get()) != 0) throw std::bad_alloc();
        return item.release();  // the array owns it now
    } catch (...) {
        DOV_TRACE(
            m_strTracePath,
            "※　CMyPartsArray::MakeNewFolder()　でメモリ確保不能\n\t\t親フォルダの位置は[ %s ]\n",
            PosOf(m_pOwner).c_str());
        return nullptr;  // item (if any) is deleted here
    }
}

CMyItem* CMyPartsArray::MakeNewFile(std::unique_ptr<CMyItem> filled) {
    if (!m_pOwner) {
        DOV_TRACE(m_strTracePath, "※　所有者のない配列です。CMyPartsArray::MakeNewFile()\n");
        return nullptr;
    }
    const bool loaded = filled != nullptr;
    std::unique_ptr<CMyItem> item = std::move(filled);
    try {
        if (!item) item = std::make_unique<CMyItem>();
    } catch (...) {
        DOV_TRACE(
            m_strTracePath,
            "※　CMyPartsArray::MakeNewFile()　でメモリ確保不能\n\t\t親フォルダの位置は[ %s ]\n",
            PosOf(m_pOwner).c_str());
        return nullptr;
    }
    try {
        CMyItem& o = *m_pOwner;
        item->m_strTracePath = m_strTracePath;
        item->m_pParent = m_pOwner;
        item->m_iKindIndex = o.m_iFileNum;
        item->m_iArrayIndex = static_cast<std::int32_t>(o.m_dwNumInFolder);
        item->m_iAddOrder = NextAddOrder(o);
        item->m_bIsFolder = 0;
        item->m_iLayer = m_iLayer + 1;
        item->m_bNoAutoIndex = o.m_bNoAutoIndex;
        if (!loaded) {
            item->m_status.m_size = 0;
            item->m_status.size64 = 0;
            item->m_findData.nFileSizeHigh = 0;
            item->m_findData.nFileSizeLow = 0;
        }
        if (AddParts(item.get()) != 0) throw std::bad_alloc();
        return item.release();  // the array owns it now
    } catch (...) {
        DOV_TRACE(m_strTracePath,
                  "※　CMyPartsArray::MakeFile()　でメモリ確保不能\n\t\t親フォルダの位置は[ %s ]\n",
                  PosOf(m_pOwner).c_str());
        return nullptr;
    }
}

// ---- Adding, removing and counting -----------------------------------------------------------

int CMyPartsArray::ReserveSlots(std::int32_t n) {
    if (n <= 0 || static_cast<std::size_t>(n) <= m_arParts.size()) return 0;
    try {
        m_arParts.reserve(static_cast<std::size_t>(n));
        m_arParts.resize(static_cast<std::size_t>(n));
        m_iCapacity = n;
        return 0;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

int CMyPartsArray::AddParts(CMyItem* pParts) {
    if (!pParts) {
        DOV_TRACE(m_strTracePath,
                  "※　引数のアドレスが無効。CMyPartsArray::AddParts(CMyItem *pParts)\n");
        return -1;
    }
    // Storing an item that a slot of this array already holds would give it two owners.
    if (pParts->m_pParent == m_pOwner && GetAt(pParts->m_iArrayIndex) == pParts) {
        DOV_TRACE(m_strTracePath,
                  "※　既に配列に有るアイテムです。CMyPartsArray::AddParts()\t位置：%s\n",
                  PosOf(pParts).c_str());
        return -1;
    }
    try {
        // Everything that can fail comes first; the item changes only once all of it is done.
        const bool folder = IsFolderItem(pParts);
        std::int32_t kind = pParts->m_iKindIndex;
        std::int32_t layer = pParts->m_iLayer;
        std::string newName, writeName;
        if (m_pOwner) {
            kind = folder ? m_pOwner->m_iFoldNum : m_pOwner->m_iFileNum;
            layer = m_iLayer + 1;
            pParts->BuildWriteName(kind, layer, newName, writeName);
        }
        if (static_cast<std::size_t>(m_dwPartsNum) >= m_arParts.size()) {
            const std::size_t n = m_arParts.size() + kGrowBy;
            m_arParts.reserve(n);  // exactly one more step of 2000 slots
            m_arParts.resize(n);
            m_iCapacity = static_cast<std::int32_t>(n);
        }
        const std::int32_t slot = m_dwPartsNum;
        m_arParts[static_cast<std::size_t>(slot)].reset(pParts);
        ++m_dwPartsNum;
        if (m_pOwner) {
            pParts->m_pParent = m_pOwner;
            pParts->m_iArrayIndex = slot;
            pParts->m_iKindIndex = kind;
            pParts->m_iLayer = layer;
            pParts->CommitNames(newName, writeName);
        }
        return 0;
    } catch (...) {
        DOV_TRACE(m_strTracePath, "※　配列へのセットに失敗　CMyPartsArray::AddParts()[%08X]\n",
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(pParts)));
        return -1;
    }
}

int CMyPartsArray::DeleteItem(int index) {
    if (m_dwPartsNum <= 0) return -1;
    if (index < 0 || index >= m_dwPartsNum) {
        DOV_TRACE(m_strTracePath, "※　削除する位置が異常です。Index[%d] DeleteItem()\n", index);
        return -1;
    }
    auto& slot = m_arParts[static_cast<std::size_t>(index)];
    if (!slot) {
        DOV_TRACE(m_strTracePath, "※　削除する位置のアイテムが無効です。Index[%d] DeleteItem()\n",
                  index);
        return -1;
    }
    const bool folder = IsFolderItem(slot.get());
    std::unique_ptr<CMyItem> victim = std::move(slot);
    for (int i = index; i + 1 < m_dwPartsNum; ++i) {
        auto& to = m_arParts[static_cast<std::size_t>(i)];
        to = std::move(m_arParts[static_cast<std::size_t>(i) + 1]);
        if (to) {
            to->m_iArrayIndex = i;
            if (IsFolderItem(to.get()) == folder) --to->m_iKindIndex;
        }
    }
    --m_dwPartsNum;
    victim.reset();  // the item with its whole subtree
    return 0;
}

int CMyPartsArray::ClearItem(int index) {
    if (index < 0 || index >= m_dwPartsNum) {
        DOV_TRACE(m_strTracePath, "※　クリアする位置が異常です。Index[%d] ClearItem()\n", index);
        return 0;
    }
    (void)m_arParts[static_cast<std::size_t>(index)].release();  // the caller owns it now
    for (int i = index; i + 1 < m_dwPartsNum; ++i) {
        auto& to = m_arParts[static_cast<std::size_t>(i)];
        to = std::move(m_arParts[static_cast<std::size_t>(i) + 1]);
        if (to) to->m_iArrayIndex = i;  // positions follow the slots; kind numbers stay
    }
    --m_dwPartsNum;
    m_arParts[static_cast<std::size_t>(m_dwPartsNum)].reset();
    return 1;
}

namespace {

// The items of slots [lo, hi) with their positions and kind numbers, so that a reordering that
// runs out of memory while rebuilding write names can be undone whole.
struct RangeSnapshot {
    int lo = 0;
    std::vector<CMyItem*> items;
    std::vector<std::int32_t> kind, index;

    void Take(const CMyPartsArray& a, int from, int to) {  // throws std::bad_alloc
        lo = from;
        const std::size_t n = static_cast<std::size_t>(std::max(0, to - from));
        items.reserve(n);
        kind.reserve(n);
        index.reserve(n);
        for (int i = from; i < to; ++i) {
            CMyItem* p = a.GetAt(i);
            items.push_back(p);
            kind.push_back(p ? p->m_iKindIndex : 0);
            index.push_back(p ? p->m_iArrayIndex : 0);
        }
    }
    // Every item now in [lo, lo + n) must be one of the snapshot's items, and every snapshot
    // item not in the range must be owned by nobody (taken out and not handed on).
    void Restore(CMyPartsArray& a) noexcept {
        for (std::size_t i = 0; i < items.size(); ++i) (void)a.m_arParts[lo + i].release();
        for (std::size_t i = 0; i < items.size(); ++i) {
            a.m_arParts[lo + i].reset(items[i]);
            if (items[i]) {
                items[i]->m_iKindIndex = kind[i];
                items[i]->m_iArrayIndex = index[i];
            }
        }
    }
};

// Builds the write names of all items first and swaps them in only when every one was made.
bool RebuildNamesAllOrNothing(const std::vector<CMyItem*>& items,
                              void (*build)(CMyItem*, std::string&, std::string&),
                              void (*commit)(CMyItem*, std::string&, std::string&)) noexcept {
    try {
        std::vector<std::string> newNames(items.size()), writeNames(items.size());
        for (std::size_t i = 0; i < items.size(); ++i) build(items[i], newNames[i], writeNames[i]);
        for (std::size_t i = 0; i < items.size(); ++i) commit(items[i], newNames[i], writeNames[i]);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

int CMyPartsArray::ClearSubItems(int iCount, const std::vector<int>& positions, int* piFoldNum,
                                 int* piFileNum, std::vector<CMyItem*>* pTaken) {
    if (!piFoldNum || !piFileNum || iCount < 0 ||
        static_cast<std::size_t>(iCount) > positions.size()) {
        DOV_TRACE(m_strTracePath, "※　引数が無効です。CMyPartsArray::ClearSubItems()\tCount[%d]\n",
                  iCount);
        return -1;
    }
    const int oldNum = m_dwPartsNum;
    // The first taken position; positions outside the entries hold nothing to take.
    int lo = oldNum;
    for (int k = 0; k < iCount; ++k) {
        const int pos = positions[static_cast<std::size_t>(k)];
        if (pos >= 0 && pos < oldNum && GetAt(pos)) lo = std::min(lo, pos);
    }

    // Memory for the undo record and the results first: nothing has changed yet.
    RangeSnapshot snap;
    std::vector<CMyItem*> renamed;
    const std::size_t takenBase = pTaken ? pTaken->size() : 0;
    try {
        snap.Take(*this, lo, oldNum);
        renamed.reserve(snap.items.size());
        if (pTaken) pTaken->reserve(takenBase + static_cast<std::size_t>(iCount));
    } catch (...) {
        DOV_TRACE(
            m_strTracePath,
            "※　CMyPartsArray::ClearSubItems()　でメモリ確保不能\n\t\t親フォルダの位置は[ %s ]\n",
            PosOf(m_pOwner).c_str());
        return -1;
    }
    const std::int32_t saved[6] = {m_iClearFoldNum, m_iClearFileNum, m_iClearFileTop,
                                   m_iClearFoldTop, m_iClearFileEnd, m_iClearFoldEnd};

    // 1-2. Take the listed items out.
    *piFoldNum = 0;
    *piFileNum = 0;
    m_iClearFoldNum = 0;
    m_iClearFileNum = 0;
    int firstTakenPos[2] = {oldNum, oldNum};  // [0] files, [1] folders
    for (int k = 0; k < iCount; ++k) {
        const int pos = positions[static_cast<std::size_t>(k)];
        CMyItem* p = GetAt(pos);
        if (pos >= oldNum || !p) continue;
        (void)m_arParts[static_cast<std::size_t>(pos)].release();  // the caller's from now on
        if (pTaken) pTaken->push_back(p);
        if (IsFolderItem(p)) {
            if (m_iClearFoldNum == 0) m_iClearFoldTop = p->m_iKindIndex;
            ++*piFoldNum;
            ++m_iClearFoldNum;
            m_iClearFoldEnd = p->m_iKindIndex;
            firstTakenPos[1] = std::min(firstTakenPos[1], pos);
        } else {
            if (m_iClearFileNum == 0) m_iClearFileTop = p->m_iKindIndex;
            ++*piFileNum;
            ++m_iClearFileNum;
            m_iClearFileEnd = p->m_iKindIndex;
            firstTakenPos[0] = std::min(firstTakenPos[0], pos);
        }
    }

    // 3. The new entry count.
    int newNum = oldNum - (*piFoldNum + *piFileNum);
    if (newNum < 0) {
        DOV_TRACE(m_strTracePath,
                  "※　削除したサイズの方が大きい CMyPartsArray::ClearSubItems()\t\tPartsNum[%d], "
                  "TotalDelSize[%d]\n\n",
                  oldNum, *piFoldNum + *piFileNum);
        newNum = 0;
    }

    // 4. Close the gaps from the first taken position, keeping the order. An item of a kind of
    // which something was taken out, and that stood after the first one taken, gets the next
    // number of its kind counting from the first number taken out; the others keep theirs.
    std::int32_t next[2] = {m_iClearFileTop, m_iClearFoldTop};
    const bool kindTaken[2] = {m_iClearFileNum > 0, m_iClearFoldNum > 0};
    int w = lo;
    for (int r = lo; r < oldNum && w < newNum; ++r) {
        auto& from = m_arParts[static_cast<std::size_t>(r)];
        if (!from) continue;
        CMyItem* p = from.get();
        if (r != w) m_arParts[static_cast<std::size_t>(w)] = std::move(from);
        p->m_iArrayIndex = w;
        const int k = IsFolderItem(p) ? 1 : 0;
        if (kindTaken[k] && r > firstTakenPos[k]) {
            p->m_iKindIndex = next[k]++;
            renamed.push_back(p);
        }
        ++w;
    }
    // 5.
    m_dwPartsNum = newNum;

    auto build = [](CMyItem* p, std::string& n, std::string& wn) {
        p->BuildWriteName(p->m_iKindIndex, p->m_iLayer, n, wn);
    };
    auto commit = [](CMyItem* p, std::string& n, std::string& wn) { p->CommitNames(n, wn); };
    if (!RebuildNamesAllOrNothing(renamed, build, commit)) {
        // Undo the whole call: the taken items go back to their slots.
        snap.Restore(*this);
        m_dwPartsNum = oldNum;
        if (pTaken) pTaken->resize(takenBase);
        *piFoldNum = 0;
        *piFileNum = 0;
        m_iClearFoldNum = saved[0];
        m_iClearFileNum = saved[1];
        m_iClearFileTop = saved[2];
        m_iClearFoldTop = saved[3];
        m_iClearFileEnd = saved[4];
        m_iClearFoldEnd = saved[5];
        DOV_TRACE(
            m_strTracePath,
            "※　CMyPartsArray::ClearSubItems()　でメモリ確保不能\n\t\t親フォルダの位置は[ %s ]\n",
            PosOf(m_pOwner).c_str());
        return -1;
    }
    return 0;
}

int CMyPartsArray::GetTotalFileNum() const {
    int total = 0;
    for (int i = 0; i < m_dwPartsNum; ++i) {
        const CMyItem* p = GetAt(i);
        if (!p) {
            DOV_TRACE(m_strTracePath,
                      "※　CMyPartsArray::GetTotalFileNum()"
                      "\n\t\t\t配列中に無効なポインタが有りました。添え字[%d]",
                      i);
            continue;
        }
        if (IsFolderItem(p)) {
            if (p->m_pArray) total += p->m_pArray->GetTotalFileNum();
        } else {
            ++total;
        }
    }
    return total;
}

int CMyPartsArray::GetTotalFoldNum() const {
    int total = 0;
    for (int i = 0; i < m_dwPartsNum; ++i) {
        const CMyItem* p = GetAt(i);
        if (!p) {
            DOV_TRACE(m_strTracePath,
                      "※　CMyPartsArray::GetTotalFoldNum()"
                      "\n\t\t\t配列中に無効なポインタが有りました。添え字[%d]",
                      i);
            continue;
        }
        if (IsFolderItem(p)) total += p->GetFolderNum();
    }
    return total;
}

void CMyPartsArray::SubItemLayerReCalc(int iLayer) {
    for (int i = 0; i < m_dwPartsNum; ++i) {
        if (CMyItem* p = GetAt(i)) p->SubItemLayerReCalc(iLayer + 1);
    }
}

// ---- The drag move ---------------------------------------------------------------------------

int CMyPartsArray::MakeMoveInfo(const std::vector<int>& positions, int iDropPos,
                                CMyMoveInfo& info) const {
    const int n = static_cast<int>(positions.size());
    bool ok = n > 0 && n <= m_dwPartsNum && iDropPos >= 0;
    for (int k = 0; ok && k < n; ++k) {
        const int s = positions[static_cast<std::size_t>(k)];
        ok = s >= 0 && s < m_dwPartsNum &&
             (k == 0 || s > positions[static_cast<std::size_t>(k) - 1]) && GetAt(s) != nullptr;
    }
    if (!ok) {
        DOV_TRACE(m_strTracePath,
                  "※　ドラッグ情報が異常です。MakeMoveInfo()\n\t\tDragSize[%d]  DropPos[%d]  "
                  "iPartsNum[%d]\n",
                  n, iDropPos, m_dwPartsNum);
        return -1;
    }
    const int s0 = positions.front();
    const int sLast = positions.back();
    int d = iDropPos;
    if (d + n > m_dwPartsNum) d = m_dwPartsNum - n;

    CMyMoveInfo mi;
    mi.iDragSize = n;
    mi.iDropPos = d;
    mi.iDropEnd = d + n - 1;
    mi.iFirstSelected = s0;
    mi.iRangeTop = std::min(s0, d);
    mi.iRangeEnd = std::max(sLast, d + n - 1);
    mi.iForwardMoveSize = s0 < d ? d - s0 : 0;
    mi.iBackMoveSize = d + n - 1 < sLast ? sLast - (d + n - 1) : 0;
    for (int i = mi.iRangeTop; i <= mi.iRangeEnd; ++i) {
        const CMyItem* p = GetAt(i);
        if (!p) continue;
        if (IsFolderItem(p)) {
            if (mi.iFirstFoldNum < 0) mi.iFirstFoldNum = p->m_iKindIndex;
            mi.iLastFoldNum = p->m_iKindIndex;
        } else {
            if (mi.iFirstFileNum < 0) mi.iFirstFileNum = p->m_iKindIndex;
            mi.iLastFileNum = p->m_iKindIndex;
        }
    }
    mi.iNextFoldNum = mi.iFirstFoldNum;
    mi.iNextFileNum = mi.iFirstFileNum;
    mi.iNextPos = mi.iRangeTop;
    info = mi;
    return 0;
}

int CMyPartsArray::SignSelectedItems(int iCount, const std::vector<int>& positions) {
    if (iCount <= 0) return 0;
    bool ok = iCount <= m_dwPartsNum && static_cast<std::size_t>(iCount) <= positions.size();
    for (int k = 0; ok && k < iCount; ++k) {
        const int s = positions[static_cast<std::size_t>(k)];
        ok = s >= 0 && s < m_dwPartsNum;
    }
    if (!ok) {
        DOV_TRACE(m_strTracePath,
                  "※　選択数が異常です。SignSelectedItems()\n\t\tCount[%d]  iPartsNum[%d]\n",
                  iCount, m_dwPartsNum);
        return -1;
    }
    for (int k = iCount; k-- > 0;) {
        // The dragged items are the caller's until BackDragItems takes them back.
        (void)m_arParts[static_cast<std::size_t>(positions[static_cast<std::size_t>(k)])].release();
    }
    return 0;
}

int CMyPartsArray::MoveNonSelectedItemsToFoward(CMyMoveInfo& info) {
    const int from = info.iFirstSelected + 1;
    const int size = info.iForwardMoveSize;
    if (size <= 0 || info.iFirstSelected < 0 || info.iRangeTop < 0) {
        DOV_TRACE(m_strTracePath,
                  "※　サイズが異常 / MoveNonSelectedItemsToFoward()\n\t\t移動元Index[%d]  "
                  "移動先Index[%d]  MoveSize[%d]\n\n",
                  from, info.iRangeTop, size);
        return -1;
    }
    int w = info.iRangeTop;
    int moved = 0;
    for (int r = from; r < m_dwPartsNum && moved < size; ++r) {
        auto& src = m_arParts[static_cast<std::size_t>(r)];
        if (!src) continue;
        CMyItem* p = src.get();
        if (!SlotFree(w, p)) {
            DOV_TRACE(m_strTracePath,
                      "※　移動先が空いていません / "
                      "MoveNonSelectedItemsToFoward()\n\t\t移動元Index[%d]  移動先Index[%d]\n",
                      r, w);
            info.iNextPos = w;
            return -1;
        }
        if (r != w) m_arParts[static_cast<std::size_t>(w)] = std::move(src);
        p->m_iArrayIndex = w;
        p->m_iKindIndex = IsFolderItem(p) ? info.iNextFoldNum++ : info.iNextFileNum++;
        RebuildName(p);
        ++w;
        ++moved;
    }
    info.iNextPos = w;
    return 0;
}

int CMyPartsArray::MoveItemToBackFromEnd(CMyMoveInfo& info) {
    const int end = info.iRangeEnd;
    const int size = info.iBackMoveSize;
    if (size == 0) return 0;
    if (size < 0 || end < 0 || end >= m_dwPartsNum || end - size + 1 < 0) {
        DOV_TRACE(m_strTracePath,
                  "※　パラメータが異常 / MoveItemToBackFromEnd()\n\t\tDepEndPos[%d]  "
                  "DistEndPos[%d]  MoveSize[%d] iPartsNum[%d]\n\n",
                  end, end, size, m_dwPartsNum);
        return 0;
    }
    std::int32_t fold = info.iLastFoldNum;
    std::int32_t file = info.iLastFileNum;
    int w = end;
    int moved = 0;
    for (int r = end; r >= 0 && moved < size && w >= 0; --r) {
        auto& src = m_arParts[static_cast<std::size_t>(r)];
        if (!src) continue;
        CMyItem* p = src.get();
        if (!SlotFree(w, p)) {
            DOV_TRACE(m_strTracePath,
                      "※　移動先が空いていません / MoveItemToBackFromEnd()\n\t\t移動元Index[%d]  "
                      "移動先Index[%d]\n",
                      r, w);
            break;
        }
        if (r != w) m_arParts[static_cast<std::size_t>(w)] = std::move(src);
        p->m_iArrayIndex = w;
        p->m_iKindIndex = IsFolderItem(p) ? fold-- : file--;
        RebuildName(p);
        --w;
        ++moved;
    }
    info.iNextPos = w;
    return 0;
}

int CMyPartsArray::BackDragItems(CMyMoveInfo& info, const std::vector<CMyItem*>& items) {
    const int n = info.iDragSize;
    const int d = info.iDropPos;
    info.iNextPos = d;
    if (n <= 0 || n > m_dwPartsNum) return d;
    for (int i = 0; i < n; ++i) {
        const int pos = d + i;
        CMyItem* p = static_cast<std::size_t>(i) < items.size() ? items[static_cast<std::size_t>(i)]
                                                                : nullptr;
        if (!p || pos < 0 || pos >= m_dwPartsNum || !SlotFree(pos, p)) {
            DOV_TRACE(
                m_strTracePath,
                "※　ドラッグアイテムの復帰でアイテムデータが無効 "
                "CKestrelView::BackDragItems\n\t\tDropPos[%d] , DragSize[%d] , [%d]の配列が異常\n",
                d, n, i);
            break;
        }
        auto& slot = m_arParts[static_cast<std::size_t>(pos)];
        if (slot.get() != p) slot.reset(p);  // the array owns it again
        p->m_iArrayIndex = pos;
        p->m_iKindIndex = IsFolderItem(p) ? info.iNextFoldNum++ : info.iNextFileNum++;
        RebuildName(p);
        info.iNextPos = pos + 1;
    }
    return info.iNextPos;
}
