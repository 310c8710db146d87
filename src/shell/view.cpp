#include "shell/view.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <optional>

#include "common/codepage.h"
#include "common/paths.h"
#include "common/trace.h"
#include "common/workerflags.h"
#include "model/item.h"
#include "session/session.h"
#include "shell/drag.h"
#include "shell/filedialog.h"
#include "shell/qtfiledialogs.h"
#include "shell/qthost.h"
#include "shell/qttext.h"
#include "shell/treepane.h"
#include "shell/worker.h"

namespace dov {

namespace {

// A body of the window's own as a job; while it runs, the session's operations it calls see
// the job's stop token as STOP.
class CallJob final : public CJob {
  public:
    CallJob(CSession& s, std::function<void()> body) : s_(s), body_(std::move(body)) {}
    bool Confirm() override { return true; }
    void Run() override {
        CSession::RunningJob running(s_, *this);
        body_();
        result_.outcome = StopAsked() ? Outcome::Stopped : Outcome::Done;
    }

  private:
    CSession& s_;
    std::function<void()> body_;
};

}  // namespace

// F1 to F12 of the view's window, looked at before shortcuts and the menu bar (F10) can take
// them. An application-wide filter of its own, so that the view's filters on its controls see
// each event once.
class CKestrelView::FunctionKeyFilter : public QObject {
  public:
    explicit FunctionKeyFilter(CKestrelView* view) : QObject(view), view_(view) {}

  protected:
    bool eventFilter(QObject* obj, QEvent* e) override {
        if (e->type() != QEvent::ShortcutOverride && e->type() != QEvent::KeyPress) return false;
        auto* k = static_cast<QKeyEvent*>(e);
        auto* w = qobject_cast<QWidget*>(obj);
        if (k->key() < Qt::Key_F1 || k->key() > Qt::Key_F12 || !w ||
            w->window() != view_->window() || QApplication::activeModalWidget())
            return false;
        if (e->type() == QEvent::ShortcutOverride) {
            e->accept();  // the key comes as a key press, not as a shortcut
            return false;
        }
        // A key that started a macro ends here; any other goes on to the controls (F2 edits a
        // label when the list is empty).
        return view_->CheckAndExeFuncKey(k->key() - Qt::Key_F1 + 1, k->modifiers());
    }

  private:
    CKestrelView* view_;
};

// ---- Construction -------------------------------------------------------------------------

CKestrelView::CKestrelView(QWidget* parent) : QWidget(parent) {
    setObjectName("view");
    host_ = new QtHost(this, nullptr, this);
    TraceReset(DefaultTracePath());
    SetTraceFailureHandler([this](const std::string& msg) {
        QMetaObject::invokeMethod(
            this, [this, msg] { host_->Ask(ToQt(msg), MsgKind::Ok); }, Qt::QueuedConnection);
    });
    form_ = std::make_unique<CViewForm>(this);
    form_->ClearFields();
    fileDialog_ = new CMyFileDialog(host_, this);
    treePane_ = new CTreePane(form_->tree, host_, this);
    ConnectHost();
    ConnectTree();
    ConnectList();
    ConnectButtons();

    // Start-up: an empty edit tree, then the settings.
    session_ = std::make_unique<CSession>(*host_);
    host_->SetFlags(&session_->flags);
    session_->settings.loadFolder = ProgramFolder();
    session_->settings.writeFolder = ProgramFolder();
    LoadSettings();
    BuildWorker();
    Button(kIdStop)->setChecked(false);
    Button(kIdStop)->setEnabled(false);
    ApplyColors();
    CheckAndChangeTreeBtnState(false, true);
    BuildMenus();
    BuildChoosers();
    BuildDrags();
    fkeyFilter_ = new FunctionKeyFilter(this);
    qApp->installEventFilter(fkeyFilter_);
    setAcceptDrops(true);  // files and folders from a file manager
}

CKestrelView::~CKestrelView() {
    qApp->removeEventFilter(fkeyFilter_);
    drag_.reset();
    // A worker still running is stopped; questions it asks now get their default answer.
    if (job_) job_->Stop();
    session_->flags.quitReq = true;
    host_->SetShuttingDown();
    worker_->Join();
    SetTraceFailureHandler(nullptr);
    SaveSettings();
    form_->listModel->Clear();
    session_.reset();
    // What the window traced goes to its folder now, not later from the background writer,
    // when the folder may be gone (a test's temporary one) and the failure would be told to
    // the next window.
    TraceFlush();
}

void CKestrelView::ConnectHost() {
    connect(host_, &QtHost::listShowFolder, this,
            [this](CMyItem* folder, std::vector<ListRow> rows) {
                // Another folder's rows are in the order they were loaded in.
                if (folder != form_->listModel->Folder())
                    form_->list->header()->setSortIndicator(0, Qt::AscendingOrder);
                form_->listModel->SetRows(folder, std::move(rows));
                curItem_ = nullptr;
                rowChosen_ = false;
                treePane_->SelectQuietly(treePane_->NodeOf(folder));
                emit currentFolderChanged();
            });
    connect(host_, &QtHost::listRowsChanged, this,
            [this](CMyItem* folder, std::vector<RowUpdate> rows) {
                form_->listModel->SetRowsAt(folder, std::move(rows));
            });
    connect(host_, &QtHost::itemFieldsChanged, this, [this](const ItemFields& f) {
        curItem_ = f.item;
        form_->ShowFields(f);
    });
}

void CKestrelView::ConnectTree() {
    QTreeWidget* tree = form_->tree;
    connect(tree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* n) { ShowFolderNode(n); });
    connect(tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* n) { ShowFolderNode(n); });
    connect(treePane_, &CTreePane::labelEdited, this, &CKestrelView::OnTreeLabelEdited);
    tree->installEventFilter(this);
    tree->viewport()->installEventFilter(this);
}

