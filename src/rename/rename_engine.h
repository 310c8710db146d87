// Direct rename: applies the new names of the edit tree to the disk in place.
//
// User-made folders are created first; then every item is renamed deepest first (the depth
// index, walked from its last entry), never replacing an existing entry, until STOP; the
// stored paths are
// brought up to date from the root down, an item whose rename failed keeping the path where it
// really is; RenameLog.txt records every change and checks each item on disk; the user gets the
// counts.
//
// GUI-free: questions and reports go through dov::IHost. The caller (session, command line,
// tests) keeps other work off the tree while a run goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/fs.h"
#include "rename/depth_info.h"

class CMyItem;

namespace dov {

class IHost;
class CRenamePlan;
struct PlanStep;

// What an entry is on disk: its device, inode and type ('d' folder, 'l' link, 'f' anything
// else; 0 when unknown).
struct EntryId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    char type = 0;
    bool operator==(const EntryId&) const = default;
};
EntryId IdOf(const EntryInfo& info);

// Told of every disk change of a run before it is made (the journal listens here).
class IRenameWatcher {
  public:
    virtual ~IRenameWatcher() = default;
    // Before the first change, with the folders the run may reach; false: the run does not
    // start.
    virtual bool RunStarting(const DiskScope& scope) = 0;
    // Before a user-made folder is created / an entry (id: what it is) renamed; false: the
    // change is not made and the run stops before the next one.
    virtual bool FolderCreating(const std::string& path) = 0;
    virtual bool EntryRenaming(const std::string& from, const std::string& to,
                               const EntryId& id) = 0;
    // The change just announced did not happen (err: its errno).
    virtual void ChangeFailed(int err) = 0;
    // After the last change.
    virtual void RunEnded() = 0;

    // Blocks. A watcher that can gather announcements says how many renames one block may hold
    // (1: each change is announced by itself just before it is made, as above). The run then
    // announces a block's renames with QueueRenaming, has them written by FlushAhead before the
    // first of them is made, and marks those that did not happen with StepFailed. Changes are
    // numbered in the order they are announced, from 0.
    virtual std::size_t BlockSize() const { return 1; }
    virtual std::size_t StepsAnnounced() const { return 0; }
    virtual bool QueueRenaming(const std::string& from, const std::string& to, const EntryId& id) {
        return EntryRenaming(from, to, id);
    }
    // false: the block could not be recorded; none of it may be done.
    virtual bool FlushAhead() { return true; }
    virtual void StepFailed(std::size_t /*step*/, int err) { ChangeFailed(err); }
};

struct RenameOptions {
    // The automatic index option (AutoSerialNum): asks a second confirmation.
    bool autoSerialNum = false;
    // Told of each change before it is made (optional).
    IRenameWatcher* watcher = nullptr;
    // Renames the conflict preview expects to fail: when any, the user is asked first.
    std::size_t predictedFailures = 0;
    // The folders the run may reach (pinned when the entries were loaded); without one, the
    // folders holding the entries under the root, pinned when the run starts.
    const DiskScope* scope = nullptr;
    // The plan to carry out, built over the same root and depth index (and scope) before the
    // run, e.g. for the conflict preview; without one, the run builds its own.
    CRenamePlan* plan = nullptr;
};

// Why a run ended before its end.
enum class RenameStop {
    None,         // it ran to its end
    PreCheck,     // the check before the run refused the tree: nothing changed on disk
    UserFolders,  // a folder made in the tree could not be created: nothing was renamed
    PathRefresh,  // the stored paths could not be brought up to date after the renames
    Stopped,      // STOP (or Ctrl+C) between items: the items not reached were left alone
    Journal,      // RenameJournal.txt could not be written: the items not reached were left alone
};

