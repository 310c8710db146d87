// Loading files and folders from disk into the edit tree, and sorting a folder's sub-items.
//
// CItemLoader holds what the window keeps for these operations (the trace path, the direction
// flag of each list column, the loading flag) and asks the host for everything a window does:
// message boxes, a new folder's tree node, filling the list, STOP and the close request.
// Every disk access goes through dov::Fs() with absolute paths; the current directory is
// never used or changed. Symbolic links are never followed: a link loads as a file item.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/fs.h"
#include "model/host.h"

class CMyItem;

namespace dov {

// Names compared as the C locale's case-insensitive compare does: bytes as unsigned values
// after mapping A-Z to a-z, with no regard to double-byte characters. <0, 0, >0.
int CompareNameNoCase(std::string_view a, std::string_view b);

// 1 when a > b, -1 when a < b, 0 when equal, comparing the size halves of two directory
// records (high halves first, both unsigned). A missing record: trace line, counts as equal.
int Compare64BitData(const FindData* pA, const FindData* pB, const std::string& tracePath = {});

// The extension the loader stores: the text after the last dot when that dot is not the first
// byte and 1 to 4 bytes follow it (double-byte aware); otherwise empty.
std::string OrgExtOf(std::string_view name);

// The list columns a sort can be asked for.
enum SortColumn { kColNewName = 0, kColIndex = 1, kColOrgName = 2, kColSize = 3 };

// The orders offered beside the columns: by modification time, and natural order.
enum ExtraSort { kSortModified = 0, kSortNatural = 1 };

// Natural order of two CP932 names: runs of digits (ASCII or full-width, mixed) compare by
// value, everything else character by character as CompareNameNoCase does; names equal that
// way (第2話 and 第02話) fall back to CompareNameNoCase. <0, 0, >0.
int CompareNatural(std::string_view a, std::string_view b);

class CItemLoader {
  public:
    CItemLoader(IHost& host, std::string tracePath);

    // Direction flags of the list columns 0 (new name), 1 (Index), 2 (original name) and
    // 3 (size): 1 means the next click sorts ascending. All 1 at start.
    std::array<int, 4> m_iSortFlag{1, 1, 1, 1};
    // The same for the extra orders (ExtraSort).
    std::array<int, 2> m_iExtraSortFlag{1, 1};
    // Set while a load runs: every name sort is then ascending.
    bool m_bLoading = false;
    std::string m_strTracePath;
    // When set, bumped by every entry read from disk (read by another thread's progress
    // display).
    std::atomic<long long>* m_pEntriesRead = nullptr;

    // Entries found in the folders read that could not be loaded (unreadable or gone), over
    // every load of this loader: their number and the first kMaxLeftOutPaths of them as CP932
    // paths.
    static constexpr std::size_t kMaxLeftOutPaths = 10000;
    struct LeftOut {
        long long count = 0;
        std::vector<std::string> paths;
    };
    LeftOut m_leftOut;

    // What one load did, for the caller's stop report.
    struct LoadResult {
        int added = 0;          // picked entries that became items
        int removed = 0;        // picked entries dropped by CheckLoadFileStatus
        long long leftOut = 0;  // entries of the folders read that were left out (see LeftOut)
        bool stopped = false;   // STOP ended the load early
        bool quit = false;      // the close request ended it
    };

    // The load worker's body: adds every picked entry of the folder folderPath (absolute) to
    // the folder item pCurrent, in the given order, reading picked folders recursively and
    // sorting each folder read. Then, unless the close request is set, asks the host to show
    // pCurrent in the list. The loading flag is set for the duration.
    LoadResult LoadPickedEntries(CMyItem* pCurrent, const std::string& folderPath,
                                 std::vector<EntryInfo> picked);

    // Checks every picked entry, last to first, by reading the status of its full path; an
    // entry that fails (or whose name could not be converted) is removed, with a trace line.
    // When any were removed, one message box gives their number. Returns the number removed.
    int CheckLoadFileStatus(const std::string& folderPath, std::vector<EntryInfo>& picked);

    // 1 when the status of the joined path can be read; otherwise 0 and a trace line.
    int CheckItemStatus(const std::string& folderPath, const FindData& findData);

    // Copies the record into the item (attribute reduced to the folder bit) and fills names,
    // paths, extension and status. 0, or -1 with a trace line when the status cannot be read
    // (the record has been copied, the names stay as they were). known: status already read
    // for this path (skips reading it again).
    int SetItemInfo(const FindData& findData, const std::string& folderPath, CMyItem* pItem,
                    const FileStatus* known = nullptr);

    // The folder item's tree node: asks the host to add it. 0.
    int AddFoldToTree(CMyItem* pFolder);

    // Reads the disk folder pFolder->m_strOrgPath into the new folder item, sorts it by name and
    // reads its sub-folders the same way, depth first. Returns the number of entries added.
    int SetSubFoldWithSort(CMyItem* pFolder);
    // An entry of folderPath's listing that could not be read: traced and counted as left out.
    void LeaveOut(const std::string& folderPath, const EntryInfo& e);

    // Sorts a folder's sub-items: folders first, files back in kind-number order, then by the
    // column (0 new name, 3 size; 1 and 2 only toggle their flag; anything else counts as 0).
    // Renumbers and rebuilds write names of a group sorted by name or size.
    void SortSubItems(CMyItem* pFolder, int iColumn);
    // The same by an extra order: folders first, then folders and files each sorted by the
    // order (ascending, or descending when the previous sort by it was ascending) and
    // renumbered. Equal keys keep the order the selection sort gives them.
    void SortSubItemsBy(CMyItem* pFolder, ExtraSort order);

    // Whether a folder path is the file-system root "/". A path that is not absolute is not a
    // root and is traced as malformed.
    bool CheckFoldIsRoot(const std::string& folderPath);

  private:
    bool StopOrQuit();
    void CountRead(std::size_t n);
    void ReduceAttributes(FindData& fd) const;
    // Selection sort of positions [top, end] of the folder by name or size, replayed fast.
    void SortRange(CMyItem* pFolder, int top, int end, bool bySize, bool ascending);
    void Renumber(CMyItem* pFolder, int top, int end);
    // Steps 1 and 2 of a sort: folders first, files back in kind-number order. Returns the
    // number of folders, or -1 when the folder has nothing to sort.
    int FoldersFirstInKindOrder(CMyItem* pFolder);
    // Fills the item's names, paths and status from its record (already in m_findData), and
    // brings its write name up to date when writeName is set.
    void FillNamesAndPaths(CMyItem* pItem, FileStatus&& status, std::string&& path,
                           std::string&& parent, bool writeName);

    IHost& host_;
    // A spent listing's room (no entries), kept through a load for the next folder's listing.
    std::vector<EntryInfo> m_spareListing;
};

}  // namespace dov
