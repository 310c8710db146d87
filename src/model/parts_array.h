// CMyPartsArray: the owning, ordered array of one folder item's sub-items,
// and CMyMoveInfo, the description of a drag move within one folder.
//
// Slots 0 .. m_dwPartsNum - 1 hold the items in display order; later slots are empty, except
// during the steps of ClearSubItems and of the drag move, which empty slots first and close the
// gaps afterwards.
//
// Ownership (RAII): every item in a slot is owned by the array (std::unique_ptr). DeleteItem and
// the destructor delete items. ClearItem, ClearSubItems and SignSelectedItems only EMPTY slots:
// the items taken out become the CALLER's (raw pointers it must have fetched before, or that
// ClearSubItems hands back through pTaken). AddParts takes ownership of the item it stores
// (result 0); on -1 the caller keeps it. BackDragItems takes the dragged items back.
//
// The folder item calls the array through its own operations (CMyItem) and keeps the sub-item
// counts; the array keeps only its own entry count. Prefer the CMyItem operations: they keep the
// owner's counts in step.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/item.h"

// What the four drag steps read and carry. Made by
// CMyPartsArray::MakeMoveInfo; kind numbers are -1 where the range holds no item of that kind.
struct CMyMoveInfo {
    std::int32_t iNextFoldNum = -1;     // next folder kind number, carried through the steps
    std::int32_t iNextFileNum = -1;     // next file kind number, carried through the steps
    std::int32_t iRangeTop = 0;         // min(s(0), d)
    std::int32_t iRangeEnd = 0;         // max(s(n-1), d + n - 1)
    std::int32_t iDragSize = 0;         // n
    std::int32_t iFirstFileNum = -1;    // kind number of the first file in the range
    std::int32_t iFirstFoldNum = -1;    // kind number of the first folder in the range
    std::int32_t iLastFileNum = -1;     // kind number of the last file in the range
    std::int32_t iLastFoldNum = -1;     // kind number of the last folder in the range
    std::int32_t iDropPos = 0;          // d (after clamping)
    std::int32_t iDropEnd = 0;          // d + n - 1
    std::int32_t iFirstSelected = 0;    // s(0)
    std::int32_t iForwardMoveSize = 0;  // d - s(0) when s(0) < d, else 0
    std::int32_t iBackMoveSize = 0;     // s(n-1) - (d + n - 1) when d + n - 1 < s(n-1), else 0
    std::int32_t iNextPos = 0;          // output of each step
};

class CMyPartsArray {
  public:
    // Slots allocated at once and per growth step.
    static constexpr std::int32_t kGrowBy = 2000;

    CMyPartsArray();
    // Deletes every item, from the last entry to the first, then empties all slots.
    virtual ~CMyPartsArray();
    CMyPartsArray(const CMyPartsArray&) = delete;
    CMyPartsArray& operator=(const CMyPartsArray&) = delete;

    // ---- Fields, in declaration order ----------------------------------------------------
    std::int32_t m_iClearFoldNum = 0;    // folders taken out by the last ClearSubItems
    std::int32_t m_iClearFileNum = 0;    // files taken out by the last ClearSubItems
    std::int32_t m_iClearFileTop = 0;    // kind number of the first file taken out
    std::int32_t m_iClearFoldTop = 0;    // kind number of the first folder taken out
    std::int32_t m_iClearFileEnd = 0;    // kind number of the last file taken out
    std::int32_t m_iClearFoldEnd = 0;    // kind number of the last folder taken out
    dov::SharedText m_strTracePath;      // copied from the owner; new items share it
    std::int32_t m_iLayer = 0;           // the owner's layer; new items get this + 1
    CMyItem* m_pOwner = nullptr;         // the folder item that owns the array (non-owning ref)
    std::int32_t m_dwPartsNum = 0;       // entries in use ("dwPartsNum")
    std::int32_t m_iCapacity = kGrowBy;  // slots allocated (nominally 2000 before the first add)
    // The slots. Storage is allocated on the first AddParts (2000 slots) and grows by 2000;
    // m_arParts.size() is the number of allocated slots.
    std::vector<std::unique_ptr<CMyItem>> m_arParts;

    // ---- Access (no trace) ---------------------------------------------------------------

    // The item in slot index, or nullptr for an empty slot or an index outside the slots.
    CMyItem* GetAt(int index) const;
    int GetSize() const { return m_dwPartsNum; }

    // ---- Making items (each returns the new item, already appended, or nullptr) ----------

