#include "model/list_state.h"

#include "model/item.h"

namespace dov {

int ListState::RowCount() const {
    if (!pFolder || !pFolder->m_bIsFolder || !pFolder->m_pArray) return 0;
    return static_cast<int>(pFolder->m_dwNumInFolder);
}

CMyItem* ListState::RowItem(int row) const {
    if (row < 0 || row >= RowCount()) return nullptr;
    return pFolder->GetSubItem(row);
}

bool ListState::IsSelected(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < selected.size() &&
           selected[static_cast<std::size_t>(row)] != 0;
}

void ListState::SetSelected(int row, bool on) {
    if (row < 0) return;
    std::size_t r = static_cast<std::size_t>(row);
    if (r >= selected.size()) {
        if (!on) return;
        selected.resize(r + 1, 0);
    }
    selected[r] = on ? 1 : 0;
}

std::vector<CMyItem*> ListState::SelectedItems() const {
    std::vector<CMyItem*> items;
    int n = RowCount();
    for (int row = 0; row < n; ++row) {
        if (!IsSelected(row)) continue;
        if (CMyItem* p = RowItem(row)) items.push_back(p);
    }
    return items;
}

std::vector<int> ListState::SelectedRows() const {
    std::vector<int> rows;
    int n = RowCount();
    for (int row = 0; row < n; ++row)
        if (IsSelected(row)) rows.push_back(row);
    return rows;
}

void ListState::Show(CMyItem* folder) {
    pFolder = folder;
    selected.assign(static_cast<std::size_t>(RowCount()), 0);
    iCurrentRow = -1;
}

int ListState::RowOf(const CMyItem* item) const {
    const int n = RowCount();
    for (int row = 0; row < n; ++row)
        if (RowItem(row) == item) return row;
    return -1;
}

}  // namespace dov
