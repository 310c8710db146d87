// The window's commands: the context menus built from the table of operations, what happens
// between picking one of their commands and running it (the command's dialog, and the
// accepted values written into the session's settings), the table of the window's own
// commands (its buttons and the frame's menus) and the registry that finds any of them by id.
//
// The view builds the menus once and sends every chosen entry, button and frame menu entry to
// the registry; a row of the table calls PrepareListCommand on the window thread and, when that
// says yes, runs CSession::RunListCommand(id) on the worker.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <vector>

class QAction;
class QDialog;
class QMenu;
class QWidget;

namespace dov {

class CSession;
class CKeyWordDlg;

// What the commands show, replaceable so that tests can answer without a modal loop.
struct CommandUi {
    // Runs a dialog and gives its result (QDialog::Accepted or QDialog::Rejected).
    // Default: QDialog::exec().
    std::function<int(QDialog& dlg)> runDialog;
    // Shows a message: the dialogs' refusals and the information box. Default: the dialogs'
    // own message boxes, and the session's front host for the information box.
    std::function<void(const QString& text)> message;
};

// Sets up the keyword dialog for a list command: the number of fields, their labels, the
// title and which check boxes are enabled. False (dialog untouched) for a command that does
// not ask for keywords.
bool SetUpKeyWordDlg(CKeyWordDlg& dlg, int id);

// Shows the command's dialog with the session's last values and, when it is accepted, writes
// the values into the session's settings. Returns whether s.RunListCommand(id) should run now:
// false when the dialog was cancelled, when 2021 to 2023 are asked for while a worker runs,
// when "置換" has no search text, for "情報" (its box is shown here), for
// "名前をテキストで編集" (its dialog applies the names) and for unknown ids.
bool PrepareListCommand(QWidget* parent, CSession& s, int id, const CommandUi& ui = {});

// "名前をテキストで編集": the rows' new names in a text editor; OK takes them through
// CSession::SetNewNamesFromText (a refused text keeps the dialog open). Whether names were
// taken.
bool EditNamesAsText(QWidget* parent, CSession& s, const CommandUi& ui = {});

// The list's context menu: "拡張子", "カット", "ペースト", "連番付け", then "検索", "置換", a
// separator, "元のファイル名に戻す", "全て選択", "情報"; then a separator, the submenus
// "文字種の変換" and "並べ替え", and "名前をテキストで編集". Every command action carries its
// id as its data; the caller owns the menu.
QMenu* BuildListContextMenu(QWidget* parent);
// The list header's menu: the sorts by modification time and in natural order.
QMenu* BuildListHeaderMenu(QWidget* parent);
// The tree's menu: "ツリー構造をテキスト出力" (2100).
QMenu* BuildTreeContextMenu(QWidget* parent);
// The command id an action of these menus carries (0 for none).
int CommandIdOf(const QAction* action);

// The window's own commands, besides the rows of the table of operations: the buttons (their
// ids are the form's control ids) and the entries of the frame's menus.
enum WindowCommandId : int {
    WIN_FILE_NEW = 3001,
    WIN_FILE_OPEN = 3002,
    WIN_FILE_SAVE = 3003,
    WIN_FILE_SAVE_AS = 3004,
    WIN_EXIT = 3005,
    WIN_UNDO = 3010,
    WIN_STATUS_BAR = 3020,
    WIN_FAILURES = 3021,
    WIN_OPTIONS = 3030,
    WIN_COLORS = 3031,
    WIN_ABOUT = 3040,
};

// Where a window command is offered: a button of the view, or a menu of the frame's menu bar.
enum class WindowPlace { Button, File, Edit, View, Options, Help };

// What an entry of the frame's menus is besides its command.
enum WindowEntryFlags : unsigned {
    kSeparatorBefore = 1,
    kWidgetShortcut = 2,  // its key works only where it is added (the fields keep their own)
    kOnTreeAndList = 4,   // added to the tree and the list, where its key works
    kCheckable = 8,       // checked at start
    kRecentFiles = 16,    // the submenu of the recent files (no command of its own)
};

// One window command: a button (no text: the form labels it), or an entry of a frame menu. An
// entry with id 0 has nothing behind it and stays disabled.
struct WindowCommand {
    int id;
    WindowPlace place;
    const char* text;  // the menu text (UTF-8)
    const char* name;  // the action's object name, or null
    int key;           // its shortcut (a Qt key combination), or 0
    unsigned flags;
};

// The window commands in the order of their buttons and menu entries.
const std::vector<WindowCommand>& WindowCommands();
// The titles of the frame's menus, in the order of the menu bar.
const char* WindowMenuTitle(WindowPlace place);

// The window's commands by id, in one place: every row of the table of operations with a menu
// entry, and every window command. A row gets the handler the window gives for its id (the rows
// it does on its own widgets, the tree's rows) or else `run`, which prepares the row (its
// dialog) and runs it; a window command gets its handler from whoever owns it (the view, the
// frame) through Set.
class CCommandRegistry {
  public:
    using Handler = std::function<void(int id)>;
    CCommandRegistry(Handler run, std::map<int, Handler> own);
    // Gives a command its handler; false for an id that is neither a row nor a window command.
    bool Set(int id, Handler handler);
    // Runs the command of an id; false when the window has none.
    bool Run(int id) const;
    bool Has(int id) const;
    // Every id of the registry, with or without its handler yet.
    std::vector<int> Ids() const;

  private:
    std::map<int, Handler> handlers_;
};

}  // namespace dov
