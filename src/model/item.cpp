// CMyItem: one node of the edit tree.
#include "model/item.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <string_view>

#include "common/codepage.h"
#include "common/filetime.h"
#include "common/pathtext.h"
#include "common/sjis.h"
#include "common/trace.h"
#include "model/item_arena.h"
#include "model/item_trace.h"
#include "model/parts_array.h"

using dov::PosOf;

namespace {

void LowerCount(std::int32_t& n, int by = 1) {
    n = std::max(0, n - by);
}

// Adds (high, low) to the total (H, L), carrying into the high word.
void AddSize64(std::uint32_t& H, std::uint32_t& L, std::uint32_t high, std::uint32_t low) {
    L += low;
    H += high + (L < low ? 1u : 0u);
}

}  // namespace

// ---- Construction and defaults ---------------------------------------------------------------

CMyItem::CMyItem() {
    ResetToNewFile();
}

CMyItem::CMyItem(Blank) {}

CMyItem::~CMyItem() = default;  // m_pArray deletes the array and with it every sub-item

void* CMyItem::operator new(std::size_t size) {
    return dov::ItemArenaAllocate(size, sizeof(CMyItem));
}

void CMyItem::operator delete(void* p, std::size_t size) noexcept {
    dov::ItemArenaRelease(p, size, sizeof(CMyItem));
}

void CMyItem::ResetToNewFile() {
    const std::int32_t now = dov::ToTime32(static_cast<std::int64_t>(std::time(nullptr)));
    m_status.m_ctime = now;
    m_status.m_mtime = now;
    m_status.m_atime = now;
    m_status.m_size = 0;
    m_status.size64 = 0;
    m_status.m_attribute = 0;
    m_status.m_szFullName = "NewFile.dat";  // short enough never to allocate

    const dov::FileTime local = dov::CurrentLocalFileTime();
    m_findData.nFileSizeHigh = 0;
    m_findData.nFileSizeLow = 0;
    m_findData.cFileName = "NewFile.dat";
    m_findData.cAlternateFileName = "NewFile.dat";
    m_findData.dwFileAttributes = dov::kAttrNormal;
    m_findData.ftCreationTime = local;
    m_findData.ftLastAccessTime = local;
    m_findData.ftLastWriteTime = {};
    m_findData.dwReserved0 = 0;
    m_findData.dwReserved1 = 0;
}

// ---- Folder state ----------------------------------------------------------------------------

int CMyItem::SetToFolder() {
    if (IsFolderWithArray()) {
        DOV_TRACE(m_strTracePath,
                  "※　既にフォルダになっています。CMyItem::SetToFolder()\n\t位置：%s\n",
                  PosOf(this).c_str());
        return 0;
    }
    try {
        std::unique_ptr<CMyPartsArray> fresh;
        if (!m_pArray) fresh = std::make_unique<CMyPartsArray>();
        CMyPartsArray& a = fresh ? *fresh : *m_pArray;
        a.m_strTracePath = m_strTracePath;
        a.m_pOwner = this;
        a.m_iLayer = m_iLayer;
        if (fresh) m_pArray = std::move(fresh);
        m_bIsFolder = 1;
        m_iFileNum = 0;
        m_iFoldNum = 0;
        m_dwNumInFolder = 0;
        return 0;
    } catch (...) {
        DOV_TRACE(m_strTracePath, "※　CMyItem::SetToFolder()　でメモリ確保不能\n\t位置：%s\n",
                  PosOf(this).c_str());
        return -1;
    }
}

int CMyItem::ChangeToFolderByForce() {
    m_pArray.reset();  // every sub-item goes with it
    m_iFileNum = 0;
    m_iFoldNum = 0;
    m_dwNumInFolder = 0;
    if (SetToFolder() != 0) {
        DOV_TRACE(m_strTracePath,
                  "※　CMyItem::ChangeToFolderByForce()　でメモリ確保不能\n\t位置：%s\n",
                  PosOf(this).c_str());
        return -1;
    }
    return 0;
}

