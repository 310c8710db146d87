#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>

#include "common/workerflags.h"
#include "model/item.h"
#include "session/session.h"
#include "shell/conflicts.h"
#include "shell/dragcontrol.h"
#include "shell/listpane.h"
#include "shell/qthost.h"
#include "shell/qttext.h"
#include "shell/treepane.h"
#include "shell/view.h"

namespace dov {

CListPane::CListPane(CKestrelView& view, CTreePane& tree)
    : QObject(&view), view_(view), form_(view.Form()), tree_(tree) {
    ConnectHost();
    ConnectControls();
}

void CListPane::ConnectHost() {
    QtHost* host = view_.Host();
    connect(host, &QtHost::listShowFolder, this,
            [this](CMyItem* folder, std::vector<ListRow> rows) {
                // Another folder's rows are in the order they were loaded in.
                if (folder != form_.listModel->Folder())
                    form_.list->header()->setSortIndicator(0, Qt::AscendingOrder);
                form_.listModel->SetRows(folder, std::move(rows));
                curItem_ = nullptr;
                rowChosen_ = false;
                tree_.SelectQuietly(tree_.NodeOf(folder));
                emit currentFolderChanged();
            });
    connect(host, &QtHost::listRowsChanged, this,
            [this](CMyItem* folder, std::vector<RowUpdate> rows) {
                form_.listModel->SetRowsAt(folder, std::move(rows));
            });
    connect(host, &QtHost::itemFieldsChanged, this, [this](const ItemFields& f) {
        curItem_ = f.item;
        form_.ShowFields(f);
    });
}

void CListPane::ConnectControls() {
    QTreeWidget* tree = form_.tree;
    connect(tree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* n) { ShowFolderNode(n); });
    connect(tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* n) { ShowFolderNode(n); });
    tree->installEventFilter(this);
    tree->viewport()->installEventFilter(this);

    QTreeView* list = form_.list;
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);
    connect(list, &QTreeView::clicked, this, [this](const QModelIndex& i) {
        if (view_.Flags().busy || view_.Flags().transition) return;
        focusSide_ = 1;
        rowChosen_ = true;
        ShowItem(i.row());
        CheckAndChangeTreeBtnState(false, true);
    });
    connect(list, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& i) { OpenFolderRow(i.row()); });
    connect(list->header(), &QHeaderView::sectionClicked, this, &CListPane::SortByColumn);
    connect(list->header(), &QHeaderView::sectionResized, this, [this] {
        if (!QApplication::mouseButtons().testFlag(Qt::NoButton)) form_.RecordColumnFractions();
    });
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (view_.Flags().busy) return;
        WriteSelectionToSession();
        if (QPushButton* b = form_.Button(CViewForm::kIdDeleteItems); b && focusSide_ == 1)
            b->setEnabled(form_.list->selectionModel()->hasSelection());
    });
    connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& cur) {
                if (view_.Flags().busy || !cur.isValid()) return;
                const QModelIndexList sel = form_.list->selectionModel()->selectedRows();
                int first = cur.row();
                for (const QModelIndex& s : sel) first = std::min(first, s.row());
                ShowItem(sel.isEmpty() ? cur.row() : first);
                // A current row without a selection (the focus came to the list) deletes
                // nothing, so the button follows the selection.
                if (QPushButton* b = form_.Button(CViewForm::kIdDeleteItems); b && focusSide_ == 1)
                    b->setEnabled(form_.list->selectionModel()->hasSelection());
            });
    form_.edit->installEventFilter(this);
}

// ---- What the pane shows ------------------------------------------------------------------

CMyItem* CListPane::RootItem() const {
    return view_.Session().Root();
}
CMyItem* CListPane::CurrentFolder() const {
    return form_.listModel->Folder();
}
QString CListPane::CurrentFolderText() const {
    return tree_.PathText(CurrentFolder());
}
int CListPane::CurrentRow() const {
    return view_.Session().List().iCurrentRow;
}

