// The save data file (extension dvt): the whole edit tree written depth first to an archive
// stream (common/archive.h) and read back, and the New / Open / Save / Save As commands as
// operations without a window.
//
// File layout: the string "This save data version is 3", then the root's item record, which
// holds every other record below it. An item record is, in this order ("4" a 32-bit
// little-endian integer, "1" a byte, "S" an archive string):
//    4 m_bIsFolder            4 m_dwNumInFolder       4 m_iSpare2          4 m_iSpare1
//    4 m_dwSizeLow            4 m_dwSpare7            4 m_iFileNum         4 m_iFoldNum
//    4 m_iKindIndex           4 m_iLayer              4 m_iOrgNameLen      4 m_iAddOrder
//    4 m_iSpare6              4 m_iSpare3             4 m_iSpare4          4 m_iSpare5
//    4 m_bNoAutoIndex         S m_strNewName          S m_strOrgName       S m_strOrgExt
//    S m_strParentPath        S m_strOrgPath          S m_strSpare         S m_strTracePath
//    S m_strWriteName         S m_strWritePath        4 m_bUserMakeFold    1 m_byDepth
//    1 status padding         4 status access time    1 status attribute   4 status creation
//    4 status modification    4 status size (signed)  S status full path
//    4 find size high         4 find size low         4 find attribute     4 find reserved 0
//    4 find reserved 1        4 find creation high    4 find creation low  4 find access high
//    4 find access low        4 find write high       4 find write low     S find short name
//    S find name
// followed, for a folder (first field non-zero), by m_dwNumInFolder complete item records of
// its sub-items in array order. The shortest record is kMinRecordBytes long.
//
// Safety of loading: any file loads into a bounded tree or ends in the read-error path. No
// stored length or count makes the loader allocate ahead of the bytes that back it; a folder
// count larger than the rest of the file could hold, nesting deeper than kMaxSaveDepth folder
// levels, and a file cut anywhere end as a read error. The trace path stored in a file is
// never adopted (items keep writing to this program's own trace file), and layers and the
// file/folder counts are rebuilt from the tree's real shape. The stored paths must describe
// the tree the user sees (StoredPathsConsistent); a file whose paths point elsewhere ends as
// a read error, so that no later rename or copy acts on a file the tree never showed.
//
// Saving never loses the old file: the data go to a temporary file in the target's folder,
// which replaces the target only when complete.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "common/archive.h"
#include "model/host.h"

class CMyItem;

namespace dov {

// The version header, byte for byte.
inline constexpr char kSaveVersionText[] = "This save data version is 3";
// Folder levels below the root that a file may nest.
inline constexpr int kMaxSaveDepth = 4000;
// The shortest item record: 33 words, 3 bytes and 12 empty strings (1 byte each) = 147 bytes.
inline constexpr int kMinRecordBytes = 147;

// The rule every loaded tree keeps, so that rename and copy act only on what the tree shows.
// Each item below the root has a clean absolute path (no empty, "." or ".." element) whose last
// element is its original name and whose folder part is its stored parent path, and a status
// path equal to that path as far as the status field holds it. An item directly under the root
// may sit in any folder; an item deeper down sits in its tree parent's folder, or (an item
// moved in the tree and not yet renamed) in the folder of another folder item of the tree or
// in the folder an item directly under the root came from. A folder made in the tree and not
// yet created on disk may have no path at all. false (why: the offending path) otherwise.
bool StoredPathsConsistent(const CMyItem& root, std::string* why = nullptr);

class CSaveDataFile {
  public:
    CSaveDataFile(IHost& host, std::string tracePath, bool autoIndex = true);

    std::string m_strTracePath;
    // The automatic index option, given to the root a reset makes.
    bool m_bAutoIndex;
    // Set while loading when a folder's stored count is out of range.
    bool m_bLoadError = false;
    // The file the tree came from (a successful load); Save writes back to it. Empty: Save
    // needs a path first, as Save As.
    std::string m_strLoadedPath;
    // The path chosen last in Open or Save As.
    std::string m_strChosenPath;

    // Resets the tree to an empty root "Root" (the reset the New command performs). The
    // default removes the old root's tree node, makes the new root and shows it; the window
    // may install its own. 1, or 0 when the new root could not be made (the old one stays).
    std::function<int(std::unique_ptr<CMyItem>&)> m_fnResetTree;

    // Stores or loads one item record with its sub-items, by the archive's direction. Loading
    // reads into an item that is not in a folder or was just made by MakeSubFile. Problems end
    // as a failed archive (read error) or m_bLoadError (a count out of range).
    void Serialize(CArchive& ar, CMyItem& item);
    // The sub-item records of a folder's record.
    void SerializeSubItems(CArchive& ar, CMyItem& item, bool storing);

    // ---- The workers' bodies (results 1 success, 0 failure; none asks to close) -----------

    // Writes the tree to path (absolute): temporary file, then moved over the target. A link
    // at path is followed (its target is replaced, in the target's folder) and the new file
    // keeps the old one's permissions. On failure a message box tells why, the old file and
    // the tree stay as they were.
    int SaveWorker(CMyItem& root, const std::string& path);
    // Reads path into root (a new empty item the caller made, see Open), then has the host
    // build the folder tree and show the root's items. Any failure resets the tree with the
    // matching message; an older version's file resets the tree and gives 1.
    int LoadWorker(std::unique_ptr<CMyItem>& root, const std::string& path);

    // ---- The commands ---------------------------------------------------------------------

    // Open, after the dialog: the old tree goes, a new empty root takes its place, the file is
    // read into it (LoadWorker).
    int Open(std::unique_ptr<CMyItem>& root, const std::string& path);
    // Save: to the file the tree came from, after telling the user which one. -1 when there is
    // none: the caller asks for a path and calls SaveAs.
    int Save(CMyItem& root);
    // Save As, after its dialog.
    int SaveAs(CMyItem& root, const std::string& path);

    // The default reset (see m_fnResetTree).
    int ResetTree(std::unique_ptr<CMyItem>& root);
    // Tells the host about the root's node and every folder's node below it, depth first.
    // 0 when the root is not a folder.
    int RewriteAllItemToTree(CMyItem* root);

  private:
    void Store(CArchive& ar, CMyItem& item);
    void Load(CArchive& ar, CMyItem& item);
    int SetItemToTreeWithSubFold(CMyItem* folder);
    void Fail(const char* traceAndMessage);  // trace line and message box of the same text
    int Reset(std::unique_ptr<CMyItem>& root);

    IHost& host_;
    int depth_ = 0;
};

}  // namespace dov
