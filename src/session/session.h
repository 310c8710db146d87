// The session: everything the window owns for the whole run, without any window.
//
// It holds the edit tree's root, the folder shown in the list with the rows' selection, the
// settings, the worker flags, the depth index and the keyword matcher, and it offers every
// operation the window's buttons, menus and keys start. The Qt view is a face over one of
// these; the command-line front end and the tests drive the very same object.
//
// Threads: the operations that the window runs on its worker (load, sort, edits, rename,
// copy, save, open, macros) may be called from one worker thread while the window thread only
// reads `flags` and sets the stop and close requests. Nothing here locks: at most one
// operation runs at a time, which the window's busy flag guarantees.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/fs.h"
#include "common/workerflags.h"
#include "edit/keyword_settings.h"
#include "edit/name_edit.h"
#include "edit/operations.h"
#include "edit/serial_settings.h"
#include "model/host.h"
#include "model/list_state.h"
#include "model/loader.h"
#include "session/job.h"
#include "session/result.h"
#include "session/settings.h"

class CMyDepthInfo;
class CMyItem;

namespace dov {

// The rows left after deleting list rows.
struct RowsDeleted {
    bool ok = false;              // false: nothing selected, or an error
    int currentRow = 0;           // the row to make current
    bool hasCurrentItem = false;  // false when the folder is empty (or after an error)
};

// A rename the conflict preview expects to fail.
struct Conflict {
    CMyItem* item = nullptr;
    std::string reason;     // a short English word: "taken", "missing", "name too long", ...
    std::string path;       // CP932: where the entry is at that moment
    std::string writePath;  // CP932: where the run would write it
};

struct ConflictCheck {
    std::vector<Conflict> conflicts;
    bool stops = false;  // the run would stop before renaming (a folder it cannot make)
};

// The last journaled run (a rename or an undo) as found on disk.
struct JournalInfo {
    bool exists = false;        // a readable journal is there
    bool finished = false;      // its run reached its end
    bool undoCutShort = false;  // an undo was cut short (undo again to finish it)
    std::size_t changes = 0;    // changes it records as made
    std::string kind;           // "rename" or "undo"
    bool refused = false;       // a journal is there that is not the user's own (not read)
    // A new direct rename would replace a journal that can still be undone.
    bool Unfinished() const { return (exists && !finished) || undoCutShort || refused; }
};

// One macro statement given as text.
struct StatementResult {
    enum class Problem { None, NotAStatement, NoSuchFunction, NotRun };
    Problem problem = Problem::None;
    std::string funcName;   // NoSuchFunction: the statement's name (CP932)
    std::string signature;  // NoSuchFunction: its argument signature
};

// Whether a pattern (and replacement) of the 正規表現 mode compiles; when not, *pErr (CP932)
// says what is wrong and where.
bool CheckRegexInput(const std::string& pattern, const std::string& replacement, std::string* pErr);

class CSession {
  public:
    // front: the window, the terminal or a test. The session answers the stop and close
    // requests from its own flags as well as from the front.
    explicit CSession(IHost& front);
    ~CSession();
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    // ---- State -------------------------------------------------------------------------
    WorkerFlags flags;
    Settings settings;         // dovreth.ini's values (keyword and serial: KeyWords(), Serial())
    std::string tracePath;     // DataTrace.txt in the program's own folder
    std::string saveFilePath;  // the save data file in use: set only by a successful Open or
                               // Save As, cleared by New and by an Open that did not load

    CMyItem* Root() const { return root_.get(); }
    CMyItem* CurFolder() const;
    // The list: folder shown, rows' selection, current row. The window writes its selection
    // here while idle; every list command reads it.
    ListState& List();
    const ListState& List() const;
    // The keyword dialog's values with the into-folders option, and the serial dialog's.
    KeyWordSettings& KeyWords();
    SerialSettings& Serial();
    // The host every operation talks to (the front plus this session's flags).
    IHost& Host();
    IHost& Front() { return front_; }
    bool AutoIndex() const { return settings.autoSerialNum != 0; }

    // ---- Settings ------------------------------------------------------------------------
    // Reads dovreth.ini (or the defaults) into `settings`, KeyWords() and Serial(). Nothing
    // is written.
    void LoadSettingsFile();
    // Writes them back; 0 or errno.
    int SaveSettingsFile();

