// Edits of the edit tree itself: new folders, folder removal, deleting list rows, moving rows
// within a folder, moving rows into another folder, moving a folder under another.
//
// Only the tree in memory changes; the disk follows at the next direct rename (user-made
// folders are created, moved items are moved by the rename) or copy. Nothing here touches the
// disk. The window hears of every change through dov::IHost (tree nodes, the list).
#pragma once

#include <vector>

class CMyItem;

namespace dov {

class IHost;

// "フォルダ作成": a new folder "新規フォルダ_%03d" appended to pFolder, marked user-made, with
// its tree node. nullptr when pFolder is not a folder or the folder could not be made.
CMyItem* AddFoldToTree(CMyItem* pFolder, IHost& host);

// "削除": removes pFolder (never the root) from the tree and deletes it with its subtree. The
// parent is renumbered and shown; it is returned as the new current folder (nullptr: refused).
CMyItem* RemoveTreeFolder(CMyItem* pFolder, IHost& host);

struct ListDeleteResult {
    bool ok = false;     // false: nothing selected, a deletion already running, or an error
    int currentRow = 0;  // the row to make current
    bool hasCurrentItem = false;  // false when the folder is empty (or after an error)
};

// "アイテム削除": deletes the items of the selected rows (positions in pFolder, ascending) with
// their subtrees, last row first. The deletions made before an error stay.
ListDeleteResult DeleteSelectListItems(CMyItem* pFolder, const std::vector<int>& rows, IHost& host);

// A list drag dropped on the list: the selected rows (ascending) move as a block to iDropRow
// (or to the last rows when the block would not fit). The new current row, or -1 when refused.
int ListDropMove(CMyItem* pFolder, const std::vector<int>& rows, int iDropRow, IHost& host);

// Checks a list drop onto the folder pTarget: rows present, none missing, the target neither
// one of the dragged folders nor inside one (those two are also told to the user).
bool PreCheckDropToTree(CMyItem* pTarget, const std::vector<CMyItem*>& dragItems, IHost& host);

// A list drag dropped on the tree: the dragged rows (their positions in their folder, ascending,
// and their items in the same order) move to the end of pTarget (the root for empty space).
// A drop whose rows cannot be taken out of their folder is refused and changes nothing.
bool ItemDropToTree(CMyItem* pTarget, const std::vector<int>& rows,
                    const std::vector<CMyItem*>& dragItems, IHost& host);

// A tree drag: the folder pDragged moves to the end of pTarget. Nothing happens when pTarget is
// its own folder or itself; a target inside the dragged folder is refused with a message; a
// missing target keeps the folder where it was. STOP or close while the moved branch is being
// shown drops the branch from the edit tree (never from the disk). pSelected: the folder
// selected in the tree; when it is the dragged folder or its parent, the parent is shown in the
// list again. true when the folder moved.
bool TreeItemDropToTree(CMyItem* pDragged, CMyItem* pTarget, IHost& host,
                        CMyItem* pSelected = nullptr);

}  // namespace dov
