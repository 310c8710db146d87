// CMyDepthInfo: every item of the edit tree below the root with its depth (the number of '/'
// in its full path), sorted so that a walk from the last entry meets the deepest items first.
// User-made folders get depth 0 and are reached last.
//
// The index does not own the items; it is valid while the tree is not edited (one rename run).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CMyItem;

class CMyDepthInfo {
  public:
    // Both arrays start with this many entries and grow by as many.
    static constexpr int kGrowBy = 3000;

    // tracePath: where trace lines go (empty: the program's trace file).
    explicit CMyDepthInfo(std::string tracePath = {});

    // Computes the item's depth and appends (depth, item). false for a missing item, a depth
    // that cannot be computed or one of 255 or more, or exhausted memory.
    bool SetAndCheckItem(CMyItem* pItem);
    // The depth of the item ('/' count of m_strOrgPath, double-byte aware; 0 for a user-made
    // folder at layer 2 or deeper), written to *pbyDepth and to the item's m_byDepth.
    // On failure *pbyDepth is 0.
    bool CheckDepthByParentPath(CMyItem* pItem, std::uint8_t* pbyDepth);
    void ResetIndex() { m_iItemNum = 0; }
    // Quicksort with Hoare partitioning by ascending depth; the order it leaves among equal
    // depths is the rename order.
    bool SortByDepth();
    // The item of entry index, or nullptr (with a trace line) outside 0 .. m_iItemNum - 1.
    CMyItem* GetItemADRS(int index) const;
    int GetItemNum() const { return m_iItemNum; }
    // The depth of entry index (0 outside the entries).
    std::uint8_t GetDepth(int index) const;

    const std::string& TracePath() const { return m_strTracePath; }
    void SetTracePath(std::string path) { m_strTracePath = std::move(path); }

    std::vector<std::uint8_t> m_arDepth;
    std::vector<CMyItem*> m_arItem;
    int m_iItemNum = 0;

  private:
    void QuickSort(int lo, int hi);
    std::string m_strTracePath;
    std::vector<CMyItem*> m_scratch;  // used while sorting
};
