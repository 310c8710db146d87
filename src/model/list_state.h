// The list's state: the folder whose items are the rows (in array order), which rows are
// selected, and the current row. GUI-free; the session owns the one instance, the Qt list
// model reads it and the window writes its selection into it while idle, the macro runner and
// the list commands work on it.
#pragma once

#include <vector>

class CMyItem;

namespace dov {

struct ListState {
    // The folder shown in the list; its sub-items are the rows, in array order. May be null
    // (an empty list).
    CMyItem* pFolder = nullptr;
    // One flag per row (non-zero: selected). Shorter than the row count means the missing
    // rows are not selected.
    std::vector<char> selected;
    // The row whose item the item fields show, or -1 when they show none.
    int iCurrentRow = -1;

    // The number of rows of the list.
    int RowCount() const;
    // The item of a row, or null.
    CMyItem* RowItem(int row) const;
    bool IsSelected(int row) const;
    void SetSelected(int row, bool on);
    // The items of the selected rows, in list order.
    std::vector<CMyItem*> SelectedItems() const;
    // The rows of the selected items, in list order.
    std::vector<int> SelectedRows() const;
    // Shows a folder: its items become the rows, none selected, no current row.
    void Show(CMyItem* folder);
    // The row of an item of the folder shown, or -1.
    int RowOf(const CMyItem* item) const;
};

}  // namespace dov
