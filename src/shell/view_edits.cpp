#include <QItemSelectionModel>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>

#include "common/workerflags.h"
#include "model/item.h"
#include "session/session.h"
#include "shell/conflicts.h"
#include "shell/itemedits.h"
#include "shell/listmodel.h"
#include "shell/listpane.h"
#include "shell/qttext.h"
#include "shell/treepane.h"
#include "shell/view.h"

namespace dov {

void CItemEdits::OnMakeFolder() {
    if (view_.WorkerRunning()) return;
    CSession& session = view_.Session();
    CListPane& pane = view_.Pane();
    CViewForm& form = view_.Form();
    QTreeWidgetItem* sel = form.tree->currentItem();
    CMyItem* parent = CTreePane::ItemOf(sel);
    CMyItem* item = session.MakeFolder(parent);
    if (!item) return;
    if (!pane.TreePane().NodeOf(item)) pane.ShowMessage("ツリーアイテムへのデータセットに失敗");
    sel->setExpanded(true);
    if (session.CurFolder() == parent) {
        pane.RefreshRows();
        const int last = form.listModel->rowCount() - 1;
        pane.SelectListRow(last);
        pane.ChooseRow(last);
        pane.FocusList();
        form.list->setFocus();
    }
}

void CItemEdits::OnDeleteFolder() {
    if (view_.WorkerRunning()) return;
    CListPane& pane = view_.Pane();
    CMyItem* item = pane.TreePane().CurrentFolder();
    if (!item || item == pane.RootItem()) return;
    if (pane.CurrentItem() == item) pane.SetCurrentItem(nullptr);
    CMyItem* parent = view_.Session().RemoveFolder(item);
    if (!parent) return;
    if (QTreeWidgetItem* n = pane.TreePane().NodeOf(parent)) {
        view_.Form().listModel->Clear();  // shows the parent even when the session already did
        pane.ShowFolderNode(n);
    }
}

void CItemEdits::OnTreeLabelEdited(QTreeWidgetItem* node) {
    CMyItem* item = CTreePane::ItemOf(node);
    if (!item) return;
    CListPane& pane = view_.Pane();
    auto restore = [&] { pane.TreePane().SetLabel(item, ToQt(item->m_strNewName)); };
    const QString text = node->text(0);
    if (view_.Flags().busy || item == pane.RootItem() || text.isEmpty()) return restore();
    auto cp = FromQt(text);
    if (!cp) {
        restore();
        return pane.ShowMessage(kNotAName);
    }
    // A refused name (its message shown) leaves the label as the item's name.
    if (view_.Session().SetFolderName(item, *cp) != 1) restore();
    if (item == pane.CurrentItem()) pane.ShowFields(item);
    view_.Conflicts().Update();
}

void CItemEdits::OnListLabelEdited(int row, const QString& text) {
    if (view_.Flags().busy || !view_.Form().listModel->Row(row)) return;
    CListPane& pane = view_.Pane();
    auto cp = FromQt(text);
    if (!cp) return pane.ShowMessage(kNotAName);
    // The label editor takes the same refusals as the field.
    view_.Session().SetNewName(row, *cp);
    if (row == pane.CurrentRow() && pane.CurrentItem()) pane.ShowFields(pane.CurrentItem());
    view_.Conflicts().Update();
}

void CItemEdits::OnDeleteItems() {
    CSession& session = view_.Session();
    if (view_.WorkerRunning() || !session.CurFolder()) return;
    CListPane& pane = view_.Pane();
    const std::vector<int> rows = pane.SelectedRows();
    if (rows.empty()) return;
    const RowsDeleted r = session.DeleteRows(rows);
    const int keepRow = pane.CurrentRow();
    pane.RefreshRows();
    const int n = view_.Form().listModel->rowCount();
    if (n > 0) {
        const int row = r.ok && r.hasCurrentItem ? r.currentRow : std::clamp(keepRow, 0, n - 1);
        pane.SelectListRow(row);
        pane.ChooseRow(row);
    } else {
        pane.DropItem();
    }
    view_.Form().list->setFocus();
}

}  // namespace dov
