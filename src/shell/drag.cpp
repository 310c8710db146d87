#include "shell/drag.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>

#include "shell/listmodel.h"
#include "shell/treepane.h"

namespace dov {

CDragTracker::CDragTracker(QTreeWidget* tree, QTreeView* list, CItemListModel* model,
                           CTreePane* pane)
    : tree_(tree), list_(list), model_(model), pane_(pane) {}

CDragTracker::~CDragTracker() {
    SetCursor(false);
}

void CDragTracker::SetCursor(bool on) {
    if (on == cursorOverridden_) return;
    cursorOverridden_ = on;
    if (on)
        QApplication::setOverrideCursor(QCursor(Qt::DragMoveCursor));
    else
        QApplication::restoreOverrideCursor();
}

bool CDragTracker::BeginListDrag() {
    listDragPending_ = false;
    if (!MayStart() || Dragging()) return false;
    std::vector<int> rows;
    for (const QModelIndex& i : list_->selectionModel()->selectedRows()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    if (rows.empty()) return false;
    rows_ = rows;
    items_.clear();
    for (int r : rows) items_.push_back(model_->Row(r)->item);
    listDrag_ = true;
    SetCursor(true);
    return true;
}

bool CDragTracker::BeginTreeDrag(QTreeWidgetItem* node) {
    treeDragPending_ = nullptr;
    if (!MayStart() || Dragging()) return false;
    CMyItem* item = CTreePane::ItemOf(node);
    if (!item || (root && item == root())) return false;  // the top node stays
    treeDrag_ = node;
    SetCursor(true);
    return true;
}

void CDragTracker::Cancel() {
    listDragPending_ = false;
    listDrag_ = false;
    treeDragPending_ = nullptr;
    treeDrag_ = nullptr;
    SetCursor(false);
}

void CDragTracker::EndDragAt(const QPoint& global) {
    const bool wasList = listDrag_;
    QTreeWidgetItem* dragNode = treeDrag_;
    Cancel();
    if ((!wasList && !dragNode) || !MayStart()) return;

    const QPoint tp = tree_->viewport()->mapFromGlobal(global);
    if (tree_->viewport()->rect().contains(tp)) {
        // Empty space below the nodes is the top node.
        QTreeWidgetItem* targetNode = tree_->itemAt(tp);
        if (!targetNode && root) targetNode = pane_->NodeOf(root());
        CMyItem* target = CTreePane::ItemOf(targetNode);
        if (!target) return;
        if (wasList) {
            if (rowsOnFolder) rowsOnFolder(target, rows_, items_);
        } else if (CMyItem* dragged = CTreePane::ItemOf(dragNode); dragged && folderOnFolder) {
            folderOnFolder(dragged, target);
        }
        return;
    }
    const QPoint lp = list_->viewport()->mapFromGlobal(global);
    if (wasList && list_->viewport()->rect().contains(lp) && rowsOnRow) {
        const QModelIndex i = list_->indexAt(lp);
        rowsOnRow(rows_, i.isValid() ? i.row() : model_->rowCount() - 1);
    }
}

bool CDragTracker::HandleMouse(bool onList, QEvent* e) {
    auto* m = static_cast<QMouseEvent*>(e);
    const QPoint pos = m->position().toPoint();
    const bool dragging = onList ? listDrag_ : treeDrag_ != nullptr;
    switch (e->type()) {
        case QEvent::MouseButtonPress:
            if (m->button() != Qt::LeftButton || !MayStart()) return false;
            if (onList) {
                if (!list_->indexAt(pos).isValid()) return false;
                listDragPending_ = true;
            } else {
                QTreeWidgetItem* n = tree_->itemAt(pos);
                if (!n || (root && CTreePane::ItemOf(n) == root())) return false;
                treeDragPending_ = n;
            }
            pressPos_ = pos;
            return false;
        case QEvent::MouseMove: {
            if (!(m->buttons() & Qt::LeftButton)) {
                if (Dragging() || Pending()) Cancel();
                return false;
            }
            if (dragging) return true;
            const bool far =
                (pos - pressPos_).manhattanLength() >= QApplication::startDragDistance();
            if (onList) {
                // Qt's own drag never starts; a drag without rows simply does nothing.
                if (!listDragPending_ || !far) return false;
                BeginListDrag();
                return true;
            }
            if (!treeDragPending_) return false;
            if (far) BeginTreeDrag(treeDragPending_);
            return true;  // no drag-selecting in the tree
        }
        case QEvent::MouseButtonRelease:
            if (m->button() != Qt::LeftButton) return false;
            if (onList)
                listDragPending_ = false;
            else
                treeDragPending_ = nullptr;
            if (!dragging) return false;
            EndDragAt(m->globalPosition().toPoint());
            return true;
        default:
            return false;
    }
}

}  // namespace dov
