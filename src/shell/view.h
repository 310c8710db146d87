// The main view: the folder tree on the left, the list of the current folder on the right, the
// item fields below the list and the command buttons under them. A face over the session: it
// shows what the session holds and hands every user action to it, running lengthy commands on
// the one worker thread.
//
// The view is wiring. Its rooms: the form (form.h: controls, layout, colours), the worker
// runner (worker.h: busy state, follow-ups, failures), the tree pane (treepane.h), drags
// (drag.h). The list side (fields, selection, keys) is in view_list.cpp; what each
// button, menu entry and drop does is in view_commands.cpp.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/fs.h"
#include "session/settings.h"
#include "shell/commands.h"
#include "shell/filedrop.h"
#include "shell/form.h"
#include "shell/listmodel.h"

class CMyItem;
class QLineEdit;
class QMenu;
class QKeyEvent;
class QPushButton;
class QTimer;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace dov {

class CDragTracker;
class CJob;
class CMyFileDialog;
class CSession;
struct Conflict;
struct ConflictCheck;
class CTreePane;
class CWorkerRunner;
class QtHost;
struct WorkerFlags;

class CKestrelView : public QWidget {
    Q_OBJECT
  public:
    explicit CKestrelView(QWidget* parent = nullptr);
    ~CKestrelView() override;

    // ---- What the frame and the tests reach --------------------------------------------
    QtHost* Host() const { return host_; }
    CSession& Session() const { return *session_; }
    WorkerFlags& Flags() const;
    Settings& Prefs();
    CMyItem* RootItem() const;
    CMyItem* CurrentFolder() const;
    bool WorkerRunning() const;
    // The folder the list shows (CP932 label for the status bar).
    QString CurrentFolderText() const;

    // Reads the settings (once, at start) and writes them back (once, at the end).
    void LoadSettings();
    void SaveSettings();
    void ApplyColors();

    // The user's actions, as the buttons, the tree and the list reach them.
    void OnLoad();  // "読み込み"
    void LoadEntries(const std::string& folder, std::vector<EntryInfo> picked);
    // Files and folders dropped from a file manager: loaded like picked entries, a folder's
    // entries at a time; what cannot be loaded is counted in one message.
    void LoadDroppedUrls(const QList<QUrl>& urls);
    // Loads absolute CP932 paths under the root, each as a picked entry of its own folder.
    void LoadPaths(std::vector<std::string> paths);
    void OnDeleteItems();                        // "アイテム削除"
    void OnMakeFolder();                         // "フォルダ作成"
    void OnDeleteFolder();                       // "削除"
    void OnStop();                               // "STOP"
    void OnClose();                              // "CLOSE"
    void ShowFolderNode(QTreeWidgetItem* node);  // tree click / selection change
    void ShowItem(int row);                      // list click / item change
    bool TypeNewName(const QString& text);       // Enter in field 1011
    void SortByColumn(int column);               // list header click
    void OpenFolderRow(int row);                 // list double click
    void SelectAllRows();  // "全て選択" and Ctrl+A, then the select-item step
    // The select-item step: the list gets the focus and the first selected row becomes the
    // current row and item, with the fields refreshed.
    void SelectItemMessage();
    void SelectListRow(int row);

    // Frame commands: New, Open (with a file chosen already: a recent file), Save, Save As.
    void NewTree();
    void OnOpen();
    void OpenFile(const QString& path);
    void OpenRecentFile(const QString& path);
    void OnSave();
    void OnSaveAs();

    // The commands of the list's and the tree's menus, by id (see CCommandRegistry), and the
    // tree's text output.
    void OnListCommand(int id);
    void OnTextTree(CMyItem* folder);
    // "直接変更" and "コピーして実行".
    void OnRename();
    void OnCopy();
    // "元に戻す" (menu 編集): the undo of the last journaled run, on the worker.
    void OnUndo();
    // At start: a run whose journal has no end is offered to be shown and undone.
    void OfferUnfinishedRun();
    // The renames the conflict preview expects to fail, counted again after every edit.
    int ConflictCount() const { return conflictCount_; }
    // The list of the predicted failures ("失敗の予測: N" clicked); a row chosen there is shown.
    void ShowFailureList();
    // Shows an item's folder and selects its row.
    void GoToItem(CMyItem* item);
    void UpdateConflicts();
    void ApplyConflicts(const ConflictCheck& check);
    // F1 to F12 (fKey 1 to 12) with the modifiers held; true when a macro started.
    bool CheckAndExeFuncKey(int fKey, Qt::KeyboardModifiers mods);

    // Drags: list rows (the selected rows) and tree folders, and their drops. A point is in
    // global coordinates.
    bool BeginListDrag();
    bool BeginTreeDrag(QTreeWidgetItem* node);
    void EndDragAt(const QPoint& global);
    void CancelDrags();
    bool Dragging() const;

    // What the window asks the user besides message boxes, replaceable by tests: the output
    // folder, the save data file to open and to save. An empty result is a cancel.
    struct Choosers {
        std::function<QString(const QString& start)> folder;
        std::function<QString(const QString& start)> openFile;
        std::function<QString(const QString& start)> saveFile;
    };
    Choosers& FileChoosers() { return choosers_; }
    // The command dialogs' runner and message (see CommandUi).
    CommandUi& CommandDialogs() { return commandUi_; }
    QMenu* ListMenu() const { return listMenu_; }
    QMenu* TreeMenu() const { return treeMenu_; }
    QMenu* HeaderMenu() const { return headerMenu_; }
    bool ProgressTimerActive() const;