void CKestrelView::ConnectList() {
    QTreeView* list = form_->list;
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);
    connect(form_->listModel, &CItemListModel::labelEdited, this, &CKestrelView::OnListLabelEdited);
    connect(list, &QTreeView::clicked, this, [this](const QModelIndex& i) {
        if (Flags().busy || Flags().transition) return;
        focusSide_ = 1;
        rowChosen_ = true;
        ShowItem(i.row());
        CheckAndChangeTreeBtnState(false, true);
    });
    connect(list, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& i) { OpenFolderRow(i.row()); });
    connect(list->header(), &QHeaderView::sectionClicked, this, &CKestrelView::SortByColumn);
    connect(list->header(), &QHeaderView::sectionResized, this, [this] {
        if (!QApplication::mouseButtons().testFlag(Qt::NoButton)) form_->RecordColumnFractions();
    });
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (Flags().busy) return;
        WriteSelectionToSession();
        if (QPushButton* b = Button(kIdDeleteItems); b && focusSide_ == 1)
            b->setEnabled(form_->list->selectionModel()->hasSelection());
    });
    connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& cur) {
                if (Flags().busy || !cur.isValid()) return;
                const QModelIndexList sel = form_->list->selectionModel()->selectedRows();
                int first = cur.row();
                for (const QModelIndex& s : sel) first = std::min(first, s.row());
                ShowItem(sel.isEmpty() ? cur.row() : first);
                // A current row without a selection (the focus came to the list) deletes
                // nothing, so the button follows the selection.
                if (QPushButton* b = Button(kIdDeleteItems); b && focusSide_ == 1)
                    b->setEnabled(form_->list->selectionModel()->hasSelection());
            });
    form_->edit->installEventFilter(this);
}

void CKestrelView::ConnectButtons() {
    connect(Button(kIdLoad), &QPushButton::clicked, this, &CKestrelView::OnLoad);
    connect(Button(kIdDeleteItems), &QPushButton::clicked, this, &CKestrelView::OnDeleteItems);
    connect(Button(kIdStop), &QPushButton::clicked, this, &CKestrelView::OnStop);
    connect(Button(kIdClose), &QPushButton::clicked, this, &CKestrelView::OnClose);
    connect(Button(kIdMakeFolder), &QPushButton::clicked, this, &CKestrelView::OnMakeFolder);
    connect(Button(kIdDeleteFolder), &QPushButton::clicked, this, &CKestrelView::OnDeleteFolder);
    connect(Button(kIdRename), &QPushButton::clicked, this, &CKestrelView::OnRename);
    connect(Button(kIdCopy), &QPushButton::clicked, this, &CKestrelView::OnCopy);
}

