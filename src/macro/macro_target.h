// What a macro run works on (the list, the settings the edit dialogs fill, the matcher; see
// edit/operations.h), and what a macro asks of whoever runs it.
//
// The owner of the edit tree (the session object of the window, the command line, a test)
// hands a target to CMacroRunner together with its host. The runner changes the selection,
// the settings and the tree through it; the owner reads them back afterwards.
#pragma once

#include "edit/operations.h"

namespace dov {

using MacroTarget = EditTarget;

// The requests a macro makes of its owner while it runs.
class IMacroRequests {
  public:
    virtual ~IMacroRequests() = default;
    // ClearAllItem: the reset of the New command without its question. Discards every item
    // and makes a new empty tree whose root is named "Root", then points target.pFolder at the
    // new root, empties target.selected and sets target.iCurrentRow to -1. Returns 1 on
    // success; on failure it has shown its own message box and returns 0.
    virtual int ResetTree(MacroTarget& target) = 0;
    // SortListByDate / SortListNatural: sorts the folder shown (order 0 by modification time,
    // 1 natural order; ascending or not) and shows it again. By default nothing happens.
    virtual void SortFolder(MacroTarget& target, int order, bool ascending) {
        (void)target, (void)order, (void)ascending;
    }
};

}  // namespace dov
