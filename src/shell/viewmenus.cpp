#include "shell/viewmenus.h"

#include <QHeaderView>
#include <QMenu>
#include <QTreeView>
#include <QTreeWidget>

#include "common/workerflags.h"
#include "session/session.h"
#include "shell/listmodel.h"
#include "shell/listpane.h"
#include "shell/qthost.h"
#include "shell/qttext.h"
#include "shell/treepane.h"
#include "shell/view.h"

namespace dov {

CViewMenus::CViewMenus(CKestrelView& view) : QObject(&view), view_(view) {
    // The command dialogs' refusals and notes are message boxes of the host.
    dialogs_.message = [&view](const QString& text) { view.Host()->Ask(text, MsgKind::Ok); };
    BuildListMenus();
    BuildTreeMenu();
}

void CViewMenus::BuildListMenus() {
    listMenu_ = BuildListContextMenu(&view_);
    listMenu_->setObjectName("listMenu");
    connect(listMenu_, &QMenu::triggered, this,
            [this](QAction* a) { view_.Commands().Run(CommandIdOf(a)); });
    QTreeView* list = view_.Form().list;
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (view_.Flags().busy || view_.Flags().transition) return;
        QTreeView* list = view_.Form().list;
        const QModelIndex i = list->indexAt(pos);
        if (!i.isValid()) return;  // no menu over empty list space
        view_.Pane().FocusList();
        view_.Pane().ChooseRow(i.row());
        listMenu_->popup(list->viewport()->mapToGlobal(pos));
    });
    // The list's header offers the orders that have no column of their own.
    headerMenu_ = BuildListHeaderMenu(&view_);
    headerMenu_->setObjectName("headerMenu");
    connect(headerMenu_, &QMenu::triggered, this, [this](QAction* a) {
        if (const int id = CommandIdOf(a)) view_.Commands().Run(id);
    });
    list->header()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list->header(), &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (view_.Flags().busy || view_.Flags().transition) return;
        headerMenu_->popup(view_.Form().list->header()->mapToGlobal(pos));
    });
}

void CViewMenus::BuildTreeMenu() {
    treeMenu_ = BuildTreeContextMenu(&view_);
    treeMenu_->setObjectName("treeMenu");
    connect(treeMenu_, &QMenu::triggered, this,
            [this](QAction* a) { view_.Commands().Run(CommandIdOf(a)); });
    QTreeWidget* tree = view_.Form().tree;
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        QTreeWidget* tree = view_.Form().tree;
        treeMenuTarget_ = CTreePane::ItemOf(tree->itemAt(pos));
        if (!treeMenuTarget_) return;
        treeMenu_->popup(tree->viewport()->mapToGlobal(pos));
    });
}

void CViewMenus::ShowInfo() {
    CSession& session = view_.Session();
    if (view_.WorkerRunning() || view_.Flags().transition || !session.CurFolder()) return;
    view_.Host()->Ask(ToQt(session.InfoText()), MsgKind::Ok, MsgIcon::Information);
}

void CViewMenus::EditNamesAsText() {
    CSession& session = view_.Session();
    if (view_.WorkerRunning() || view_.Flags().transition || !session.CurFolder()) return;
    view_.Pane().WriteSelectionToSession();
    PrepareListCommand(&view_, session, CMD_EDIT_NAMES_AS_TEXT, dialogs_);
    view_.Pane().RefreshRowsKeepingSelection();
}

void CViewMenus::SortRows(int id) {
    CSession& session = view_.Session();
    if (view_.WorkerRunning() || view_.Flags().transition || !session.CurFolder()) return;
    view_.RunJob(session.SortByJob(id == CMD_SORT_MODIFIED ? kSortModified : kSortNatural));
}

void CViewMenus::WriteTextTree() {
    CMyItem* folder = treeMenuTarget_;
    if (!folder || view_.WorkerRunning()) return;
    if (!view_.Pane().TreePane().NodeOf(folder)) return;  // the node went since the menu opened
    view_.Session().WriteTextTree(folder);
}

}  // namespace dov
