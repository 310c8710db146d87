#include "shell/dragcontrol.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

#include "common/workerflags.h"
#include "model/item.h"
#include "session/session.h"
#include "shell/drag.h"
#include "shell/filedrop.h"
#include "shell/listmodel.h"
#include "shell/listpane.h"
#include "shell/treepane.h"
#include "shell/view.h"

namespace dov {

CDragControl::CDragControl(CKestrelView& view) : view_(view) {
    CViewForm& form = view.Form();
    CListPane& pane = view.Pane();
    tracker_ =
        std::make_unique<CDragTracker>(form.tree, form.list, form.listModel, &pane.TreePane());
    tracker_->mayStart = [&view] { return !view.WorkerRunning() && !view.Flags().transition; };
    tracker_->root = [&pane] { return pane.RootItem(); };
    tracker_->rowsOnFolder = [this](CMyItem* target, std::vector<int> rows,
                                    std::vector<CMyItem*> items) {
        DropRowsOnFolder(target, std::move(rows), std::move(items));
    };
    tracker_->folderOnFolder = [this](CMyItem* dragged, CMyItem* target) {
        DropFolderOnFolder(dragged, target);
    };
    tracker_->rowsOnRow = [this](std::vector<int> rows, int row) { ListDropWithin(rows, row); };
    view.installEventFilter(this);
}

CDragControl::~CDragControl() = default;

bool CDragControl::HandleMouse(bool onList, QEvent* e) {
    return tracker_->HandleMouse(onList, e);
}
bool CDragControl::BeginListDrag() {
    return tracker_->BeginListDrag();
}
bool CDragControl::BeginTreeDrag(QTreeWidgetItem* node) {
    return tracker_->BeginTreeDrag(node);
}
void CDragControl::EndDragAt(const QPoint& global) {
    tracker_->EndDragAt(global);
}
void CDragControl::Cancel() {
    tracker_->Cancel();
}
bool CDragControl::Dragging() const {
    return tracker_->Dragging();
}
bool CDragControl::ListDragging() const {
    return tracker_->ListDragging();
}
bool CDragControl::ListPending() const {
    return tracker_->ListPending();
}

bool CDragControl::eventFilter(QObject* obj, QEvent* e) {
    if (obj != &view_) return false;
    switch (e->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* d = static_cast<QDragMoveEvent*>(e);
            if (!view_.WorkerRunning() && HasLocalFiles(d->mimeData())) d->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* d = static_cast<QDropEvent*>(e);
            if (view_.WorkerRunning() || !HasLocalFiles(d->mimeData())) return true;
            d->acceptProposedAction();
            view_.LoadDroppedUrls(d->mimeData()->urls());
            return true;
        }
        default:
            return false;
    }
}

bool CDragControl::ListDropWithin(const std::vector<int>& rows, int dropRow) {
    CSession& session = view_.Session();
    if (!session.CurFolder() || dropRow < 0) return false;
    auto moved = std::make_shared<int>(-1);
    const int count = static_cast<int>(rows.size());
    return view_.StartWorker(
        [&session, rows, dropRow, moved] { *moved = session.MoveRows(rows, dropRow); },
        [this, moved, count] {
            CListPane& pane = view_.Pane();
            pane.RefreshRowsKeepingSelection();
            if (*moved < 0) return;
            // The moved block stays selected, its first row current.
            CViewForm& form = view_.Form();
            CItemListModel* m = form.listModel;
            QItemSelection sel(m->index(*moved, 0),
                               m->index(*moved + count - 1, CItemListModel::kColumnCount - 1));
            QItemSelectionModel* s = form.list->selectionModel();
            s->select(sel, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            s->setCurrentIndex(m->index(*moved, 0), QItemSelectionModel::NoUpdate);
            pane.ChooseRow(*moved);
        });
}

void CDragControl::DropRowsOnFolder(CMyItem* target, std::vector<int> rows,
                                    std::vector<CMyItem*> items) {
    CSession& session = view_.Session();
    view_.StartWorker(
        [&session, target, rows = std::move(rows), items = std::move(items)] {
            session.MoveRowsToFolder(target, rows, items);
        },
        [this, &session] {
            // The fields do not go on showing a row that moved away.
            CListPane& pane = view_.Pane();
            const int row = pane.CurrentRow();
            if (!pane.CurrentItem() || row < 0 || session.RowItem(row) != pane.CurrentItem())
                pane.DropItem();
        });
}

void CDragControl::DropFolderOnFolder(CMyItem* dragged, CMyItem* target) {
    CSession& session = view_.Session();
    CMyItem* selected = view_.Pane().TreePane().CurrentFolder();
    if (view_.StartWorker([&session, dragged, target,
                           selected] { session.MoveFolder(dragged, target, selected); },
                          [this] {
                              QTreeWidget* tree = view_.Form().tree;
                              if (QTreeWidgetItem* n = tree->currentItem()) tree->scrollToItem(n);
                          }))
        view_.repaint();
}

}  // namespace dov
