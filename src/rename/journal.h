// The rename journal: the record of one direct rename (or one undo), written ahead of every
// change it makes on disk, so that a run cut short at any point can still be undone.
//
// File: RenameJournal.txt in the program's own folder (the last run only). An undo writes its
// own journal under RenameJournal.undo.txt and puts it in place of the old one once it is
// finished; a left-over RenameJournal.undo.txt is an undo that was cut short.
//
// Format. A sequence of lines, each ending in '\n':
//
//     line  = field *( TAB field ) TAB crc LF
//     crc   = 8 lower-case hex digits: the CRC-32 (IEEE) of every byte of the line before the
//             TAB that precedes it
//
// The first line is the header  "DOVRETH-JOURNAL" TAB version TAB kind  (version "3"; "2" and
// "1" are journals of older versions of the program, read as they were: version 1 holds no
// scope and no identities, version 2 no "F" lines; kind "rename" or "undo"). Every later line
// starts with a one-letter tag:
//
//     "S" TAB path TAB dev TAB ino   a folder the run may reach below, as it was pinned (device,
//                                    inode); all S lines come before the first change
//     "M" TAB path                   a folder is about to be created at path
//     "R" TAB from TAB to TAB dev TAB ino TAB type
//                                    the entry at from (device, inode, type "d" folder, "l"
//                                    link, "f" anything else, "-" unknown) is about to be
//                                    renamed to to (version 1: "R" TAB from TAB to)
//     "D" TAB path                   an empty folder is about to be removed
//     "X" TAB errno                  the change announced by the line before did not happen
//     "F" TAB step TAB errno         the change of the given step did not happen (version 3);
//                                    steps are the M, R and D lines, numbered from 0 in file
//                                    order; each step is marked failed once at most
//     "E"                            the run has finished: no change follows
//
// Paths are the program's CP932 byte strings, written byte for byte except that every byte
// below 0x21, 0x25 ('%') and 0x7F is written as '%' and two upper-case hex digits; so a path
// holds any bytes exactly and never contains TAB or LF. Numbers are decimal.
//
// Blocks. A run may announce a block of changes (their M, R and D lines, written together in one
// write) before it makes the first of them; the changes of a block that failed are marked by
// "F" lines after it. So a journal that a kill cut short may announce changes that were never
// made: a reader (the undo) checks every step against the disk and takes back only what it
// finds done. A step is always written before its change is made.
//
// An undo cut short leaves its journal without "E"; the next undo goes on writing that same
// file after its last whole line, so the undo journal always holds every change taken back.
//
// Reading stops at the first line that has no LF (a write cut short), a bad CRC, or a shape
// not listed above: that line and everything after it are ignored. A file cut at any byte therefore
// reads as the lines written before the cut. Only the header must be whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/fs.h"
#include "rename/rename_engine.h"

namespace dov {

struct JournalStep {
    enum Kind : char { MakeDir = 'M', Rename = 'R', RemoveDir = 'D' };
    Kind kind = Rename;
    std::string from;     // the path (MakeDir, RemoveDir) or the old path (Rename)
    std::string to;       // the new path (Rename only)
    bool failed = false;  // an "X" line followed: the change did not happen
    int err = 0;
    EntryId id;  // what was renamed (Rename; type 0 when unknown)
};

struct Journal {
    std::string kind;  // "rename" or "undo"
    int version = 3;
    std::vector<ScopeRoot> scope;  // the folders the run could reach
    std::vector<JournalStep> steps;
    bool finished = false;       // the end marker was read
    std::size_t wholeBytes = 0;  // the bytes of the lines read (the rest is ignored)
};

// Reads a journal's bytes. false when they do not begin with a whole header.
bool ParseJournal(std::string_view data, Journal& out);

// The journal files in the program's own folder.
std::string JournalPath();
std::string UndoJournalPath();

// Reads a journal file of the user's own: 0, ENOENT when there is none, EPERM when it is
// not owned by the user or group or others can write it (it is then not read), else errno or
// EINVAL for bytes that are not a journal.
int ReadJournal(const std::string& path, Journal& out);

// What is found of the last run's journal at start-up.
struct JournalState {
    bool exists = false;        // a readable journal is there
    bool refused = false;       // a journal is there that is not the user's own (not read)
    bool finished = false;      // its run reached its end marker
    bool undoCutShort = false;  // an undo was cut short (run the undo again to finish it)
    std::size_t changes = 0;    // changes it records as made (not marked failed)
    std::string kind;
};
JournalState ReadJournalState();

// Writes a journal: each Add... is one write to the file; the Queue... calls gather the lines of
// a block in the process instead, and Flush writes them in one write (before the first change
// of the block is made). The file is synced to disk after the header and after the end marker.
class CJournalWriter : public IRenameWatcher {
  public:
    // path: where to write; kind: "rename" or "undo".
    CJournalWriter(std::string path, std::string kind);
    ~CJournalWriter() override;

