// The list side of the view: the item fields, the rows' selection (written into the session's
// list state while idle, shown from it after a worker changed it) and the list's keys.
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>

#include "common/workerflags.h"
#include "model/item.h"
#include "session/session.h"
#include "shell/drag.h"
#include "shell/qthost.h"
#include "shell/qttext.h"
#include "shell/treepane.h"
#include "shell/view.h"

namespace dov {

// ---- Fields and selection -----------------------------------------------------------------

void CKestrelView::ClearFields() {
    form_->ClearFields();
}

void CKestrelView::ShowFields(CMyItem* item) {
    const ItemFields f = ItemFields::Of(item);
    form_->ShowFields(f);
    if (item) treePane_->SetLabel(item, f.edit);
}

void CKestrelView::ShowItem(int row) {
    if (Flags().busy) return;
    const ListRow* r = form_->listModel->Row(row);
    if (!r) return;
    session_->List().iCurrentRow = row;
    curItem_ = r->item;
    ShowFields(curItem_);
}

void CKestrelView::ShowMessage(const char* utf8) {
    host_->Ask(U8(utf8), MsgKind::Ok);
}

std::vector<int> CKestrelView::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : form_->list->selectionModel()->selectedRows())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CKestrelView::WriteSelectionToSession() {
    // Only while the list shows the session's rows.
    if (Flags().busy || form_->listModel->Folder() != session_->CurFolder()) return;
    session_->SetSelection(SelectedRows(), session_->List().iCurrentRow);
}

bool CKestrelView::Closing() const {
    return Flags().quitReq.load() || closeAfterWorker_;
}