// ---- Sub-items -------------------------------------------------------------------------------

CMyItem* CMyItem::MakeSubFold() {
    return MakeSub(true);
}

CMyItem* CMyItem::MakeSubFile() {
    return MakeSub(false);
}

CMyItem* CMyItem::AddEntrySub(std::unique_ptr<CMyItem> pItem) {
    if (!pItem) return nullptr;
    const bool folder = pItem->m_bIsFolder != 0;
    return MakeSub(folder, std::move(pItem));
}

CMyItem* CMyItem::MakeSub(bool folder, std::unique_ptr<CMyItem> filled) {
    const char* where = folder ? "CMyItem::MakeSubFold()" : "CMyItem::MakeSubFile()";
    if (!IsFolderWithArray()) {
        DOV_TRACE(m_strTracePath, "※　フォルダではないので追加できません。%s\n\t位置：%s\n", where,
                  PosOf(this).c_str());
        return nullptr;
    }
    std::int32_t& num = folder ? m_iFoldNum : m_iFileNum;
    if (num >= kMaxSubItemNum) {
        DOV_TRACE(m_strTracePath,
                  folder ? "※　フォルダ数が多すぎで追加拒否します。%s\n\t\t\tCur/Max=[%d]/[%d]\n"
                         : "※　ファイル数が多すぎで追加拒否します。%s\n\t\t\tCur/Max=[%d]/[%d]\n",
                  where, num, kMaxSubItemNum);
        return nullptr;
    }
    CMyItem* p = folder ? m_pArray->MakeNewFolder(std::move(filled))
                        : m_pArray->MakeNewFile(std::move(filled));
    if (!p) return nullptr;
    // Files made while m_bReadingSubItems is set are not counted here.
    if (folder || !m_bReadingSubItems) {
        ++num;
        ++m_dwNumInFolder;
    }
    return p;
}

CMyItem* CMyItem::GetSubItem(int index) const {
    if (!m_pArray || index < 0 || static_cast<std::int64_t>(index) >= m_dwNumInFolder) {
        DOV_TRACE(m_strTracePath, "\n※　指定位置は範囲外です。 CMyItem::GetSubItem( Index= %d )\n",
                  index);
        return nullptr;
    }
    return m_pArray->GetAt(index);
}

int CMyItem::DeleteSubItem(int iIndex) {
    if (!IsFolderWithArray() || iIndex < 0 ||
        static_cast<std::int64_t>(iIndex) >= m_dwNumInFolder) {
        DOV_TRACE(m_strTracePath,
                  "※　削除する位置が範囲外です。CMyItem::DeleteSubItem( Index= %d )\n\t位置：%s\n",
                  iIndex, PosOf(this).c_str());
        return -1;
    }
    const CMyItem* p = m_pArray->GetAt(iIndex);
    if (!p) {
        DOV_TRACE(m_strTracePath,
                  "※　削除する位置のアイテムが無効です。CMyItem::DeleteSubItem( Index= %d )\n",
                  iIndex);
        return -1;
    }
    const bool folder = p->m_bIsFolder != 0;
    if (m_pArray->DeleteItem(iIndex) != 0) return -1;
    if (m_dwNumInFolder > 0) --m_dwNumInFolder;
    LowerCount(folder ? m_iFoldNum : m_iFileNum);
    return 0;
}

int CMyItem::AddItem(CMyItem* pItem) {
    if (!pItem || !IsFolderWithArray()) {
        DOV_TRACE(m_strTracePath,
                  "※　引数が無効か、フォルダではありません。CMyItem::AddItem()\n\t位置：%s\n",
                  PosOf(this).c_str());
        return 0;
    }
    const bool folder = pItem->m_bIsFolder != 0;
    if (m_pArray->AddParts(pItem) != 0) return 0;  // the caller keeps the item
    ++m_dwNumInFolder;
    ++(folder ? m_iFoldNum : m_iFileNum);
    if (static_cast<std::int64_t>(m_dwNumInFolder) !=
        static_cast<std::int64_t>(m_iFileNum) + m_iFoldNum) {
        DOV_TRACE(m_strTracePath,
                  "※　サブアイテムの数情報が異常です。FindAndClearSubItem()\n\tdwNumInFolder= %d  "
                  "/  iFileNum= %d  / iFoldNum= %d\n",
                  static_cast<int>(m_dwNumInFolder), m_iFileNum, m_iFoldNum);
        return 0;
    }
    return 1;
}

