// The main view's keys, its select-all step, its button states in the busy and idle states,
// and STOP during long workers (load, direct rename, copy, a macro, a name edit). STOP is
// pressed from a hook in the host at a known point of the worker, never after a delay.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QThread>
#include <QTreeView>
#include <QTreeWidget>
#include <atomic>
#include <filesystem>
#include <memory>

#include "common/workerflags.h"
#include "model/host.h"
#include "model/item.h"
#include "session/session.h"
#include "shell/commands.h"
#include "shell/keyworddlg.h"
#include "shell/listmodel.h"
#include "shell/mainframe.h"
#include "shell/qthost.h"
#include "shell/view.h"
#include "shell_test_support.h"
#include "support/test_support.h"
#include "view_driver.h"
#include "view_test_helpers.h"

using namespace dov;
using namespace shelltest;
namespace fs = std::filesystem;

namespace {

int IndexOf(const std::vector<QString>& messages, const QString& part) {
    for (std::size_t i = 0; i < messages.size(); ++i)
        if (messages[i].contains(part)) return static_cast<int>(i);
    return -1;
}

const char* const kStopReport = "中止ボタンによって中止されました";

}  // namespace

class ViewStateTest : public QObject, protected ViewDriver {
    Q_OBJECT
    MsgAnswer yesNo_ = MsgAnswer::No;
    // Set by the STOP click that a hook made: the button showed pressed while busy.
    std::atomic<bool> stopShownPressed_{false};
    std::atomic<int> stopClicks_{0};