void CKestrelView::BuildMenus() {
    listMenu_ = BuildListContextMenu(this);
    listMenu_->setObjectName("listMenu");
    commands_ = std::make_unique<CCommandRegistry>(
        [this](int id) { RunOperation(id); },
        std::map<int, CCommandRegistry::Handler>{
            {CMD_SELECT_ALL, [this](int) { SelectAllRows(); }},
            {CMD_INFO, [this](int) { ShowInfo(); }},
            {CMD_EDIT_NAMES_AS_TEXT, [this](int) { EditNamesAsText(); }},
            {CMD_SORT_MODIFIED, [this](int id) { SortRows(id); }},
            {CMD_SORT_NATURAL, [this](int id) { SortRows(id); }},
            {CMD_TEXT_TREE, [this](int) { OnTextTree(treeMenuTarget_); }}});
    connect(listMenu_, &QMenu::triggered, this,
            [this](QAction* a) { OnListCommand(CommandIdOf(a)); });
    QTreeView* list = form_->list;
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (Flags().busy || Flags().transition) return;
        const QModelIndex i = form_->list->indexAt(pos);
        if (!i.isValid()) return;  // no menu over empty list space
        focusSide_ = 1;
        rowChosen_ = true;
        ShowItem(i.row());
        listMenu_->popup(form_->list->viewport()->mapToGlobal(pos));
    });
    // The list's header offers the orders that have no column of their own.
    headerMenu_ = BuildListHeaderMenu(this);
    headerMenu_->setObjectName("headerMenu");
    connect(headerMenu_, &QMenu::triggered, this, [this](QAction* a) {
        if (const int id = CommandIdOf(a)) OnListCommand(id);
    });
    list->header()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list->header(), &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (Flags().busy || Flags().transition) return;
        headerMenu_->popup(form_->list->header()->mapToGlobal(pos));
    });
    treeMenu_ = BuildTreeContextMenu(this);
    treeMenu_->setObjectName("treeMenu");
    connect(treeMenu_, &QMenu::triggered, this,
            [this](QAction* a) { OnListCommand(CommandIdOf(a)); });
    QTreeWidget* tree = form_->tree;
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        treeMenuTarget_ = CTreePane::ItemOf(form_->tree->itemAt(pos));
        if (!treeMenuTarget_) return;
        treeMenu_->popup(form_->tree->viewport()->mapToGlobal(pos));
    });
}

void CKestrelView::BuildChoosers() {
    // The command dialogs' refusals and notes are message boxes of the host.
    commandUi_.message = [this](const QString& text) { host_->Ask(text, MsgKind::Ok); };
    choosers_.folder = [this](const QString& start) {
        return ChooseFolder(this, U8("フォルダの選択"), start);
    };
    auto fileChooser = [this](bool save, const QString& start) {
        QFileDialog dlg(this, U8(save ? "Dovreth　データセーブ" : "Dovreth　データロード"), start,
                        U8("Save Files (*.dvt)"));
        dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dlg.setDefaultSuffix(QStringLiteral("dvt"));
        MakeJapanese(dlg);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
        return dlg.selectedFiles().front();
    };
    choosers_.openFile = [fileChooser](const QString& start) { return fileChooser(false, start); };
    choosers_.saveFile = [fileChooser](const QString& start) { return fileChooser(true, start); };
}

void CKestrelView::BuildWorker() {
    worker_ = new CWorkerRunner(session_->flags.busy, session_->tracePath, this);
    worker_->report = [this](const QString& text) {
        host_->Ask(text, MsgKind::Ok, MsgIcon::Error);
    };
    connect(worker_, &CWorkerRunner::ending, this, [this] {
        Flags().transition = true;
        // The job's last notifications reach the list and the tree before its follow-up.
        host_->DeliverNotes();
    });
    connect(worker_, &CWorkerRunner::busyChanged, this, &CKestrelView::SetBusyState);
    connect(worker_, &CWorkerRunner::finished, this, [this] {
        const bool quit = Flags().quitReq.load() || closeAfterWorker_;
        Flags().stopReq = false;
        Flags().transition = false;
        job_.reset();
        if (quit) emit closeRequested();
    });
    // The progress timer: the running job's amounts done and to do.
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(100);
    connect(progressTimer_, &QTimer::timeout, this, [this] {
        progressDone_ = job_ ? job_->Done() : 0;
        progressTotal_ = job_ ? job_->ToDo() : 0;
        if (!WorkerRunning() || !job_) {
            progressTimer_->stop();
            progressCountsEntries_ = false;
            emit progressText(QString());
            update();
            return;
        }
        if (job_->StopAsked())
            emit progressText(U8("中止しています…"));
        else if (progressCountsEntries_)
            emit progressText(U8("%1 個読み込み済み").arg(progressDone_));
        else if (progressTotal_ > 0)
            emit progressText(QStringLiteral("%1 / %2").arg(progressDone_).arg(progressTotal_));
        else if (progressDone_ > 0)  // a copy does not know its total
            emit progressText(U8("%1 個処理済み").arg(progressDone_));
    });
}

