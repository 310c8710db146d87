// CMyItem: one node of the edit tree.
//
// A file or a folder as found on disk, or a folder the user made in the tree. Every field of
// the item record is a public member; every operation returns its documented success and
// failure values. No exception leaves an operation: running out of memory is
// caught inside, traced and reported as the failure value, and nothing half-made stays in the
// tree.
//
// Strings are CP932 byte strings; the path separator is '/'.
//
// Ownership (RAII):
//   - A folder item owns its CMyPartsArray (m_pArray); the array owns the sub-items in its slots
//     (std::unique_ptr). Deleting an item deletes its whole subtree.
//   - ClearSubItems / FindAndClearSubItem take items out WITHOUT deleting them: from then on the
//     CALLER owns them (raw pointers; wrap them in std::unique_ptr or hand them on) until it
//     puts them into a folder again with AddItem / AddItems, which give ownership to that
//     folder's array.
//   - AddItem / AddItems take ownership of exactly the items they append. An item that was not
//     appended (failure) stays the caller's. "Appended" can always be checked afterwards with
//     folder->FindSubItemPos(item) >= 0.
//   - Moving an item between folders: take it out first (FindAndClearSubItem / ClearSubItems),
//     then AddItem / AddItems it. Doing it the other way round (AddItem to the new folder, then
//     FindAndClearSubItem on the old one) also works, but between the two calls both folders
//     hold the item: nothing may delete either folder in between. Adding an item to the folder
//     that already holds it is refused.
//   - m_pParent and m_hTreeItem are non-owning.
//
// Threads: no locks; the view runs at most one worker on the tree at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/fs.h"

class CMyPartsArray;
struct CMyMoveInfo;

namespace dov {

// A text that copies share instead of each holding its own, for the trace file's path that
// every item of a tree holds. It reads as a const std::string; assigning a string gives it a
// text of its own (none when the string is empty).
class SharedText {
  public:
    SharedText() = default;
    SharedText& operator=(const std::string& s) {
        if (s.empty()) {
            p_.reset();
        } else if (!p_ || *p_ != s) {
            p_ = std::make_shared<const std::string>(s);
        }
        return *this;
    }
    SharedText& operator=(std::string&& s) {
        if (s.empty()) {
            p_.reset();
        } else if (!p_ || *p_ != s) {
            p_ = std::make_shared<const std::string>(std::move(s));
        }
        return *this;
    }
    const std::string& str() const { return p_ ? *p_ : Empty(); }
    operator const std::string&() const { return str(); }
    operator std::string_view() const { return str(); }
    bool empty() const { return str().empty(); }
    std::size_t size() const { return str().size(); }
    const char* c_str() const { return str().c_str(); }
    void swap(SharedText& other) noexcept { p_.swap(other.p_); }
    friend bool operator==(const SharedText& a, const SharedText& b) { return a.str() == b.str(); }
    friend bool operator==(const SharedText& a, std::string_view b) {
        return std::string_view(a.str()) == b;
    }

  private:
    static const std::string& Empty() {
        static const std::string empty;
        return empty;
    }
    std::shared_ptr<const std::string> p_;
};

}  // namespace dov

// Most sub-folders and most files one folder accepts through MakeSubFold / MakeSubFile (and the
// most sub-items per folder in a save file).
inline constexpr std::int32_t kMaxSubItemNum = 1073741;
// A path depth of this many separators or more makes CheckDepth fail.
inline constexpr std::int32_t kMaxItemDepth = 254;

class CMyItem {
  public:
    CMyItem();
    // An item without the new-file defaults (empty records), for one whose records are all
    // filled at once from a disk entry (see AddEntrySub).
    struct Blank {};
    explicit CMyItem(Blank);
    // Deletes the sub-item array, which deletes every sub-item.
    virtual ~CMyItem();
    CMyItem(const CMyItem&) = delete;
    CMyItem& operator=(const CMyItem&) = delete;

