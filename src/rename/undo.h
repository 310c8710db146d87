// Undo of the last journaled run (a direct rename, or an undo, which it then redoes).
//
// The journal is replayed backwards (the outermost change first, the reverse of the run).
// Each step is a no-replace rename, taken only when the entry is still where the run put it
// and its old place is free; a folder the run created is removed only when it is empty.
// A step that cannot be taken back is reported in RenameLog.txt and skipped; nothing is ever
// overwritten. A change the journal announced but the run never made (a run killed between
// the two) is found at its old place already and needs nothing. The undo keeps a journal of
// its own, which becomes the last run's journal when it finishes, so an undo can be undone.
#pragma once

#include <cstdint>
#include <string>

#include "rename/journal.h"

namespace dov {

class IHost;

struct UndoReport {
    std::uint32_t reverted = 0;  // changes taken back
    std::uint32_t already = 0;   // found at their old place already
    std::uint32_t skipped = 0;   // could not be taken back (in RenameLog.txt)
};

// The number of changes an undo of this journal would take back.
std::size_t UndoableChanges(const Journal& journal);

// Asks (Yes/No, naming the number of changes), then undoes the journal at JournalPath().
// 0: the undo ran (report tells how it went); 1: nothing to undo, or the user said No;
// -1: the undo's own journal could not be written (nothing was changed).
int UndoLastRun(IHost& host, const std::string& tracePath, UndoReport* report = nullptr);

}  // namespace dov
