// The window driven through its real widgets on the offscreen platform.
#include <sys/stat.h>

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QThread>
#include <QTreeView>
#include <QTreeWidget>
#include <atomic>
#include <memory>
#include <set>
#include <stdexcept>

#include "common/paths.h"
#include "common/trace.h"
#include "common/workerflags.h"
#include "model/item.h"
#include "session/session.h"
#include "shell/app.h"
#include "shell/commands.h"
#include "shell/instance.h"
#include "shell/listmodel.h"
#include "shell/mainframe.h"
#include "shell/pathinbox.h"
#include "shell/settingsdialogs.h"
#include "shell/view.h"
#include "shell_test_support.h"
#include "support/test_support.h"
#include "view_driver.h"

using namespace dov;
using namespace shelltest;

class WindowTest : public QObject, protected ViewDriver {
    Q_OBJECT

    // A folder "data" with a sub-folder and three files, loaded under the root.
    void MakeAndLoad() {
        dir_->WriteFile("data/b.txt", std::string(1234, 'x'));
        dir_->WriteFile("data/a.txt", "a");
        dir_->WriteFile("data/c.txt", "");
        dir_->WriteFile("data/sub/inner.txt", "in");
        Load({"data"});
    }
  private slots:
    void init() {
        OpenWindow([this] { AnswerDefaults(view_->Host()); });
    }
    void cleanup() { CloseWindow(); }