void CKestrelView::BuildDrags() {
    drag_ = std::make_unique<CDragTracker>(form_->tree, form_->list, form_->listModel, treePane_);
    drag_->mayStart = [this] { return !WorkerRunning() && !Flags().transition; };
    drag_->root = [this] { return RootItem(); };
    drag_->rowsOnFolder = [this](CMyItem* target, std::vector<int> rows,
                                 std::vector<CMyItem*> items) {
        DropRowsOnFolder(target, std::move(rows), std::move(items));
    };
    drag_->folderOnFolder = [this](CMyItem* dragged, CMyItem* target) {
        DropFolderOnFolder(dragged, target);
    };
    drag_->rowsOnRow = [this](std::vector<int> rows, int row) { ListDropWithin(rows, row); };
}

// ---- What the frame and the tests reach ---------------------------------------------------

WorkerFlags& CKestrelView::Flags() const {
    return session_->flags;
}
Settings& CKestrelView::Prefs() {
    return session_->settings;
}
CMyItem* CKestrelView::RootItem() const {
    return session_ ? session_->Root() : nullptr;
}
CMyItem* CKestrelView::CurrentFolder() const {
    return form_->listModel->Folder();
}
int CKestrelView::CurrentRow() const {
    return session_->List().iCurrentRow;
}
QTreeWidgetItem* CKestrelView::NodeOf(CMyItem* folder) const {
    return treePane_->NodeOf(folder);
}
bool CKestrelView::WorkerRunning() const {
    return worker_ && worker_->Running();
}
bool CKestrelView::RunJob(std::shared_ptr<CJob> job, JobSteps steps) {
    if (!job || worker_->Running()) return false;
    if (!steps.confirmed && !job->Confirm()) return false;
    if (worker_->Running()) return false;  // the questions let another job start
    jobCheck_.reset();
    jobCheckGivenUp_ = false;
    job_ = job;
    std::function<void()> after;
    if (steps.after) after = [job, after = std::move(steps.after)] { after(*job); };
    const bool started = worker_->Start(
        [this, job, reportStop = steps.reportStop, onWorker = std::move(steps.onWorker)] {
            job->Run();
            // A macro's close: the window goes once the job has ended, as after CLOSE.
            if (job->Result().closeAsked) Flags().quitReq = true;
            if (reportStop) ReportStop();
            if (onWorker) onWorker(*job);
            // The conflict colours of the job's result are worked out here, off the window
            // thread, so that the window is idle again as soon as the job ends; STOP and
            // closing give them up.
            std::optional<ConflictCheck> check;
            if (!job->StopAsked()) check = session_->CheckUnlessStopped(job.get());
            if (check)
                jobCheck_ = std::make_unique<ConflictCheck>(std::move(*check));
            else
                jobCheckGivenUp_ = true;
        },
        std::move(after));
    if (!started) job_.reset();
    return started;
}

bool CKestrelView::RunJob(std::shared_ptr<CJob> job) {
    return RunJob(std::move(job), JobSteps());
}

bool CKestrelView::StartWorker(std::function<void()> body, std::function<void()> after) {
    JobSteps steps;
    steps.confirmed = true;
    if (after) steps.after = [after = std::move(after)](const CJob&) { after(); };
    return RunJob(std::make_shared<CallJob>(*session_, std::move(body)), std::move(steps));
}
bool CKestrelView::ProgressTimerActive() const {
    return progressTimer_->isActive();
}
bool CKestrelView::Dragging() const {
    return drag_->Dragging();
}
bool CKestrelView::BeginListDrag() {
    return drag_->BeginListDrag();
}
bool CKestrelView::BeginTreeDrag(QTreeWidgetItem* node) {
    return drag_->BeginTreeDrag(node);
}
void CKestrelView::EndDragAt(const QPoint& global) {
    drag_->EndDragAt(global);
}
void CKestrelView::CancelDrags() {
    drag_->Cancel();
}