    // ---- The tree and the list -----------------------------------------------------------
    // Discards every item and makes a new empty root "Root"; the list shows the root. 1 or 0.
    int Reset();
    // Loads picked entries of a disk folder (CP932 names, no path) under a folder item of
    // the tree (the current folder when null), then shows that folder.
    CItemLoader::LoadResult Load(const std::string& diskFolder,
                                 const std::vector<std::string>& names, CMyItem* under = nullptr);
    // Loads absolute paths (CP932) one after another under the root, each as a picked entry
    // of its own folder. Returns the number of paths that became items.
    int LoadPaths(const std::vector<std::string>& paths);
    // The entries the loads so far left out (see CItemLoader::LeftOut).
    const CItemLoader::LeftOut& LeftOutEntries() { return Loader().m_leftOut; }
    // How the last sort by this list column left the rows: 1 upward, -1 downward, 0 in no
    // order of that column (only the name and size columns sort).
    int SortedOrder(int column) {
        if (column != kColNewName && column != kColSize) return 0;
        return Loader().m_iSortFlag[static_cast<std::size_t>(column)] == 0 ? 1 : -1;
    }
    // Shows a folder in the list: its items become the rows, none selected.
    void ShowFolder(CMyItem* folder);
    // A folder of the tree by its new names from the root joined by '/' ("" or "/": the
    // root); null when there is none.
    CMyItem* FindFolder(const std::string& treePath) const;

    int RowCount() const;
    CMyItem* RowItem(int row) const;
    void SelectAll();
    void SelectOnly(int row);
    void ClearSelection();
    // The window's selection: these rows selected, current the current row (-1: none).
    void SetSelection(const std::vector<int>& rows, int current);
    std::vector<CMyItem*> SelectedItems() const;
    std::vector<int> SelectedRows() const;

    // ---- Commands --------------------------------------------------------------------------
    // An operation of the table (edit/operations.h) by its id, with the keyword and serial
    // settings as they stand (the dialogs fill them first). Returns the number of rows
    // changed, or -1 (refused, or no such operation, or one that only sets settings).
    int RunListCommand(int id);
    // Runs a row over the selected rows and does what it asks for (a reset, the text tree).
    OpResult RunOperation(const Operation& op);
    // The length limit command over the selected rows.
    int LimitLength(int limit);
    // The information box's text (CP932) over the selected rows.
    std::string InfoText() const;
    // Sorts the shown folder by a list column (0 new name, 1 index, 2 original name, 3 size).
    void SortByColumn(int column);
    // Sorts the shown folder by modification time or in natural order (each call turns the
    // direction, as a column does).
    void SortBy(ExtraSort order);
    // A macro's sort: the same in the direction given; the selected rows stay selected.
    void SortFolderKeepingSelection(ExtraSort order, bool ascending);
    // The new names of the rows, one a line (LF), a backslash, tab, line feed or carriage
    // return in a name written as \\, \t, \n or \r: the text the names are edited as.
    std::string NamesText() const;
    // Takes such a text back (CP932; LF or CR LF; a last line break is optional): line k
    // becomes row k's new name, through the checks of a typed name (a line equal to the row's
    // name as it stands is taken without them). A different number of lines, a line holding a
    // carriage return or NUL, an empty line, or a name the checks refuse: a message (also in
    // *pErr, CP932) and no name changes. Returns the number of rows changed, or -1.
    int SetNewNamesFromText(const std::string& text, std::string* pErr = nullptr);
    // Types a new name into a row: refused with the window's messages when it holds a
    // forbidden character or, without the index prefix, repeats another row's name. 1 or 0.
    int SetNewName(int row, const std::string& name);
    // A list command's regular-expression replace over the selected rows (the keyword
    // dialog's replace in its 正規表現 mode, with the pattern and replacement given): a bad
    // pattern is shown and changes nothing (*pErr gets the message). Rows changed, or -1.
    int RegexReplace(const std::string& pattern, const std::string& replacement, bool bAll,
                     bool bIgnoreCase, std::string* pErr = nullptr);
    // A folder of the tree renamed through its node; a folder the list shows is a row and
    // takes that row's checks. 1 or 0.
    int SetFolderName(CMyItem* folder, const std::string& name);
    // Switches the automatic index prefix option and rebuilds the write names.
    void SetAutoIndex(bool on);
    void SetIntoFolders(bool on);

    // ---- Edits of the tree ---------------------------------------------------------------
    // "フォルダ作成": a new user-made folder at the end of parent; null when refused.
    CMyItem* MakeFolder(CMyItem* parent);
    // "削除": removes a folder (never the root); its parent is shown and returned (null:
    // refused).
    CMyItem* RemoveFolder(CMyItem* folder);
    // "アイテム削除": deletes these rows (ascending) of the folder shown.
    RowsDeleted DeleteRows(const std::vector<int>& rows);
    // A list drag dropped on the list: rows (ascending) of the folder shown move as a block
    // to dropRow. The block's new first row, or -1 when refused.
    int MoveRows(const std::vector<int>& rows, int dropRow);
    // A list drag dropped on a folder of the tree: rows and their items, in the same order.
    bool MoveRowsToFolder(CMyItem* target, const std::vector<int>& rows,
                          const std::vector<CMyItem*>& items);
    // A tree drag: folder dragged moves to the end of target; selected is the folder the
    // tree has selected. true when it moved.
    bool MoveFolder(CMyItem* dragged, CMyItem* target, CMyItem* selected);