// What a run ended with.
struct RenameCounts {
    std::uint32_t ok = 0;  // renamed or created, as found on disk by the log
    std::uint32_t failed = 0;
    int itemNum = 0;                 // entries of the depth index
    std::uint32_t notAttempted = 0;  // items STOP left alone
    RenameStop stop = RenameStop::None;
    bool logFailed = false;  // RenameLog.txt could not be written (in full)
};

// The entries under the root are what the user loaded: the folders that hold them, pinned now.
DiskScope ScopeOfTree(CMyItem* root);

class CRenameRun {
  public:
    // root: the root item of the edit tree; depth: the session's depth index (refilled).
    CRenameRun(CMyItem* root, CMyDepthInfo& depth, IHost& host);

    // The start checks before the worker: the tree's name check and the confirmations
    // (No is the default answer). true: the run may start.
    bool ConfirmStart(const RenameOptions& options);

    // The run itself (on the worker): 0 after a completed run, -1 when it stopped early.
    int RenameItemBySort();

    std::uint32_t m_iRenameOkNum = 0;
    std::uint32_t m_iRenameErrNum = 0;
    // Items of the depth index the loop never reached because STOP was asked for.
    std::uint32_t m_iNotAttemptedNum = 0;
    RenameStop m_stop = RenameStop::None;
    // The last MakeRenameLog could not create, write or close RenameLog.txt.
    bool m_bLogFailed = false;

    const std::string& TracePath() const { return m_strTracePath; }
    void SetWatcher(IRenameWatcher* watcher) { m_pWatcher = watcher; }
    // The folders the run may reach (else those of ScopeOfTree when the run starts).
    void SetScope(const DiskScope* scope) { m_pScope = scope; }
    // A plan built before the run (over this run's root and depth index, by the conflict
    // preview's caller), carried out instead of one built when the run starts.
    void SetPlan(CRenamePlan* plan) { m_pPlan = plan; }

  private:
    // ---- The steps of a run ----------------------------------------------------------------
    // The plan's user-made folders, outermost first; false when the run is to stop.
    bool MakeSubUserMakeFold(const CRenamePlan& plan);
    bool MakeUserMakeFold(CMyItem* pItem);
    bool GetWriteName(std::string& strPath, CMyItem* pItem);
    bool MakeWritePath(CMyItem* pItem);
    void RefreshItemName(CMyItem* pItem, const std::string& strNewPath);
    // The explanation of a failed rename (err: the errno of the rename call).
    void AnalyzeRenameError(CMyItem* pItem, const std::string& strWritePath, int err);
    // A failed folder creation: counts the folder and everything below it in *pErrNum.
    void AnalyzeRenameError(CMyItem* pItem, std::uint32_t* pErrNum, const std::string& strReason);
    bool RefreshOrgPathByParent();
    bool RefreshOrgPathByParent(CMyItem* pItem);
    // The item's write name brought up to date, and its folder checked (traced when it has no
    // usable path): its new path is then the folder's path joined with the write name.
    bool CanMakeNewPath(CMyItem* pItem);
    // Renames one entry, announced to the watcher first; a case-only rename that meets the entry
    // itself goes through a temporary name, each step announced. 0 or errno; journalFailed is
    // set when the watcher could not record a step (the change was not made).
    // announced: the step number of the first rename when a block announced it already (its
    // failure is then marked by StepFailed); id: what the entry is, when known.
    int RenameEntry(const std::string& from, const std::string& to, bool& journalFailed,
                    std::size_t announced = kNotAnnounced, const EntryId* id = nullptr);
    static constexpr std::size_t kNotAnnounced = static_cast<std::size_t>(-1);
    // What an item's entry is on disk: as read when it was loaded, else looked up now.
    EntryId IdOfItem(const CMyItem* pItem);
    // Announces the renames of the steps from `from` on (up to the watcher's block size) and
    // has them written; the end of the block, or `from` when the watcher failed.
    std::size_t AnnounceBlock(const std::vector<PlanStep>& steps, std::size_t from,
                              std::size_t blockSize);
    // A rename announced by a block: the step it has in the journal, and its paths as announced.
    struct Announced {
        std::size_t step = kNotAnnounced;
        std::string to;
        EntryId id;
        bool used = false;
    };
    std::vector<Announced> m_announced;