int CMyItem::AddItems(int iCount, const std::vector<CMyItem*>& items) {
    if (!IsFolderWithArray() || iCount < 0 || items.size() < static_cast<std::size_t>(iCount)) {
        DOV_TRACE(m_strTracePath, "※　引数が無効です。CMyItem::AddItems( Count= %d )\n\t位置：%s\n",
                  iCount, PosOf(this).c_str());
        return -1;
    }
    int skipped = 0;
    for (int i = 0; i < iCount; ++i) {
        CMyItem* p = items[static_cast<std::size_t>(i)];
        if (!p || m_pArray->AddParts(p) != 0) {  // skipped entries stay the caller's
            ++skipped;
            continue;
        }
        ++m_dwNumInFolder;
        ++(p->m_bIsFolder ? m_iFoldNum : m_iFileNum);
        p->SubItemLayerReCalc(m_iLayer + 1);
    }
    if (skipped > 0) {
        DOV_TRACE(m_strTracePath,
                  "※　追加できないアイテムが有りました。CMyItem::AddItems()\n\tdwNumInFolder= %d  "
                  "/  iFileNum= %d  / iFoldNum= %d\n\t位置：%s\n",
                  static_cast<int>(m_dwNumInFolder), m_iFileNum, m_iFoldNum, PosOf(this).c_str());
    }
    return 0;
}

int CMyItem::ClearSubItems(int iCount, const std::vector<int>& positions,
                           std::vector<CMyItem*>* pTaken) {
    if (!IsFolderWithArray() || iCount < 0 || static_cast<std::size_t>(iCount) > positions.size() ||
        static_cast<std::int64_t>(iCount) > m_dwNumInFolder) {
        DOV_TRACE(m_strTracePath,
                  "※　クリアする数が異常です。CMyItem::ClearSubItems()\n\t\tCount[%d]  "
                  "dwNumInFolder[%d]\n\t位置：%s\n",
                  iCount, static_cast<int>(m_dwNumInFolder), PosOf(this).c_str());
        return -1;
    }
    int folds = 0;
    int files = 0;
    if (m_pArray->ClearSubItems(iCount, positions, &folds, &files, pTaken) != 0) return -1;
    const int taken = folds + files;
    if (static_cast<std::int64_t>(taken) > m_dwNumInFolder) {
        DOV_TRACE(m_strTracePath,
                  "※　サブアイテムの数情報が異常です。ClearSubItems()\n\tdwNumInFolder= %d  /  "
                  "iFileNum= %d  / iFoldNum= %d\n",
                  static_cast<int>(m_dwNumInFolder), m_iFileNum, m_iFoldNum);
        m_dwNumInFolder = 0;
        m_iFileNum = 0;
        m_iFoldNum = 0;
        return -1;
    }
    m_dwNumInFolder -= static_cast<std::uint32_t>(taken);
    LowerCount(m_iFileNum, files);
    LowerCount(m_iFoldNum, folds);
    return 0;
}

int CMyItem::FindSubItemPos(const CMyItem* pItem) const {
    if (!pItem || !IsFolderWithArray()) {
        DOV_TRACE(
            m_strTracePath,
            "※　引数が無効か、フォルダではありません。CMyItem::FindSubItemPos()\n\t位置：%s\n",
            PosOf(this).c_str());
        return -1;
    }
    for (int i = 0; i < m_pArray->m_dwPartsNum; ++i) {
        if (m_pArray->GetAt(i) == pItem) return i;
    }
    return -1;
}

