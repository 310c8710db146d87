#include "rename/tree_edit.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>

#include "common/codepage.h"
#include "common/trace.h"
#include "model/host.h"
#include "model/item.h"

namespace dov {
namespace {

std::string TracePathOf(const CMyItem* item) {
    if (item && !item->m_strTracePath.empty()) return item->m_strTracePath;
    return DefaultTracePath();
}

unsigned Addr32(const void* p) {
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(p));
}

// Whether item lies below ancestor (walking up from item's parent).
bool IsBelow(const CMyItem* item, const CMyItem* ancestor) {
    for (const CMyItem* p = item ? item->m_pParent : nullptr; p; p = p->m_pParent)
        if (p == ancestor) return true;
    return false;
}

// Gives every folder of the branch its tree node, the folder first, then its sub-folders in
// order. With polling, STOP or close before any sub-item ends it with false.
bool AddBranchToTree(CMyItem* folder, IHost& host, bool poll) {
    host.TreeFolderAdded(folder);
    const int n = static_cast<int>(folder->m_dwNumInFolder);
    for (int i = 0; i < n; ++i) {
        if (poll && (host.StopRequested() || host.QuitRequested())) return false;
        CMyItem* sub = folder->GetSubItem(i);
        if (!sub) {
            TraceF(TracePathOf(folder),
                   "※　サブアイテムが得られません。AddItemToTree()\n\tIndex[%d]  NewName= \"%s\"  "
                   "OrgPath= \"%s\"\n",
                   i, folder->m_strNewName.c_str(), folder->m_strOrgPath.c_str());
            if (poll) return false;
            continue;
        }
        if (sub->m_bIsFolder && !AddBranchToTree(sub, host, poll)) return false;
    }
    return true;
}

std::atomic<bool> g_deleting{false};

}  // namespace

CMyItem* AddFoldToTree(CMyItem* pFolder, IHost& host) {
    if (!pFolder || !pFolder->m_bIsFolder) return nullptr;
    CMyItem* item = pFolder->MakeSubFold();
    if (!item) {
        TraceF(TracePathOf(pFolder), "※　サブフォルダ作成に失敗　CKestrelView::AddFoldToTree()\n");
        return nullptr;
    }
    item->m_bUserMakeFold = 1;
    host.TreeFolderAdded(item);
    return item;
}

CMyItem* RemoveTreeFolder(CMyItem* pFolder, IHost& host) {
    if (!pFolder || !pFolder->m_pParent) return nullptr;
    CMyItem* parent = pFolder->m_pParent;
    const int pos = parent->FindSubItemPos(pFolder);
    if (pos < 0) return nullptr;
    TraceF(TracePathOf(pFolder), "選択アイテム[%08X]を削除します。IdInFold[%d] ItemName[%s]\n",
           Addr32(pFolder), pos, pFolder->m_strNewName.c_str());
    host.TreeFolderRemoved(pFolder);
    parent->DeleteSubItem(pos);
    parent->RenumberSubItems();
    host.ListShowFolder(parent);
    return parent;
}

ListDeleteResult DeleteSelectListItems(CMyItem* pFolder, const std::vector<int>& rows,
                                       IHost& host) {
    ListDeleteResult result;
    if (!pFolder || rows.empty()) return result;
    bool expected = false;
    if (!g_deleting.compare_exchange_strong(expected, true)) return result;
    struct Release {
        ~Release() { g_deleting.store(false); }
    } release;

    const std::string& trace = TracePathOf(pFolder);
    std::vector<int> sorted(rows);
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());

    int errors = 0;
    // Last row first: the rows still to come keep their positions.
    for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) {
        const int row = *it;
        CMyItem* item = pFolder->GetSubItem(row);
        if (!item) {
            TraceF(trace,
                   "※　リストアイテムに対応するアイテムデータがありません。DeleteSelectListItems()"
                   "\n\tItemIndex=%d\n",
                   row);
            ++errors;
            continue;
        }
        CMyItem* parent = item->m_pParent;
        if (!parent || parent->GetSubItem(row) != item) {
            TraceF(
                trace,
                "※　親アイテムデータが無効。DeleteSelectListItems()\n\tNewName= \"%s\"  OrgPath= "
                "\"%s\"  ItemIndex=%d\n",
                item->m_strNewName.c_str(), item->m_strOrgPath.c_str(), row);
            ++errors;
            continue;
        }
        if (item->m_bIsFolder) host.TreeFolderRemoved(item);
        parent->DeleteSubItem(row);
    }
    pFolder->RenumberSubItems();
    host.ListShowFolder(pFolder);

    if (errors > 0) {
        TraceF(trace, "※　アイテム削除に失敗");
        host.Message(Sj("※　アイテム削除に失敗"), MsgKind::Ok, MsgIcon::Warning);
        result.currentRow = 0;
        result.hasCurrentItem = pFolder->m_dwNumInFolder > 0;
        return result;
    }
    const int left = static_cast<int>(pFolder->m_dwNumInFolder);
    result.ok = true;
    if (left > 0) {
        int row = sorted.front() + static_cast<int>(sorted.size()) - 1;
        row = std::min(row, left - 1);
        result.currentRow = std::max(row, 0);
        result.hasCurrentItem = true;
    }
    return result;
}