    // A folder item "新規フォルダ_%03d" (owner's m_iFoldNum), parent/view/trace path/kind
    // number/position/add order/layer/write mode from the owner. The owner counts it.
    // Given an item already filled from a disk entry, that one is made the folder and keeps its
    // names and records.
    CMyItem* MakeNewFolder(std::unique_ptr<CMyItem> filled = nullptr);
    // A file item with empty names, filled by the caller. The owner counts it. Given an item
    // already filled from a disk entry, that one is appended and keeps its names and records.
    CMyItem* MakeNewFile(std::unique_ptr<CMyItem> filled = nullptr);

    // ---- Adding, removing and counting ---------------------------------------------------

    // Stores pParts in slot m_dwPartsNum (growing by 2000 when full) and takes ownership;
    // with an owner, sets its parent, position, kind number (the owner's count of its kind as
    // it stands), layer and write name. 0, or -1 with a trace line (null, out of memory: the
    // caller keeps the item).
    int AddParts(CMyItem* pParts);

    // Makes room for exactly n slots at once when fewer are allocated (used when the number of
    // items to come is known, as in a save file, so a folder of one item does not take a whole
    // step of slots). 0, or -1 when memory runs out (nothing changes).
    int ReserveSlots(std::int32_t n);

    // Deletes the item at index (with its subtree), moves later entries down, lowers the kind
    // number of later items of the same kind. 0; -1 for an empty array, an index out of range
    // or an empty slot (trace line, no change). The owner renumbers afterwards.
    int DeleteItem(int index);

    // Takes the item at 0 <= index < m_dwPartsNum out (not deleted: the CALLER owns it) and
    // closes the gap; nothing is renumbered. 1, or 0 with a trace line.
    int ClearItem(int index);

    // Takes the items at the first iCount listed positions (ascending) out without deleting
    // them, closes the gaps and renumbers the moved items of the kinds taken out. *piFoldNum /
    // *piFileNum get the folders / files taken out. The taken items become the CALLER's; when
    // pTaken is given they are appended to it in list order. 0, or -1 (trace line) for a null out
    // value, iCount < 0 or iCount > positions.size().
    int ClearSubItems(int iCount, const std::vector<int>& positions, int* piFoldNum, int* piFileNum,
                      std::vector<CMyItem*>* pTaken = nullptr);

    int GetTotalFileNum() const;  // files in the whole subtree below the owner
    int GetTotalFoldNum() const;  // folders in the whole subtree below the owner

    // SubItemLayerReCalc(iLayer + 1) on every entry. (The array's own m_iLayer is set by the
    // owner.)
    void SubItemLayerReCalc(int iLayer);

    // ---- The drag move (CMyItem::MoveSubItems runs these in order) ------------------------

    // Fills info from the selected positions (ascending, distinct, all < m_dwPartsNum) and the
    // drop position d (>= 0; clamped to m_dwPartsNum - n when d + n > m_dwPartsNum), scanning
    // the range once for the kind numbers. 0, or -1 with a trace line for a bad selection or
    // d < 0 (info untouched). An empty selection is refused too.
    int MakeMoveInfo(const std::vector<int>& positions, int iDropPos, CMyMoveInfo& info) const;

    // Step 1: empties the slots at the first iCount listed positions, last to first. The items
    // become the CALLER's until BackDragItems takes them back. 0 (also for iCount <= 0, no
    // change); -1 with a trace line when iCount > m_dwPartsNum or a position is out of range.
    int SignSelectedItems(int iCount, const std::vector<int>& positions);
    // Step 2 (dragged towards the end). 0, or -1 with a trace line.
    int MoveNonSelectedItemsToFoward(CMyMoveInfo& info);
    // Step 3 (dragged towards the start). 0.
    int MoveItemToBackFromEnd(CMyMoveInfo& info);
    // Step 4: puts the dragged items (taking ownership back) into d .. d + n - 1. The position
    // after the last one placed.
    int BackDragItems(CMyMoveInfo& info, const std::vector<CMyItem*>& items);

  private:
    friend class CMyItem;
    // Set by CMyItem::MoveSubItems while it runs the steps: the steps then leave the write
    // names alone, and the owner rebuilds them all at once afterwards (all or nothing).
    bool m_bDeferNames = false;
    // Rebuilds the write name of one moved item unless deferred (a failure is traced).
    void RebuildName(CMyItem* p);
    // Whether slot w can take an item (empty, or already holding p).
    bool SlotFree(int w, const CMyItem* p) const;
};

// The add order of a new sub-item: the owner's files + folders + 1. The counts may hold
// anything while a save file supplies the sub-items (the stored values stand until the records
// have been read), so the sum wraps instead of overflowing.
std::int32_t NextAddOrder(const CMyItem& owner);
