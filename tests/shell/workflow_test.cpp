// The window's commands end to end through its widgets on a temporary folder: the list's menu
// with its dialogs, F-key macros, direct rename and copy, the save data file commands, the
// options, and drags between the list and the tree.
#include <fcntl.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QBrush>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <memory>

#include "common/workerflags.h"
#include "model/item.h"
#include "session/session.h"
#include "shell/failurelist.h"
#include "shell/keyworddlg.h"
#include "shell/listmodel.h"
#include "shell/mainframe.h"
#include "shell/namelimitdlg.h"
#include "shell/namestextdlg.h"
#include "shell/pathinbox.h"
#include "shell/serialdlg.h"
#include "shell/settingsdialogs.h"
#include "shell/treepane.h"
#include "shell/view.h"
#include "shell_test_support.h"
#include "support/test_support.h"
#include "view_driver.h"
#include "view_test_helpers.h"

using namespace dov;
using namespace shelltest;
namespace fs = std::filesystem;

class WorkflowTest : public QObject, protected ViewDriver {
    Q_OBJECT
    // Yes/No answers given in order; once used up, questions get No.
    std::vector<MsgAnswer> answers_;

    void SelectAll() {
        view_->Form().list->setFocus();
        QTest::keyClick(view_->Form().list, Qt::Key_A, Qt::ControlModifier);
    }
    void Command(int id) {
        QAction* a = FindAction(view_->Menus().ListMenu(), id);
        QVERIFY2(a, qPrintable(QString::number(id)));
        a->trigger();
        WaitIdle();
    }
    template <class Dlg>
    void PlayDialog(std::function<void(Dlg&)> play) {
        view_->Menus().Dialogs().runDialog = [play](QDialog& d) {
            auto* dlg = qobject_cast<Dlg*>(&d);
            if (!dlg) return int(QDialog::Rejected);
            dlg->show();
            play(*dlg);
            dlg->hide();
            return dlg->result();
        };
    }
    // "photos" with three pictures and a folder "old" with one file.
    void LoadPhotos() {
        for (const char* f : {"photos/IMG_001 beach.jpg", "photos/IMG_002 beach.jpg",
                              "photos/IMG_003 beach.jpg", "photos/old/note.txt"})
            dir_->WriteFile(f, "data");
        Load({"photos"});
        ClickTree(Node("photos"));
        QCOMPARE(view_->Form().listModel->rowCount(), 4);
    }
    bool Exists(const std::string& rel) { return fs::exists(*dir_ / rel); }

  private slots:
    void init() {
        answers_.clear();
        OpenWindow([this] {
            view_->Host()->SetAnswerer([this](const QString&, MsgKind kind) {
                if (kind != MsgKind::YesNo) return MsgAnswer::Ok;
                if (answers_.empty()) return MsgAnswer::No;
                const MsgAnswer a = answers_.front();
                answers_.erase(answers_.begin());
                return a;
            });
        });
    }
    void cleanup() { CloseWindow(); }

