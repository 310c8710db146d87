// The driver of the tests that work the main window as a user would: the window, its view and
// a temporary folder, with loading, finding tree nodes, clicking the tree and the list and
// reading the rows. A test class derives from it next to QObject and makes the window in its
// init().
#pragma once

#include <QStringList>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "shell/conflicts.h"
#include "shell/dragcontrol.h"
#include "shell/listmodel.h"
#include "shell/listpane.h"
#include "shell/mainframe.h"
#include "shell/view.h"
#include "shell/viewmenus.h"
#include "shell_test_support.h"
#include "support/test_support.h"

namespace shelltest {

class ViewDriver {
  protected:
    std::unique_ptr<dovtest::TempDir> dir_;
    std::unique_ptr<dov::CMainFrame> frame_;
    dov::CKestrelView* view_ = nullptr;

    // Makes the temporary folder and the window; `setUp` runs before the window shows at
    // 1000 x 700 (how the host answers, hooks).
    template <class SetUp>
    void OpenWindow(SetUp setUp) {
        dir_ = std::make_unique<dovtest::TempDir>();
        frame_ = std::make_unique<dov::CMainFrame>();
        view_ = frame_->View();
        setUp();
        frame_->resize(1000, 700);
        frame_->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
    }
    void CloseWindow() {
        frame_.reset();
        dir_.reset();
    }
    void WaitIdle() { QTRY_VERIFY_WITH_TIMEOUT(!view_->WorkerRunning(), 30000); }
    // Loads these entries of the temporary folder under the folder shown.
    void Load(const std::vector<std::string>& names) {
        view_->LoadEntries(Cp(dir_->path()), Pick(dir_->path(), names));
        WaitIdle();
    }
    QTreeWidgetItem* Node(const char* utf8) {
        auto found = view_->Form().tree->findItems(QString::fromUtf8(utf8),
                                                   Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.front();
    }
    void ClickTree(QTreeWidgetItem* n) {
        QTreeWidget* t = view_->Form().tree;
        if (n->parent()) n->parent()->setExpanded(true);
        t->scrollToItem(n);
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, t->visualItemRect(n).center());
        WaitIdle();
    }
    QPoint RowPoint(int row) {
        const QModelIndex i = view_->Form().listModel->index(row, 1);
        view_->Form().list->scrollTo(i);
        return view_->Form().list->visualRect(i).center();
    }
    void ClickRow(int row, Qt::KeyboardModifiers mods = {}) {
        QTest::mouseClick(view_->Form().list->viewport(), Qt::LeftButton, mods, RowPoint(row));
    }
    QString RowName(int row) { return view_->Form().listModel->index(row, 0).data().toString(); }
    QStringList RowNames() {
        QStringList names;
        for (int r = 0; r < view_->Form().listModel->rowCount(); ++r) names << RowName(r);
        return names;
    }
    int SelectedCount() { return int(view_->Form().list->selectionModel()->selectedRows().size()); }
};

}  // namespace shelltest