    // Items are cut from the item arena (model/item_arena.h), not one heap block each.
    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size) noexcept;

    // ---- Fields, in declaration order ----------------------------------------------------
    std::int32_t m_bFolderMade = 0;    // a rename run created the user-made folder on disk
    std::string m_strPrevPath;         // full path before the last rename on disk
    std::int32_t m_bRenameFailed = 0;  // 1: the last rename of this item failed
    std::uint8_t m_byDepth = 0;        // number of '/' in m_strOrgPath, up to 254
    std::int32_t m_bUserMakeFold = 0;  // user-made folder, not on disk yet
    std::int32_t m_bNoAutoIndex = 0;   // 1: write name = new name; 0: "%03d_" prefix below root
    std::int32_t m_iSpare1 = 0;
    std::int32_t m_iSpare2 = 0;
    std::string m_strParentPath;  // disk folder holding the item, no trailing '/'
    void* m_hTreeItem = nullptr;  // opaque: the tree node showing this folder, if any
    std::int32_t m_iSpare3 = 0;
    std::int32_t m_iSpare4 = 0;
    std::int32_t m_iSpare5 = 0;
    dov::SharedText m_strTracePath;  // full path of the trace file (CP932), shared by copies
    dov::RareText m_strSpare;        // kept for the save file; empty nearly always
    std::int32_t m_iSpare6 = 0;
    std::string m_strWriteName;         // the name a rename run writes ("作成ファイル名")
    std::int32_t m_iKindIndex = 0;      // number among the parent's sub-items of the same kind
    std::int32_t m_iAddOrder = -1;      // parent's files + folders + 1 when made
    std::string m_strOrgName;           // original name on disk ("元ファイル名")
    std::string m_strNewName;           // new name being edited ("編集")
    std::string m_strOrgPath;           // original full path on disk
    std::string m_strOrgExt;            // original extension without its dot
    std::string m_strWritePath;         // full path a rename run writes to
    dov::FileStatus m_status;           // file status record
    std::int32_t m_iOrgNameLen = 0;     // bytes of m_strOrgName when loaded
    std::int32_t m_bIsFolder = 0;       // 1 for a folder item
    std::uint32_t m_dwNumInFolder = 0;  // number of sub-items ("dwNumInFolder")
    std::uint32_t m_dwSizeLow = 0;      // low 32 bits of the listed file size
    std::unique_ptr<CMyPartsArray> m_pArray;  // sub-items; present for folders only
    CMyItem* m_pParent = nullptr;             // parent folder item; none for the root
    dov::FindData m_findData;                 // directory-listing record
    std::int32_t m_iLayer = 0;                // 0 for the root, parent's layer + 1 below it
    std::int32_t m_iArrayIndex = 0;           // position in the parent's array
    std::int32_t m_iFileNum = 0;              // number of file sub-items ("iFileNum")
    std::int32_t m_iFoldNum = 0;              // number of folder sub-items ("iFoldNum")
    std::uint32_t m_dwSpare7 = 0;
    std::int32_t m_bReadingSubItems = 0;  // set while a save file supplies the sub-items

    // ---- Construction and defaults -------------------------------------------------------

    // Status times = now, size/attribute 0, path "NewFile.dat"; find-data sizes 0, names
    // "NewFile.dat", attribute 0x80, creation and last access = current local file time,
    // last write and the reserved words 0.
    void ResetToNewFile();

    // ---- Folder state --------------------------------------------------------------------

    // Turns the item into a folder (array made, owner/layer/trace path set, counts 0).
    // Already a folder with an array: nothing changes, a trace line, result 0.
    // Result 0, or -1 when memory ran out (the item stays as it was); callers may ignore it.
    int SetToFolder();

    // Deletes any array with all its sub-items, then SetToFolder with a new array.
    // 0, or -1 (trace line) when memory ran out: the item then has no array.
    int ChangeToFolderByForce();

    // ---- Sub-items (all refuse with a trace line when this is not a folder with an array) --

    // The new folder item ("新規フォルダ_%03d"), appended and counted; nullptr when refused
    // (m_iFoldNum has reached kMaxSubItemNum) or out of memory.
    CMyItem* MakeSubFold();
    // The new (empty-named) file item, appended and counted (not counted while
    // m_bReadingSubItems is set); nullptr when refused (m_iFileNum has reached kMaxSubItemNum)
    // or out of memory.
    CMyItem* MakeSubFile();

    // MakeSubFold (m_bIsFolder set) or MakeSubFile for an entry read from disk: pItem, made
    // Blank, comes with its records, names and paths filled, and gets what those give a new item
    // except the new-item names and defaults; its write name is built as it is appended. The
    // same refusals and trace lines; nullptr when refused or out of memory (pItem is deleted).
    CMyItem* AddEntrySub(std::unique_ptr<CMyItem> pItem);

    // The sub-item at 0 <= index < m_dwNumInFolder; otherwise nullptr and a trace line.
    CMyItem* GetSubItem(int index) const;

    // Deletes the sub-item at iIndex (with its subtree) and closes the gap; the counts drop.
    // The caller renumbers afterwards (RenumberSubItems). Result 0, or -1 when refused (index
    // out of range, not a folder) or the slot was empty; callers may ignore it.
    int DeleteSubItem(int iIndex);

    // Appends an existing item (which the caller owns) and counts it; ownership passes to this
    // folder when it was appended. 1 on success; 0 when refused (no item, this is a file, out
    // of memory: the caller keeps the item) or when afterwards m_dwNumInFolder differs from
    // m_iFileNum + m_iFoldNum (the item was appended; a trace line gives the numbers).
    int AddItem(CMyItem* pItem);

    // Appends the first iCount entries of items (owned by the caller), each counted and given
    // the layers below this folder. Null entries and entries that could not be appended are
    // skipped (they stay the caller's) and reported in one trace line; the result is still 0.
    // -1 when items holds fewer than iCount entries, iCount < 0, or this is not a folder.
    int AddItems(int iCount, const std::vector<CMyItem*>& items);

    // Takes the items at the first iCount listed positions (ascending) out of the array
    // without deleting them, closes the gaps and renumbers the moved items, and lowers the
    // counts. The taken items become the CALLER's; when pTaken is given, they are appended to
    // it in list order (collect them first with GetSubItem otherwise). 0, or -1 with a trace
    // line when iCount exceeds positions.size() or m_dwNumInFolder or this is not a folder
    // (nothing changes), or when more were taken out than m_dwNumInFolder (counts become 0).
    int ClearSubItems(int iCount, const std::vector<int>& positions,
                      std::vector<CMyItem*>* pTaken = nullptr);

    // The first position whose sub-item is pItem, or -1 (with a trace line when pItem is null
    // or this is a file).
    int FindSubItemPos(const CMyItem* pItem) const;

    // Takes pItem out of the array without deleting it (the CALLER owns it afterwards), closes
    // the gap and lowers the counts. 1, or 0 when not found / refused / counts disagree after.
    int FindAndClearSubItem(CMyItem* pItem);

    // Exchanges two sub-items and their m_iArrayIndex (kind numbers stay). 0 or -1.
    int SwapSubItems(int iDistPos, int iDepPos);

    // The drag-and-drop reorder within this folder (the four steps of CMyPartsArray): info
    // made by CMyPartsArray::MakeMoveInfo, the selected positions (ascending) and their items
    // in the same order. The inputs are checked before anything moves; 0, or -1 (trace line,
    // nothing changed) when they do not fit together.
    int MoveSubItems(CMyMoveInfo& info, const std::vector<int>& positions,
                     const std::vector<CMyItem*>& items);

    // Convenience for callers: the whole drag move from the selected positions (ascending) and
    // the drop position d (where the first dragged item is to stand; clamped to
    // m_dwNumInFolder - n when past the end). Computes the move description and the item list
    // and runs the four steps. 0, or -1 (trace line, nothing changed) for a bad selection, a
    // negative d, or a file item. An empty selection is 0 and changes nothing.
    int MoveSubItems(const std::vector<int>& positions, int iDropPos);

    // Sets every sub-item's m_iKindIndex (count of earlier sub-items of its kind) and
    // m_iArrayIndex (its position), and brings its write name up to date (UpdateWriteName, so
    // the "%03d_" prefix follows the new number). Used after deletions.
    void RenumberSubItems();

    // Sets m_iLayer (a negative value becomes 0, with a trace line) and, for a folder, its
    // array's layer and the sub-items' layers below it, recursively.
    void SubItemLayerReCalc(int NewLayer);

    // ---- Names and positions -------------------------------------------------------------

    // Appends the position string: the parent's first when m_iLayer > 0 (no parent: nothing
    // at all is appended), then "/L%d_F%d" (folder) or "/L%d_%d" (file) with m_iLayer and
    // m_iKindIndex. The root gives "/L0_F0".
    void GetPosString(std::string& str) const;
    // The same, returned.
    std::string PosString() const;

    // m_bNoAutoIndex != 1 and m_iLayer != 0: MakeIndexName; otherwise write name = new name.
    void UpdateWriteName();
    // Empty new name becomes the original name; write name "%03d_%s" (kind number, new name),
    // or "%03d__NoName_" when both names are empty.
    void MakeIndexName();
    // m_bNoAutoIndex = !bAutoIndex, UpdateWriteName, for this item and its subtree.
    void SetWriteMode(bool bAutoIndex);

    // which: 0 original name, 1 new name, 2 write name. Byte index of the last '.', or -1 (no
    // dot, empty name, extension empty or longer than 4 bytes, other which).
    int GetExtPos(int which) const;
    // Removes the last '.' and what follows from m_strNewName when that dot is not the first
    // byte and 1 to 4 bytes follow it.
    void CutExtension();

    // 1 when this item's names (and, for a folder, every sub-item's) are usable, else 0 with a
    // trace line for the first failure. A name equal to the loaded original is always usable:
    // it already exists on the disk.
    int CheckInvalidChar();
    // Whether CheckInvalidChar refuses this item's own new name (its sub-items aside).
    bool NameRefused() const;
    // The string rule: no NUL byte, none of \ / : , ; * ? < > | as a single-byte character
    // (characters of more than one byte are stepped over whole; the double quote is allowed).
    // With AllowLinuxNames, only NUL and '/' are refused. Empty is usable.
    static bool IsUsableNameString(const std::string& s);
    // The process-wide setting that lets changed names hold everything a Linux disk allows.
    static void SetAllowLinuxNames(bool allow);
    static bool AllowLinuxNames();
    // The same rule with the argument check: a missing string (nullptr) gives 0 and
    // the trace line "※　無効な引数。CheckInvalidChar\n".
    int CheckInvalidString(const std::string* pStr) const;

    // Counts '/' in m_strOrgPath (double-byte aware, up to 254), stores it in m_byDepth, writes
    // an information trace line; 1 when below 254. A path that is not absolute: 0, trace line.
    int CheckDepth();

    // ---- Counting and sizes --------------------------------------------------------------

    int GetTotalItemNum() const;  // items in the subtree below this item; 0 for a file
    int GetTotalFileNum() const;  // file items in the subtree; 0 for a file item itself
    int GetFolderNum() const;     // 0 for a file; 1 + folders anywhere below for a folder
    // File: the find-data size halves. Folder: the sum over all files below (with carry into
    // the high word). Either pointer null: trace line, nothing written.
    void GetFoldSize64(std::uint32_t* pHigh, std::uint32_t* pLow) const;

  private:
    friend class CMyPartsArray;
    bool IsFolderWithArray() const { return m_bIsFolder != 0 && m_pArray != nullptr; }
    // MakeSubFold / MakeSubFile, or AddEntrySub when given the filled item.
    CMyItem* MakeSub(bool folder, std::unique_ptr<CMyItem> filled = nullptr);
    // What UpdateWriteName would set if the item had kind number iKind and layer iLayer: the
    // new name when it changes (filled from the original name where MakeIndexName does so;
    // left empty when the new name stays as it is) and the write name. Changes nothing; throws
    // std::bad_alloc only. CommitNames swaps them in (no throw), so a caller can prepare every
    // name first and commit only when all were made.
    void BuildWriteName(int iKind, int iLayer, std::string& newName, std::string& writeName) const;
    void BuildIndexName(int iKind, std::string& newName, std::string& writeName) const;
    void CommitNames(std::string& newName, std::string& writeName) noexcept {
        // An empty newName means the new name stays: an empty new name is only ever replaced
        // by a non-empty original name.
        if (!newName.empty()) m_strNewName.swap(newName);
        m_strWriteName.swap(writeName);
    }
};

// Builds a root item as the view does: trace path,
// SetToFolder, original and new name "Root", m_bNoAutoIndex = !autoIndex, UpdateWriteName.
// nullptr when memory ran out.
std::unique_ptr<CMyItem> MakeRootItem(const std::string& tracePath, bool autoIndex);