    // ---- Jobs ------------------------------------------------------------------------------
    // The long operations as jobs for a window or a terminal (see job.h). Each refers to this
    // session and must end first; at most one runs at a time. While one runs, its stop token
    // is STOP for everything it calls and the progress its work tells is its Done()/ToDo().
    //   LoadJob, LoadPathsJob: Load() and LoadPaths(); Done() counts the entries read.
    //   OperationJob: RunListCommand(id) (the dialogs fill the settings first).
    //   UndoJob: Undo() (its question comes from the run: it reads the journal there).
    //   NewJob (Confirm: ConfirmNew), OpenJob, SaveJob, SaveAsJob, MacroJob (a macro's close
    //   comes back as Result().closeAsked), SortColumnJob and SortByJob (SortByColumn() and
    //   SortBy() of the folder shown when the job was made), AutoIndexJob.
    std::unique_ptr<CJob> LoadJob(const std::string& diskFolder, std::vector<std::string> names,
                                  CMyItem* under = nullptr);
    std::unique_ptr<CJob> LoadPathsJob(std::vector<std::string> paths);
    std::unique_ptr<CJob> OperationJob(int id);
    std::unique_ptr<CJob> UndoJob();
    std::unique_ptr<CJob> NewJob();
    std::unique_ptr<CJob> OpenJob(const std::string& path);
    std::unique_ptr<CJob> SaveJob();
    std::unique_ptr<CJob> SaveAsJob(const std::string& path);
    std::unique_ptr<CJob> MacroJob(int fileNum);
    std::unique_ptr<CJob> SortColumnJob(int column);
    std::unique_ptr<CJob> SortByJob(ExtraSort order);
    std::unique_ptr<CJob> AutoIndexJob(bool on);

    // ---- Disk --------------------------------------------------------------------------------
    // The direct rename as a job for a window: Confirm() makes the checks and asks (known:
    // the conflict preview already made of the tree as it stands, else it is made there; when
    // it predicts failures the user is asked first), Run() renames on a worker, journaling
    // every change before it is made. The job refers to this session: it must end first.
    std::unique_ptr<CJob> RenameJob(const ConflictCheck* known = nullptr);
    // Both steps at once. predicted (optional) is told how many renames the preview expects to
    // fail, before the first change (one plan serves the preview and the run).
    CommandResult Rename(const ConflictCheck* known = nullptr,
                         const std::function<void(std::size_t)>& predicted = {});
    // Which renames of a direct rename would fail now, found without writing anything.
    ConflictCheck Check();
    // The same, given up (nothing) as soon as STOP (or the job's own stop) or closing is asked
    // for.
    std::optional<ConflictCheck> CheckUnlessStopped(const CJob* job = nullptr);
    // Undoes the last journaled run, after a question naming the number of changes. Done
    // (counts: ok taken back, failed could not be, items recorded), NotStarted (nothing to
    // undo, or No), Failed (the undo could not keep its own journal; nothing changed). After
    // it the tree is reset with a message: its items no longer stand where it says.
    CommandResult Undo();
    // The last journaled run as found on disk (at start-up: was a run cut short?).
    JournalInfo LastJournal() const;
    // Before a direct rename: an unfinished journal is offered for undo (run here when
    // undoHere, else left to TakeUndoRequest()), or discarded on an explicit answer. true: the
    // rename may start.
    bool JournalAllowsRename(bool undoHere);
    // After a rename job's Confirm() said no: whether the user chose to undo the unfinished run
    // first (asked once; the window runs the undo on its worker).
    bool TakeUndoRequest() { return std::exchange(undoRequested_, false); }
    // Removes the last run's journal (and an undo's cut short): its changes can no longer be
    // undone. true when none is left.
    bool DiscardJournal();
    // The folders the loaded entries came from, pinned when they were loaded.
    const DiskScope& Scope() const { return scope_; }
    // Its changes as text to show (CP932), one line each, the first few hundred.
    std::string JournalText() const;
    // Copy and rename into an output folder as a job for a window: Confirm() makes the checks
    // and asks (before the folder is chosen), Prepare(folder) gets the copy buffer, Run()
    // copies on a worker. The job refers to this session: it must end first.
    std::unique_ptr<CCopyJob> CopyJob();
    // All steps at once.
    CommandResult CopyTo(const std::string& outputFolder);
    // TextTree.txt of a folder (the whole tree when null) with its result message.
    bool WriteTextTree(CMyItem* folder = nullptr);
    // The tree's drawing into a file (CP932 path), without messages; showName (optional)
    // gives the text drawn for each name.
    bool DrawTree(const std::string& path,
                  std::function<std::string(const std::string&)> showName = nullptr);

