// Undo of the last journaled run (a direct rename, or an undo, which it then redoes).
//
// The journal is replayed backwards (the outermost change first, the reverse of the run),
// inside the folders it records (each still the one it was pinned to; nothing below them that
// is a link is entered). Each step is a no-replace rename, taken only when the entry at the new
// place is still the one the run moved (device, inode, type) and its old place is free; a
// folder the run created is removed only when it is empty. A step that cannot be taken back is
// reported in RenameLog.txt and the trace with its reason (gone, replaced by another entry, old
// place taken, outside the recorded folders) and skipped; nothing is ever overwritten. A change
// the journal announced but the run never made (a run killed between the two) is found at its
// old place already and needs nothing. STOP is honoured between steps.
//
// The undo keeps a journal of its own, which becomes the last run's journal when it finishes,
// so an undo can be undone; an undo cut short (killed, stopped) leaves it unfinished, and the
// next undo goes on writing it, so it always holds every change taken back.
#pragma once

#include <cstdint>
#include <string>

#include "rename/journal.h"

namespace dov {

class IHost;

struct UndoReport {
    std::uint32_t reverted = 0;      // changes taken back
    std::uint32_t already = 0;       // found at their old place already
    std::uint32_t skipped = 0;       // could not be taken back (in RenameLog.txt)
    std::uint32_t notAttempted = 0;  // left alone because STOP was asked for
    bool logFailed = false;          // RenameLog.txt could not be written (in full)
};

// The number of changes an undo of this journal would take back.
std::size_t UndoableChanges(const Journal& journal);

// Asks (Yes/No, naming the number of changes), then undoes the journal at JournalPath().
// 0: the undo ran (report tells how it went); 1: nothing to undo, or the user said No;
// -1: the undo's own journal could not be written (nothing was changed); -2: the journal is
// not the user's own or others can write it (it was not read; the message names it).
int UndoLastRun(IHost& host, const std::string& tracePath, UndoReport* report = nullptr);

}  // namespace dov