int CMyItem::FindAndClearSubItem(CMyItem* pItem) {
    const int pos = FindSubItemPos(pItem);
    if (pos < 0) return 0;
    const bool folder = pItem->m_bIsFolder != 0;
    if (m_pArray->ClearItem(pos) != 1) {
        DOV_TRACE(m_strTracePath,
                  "※　配列からのクリアに失敗。CMyItem::FindAndClearSubItem()\n\t位置：%s\n",
                  PosOf(this).c_str());
        return 0;
    }
    // The item is the caller's from here on.
    if (m_dwNumInFolder > 0) --m_dwNumInFolder;
    LowerCount(folder ? m_iFoldNum : m_iFileNum);
    if (static_cast<std::int64_t>(m_dwNumInFolder) !=
        static_cast<std::int64_t>(m_iFileNum) + m_iFoldNum) {
        DOV_TRACE(m_strTracePath,
                  "※　サブアイテムの数情報が異常です。FindAndClearSubItem()\n\tdwNumInFolder= %d  "
                  "/  iFileNum= %d  / iFoldNum= %d\n",
                  static_cast<int>(m_dwNumInFolder), m_iFileNum, m_iFoldNum);
        return 0;
    }
    return 1;
}

int CMyItem::SwapSubItems(int iDistPos, int iDepPos) {
    const auto inRange = [this](int i) {
        return i >= 0 && static_cast<std::int64_t>(i) < m_dwNumInFolder &&
               i < m_pArray->m_dwPartsNum;
    };
    if (!IsFolderWithArray() || !inRange(iDistPos) || !inRange(iDepPos)) {
        DOV_TRACE(m_strTracePath,
                  "※　交換する位置が範囲外です。CMyItem::SwapSubItems( Dist= %d , Dep= %d "
                  ")\n\t位置：%s\n",
                  iDistPos, iDepPos, PosOf(this).c_str());
        return -1;
    }
    auto& a = m_pArray->m_arParts[static_cast<std::size_t>(iDistPos)];
    auto& b = m_pArray->m_arParts[static_cast<std::size_t>(iDepPos)];
    a.swap(b);
    if (a) a->m_iArrayIndex = iDistPos;
    if (b) b->m_iArrayIndex = iDepPos;
    return 0;
}

namespace {

bool SameMoveShape(const CMyMoveInfo& a, const CMyMoveInfo& b) {
    return a.iRangeTop == b.iRangeTop && a.iRangeEnd == b.iRangeEnd && a.iDragSize == b.iDragSize &&
           a.iFirstFileNum == b.iFirstFileNum && a.iFirstFoldNum == b.iFirstFoldNum &&
           a.iLastFileNum == b.iLastFileNum && a.iLastFoldNum == b.iLastFoldNum &&
           a.iDropPos == b.iDropPos && a.iDropEnd == b.iDropEnd &&
           a.iFirstSelected == b.iFirstSelected && a.iForwardMoveSize == b.iForwardMoveSize &&
           a.iBackMoveSize == b.iBackMoveSize;
}

}  // namespace

