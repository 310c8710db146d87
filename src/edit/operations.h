// The table of operations: every command over the list's rows (and the few over the whole
// tree) is one row of Operations(). A row holds everything the program needs to offer the
// operation: its id, its macro functions, its menu entry, its dovreth-cli option, the settings
// it reads, and the function that runs it. The session runs any row; the macro runner, the
// window's menus and commands, and dovreth-cli's options are all built from this table.
//
// To add an operation, add its row to kOperations in operations.cpp and write its run
// function next to it; nothing else needs to change.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "edit/keyword_settings.h"
#include "edit/regexp.h"
#include "edit/serial_settings.h"
#include "info/info_cache.h"
#include "model/host.h"
#include "model/list_state.h"

namespace dov {

// What the list operations work on: the list (rows, selection, current row), the settings
// the edit dialogs fill, and the shared keyword matcher.
struct EditTarget : ListState {
    KeyWordSettings keyWord;  // the keyword dialog's values and the into-folders option
    SerialSettings serial;    // the serial numbering dialog's values
    CMyRegExp matcher;
    std::string infoTemplate;    // 情報を貼り付け's template (CP932)
    InfoCache* pInfo = nullptr;  // what the loaded files hold, read once (null: read afresh)
};

// Operation ids. Those with a menu entry are the menu ids of the list's and the tree's menus.
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
    CMD_PASTE_INFO_LEFT = 2035,  // 情報を貼り付け with the target's template
    CMD_PASTE_INFO_RIGHT = 2036,
    CMD_PASTE_INFO_WHOLE = 2037,
    CMD_SERIAL_0_UP = 2041,
    CMD_SERIAL_0_DOWN = 2042,
    CMD_SERIAL_1_UP = 2043,
    CMD_SERIAL_1_DOWN = 2044,
    CMD_SERIAL_FROM_UP = 2045,
    CMD_SERIAL_FROM_DOWN = 2046,
    CMD_SERIAL_DETAIL = 2047,
    CMD_SORT_TAKEN = 2048,  // the folder shown sorted by the date taken
    CMD_TEXT_TREE = 2100,
    // Rows only macros reach.
    OP_CUT_FROM_LEFT = 2201,
    OP_CUT_FROM_RIGHT = 2202,
    OP_CLEAR_ALL = 2203,
    OP_CHANGE_EXT = 2210,  // accepted by macros, without effect
    OP_MODE_AUTO_SERIAL = 2211,
    OP_MODE_EFFECT_SUB = 2212,
    OP_SERIAL_POS = 2220,  // the serial settings, set by macros
    OP_SERIAL_SEP_POS = 2221,
    OP_SERIAL_DIGIT = 2222,
    OP_SERIAL_UP_DOWN = 2223,
    OP_SERIAL_PRESET = 2224,
    OP_SERIAL_DELTA = 2225,
    // Character-type conversions, in the order of CharConv (edit/textconv.h).
    CMD_CHARCONV_FIRST = 2110,
    CMD_TO_UPPER = CMD_CHARCONV_FIRST,
    CMD_TO_LOWER = 2111,
    CMD_TO_CAPITAL = 2112,
    CMD_FULL_TO_HALF = 2113,
    CMD_HALF_TO_FULL = 2114,
    CMD_KANA_HALF_TO_FULL = 2115,
    CMD_KANA_FULL_TO_HALF = 2116,
    CMD_HIRA_TO_KATA = 2117,
    CMD_KATA_TO_HIRA = 2118,
    CMD_NFC = 2119,
    CMD_NFD = 2120,
    CMD_CHARCONV_LAST = CMD_NFD,
    CMD_SORT_MODIFIED = 2130,       // the shown folder by modification time
    CMD_SORT_NATURAL = 2131,        // the shown folder in natural order
    CMD_EDIT_NAMES_AS_TEXT = 2140,  // "名前をテキストで編集" (the window's dialog)
    OP_REGEX_REPLACE = 2230,        // the regular-expression replace of macros
};

// Whoever runs an operation does what it asks for beyond the rows.
enum class OpRequest {
    None,
    ResetTree,      // discard every item and start an empty tree
    WriteTextTree,  // TextTree.txt of the whole tree
    SortModified,   // sort the folder shown by modification time
    SortNatural,    // sort the folder shown in natural order
    ShowFolder,     // the folder shown is listed again (its order changed)
};

// One run of an operation.
struct OpContext {
    EditTarget& target;
    IHost& host;  // messages, row redraws, STOP
    const std::string& tracePath;
    int limitSize = 0;            // the length limit (dovreth.ini)
    std::uint32_t macroArg2 = 0;  // a macro's second number (the cut from the right: keep
                                  // the extension when non-zero)
    // A macro's flags number: the regular-expression replace's (1 every hit, 2 ignore case),
    // a sort's (ascending when non-zero).
    std::uint32_t macroFlags = 0;
};