    void frameHasItsTitleMenusAndMinimumSize() {
        QCOMPARE(frame_->windowTitle(), QString::fromUtf8("Dovreth Version 2.65"));
        QCOMPARE(frame_->minimumSize(), QSize(640, 430));
        for (const char* a : {"fileNew", "fileOpen", "fileSave", "fileSaveAs", "fileExit",
                              "viewStatusBar", "options", "colors", "about"})
            QVERIFY2(frame_->Action(a), a);
        QCOMPARE(frame_->Action("fileNew")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
        QCOMPARE(view_->Form().tree->topLevelItem(0)->text(0), QString::fromUtf8("Root"));
        QHeaderView* h = view_->Form().list->header();
        QCOMPARE(h->model()->headerData(0, Qt::Horizontal).toString(),
                 QString::fromUtf8("新しいファイル名"));
        QCOMPARE(h->model()->headerData(3, Qt::Horizontal).toString(),
                 QString::fromUtf8("ファイルサイズ"));
        // Idle with the root selected: STOP off, "削除" off, the rest on.
        QVERIFY(!view_->Form().Button(CKestrelView::kIdStop)->isEnabled());
        QVERIFY(!view_->Form().Button(CKestrelView::kIdDeleteFolder)->isEnabled());
        QVERIFY(view_->Form().Button(CKestrelView::kIdMakeFolder)->isEnabled());
        QVERIFY(view_->Form().Button(CKestrelView::kIdLoad)->isEnabled());
    }

    // Every id of the registry has its handler, and every control that offers a command (a
    // button, an entry of the frame's menus or of a context menu) reaches that one.
    void everyCommandReachesItsHandlerFromItsControl() {
        CCommandRegistry& commands = view_->Commands();
        QList<int> reached;
        for (int id : commands.Ids()) {
            QVERIFY2(commands.Has(id), qPrintable(QString::number(id)));
            QVERIFY(commands.Set(id, [&reached](int got) { reached << got; }));
        }
        QVERIFY(!commands.Set(4242, [](int) {}));
        std::vector<std::pair<int, std::function<void()>>> controls;
        for (const WindowCommand& c : WindowCommands()) {
            if (c.id == 0) continue;
            if (c.place == WindowPlace::Button) {
                QPushButton* b = view_->Form().Button(c.id);
                QVERIFY2(b, c.name);
                controls.emplace_back(c.id, [b] {
                    b->setEnabled(true);
                    b->click();
                });
            } else {
                QAction* a = frame_->Action(c.name);
                QVERIFY2(a, c.name);
                controls.emplace_back(c.id, [a] {
                    a->setEnabled(true);
                    a->trigger();
                });
            }
        }
        CViewMenus& menus = view_->Menus();
        for (QMenu* m : {menus.ListMenu(), menus.TreeMenu(), menus.HeaderMenu()})
            for (QAction* a : m->findChildren<QAction*>())
                if (const int id = CommandIdOf(a)) controls.emplace_back(id, [a] { a->trigger(); });
        std::set<int> offered;
        for (const auto& [id, trigger] : controls) {
            reached.clear();
            trigger();
            QCOMPARE(reached, QList<int>{id});
            offered.insert(id);
        }
        for (int id : commands.Ids()) QVERIFY2(offered.count(id), qPrintable(QString::number(id)));
    }

    void loadsAFolderAndShowsItsRowsWhenClicked() {
        MakeAndLoad();
        QCOMPARE(view_->Form().listModel->rowCount(), 1);
        QCOMPARE(RowName(0), QString("data"));
        QTreeWidgetItem* data = Node("data");
        QVERIFY(data);
        ClickTree(data);
        QCOMPARE(view_->Form().listModel->rowCount(), 4);
        QCOMPARE(RowName(0), QString("sub"));  // folders first, then names
        QCOMPARE(RowName(1), QString("a.txt"));
        QCOMPARE(RowName(2), QString("b.txt"));
        const QModelIndex size = view_->Form().listModel->index(2, 3);
        QCOMPARE(size.data().toString(), QString("1,234"));
        QVERIFY(size.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
        QVERIFY(frame_->FolderPane()->text().endsWith("data"));
        // Selecting a row fills the fields.
        ClickRow(2);
        QCOMPARE(view_->Form().org->text(), QString("b.txt"));
        QCOMPARE(view_->Form().size->text(), QString("1,234"));
        QVERIFY(view_->Form().date->text().contains(
            QRegularExpression(R"(^\d{4}/\d\d/\d\d \(\w{3}\) \d\d:\d\d:\d\d$)")));
        // "削除" follows the tree: enabled for a folder other than the root.
        ClickTree(data);
        QVERIFY(view_->Form().Button(CKestrelView::kIdDeleteFolder)->isEnabled());
        // A double click on a folder row opens it.
        const QModelIndex sub = view_->Form().listModel->index(0, 0);
        QTest::mousePress(view_->Form().list->viewport(), Qt::LeftButton, {},
                          view_->Form().list->visualRect(sub).center());
        QTest::mouseDClick(view_->Form().list->viewport(), Qt::LeftButton, {},
                           view_->Form().list->visualRect(sub).center());
        QTRY_COMPARE(RowName(0), QString("inner.txt"));
    }

    void typedNamesAreCheckedAndForbiddenOnesKeepTheOldName() {
        MakeAndLoad();
        ClickTree(Node("data"));
        ClickRow(1);
        QLineEdit* edit = view_->Form().edit;
        for (const char* bad : {"a/b", "x*y"}) {
            view_->Host()->ClearMessages();
            edit->setFocus();
            edit->setText(QString::fromUtf8(bad));
            QTest::keyClick(edit, Qt::Key_Return);
            QCOMPARE(int(view_->Host()->Messages().size()), 1);
            QCOMPARE(RowName(1), QString("a.txt"));
            QVERIFY(
                SawMessage(view_->Host(), QString::fromUtf8("の文字はファイル名として使えません")));
        }
        // Any character can be typed: é and 〜 go through the name bridge.
        edit->setText(QString::fromUtf8("caf\u00e9 \u301c.txt"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(RowName(1), QString::fromUtf8("caf\u00e9 \u301c.txt"));
        ClickRow(1);
        edit = view_->Form().edit;
        edit->setFocus();
        edit->setText(QString::fromUtf8("新しい名前.txt"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(RowName(1), QString::fromUtf8("新しい名前.txt"));
        QCOMPARE(view_->Pane().CurrentItem()->m_strNewName, Cp("新しい名前.txt"));
        QVERIFY(view_->Form().list->hasFocus());
    }

    void deletingRowsKeepsTheCurrentRowPosition() {
        MakeAndLoad();
        ClickTree(Node("data"));
        ClickRow(1);
        ClickRow(2, Qt::ControlModifier);
        QCOMPARE(view_->Form().list->selectionModel()->selectedRows().size(), 2);
        QVERIFY(view_->Form().Button(CKestrelView::kIdDeleteItems)->isEnabled());
        QTest::mouseClick(view_->Form().Button(CKestrelView::kIdDeleteItems), Qt::LeftButton);
        QCOMPARE(view_->Form().listModel->rowCount(), 2);
        QCOMPARE(RowName(0), QString("sub"));
        QCOMPARE(RowName(1), QString("c.txt"));
        QCOMPARE(view_->Pane().CurrentRow(), 1);
        QCOMPARE(view_->Form().org->text(), QString("c.txt"));
        // The Delete key does the same; deleting the folder row drops its tree node.
        ClickRow(0);
        QTest::keyClick(view_->Form().list, Qt::Key_Delete);
        QCOMPARE(view_->Form().listModel->rowCount(), 1);
        QVERIFY(!Node("sub"));
    }

    void makeAndRemoveTreeFolders() {
        ClickTree(view_->Form().tree->topLevelItem(0));
        QTest::mouseClick(view_->Form().Button(CKestrelView::kIdMakeFolder), Qt::LeftButton);
        QCOMPARE(view_->Form().listModel->rowCount(), 1);
        QVERIFY(RowName(0).startsWith(QString::fromUtf8("新規フォルダ_")));
        QTreeWidgetItem* made = Node(RowName(0).toUtf8().constData());
        QVERIFY(made);
        ClickTree(made);
        QVERIFY(view_->Form().Button(CKestrelView::kIdDeleteFolder)->isEnabled());
        QTest::mouseClick(view_->Form().Button(CKestrelView::kIdDeleteFolder), Qt::LeftButton);
        QCOMPARE(view_->Form().tree->topLevelItem(0)->childCount(), 0);
        QCOMPARE(view_->Form().listModel->rowCount(), 0);
        QCOMPARE(view_->Form().tree->currentItem(), view_->Form().tree->topLevelItem(0));
    }

    void stopWhileIdleDoesNothing() {
        QPushButton* stop = view_->Form().Button(CKestrelView::kIdStop);
        view_->OnStop();
        QVERIFY(!view_->Flags().stopReq);
        QVERIFY(!stop->isChecked());
        QVERIFY(!stop->isEnabled());
    }

    void aWorkerAsksAndWaitsWhileTheWindowRuns() {
        std::atomic<int> answer{-1};
        view_->Host()->SetAnswerer([](const QString& text, MsgKind kind) {
            return (kind == MsgKind::YesNo && text == QString::fromUtf8("続けますか"))
                       ? MsgAnswer::Yes
                       : MsgAnswer::No;
        });
        QVERIFY(view_->StartWorker([&] {
            answer = static_cast<int>(
                view_->Host()->Message(Cp("続けますか"), MsgKind::YesNo, MsgIcon::Question, {}));
        }));
        QVERIFY(!view_->Form().Button(CKestrelView::kIdClose)->isEnabled());
        QVERIFY(view_->Form().Button(CKestrelView::kIdStop)->isEnabled());
        QVERIFY(!frame_->Action("fileNew")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!view_->WorkerRunning(), 30000);
        QCOMPARE(answer.load(), static_cast<int>(MsgAnswer::Yes));
        QVERIFY(view_->Form().Button(CKestrelView::kIdClose)->isEnabled());
        QVERIFY(frame_->Action("fileNew")->isEnabled());
    }

    // A job that throws is reported and traced, and the window is idle again afterwards.
    void aJobThatThrowsEndsInTheIdleState() {
        QVERIFY(view_->StartWorker([] { throw std::runtime_error("boom"); }));
        QTRY_VERIFY_WITH_TIMEOUT(!view_->WorkerRunning(), 30000);
        QVERIFY(!view_->Flags().busy && !view_->Flags().transition);
        QVERIFY(view_->Form().Button(CKestrelView::kIdClose)->isEnabled());
        QVERIFY(!view_->Form().Button(CKestrelView::kIdStop)->isEnabled());
        QVERIFY(SawMessage(view_->Host(), QStringLiteral("boom")));
        QVERIFY(dovtest::HomeFile("DataTrace.txt").find("[boom]") != std::string::npos);
        QVERIFY(view_->StartWorker([] {}));  // the next job starts as usual
        QTRY_VERIFY_WITH_TIMEOUT(!view_->WorkerRunning(), 30000);
    }

    void closingWhileAWorkerRunsChecksStopAndClosesAfterIt() {
        std::atomic<bool> release{false};
        QVERIFY(view_->StartWorker([&] {
            while (!release && !view_->Flags().quitReq) QThread::yieldCurrentThread();
            while (!release) QThread::yieldCurrentThread();
        }));
        frame_->close();
        QVERIFY(!frame_->isVisible());  // gone from the screen at once
        QVERIFY(view_->Form().Button(CKestrelView::kIdStop)->isChecked());
        QVERIFY(view_->Flags().quitReq);
        // A box the job still asks for is not shown: it gets its default answer.
        QCOMPARE(view_->Host()->Message("x", MsgKind::YesNo, MsgIcon::None, {}), MsgAnswer::No);
        QVERIFY(view_->WorkerRunning());
        release = true;
        QTRY_VERIFY_WITH_TIMEOUT(!view_->WorkerRunning(), 30000);
    }

    void theLayoutScalesWithTheViewAndFitsTheMinimumWindow() {
        const QSize ref = view_->Form().ReferenceSize();
        view_->resize(ref);
        const QRect atRef = view_->Form().list->geometry();
        const QRect treeAtRef = view_->Form().tree->geometry();
        // At the window's minimum size every control lies inside the view and the date shows
        // whole (the view is then lower than the start-up layout).
        MakeAndLoad();
        ClickTree(Node("data"));
        ClickRow(1);
        frame_->resize(frame_->minimumSize());
        auto allInside = [this] {
            for (QWidget* w : view_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (w->isVisible() && !view_->rect().contains(w->geometry())) return false;
            return view_->height() < view_->Form().ReferenceSize().height();
        };
        QTRY_VERIFY(allInside());
        QLineEdit* date = view_->Form().date;
        QVERIFY(!date->text().isEmpty());
        QVERIFY(date->fontMetrics().horizontalAdvance(date->text()) <=
                date->contentsRect().width() - 8);
        view_->resize(ref.width() * 2, ref.height() * 2);
        QCOMPARE(view_->Form().list->geometry().width(), atRef.width() * 2);
        QCOMPARE(view_->Form().list->geometry().x(), atRef.x() * 2);
        QCOMPARE(view_->Form().tree->geometry().height(), treeAtRef.height() * 2);
    }

    void listColumnsFitItsClientWidthWithAScrollBar() {
        for (int i = 0; i < 40; ++i) dir_->WriteFile("many/f" + std::to_string(i) + ".txt", "");
        view_->LoadEntries(Cp(dir_->path()), Pick(dir_->path(), {"many"}));
        QTRY_VERIFY_WITH_TIMEOUT(!view_->WorkerRunning(), 30000);
        ClickTree(Node("many"));
        QTreeView* l = view_->Form().list;
        QTRY_VERIFY(l->verticalScrollBar()->isVisible());
        int sum = 0;
        for (int c = 0; c < 4; ++c) sum += l->columnWidth(c);
        QVERIFY(sum <= l->viewport()->width());
        QVERIFY(sum >= l->viewport()->width() * 98 / 100);
        QVERIFY(!l->horizontalScrollBar()->isVisible());
    }

    void aLabelEditKeepsTheFocusInTheListAndRenamedRowsHaveTheirColour() {
        MakeAndLoad();
        ClickTree(Node("data"));
        ClickRow(0);
        QTreeView* l = view_->Form().list;
        l->setFocus();
        l->edit(view_->Form().listModel->index(0, 0));
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->setText("z.txt");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(l->hasFocus());
        QCOMPARE(RowName(0), QString("z.txt"));
        QTest::keyClick(l, Qt::Key_Down);
        QCOMPARE(l->currentIndex().row(), 1);
        // The renamed row is drawn in its own colour, the others as the list draws them.
        const QColor renamed =
            view_->Form().listModel->index(0, 0).data(Qt::ForegroundRole).value<QColor>();
        QCOMPARE(renamed, QColor(255, 200, 0));
        QVERIFY(!view_->Form().listModel->index(1, 0).data(Qt::ForegroundRole).isValid());
    }

    void droppedFilesLoadLikePickedEntriesFolderByFolder() {
        dir_->WriteFile("d1/a.txt");
        dir_->WriteFile("d2/b.txt");
        auto url = [&](const std::string& rel) {
            return QUrl::fromLocalFile(QString::fromStdString(*dir_ / rel));
        };
        view_->LoadDroppedUrls({url("d1/a.txt"), url("d2/b.txt"), url("d2/none")});
        QTRY_COMPARE_WITH_TIMEOUT(int(view_->Pane().RootItem()->m_dwNumInFolder), 2, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(!view_->WorkerRunning(), 30000);
        QVERIFY(SawMessage(view_->Host(), QString::fromUtf8("1個のファイル情報の取得に失敗")));
        QCOMPARE(RowName(0), QString("a.txt"));
        QCOMPARE(RowName(1), QString("b.txt"));
    }

    void theStatusBarCountsTheEntriesALoadHasRead() {
        for (int i = 0; i < 5; ++i) dir_->WriteFile("big/f" + std::to_string(i), "");
        // The load waits at its fourth poll until the status bar has shown a count.
        std::atomic<int> polls{0};
        std::atomic<bool> seen{false};
        view_->Host()->SetStopPollHook([&] {
            if (++polls != 4) return;
            for (int i = 0; i < 3000 && !seen; ++i) QThread::msleep(10);
        });
        QSignalSpy texts(view_, &CKestrelView::progressText);
        view_->LoadEntries(Cp(dir_->path()), Pick(dir_->path(), {"big"}));
        QTRY_VERIFY_WITH_TIMEOUT(!texts.isEmpty() && texts.last().at(0).toString().endsWith(
                                                         QString::fromUtf8("個読み込み済み")),
                                 30000);
        seen = true;
        QTRY_VERIFY_WITH_TIMEOUT(!view_->WorkerRunning(), 30000);
        view_->Host()->SetStopPollHook(nullptr);
    }

    void aCopyCountsWhatItHasDoneInTheStatusBar() {
        MakeAndLoad();
        const QString out = QString::fromStdString(*dir_ / "out");
        QDir().mkpath(out);
        view_->FileChoosers().folder = [&](const QString&) { return out; };
        view_->Host()->SetAnswerer([](const QString&, MsgKind) { return MsgAnswer::Yes; });
        // The copy waits at its second step until the status bar has shown a count.
        std::atomic<bool> seen{false};
        view_->Host()->SetProgressHook([&](long long done, long long) {
            for (int i = 0; done == 2 && i < 3000 && !seen; ++i) QThread::msleep(10);
        });
        QSignalSpy texts(view_, &CKestrelView::progressText);
        view_->OnCopy();
        QTRY_VERIFY_WITH_TIMEOUT(!texts.isEmpty() && texts.last().at(0).toString().endsWith(
                                                         QString::fromUtf8("個処理済み")),
                                 30000);
        seen = true;
        QTRY_VERIFY_WITH_TIMEOUT(!view_->WorkerRunning(), 30000);
        view_->Host()->SetProgressHook(nullptr);
    }

    void coloursApplyOnOkAndReachTheSettingsFile() {
        CColorDlg dlg(view_->Prefs().colors);
        dlg.chooser = [](ColorRef& c) {
            c = 0x0000FF;  // red
            return true;
        };
        QTest::mouseClick(dlg.Swatch(kTreeBack), Qt::LeftButton);
        QCOMPARE(dlg.Colors()[kTreeBack], 0x0000FFu);
        QCOMPARE(view_->Prefs().colors[kTreeBack], 0x000000u);  // not before OK
        view_->Prefs().colors = dlg.Colors();
        view_->Pane().ApplyColors();
        QCOMPARE(view_->Form().tree->palette().color(QPalette::Base), QColor(255, 0, 0));
        const std::string ini = dir_->home() + "/dovreth.ini";
        frame_.reset();
        const std::string text = dovtest::ReadNative(ini);
        QVERIFY(text.find("TreeBack=255\r\n") != std::string::npos);
        QVERIFY(text.find("MainBack=8421504\r\n") != std::string::npos);
    }

    void aSecondCopyEndsAtOnceOrHandsItsPathsToTheWindow() {
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir_->path()));
        SingleInstanceLock lock;
        QVERIFY(lock.Acquire());
        CInstanceDoor door;
        QVERIFY(door.Open());
        auto* inbox = new CPathInbox(view_);
        QSignalSpy handed(&door, &CInstanceDoor::pathsHanded);
        connect(&door, &CInstanceDoor::pathsHanded, inbox, &CPathInbox::AddHanded);
        struct stat st {};
        const std::string socket = CInstanceDoor::SocketPath();
        QVERIFY(::stat(socket.substr(0, socket.rfind('/')).c_str(), &st) == 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0700));  // the door's folder is the user's own

        // Without paths: a silent end, nothing handed over. With them: the window loads them
        // like dropped files, says so in the trace, and the second copy ends.
        dir_->WriteFile("given/a.txt", "a");
        for (const QStringList& args : {QStringList{}, QStringList{"--", "given"}}) {
            QProcess second;
            second.setWorkingDirectory(QString::fromStdString(dir_->path()));
            second.start(QStringLiteral(DOVRETH_EXE), args);
            QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 60000);
            QCOMPARE(second.exitStatus(), QProcess::NormalExit);
            QCOMPARE(second.exitCode(), 0);
            QCOMPARE(int(handed.size()), args.isEmpty() ? 0 : 1);
        }
        QTRY_VERIFY_WITH_TIMEOUT(Node("given") != nullptr, 30000);
        WaitIdle();
        TraceFlush();
        QVERIFY(dovtest::ReadNative(dir_->home() + "/DataTrace.txt")
                    .find(Cp("パスを受け取りました: " + dir_->path() + "/given")) !=
                std::string::npos);
        // What does not carry absolute paths after the right first line is dropped whole.
        QStringList out;
        QVERIFY(CInstanceDoor::Decode(CInstanceDoor::Encode({"/a", "/b c"}), out));
        QCOMPARE(out, QStringList({"/a", "/b c"}));
        for (const QByteArray& bad :
             {QByteArray("DOVRETH-PATHS 2\n/a", 18), QByteArray("DOVRETH-PATHS 1\nrel", 19),
              QByteArray("DOVRETH-PATHS 1\n/a\0\0", 20), QByteArray("DOVRETH-PATHS 1\n/a", 18)})
            QVERIFY(!CInstanceDoor::Decode(bad, out));

        QProcess server;
        server.start(QStringLiteral(DOVRETH_EXE), {QStringLiteral("-Embedding")});
        QVERIFY(server.waitForFinished(60000));
        QCOMPARE(server.exitCode(), 0);
        QVERIFY(IsServerStart({"x", "/Automation"}));
        QVERIFY(!IsServerStart({"x", "file.dvt"}));
    }

    void commandLinePathsLoadLikePickedEntriesOrNothingLoads() {
        dir_->WriteFile("data/a.txt", "a");
        dir_->WriteFile("other/b.txt", "b");
        const QString d = QString::fromStdString(dir_->path());
        std::string problem;
        QVERIFY(StartPaths({d + "/data", d + "/data/a.txt"}, problem).empty());  // nested
        QVERIFY(!problem.empty());
        QVERIFY(StartPaths({d + "/data", d + "/missing"}, problem).empty());
        QVERIFY(problem.find("missing") != std::string::npos);
        QVERIFY(StartPaths({QStringLiteral("/")}, problem).empty());

        std::vector<std::string> paths =
            StartPaths({d + "/data/a.txt", d + "/other/./b.txt"}, problem);
        QVERIFY(problem.empty());
        QCOMPARE(paths.size(), std::size_t(2));
        QCOMPARE(paths[1], Cp(dir_->path() + "/other/b.txt"));
        view_->LoadPaths(paths);
        QVERIFY(view_->ProgressTimerActive());  // the status bar counts what it reads
        QTRY_VERIFY_WITH_TIMEOUT(!view_->WorkerRunning(), 30000);
        QCOMPARE(view_->Session().RowCount(), 2);
    }
};

DOV_QTEST_MAIN(WindowTest)
#include "window_test.moc"