int CMyItem::MoveSubItems(CMyMoveInfo& info, const std::vector<int>& positions,
                          const std::vector<CMyItem*>& items) {
    if (!IsFolderWithArray()) {
        DOV_TRACE(m_strTracePath,
                  "※　フォルダではありません。CMyItem::MoveSubItems()\n\t位置：%s\n",
                  PosOf(this).c_str());
        return -1;
    }
    CMyPartsArray& a = *m_pArray;
    // Everything is checked before anything moves: the description must be the one the
    // selection and drop position give, and the items must be the ones at the positions.
    CMyMoveInfo expect;
    bool ok = a.MakeMoveInfo(positions, info.iDropPos, expect) == 0 &&
              SameMoveShape(info, expect) && items.size() >= positions.size();
    for (std::size_t k = 0; ok && k < positions.size(); ++k) ok = a.GetAt(positions[k]) == items[k];
    for (int i = expect.iRangeTop; ok && i <= expect.iRangeEnd; ++i) ok = a.GetAt(i) != nullptr;
    if (!ok) {
        DOV_TRACE(m_strTracePath,
                  "※　移動情報が異常です。CMyItem::MoveSubItems()\n\t\tDragSize[%d]  "
                  "DropPos[%d]\n\t位置：%s\n",
                  static_cast<int>(positions.size()), info.iDropPos, PosOf(this).c_str());
        return -1;
    }
    // The undo record and the list of items whose write names change: the range.
    std::vector<CMyItem*> saved;
    std::vector<std::int32_t> savedKind;
    try {
        saved.reserve(static_cast<std::size_t>(info.iRangeEnd - info.iRangeTop + 1));
        savedKind.reserve(saved.capacity());
    } catch (...) {
        DOV_TRACE(m_strTracePath, "※　CMyItem::MoveSubItems()　でメモリ確保不能\n\t位置：%s\n",
                  PosOf(this).c_str());
        return -1;
    }
    for (int i = info.iRangeTop; i <= info.iRangeEnd; ++i) {
        saved.push_back(a.GetAt(i));
        savedKind.push_back(saved.back()->m_iKindIndex);
    }

    info.iNextFoldNum = info.iFirstFoldNum;
    info.iNextFileNum = info.iFirstFileNum;
    a.m_bDeferNames = true;
    a.SignSelectedItems(static_cast<int>(positions.size()), positions);
    if (info.iForwardMoveSize > 0) a.MoveNonSelectedItemsToFoward(info);
    if (info.iBackMoveSize > 0) a.MoveItemToBackFromEnd(info);
    a.BackDragItems(info, items);
    a.m_bDeferNames = false;

    // The write names of the range, all or nothing.
    try {
        std::vector<std::string> newNames(saved.size()), writeNames(saved.size());
        for (int i = info.iRangeTop; i <= info.iRangeEnd; ++i) {
            CMyItem* p = a.GetAt(i);
            const auto k = static_cast<std::size_t>(i - info.iRangeTop);
            p->BuildWriteName(p->m_iKindIndex, p->m_iLayer, newNames[k], writeNames[k]);
        }
        for (int i = info.iRangeTop; i <= info.iRangeEnd; ++i) {
            const auto k = static_cast<std::size_t>(i - info.iRangeTop);
            a.GetAt(i)->CommitNames(newNames[k], writeNames[k]);
        }
    } catch (...) {
        // Put the range back as it was.
        for (int i = info.iRangeTop; i <= info.iRangeEnd; ++i)
            (void)a.m_arParts[static_cast<std::size_t>(i)].release();
        for (int i = info.iRangeTop; i <= info.iRangeEnd; ++i) {
            const auto k = static_cast<std::size_t>(i - info.iRangeTop);
            a.m_arParts[static_cast<std::size_t>(i)].reset(saved[k]);
            saved[k]->m_iArrayIndex = i;
            saved[k]->m_iKindIndex = savedKind[k];
        }
        DOV_TRACE(m_strTracePath, "※　CMyItem::MoveSubItems()　でメモリ確保不能\n\t位置：%s\n",
                  PosOf(this).c_str());
        return -1;
    }
    return 0;
}

int CMyItem::MoveSubItems(const std::vector<int>& positions, int iDropPos) {
    if (!IsFolderWithArray()) {
        DOV_TRACE(m_strTracePath,
                  "※　フォルダではありません。CMyItem::MoveSubItems()\n\t位置：%s\n",
                  PosOf(this).c_str());
        return -1;
    }
    if (positions.empty()) return 0;
    CMyMoveInfo info;
    if (m_pArray->MakeMoveInfo(positions, iDropPos, info) != 0) return -1;
    std::vector<CMyItem*> items;
    try {
        items.reserve(positions.size());
    } catch (...) {
        DOV_TRACE(m_strTracePath, "※　CMyItem::MoveSubItems()　でメモリ確保不能\n\t位置：%s\n",
                  PosOf(this).c_str());
        return -1;
    }
    for (int s : positions) items.push_back(m_pArray->GetAt(s));
    return MoveSubItems(info, positions, items);
}