struct OpResult {
    int changed = 0;       // rows changed (or selected, or written); -1: refused
    bool stopped = false;  // STOP ended it early
    OpRequest request = OpRequest::None;
    int noInfo = 0;  // 情報を貼り付け: rows whose file lacked a field the template asks for
};

using OpRun = OpResult (*)(OpContext& c);

// How a macro function's arguments fill the settings before its operation runs.
enum class MacroArgs {
    None,          // no settings
    Key1,          // (S): keyword 1; wildcard off
    FlagKey1,      // (D, S): the wildcard flag, keyword 1
    FlagKey1Arg2,  // (D, D, S): the wildcard flag, the second number, keyword 1
    FlagKey12,     // (D, D, S, S): the wildcard flag, -, keywords 1 and 2
    SerialPos,     // (D, S, S, S): wildcard, position type, position keys 1 and 2
    SerialSepPos,  // (S, S, S): separator type, left and right texts
    SerialDigit,   // (S, D): digit type, digit count
    SerialUpDown,  // (S): direction
    SerialPreset,  // (S, D): start type, start value
    SerialDelta,   // (S, D): step type, step
    RegexSSD,      // (S, S, D): pattern into keyword 1, replacement into keyword 2, flags
    SortOrder,     // (D): ascending when non-zero
    Template,      // (S): the template of 情報を貼り付け
};

struct MacroSpelling {
    const char* name;       // the function's name
    const char* signature;  // D for a number, S for a string, in argument order
    MacroArgs args;
    OpRun run = nullptr;  // null: the row's run (when it has one)
};

// The window's menus.
enum class MenuPlace {
    None,
    Extension,  // the list menu's submenus "拡張子", "カット", "ペースト", "連番付け"
    Cut,
    Paste,
    Serial,
    Top,     // the list menu after its submenus
    Bottom,  // the list menu after its separator
    Tree,    // the tree's menu
    // After a second separator of the list menu: the submenus "文字種の変換" and "並べ替え"
    // (the latter also the list header's menu), then the entries after them.
    CharType,
    Sort,
    Tools,
};

// What the window asks before it runs the operation.
enum class Asks {
    Nothing,
    KeyWords,
    Limit,
    SerialStart,
    SerialFull,
    Info,
    InfoTemplate,
    NamesText
};

// The keyword dialog as an operation shows it.
struct KeyWordAsk {
    int fieldNum;
    const char* title;
    bool wildCard;
    bool allTarget;
    const char* label1 = nullptr;  // replaces the first label when not null
    const char* label2 = nullptr;  // replaces the second label when not null
};

// Settings an operation reads.
enum Reads : unsigned {
    kReadsKeyWords = 1,     // the keyword dialog's values
    kReadsIntoFolders = 2,  // the into-folders option
    kReadsSerial = 4,       // the serial dialog's values
    kReadsLimit = 8,        // the length limit (limitSize, limitMode)
    kReadsAutoIndex = 16,   // the automatic index prefix option
};

// Flags of a row.
enum OpFlags : unsigned {
    kNeedsSelection = 1,  // works on the selected rows (nothing selected: nothing happens)
    kNotWhileBusy = 2,    // the window does not start it (or wait) while a worker runs
    kNeedsKey1 = 4,       // the window does not run it when keyword 1 is left empty
    kWindowSide = 8,      // the window does it on its own widgets (select all, the info box)
};

// A dovreth-cli option.
// --limit N: N becomes the length limit of this run; --paste-info* TEMPLATE: the template.
enum class CliValue { None, Limit, Template };

struct Operation {
    int id;
    std::span<const MacroSpelling> macros;
    const char* menuText;  // UTF-8; null when the operation has no menu entry
    MenuPlace place;
    int menuOrder;  // its position within its place
    Asks asks;
    const KeyWordAsk* keyWords;  // Asks::KeyWords: the dialog's setup
    const char* cli;             // its dovreth-cli option, or null
    CliValue cliValue;
    unsigned reads;  // Reads
    unsigned flags;  // OpFlags
    OpRun run;       // null: the operation only sets what its macro arguments give
};

// Every operation, in the order of the macro functions they spell.
std::span<const Operation> Operations();
// The row of an id, or null.
const Operation* FindOperation(int id);

// One macro function: its row and its spelling, numbered in table order.
struct MacroFunction {
    const Operation* op;
    const MacroSpelling* spelling;
};
std::span<const MacroFunction> MacroFunctions();

// Runs a row's own run function (none: nothing changes).
OpResult RunOperation(const Operation& op, OpContext& c);

}  // namespace dov
