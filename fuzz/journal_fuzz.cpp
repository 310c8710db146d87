// libFuzzer target for the rename journal reader: any bytes parse without harm; whatever is
// read, written again through the writer (line by line, or as one block with its failures
// after it), reads back the same; any prefix of a journal reads as at most the steps of the
// whole, in the same order, with at most their failure marks.
//
// Run by hand:
//   ./journal_fuzz -max_len=65536 corpus_dir
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/fs.h"
#include "rename/journal.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

bool SameStep(const dov::JournalStep& a, const dov::JournalStep& b) {
    return a.kind == b.kind && a.from == b.from && a.to == b.to && a.failed == b.failed &&
           (!a.failed || a.err == b.err) && a.id == b.id;
}

// A step of a cut journal against the whole: the same step, its failure mark perhaps not yet
// read (a block's marks come after it).
bool StepOfCut(const dov::JournalStep& cut, const dov::JournalStep& whole) {
    return cut.kind == whole.kind && cut.from == whole.from && cut.to == whole.to &&
           cut.id == whole.id && (!cut.failed || (whole.failed && cut.err == whole.err));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char tmpl[] = "/tmp/journal_fuzz-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (dir) setenv("DOVRETH_HOME", dir, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    dov::Journal j;
    if (!dov::ParseJournal(bytes, j)) return 0;
    Check(j.kind == "rename" || j.kind == "undo");

    // Any prefix: a prefix of the steps (the last one may still lack its failure mark).
    for (std::size_t len : {size / 2, size - 1}) {
        dov::Journal cut;
        if (!dov::ParseJournal(bytes.substr(0, len), cut)) continue;
        Check(cut.steps.size() <= j.steps.size());
        for (std::size_t i = 0; i < cut.steps.size(); ++i)
            Check(StepOfCut(cut.steps[i], j.steps[i]));
    }

    // Written again, it reads back the same.
    const std::string path = dov::JournalPath();
    {
        dov::CJournalWriter w(path, j.kind);
        dov::DiskScope scope;
        for (const dov::ScopeRoot& root : j.scope) scope.AddPinned(root);
        Check(w.Begin(scope) == 0);
        const bool block = size % 2 == 1;
        for (const dov::JournalStep& s : j.steps) {
            if (s.kind == dov::JournalStep::MakeDir)
                block ? w.QueueMakeDir(s.from) : w.AddMakeDir(s.from);
            if (s.kind == dov::JournalStep::RemoveDir) w.AddRemoveDir(s.from);
            if (s.kind == dov::JournalStep::Rename)
                block ? w.QueueRename(s.from, s.to, s.id) : w.AddRename(s.from, s.to, s.id);
            if (s.failed && !block) w.AddFailure(s.err);
        }
        for (std::size_t i = 0; block && i < j.steps.size(); ++i)
            if (j.steps[i].failed) w.QueueFailure(i, j.steps[i].err);
        if (!j.finished) Check(w.Flush());
        if (j.finished) Check(w.Finish() == 0);
    }
    std::string again;
    Check(dov::ReadWholeFile(path, again) == 0);
    dov::Journal k;
    Check(dov::ParseJournal(again, k));
    Check(k.kind == j.kind && k.finished == j.finished && k.steps.size() == j.steps.size());
    // The scope, in the order of its paths (a path read twice is written once).
    dov::DiskScope once;
    for (const dov::ScopeRoot& root : j.scope) once.AddPinned(root);
    Check(k.scope == once.Roots());
    for (std::size_t i = 0; i < j.steps.size(); ++i) Check(SameStep(k.steps[i], j.steps[i]));
    return 0;
}
