// The main view: the folder tree on the left, the list of the current folder on the right, the
// item fields below the list and the command buttons under them. A face over the session: it
// shows what the session holds and hands every user action to it, running lengthy commands on
// the one worker thread.
//
// The view is wiring: it owns the session, the worker and the rooms, builds the registry of
// the window's commands, and starts the long work. Its rooms: the form (form.h: controls,
// layout, colours), the worker runner (worker.h), the tree pane (treepane.h), the list pane
// (listpane.h: showing, selection, keys), the direct edits (itemedits.h), drags and drops
// (dragcontrol.h), the predicted failures (conflicts.h), the context menus (viewmenus.h) and
// New and Open (filecommands.h). The commands that start long work are in view_commands.cpp.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/fs.h"
#include "session/settings.h"
#include "shell/commands.h"
#include "shell/filecommands.h"
#include "shell/filedrop.h"
#include "shell/form.h"

class QTimer;

namespace dov {

class CConflictDisplay;
class CDragControl;
class CItemEdits;
class CJob;
class CListPane;
class CMyFileDialog;
class CSession;
class CTreePane;
class CViewMenus;
class CWorkerRunner;
class QtHost;
struct ConflictCheck;
struct WorkerFlags;

class CKestrelView : public QWidget {
    Q_OBJECT
  public:
    explicit CKestrelView(QWidget* parent = nullptr);
    ~CKestrelView() override;

    // ---- What the rooms, the frame and the tests reach ---------------------------------
    QtHost* Host() const { return host_; }
    CSession& Session() const { return *session_; }
    WorkerFlags& Flags() const;
    Settings& Prefs();
    CViewForm& Form() const { return *form_; }
    bool WorkerRunning() const;
    bool ProgressTimerActive() const;
    CListPane& Pane() const { return *pane_; }
    CDragControl& Drags() const { return *drags_; }
    CConflictDisplay& Conflicts() const { return *conflicts_; }
    CViewMenus& Menus() const { return *menus_; }
    // Every command of the window by its id: the buttons (their control ids), the entries of
    // the frame's menus and the rows of the table of operations.
    CCommandRegistry& Commands() const { return *commands_; }
    // What the window asks the user besides message boxes, replaceable by tests.
    using Choosers = WindowChoosers;
    Choosers& FileChoosers() { return choosers_; }

    // ---- The commands that start long work on the worker --------------------------------
    void OnLoad();  // "読み込み"
    void LoadEntries(const std::string& folder, std::vector<EntryInfo> picked);
    // Files and folders dropped from a file manager: loaded like picked entries, a folder's
    // entries at a time; what cannot be loaded is counted in one message.
    void LoadDroppedUrls(const QList<QUrl>& urls);
    // Loads absolute CP932 paths under the root, each as a picked entry of its own folder.
    void LoadPaths(std::vector<std::string> paths);
    void OnStop();   // "STOP"
    void OnClose();  // "CLOSE"
    // The save data file: a file chosen already (a recent file), Save, Save As.
    void OpenFile(const QString& path);
    void OpenRecentFile(const QString& path);
    void OnSave();
    void OnSaveAs();
    // "直接変更" and "コピーして実行".
    void OnRename();
    void OnCopy();
    // "元に戻す" (menu 編集): the undo of the last journaled run, on the worker.
    void OnUndo();
    // F1 to F12 (fKey 1 to 12) with the modifiers held; true when a macro started.
    bool CheckAndExeFuncKey(int fKey, Qt::KeyboardModifiers mods);
    // The index prefix option: every write name gains or loses its prefix on the worker; the
    // list keeps its rows' selection and the fields show the current item's new write name.
    void SwitchAutoIndex(bool on);
    // A row of the table with its dialog, on the worker.
    void RunOperation(int id);

    // Every job runs the one way: its questions on this thread (Confirm(), unless the caller
    // has asked them already), its run on the worker with the busy state around it, then
    // (still on the worker) the report of a STOP and what the steps add, and (on this thread,
    // once idle) its follow-up. STOP stops it through its own token. false when it did not
    // start (a worker runs already, the questions said no, or the thread could not start).
    struct JobSteps {
        bool confirmed = false;   // Confirm() was called (and said yes) by the caller
        bool reportStop = false;  // a STOP that ended it is told to the user
        std::function<void(const CJob&)> onWorker;  // after the run and its STOP report
        std::function<void(const CJob&)> after;     // on this thread, once idle
    };
    bool RunJob(std::shared_ptr<CJob> job, JobSteps steps);
    bool RunJob(std::shared_ptr<CJob> job);
    // A body of the window's own as a job (short work: drops, moves; and the tests).
    bool StartWorker(std::function<void()> body, std::function<void()> after = {});
    // The job running now (null when idle).
    const CJob* RunningJob() const { return job_.get(); }

    // Control ids of the form.
    enum : int {
        kIdList = CViewForm::kIdList,
        kIdLoad = CViewForm::kIdLoad,
        kIdDeleteItems = CViewForm::kIdDeleteItems,
        kIdClose = CViewForm::kIdClose,
        kIdMakeFolder = CViewForm::kIdMakeFolder,
        kIdTree = CViewForm::kIdTree,
        kIdDeleteFolder = CViewForm::kIdDeleteFolder,
        kIdCopy = CViewForm::kIdCopy,
        kIdRename = CViewForm::kIdRename,
        kIdStop = CViewForm::kIdStop,
    };

  signals:
    void closeRequested();
    void recentFilesChanged();
    void progressText(QString text);
    void busyChanged(bool busy);

  private:
    friend class CListPane;  // reads closeAfterWorker_

    void SetBusyState(bool busy);
    void ReportStop();
    void StartProgressTimer();
    void LoadNextDroppedFolder();

    // What the view owns for the whole run lives in the session.
    std::unique_ptr<CSession> session_;
    QtHost* host_ = nullptr;
    std::unique_ptr<CViewForm> form_;
    CTreePane* treePane_ = nullptr;
    CWorkerRunner* worker_ = nullptr;
    CMyFileDialog* fileDialog_ = nullptr;
    // The rooms.
    CListPane* pane_ = nullptr;
    std::unique_ptr<CItemEdits> edits_;
    std::unique_ptr<CDragControl> drags_;
    CConflictDisplay* conflicts_ = nullptr;
    CViewMenus* menus_ = nullptr;
    std::unique_ptr<CFileCommands> files_;
    std::unique_ptr<CCommandRegistry> commands_;

    bool readingSave_ = false;
    bool closeAfterWorker_ = false;

    class FunctionKeyFilter;
    FunctionKeyFilter* fkeyFilter_ = nullptr;
    Choosers choosers_;
    QTimer* progressTimer_ = nullptr;
    long long progressDone_ = 0, progressTotal_ = 0;
    // The prediction made on the worker at the end of the last job (written there, read after
    // the join), or given up because STOP or closing came first.
    std::unique_ptr<ConflictCheck> jobCheck_;
    bool jobCheckGivenUp_ = false;
    std::shared_ptr<CJob> job_;                  // the job the worker runs (window thread only)
    bool progressCountsEntries_ = false;         // the running job is a load: Done() counts entries
    std::vector<DroppedFolder> droppedFolders_;  // dropped entries still to load
};

}  // namespace dov