void CMyItem::RenumberSubItems() {
    if (!m_pArray) return;
    std::int32_t files = 0;
    std::int32_t folds = 0;
    for (int i = 0; i < m_pArray->m_dwPartsNum; ++i) {
        CMyItem* p = m_pArray->GetAt(i);
        if (!p) continue;
        p->m_iKindIndex = p->m_bIsFolder ? folds++ : files++;
        p->m_iArrayIndex = i;
        p->UpdateWriteName();  // the index prefix follows the number (a failure is traced)
    }
}

void CMyItem::SubItemLayerReCalc(int NewLayer) {
    if (NewLayer < 0) {
        DOV_TRACE(m_strTracePath,
                  "※　レイヤー値が負です。CMyItem::SubItemLayerReCalc( NewLayer= %d )\n", NewLayer);
        NewLayer = 0;
    }
    m_iLayer = NewLayer;
    if (m_bIsFolder && m_pArray) {
        m_pArray->m_iLayer = NewLayer;
        m_pArray->SubItemLayerReCalc(NewLayer);
    }
}

// ---- Names and positions ---------------------------------------------------------------------

void CMyItem::GetPosString(std::string& str) const {
    try {
        // Walk up to the root (or to the end of the chain) and build the string top down; a
        // missing parent anywhere above layer 0 means nothing at all is appended.
        std::vector<const CMyItem*> chain;
        for (const CMyItem* p = this; p; p = p->m_iLayer > 0 ? p->m_pParent : nullptr) {
            chain.push_back(p);
            if (p->m_iLayer > 0 && !p->m_pParent) return;
        }
        std::string out;
        char buf[48];
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const CMyItem* p = *it;
            std::snprintf(buf, sizeof buf, p->m_bIsFolder ? "/L%d_F%d" : "/L%d_%d", p->m_iLayer,
                          p->m_iKindIndex);
            out += buf;
        }
        str += out;
    } catch (...) {
        // Out of memory: nothing appended.
    }
}

std::string CMyItem::PosString() const {
    std::string s;
    GetPosString(s);
    return s;
}

void CMyItem::BuildIndexName(int iKind, std::string& newName, std::string& writeName) const {
    // An empty new name becomes the original name; otherwise it stays (newName left empty).
    const std::string& name = m_strNewName.empty() ? m_strOrgName : m_strNewName;
    char buf[32];
    if (name.empty()) {
        std::snprintf(buf, sizeof buf, "%03d__NoName_", iKind);
        writeName = buf;
    } else {
        std::snprintf(buf, sizeof buf, "%03d_", iKind);
        writeName.reserve(std::char_traits<char>::length(buf) + name.size());
        writeName = buf;
        writeName += name;
    }
    if (m_strNewName.empty()) {
        newName = m_strOrgName;
    } else {
        newName.clear();
    }
}

void CMyItem::BuildWriteName(int iKind, int iLayer, std::string& newName,
                             std::string& writeName) const {
    if (m_bNoAutoIndex != 1 && iLayer != 0) {
        BuildIndexName(iKind, newName, writeName);
    } else {
        newName.clear();  // the new name stays
        writeName = m_strNewName;
    }
}

void CMyItem::UpdateWriteName() {
    try {
        if (m_bNoAutoIndex == 1 || m_iLayer == 0) {
            // The write name is the new name as it stands (the usual case): copied in place.
            m_strWriteName = m_strNewName;
            return;
        }
        std::string n, w;
        BuildWriteName(m_iKindIndex, m_iLayer, n, w);
        CommitNames(n, w);
    } catch (...) {
        DOV_TRACE(m_strTracePath, "※　CMyItem::UpdateWriteName()　でメモリ確保不能\n\t位置：%s\n",
                  PosOf(this).c_str());
    }
}