int ListDropMove(CMyItem* pFolder, const std::vector<int>& rows, int iDropRow, IHost& host) {
    if (!pFolder || !pFolder->m_bIsFolder || rows.empty() || iDropRow < 0) return -1;
    const int count = static_cast<int>(pFolder->m_dwNumInFolder);
    const int n = static_cast<int>(rows.size());
    const int first = iDropRow + n < count ? iDropRow : count - n;
    if (first < 0) return -1;
    if (pFolder->MoveSubItems(rows, first) != 0) return -1;
    host.ListShowFolder(pFolder);
    return first;
}

bool PreCheckDropToTree(CMyItem* pTarget, const std::vector<CMyItem*>& dragItems, IHost& host) {
    const std::string& trace = TracePathOf(pTarget);
    if (dragItems.empty()) {
        TraceF(trace, "※　ツリーへドロップしたアイテム数が異常[%d]です。PreCheckDropToTree()\n", 0);
        return false;
    }
    for (std::size_t i = 0; i < dragItems.size(); ++i) {
        if (!dragItems[i]) {
            TraceF(trace,
                   "※　ドロップアイテムデータ[%d]に無効なデータが含まれていました。"
                   "PreCheckDropToTree()\n",
                   static_cast<int>(i));
            return false;
        }
    }
    for (CMyItem* item : dragItems) {
        if (!item->m_bIsFolder) continue;
        if (item == pTarget) {
            const std::string text = Sj("※　ツリーへのドロップ先に自分自身は含められません。"
                                        "PreCheckDropToTree()\n\tFullPath= \"") +
                                     item->m_strOrgPath + Sj("\"    NewName= \"") +
                                     item->m_strNewName + "\"\n";
            TraceWrite(trace, text);
            host.Message(text, MsgKind::Ok, MsgIcon::Warning);
            return false;
        }
        if (IsBelow(pTarget, item)) {
            const std::string& text =
                Sj("※　ドロップ先がドラッグアイテムの子に属することは出来ません。\n");
            TraceWrite(trace, text);
            host.Message(text, MsgKind::Ok, MsgIcon::Warning);
            return false;
        }
    }
    return true;
}

bool ItemDropToTree(CMyItem* pTarget, const std::vector<int>& rows,
                    const std::vector<CMyItem*>& dragItems, IHost& host) {
    if (!pTarget) {
        TraceF(DefaultTracePath(),
               "※　引数が無効です。CKestrelView::ItemDropToTree(HTREEITEM hTarget)\n");
        return false;
    }
    const std::string& trace = TracePathOf(pTarget);
    if (!pTarget->m_bIsFolder) {
        TraceF(trace,
               "※　ツリーに関連づけられたアイテムクラスデータがありません。\n\t\tCKestrelView::"
               "ItemDropToTree( HTREEITEM hTarget[%08X] )\n",
               Addr32(pTarget));
        return false;
    }
    if (dragItems.empty()) return false;
    if (!PreCheckDropToTree(pTarget, dragItems, host)) {
        TraceF(trace,
               "※　ドロップアイテムデータに異常があるのでドロップを中止。 ItemDropToTree()\n");
        return false;
    }
    CMyItem* source = dragItems.front()->m_pParent;
    if (!source) {
        TraceF(trace, "※　親アイテムが存在しません。\n");
        return false;
    }
    // Every dragged item must stand at its row in the same folder, rows ascending: otherwise
    // the items cannot be taken out cleanly and the drop is refused (nothing changes).
    bool fits = rows.size() == dragItems.size();
    for (std::size_t i = 0; fits && i < rows.size(); ++i) {
        if (i > 0 && rows[i] <= rows[i - 1])
            fits = false;
        else if (dragItems[i]->m_pParent != source || source->GetSubItem(rows[i]) != dragItems[i])
            fits = false;
    }
    if (!fits) {
        TraceF(trace, "※　親アイテムでドラッグアイテムのクリアに失敗。ドロップを中止します\n");
        return false;
    }
    const int n = static_cast<int>(rows.size());
    std::vector<CMyItem*> taken;
    if (source->ClearSubItems(n, rows, &taken) != 0) {
        // Nothing may get lost from the tree: whatever was taken out goes back.
        TraceF(trace, "※　親アイテムでドラッグアイテムのクリアに失敗。ドロップを中止します\n");
        for (CMyItem* item : taken) {
            if (source->AddItem(item) == 0 && source->FindSubItemPos(item) < 0)
                std::unique_ptr<CMyItem> gone(item);
        }
        source->RenumberSubItems();
        return false;
    }
    for (CMyItem* item : dragItems) {
        if (!item->m_bIsFolder) continue;
        host.TreeFolderRemoved(item);
    }
    pTarget->AddItems(n, taken);
    for (CMyItem* item : taken) {
        if (pTarget->FindSubItemPos(item) >= 0) continue;
        // Could not be appended (memory): back to where it came from.
        if (source->AddItem(item) == 0 && source->FindSubItemPos(item) < 0) {
            TraceF(trace, "※　アイテム[ %s ]に対応するツリーアイテムを削除に失敗\n",
                   item->PosString().c_str());
            std::unique_ptr<CMyItem> gone(item);
        }
    }
    for (CMyItem* item : taken) {
        if (item->m_bIsFolder && item->m_pParent == pTarget) AddBranchToTree(item, host, false);
    }
    host.ListShowFolder(source);
    return true;
}

