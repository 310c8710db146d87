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

#include <memory>
#include <string>
#include <vector>

#include "common/workerflags.h"
#include "macro/macro_target.h"
#include "model/host.h"
#include "model/loader.h"
#include "rename/conflict_preview.h"
#include "rename/depth_info.h"
#include "rename/journal.h"
#include "rename/rename_engine.h"
#include "rename/undo.h"
#include "session/settings.h"

class CMyItem;

namespace dov {

// List context-menu commands, by their menu ids.
enum ListCommand : int {
    CMD_FIND = 2005,
    CMD_REPLACE = 2006,
    CMD_RESET_NAME = 2008,
    CMD_SELECT_ALL = 2009,
    CMD_INFO = 2010,
    CMD_CUT_EXT = 2011,
    CMD_RESTORE_EXT = 2012,
    CMD_CUT_LEFT = 2021,
    CMD_CUT_RIGHT = 2022,
    CMD_CUT_KEY = 2023,
    CMD_CUT_BOUND1 = 2024,
    CMD_CUT_BOUND2 = 2025,
    CMD_LIMIT = 2026,
    CMD_PASTE_LEFT = 2031,
    CMD_PASTE_RIGHT = 2032,
    CMD_PASTE_KEY_LEFT = 2033,
    CMD_PASTE_KEY_RIGHT = 2034,
    CMD_SERIAL_0_UP = 2041,
    CMD_SERIAL_0_DOWN = 2042,
    CMD_SERIAL_1_UP = 2043,
    CMD_SERIAL_1_DOWN = 2044,
    CMD_SERIAL_FROM_UP = 2045,
    CMD_SERIAL_FROM_DOWN = 2046,
    CMD_SERIAL_DETAIL = 2047,
    CMD_TEXT_TREE = 2100,
};

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
    Settings settings;         // dovreth.ini's values (keyword and serial live in `list`)
    MacroTarget list;          // the list: folder shown, rows' selection, keyword and serial
                               // settings, the matcher
    CMyDepthInfo depth;        // the rename order
    std::string tracePath;     // DataTrace.txt in the program's own folder
    std::string saveFilePath;  // the save data file in use ("" before the first save)

    CMyItem* Root() const { return root_.get(); }
    std::unique_ptr<CMyItem>& RootHolder() { return root_; }
    CMyItem* CurFolder() const { return list.pFolder; }
    // The host every operation talks to (the front plus this session's flags).
    IHost& Host();
    IHost& Front() { return front_; }
    bool AutoIndex() const { return settings.autoSerialNum != 0; }

    // ---- Settings ------------------------------------------------------------------------
    // Reads dovreth.ini (or the defaults) into `settings` and the list's keyword and serial
    // records. Nothing is written.
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
    // Shows a folder in the list: its items become the rows, none selected.
    void ShowFolder(CMyItem* folder);
    // A folder of the tree by its new names from the root joined by '/' ("" or "/": the
    // root); null when there is none.
    CMyItem* FindFolder(const std::string& treePath) const;

    int RowCount() const { return list.RowCount(); }
    CMyItem* RowItem(int row) const { return list.RowItem(row); }
    void SelectAll();
    void SelectOnly(int row);
    void ClearSelection();
    std::vector<CMyItem*> SelectedItems() const { return list.SelectedItems(); }
    std::vector<int> SelectedRows() const { return list.SelectedRows(); }

    // ---- Commands --------------------------------------------------------------------------
    // A list command by its menu id, with the keyword and serial settings as they stand in
    // `list` (the dialogs fill them first). Returns the number of rows changed, or -1.
    int RunListCommand(int id);
    // The length limit command over the selected rows.
    int LimitLength(int limit);
    // The information box's text (CP932) over the selected rows.
    std::string InfoText() const;
    // Sorts the shown folder by a list column (0 new name, 1 index, 2 original name, 3 size).
    void SortByColumn(int column);
    // Types a new name into a row: refused with the window's messages when it holds a
    // forbidden character or, without the index prefix, repeats another row's name. 1 or 0.
    int SetNewName(int row, const std::string& name);
    // Switches the automatic index prefix option and rebuilds the write names.
    void SetAutoIndex(bool on);
    void SetIntoFolders(bool on) { list.keyWord.EffectSubItem = on ? 1 : 0; }

    // ---- Disk --------------------------------------------------------------------------------
    // The direct rename with its checks and questions. 1 when it ran to the end (the counts
    // tell what failed), 0 when refused or declined, -1 when STOP ended it early.
    // known: the preview already made of the tree as it stands (else it is made here); the
    // user is asked first when it predicts failures.
    int Rename(RenameCounts* counts = nullptr, const ConflictPrediction* known = nullptr);
    // Which renames of a direct rename would fail now, found without writing anything.
    ConflictPrediction Check();
    // Undoes the last journaled run (with its question). 1 when it ran (report tells how it
    // went), 0 when there was nothing to undo or the user declined, -1 when the undo could not
    // keep its own journal. After a run the tree is reset: the items no longer stand where it
    // says.
    int Undo(UndoReport* report = nullptr);
    // The last run's journal as found on disk (at start-up: was a run cut short?).
    JournalState LastJournal() const { return ReadJournalState(); }
    // Copy and rename into an output folder. 1 when it ran, 0 when refused or declined.
    int CopyTo(const std::string& outputFolder);
    // TextTree.txt of the whole tree with its result message.
    bool WriteTextTree();

    // ---- Save data file ------------------------------------------------------------------
    int SaveAs(const std::string& path);
    int Save();
    // Replaces the tree by a save data file, without a question. 1 or 0 (tree reset).
    int Open(const std::string& path);

    // ---- Macros --------------------------------------------------------------------------
    // DovMacNN.txt (1 to 12) from the program's own folder.
    int RunMacro(int fileNum);
    int RunMacroFile(const std::string& path);

  private:
    class SessionHost;
    CItemLoader& Loader();
    IHost& front_;
    std::unique_ptr<SessionHost> host_;
    std::unique_ptr<CMyItem> root_;
    std::unique_ptr<CItemLoader> loader_;  // keeps the columns' sort directions
};

}  // namespace dov