void CKestrelView::ShowSessionSelection() {
    if (Closing()) return;
    QItemSelection sel;
    const ListState& state = session_->List();
    const int n = std::min(form_->listModel->rowCount(), state.RowCount());
    int first = -1;
    // One range per run of selected rows: a range per row makes every later selection test
    // walk them all, which a macro selecting 100,000 rows turns into minutes.
    for (int r = 0; r < n; ++r) {
        if (!state.IsSelected(r)) continue;
        if (first < 0) first = r;
        int last = r;
        while (last + 1 < n && state.IsSelected(last + 1)) ++last;
        sel.select(form_->listModel->index(r, 0),
                   form_->listModel->index(last, CItemListModel::kColumnCount - 1));
        r = last;
    }
    QItemSelectionModel* m = form_->list->selectionModel();
    m->select(sel, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The first selected row becomes the current one.
    if (first >= 0) {
        m->setCurrentIndex(form_->listModel->index(first, 0), QItemSelectionModel::NoUpdate);
        ShowItem(first);
    }
}

void CKestrelView::RefreshRows() {
    if (Closing()) return;
    session_->ShowFolder(session_->CurFolder());
}

void CKestrelView::RefreshRowsKeepingSelection() {
    CMyItem* folder = session_->CurFolder();
    if (!folder || WorkerRunning() || Closing()) return;
    host_->SetShownFolder(folder);
    form_->listModel->UpdateRows(folder);
    if (curItem_ && CurrentRow() >= 0) ShowFields(curItem_);
}

void CKestrelView::SelectListRow(int row) {
    const int n = form_->listModel->rowCount();
    if (n == 0) return;
    if (row < 0 || row >= n) row = 0;
    const QModelIndex i = form_->listModel->index(row, 0);
    form_->list->selectionModel()->setCurrentIndex(
        i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    form_->list->scrollTo(i);
    form_->list->horizontalScrollBar()->setValue(0);
}

void CKestrelView::GoToItem(CMyItem* item) {
    QTreeWidgetItem* node = item ? treePane_->NodeOf(item->m_pParent) : nullptr;
    if (!node || Flags().busy) return;
    for (QTreeWidgetItem* up = node->parent(); up; up = up->parent()) up->setExpanded(true);
    form_->tree->scrollToItem(node);
    ShowFolderNode(node);
    for (int row = 0; row < form_->listModel->rowCount(); ++row) {
        if (form_->listModel->Row(row)->item != item) continue;
        focusSide_ = 1;
        rowChosen_ = true;
        SelectListRow(row);
        ShowItem(row);
        form_->list->setFocus();
        CheckAndChangeTreeBtnState(false, true);
        return;
    }
}

void CKestrelView::SelectAllRows() {
    if (Flags().busy) return;
    form_->list->selectAll();
    SelectItemMessage();
}

void CKestrelView::SelectItemMessage() {
    form_->list->setFocus();
    focusSide_ = 1;
    const std::vector<int> rows = SelectedRows();
    if (!rows.empty()) {
        // The first selected row becomes the current one, for the keys as for the fields.
        form_->list->selectionModel()->setCurrentIndex(form_->listModel->index(rows.front(), 0),
                                                       QItemSelectionModel::NoUpdate);
        ShowItem(rows.front());
    }
    CheckAndChangeTreeBtnState(false, true);
}

// ---- Keyboard and mouse -------------------------------------------------------------------

bool CKestrelView::ListKey(QKeyEvent* k) {
    // Page Up and Page Down scroll by the whole rows that fit in the list and move the current
    // row by as many rows, so it keeps its place on the screen; End scrolls to the last page,
    // Home to the top, and the list's own handling of these keys follows (it moves the current
    // row); Delete deletes the selected rows.
    QTreeView* list = form_->list;
    QScrollBar* bar = list->verticalScrollBar();
    const int key = k->key();
    switch (key) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            int rowHeight = list->visualRect(form_->listModel->index(0, 0)).height();
            if (rowHeight <= 0) rowHeight = std::max(1, list->sizeHintForRow(0));
            const int rows = std::max(1, list->viewport()->height() / rowHeight);
            const int sign = key == Qt::Key_PageUp ? -1 : 1;
            bar->setValue(bar->value() + sign * rows * rowHeight);
            if (k->modifiers() & Qt::ShiftModifier) return false;  // the list extends the range
            const QModelIndex cur = list->currentIndex();
            const int last = form_->listModel->rowCount() - 1;
            const int row = std::clamp((cur.isValid() ? cur.row() : 0) + sign * rows, 0, last);
            list->selectionModel()->setCurrentIndex(
                form_->listModel->index(row, 0),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            return true;
        }
        case Qt::Key_End:
            bar->setValue(bar->maximum());
            return false;
        case Qt::Key_Home:
            bar->setValue(0);
            return false;
        case Qt::Key_Delete:
            OnDeleteItems();
            return false;
        default:
            return false;
    }
}

bool CKestrelView::KeyPress(QObject* obj, QKeyEvent* k) {
    const bool ctrl = k->modifiers() & Qt::ControlModifier;
    const bool alt = k->modifiers() & Qt::AltModifier;
    const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
    if (obj == form_->edit) {
        if (enter) TypeNewName(form_->edit->text());
        return enter;
    }
    if (obj != form_->list) return false;
    // While rows are dragged, Page Up and Page Down scroll by 200 pixels.
    if (drag_->ListDragging() && (k->key() == Qt::Key_PageUp || k->key() == Qt::Key_PageDown)) {
        QScrollBar* bar = form_->list->verticalScrollBar();
        bar->setValue(bar->value() + (k->key() == Qt::Key_PageUp ? -200 : 200));
        return true;
    }
    if (ctrl && !alt && k->key() == Qt::Key_A) {
        SelectAllRows();
        return true;
    }
    // Enter ending a label edit reaches the list too (from its editor): the focus stays.
    if (enter && CurrentRow() >= 0 && form_->list->hasFocus()) {
        form_->edit->setFocus();
        form_->edit->selectAll();
        return true;
    }
    if (!ctrl && !alt && form_->listModel->rowCount() > 0) return ListKey(k);
    return false;
}

bool CKestrelView::eventFilter(QObject* obj, QEvent* e) {
    const bool mouse = e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseMove ||
                       e->type() == QEvent::MouseButtonRelease;
    if (mouse && obj == form_->list->viewport()) return drag_->HandleMouse(true, e);
    if (mouse && obj == form_->tree->viewport()) return drag_->HandleMouse(false, e);
    if (obj == form_->list->viewport() && e->type() == QEvent::Resize) form_->FitColumns();
    if (e->type() == QEvent::FocusIn) {
        if (obj == form_->tree) focusSide_ = 0;
        if (obj == form_->list) focusSide_ = 1;
        // While a worker runs the buttons stay as the busy state set them.
        if ((obj == form_->tree || obj == form_->list) && !Flags().busy)
            CheckAndChangeTreeBtnState(false, true);
    }
    if (e->type() == QEvent::KeyPress && KeyPress(obj, static_cast<QKeyEvent*>(e))) return true;
    return QWidget::eventFilter(obj, e);
}

}  // namespace dov