    // The index prefix option: every write name gains or loses its prefix on the worker; the
    // list keeps its rows' selection and the fields show the current item's new write name.
    void SwitchAutoIndex(bool on);

    // The reset to an empty edit tree; false when it failed.
    bool ResetTree();

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

    // Controls (for the frame's close filter and the tests).
    QTreeWidget* Tree() const { return form_->tree; }
    QTreeView* List() const { return form_->list; }
    CItemListModel* ListModel() const { return form_->listModel; }
    QLineEdit* EditField() const { return form_->edit; }
    QLineEdit* OrgField() const { return form_->org; }
    QLineEdit* WriteField() const { return form_->write; }
    QLineEdit* IndexField() const { return form_->index; }
    QLineEdit* SizeField() const { return form_->size; }
    QLineEdit* DateField() const { return form_->date; }
    QPushButton* Button(int id) const { return form_->Button(id); }
    QTreeWidgetItem* NodeOf(CMyItem* folder) const;
    CMyItem* CurrentItem() const { return curItem_; }
    int CurrentRow() const;
    CMyFileDialog* FileDialog() const { return fileDialog_; }
    QSize ReferenceSize() const { return form_->ReferenceSize(); }

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
    void currentFolderChanged();
    void busyChanged(bool busy);
    void conflictsChanged(int count);

  protected:
    void resizeEvent(QResizeEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool eventFilter(QObject* obj, QEvent* e) override;

  private:
    // Construction (view.cpp).
    void ConnectHost();
    void ConnectTree();
    void ConnectList();
    void ConnectButtons();
    void BuildMenus();
    void BuildChoosers();
    void BuildWorker();
    void BuildDrags();
    // Busy and idle (view.cpp).
    void SetBusyState(bool busy);
    void CheckAndChangeTreeBtnState(bool setAll, bool state);
    void ReportStop();
    // After a load: how many entries it left out (names the program cannot hold).
    void ReportLeftOut(long long count);
    void StartProgressTimer();
    // Fields, selection, keys (view_list.cpp).
    void ShowFields(CMyItem* item);
    void ClearFields();
    void ShowMessage(const char* utf8);
    std::vector<int> SelectedRows() const;
    void WriteSelectionToSession();
    void ShowSessionSelection();
    void RefreshRowsKeepingSelection();
    void RefreshRows();
    // The window goes once the running job has ended: what the job left is not shown.
    bool Closing() const;
    bool ListKey(QKeyEvent* k);
    bool KeyPress(QObject* obj, QKeyEvent* k);
    // Commands (view_commands.cpp).
    void OnTreeLabelEdited(QTreeWidgetItem* node);
    void OnListLabelEdited(int row, const QString& text);
    bool ListDropWithin(const std::vector<int>& rows, int dropRow);
    void DropRowsOnFolder(CMyItem* target, std::vector<int> rows, std::vector<CMyItem*> items);
    void DropFolderOnFolder(CMyItem* dragged, CMyItem* target);
    // The registry's handlers: a row of the table with its dialog, on the worker; the
    // information box.
    void RunOperation(int id);
    void ShowInfo();
    void EditNamesAsText();  // "名前をテキストで編集"
    void SortRows(int id);   // the sorts without a column of their own

    // What the view owns for the whole run lives in the session.
    std::unique_ptr<CSession> session_;
    QtHost* host_ = nullptr;
    std::unique_ptr<CViewForm> form_;
    CTreePane* treePane_ = nullptr;
    CWorkerRunner* worker_ = nullptr;
    std::unique_ptr<CDragTracker> drag_;
    CMyFileDialog* fileDialog_ = nullptr;

    CMyItem* curItem_ = nullptr;  // the item the fields show (a row or the folder shown)
    int focusSide_ = 0;           // 0 the tree, 1 the list
    bool rowChosen_ = false;      // a row was clicked since the list was last filled
    bool readingSave_ = false;
    bool closeAfterWorker_ = false;

    class FunctionKeyFilter;
    FunctionKeyFilter* fkeyFilter_ = nullptr;
    QMenu* listMenu_ = nullptr;
    QMenu* treeMenu_ = nullptr;
    QMenu* headerMenu_ = nullptr;
    CMyItem* treeMenuTarget_ = nullptr;
    std::unique_ptr<CCommandRegistry> commands_;
    CommandUi commandUi_;
    Choosers choosers_;
    QTimer* progressTimer_ = nullptr;
    long long progressDone_ = 0, progressTotal_ = 0;
    int conflictCount_ = 0;
    std::vector<Conflict> conflicts_;  // the last prediction's failures
    // The prediction made on the worker at the end of the last job (written there, read after
    // the join), or given up because STOP or closing came first.
    std::unique_ptr<ConflictCheck> jobCheck_;
    bool jobCheckGivenUp_ = false;
    std::shared_ptr<CJob> job_;                  // the job the worker runs (window thread only)
    bool progressCountsEntries_ = false;         // the running job is a load: Done() counts entries
    std::vector<DroppedFolder> droppedFolders_;  // dropped entries still to load
    void LoadNextDroppedFolder();
};

}  // namespace dov
