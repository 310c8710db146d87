// What a command or a job ended with.
#pragma once

#include <cstdint>

namespace dov {

// How a command ended.
enum class Outcome {
    Done,        // it ran to its end (the counts tell what failed)
    NotStarted,  // a check refused it or the user declined
    Stopped,     // STOP or Ctrl+C ended it early
    Failed,      // it could not do its work (a message has said why)
};

// Why a rename ended before its end.
enum class RenameEnd {
    None,         // it ran to its end
    PreCheck,     // the check before the run refused the tree: nothing changed on disk
    UserFolders,  // a folder made in the tree could not be created: nothing was renamed
    PathRefresh,  // the stored paths could not be brought up to date after the renames
    Stopped,      // STOP (or Ctrl+C) between items: the items not reached were left alone
    Journal,      // RenameJournal.txt could not be written: the items not reached were left alone
};

// What a rename or a copy did.
struct Counts {
    std::uint32_t ok = 0;      // items renamed or created / copied
    std::uint32_t failed = 0;  // items that failed
    int items = 0;             // items the run went over (the rename's depth index)
    // A rename only: the items STOP left alone, why it ended early, whether its log is lost.
    std::uint32_t notAttempted = 0;
    RenameEnd renameStop = RenameEnd::None;
    bool logFailed = false;
    bool journalRefused = false;  // an undo: the journal is not the user's own (not read)
    int changed = -1;             // an edit over rows: the rows changed (-1: refused)
    long long added = 0;          // a load: the items added under the tree
    long long leftOut = 0;        // a load: the entries it could not take (see LeftOut)
};

struct CommandResult {
    Outcome outcome = Outcome::NotStarted;
    Counts counts;
    bool closeAsked = false;  // a macro asked for the program to close
};

}  // namespace dov