    QPushButton* Btn(int id) { return view_->Form().Button(id); }
    int ListCurrentRow() { return view_->Form().list->currentIndex().row(); }
    // A folder "many" of 120 files, shown in the list.
    void LoadMany() {
        for (int i = 0; i < 120; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "many/f%03d.txt", i);
            dir_->WriteFile(name, "x");
        }
        Load({"many"});
        ClickTree(Node("many"));
        QCOMPARE(view_->Form().listModel->rowCount(), 120);
    }
    int RowHeight() {
        return view_->Form().list->visualRect(view_->Form().listModel->index(0, 0)).height();
    }
    int PagePixels() {
        const int h = RowHeight();
        return std::max(1, view_->Form().list->viewport()->height() / h) * h;
    }

    // Presses STOP through its button on the window thread; the calling worker waits until
    // the click has been handled, so the worker goes on with the stop request set.
    void ClickStopFromWorker() {
        QPushButton* stop = Btn(CKestrelView::kIdStop);
        auto click = [this, stop] {
            QSignalSpy said(view_, &CKestrelView::progressText);
            stop->click();
            // Pressed, and said in the status bar in the same moment.
            stopShownPressed_ = stop->isChecked() && stop->isEnabled() && said.size() == 1 &&
                                said.front().front().toString() == U("中止しています…");
            ++stopClicks_;
        };
        if (QThread::currentThread() == stop->thread())
            click();
        else
            QMetaObject::invokeMethod(stop, click, Qt::BlockingQueuedConnection);
    }
    // After a stopped worker: idle again, STOP up and disabled, the request cleared.
    void CheckIdleAfterStop() {
        WaitIdle();
        QCOMPARE(stopClicks_.load(), 1);
        QVERIFY(stopShownPressed_);
        QPushButton* stop = Btn(CKestrelView::kIdStop);
        QVERIFY(!stop->isChecked());
        QVERIFY(!stop->isEnabled());
        QVERIFY(!view_->Flags().stopReq);
        QVERIFY(!view_->Flags().busy);
        for (int id : {CKestrelView::kIdClose, CKestrelView::kIdCopy, CKestrelView::kIdRename})
            QVERIFY(Btn(id)->isEnabled());
        QVERIFY(frame_->Action("fileNew")->isEnabled());
    }

  private slots:
    void init() {
        yesNo_ = MsgAnswer::No;
        stopShownPressed_ = false;
        stopClicks_ = 0;
        OpenWindow([this] {
            view_->Host()->SetAnswerer([this](const QString&, MsgKind kind) {
                return kind == MsgKind::YesNo ? yesNo_ : MsgAnswer::Ok;
            });
        });
    }
    void cleanup() {
        if (view_) {
            view_->Host()->SetStopPollHook(nullptr);
            view_->Host()->SetProgressHook(nullptr);
        }
        CloseWindow();
    }

    // ---- Keys of the list -------------------------------------------------------------------

    void pageKeysScrollByWholePagesThenMoveTheCurrentRow() {
        LoadMany();
        ClickRow(0);
        QTreeView* list = view_->Form().list;
        QScrollBar* bar = list->verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        const int page = PagePixels();
        const int pageRows = page / RowHeight();
        QVERIFY(pageRows > 1);
        // The list scrolls by one page of whole rows; the current row follows to the top row.
        QTest::keyClick(list, Qt::Key_PageDown);
        QCOMPARE(bar->value(), page);
        QCOMPARE(ListCurrentRow(), pageRows);
        QCOMPARE(list->indexAt(QPoint(5, 1)).row(), pageRows);  // the top row
        QCOMPARE(view_->Form().org->text(), RowName(pageRows));
        QTest::keyClick(list, Qt::Key_PageDown);
        QCOMPARE(bar->value(), 2 * page);
        QCOMPARE(ListCurrentRow(), 2 * pageRows);
        QTest::keyClick(list, Qt::Key_PageUp);
        QCOMPARE(bar->value(), page);
        QCOMPARE(ListCurrentRow(), pageRows);
        QCOMPARE(SelectedCount(), 1);
        // End: the last page and the last row; Home: the top and the first row.
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(ListCurrentRow(), 119);
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(bar->value(), 0);
        QCOMPARE(ListCurrentRow(), 0);
        // The keys moved the current row, so the fields follow.
        QCOMPARE(view_->Form().org->text(), U("f000.txt"));
    }

    void pageKeysDuringAListDragScrollBy200PixelsAndStopThere() {
        LoadMany();
        ClickRow(3);
        QVERIFY(view_->Drags().BeginListDrag());
        QTreeView* list = view_->Form().list;
        QScrollBar* bar = list->verticalScrollBar();
        QTest::keyClick(list, Qt::Key_PageDown);
        QCOMPARE(bar->value(), 200);
        QTest::keyClick(list, Qt::Key_PageDown);
        QCOMPARE(bar->value(), 400);
        QTest::keyClick(list, Qt::Key_PageUp);
        QCOMPARE(bar->value(), 200);
        // The keys end there: the current row and the selection stay.
        QCOMPARE(ListCurrentRow(), 3);
        QCOMPARE(SelectedCount(), 1);
        view_->Drags().Cancel();
        QVERIFY(!view_->Drags().Dragging());
    }

    void ctrlAAndTheMenuSelectAllMakeTheFirstRowCurrent() {
        LoadMany();
        ClickRow(7);
        QCOMPARE(view_->Pane().CurrentRow(), 7);
        view_->Form().tree->setFocus();  // the menu's select-all brings the focus back to the list
        QAction* all = FindAction(view_->Menus().ListMenu(), CMD_SELECT_ALL);
        QVERIFY(all);
        all->trigger();
        QCOMPARE(SelectedCount(), 120);
        QVERIFY(view_->Form().list->hasFocus());
        QCOMPARE(view_->Pane().CurrentRow(), 0);
        QCOMPARE(ListCurrentRow(), 0);
        QCOMPARE(view_->Form().org->text(), U("f000.txt"));
        QVERIFY(Btn(CKestrelView::kIdDeleteItems)->isEnabled());
        QVERIFY(!Btn(CKestrelView::kIdDeleteFolder)->isEnabled());

        ClickRow(9);
        QCOMPARE(SelectedCount(), 1);
        QTest::keyClick(view_->Form().list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(SelectedCount(), 120);
        QCOMPARE(view_->Pane().CurrentRow(), 0);
        QCOMPARE(ListCurrentRow(), 0);
        QCOMPARE(view_->Form().edit->text(), U("f000.txt"));
        // The next arrow key goes on from the first row, not from the row clicked before.
        QTest::keyClick(view_->Form().list, Qt::Key_Down);
        QCOMPARE(ListCurrentRow(), 1);
        QCOMPARE(view_->Form().org->text(), U("f001.txt"));
    }

    void clipboardKeysWorkInTheNameFieldNotInTheFrame() {
        LoadMany();
        ClickRow(2);
        QList<QSignalSpy*> spies;
        for (QAction* menu : frame_->menuBar()->actions())
            if (menu->menu())
                for (QAction* a : menu->menu()->actions())
                    if (!a->shortcut().isEmpty()) spies << new QSignalSpy(a, &QAction::triggered);
        QLineEdit* edit = view_->Form().edit;
        edit->setFocus();
        QCOMPARE(edit->text(), U("f002.txt"));
        QApplication::clipboard()->clear();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), U("f002.txt"));
        edit->setSelection(0, 4);
        QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(edit->text(), U(".txt"));
        QCOMPARE(QApplication::clipboard()->text(), U("f002"));
        edit->end(false);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), U(".txtf002"));
        for (QSignalSpy* s : spies) QCOMPARE(s->count(), 0);
        qDeleteAll(spies);
        // Nothing reached the item before Enter.
        QCOMPARE(RowName(2), U("f002.txt"));
    }

    void deleteKeyWithoutRowsOrWithCtrlDoesNothing() {
        LoadMany();
        ClickRow(0);
        QTest::keyClick(view_->Form().list, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(view_->Form().listModel->rowCount(), 120);
        QTest::keyClick(view_->Form().list, Qt::Key_Delete);
        QCOMPARE(view_->Form().listModel->rowCount(), 119);
        QCOMPARE(RowName(0), U("f001.txt"));
        QCOMPARE(view_->Form().org->text(), U("f001.txt"));
    }

    // ---- Button states ----------------------------------------------------------------------

    void buttonStatesFollowTheFocusSideAndTheBusyState() {
        dir_->WriteFile("data/sub/x.txt", "x");
        dir_->WriteFile("data/a.txt", "a");
        Load({"data"});
        QTreeWidget* tree = view_->Form().tree;
        auto state = [&] {
            QString s;
            for (int id :
                 {CKestrelView::kIdDeleteFolder, CKestrelView::kIdMakeFolder, CKestrelView::kIdLoad,
                  CKestrelView::kIdDeleteItems, CKestrelView::kIdClose, CKestrelView::kIdCopy,
                  CKestrelView::kIdRename, CKestrelView::kIdStop})
                s += Btn(id)->isEnabled() ? '1' : '0';
            return s;
        };
        // Tree side, the root: no "削除"; "フォルダ作成" and "読み込み"; no "アイテム削除".
        ClickTree(tree->topLevelItem(0));
        QCOMPARE(state(), QString("01101110"));
        // Tree side, another folder: "削除" too.
        ClickTree(Node("data"));
        QCOMPARE(state(), QString("11101110"));
        // List side without a selection, then with one.
        view_->Form().list->clearSelection();
        view_->Form().list->setFocus();
        QCOMPARE(state(), QString("01101110"));
        ClickRow(1);
        QCOMPARE(state(), QString("01111110"));

        // Busy: every command button off, STOP on and up; focus changes keep it so.
        std::atomic<bool> release{false};
        QVERIFY(view_->StartWorker([&] {
            while (!release) QThread::yieldCurrentThread();
        }));
        QCOMPARE(state(), QString("00000001"));
        QVERIFY(!Btn(CKestrelView::kIdStop)->isChecked());
        tree->setFocus();
        QVERIFY(tree->hasFocus());
        QCOMPARE(state(), QString("00000001"));
        view_->Form().list->setFocus();
        QVERIFY(view_->Form().list->hasFocus());
        QCOMPARE(state(), QString("00000001"));
        ClickRow(0);  // ignored while busy
        QCOMPARE(state(), QString("00000001"));
        release = true;
        WaitIdle();
        // Idle on the list side again: STOP off, the buttons by the focus.
        QCOMPARE(state(), QString("01111110"));
        QVERIFY(!Btn(CKestrelView::kIdStop)->isChecked());
    }

    // ---- STOP during long workers -----------------------------------------------------------

    void stopDuringALoadEndsItAndReports() {
        for (const char* d : {"d1", "d2", "d3", "d4", "d5"})
            for (const char* f : {"/a.txt", "/b.txt", "/in/c.txt"})
                dir_->WriteFile(std::string(d) + f, "data");
        std::atomic<int> polls{0};
        view_->Host()->SetStopPollHook([&] {
            if (++polls == 2) ClickStopFromWorker();
        });
        Load({"d1", "d2", "d3", "d4", "d5"});
        CheckIdleAfterStop();
        QVERIFY(SawMessage(view_->Host(), U(kStopReport)));
        // The load ended early: what was added stays, the rest is not there.
        CMyItem* root = view_->Pane().RootItem();
        QVERIFY(root->m_dwNumInFolder < 5);
        QCOMPARE(view_->Form().listModel->rowCount(), int(root->m_dwNumInFolder));
        QCOMPARE(view_->Form().tree->topLevelItem(0)->childCount(), int(root->m_dwNumInFolder));
        // A later load runs to its end.
        view_->Host()->SetStopPollHook(nullptr);
        view_->Host()->ClearMessages();
        view_->Pane().ShowFolderNode(view_->Form().tree->topLevelItem(0));
        Load({"d5"});
        QVERIFY(!SawMessage(view_->Host(), U(kStopReport)));
        QVERIFY(Node("d5"));
    }

    void namesCp932CannotHoldLoadAndShowTheirRealCharacters() {
        dir_->WriteFile("mixed/a.txt", "a");
        dir_->WriteFile("mixed/caf\xC3\xA9 \xE3\x80\x9C.txt", "e");
        view_->Host()->ClearMessages();
        Load({"mixed"});
        QVERIFY(view_->Host()->Messages().empty());
        ClickTree(Node("mixed"));
        QCOMPARE(RowName(1), U("caf\u00e9 \u301c.txt"));
    }

    void stopDuringADirectRenameIsReportedAfterEveryItemIsRenamed() {
        for (const char* f : {"ren/a.txt", "ren/b.txt", "ren/c.txt"}) dir_->WriteFile(f, "data");
        Load({"ren"});
        ClickTree(Node("ren"));
        for (int row = 0; row < 3; ++row) {
            ClickRow(row);
            view_->Form().edit->setText(U("new_") + RowName(row));
            QTest::keyClick(view_->Form().edit, Qt::Key_Return);
        }
        view_->Host()->SetProgressHook([&](long long done, long long total) {
            if (done == total && stopClicks_ == 0) ClickStopFromWorker();
        });
        view_->Host()->ClearMessages();
        yesNo_ = MsgAnswer::Yes;
        QTest::mouseClick(Btn(CKestrelView::kIdRename), Qt::LeftButton);
        CheckIdleAfterStop();
        QTRY_VERIFY_WITH_TIMEOUT(!view_->ProgressTimerActive(), 30000);
        const auto& m = view_->Host()->Messages();
        const int report = IndexOf(m, U(kStopReport));
        const int done = IndexOf(m, U("リネーム完了"));
        QVERIFY(report >= 0);
        QVERIFY(done > report);
        // STOP after the last item: every item has its new name, none its old one.
        for (const char* f : {"a.txt", "b.txt", "c.txt"}) {
            QVERIFY2(fs::exists(*dir_ / (std::string("ren/new_") + f)), f);
            QVERIFY2(!fs::exists(*dir_ / (std::string("ren/") + f)), f);
        }
    }

    void stopDuringACopyLeavesNoHalfWrittenFile() {
        dir_->WriteFile("src/a.dat", std::string(100000, 'a'));
        dir_->WriteFile("src/b.dat", std::string(100000, 'b'));
        dir_->WriteFile("src/c.dat", std::string(100000, 'c'));
        Load({"src"});
        const fs::path out = *dir_ / "out";
        fs::create_directories(out);
        view_->FileChoosers().folder = [&](const QString&) {
            return QString::fromStdString(out.string());
        };
        // STOP while "b.dat" is being written: a.dat is in place, b.dat's temporary file in its
        // folder is not yet complete (a file is put under its name only when complete).
        const fs::path b = out / "Root/src/b.dat";
        auto partFile = [&]() -> fs::path {
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(out / "Root/src", ec))
                if (e.path().filename().string().rfind(".dovreth-part", 0) == 0) return e.path();
            return {};
        };
        std::atomic<bool> stoppedInB{false};
        view_->Host()->SetStopPollHook([&] {
            if (stopClicks_ == 0 && fs::exists(out / "Root/src/a.dat")) {
                const fs::path part = partFile();
                if (part.empty()) return;
                stoppedInB = !fs::exists(b) && fs::file_size(part) < 100000;
                ClickStopFromWorker();
            }
        });
        QTest::mouseClick(Btn(CKestrelView::kIdCopy), Qt::LeftButton);
        CheckIdleAfterStop();
        QTRY_VERIFY_WITH_TIMEOUT(!view_->ProgressTimerActive(), 30000);
        QVERIFY(stoppedInB);
        QVERIFY(SawMessage(view_->Host(), U("中止されました。")));
        QVERIFY(SawMessage(view_->Host(), U("【 実行結果 】")));
        // The file done before the stop is whole; the one being written and the rest are
        // not there at all.
        QCOMPARE(fs::file_size(out / "Root/src/a.dat"), std::uintmax_t(100000));
        QVERIFY(!fs::exists(b));
        QVERIFY(partFile().empty());
        QVERIFY(!fs::exists(out / "Root/src/c.dat"));
        // The sources are untouched.
        QCOMPARE(fs::file_size(*dir_ / "src/b.dat"), std::uintmax_t(100000));
    }

    void stopDuringAMacroEndsItAfterTheCurrentLine() {
        dir_->WriteFile("mac/one.txt", "x");
        dir_->WriteFile("mac/two.txt", "x");
        Load({"mac"});
        ClickTree(Node("mac"));
        std::string lines = "SelectListAll()\n";
        for (int i = 0; i < 40; ++i) lines += "PasteLeftListString(\"A\")\n";
        dir_->WriteFile("home/DovMac03.txt", lines);
        CMyItem* first = view_->Pane().CurrentFolder()->GetSubItem(0);
        // The worker owns the items while it runs, so the hook may read them there.
        view_->Host()->SetStopPollHook([&] {
            if (stopClicks_ == 0 && first->m_strNewName.rfind("AAA", 0) == 0) ClickStopFromWorker();
        });
        view_->Form().list->setFocus();
        QTest::keyClick(view_->Form().list, Qt::Key_F3);
        CheckIdleAfterStop();
        QVERIFY(SawMessage(view_->Host(), U(kStopReport)));
        // Three lines had run when STOP came; at most the line running then was finished.
        const QString name = RowName(0);
        QVERIFY2(name == U("AAAone.txt") || name == U("AAAAone.txt"), qPrintable(name));
    }

    void stopDuringANameEditEndsItBetweenRows() {
        LoadMany();
        QTest::keyClick(view_->Form().list, Qt::Key_A, Qt::ControlModifier);
        CMyItem* tenth = view_->Pane().CurrentFolder()->GetSubItem(10);
        view_->Host()->SetStopPollHook([&] {
            if (stopClicks_ == 0 && tenth->m_strNewName.rfind("N_", 0) == 0) ClickStopFromWorker();
        });
        view_->Menus().Dialogs().runDialog = [](QDialog& d) {
            auto* dlg = qobject_cast<CKeyWordDlg*>(&d);
            if (!dlg) return int(QDialog::Rejected);
            dlg->show();
            dlg->KeyEdit(0)->setText("N_");
            dlg->accept();
            dlg->hide();
            return dlg->result();
        };
        QAction* head = FindAction(view_->Menus().ListMenu(), CMD_PASTE_LEFT);
        QVERIFY(head);
        head->trigger();
        CheckIdleAfterStop();
        QVERIFY(SawMessage(view_->Host(), U(kStopReport)));
        QCOMPARE(RowName(10), U("N_f010.txt"));
        QCOMPARE(RowName(119), U("f119.txt"));  // the rows after the stop are unchanged
    }

    // ---- A worker's notifications -------------------------------------------------------------

    // Row changes reach the list in the order they were made and in runs, not one by one: the
    // rows of the folder shown, another folder shown and its rows, the first one shown again
    // and its rows changed once more. The window takes no event while the worker tells.
    void aWorkersRowChangesReachTheListInOrderAndInRuns() {
        dir_->WriteFile("two/x.txt", "x");
        dir_->WriteFile("two/y.txt", "x");
        Load({"two"});
        LoadMany();
        CMyItem* many = view_->Pane().CurrentFolder();
        CMyItem* two = view_->Session().FindFolder("two");
        QVERIFY(two);
        int runs = 0;
        connect(view_->Host(), &QtHost::listRowsChanged, this, [&] { ++runs; });
        std::atomic<bool> told{false};
        QVERIFY(view_->StartWorker([&] {
            IHost& host = *view_->Host();
            auto rename = [&](CMyItem* folder, const std::string& prefix) {
                for (int i = 0; i < int(folder->m_dwNumInFolder); ++i) {
                    CMyItem* it = folder->GetSubItem(i);
                    it->m_strNewName = prefix + it->m_strOrgName;
                    host.ListRowChanged(i);
                }
            };
            rename(many, "A_");
            host.ListShowFolder(two);
            rename(two, "B_");
            host.ListShowFolder(many);
            rename(many, "C_");
            told = true;
        }));
        while (!told) QThread::yieldCurrentThread();
        WaitIdle();
        QCOMPARE(runs, 3);
        QCOMPARE(view_->Form().listModel->Folder(), many);
        QCOMPARE(view_->Form().listModel->rowCount(), 120);
        for (int r = 0; r < 120; ++r)
            QCOMPARE(RowName(r), U("C_f%1.txt").arg(r, 3, 10, QChar('0')));
    }
};

DOV_QTEST_MAIN(ViewStateTest)
#include "viewstate_test.moc"