void CListPane::ShowFolderNode(QTreeWidgetItem* node) {
    if (!node || view_.Flags().busy || view_.Flags().transition) return;
    CMyItem* folder = CTreePane::ItemOf(node);
    if (!folder) return;
    CSession& session = view_.Session();
    focusSide_ = 0;
    ClearFields();
    tree_.SelectQuietly(node);
    if (folder != session.CurFolder() || form_.listModel->Folder() != folder) {
        view_.Flags().transition = true;
        session.ShowFolder(folder);
        view_.Flags().transition = false;
        curItem_ = folder;
    }
    CheckAndChangeTreeBtnState(false, true);
}

void CListPane::OpenFolderRow(int row) {
    if (view_.Flags().busy || view_.Flags().transition) return;
    const ListRow* r = form_.listModel->Row(row);
    if (!r || !r->isFolder) return;
    if (QTreeWidgetItem* n = tree_.NodeOf(r->item)) {
        if (n->parent()) n->parent()->setExpanded(true);
        ShowFolderNode(n);
    }
}

void CListPane::ChooseRow(int row) {
    rowChosen_ = true;
    ShowItem(row);
}

void CListPane::DropItem(bool forgetRow) {
    curItem_ = nullptr;
    if (forgetRow) rowChosen_ = false;
    ClearFields();
}

bool CListPane::TypeNewName(const QString& text) {
    if (view_.Flags().busy || CurrentRow() < 0 || !curItem_ || !rowChosen_) return false;
    auto cp = FromQt(text);
    if (!cp) {
        ShowMessage(kNotAName);
        return false;
    }
    if (view_.Session().SetNewName(CurrentRow(), *cp) != 1) return false;
    ShowFields(curItem_);
    form_.list->setFocus();
    view_.Conflicts().Update();
    return true;
}

void CListPane::SortByColumn(int column) {
    CSession& session = view_.Session();
    CMyItem* folder = session.CurFolder();
    if (view_.WorkerRunning() || view_.Flags().transition || !folder) return;
    CKestrelView::JobSteps steps;
    steps.after = [this, &session, column](const CJob&) {
        const int order = session.SortedOrder(column);
        form_.list->header()->setSortIndicator(
            order == 0 ? -1 : column, order > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
    };
    view_.RunJob(session.SortColumnJob(column), std::move(steps));
}

void CListPane::CheckAndChangeTreeBtnState(bool setAll, bool state) {
    QPushButton* del = form_.Button(CViewForm::kIdDeleteFolder);
    QPushButton* make = form_.Button(CViewForm::kIdMakeFolder);
    QPushButton* load = form_.Button(CViewForm::kIdLoad);
    QPushButton* delItems = form_.Button(CViewForm::kIdDeleteItems);
    if (setAll) {
        del->setEnabled(state);
        make->setEnabled(state);
        load->setEnabled(state);
        return;
    }
    QTreeWidgetItem* sel = form_.tree->currentItem();
    if (focusSide_ == 1) {
        del->setEnabled(false);
        make->setEnabled(sel != nullptr);
        load->setEnabled(true);
        delItems->setEnabled(form_.list->selectionModel()->hasSelection());
    } else {
        const bool isRoot = sel && sel == tree_.NodeOf(RootItem());
        del->setEnabled(sel && !isRoot);
        make->setEnabled(sel != nullptr);
        load->setEnabled(sel != nullptr);
        delItems->setEnabled(false);
    }
}

void CListPane::ApplyColors() {
    const Settings& prefs = view_.Prefs();
    form_.ApplyColors(prefs.colors, view_.Flags().busy);
    const ColorRef renamed = prefs.changedNameText;
    form_.listModel->SetRenamedColor(QColor(RedOf(renamed), GreenOf(renamed), BlueOf(renamed)));
}

// ---- Fields and selection -----------------------------------------------------------------

void CListPane::ClearFields() {
    form_.ClearFields();
}

void CListPane::ShowFields(CMyItem* item) {
    const ItemFields f = ItemFields::Of(item);
    form_.ShowFields(f);
    if (item) tree_.SetLabel(item, f.edit);
}

void CListPane::ShowItem(int row) {
    if (view_.Flags().busy) return;
    const ListRow* r = form_.listModel->Row(row);
    if (!r) return;
    view_.Session().List().iCurrentRow = row;
    curItem_ = r->item;
    ShowFields(curItem_);
}

void CListPane::ShowMessage(const char* utf8) {
    view_.Host()->Ask(U8(utf8), MsgKind::Ok);
}

std::vector<int> CListPane::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : form_.list->selectionModel()->selectedRows())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CListPane::WriteSelectionToSession() {
    // Only while the list shows the session's rows.
    if (view_.Flags().busy || form_.listModel->Folder() != view_.Session().CurFolder()) return;
    view_.Session().SetSelection(SelectedRows(), view_.Session().List().iCurrentRow);
}

