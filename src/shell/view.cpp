#include "shell/view.h"

#include <QApplication>
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
#include "shell/conflicts.h"
#include "shell/dragcontrol.h"
#include "shell/filedialog.h"
#include "shell/itemedits.h"
#include "shell/listpane.h"
#include "shell/qtfiledialogs.h"
#include "shell/qthost.h"
#include "shell/qttext.h"
#include "shell/treepane.h"
#include "shell/viewmenus.h"
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
    pane_ = new CListPane(*this, *treePane_);
    conflicts_ = new CConflictDisplay(*this);
    edits_ = std::make_unique<CItemEdits>(*this);
    connect(treePane_, &CTreePane::labelEdited, this,
            [this](QTreeWidgetItem* node) { edits_->OnTreeLabelEdited(node); });
    connect(form_->listModel, &CItemListModel::labelEdited, this,
            [this](int row, const QString& text) { edits_->OnListLabelEdited(row, text); });

    // Start-up: an empty edit tree, then the settings.
    session_ = std::make_unique<CSession>(*host_);
    host_->SetFlags(&session_->flags);
    session_->settings.loadFolder = ProgramFolder();
    session_->settings.writeFolder = ProgramFolder();
    session_->LoadSettingsFile();

    // The worker, and the progress timer of the loads, the rename and the copy.
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
    // The progress timer reads the running job's amounts done and to do.
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

    form_->Button(kIdStop)->setChecked(false);
    form_->Button(kIdStop)->setEnabled(false);
    pane_->ApplyColors();
    pane_->CheckAndChangeTreeBtnState(false, true);
    menus_ = new CViewMenus(*this);
    choosers_ = WindowChoosers::Dialogs(this);
    drags_ = std::make_unique<CDragControl>(*this);
    files_ = std::make_unique<CFileCommands>(*this);

    // The commands: the table's rows (with the ones the window does itself), then the buttons
    // and the entries of the frame's menus that the view owns. The frame gives its own.
    commands_ = std::make_unique<CCommandRegistry>(
        [this](int id) { RunOperation(id); },
        std::map<int, CCommandRegistry::Handler>{
            {CMD_SELECT_ALL, [this](int) { pane_->SelectAllRows(); }},
            {CMD_INFO, [this](int) { menus_->ShowInfo(); }},
            {CMD_EDIT_NAMES_AS_TEXT, [this](int) { menus_->EditNamesAsText(); }},
            {CMD_SORT_MODIFIED, [this](int id) { menus_->SortRows(id); }},
            {CMD_SORT_NATURAL, [this](int id) { menus_->SortRows(id); }},
            {CMD_TEXT_TREE, [this](int) { menus_->WriteTextTree(); }}});
    const std::pair<int, std::function<void()>> own[] = {
        {kIdLoad, [this] { OnLoad(); }},
        {kIdDeleteItems, [this] { edits_->OnDeleteItems(); }},
        {kIdMakeFolder, [this] { edits_->OnMakeFolder(); }},
        {kIdDeleteFolder, [this] { edits_->OnDeleteFolder(); }},
        {kIdRename, [this] { OnRename(); }},
        {kIdCopy, [this] { OnCopy(); }},
        {kIdStop, [this] { OnStop(); }},
        {kIdClose, [this] { OnClose(); }},
        {WIN_FILE_NEW, [this] { files_->NewTree(); }},
        {WIN_FILE_OPEN, [this] { files_->OnOpen(); }},
        {WIN_FILE_SAVE, [this] { OnSave(); }},
        {WIN_FILE_SAVE_AS, [this] { OnSaveAs(); }},
        {WIN_EXIT, [this] { OnClose(); }},
        {WIN_UNDO, [this] { OnUndo(); }},
        {WIN_FAILURES, [this] { conflicts_->ShowFailureList(); }},
    };
    for (const auto& [id, handler] : own) commands_->Set(id, [handler](int) { handler(); });
    for (const WindowCommand& c : WindowCommands())
        if (c.place == WindowPlace::Button)
            connect(form_->Button(c.id), &QPushButton::clicked, this,
                    [this, id = c.id] { commands_->Run(id); });

    fkeyFilter_ = new FunctionKeyFilter(this);
    qApp->installEventFilter(fkeyFilter_);
    setAcceptDrops(true);  // files and folders from a file manager
}

CKestrelView::~CKestrelView() {
    qApp->removeEventFilter(fkeyFilter_);
    drags_.reset();
    // A worker still running is stopped; questions it asks now get their default answer.
    if (job_) job_->Stop();
    session_->flags.quitReq = true;
    host_->SetShuttingDown();
    worker_->Join();
    SetTraceFailureHandler(nullptr);
    if (int e = session_->SaveSettingsFile())
        TraceF(DefaultTracePath(), "※　設定ファイルの保存に失敗 errno[%d]\n", e);
    form_->listModel->Clear();
    // The pane watches the controls, which go after the session.
    delete pane_;
    pane_ = nullptr;
    session_.reset();
    // What the window traced goes to its folder now, not later from the background writer,
    // when the folder may be gone (a test's temporary one) and the failure would be told to
    // the next window.
    TraceFlush();
}

// ---- What the rooms, the frame and the tests reach ----------------------------------------

WorkerFlags& CKestrelView::Flags() const {
    return session_->flags;
}
Settings& CKestrelView::Prefs() {
    return session_->settings;
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

// ---- Busy and idle ------------------------------------------------------------------------

void CKestrelView::SetBusyState(bool busy) {
    for (int id : {kIdClose, kIdCopy, kIdRename})
        if (QPushButton* b = form_->Button(id)) b->setEnabled(!busy);
    if (busy) {
        for (int id : {kIdDeleteFolder, kIdDeleteItems, kIdMakeFolder, kIdLoad})
            if (QPushButton* b = form_->Button(id)) b->setEnabled(false);
    } else {
        pane_->CheckAndChangeTreeBtnState(false, true);
    }
    form_->Button(kIdStop)->setChecked(false);
    form_->Button(kIdStop)->setEnabled(busy);
    form_->listModel->SetEditable(!busy);
    if (!busy && !progressTimer_->isActive()) emit progressText(QString());
    // A window that goes once the job has ended is not brought up to date.
    if (!busy && pane_->Closing()) {
        emit busyChanged(busy);
        return;
    }
    pane_->ApplyColors();
    // Whatever the worker did (load, edits, a rename) may have made or settled conflicts. A
    // job cut short by STOP leaves them unknown: no row is marked until the next change (a
    // direct rename always makes its own prediction first).
    if (!busy) {
        if (jobCheck_)
            conflicts_->Apply(*jobCheck_);
        else if (jobCheckGivenUp_)
            conflicts_->Apply(ConflictCheck{});
        else
            conflicts_->Update();
        jobCheck_.reset();
        jobCheckGivenUp_ = false;
    }
    emit busyChanged(busy);
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