    void menuCommandsEditTheSelectedRowsThroughTheirDialogs() {
        LoadPhotos();
        // Only the three pictures: rows 1 to 3 (the folder comes first).
        ClickRow(1);
        ClickRow(3, Qt::ShiftModifier);
        QCOMPARE(SelectedCount(), 3);

        PlayDialog<CKeyWordDlg>([](CKeyWordDlg& d) {
            QCOMPARE(d.windowTitle(), U("キーワードの入力： 指定文字列を消去"));
            d.KeyEdit(0)->setText(" beach");
            d.accept();
        });
        Command(CMD_CUT_KEY);
        QCOMPARE(RowNames(), (QStringList{"old", "IMG_001.jpg", "IMG_002.jpg", "IMG_003.jpg"}));
        QCOMPARE(SelectedCount(), 3);  // the rows are redrawn, the selection stays
        QCOMPARE(view_->Form().edit->text(), U("IMG_003.jpg"));  // the row clicked last

        // Cancel changes nothing.
        PlayDialog<CKeyWordDlg>([](CKeyWordDlg& d) {
            d.KeyEdit(0)->setText("IMG");
            d.reject();
        });
        Command(CMD_CUT_KEY);
        QCOMPARE(RowName(1), U("IMG_001.jpg"));

        // Numbering with the detailed settings as they stand, then cutting to a length.
        const QStringList before = RowNames();
        int shown = 0;
        PlayDialog<CSerialDlg>([&shown](CSerialDlg& d) {
            ++shown;
            d.accept();
        });
        Command(CMD_SERIAL_DETAIL);
        QCOMPARE(shown, 1);
        const QStringList numbered = RowNames();
        QCOMPARE(numbered[0], U("old"));
        for (int r = 1; r <= 3; ++r) QVERIFY2(numbered[r] != before[r], qPrintable(numbered[r]));
        QCOMPARE(numbered.mid(1).removeDuplicates(), 0);

        PlayDialog<CNameLimitDlg>([](CNameLimitDlg& d) {
            QTest::mouseClick(d.Radio(0), Qt::LeftButton);
            d.LimitEdit()->setText("9");
            d.accept();
        });
        Command(CMD_LIMIT);
        for (int r = 1; r <= 3; ++r) {
            QVERIFY2(Cp(RowName(r).toStdString()).size() <= 9, qPrintable(RowName(r)));
            QVERIFY(RowName(r) != numbered[r]);
        }
        QCOMPARE(view_->Prefs().limitSize, 9);

        // "元のファイル名に戻す", then "全て選択" and "情報".
        Command(CMD_RESET_NAME);
        QCOMPARE(RowName(2), U("IMG_002 beach.jpg"));
        Command(CMD_SELECT_ALL);
        QCOMPARE(SelectedCount(), 4);
        view_->Host()->ClearMessages();
        Command(CMD_INFO);
        QCOMPARE(int(view_->Host()->Messages().size()), 1);
        const QString info = view_->Host()->Messages().front();
        QVERIFY2(info.startsWith(U("【アイテム情報】\n\n選択アイテム数 ： 4 \nトータルサイズ： 16\n"
                                   "フォルダ数： 1\nファイル数： 4\n")),
                 qPrintable(info));

        // "検索" selects the rows whose names hold the text.
        PlayDialog<CKeyWordDlg>([](CKeyWordDlg& d) {
            d.KeyEdit(0)->setText("002");
            d.accept();
        });
        Command(CMD_FIND);
        QCOMPARE(SelectedCount(), 1);
        QVERIFY(view_->Form().list->selectionModel()->isRowSelected(2, {}));
        QCOMPARE(view_->Form().org->text(), U("IMG_002 beach.jpg"));
    }

    void commandsDoNotStartWhileAWorkerRuns() {
        LoadPhotos();
        SelectAll();
        std::atomic<bool> release{false};
        QVERIFY(view_->StartWorker([&] {
            while (!release) QThread::yieldCurrentThread();
        }));
        int shown = 0;
        view_->Menus().Dialogs().runDialog = [&shown](QDialog&) {
            ++shown;
            return int(QDialog::Accepted);
        };
        for (int id : {CMD_CUT_KEY, CMD_PASTE_LEFT, CMD_SERIAL_DETAIL, CMD_LIMIT})
            FindAction(view_->Menus().ListMenu(), id)->trigger();
        QTest::keyClick(view_->Form().list, Qt::Key_F1);
        QTest::mouseClick(view_->Form().Button(CKestrelView::kIdRename), Qt::LeftButton);
        release = true;
        WaitIdle();
        QCOMPARE(shown, 0);
        QVERIFY2(view_->Host()->Messages().empty(),
                 qPrintable(view_->Host()->Messages().empty() ? QString()
                                                              : view_->Host()->Messages().front()));
        QCOMPARE(RowName(1), U("IMG_001 beach.jpg"));
    }

    void functionKeysRunTheirMacroFiles() {
        LoadPhotos();
        dir_->WriteFile("home/DovMac01.txt", "SelectListAll()\nPasteLeftListString(\"A_\")\n");
        dir_->WriteFile("home/DovMac10.txt", "SelectListAll()\nPasteRightListString(\"_Z\")\n");
        view_->Form().list->setFocus();
        // Not with Shift held.
        QTest::keyClick(view_->Form().list, Qt::Key_F1, Qt::ShiftModifier);
        WaitIdle();
        QCOMPARE(RowName(1), U("IMG_001 beach.jpg"));
        QTest::keyClick(view_->Form().list, Qt::Key_F1);
        WaitIdle();
        QCOMPARE(RowName(1), U("A_IMG_001 beach.jpg"));
        QCOMPARE(SelectedCount(), 4);  // the macro's selection shows in the list
        // F10 reaches its macro too, whichever control has the focus.
        view_->Form().tree->setFocus();
        QTest::keyClick(view_->Form().tree, Qt::Key_F10);
        WaitIdle();
        QCOMPARE(RowName(3), U("A_IMG_003 beach_Z.jpg"));
        // A key without its file does nothing to the names.
        QTest::keyClick(view_->Form().list, Qt::Key_F5);
        WaitIdle();
        QCOMPARE(RowName(3), U("A_IMG_003 beach_Z.jpg"));
    }