    // Creates the file (replacing an older one, readable and writable by the user alone) and
    // writes the header and the scope. 0 or errno.
    int Begin(const DiskScope& scope = {});
    // Goes on writing a journal cut short (its first `whole` bytes are kept, holding `steps`
    // steps). 0 or errno.
    int Continue(std::size_t whole, std::size_t steps = 0);
    // Writes the end marker, syncs and closes. 0 or errno.
    int Finish();
    bool Failed() const { return failed_; }
    const std::string& Path() const { return path_; }

    bool AddMakeDir(const std::string& path);
    bool AddRename(const std::string& from, const std::string& to, const EntryId& id = {});
    bool AddRemoveDir(const std::string& path);
    // The change of the last step written did not happen (an "X" line).
    void AddFailure(int err);

    // A block: its steps are gathered and written by Flush (false: the writer failed before).
    bool QueueMakeDir(const std::string& path);
    bool QueueRename(const std::string& from, const std::string& to, const EntryId& id = {});
    // Writes the gathered lines (nothing to do when there are none); false when they could not
    // be written (the writer has failed: nothing of the block may be done).
    bool Flush();
    // The bytes gathered and not yet written.
    std::size_t Pending() const { return len_; }
    // The steps announced so far (written or gathered); the next step gets this number.
    std::size_t Steps() const { return steps_; }
    // The change of step number `step` did not happen (an "F" line, gathered with the block
    // lines; it is written by the next Flush, or at the latest by Finish).
    void QueueFailure(std::size_t step, int err);

    // IRenameWatcher
    bool RunStarting(const DiskScope& scope) override { return Begin(scope) == 0; }
    bool FolderCreating(const std::string& path) override { return AddMakeDir(path); }
    bool EntryRenaming(const std::string& from, const std::string& to, const EntryId& id) override {
        return AddRename(from, to, id);
    }
    void ChangeFailed(int err) override { AddFailure(err); }
    void RunEnded() override { Finish(); }
    std::size_t BlockSize() const override { return 256; }
    std::size_t StepsAnnounced() const override { return Steps(); }
    bool QueueRenaming(const std::string& from, const std::string& to, const EntryId& id) override {
        return QueueRename(from, to, id);
    }
    bool FlushAhead() override { return Flush(); }
    void StepFailed(std::size_t step, int err) override { QueueFailure(step, err); }

  private:
    bool WriteLine(std::string_view body);
    // Room for `most` more bytes after the gathered ones; the start of that room.
    char* Room(std::size_t most);
    // Ends the line written from line to end with its TAB, CRC and LF, and keeps it among the
    // gathered bytes.
    void Seal(char* line, char* end);
    std::string path_, kind_;
    std::unique_ptr<IFile> file_;
    bool failed_ = false;
    // The gathered lines: written in place, one block's worth kept between blocks.
    std::unique_ptr<char[]> buf_;
    std::size_t len_ = 0, cap_ = 0;
    std::size_t steps_ = 0;
};

// CRC-32 (IEEE 802.3), as the journal's lines carry it.
std::uint32_t Crc32(std::string_view bytes);

}  // namespace dov
