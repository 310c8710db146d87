#include "macro/macro_target.h"

#include "model/item.h"

namespace dov {

int MacroTarget::RowCount() const {
    if (!pFolder || !pFolder->m_bIsFolder || !pFolder->m_pArray) return 0;
    return static_cast<int>(pFolder->m_dwNumInFolder);
}

CMyItem* MacroTarget::RowItem(int row) const {
    if (row < 0 || row >= RowCount()) return nullptr;
    return pFolder->GetSubItem(row);
}

bool MacroTarget::IsSelected(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < selected.size() &&
           selected[static_cast<std::size_t>(row)] != 0;
}

void MacroTarget::SetSelected(int row, bool on) {
    if (row < 0) return;
    std::size_t r = static_cast<std::size_t>(row);
    if (r >= selected.size()) {
        if (!on) return;
        selected.resize(r + 1, 0);
    }
    selected[r] = on ? 1 : 0;
}

std::vector<CMyItem*> MacroTarget::SelectedItems() const {
    std::vector<CMyItem*> items;
    int n = RowCount();
    for (int row = 0; row < n; ++row) {
        if (!IsSelected(row)) continue;
        if (CMyItem* p = RowItem(row)) items.push_back(p);
    }
    return items;
}

std::vector<int> MacroTarget::SelectedRows() const {
    std::vector<int> rows;
    int n = RowCount();
    for (int row = 0; row < n; ++row)
        if (IsSelected(row)) rows.push_back(row);
    return rows;
}

}  // namespace dov