bool TreeItemDropToTree(CMyItem* pDragged, CMyItem* pTarget, IHost& host, CMyItem* pSelected) {
    if (!pDragged) return false;
    const std::string& trace = TracePathOf(pDragged);
    CMyItem* parent = pDragged->m_pParent;
    if (!parent) {
        TraceF(
            trace,
            "※　ドラッグアイテムの親アイテムが得られません。TreeItemDropToTree()\n\tDragItemName= "
            "\"%s\"\n",
            pDragged->m_strNewName.c_str());
        return false;
    }
    if (!pTarget) {
        // A target without an item: the dragged folder stays where it is.
        TraceF(trace, "※　ドロップ先のアイテムポインタが得られません。TreeItemDropToTree()\n");
        return false;
    }
    if (pTarget == parent || pTarget == pDragged) return false;
    if (IsBelow(pTarget, pDragged)) {
        const std::string& text =
            Sj("※　ドロップ先がドラッグアイテムの子に属することは出来ません。\n");
        TraceWrite(trace, text);
        host.Message(text, MsgKind::Ok, MsgIcon::Warning);
        return false;
    }
    if (!pDragged->m_bIsFolder || !pTarget->m_bIsFolder) {
        TraceF(
            trace,
            "※　指定のアイテムはフォルダではありません。AddItemToTree()\n\tParentTree= \"%s\"    "
            "NewName= \"%s\"    OrgPath= \"%s\"\n",
            pTarget->m_strNewName.c_str(), pDragged->m_strNewName.c_str(),
            pDragged->m_strOrgPath.c_str());
        return false;
    }
    const bool showList = pSelected == pDragged || pSelected == parent;

    // Out of the old folder first (the item is then ours), then into the new one.
    if (!parent->FindAndClearSubItem(pDragged)) {
        TraceF(trace, "※　ドラッグアイテムの親アイテムからのクリアに失敗。TreeItemDropToTree()\n");
        return false;
    }
    parent->RenumberSubItems();
    if (pTarget->AddItem(pDragged) == 0 && pTarget->FindSubItemPos(pDragged) < 0) {
        // Not taken (memory): back into its old folder, at the end.
        if (parent->AddItem(pDragged) == 0 && parent->FindSubItemPos(pDragged) < 0)
            std::unique_ptr<CMyItem> gone(pDragged);
        return false;
    }
    pDragged->SubItemLayerReCalc(pTarget->m_iLayer + 1);
    host.TreeFolderRemoved(pDragged);

    if (!AddBranchToTree(pDragged, host, true)) {
        const bool stop = host.StopRequested();
        const bool quit = host.QuitRequested();
        if (stop || quit) {
            const std::string& text = Sj("※　中止命令によりドラッグアイテムは破棄されます。\n");
            TraceWrite(trace, text);
            if (stop) host.Message(text, MsgKind::Ok, MsgIcon::Warning);
        } else {
            TraceF(trace,
                   "※　ツリーへのセットに失敗したのでセットした分を削除 TreeItemDropToTree()\n");
        }
        // The branch leaves the edit tree (the disk is not touched).
        host.TreeFolderRemoved(pDragged);
        if (pTarget->FindAndClearSubItem(pDragged)) {
            std::unique_ptr<CMyItem> gone(pDragged);
            pTarget->RenumberSubItems();
        }
        if (showList) host.ListShowFolder(parent);
        return false;
    }
    if (showList) host.ListShowFolder(parent);
    return true;
}

}  // namespace dov