bool CListPane::Closing() const {
    return view_.Flags().quitReq.load() || view_.closeAfterWorker_;
}

void CListPane::ShowSessionSelection() {
    if (Closing()) return;
    QItemSelection sel;
    const ListState& state = view_.Session().List();
    const int n = std::min(form_.listModel->rowCount(), state.RowCount());
    int first = -1;
    // One range per run of selected rows: a range per row makes every later selection test
    // walk them all, which a macro selecting 100,000 rows turns into minutes.
    for (int r = 0; r < n; ++r) {
        if (!state.IsSelected(r)) continue;
        if (first < 0) first = r;
        int last = r;
        while (last + 1 < n && state.IsSelected(last + 1)) ++last;
        sel.select(form_.listModel->index(r, 0),
                   form_.listModel->index(last, CItemListModel::kColumnCount - 1));
        r = last;
    }
    QItemSelectionModel* m = form_.list->selectionModel();
    m->select(sel, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The first selected row becomes the current one.
    if (first >= 0) {
        m->setCurrentIndex(form_.listModel->index(first, 0), QItemSelectionModel::NoUpdate);
        ShowItem(first);
    }
}

void CListPane::RefreshRows() {
    if (Closing()) return;
    view_.Session().ShowFolder(view_.Session().CurFolder());
}

void CListPane::RefreshRowsKeepingSelection() {
    CMyItem* folder = view_.Session().CurFolder();
    if (!folder || view_.WorkerRunning() || Closing()) return;
    view_.Host()->SetShownFolder(folder);
    form_.listModel->UpdateRows(folder);
    if (curItem_ && CurrentRow() >= 0) ShowFields(curItem_);
}

void CListPane::SelectListRow(int row) {
    const int n = form_.listModel->rowCount();
    if (n == 0) return;
    if (row < 0 || row >= n) row = 0;
    const QModelIndex i = form_.listModel->index(row, 0);
    form_.list->selectionModel()->setCurrentIndex(
        i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    form_.list->scrollTo(i);
    form_.list->horizontalScrollBar()->setValue(0);
}

void CListPane::GoToItem(CMyItem* item) {
    QTreeWidgetItem* node = item ? tree_.NodeOf(item->m_pParent) : nullptr;
    if (!node || view_.Flags().busy) return;
    for (QTreeWidgetItem* up = node->parent(); up; up = up->parent()) up->setExpanded(true);
    form_.tree->scrollToItem(node);
    ShowFolderNode(node);
    for (int row = 0; row < form_.listModel->rowCount(); ++row) {
        if (form_.listModel->Row(row)->item != item) continue;
        focusSide_ = 1;
        rowChosen_ = true;
        SelectListRow(row);
        ShowItem(row);
        form_.list->setFocus();
        CheckAndChangeTreeBtnState(false, true);
        return;
    }
}

void CListPane::SelectAllRows() {
    if (view_.Flags().busy) return;
    form_.list->selectAll();
    SelectItemMessage();
}

void CListPane::SelectItemMessage() {
    form_.list->setFocus();
    focusSide_ = 1;
    const std::vector<int> rows = SelectedRows();
    if (!rows.empty()) {
        // The first selected row becomes the current one, for the keys as for the fields.
        form_.list->selectionModel()->setCurrentIndex(form_.listModel->index(rows.front(), 0),
                                                      QItemSelectionModel::NoUpdate);
        ShowItem(rows.front());
    }
    CheckAndChangeTreeBtnState(false, true);
}

// ---- Keyboard and mouse -------------------------------------------------------------------

bool CListPane::ListKey(QKeyEvent* k) {
    // Page Up and Page Down scroll by the whole rows that fit in the list and move the current
    // row by as many rows, so it keeps its place on the screen; End scrolls to the last page,
    // Home to the top, and the list's own handling of these keys follows (it moves the current
    // row); Delete deletes the selected rows.
    QTreeView* list = form_.list;
    QScrollBar* bar = list->verticalScrollBar();
    const int key = k->key();
    switch (key) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            int rowHeight = list->visualRect(form_.listModel->index(0, 0)).height();
            if (rowHeight <= 0) rowHeight = std::max(1, list->sizeHintForRow(0));
            const int rows = std::max(1, list->viewport()->height() / rowHeight);
            const int sign = key == Qt::Key_PageUp ? -1 : 1;
            bar->setValue(bar->value() + sign * rows * rowHeight);
            if (k->modifiers() & Qt::ShiftModifier) return false;  // the list extends the range
            const QModelIndex cur = list->currentIndex();
            const int last = form_.listModel->rowCount() - 1;
            const int row = std::clamp((cur.isValid() ? cur.row() : 0) + sign * rows, 0, last);
            list->selectionModel()->setCurrentIndex(
                form_.listModel->index(row, 0),
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
            view_.Commands().Run(CViewForm::kIdDeleteItems);
            return false;
        default:
            return false;
    }
}

bool CListPane::KeyPress(QObject* obj, QKeyEvent* k) {
    const bool ctrl = k->modifiers() & Qt::ControlModifier;
    const bool alt = k->modifiers() & Qt::AltModifier;
    const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
    if (obj == form_.edit) {
        if (enter) TypeNewName(form_.edit->text());
        return enter;
    }
    if (obj != form_.list) return false;
    // While rows are dragged, Page Up and Page Down scroll by 200 pixels.
    if (view_.Drags().ListDragging() &&
        (k->key() == Qt::Key_PageUp || k->key() == Qt::Key_PageDown)) {
        QScrollBar* bar = form_.list->verticalScrollBar();
        bar->setValue(bar->value() + (k->key() == Qt::Key_PageUp ? -200 : 200));
        return true;
    }
    if (ctrl && !alt && k->key() == Qt::Key_A) {
        SelectAllRows();
        return true;
    }
    // Enter ending a label edit reaches the list too (from its editor): the focus stays.
    if (enter && CurrentRow() >= 0 && form_.list->hasFocus()) {
        form_.edit->setFocus();
        form_.edit->selectAll();
        return true;
    }
    if (!ctrl && !alt && form_.listModel->rowCount() > 0) return ListKey(k);
    return false;
}

bool CListPane::eventFilter(QObject* obj, QEvent* e) {
    const bool mouse = e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseMove ||
                       e->type() == QEvent::MouseButtonRelease;
    if (mouse && obj == form_.list->viewport()) return view_.Drags().HandleMouse(true, e);
    if (mouse && obj == form_.tree->viewport()) return view_.Drags().HandleMouse(false, e);
    if (obj == form_.list->viewport() && e->type() == QEvent::Resize) form_.FitColumns();
    if (e->type() == QEvent::FocusIn) {
        if (obj == form_.tree) focusSide_ = 0;
        if (obj == form_.list) focusSide_ = 1;
        // While a worker runs the buttons stay as the busy state set them.
        if ((obj == form_.tree || obj == form_.list) && !view_.Flags().busy)
            CheckAndChangeTreeBtnState(false, true);
    }
    if (e->type() == QEvent::KeyPress && KeyPress(obj, static_cast<QKeyEvent*>(e))) return true;
    return QObject::eventFilter(obj, e);
}

}  // namespace dov
