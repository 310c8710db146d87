// The main view: the folder tree on the left, the list of the current folder on the right, the
// item fields below the list and the command buttons under them. A face over the session: it
// shows what the session holds and hands every user action to it, running lengthy operations
// on the one worker thread.
#pragma once

#include <QHash>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/fs.h"
#include "session/settings.h"
#include "shell/commands.h"
#include "shell/listmodel.h"

class CMyItem;
class QLabel;
class QLineEdit;
class QMenu;
class QKeyEvent;
class QPushButton;
class QTimer;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace dov {

class CMyFileDialog;
class CSession;
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
    CMyItem* CurrentFolder() const { return curFolder_; }
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

    // The list's context menu commands and the tree's text output.
    void OnListCommand(int id);
    void OnTextTree(CMyItem* folder);
    // "直接変更" and "コピーして実行".
    void OnRename();
    void OnCopy();
    // F1 to F12 (fKey 1 to 12) with the modifiers held; true when a macro started.
    bool CheckAndExeFuncKey(int fKey, Qt::KeyboardModifiers mods);

    // Drags: list rows (the selected rows) and tree folders, and their drops. A point is in
    // global coordinates.
    bool BeginListDrag();
    bool BeginTreeDrag(QTreeWidgetItem* node);
    void EndDragAt(const QPoint& global);
    void CancelDrags();
    bool Dragging() const { return listDrag_ || treeDrag_ != nullptr; }

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
    bool ProgressTimerActive() const;

    // The reset to an empty edit tree; false when it failed.
    bool ResetTree();

    // Runs a body on the worker thread with the busy state around it; false when a worker
    // already runs or the thread could not start.
    bool StartWorker(std::function<void()> body);

    // Controls (for the frame's close filter and the tests).
    QTreeWidget* Tree() const { return tree_; }
    QTreeView* List() const { return list_; }
    CItemListModel* ListModel() const { return listModel_; }
    QLineEdit* EditField() const { return fEdit_; }
    QLineEdit* OrgField() const { return fOrg_; }
    QLineEdit* WriteField() const { return fWrite_; }
    QLineEdit* IndexField() const { return fIndex_; }
    QLineEdit* SizeField() const { return fSize_; }
    QLineEdit* DateField() const { return fDate_; }
    QPushButton* Button(int id) const;
    QTreeWidgetItem* NodeOf(CMyItem* folder) const { return nodes_.value(folder, nullptr); }
    CMyItem* CurrentItem() const { return curItem_; }
    int CurrentRow() const { return curRow_; }
    CMyFileDialog* FileDialog() const { return fileDialog_; }
    QSize ReferenceSize() const { return refSize_; }

    // Control ids of the form.
    enum : int {
        kIdList = 1000,
        kIdLoad = 1001,
        kIdDeleteItems = 1002,
        kIdClose = 1003,
        kIdMakeFolder = 1004,
        kIdTree = 1013,
        kIdDeleteFolder = 1014,
        kIdCopy = 1015,
        kIdRename = 1016,
        kIdStop = 1061,
    };

  signals:
    void closeRequested();
    void recentFilesChanged();
    void progressText(QString text);
    void currentFolderChanged();
    void busyChanged(bool busy);

  protected:
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* obj, QEvent* e) override;

  private:
    void BuildControls();
    void PlaceAtReference();
    void RecordColumnFractions();
    void ApplyLayout(QSize size);
    void SetBusyState(bool busy);
    void CheckAndChangeTreeBtnState(bool setAll, bool state);
    void ClearFields();
    void ShowFields(CMyItem* item);
    void WorkerDone();
    void ReportStop();
    void RebuildTree();
    QTreeWidgetItem* AddNode(CMyItem* folder, QTreeWidgetItem* parentNode, const QString& label);
    void RemoveNode(CMyItem* folder);
    void OnTreeLabelEdited(QTreeWidgetItem* node);
    void OnListLabelEdited(int row, const QString& text);
    void SetItemNewName(CMyItem* item, int row, const std::string& name);
    void RefreshRows();
    std::vector<int> SelectedRows() const;
    void SyncSelectionToSession();
    void ShowMessage(const char* utf8);
    void SyncSelectionFromSession();
    void RefreshRowsKeepingSelection();
    void StartProgressTimer();
    bool ListDropWithin(int dropRow);
    bool HandleDragMouse(bool onList, QEvent* e);
    bool ListKey(QKeyEvent* k);
    bool ConfirmDiscard();

    // What the view owns for the whole run lives in the session.
    std::unique_ptr<CSession> session_;
    CMyItem* curFolder_ = nullptr;
    bool closeAfterWorker_ = false;
    QtHost* host_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QTreeView* list_ = nullptr;
    CItemListModel* listModel_ = nullptr;
    QLineEdit *fOrg_ = nullptr, *fEdit_ = nullptr, *fWrite_ = nullptr, *fIndex_ = nullptr,
              *fSize_ = nullptr, *fDate_ = nullptr;
    std::vector<QLabel*> captions_;
    QHash<int, QPushButton*> buttons_;
    CMyFileDialog* fileDialog_ = nullptr;

    // Layout record: each control's rectangle in the start-up layout.
    struct Placed {
        QWidget* w;
        QRect ref;
    };
    std::vector<Placed> placed_;
    QSize refSize_;
    std::array<double, 4> colFractions_{};

    QHash<CMyItem*, QTreeWidgetItem*> nodes_;
    CMyItem* curItem_ = nullptr;
    int curRow_ = -1;
    int focusSide_ = 0;       // 0 the tree, 1 the list
    bool rowChosen_ = false;  // a row was clicked since the list was last filled
    bool settingLabel_ = false;
    bool readingSave_ = false;

    std::thread worker_;
    // Runs on the window thread once the running worker has ended and the view is idle.
    std::function<void()> afterWorker_;

    class FunctionKeyFilter;
    FunctionKeyFilter* fkeyFilter_ = nullptr;
    QMenu* listMenu_ = nullptr;
    QMenu* treeMenu_ = nullptr;
    CMyItem* treeMenuTarget_ = nullptr;
    CommandUi commandUi_;
    Choosers choosers_;
    QTimer* progressTimer_ = nullptr;
    long long progressDone_ = 0, progressTotal_ = 0;

    // Drag state.
    bool listDragPending_ = false;
    QPoint pressPos_;
    bool listDrag_ = false;
    std::vector<int> dragRows_;
    std::vector<CMyItem*> dragItems_;
    QTreeWidgetItem* treeDragPending_ = nullptr;
    QTreeWidgetItem* treeDrag_ = nullptr;
    bool cursorOverridden_ = false;
    void SetDragCursor(bool on);
};

}  // namespace dov