    // RenameLog.txt (rename_log.cpp): recounts both counters from what is found on disk.
    bool MakeRenameLog();
    // quick: STOP or closing was asked for: the entry is made from what the run knows, without
    // looking at the disk.
    bool MakeRenameLogString(CMyItem* pItem, std::string& strText, bool& bWrite,
                             bool quick = false);
    // Its two halves: what is on disk (the item's records taken from there; quick: nothing
    // looked at), then the entry's text from that.
    enum class Look : std::uint8_t;
    Look LookAtEntry(CMyItem* pItem, bool quick);
    bool AppendLogEntry(CMyItem* pItem, std::string& strText, bool& bWrite, Look look);
    // The looks of the depth index's n entries (Quick where none was made).
    std::vector<Look> LookAtEntries(int n);
    // An entry STOP left alone: not looked at, not logged.
    bool LeftAlone(int index, const CMyItem* item) const;
    // The entry of a change made (a rename or a folder created), counted as a success.
    bool AddDoneEntry(CMyItem* pItem, std::string& strText, bool& bWrite);

    void ShowAndTrace(const std::string& cp932Text, int icon);
    // After the loop: where each item whose rename failed, and each item directly under the
    // root, really is (see m_failed, m_rootItems).
    void ResolveFailedPaths();
    // The end of a run: the log, then the messages (the log comes first, so that it is written
    // even when showing a message ends the process).
    void FinishRun(bool refreshed, int itemNum);
    // A failed item keeps pointing at the entry it still is: path, folder and name on disk.
    void KeepRealPath(CMyItem* pItem, const std::string& strRealPath);

    // An item whose rename failed, with its path at that moment; movesBefore: how many folder
    // renames had been made by then (only later ones can have moved it).
    struct FailedRename {
        CMyItem* item;
        std::string path;
        std::size_t movesBefore;
    };
    std::vector<FailedRename> m_failed;
    // Items directly under the root, with their path after their own step: their folder on disk
    // is not an item of the tree, so later folder renames of the run are followed by hand.
    std::vector<FailedRename> m_rootItems;
    // Such an item: its path after its own step, and where that is after the run.
    std::unordered_map<const CMyItem*, std::pair<std::string, std::string>> m_rootPaths;
    // Entries of the depth index from this one down were not reached (STOP, or the journal
    // failed): they keep their paths, and the log looks only at the folders among them that
    // the run created.
    int m_iNotReachedFrom = -1;
    // Every folder the loop renamed, in order: old full path, new full path.
    std::vector<std::pair<std::string, std::string>> m_folderMoves;
    // The failed items of this run and where they are after it; the path refresh uses these
    // instead of the names the items were to get.
    std::unordered_map<const CMyItem*, std::string> m_failedPaths;
    // The items STOP left alone (see m_iNotReachedFrom), sorted.
    std::vector<const CMyItem*> m_notReached;
    // A path built for one item at a time, its buffer kept.
    std::string m_strScratch;

    CMyItem* m_pRoot;
    CRenamePlan* m_pPlan = nullptr;
    IRenameWatcher* m_pWatcher = nullptr;
    const DiskScope* m_pScope = nullptr;
    CMyDepthInfo& m_depth;
    IHost& m_host;
    std::string m_strTracePath;
};

// The whole direct rename as the "直接変更" button runs it: the start checks and questions,
// then the run. Result: 0 completed, -1 ended early (counts->stop says why), 1 not started (the
// name check failed or the user said No). counts (optional) gets the final figures.
int DirectRename(CMyItem* root, CMyDepthInfo& depth, const RenameOptions& options, IHost& host,
                 RenameCounts* counts = nullptr);

}  // namespace dov