void CMyItem::MakeIndexName() {
    try {
        std::string n, w;
        BuildIndexName(m_iKindIndex, n, w);
        CommitNames(n, w);
    } catch (...) {
        DOV_TRACE(m_strTracePath, "※　CMyItem::MakeIndexName()　でメモリ確保不能\n\t位置：%s\n",
                  PosOf(this).c_str());
    }
}

void CMyItem::SetWriteMode(bool bAutoIndex) {
    m_bNoAutoIndex = bAutoIndex ? 0 : 1;
    UpdateWriteName();
    if (!m_pArray) return;
    for (int i = 0; i < m_pArray->m_dwPartsNum; ++i) {
        if (CMyItem* p = m_pArray->GetAt(i)) p->SetWriteMode(bAutoIndex);
    }
}

int CMyItem::GetExtPos(int which) const {
    const std::string* s = which == 0   ? &m_strOrgName
                           : which == 1 ? &m_strNewName
                           : which == 2 ? &m_strWriteName
                                        : nullptr;
    if (!s || s->empty()) return -1;
    const int pos = FindLastCharDbcs(*s, '.');
    if (pos < 0) return -1;
    const std::size_t tail = s->size() - static_cast<std::size_t>(pos) - 1;
    if (tail == 0 || tail > 4) return -1;
    return pos;
}

void CMyItem::CutExtension() {
    const int pos = FindLastCharDbcs(m_strNewName, '.');
    if (pos <= 0) return;
    const std::size_t tail = m_strNewName.size() - static_cast<std::size_t>(pos) - 1;
    if (tail >= 1 && tail <= 4) m_strNewName.erase(static_cast<std::size_t>(pos));
}

namespace {
std::atomic<bool> g_allowLinuxNames{false};
}  // namespace

void CMyItem::SetAllowLinuxNames(bool allow) {
    g_allowLinuxNames.store(allow, std::memory_order_relaxed);
}

bool CMyItem::AllowLinuxNames() {
    return g_allowLinuxNames.load(std::memory_order_relaxed);
}

namespace {

// The single-byte characters a name may not hold (NUL included).
constexpr std::array<bool, 0x80> RefusedBytes() {
    std::array<bool, 0x80> t{};
    for (char c : {'\0', '\\', '/', ':', ',', ';', '*', '?', '<', '>', '|'})
        t[static_cast<unsigned char>(c)] = true;
    return t;
}
constexpr std::array<bool, 0x80> kRefusedByte = RefusedBytes();

}  // namespace

bool CMyItem::IsUsableNameString(const std::string& s) {
    // '/' and NUL are never part of a character of more than one byte, so the plain searches
    // answer the stepping one.
    if (AllowLinuxNames())
        return s.find('\0') == std::string::npos && s.find('/') == std::string::npos;
    // One walk over the characters; characters of more than one byte are stepped over whole
    // (none of their bytes is NUL), so every NUL byte is seen as a character of its own.
    for (std::size_t p = 0; p < s.size();) {
        const auto c = static_cast<unsigned char>(s[p]);
        if (c < 0x80) {
            if (kRefusedByte[c]) return false;
            ++p;
        } else {
            p += SjisCharLen(s, p);
        }
    }
    return true;
}

int CMyItem::CheckInvalidString(const std::string* pStr) const {
    if (!pStr) {
        DOV_TRACE(m_strTracePath, "※　無効な引数。CheckInvalidChar\n");
        return 0;
    }
    return IsUsableNameString(*pStr) ? 1 : 0;
}

bool CMyItem::NameRefused() const {
    if (m_strNewName.empty() && m_bNoAutoIndex == 1) return true;
    return m_strNewName != m_strOrgName && !IsUsableNameString(m_strNewName);
}