    // ---- Save data file ------------------------------------------------------------------
    // New: true when the tree holds anything and the user agrees to discard it.
    bool ConfirmNew();
    // Open, before its file is chosen: true to go on (asks only when there is something to
    // lose).
    bool ConfirmDiscard();
    // New after its question: forgets the file in use and resets the tree. 1 or 0.
    int New();
    Outcome SaveAs(const std::string& path);
    // Writes to the file in use; NotStarted when there is none (the caller asks for one).
    Outcome Save();
    // Replaces the tree by a save data file, without a question. Done only when the file was
    // loaded; an old version's file and a damaged one end with an empty tree, no file in use
    // and nothing added to the recent files.
    Outcome Open(const std::string& path);

    // ---- Names from what the files hold ----------------------------------------------------
    // 情報を貼り付け over the selected rows with a template (CP932). A template that cannot be
    // used is explained in a message and nothing runs (nullopt). The result counts the rows
    // whose files lacked a field ("no information").
    std::optional<EditRunResult> PasteInfo(InfoPlace where, const std::string& tmpl);
    // The template expanded for one row of the list, reading what it needs (the dialog's
    // preview); nullopt when the template cannot be used or there is no such row.
    std::optional<InfoTemplate::Expansion> PreviewInfo(const std::string& tmpl, int row);
    // Sorts the folder shown by the date taken, with the modification time for files without
    // one; false when STOP ended it (nothing moved).
    bool SortByDateTaken(bool descending = false);
    // What has been read from the loaded files; forgotten when the tree is reset.
    InfoCache& Info() { return *info_; }
    // One field of a row's file, as a template with no format gives it; nullopt when the file
    // lacks it or there is no such row.
    std::optional<std::string> InfoFieldOfRow(int row, const std::string& name);
    // The row's new name after the paste of operation id (CMD_PASTE_INFO_*) with a template
    // (the dialog's live preview); nullopt when the template cannot be used or no such row.
    std::optional<std::string> PreviewInfoName(const std::string& tmpl, int row, int id);
    // Every field a file has (path in CP932), name and value, in the order of InfoFieldList;
    // dates as "%Y-%m-%d %H:%M:%S". Returns 0, or the errno of a path that cannot be read.
    int InfoFieldsOf(const std::string& path,
                     std::vector<std::pair<std::string, std::string>>& out);

    // ---- Macros --------------------------------------------------------------------------
    // The macro number a function key starts (0: none), and whether that macro may start.
    int MacroForKey(int fKey, bool alt, bool shift, bool ctrl, bool dragging, bool busy) const;
    bool MacroCanStart(int fileNum) const;
    // Where macro fileNum lives (CP932; empty for a number without a file).
    std::string MacroFilePath(int fileNum) const;
    // DovMacNN.txt (1 to 12) from the program's own folder. Done when the file was read.
    Outcome RunMacro(int fileNum);
    Outcome RunMacroFile(const std::string& path);
    // One statement (CP932 text).
    StatementResult RunStatement(const std::string& statement);

    // While a job runs: it is the one whose stop token and progress the operations see.
    class RunningJob {
      public:
        RunningJob(CSession& s, CJob& job) : s_(s) { s_.running_ = &job; }
        ~RunningJob() { s_.running_ = nullptr; }
        RunningJob(const RunningJob&) = delete;
        RunningJob& operator=(const RunningJob&) = delete;

      private:
        CSession& s_;
    };

  private:
    class SessionHost;
    Outcome RunMacroNumberOrFile(int fileNum, const std::string* path, bool* closeAsked);
    std::atomic<CJob*> running_{nullptr};
    CItemLoader& Loader();
    IHost& front_;
    std::unique_ptr<SessionHost> host_;
    std::unique_ptr<EditTarget> list_;
    std::unique_ptr<CMyDepthInfo> depth_;
    std::unique_ptr<CMyItem> root_;
    std::unique_ptr<CItemLoader> loader_;  // keeps the columns' sort directions
    DiskScope scope_;                      // the folders of the loaded entries, pinned at load
    bool undoRequested_ = false;
    std::unique_ptr<InfoCache> info_ = std::make_unique<InfoCache>();
};

}  // namespace dov