void CKestrelView::LoadSettings() {
    session_->LoadSettingsFile();
}

void CKestrelView::SaveSettings() {
    if (int e = session_->SaveSettingsFile())
        TraceF(DefaultTracePath(), "※　設定ファイルの保存に失敗 errno[%d]\n", e);
}

QString CKestrelView::CurrentFolderText() const {
    return treePane_->PathText(CurrentFolder());
}

void CKestrelView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    form_->ApplyLayout(size());
}

void CKestrelView::ApplyColors() {
    form_->ApplyColors(Prefs().colors, Flags().busy);
    const ColorRef renamed = Prefs().changedNameText;
    form_->listModel->SetRenamedColor(QColor(RedOf(renamed), GreenOf(renamed), BlueOf(renamed)));
}

// ---- Busy and idle ------------------------------------------------------------------------

void CKestrelView::SetBusyState(bool busy) {
    for (int id : {kIdClose, kIdCopy, kIdRename})
        if (QPushButton* b = Button(id)) b->setEnabled(!busy);
    if (busy) {
        for (int id : {kIdDeleteFolder, kIdDeleteItems, kIdMakeFolder, kIdLoad})
            if (QPushButton* b = Button(id)) b->setEnabled(false);
    } else {
        CheckAndChangeTreeBtnState(false, true);
    }
    Button(kIdStop)->setChecked(false);
    Button(kIdStop)->setEnabled(busy);
    form_->listModel->SetEditable(!busy);
    if (!busy && !progressTimer_->isActive()) emit progressText(QString());
    // A window that goes once the job has ended is not brought up to date.
    if (!busy && Closing()) {
        emit busyChanged(busy);
        return;
    }
    ApplyColors();
    // Whatever the worker did (load, edits, a rename) may have made or settled conflicts. A
    // job cut short by STOP leaves them unknown: no row is marked until the next change (a
    // direct rename always makes its own prediction first).
    if (!busy) {
        if (jobCheck_)
            ApplyConflicts(*jobCheck_);
        else if (jobCheckGivenUp_)
            ApplyConflicts(ConflictCheck{});
        else
            UpdateConflicts();
        jobCheck_.reset();
        jobCheckGivenUp_ = false;
    }
    emit busyChanged(busy);
}

void CKestrelView::CheckAndChangeTreeBtnState(bool setAll, bool state) {
    QPushButton* del = Button(kIdDeleteFolder);
    QPushButton* make = Button(kIdMakeFolder);
    QPushButton* load = Button(kIdLoad);
    QPushButton* delItems = Button(kIdDeleteItems);
    if (setAll) {
        del->setEnabled(state);
        make->setEnabled(state);
        load->setEnabled(state);
        return;
    }
    QTreeWidgetItem* sel = form_->tree->currentItem();
    if (focusSide_ == 1) {
        del->setEnabled(false);
        make->setEnabled(sel != nullptr);
        load->setEnabled(true);
        delItems->setEnabled(form_->list->selectionModel()->hasSelection());
    } else {
        const bool isRoot = sel && sel == treePane_->NodeOf(RootItem());
        del->setEnabled(sel && !isRoot);
        make->setEnabled(sel != nullptr);
        load->setEnabled(sel != nullptr);
        delItems->setEnabled(false);
    }
}

void CKestrelView::ReportStop() {
    // Called on the worker at the end of the running job.
    if (job_ && job_->StopAsked() && !Flags().quitReq) {
        host_->Message(Sj("中止ボタンによって中止されました"), MsgKind::Ok, MsgIcon::None, {});
        if (readingSave_)
            host_->Message(Sj("読み込み中のデータはクリアされます"), MsgKind::Ok, MsgIcon::None,
                           {});
    }
}

void CKestrelView::StartProgressTimer() {
    progressDone_ = progressTotal_ = 0;
    progressCountsEntries_ = false;  // a load sets its own after this
    host_->ResetProgress();
    update();
    progressTimer_->start();
}

}  // namespace dov