int CMyItem::CheckInvalidChar() {
    if (m_strNewName.empty() && m_bNoAutoIndex == 1) {
        DOV_TRACE(m_strTracePath, "※　ファイル名のサイズが０です。[%s]\n\t位置：%s\n",
                  m_strOrgName.c_str(), PosOf(this).c_str());
        return 0;
    }
    // An unchanged name of a loaded entry already exists on this disk.
    if (m_strNewName != m_strOrgName && CheckInvalidString(&m_strNewName) != 1) {
        DOV_TRACE(m_strTracePath, "※　無効な文字が含まれています。[%s]\n\t位置：%s\n",
                  m_strNewName.c_str(), PosOf(this).c_str());
        return 0;
    }
    if (!m_bIsFolder || !m_pArray) return 1;
    for (int i = 0; i < m_pArray->m_dwPartsNum; ++i) {
        CMyItem* p = m_pArray->GetAt(i);
        if (!p) {
            DOV_TRACE(m_strTracePath,
                      "※　サブアイテムが無効です。CheckInvalidChar()\n\t位置：%s  添え字[%d]\n",
                      PosOf(this).c_str(), i);
            return 0;
        }
        if (p->CheckInvalidChar() != 1) return 0;
    }
    return 1;
}

int CMyItem::CheckDepth() {
    // Every path the program keeps is absolute; anything else is malformed.
    if (m_strOrgPath.empty() || m_strOrgPath[0] != '/') {
        DOV_TRACE(m_strTracePath, "※　パスが絶対パスではありません。[%s] CheckDepth()\n",
                  m_strOrgPath.c_str());
        return 0;
    }
    const int count = dov::CountSeparators(m_strOrgPath, kMaxItemDepth);
    m_byDepth = static_cast<std::uint8_t>(count);
    DOV_TRACE(m_strTracePath, "○　新規アイテム \"%s\" の深さは %d です。CheckDepth()\n",
              m_strOrgPath.c_str(), count);
    return count < kMaxItemDepth ? 1 : 0;
}

// ---- Counting and sizes ----------------------------------------------------------------------

int CMyItem::GetTotalItemNum() const {
    if (!m_bIsFolder || !m_pArray) return 0;
    int total = 0;
    for (int i = 0; i < m_pArray->m_dwPartsNum; ++i) {
        if (const CMyItem* p = m_pArray->GetAt(i)) total += 1 + p->GetTotalItemNum();
    }
    return total;
}

int CMyItem::GetTotalFileNum() const {
    if (!m_bIsFolder || !m_pArray) return 0;
    return m_pArray->GetTotalFileNum();
}

int CMyItem::GetFolderNum() const {
    if (!m_bIsFolder) return 0;
    return 1 + (m_pArray ? m_pArray->GetTotalFoldNum() : 0);
}

void CMyItem::GetFoldSize64(std::uint32_t* pHigh, std::uint32_t* pLow) const {
    if (!pHigh || !pLow) {
        DOV_TRACE(m_strTracePath, "※　引数が無効です。CMyItem::GetFoldSize64()\n");
        return;
    }
    if (!m_bIsFolder) {
        *pHigh = m_findData.nFileSizeHigh;
        *pLow = m_findData.nFileSizeLow;
        return;
    }
    *pHigh = 0;
    *pLow = 0;
    if (!m_pArray) return;
    for (int i = 0; i < m_pArray->m_dwPartsNum; ++i) {
        const CMyItem* p = m_pArray->GetAt(i);
        if (!p) {
            DOV_TRACE(
                m_strTracePath,
                "※　配列中に無効なポインタが有りました。CMyItem::GetFoldSize64()  添え字[%d]\n", i);
            continue;
        }
        std::uint32_t h = 0;
        std::uint32_t l = 0;
        p->GetFoldSize64(&h, &l);
        AddSize64(*pHigh, *pLow, h, l);
    }
}

// ---- The root --------------------------------------------------------------------------------

std::unique_ptr<CMyItem> MakeRootItem(const std::string& tracePath, bool autoIndex) {
    try {
        auto root = std::make_unique<CMyItem>();
        root->m_strTracePath = tracePath;
        if (root->SetToFolder() != 0) return nullptr;
        root->m_strOrgName = "Root";
        root->m_strNewName = "Root";
        root->m_bNoAutoIndex = autoIndex ? 0 : 1;
        root->UpdateWriteName();
        return root;
    } catch (...) {
        return nullptr;
    }
}
