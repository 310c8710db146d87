// What a macro run works on: the list state (see model/list_state.h), the settings the edit
// dialogs fill, and the reset that the New command performs.
//
// The owner of the edit tree (the session object of the window, the command line, a test)
// fills one of these and hands it to CMacroRunner together with its host. The runner changes
// the selection, the settings and the tree through it; the owner reads them back afterwards.
#pragma once

#include <functional>
#include <vector>

#include "edit/keyword_settings.h"
#include "edit/regexp.h"
#include "edit/serial_settings.h"
#include "model/list_state.h"

class CMyItem;

namespace dov {

struct MacroTarget;
struct WorkerFlags;

// The reset of the New command without its question: discards every item and makes a new
// empty tree whose root is named "Root", then points target.pFolder at the new root, empties
// target.selected and sets target.iCurrentRow to -1. Returns 1 on success; on failure it has
// shown its own message box and returns 0.
using MacroResetTree = std::function<int(MacroTarget& target)>;

struct MacroTarget : ListState {
    // The keyword dialog's values and the into-folders option (EffectSubItem).
    KeyWordSettings keyWord;
    // The serial numbering dialog's values.
    SerialSettings serial;

    // The window's shared keyword matcher.
    CMyRegExp matcher;

    // ClearAllItem; without it that function fails like a failed reset.
    MacroResetTree resetTree;
    // SortListByDate / SortListNatural: sorts the folder shown (order 0 by modification time,
    // 1 natural order; ascending or not) and shows it again. Without it they do nothing.
    std::function<void(MacroTarget& target, int order, bool ascending)> sortFolder;

    // The process-wide flags: a failed ClearAllItem sets the close request here (optional).
    WorkerFlags* pFlags = nullptr;
};

}  // namespace dov