    void nothingToRenameAndAMissingMacroFileAreSaid() {
        QTest::mouseClick(view_->Form().Button(CKestrelView::kIdRename), Qt::LeftButton);
        QCOMPARE(view_->Host()->Messages(),
                 std::vector<QString>{U("改名するアイテムがありません。")});
        // F1 without its file: the file is made empty, and the user is told so once.
        LoadPhotos();
        view_->Host()->ClearMessages();
        for (int i = 0; i < 2; ++i) {
            QTest::keyClick(view_->Form().list, Qt::Key_F1);
            WaitIdle();
        }
        QVERIFY(Exists("home/DovMac01.txt"));
        QCOMPARE(view_->Host()->Messages().size(), std::size_t(1));
        QVERIFY(view_->Host()->Messages().front().startsWith(U("マクロファイルがありません。")));
    }

    void functionKeysWithAnEmptyListReachTheControls() {
        dir_->WriteFile("home/DovMac02.txt", "ClearAllItem()\n");
        QTreeWidget* tree = view_->Form().tree;
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_F2);
        QVERIFY(!view_->WorkerRunning());
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor && tree->isAncestorOf(editor));  // the label editor opened
    }

    void directRenameAnsweredYesRenamesOnDiskAndWritesTheLog() {
        LoadPhotos();
        SelectAll();
        PlayDialog<CKeyWordDlg>([](CKeyWordDlg& d) {
            d.KeyEdit(0)->setText(" beach");
            d.accept();
        });
        Command(CMD_CUT_KEY);
        // No (the default) leaves the disk alone.
        QTest::mouseClick(view_->Form().Button(CKestrelView::kIdRename), Qt::LeftButton);
        WaitIdle();
        QVERIFY(SawMessage(view_->Host(), U("直接改名するとやり直しは出来ませんがよろしいですか？\n"
                                            "（編集 → 元に戻す で、この改名を取り消せます）")));
        QVERIFY(Exists("photos/IMG_001 beach.jpg"));
        // Yes renames.
        view_->Host()->ClearMessages();
        answers_ = {MsgAnswer::Yes};
        QTest::mouseClick(view_->Form().Button(CKestrelView::kIdRename), Qt::LeftButton);
        QVERIFY(view_->ProgressTimerActive());
        WaitIdle();
        QTRY_VERIFY_WITH_TIMEOUT(!view_->ProgressTimerActive(), 30000);
        for (const char* f : {"photos/IMG_001.jpg", "photos/IMG_002.jpg", "photos/IMG_003.jpg",
                              "photos/old/note.txt"})
            QVERIFY2(Exists(f), f);
        QVERIFY(!Exists("photos/IMG_001 beach.jpg"));
        const std::string log = dovtest::ReadNative(dir_->home() + "/RenameLog.txt");
        QVERIFY(log.find(Cp("リネームに成功しました。")) != std::string::npos);
        QVERIFY(log.find("IMG_002.jpg") != std::string::npos);
        // The rows show the items at their new places; the buttons are back.
        QCOMPARE(RowName(1), U("IMG_001.jpg"));
        ClickRow(2);
        QCOMPARE(view_->Form().org->text(), U("IMG_002.jpg"));
        QVERIFY(view_->Form().Button(CKestrelView::kIdRename)->isEnabled());
        QVERIFY(!view_->Form().Button(CKestrelView::kIdStop)->isEnabled());
    }

    void conflictsAreCountedAfterEditsAndUndoRestoresTheDisk() {
        LoadPhotos();
        QVERIFY(!frame_->Action("editUndo")->isEnabled());  // nothing journaled yet
        dir_->WriteFile("photos/IMG_002.jpg", "taken");     // on disk, not loaded
        SelectAll();
        PlayDialog<CKeyWordDlg>([](CKeyWordDlg& d) {
            d.KeyEdit(0)->setText(" beach");
            d.accept();
        });
        Command(CMD_CUT_KEY);
        QCOMPARE(view_->Conflicts().Count(), 1);
        QCOMPARE(frame_->ConflictPane()->text(), U("失敗の予測: 1"));
        // The conflicting row (IMG_002, row 2) in the colour of its own; the others not.
        const QModelIndex clash = view_->Form().listModel->index(2, 0);
        const ColorRef want = view_->Prefs().colors[kConflictText];
        QCOMPARE(clash.data(Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(RedOf(want), GreenOf(want), BlueOf(want)));
        // Row 1 changes its name without a conflict: the changed names' colour.
        QCOMPARE(view_->Form().listModel->index(1, 0).data(Qt::ForegroundRole).value<QColor>(),
                 QColor(255, 200, 0));
        // The failing row tells why; the status bar's count opens the list of failures, and
        // the row chosen there is shown from wherever the user is.
        QCOMPARE(clash.data(Qt::ToolTipRole).toString(), FailureReasonText("taken"));
        QVERIFY(!view_->Form().listModel->index(1, 0).data(Qt::ToolTipRole).isValid());
        ClickTree(view_->Form().tree->topLevelItem(0));
        QStringList shown;
        view_->Menus().Dialogs().runDialog = [&](QDialog& d) {
            auto* dlg = qobject_cast<CFailureListDlg*>(&d);
            if (!dlg) return int(QDialog::Rejected);
            QTreeWidgetItem* row = dlg->List()->topLevelItem(0);
            for (int c = 0; c < 3; ++c) shown << row->text(c);
            dlg->Choose(0);
            return dlg->result();
        };
        QTest::mouseClick(frame_->ConflictPane(), Qt::LeftButton);
        QCOMPARE(shown, (QStringList{QString::fromStdString(*dir_ / "photos/IMG_002 beach.jpg"),
                                     U("IMG_002.jpg"), FailureReasonText("taken")}));
        QCOMPARE(view_->Pane().CurrentFolder(), CTreePane::ItemOf(Node("photos")));
        QCOMPARE(view_->Pane().CurrentRow(), 2);
        QCOMPARE(view_->Form().org->text(), U("IMG_002 beach.jpg"));
        // The question naming the predicted failures comes first; Yes to both renames.
        answers_ = {MsgAnswer::Yes, MsgAnswer::Yes};
        QTest::mouseClick(view_->Form().Button(CKestrelView::kIdRename), Qt::LeftButton);
        WaitIdle();
        QCOMPARE(view_->Host()->Messages().front(),
                 U("直接改名すると[1]個のアイテムが失敗すると予測されます。\n続けますか？"));
        QVERIFY(Exists("photos/IMG_001.jpg") && Exists("photos/IMG_002 beach.jpg"));
        QCOMPARE(dovtest::ReadNative(*dir_ / "photos/IMG_002.jpg"), std::string("taken"));
        // 元に戻す is live now, Ctrl+Z reaches it from the tree and the list; its question
        // names the changes (No from the tree, Yes from the list); the disk is as before.
        QVERIFY(frame_->Action("editUndo")->isEnabled());
        frame_->activateWindow();  // shortcuts reach the active window only
        QVERIFY(QTest::qWaitForWindowActive(frame_.get()));
        for (QWidget* w : {static_cast<QWidget*>(view_->Form().tree),
                           static_cast<QWidget*>(view_->Form().list)}) {
            ClickRow(1);
            QVERIFY(view_->Form().edit->isEnabled());
            view_->Host()->ClearMessages();
            answers_ = {w == view_->Form().list ? MsgAnswer::Yes : MsgAnswer::No};
            w->setFocus();
            QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
            WaitIdle();
            QVERIFY(SawMessage(view_->Host(), U("記録された変更[2]個を元に戻しますか？")));
        }
        // The fields let go of the freed item: empty, and the name field takes no typing.
        QVERIFY(view_->Form().org->text().isEmpty() && !view_->Form().edit->isEnabled());
        QVERIFY(!view_->Pane().TypeNewName(U("x.jpg")));
        for (const char* f : {"photos/IMG_001 beach.jpg", "photos/IMG_002 beach.jpg",
                              "photos/IMG_003 beach.jpg", "photos/old/note.txt"})
            QVERIFY2(Exists(f), f);
        QVERIFY(!Exists("photos/IMG_001.jpg"));
        // The tree was reset: its items no longer stood where it said.
        QCOMPARE(view_->Form().listModel->rowCount(), 0);
    }

    void aRunThatDidNotFinishIsOfferedAtStartToShowAndUndo() {
        LoadPhotos();
        SelectAll();
        Command(CMD_SERIAL_0_UP);
        answers_ = {MsgAnswer::Yes};
        QTest::mouseClick(view_->Form().Button(CKestrelView::kIdRename), Qt::LeftButton);
        WaitIdle();
        QVERIFY(!Exists("photos/IMG_001 beach.jpg"));
        // As if the run had been killed before its end marker.
        const std::string path = dir_->home() + "/RenameJournal.txt";
        const std::string journal = dovtest::ReadNative(path);
        dir_->WriteFile("home/RenameJournal.txt", journal.substr(0, journal.size() - 11));
        view_->Host()->ClearMessages();
        answers_ = {MsgAnswer::Yes, MsgAnswer::Yes};  // show it, then undo it
        // A path given on the command line waits for the undo and is loaded after it.
        dir_->WriteFile("later/x.txt", "x");
        auto* inbox = new CPathInbox(view_);
        view_->Conflicts().OfferUnfinishedRun();
        inbox->AddStartPaths({QString::fromStdString(*dir_ / "later")});
        QTRY_VERIFY_WITH_TIMEOUT(!inbox->Pending() && !view_->WorkerRunning(), 30000);
        QVERIFY(Node("later"));
        const auto& m = view_->Host()->Messages();
        QCOMPARE(m.at(0), U("前回の直接変更は途中で終わりました（記録された変更[4]個）。\n"
                            "記録を表示しますか？"));
        // The journal's changes come as a list of their own, one row each.
        QVERIFY(m.at(1).startsWith(U("記録された変更\n改名 ")));
        QCOMPARE(m.at(1).count(QLatin1Char('\n')), 4);
        for (const char* f :
             {"photos/IMG_001 beach.jpg", "photos/IMG_003 beach.jpg", "photos/old/note.txt"})
            QVERIFY2(Exists(f), f);
    }

    void copyWritesTheTreeIntoTheChosenFolderAndRemembersIt() {
        LoadPhotos();
        SelectAll();
        Command(CMD_SERIAL_0_UP);
        const QStringList names = RowNames();
        fs::create_directories(*dir_ / "out");
        QString asked;
        view_->FileChoosers().folder = [&](const QString& start) {
            asked = start;
            return QString();  // cancelled: nothing is copied
        };
        QTest::mouseClick(view_->Form().Button(CKestrelView::kIdCopy), Qt::LeftButton);
        WaitIdle();
        QCOMPARE(asked, QString::fromStdString(dir_->home()));  // the program's folder at first
        QVERIFY(!Exists("out/Root"));
        QCOMPARE(view_->Prefs().writeFolder, Cp(dir_->home()));

        const QString out = QString::fromStdString(*dir_ / "out");
        view_->FileChoosers().folder = [&](const QString&) { return out; };
        QTest::mouseClick(view_->Form().Button(CKestrelView::kIdCopy), Qt::LeftButton);
        WaitIdle();
        for (int r = 0; r < 4; ++r) {
            const std::string rel = "out/Root/photos/" + names[r].toStdString();
            QVERIFY2(Exists(rel), rel.c_str());
        }
        QVERIFY(Exists("out/Root/photos/" + names[0].toStdString() + "/note.txt"));
        QVERIFY(Exists("photos/IMG_001 beach.jpg"));  // the originals stay
        QVERIFY(SawMessage(view_->Host(), U("【 実行結果 】")));
        QCOMPARE(view_->Prefs().writeFolder, Cp(out.toStdString()));
        QTRY_VERIFY_WITH_TIMEOUT(!view_->ProgressTimerActive(), 30000);
    }

    void saveNewAndOpenGiveTheSameTree() {
        LoadPhotos();
        SelectAll();
        PlayDialog<CKeyWordDlg>([](CKeyWordDlg& d) {
            d.KeyEdit(0)->setText("X_");
            d.accept();
        });
        Command(CMD_PASTE_LEFT);
        const QStringList edited = RowNames();
        const QString file = QString::fromStdString(*dir_ / "job.dvt");
        view_->FileChoosers().saveFile = [&](const QString&) { return file; };
        frame_->Action("fileSaveAs")->trigger();
        WaitIdle();
        QVERIFY(Exists("job.dvt"));

        // New asks first; No keeps everything.
        frame_->Action("fileNew")->trigger();
        WaitIdle();
        QVERIFY(SawMessage(view_->Host(), U("現在の内容を破棄しますか？")));
        QCOMPARE(view_->Form().tree->topLevelItem(0)->childCount(), 1);
        answers_ = {MsgAnswer::Yes};
        frame_->Action("fileNew")->trigger();
        WaitIdle();
        QCOMPARE(view_->Form().tree->topLevelItem(0)->childCount(), 0);
        QCOMPARE(view_->Form().listModel->rowCount(), 0);
        QCOMPARE(frame_->windowTitle(), U("Dovreth Version 2.65"));

        // Open on an empty tree asks nothing.
        view_->Host()->ClearMessages();
        view_->FileChoosers().openFile = [&](const QString&) { return file; };
        frame_->Action("fileOpen")->trigger();
        WaitIdle();
        QVERIFY(view_->Host()->Messages().empty());
        ClickTree(Node("photos"));
        QCOMPARE(RowNames(), edited);
        QVERIFY(Node("X_old"));

        // Save now writes back to the file it came from after saying so.
        frame_->Action("fileSave")->trigger();
        WaitIdle();
        QVERIFY(SawMessage(view_->Host(), U("次のファイルに保存します。\n[ ") + file + " ]"));

        // The recent-file list offers it; opening it asks before discarding.
        QMenu* recent = frame_->findChild<QMenu*>("recentFiles");
        QVERIFY(recent);
        QAction* first = recent->actions().value(0);
        QVERIFY(first && first->text().endsWith(file));
        view_->Host()->ClearMessages();
        first->trigger();  // answered No
        WaitIdle();
        QVERIFY(SawMessage(view_->Host(), U("現在のデータは全て破棄されますがよろしいですか？")));
        QCOMPARE(RowNames(), edited);
        answers_ = {MsgAnswer::Yes};
        first->trigger();
        WaitIdle();
        ClickTree(Node("photos"));
        QCOMPARE(RowNames(), edited);
    }

    void aFailedLoadOrSaveLeavesTheProgramOpen() {
        LoadPhotos();
        dir_->WriteFile("broken.dvt", "not a save data file at all");
        answers_ = {MsgAnswer::Yes};
        view_->FileChoosers().openFile = [&](const QString&) {
            return QString::fromStdString(*dir_ / "broken.dvt");
        };
        frame_->Action("fileOpen")->trigger();
        WaitIdle();
        QVERIFY(frame_->isVisible());
        QVERIFY(!view_->Flags().quitReq);
        QCOMPARE(view_->Form().tree->topLevelItem(0)->text(0), U("Root"));
        QCOMPARE(view_->Form().tree->topLevelItem(0)->childCount(), 0);
        QVERIFY(!view_->Host()->Messages().empty());

        LoadPhotos();
        view_->FileChoosers().saveFile = [&](const QString&) {
            return QString::fromStdString(*dir_ / "missing/dir/x.dvt");
        };
        view_->Host()->ClearMessages();
        frame_->Action("fileSaveAs")->trigger();
        WaitIdle();
        QVERIFY(frame_->isVisible());
        QVERIFY(!view_->Host()->Messages().empty());
        QCOMPARE(view_->Form().listModel->rowCount(), 4);
    }

    void theAutomaticIndexOptionAddsAndRemovesThePrefixes() {
        LoadPhotos();
        ClickRow(1);
        QCOMPARE(view_->Form().write->text(), U("IMG_001 beach.jpg"));
        auto setOption = [this](bool on) {
            frame_->runOptionDialog = [on](COptionDlg& d) {
                d.Prepare();
                d.AutoBox()->setChecked(on);
                d.accept();
                return int(d.result());
            };
            frame_->Action("options")->trigger();
            WaitIdle();
        };
        // The field follows at once and the row stays selected.
        setOption(true);
        QCOMPARE(view_->Prefs().autoSerialNum, 1);
        QCOMPARE(view_->Form().write->text(), U("000_IMG_001 beach.jpg"));
        QCOMPARE(SelectedCount(), 1);
        setOption(false);
        QCOMPARE(view_->Prefs().autoSerialNum, 0);
        QCOMPARE(view_->Form().write->text(), U("IMG_001 beach.jpg"));
        QCOMPARE(SelectedCount(), 1);
    }

    void rowsDraggedOntoATreeFolderMoveThere() {
        LoadPhotos();
        QTreeWidgetItem* old = Node("old");
        QVERIFY(old);
        old->parent()->setExpanded(true);
        QTreeView* list = view_->Form().list;
        ClickRow(2);
        ClickRow(3, Qt::ControlModifier);
        QCOMPARE(SelectedCount(), 2);
        QCOMPARE(view_->Form().org->text(), U("IMG_003 beach.jpg"));
        // Press on a selected row, move past the drag distance, release over the tree node.
        const QPoint start = RowPoint(2);
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(list->viewport(), start + QPoint(0, 30));
        QVERIFY(view_->Drags().Dragging());
        QVERIFY(QApplication::overrideCursor());
        QTreeWidget* tree = view_->Form().tree;
        const QPoint overOld = tree->viewport()->mapToGlobal(tree->visualItemRect(old).center());
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {},
                            list->viewport()->mapFromGlobal(overOld));
        WaitIdle();
        QVERIFY(!view_->Drags().Dragging());
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(RowNames(), (QStringList{"old", "IMG_001 beach.jpg"}));
        QCOMPARE(view_->Form().org->text(), QString());  // the fields let the moved row go
        ClickTree(Node("old"));
        QCOMPARE(RowNames(), (QStringList{"note.txt", "IMG_002 beach.jpg", "IMG_003 beach.jpg"}));

        // Rows dropped on empty tree space go to the root.
        ClickRow(0);
        const QPoint p = RowPoint(0);
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, p);
        QTest::mouseMove(list->viewport(), p + QPoint(0, 30));
        const QPoint empty = tree->viewport()->mapToGlobal(
            QPoint(tree->viewport()->width() / 2, tree->viewport()->height() - 5));
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {},
                            list->viewport()->mapFromGlobal(empty));
        WaitIdle();
        ClickTree(tree->topLevelItem(0));
        QCOMPARE(RowNames(), (QStringList{"photos", "note.txt"}));
    }

    void rowsDraggedWithinTheListMoveAsABlock() {
        LoadPhotos();
        QTreeView* list = view_->Form().list;
        ClickRow(1);
        const QPoint start = RowPoint(1);
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(list->viewport(), start + QPoint(0, 30));
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, RowPoint(3));
        WaitIdle();
        QCOMPARE(RowNames(), (QStringList{"old", "IMG_002 beach.jpg", "IMG_003 beach.jpg",
                                          "IMG_001 beach.jpg"}));
        QCOMPARE(view_->Pane().CurrentRow(), 3);
        QCOMPARE(view_->Form().org->text(), U("IMG_001 beach.jpg"));
    }

    void treeFoldersDragOntoOthersButNeverIntoThemselves() {
        dir_->WriteFile("a/inner/x.txt", "x");
        dir_->WriteFile("b/y.txt", "y");
        Load({"a"});
        Load({"b"});
        QTreeWidget* tree = view_->Form().tree;
        tree->expandAll();
        auto drag = [&](QTreeWidgetItem* from, QTreeWidgetItem* to) {
            const QPoint s = tree->visualItemRect(from).center();
            QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, s);
            QTest::mouseMove(tree->viewport(), s + QPoint(0, 25));
            QVERIFY(view_->Drags().Dragging());
            QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {},
                                tree->visualItemRect(to).center());
            WaitIdle();
            tree->expandAll();
        };
        // Into its own sub-folder: refused with the message, nothing moves.
        view_->Host()->ClearMessages();
        drag(Node("a"), Node("inner"));
        QVERIFY(SawMessage(view_->Host(),
                           U("ドロップ先がドラッグアイテムの子に属することは出来ません")));
        QCOMPARE(Node("inner")->parent(), Node("a"));
        // Onto another folder: it moves there with its sub-folders.
        drag(Node("a"), Node("b"));
        QCOMPARE(Node("a")->parent(), Node("b"));
        QCOMPARE(Node("inner")->parent(), Node("a"));
        ClickTree(Node("b"));
        QCOMPARE(RowNames(), (QStringList{"y.txt", "a"}));
    }

    void replaceSwitchesToTheRegularExpressionMode() {
        dir_->WriteFile("shots/IMG_20240131.jpg", "x");
        dir_->WriteFile("shots/IMG_20231225.jpg", "x");
        Load({"shots"});
        ClickTree(Node("shots"));
        SelectAll();
        QString refused;
        view_->Host()->SetAnswerer([&refused](const QString& text, MsgKind) {
            refused = text;
            return MsgAnswer::Ok;
        });
        PlayDialog<CKeyWordDlg>([](CKeyWordDlg& d) {
            QVERIFY(d.RegExpCheck()->isEnabled());
            d.RegExpCheck()->setChecked(true);
            QVERIFY(!d.WildCardCheck()->isEnabled());      // one mode at a time
            d.KeyEdit(0)->setText("IMG_(\\d{4})(\\d{2}");  // bad: the dialog stays open
            d.KeyEdit(1)->setText("$1-$2-$3");
            d.accept();
            QCOMPARE(d.result(), int(QDialog::Rejected));
            d.KeyEdit(0)->setText("IMG_(\\d{4})(\\d{2})(\\d{2})");
            d.accept();
        });
        view_->Menus().Dialogs().message = [&refused](const QString& t) { refused = t; };
        Command(CMD_REPLACE);
        QVERIFY(refused.contains(U("文字目")));
        QCOMPARE(RowNames(), (QStringList{"2023-12-25.jpg", "2024-01-31.jpg"}));
        // Commands other than replace and search do not offer the mode.
        PlayDialog<CKeyWordDlg>([](CKeyWordDlg& d) {
            QVERIFY(!d.RegExpCheck()->isEnabled());
            QVERIFY(d.WildCardCheck()->isEnabled());
            d.reject();
        });
        Command(CMD_CUT_KEY);
    }

    void conversionSubmenuSortsAndNamesAsText() {
        const char* files[] = {"ｶﾞｰﾙ.txt", "ＡＢＣ.txt", "b.txt"};
        for (int i = 0; i < 3; ++i) {
            dir_->WriteFile(std::string("mix/") + files[i], "x");
            const timespec t[2] = {{3000 - i, 0}, {3000 - i, 0}};
            utimensat(AT_FDCWD, (*dir_ / (std::string("mix/") + files[i])).c_str(), t, 0);
        }
        Load({"mix"});
        ClickTree(Node("mix"));
        QMenu* conv = nullptr;
        for (QAction* a : view_->Menus().ListMenu()->actions())
            if (a->menu() && a->text() == U("文字種の変換")) conv = a->menu();
        QVERIFY(conv);
        QCOMPARE(conv->actions().size(), 11);
        SelectAll();
        Command(CMD_KANA_HALF_TO_FULL);
        Command(CMD_FULL_TO_HALF);
        QCOMPARE(RowNames(), (QStringList{"b.txt", "ABC.txt", U("ガール.txt")}));
        // Oldest first, then numbered in that order.
        QAction* byDate = FindAction(view_->Menus().HeaderMenu(), CMD_SORT_MODIFIED);
        QVERIFY(byDate);
        byDate->trigger();
        WaitIdle();
        SelectAll();
        Command(CMD_SERIAL_1_UP);
        QCOMPARE(RowNames(), (QStringList{"b001.txt", "ABC002.txt", U("ガール003.txt")}));
        // Edited as text: a wrong number of lines is refused, then the text is taken.
        QString refused;
        view_->Host()->SetAnswerer([&refused](const QString& text, MsgKind) {
            refused = text;
            return MsgAnswer::Ok;
        });
        PlayDialog<CNamesTextDlg>([](CNamesTextDlg& d) {
            QCOMPARE(d.Editor()->toPlainText(), U("b001.txt\nABC002.txt\nガール003.txt\n"));
            d.Editor()->setPlainText("one.txt\n");
            d.accept();
            QCOMPARE(d.result(), int(QDialog::Rejected));
            d.Editor()->setPlainText(U("one.txt\nABC002.txt\nガール003.txt"));
            d.accept();
        });
        Command(CMD_EDIT_NAMES_AS_TEXT);
        QVERIFY(!refused.isEmpty());
        QCOMPARE(RowNames(), (QStringList{"one.txt", "ABC002.txt", U("ガール003.txt")}));
    }

    void treeTextOutputWritesTextTree() {
        LoadPhotos();
        view_->Menus().TreeMenu();
        QTreeWidget* tree = view_->Form().tree;
        const QPoint at = tree->visualItemRect(Node("photos")).center();
        emit tree->customContextMenuRequested(at);
        QAction* a = FindAction(view_->Menus().TreeMenu(), CMD_TEXT_TREE);
        QVERIFY(a);
        QCOMPARE(a->text(), U("ツリー構造をテキスト出力"));
        view_->Menus().TreeMenu()->hide();
        a->trigger();
        QVERIFY(SawMessage(view_->Host(), U("テキスト出力完了")));
        const std::string text = dovtest::ReadNative(dir_->home() + "/TextTree.txt");
        QVERIFY(text.find("IMG_002 beach.jpg") != std::string::npos);
        // No menu over empty list space.
        view_->Menus().ListMenu()->hide();
        emit view_->Form().list->customContextMenuRequested(
            QPoint(5, view_->Form().list->viewport()->height() - 3));
        QVERIFY(!view_->Menus().ListMenu()->isVisible());
    }
};

DOV_QTEST_MAIN(WorkflowTest)
#include "workflow_test.moc"
