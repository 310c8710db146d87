#include "rename/rename_engine.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/sjis.h"
#include "common/trace.h"
#include "model/host.h"
#include "model/item.h"
#include "model/loader.h"
#include "rename/make_tree.h"
#include "rename/rename_plan.h"
#include "rename/text_out.h"

namespace dov {
namespace {

// Carries path along the rename of folder from -> to: when path is the folder or lies inside it
// (whole path elements), its leading part becomes to.
void FollowFolderRename(std::string& path, const std::string& from, const std::string& to) {
    if (from.empty() || path.compare(0, from.size(), from) != 0) return;
    if (path.size() == from.size()) {
        path = to;
    } else if (path[from.size()] == '/') {
        path = to + path.substr(from.size());
    }
}

// The status record's path field holds 259 bytes; it follows the item's path as far as it can.
// Copies text into out: into its storage when that is large enough, else into new storage of
// the path's heap block (not the doubled size a growing string would take: a million items
// keep their paths).
void AssignText(std::string& out, std::string_view text) {
    if (out.size() == text.size() &&
        (text.empty() || std::memcmp(out.data(), text.data(), text.size()) == 0))
        return;  // often so for the folder part of a path
    if (text.size() > out.capacity()) {
        std::string fresh;
        fresh.reserve(PathCapacity(text.size()));
        fresh.append(text);
        out.swap(fresh);
        return;
    }
    const std::less<const char*> before;
    if (!before(text.data(), out.data()) && !before(out.data() + out.size(), text.data())) {
        out.assign(text);  // a part of out itself
        return;
    }
    // Into the storage it has: appending to the emptied string skips assign's checks.
    out.clear();
    out.append(text);
}

// Whether the loop brought the item to its path (RefreshItemName after its step): that path is no
// longer the one it had before its step (m_strPrevPath, set for every item the loop reaches; a
// user-made folder has none), and its name on disk is its write name. Until something changes
// it, bringing it to that same path again would set every field to what it holds.
bool RefreshedByLoop(const CMyItem* pItem) {
    return pItem->m_strPrevPath != pItem->m_strOrgPath && IsAbsolutePath(pItem->m_strOrgPath) &&
           pItem->m_strOrgName == pItem->m_strWriteName;
}

// Whether path is folder and name as JoinPathInto joins them.
bool IsJoined(std::string_view path, std::string_view folder, std::string_view name) {
    const std::size_t sep = folder.empty() || folder.back() != '/' ? 1 : 0;
    return path.size() == folder.size() + sep + name.size() && path.starts_with(folder) &&
           (sep == 0 || path[folder.size()] == '/') && path.ends_with(name);
}

void SetStatusPath(CMyItem* pItem, const std::string& path) {
    AssignText(pItem->m_status.m_szFullName,
               std::string_view(path).substr(0, std::min<std::size_t>(path.find('\0'), 259)));
}

// The folder part of a path, as ParentPath has it, written into out.
void AssignParentPath(std::string& out, std::string_view path) {
    // As FindLastCharDbcs finds it: '/' is never a byte of a double-byte character.
    const void* at = path.empty() ? nullptr : ::memrchr(path.data(), '/', path.size());
    const int slash = at ? static_cast<int>(static_cast<const char*>(at) - path.data()) : -1;
    if (slash <= 0) {
        out.clear();
    } else {
        AssignText(out, path.substr(0, static_cast<std::size_t>(slash)));
    }
}

// Progress is reported in steps so that a window's display is not flooded.
constexpr int kProgressStep = 256;

// Runs fn(item, index) on each sub-item of pFolder in array order and stops at the first false.
// A sub-item that cannot be had is reported by onMissing(index) and ends the walk with false.
template <class OnMissing, class Fn>
bool EachSubItem(CMyItem* pFolder, OnMissing onMissing, Fn fn) {
    const int n = static_cast<int>(pFolder->m_dwNumInFolder);
    for (int i = 0; i < n; ++i) {
        CMyItem* item = pFolder->GetSubItem(i);
        if (!item) {
            onMissing(i);
            return false;
        }
        if (!fn(item, i)) return false;
    }
    return true;
}

}  // namespace

CRenameRun::CRenameRun(CMyItem* root, CMyDepthInfo& depth, IHost& host)
    : m_pRoot(root), m_depth(depth), m_host(host) {
    m_strTracePath =
        root && !root->m_strTracePath.empty() ? root->m_strTracePath : DefaultTracePath();
}

namespace {

void CollectFolderPaths(const CMyItem* folder, std::unordered_set<std::string>& out) {
    for (std::uint32_t i = 0; i < folder->m_dwNumInFolder; ++i) {
        const CMyItem* item = folder->GetSubItem(static_cast<int>(i));
        if (!item || !item->m_bIsFolder) continue;
        if (!item->m_strOrgPath.empty()) out.insert(item->m_strOrgPath);
        CollectFolderPaths(item, out);
    }
}

// The folders of the loaded entries: those whose folder on disk is no folder of the tree
// (entries under the root, and such entries dragged into a folder of the tree).
void CollectLoadedFolders(const CMyItem* folder, const std::unordered_set<std::string>& folders,
                          DiskScope& scope) {
    for (std::uint32_t i = 0; i < folder->m_dwNumInFolder; ++i) {
        const CMyItem* item = folder->GetSubItem(static_cast<int>(i));
        if (!item) continue;
        if (IsAbsolutePath(item->m_strOrgPath)) {
            const std::string parent = ParentPath(item->m_strOrgPath);
            if (item->m_iLayer == 1 || !folders.count(parent))
                scope.Add(parent.empty() ? std::string("/") : parent);
        }
        if (item->m_bIsFolder) CollectLoadedFolders(item, folders, scope);
    }
}

}  // namespace

DiskScope ScopeOfTree(CMyItem* root) {
    DiskScope scope;
    if (!root) return scope;
    std::unordered_set<std::string> folders;
    CollectFolderPaths(root, folders);
    CollectLoadedFolders(root, folders, scope);
    return scope;
}

EntryId IdOf(const EntryInfo& info) {
    return {info.device, info.inode, info.isDir ? 'd' : info.isLink ? 'l' : 'f'};
}

EntryId CRenameRun::IdOfItem(const CMyItem* pItem) {
    const FileStatus& st = pItem->m_status;
    if (st.type != 0) return {st.device, st.inode, st.type};
    EntryInfo info;
    if (Fs().Stat(pItem->m_strOrgPath, info) == 0) return IdOf(info);
    return {};
}

int CRenameRun::RenameEntry(const std::string& from, const std::string& to, bool& journalFailed,
                            std::size_t announced, const EntryId* knownId) {
    IFileSystem& fs = Fs();
    EntryId id;
    if (knownId) {
        id = *knownId;
    } else if (EntryInfo info; fs.Stat(from, info) == 0) {
        id = IdOf(info);
    }
    auto step = [&](const std::string& a, const std::string& b) {
        if (announced != kNotAnnounced) {
            // The first step, announced by its block.
            const std::size_t number = announced;
            announced = kNotAnnounced;
            const int err = fs.RenameNoReplace(a, b);
            if (err != 0 && m_pWatcher) m_pWatcher->StepFailed(number, err);
            return err;
        }
        if (m_pWatcher && !m_pWatcher->EntryRenaming(a, b, id)) {
            journalFailed = true;
            return EIO;
        }
        const int err = fs.RenameNoReplace(a, b);
        if (err != 0 && m_pWatcher) m_pWatcher->ChangeFailed(err);
        return err;
    };
    int err = step(from, to);
    if (err != EEXIST || journalFailed || id.type == 0) return err;
    // The target is the entry itself (a case-only rename on a case-insensitive disk): not a hard
    // link of it, which is another name and must stay.
    EntryInfo at;
    if (fs.Stat(to, at) != 0 || IdOf(at) != id || (id.type != 'd' && at.links != 1)) return err;
    for (int i = 0; i < 100; ++i) {
        const std::string tmp =
            from + ".dovreth-tmp" + std::to_string(::getpid()) + "_" + std::to_string(i);
        const int e1 = step(from, tmp);
        if (e1 == EEXIST && !journalFailed) continue;
        if (e1 != 0) return e1;
        err = step(tmp, to);
        if (err != 0 && !journalFailed) step(tmp, from);
        return err;
    }
    return err;
}

std::size_t CRenameRun::AnnounceBlock(const std::vector<PlanStep>& steps, std::size_t from,
                                      std::size_t blockSize) {
    // The write paths as the run will make them, a folder renamed earlier in the block taken at
    // its new path (for an item moved into it); a block is also ended by the size of its lines.
    constexpr std::size_t kBlockBytes = 60 * 1024;
    const std::size_t end = std::min(steps.size(), from + blockSize);
    m_announced.resize(end - from);
    std::vector<std::pair<const CMyItem*, const std::string*>> renamedFolders;
    std::size_t bytes = 0, k = from;
    for (; k < end && bytes < kBlockBytes; ++k) {
        Announced& a = m_announced[k - from];
        a.step = kNotAnnounced;
        a.used = false;
        CMyItem* item = steps[k].item;
        if (!item || steps[k].made) continue;
        const CMyItem* parent = item->m_pParent;
        std::string_view parentPath = parent ? std::string_view(parent->m_strOrgPath) : "";
        for (const auto& [folder, path] : renamedFolders)
            if (folder == parent) parentPath = *path;
        if (PlanWritePath(item, parentPath, a.to) != PathRule::Ok || a.to == item->m_strOrgPath ||
            SameOnDisk(item->m_strOrgPath, a.to))
            continue;
        a.id = IdOfItem(item);
        a.step = m_pWatcher->StepsAnnounced();
        if (!m_pWatcher->QueueRenaming(item->m_strOrgPath, a.to, a.id)) return from;
        bytes += item->m_strOrgPath.size() + a.to.size() + 64;
        if (item->m_bIsFolder) renamedFolders.emplace_back(item, &a.to);
    }
    m_announced.resize(k - from);
    return m_pWatcher->FlushAhead() ? k : from;
}

void CRenameRun::ShowAndTrace(const std::string& cp932Text, int icon) {
    TraceWrite(m_strTracePath, cp932Text);
    m_host.Message(cp932Text, MsgKind::Ok, static_cast<MsgIcon>(icon));
}

bool CRenameRun::ConfirmStart(const RenameOptions& options) {
    if (!m_pRoot) return false;
    if (!m_pRoot->CheckInvalidChar()) {
        m_host.Message(Sj("※　無効なファイル名があります。"), MsgKind::Ok, MsgIcon::Warning);
        return false;
    }
    if (options.predictedFailures > 0 &&
        m_host.Message(FormatSj("直接改名すると[%u]個のアイテムが失敗すると予測されます。\n"
                                "続けますか？",
                                static_cast<unsigned>(options.predictedFailures)),
                       MsgKind::YesNo, MsgIcon::Warning) != MsgAnswer::Yes)
        return false;
    std::string question = Sj("直接改名するとやり直しは出来ませんがよろしいですか？");
    if (const std::string hint = m_host.UndoHint(); !hint.empty()) question += "\n" + hint;
    if (m_host.Message(question, MsgKind::YesNo, MsgIcon::Question) != MsgAnswer::Yes) return false;
    TraceF(m_strTracePath, "=============== 直接リネーム ===============\n");
    if (options.autoSerialNum) {
        if (m_host.Message(Sj("自動連番モードで直接改名しますがよろしいですか？"), MsgKind::YesNo,
                           MsgIcon::Question) != MsgAnswer::Yes)
            return false;
        TraceF(m_strTracePath, "自動連番モードで直接改名\n");
    }
    m_iRenameOkNum = 0;
    m_iRenameErrNum = 0;
    return true;
}

int CRenameRun::RenameItemBySort() {
    m_stop = RenameStop::None;
    m_iNotAttemptedNum = 0;
    m_iNotReachedFrom = -1;
    m_bLogFailed = false;
    if (!m_pRoot) return -1;

    // 1. The tree as it stands, with the names on disk.
    WritePreRenameTree(m_pRoot, nullptr);

    // 2. Every item must have a usable depth before anything on disk changes: the plan's check.
    std::unique_ptr<CRenamePlan> ownPlan;
    if (!m_pPlan || m_pPlan->Root() != m_pRoot || &m_pPlan->Depth() != &m_depth) {
        ownPlan = std::make_unique<CRenamePlan>(m_pRoot, m_depth, m_pScope, m_strTracePath);
    }
    const CRenamePlan& plan = ownPlan ? *ownPlan : *m_pPlan;
    const DiskScope& scope = plan.Scope();
    OperationScope operation(scope);
    if (!plan.Checked()) {
        TraceF(m_strTracePath, "※　リネーム前のチェックに失敗したので中止。RenameItemBySort()");
        m_stop = RenameStop::PreCheck;
        return -1;
    }

    if (m_pWatcher && !m_pWatcher->RunStarting(scope)) {
        ShowAndTrace(Sj("※　RenameJournal.txt を書き込めないので改名を中止します。"),
                     static_cast<int>(MsgIcon::Error));
        m_stop = RenameStop::Journal;
        return -1;
    }

    // 3. Folders the user made in the tree, outermost first.
    if (!MakeSubUserMakeFold(plan)) {
        if (m_pWatcher) m_pWatcher->RunEnded();
        if (m_stop == RenameStop::Journal) {
            ShowAndTrace(Sj("※　RenameJournal.txt を書き込めないので改名を中止します。"),
                         static_cast<int>(MsgIcon::Error));
            return -1;
        }
        ShowAndTrace(Sj("※　ユーザ作成フォルダの作成に失敗したので中止します。"),
                     static_cast<int>(MsgIcon::Error));
        m_stop = RenameStop::UserFolders;
        return -1;
    }

    // 4, 5. Deepest first: a file is renamed while the path of its folder is still the old one.
    // STOP is honoured between items; the items not reached keep their paths, and since every
    // item reached lies deeper, the tree stays consistent.
    const int n = m_depth.GetItemNum();
    m_iRenameOkNum = 0;
    m_iRenameErrNum = 0;
    m_failed.clear();
    m_rootItems.clear();
    m_folderMoves.clear();
    m_failedPaths.clear();
    m_rootPaths.clear();
    m_notReached.clear();
    // Items directly under the root are followed through later folder renames only when the
    // plan has any.
    const bool followRootItems = plan.FolderRenames() > 0;
    bool journalFailed = false;
    const std::vector<PlanStep>& steps = plan.Steps();
    // With a watcher that takes blocks, the renames of each block are recorded in one write
    // before the first of them is made.
    const std::size_t blockSize = m_pWatcher ? m_pWatcher->BlockSize() : 1;
    std::size_t blockStart = 0, blockEnd = 0;
    m_announced.clear();
    // Renames a block announced and the run did not make (STOP, or made otherwise) are marked
    // as not done.
    auto closeBlock = [&] {
        for (std::size_t k = blockStart; k < blockEnd; ++k) {
            const Announced& a = m_announced[k - blockStart];
            if (a.step != kNotAnnounced && !a.used) m_pWatcher->StepFailed(a.step, ECANCELED);
        }
        blockEnd = blockStart;
    };
    // The journal holds the changes in the order they are made, which the undo replays
    // backwards: when a change comes that the block did not announce as it is made, the rest of
    // the block is given up (marked not done) and announced again after it.
    auto cancelFrom = [&](std::size_t k) {
        for (std::size_t j = k; j < blockEnd; ++j) {
            Announced& a = m_announced[j - blockStart];
            if (a.step != kNotAnnounced && !a.used) m_pWatcher->StepFailed(a.step, ECANCELED);
            a.used = true;
        }
        blockEnd = k;
    };
    // A folder of the block was not renamed as announced: the paths below it are made anew.
    bool blockDiverged = false;
    auto announceFrom = [&](std::size_t k) {
        closeBlock();
        blockDiverged = false;
        blockStart = k;
        blockEnd = AnnounceBlock(steps, k, blockSize);
        return blockEnd > k;
    };
    std::size_t at = 0;
    for (; at < steps.size(); ++at) {
        if (m_host.StopRequested() || m_host.QuitRequested()) break;
        if (blockSize > 1 && at >= blockEnd && !announceFrom(at)) {
            journalFailed = true;
            break;
        }
        Announced* announced = blockSize > 1 ? &m_announced[at - blockStart] : nullptr;
        const int done = static_cast<int>(at) + 1;
        if (done % kProgressStep == 0) m_host.Progress(done, n);

        const PlanStep& step = steps[at];
        CMyItem* item = step.item;
        if (!item) {
            TraceF(m_strTracePath,
                   "※　レイヤーでソートしたアイテム情報を得られません。\n\tリネームを中止します。"
                   "RenameItemBySort()\n");
            TraceF(m_strTracePath, "\tIndex[%d] / ItemNum[%d]\n", step.index, n);
            ++m_iRenameErrNum;
            continue;
        }
        if (step.made) {
            // Created in step 3: from now on an ordinary folder.
            if (!item->CheckDepth())
                TraceF(m_strTracePath,
                       "※　深さ情報の更新に失敗 RenameItemBySrot()\n\tFullPath= \"%s\"   NewName= "
                       "\"%s\"\n",
                       item->m_strOrgPath.c_str(), item->m_strNewName.c_str());
            continue;
        }
        // The path before this run's rename; taken before the write path so that an item the
        // loop cannot handle is logged as unchanged rather than as renamed.
        AssignText(item->m_strPrevPath, item->m_strOrgPath);
        // While every folder of the block went as announced, an announced write path is the one
        // the rules give now.
        const bool exact = announced && announced->step != kNotAnnounced && !blockDiverged;
        if (exact) {
            item->m_strWritePath = std::move(announced->to);
        } else if (!MakeWritePath(item)) {
            TraceF(m_strTracePath, "※　書き込みパスの作成に失敗\n");
            continue;
        }
        const bool change = exact || (item->m_strOrgPath != item->m_strWritePath &&
                                      !SameOnDisk(item->m_strOrgPath, item->m_strWritePath));
        if (announced && !exact &&
            (change ? announced->step == kNotAnnounced || announced->to != item->m_strWritePath
                    : announced->step != kNotAnnounced)) {
            // A folder renamed before it in the block failed (or kept its name on disk).
            cancelFrom(at);
            if (!announceFrom(at)) {
                journalFailed = true;
                break;
            }
            announced = &m_announced[0];
        }
        if (item->m_strOrgPath != item->m_strWritePath) {
            if (!change) {
                // The same name on disk, written with the other code of a character CP932
                // codes twice: nothing to rename; the item takes the name as edited.
                RefreshItemName(item, item->m_strWritePath);
                if (item->m_bIsFolder) blockDiverged = true;
            } else {
                // A change the journal cannot announce is not made, and the run stops there.
                std::size_t step = kNotAnnounced;
                EntryId id;
                if (announced) {
                    step = announced->step;
                    id = announced->id;
                    announced->used = true;
                } else {
                    id = IdOfItem(item);
                }
                const std::size_t stepsBefore = announced ? m_pWatcher->StepsAnnounced() : 0;
                const int err =
                    RenameEntry(item->m_strOrgPath, item->m_strWritePath, journalFailed, step, &id);
                if (journalFailed) break;
                // Steps of their own (a case-only rename through a temporary name) came after the
                // block's: the rest of the block is announced again after them.
                if (announced && m_pWatcher->StepsAnnounced() != stepsBefore) cancelFrom(at + 1);
                if (err != 0) {
                    if (item->m_bIsFolder) blockDiverged = true;
                    AnalyzeRenameError(item, item->m_strWritePath, err);
                    item->m_bRenameFailed = 1;
                    ++m_iRenameErrNum;
                    // Deepest first: no folder holding the item on disk has been renamed yet,
                    // so its stored path is where it is now.
                    m_failed.push_back({item, item->m_strOrgPath, m_folderMoves.size()});
                    continue;
                }
                if (item->m_bIsFolder)
                    m_folderMoves.emplace_back(item->m_strOrgPath, item->m_strWritePath);
                RefreshItemName(item, item->m_strWritePath);
                item->m_bRenameFailed = 0;
                ++m_iRenameOkNum;
            }
        }
        if (item->m_iLayer == 1 && followRootItems)
            m_rootItems.push_back({item, item->m_strOrgPath, m_folderMoves.size()});
        if (!item->CheckDepth())
            TraceF(m_strTracePath,
                   "※　深さ情報の更新に失敗 RenameItemBySrot()\n\tFullPath= \"%s\"\n   NewName= "
                   "\"%s\"\n",
                   item->m_strOrgPath.c_str(), item->m_strNewName.c_str());
    }
    if (m_pWatcher && !journalFailed) closeBlock();
    // The last change has been made (or STOP ended the loop): the journal is complete.
    if (m_pWatcher && !journalFailed) m_pWatcher->RunEnded();
    if (journalFailed) m_stop = RenameStop::Journal;
    // The items STOP left alone stay where they are and are logged as unchanged: they are not
    // looked at again (on disk or by the log), so that the run ends at once.
    if (at < steps.size()) {
        m_iNotReachedFrom = steps[at].index;
        m_notReached.reserve(steps.size() - at);
    }
    for (std::size_t rest = at; rest < steps.size(); ++rest) {
        CMyItem* item = steps[rest].item;
        if (!item) continue;
        ++m_iNotAttemptedNum;
        if (steps[rest].made) continue;  // created: the log reports it
        item->m_bRenameFailed = 0;
        m_notReached.push_back(item);
    }
    std::sort(m_notReached.begin(), m_notReached.end());
    if (m_iNotAttemptedNum == 0) m_host.Progress(n, n);
    ResolveFailedPaths();

    // 7. Every stored path from the root down.
    const bool refreshed = RefreshOrgPathByParent();
    m_failedPaths.clear();
    m_rootPaths.clear();
    m_notReached.clear();
    FinishRun(refreshed, n);
    if (!refreshed) {
        m_stop = RenameStop::PathRefresh;
        return -1;
    }
    if (m_stop == RenameStop::Journal) return -1;
    if (m_iNotAttemptedNum > 0) {
        m_stop = RenameStop::Stopped;
        return -1;
    }
    return 0;
}

void CRenameRun::FinishRun(bool refreshed, int n) {
    // The loop's own count of failures, shown as the loop found them.
    const std::uint32_t loopErrors = m_iRenameErrNum;

    // 8. The log recounts both counters from what it finds on disk. Files may already have
    // been renamed: the log is the only record of what changed on disk, so it is written
    // before anything is shown, also when the path refresh failed.
    MakeRenameLog();

    // 6.
    if (loopErrors > 0) {
        ShowAndTrace(
            FormatSj("\nリネームに失敗したアイテムが[%d]個あります。\nアプリケーション上のデ"
                     "ータを破棄する必要があります。\n詳細は作成された RenameLog.txt "
                     "に記されました。\n",
                     static_cast<int>(loopErrors)),
            static_cast<int>(MsgIcon::Warning));
    }
    if (!refreshed) {
        ShowAndTrace(
            Sj("※　パス情報の更新に失敗しました。\n現在のデータは破棄する必要があります。\n"),
            static_cast<int>(MsgIcon::Error));
        return;
    }

    if (m_stop == RenameStop::Journal)
        ShowAndTrace(Sj("※　RenameJournal.txt に書き込めないので改名を中止しました。\n"
                        "残りのアイテムは変更していません。\n"),
                     static_cast<int>(MsgIcon::Error));

    // 9. STOP leaves the items not yet reached alone; the report says how many.
    if (m_host.StopRequested() && !m_host.QuitRequested())
        m_host.Message(Sj("中止ボタンによって中止されました"), MsgKind::Ok, MsgIcon::Information);

    // 10.
    std::string report =
        FormatSj("----- リネーム完了 -----\n　　　　成功： %10u\n　　　　失敗： %10u\n",
                 m_iRenameOkNum, m_iRenameErrNum);
    if (m_iNotAttemptedNum > 0) report += FormatSj("　　　未実行： %10u\n", m_iNotAttemptedNum);
    report += FormatSj("全アイテム数： %10u\n", static_cast<unsigned>(n));
    ShowAndTrace(report, static_cast<int>(MsgIcon::Information));
}

bool CRenameRun::MakeSubUserMakeFold(const CRenamePlan& plan) {
    for (const PlanFolder& f : plan.Folders()) {
        if (f.kind == PlanFolder::UnderRoot) {
            TraceF(m_strTracePath,
                   "※　ルート直下のアイテムは作成できません。MakeSubUserMakeFold()\n\tPath= "
                   "\"%s\"  NewName= \"%s\"  SubIndex= %d\n",
                   f.item->m_strOrgPath.c_str(), f.item->m_strNewName.c_str(), f.index);
            return false;
        }
        if (!MakeUserMakeFold(f.item)) {
            TraceF(m_strTracePath,
                   "※　サブフォルダの作成に失敗。MakeSubUserMakeFold()\n\tParentPath= \"%s\"  "
                   "ParentNewName= \"%s\"  SubIndex= %d\n",
                   f.parent->m_strOrgPath.c_str(), f.parent->m_strNewName.c_str(), f.index);
            return false;
        }
    }
    return true;
}

bool CRenameRun::MakeUserMakeFold(CMyItem* pItem) {
    if (!pItem) return false;
    const char* reason = nullptr;
    std::string path;
    if (pItem->m_iLayer < 2) {
        reason = "親フォルダのパスが不明です。";
    } else if (!GetWriteName(path, pItem)) {
        reason = "フォルダ名の合成に失敗。";
    } else if (m_pWatcher && !m_pWatcher->FolderCreating(path)) {
        reason = "RenameJournal.txt の書き込みに失敗。";
        m_stop = RenameStop::Journal;
    } else if (const int err = Fs().MakeDir(path); err != 0) {
        if (m_pWatcher) m_pWatcher->ChangeFailed(err);
        reason = "フォルダの作成に失敗。";
    } else {
        RefreshItemName(pItem, path);
        // It exists from now on, whatever happens to the rest of the run: a later run must not
        // try to create it again.
        pItem->m_bUserMakeFold = 0;
        pItem->m_bFolderMade = 1;
        return true;
    }
    AnalyzeRenameError(pItem, &m_iRenameErrNum, Sj(reason));
    return false;
}

bool CRenameRun::GetWriteName(std::string& strPath, CMyItem* pItem) {
    if (!pItem) return false;
    const CMyItem* parent = pItem->m_pParent;
    switch (PlanFolderPath(pItem, parent ? std::string_view(parent->m_strOrgPath) : "", strPath)) {
        case PathRule::Ok:
            return true;
        case PathRule::NoName:
            TraceF(m_strTracePath,
                   "※　作成するフォルダ名が無効です。GetWriteName()\n\tWriteName=\"%s\"\n",
                   pItem->m_strWriteName.c_str());
            return false;
        case PathRule::NoParent:
            TraceF(m_strTracePath, "※　親アイテムデータが無効です。GetWriteName()\n\t\"%s\"\n",
                   pItem->m_strWriteName.c_str());
            return false;
        case PathRule::NoParentPath:
            TraceF(m_strTracePath, "※　親アイテムのパスが無効です。GetWriteName()\n\t\"%s\"\n",
                   pItem->m_strWriteName.c_str());
            return false;
        default:
            return false;
    }
}

bool CRenameRun::MakeWritePath(CMyItem* pItem) {
    if (!pItem) return false;
    const CMyItem* parent = pItem->m_pParent;
    switch (PlanWritePath(pItem, parent ? std::string_view(parent->m_strOrgPath) : "",
                          pItem->m_strWritePath)) {
        case PathRule::Ok:
        case PathRule::Root:
            return true;
        case PathRule::NoParent:
            TraceF(m_strTracePath,
                   "※　親アイテムが無効です。MakeWritePath()\n\tOrtPath= \"%s\"  NewFile= \"%s\"\n",
                   pItem->m_strOrgPath.c_str(), pItem->m_strNewName.c_str());
            return false;
        default:
            return false;
    }
}

void CRenameRun::RefreshItemName(CMyItem* pItem, const std::string& strNewPath) {
    if (!pItem) return;
    AssignText(pItem->m_strOrgName, pItem->m_strWriteName);
    const int dot = pItem->GetExtPos(2);
    if (dot > 0)
        AssignText(
            pItem->m_strOrgExt,
            std::string_view(pItem->m_strWriteName).substr(static_cast<std::size_t>(dot) + 1));
    AssignText(pItem->m_strOrgPath, strNewPath);
    if (!IsAbsolutePath(strNewPath)) {
        pItem->m_strParentPath.clear();
        TraceF(
            m_strTracePath,
            "※　フルパス情報が異常です。RefreshItemName()\n\tOrgPath= \"%s\"\n\tNewName= \"%s\"\n",
            strNewPath.c_str(), pItem->m_strNewName.c_str());
        return;
    }
    AssignParentPath(pItem->m_strParentPath, strNewPath);
    SetStatusPath(pItem, strNewPath);
}

void CRenameRun::AnalyzeRenameError(CMyItem* pItem, const std::string& strWritePath, int err) {
    if (!pItem) return;
    const char* org = pItem->m_strOrgPath.c_str();
    const char* dst = strWritePath.c_str();
    switch (err) {
        case ENOENT:
            TraceF(m_strTracePath,
                   "※　oldname[%s] で指定したファイルまたはパスを検出できない。\n\t\tWritePath= "
                   "\"%s\"\n\n",
                   org, dst);
            break;
        case EACCES:
        case EPERM:
            TraceF(
                m_strTracePath,
                "※　newname[%s] で指定したファイルまたはディレクトリが\n\t\t既に存在するか、パス"
                "が無効で作成できない。あるいは、\n\toldname[%s] がディレクトリであるのに、\n\tnew"
                "name[%s] で別のパスを指定した。\n\n",
                dst, org, dst);
            break;
        case EEXIST:
        case ENOTEMPTY:
            TraceF(m_strTracePath,
                   "※　希望のファイル名は既に存在します。\n　　オリジナルネーム[%s]\n　　希望ネーム"
                   "[%s]\n\n",
                   org, dst);
            break;
        case EINVAL:
            TraceF(m_strTracePath,
                   "※　WritePath[%s]に無効な文字が使われている。\n\t\tNewName= \"%s\"\n\n", dst,
                   pItem->m_strNewName.c_str());
            break;
        default:
            TraceF(m_strTracePath,
                   "※　未知のエラー[%d]。オリジナルネーム[%s]\n　　希望ネーム[%s]\n\n", err, org,
                   dst);
            break;
    }
}

void CRenameRun::AnalyzeRenameError(CMyItem* pItem, std::uint32_t* pErrNum,
                                    const std::string& strReason) {
    if (!pItem) return;
    const int affected = 1 + pItem->GetTotalItemNum();
    if (pErrNum) *pErrNum += static_cast<std::uint32_t>(affected);
    TraceF(m_strTracePath, "※　%s RenameItemBySort()\n\tNewFoldName=\"%s\"    ErrNum=%d\n",
           strReason.c_str(), pItem->m_strNewName.c_str(), affected);
}

void CRenameRun::ResolveFailedPaths() {
    auto carried = [&](const FailedRename& r) {
        std::string path = r.path;
        for (std::size_t k = r.movesBefore; k < m_folderMoves.size(); ++k)
            FollowFolderRename(path, m_folderMoves[k].first, m_folderMoves[k].second);
        return path;
    };
    for (const FailedRename& failed : m_failed) m_failedPaths[failed.item] = carried(failed);
    for (const FailedRename& moved : m_rootItems)
        m_rootPaths[moved.item] = {moved.path, carried(moved)};
}

void CRenameRun::KeepRealPath(CMyItem* pItem, const std::string& strRealPath) {
    if (!pItem) return;
    pItem->m_strOrgPath = strRealPath;
    pItem->m_strParentPath = ParentPath(strRealPath);
    SetStatusPath(pItem, strRealPath);
    // The name on disk did not change; it is taken from the path in case the stored one was off.
    const std::string name = BaseName(strRealPath);
    if (name != pItem->m_strOrgName) {
        pItem->m_strOrgName = name;
        pItem->m_strOrgExt = OrgExtOf(name);
    }
}

bool CRenameRun::RefreshOrgPathByParent() {
    if (!m_pRoot) return false;
    return EachSubItem(
        m_pRoot,
        [&](int i) {
            TraceF(m_strTracePath,
                   "※　ルート直下のアイテム[%d]取得に失敗。RefreshOrgPathByParent()\n", i);
        },
        [&](CMyItem* item, int) { return RefreshOrgPathByParent(item); });
}

bool CRenameRun::RefreshOrgPathByParent(CMyItem* pItem) {
    if (!pItem) return false;
    if (!m_notReached.empty() &&
        std::binary_search(m_notReached.begin(), m_notReached.end(), pItem)) {
        // Left alone by STOP: it is where its path says (nothing holding it was renamed, as
        // everything inside a folder comes before the folder).
        pItem->UpdateWriteName();
    } else if (pItem->m_iLayer == 1) {
        // An item whose rename failed in this run stays where it really is; its new name stays
        // as the user edited it, so that the next run tries again.
        const auto failed = m_failedPaths.empty() ? m_failedPaths.end() : m_failedPaths.find(pItem);
        // Its folder on disk may have been renamed after it (an item moved under the root):
        // the path follows.
        const auto carried = m_rootPaths.empty() ? m_rootPaths.end() : m_rootPaths.find(pItem);
        pItem->UpdateWriteName();
        if (failed != m_failedPaths.end()) {
            KeepRealPath(pItem, failed->second);
        } else if (carried != m_rootPaths.end() && carried->second.first == pItem->m_strOrgPath) {
            RefreshItemName(pItem, carried->second.second);
        } else if (!RefreshedByLoop(pItem)) {
            m_strScratch = pItem->m_strOrgPath;
            RefreshItemName(pItem, m_strScratch);
        }
    } else if (pItem->m_iLayer >= 2) {
        const auto failed = m_failedPaths.empty() ? m_failedPaths.end() : m_failedPaths.find(pItem);
        if (!CanMakeNewPath(pItem)) return false;
        if (failed != m_failedPaths.end() || pItem->m_bRenameFailed || !RefreshedByLoop(pItem) ||
            !IsJoined(pItem->m_strOrgPath, pItem->m_pParent->m_strOrgPath, pItem->m_strWriteName)) {
            JoinPathInto(m_strScratch, pItem->m_pParent->m_strOrgPath, pItem->m_strWriteName);
            // For an item whose rename failed, the write path is the path it was to get, as the
            // log reports it.
            if (pItem->m_bRenameFailed) pItem->m_strWritePath = m_strScratch;
            if (failed != m_failedPaths.end()) {
                KeepRealPath(pItem, failed->second);
            } else if (!RefreshedByLoop(pItem) || pItem->m_strOrgPath != m_strScratch) {
                RefreshItemName(pItem, m_strScratch);
            }
        }
    }
    if (!pItem->m_bIsFolder) return true;
    return EachSubItem(
        pItem,
        [&](int i) {
            TraceF(
                m_strTracePath,
                "※　サブアイテムが取得できませんでした。RefreshOrgPathByParent()\n\tPath= \"%s\"  "
                "NewName= \"%s\"  Index[%d]\n",
                pItem->m_strOrgPath.c_str(), pItem->m_strNewName.c_str(), i);
        },
        [&](CMyItem* sub, int) { return RefreshOrgPathByParent(sub); });
}

bool CRenameRun::CanMakeNewPath(CMyItem* pItem) {
    if (!pItem) return false;
    pItem->UpdateWriteName();
    const CMyItem* parent = pItem->m_pParent;
    if (!parent) {
        TraceF(m_strTracePath,
               "※　親アイテムのポインタが無効。GetNewPathUnderNewParent()\n\tSelfPath= "
               "\"%s\"\tNewName= "
               "\"%s\"\n",
               pItem->m_strOrgPath.c_str(), pItem->m_strNewName.c_str());
        return false;
    }
    if (!IsAbsolutePath(parent->m_strOrgPath)) {
        TraceF(m_strTracePath,
               "※　親アイテムのパスが無効です。GetNewPath()\n\tParentPath= \"%s\"\tSelfNewName= "
               "\"%s\"\n",
               parent->m_strOrgPath.c_str(), pItem->m_strNewName.c_str());
        return false;
    }
    return true;
}

int DirectRename(CMyItem* root, CMyDepthInfo& depth, const RenameOptions& options, IHost& host,
                 RenameCounts* counts) {
    CRenameRun run(root, depth, host);
    run.SetWatcher(options.watcher);
    run.SetScope(options.scope);
    run.SetPlan(options.plan);
    if (!run.ConfirmStart(options)) return 1;
    const int r = run.RenameItemBySort();
    if (counts) {
        counts->ok = run.m_iRenameOkNum;
        counts->failed = run.m_iRenameErrNum;
        counts->itemNum = depth.GetItemNum();
        counts->notAttempted = run.m_iNotAttemptedNum;
        counts->stop = run.m_stop;
        counts->logFailed = run.m_bLogFailed;
    }
    return r;
}

}  // namespace dov
