// The disk scope of each operation on a real disk: the folders of the loaded entries are pinned
// when they are loaded and stay in the scope however many there are; the undo works inside the
// folders its journal records and only on the entries the run moved; the program's own folder
// and journal must be the user's own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "common/codepage.h"
#include "common/paths.h"
#include "common/trace.h"
#include "hardening_util.h"
#include "model/item.h"
#include "rename/journal.h"
#include "rename/tree_edit.h"
#include "rename/undo.h"

namespace {

using namespace hardtest;

const std::string kNotFound = Sj("で指定したファイルまたはパスを検出できない。");

void SwapForLink(const std::string& folder, const std::string& to) {
    ASSERT_EQ(std::rename(folder.c_str(), (folder + ".real").c_str()), 0);
    ASSERT_EQ(symlink(to.c_str(), folder.c_str()), 0);
}

// Gives every file below a folder item the prefix "p_".
void PrefixFiles(CMyItem* folder) {
    for (int i = 0; i < static_cast<int>(folder->m_dwNumInFolder); ++i) {
        CMyItem* item = folder->GetSubItem(i);
        if (item->m_bIsFolder) {
            PrefixFiles(item);
        } else {
            SetNewName(item, "p_" + item->m_strOrgName);
        }
    }
}

// 1,000 loaded folders (each the entry s/ of its own folder fNNNN/): the entry of the first
// folder, the entry of the last and the folder of the middle one are swapped for links to
// victim/ after loading. None is followed; the other items are renamed.
TEST(Scope, NoFolderDropsOutAndALinkSwappedInIsNeverFollowed) {
    dovtest::SessionRun r;
    std::vector<std::string> loaded;
    for (int i = 0; i < 1000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%04d", i);
        r.tmp.WriteFile(std::string(name) + "/s/x.txt", "x");
        loaded.push_back(std::string(name) + "/s");
    }
    r.tmp.WriteFile("victim/s/x.txt", "mine");
    r.tmp.WriteFile("victim/x.txt", "mine");
    r.Load(loaded);
    PrefixFiles(r.s->FindFolder(""));
    const Listing victim = List(r.tmp / "victim");
    SwapForLink(r.tmp / "f0000/s", r.tmp / "victim");
    SwapForLink(r.tmp / "f0999/s", r.tmp / "victim");
    SwapForLink(r.tmp / "f0500", r.tmp / "victim");
    const dov::Counts counts = r.s->Rename().counts;
    EXPECT_EQ(Diff(victim, List(r.tmp / "victim")), "");
    EXPECT_EQ(counts.ok, 997u);
    // x.txt of each; s/ of the middle one, whose folder leads elsewhere now.
    EXPECT_EQ(counts.failed, 4u);
    EXPECT_EQ(Count(HomeFile("DataTrace.txt"), kNotFound), 3);
}

// After a rename, a renamed folder is swapped for a link: the undo does not follow it, and
// says so.
TEST(Scope, UndoWorksInsideTheJournalsFoldersOnly) {
    dovtest::SessionRun r;
    r.tmp.WriteFile("t/d/a.txt", "a");
    r.tmp.WriteFile("victim/a.txt", "mine");
    r.Load({"t/d"});
    CMyItem* d = r.Item("d");
    SetNewName(d, "p_d");
    SetNewName(d->GetSubItem(0), "p_a.txt");
    ASSERT_EQ(r.s->Rename().counts.ok, 2u);
    SwapForLink(r.tmp / "t/p_d", r.tmp / "victim");
    r.tmp.WriteFile("victim/p_a.txt", "mine too");
    const Listing withFile = List(r.tmp / "victim");
    const dov::CommandResult undo = r.s->Undo();
    EXPECT_EQ(Diff(withFile, List(r.tmp / "victim")), "");
    EXPECT_EQ(undo.counts.failed, 2u);  // the file not found, the folder replaced by a link
    EXPECT_EQ(Count(HomeFile("RenameLog.txt"), Sj("見つかりません")), 1);
    EXPECT_EQ(Count(HomeFile("RenameLog.txt"), Sj("別のエントリに置き換えられています")), 1);
}

// The undo acts only on the entry the run moved: every other state is reported with its reason.
TEST(Scope, UndoTakesBackOnlyTheEntriesTheRunMoved) {
    struct Case {
        const char* what;
        std::function<void(dovtest::TempDir&)> since;
        const char* reason;  // nullptr: taken back
        const char* atOld;   // what t/a holds after the undo ("" none)
    };
    const Case cases[] = {
        {"untouched", [](dovtest::TempDir&) {}, nullptr, "a"},
        {"a stranger's file at the new name",
         [](dovtest::TempDir& t) {
             std::filesystem::rename(t / "t/b", t / "kept");  // its inode stays in use
             t.WriteFile("t/b", "stranger");
         },
         "別のエントリに置き換えられています", ""},
        {"a folder in its place",
         [](dovtest::TempDir& t) {
             std::filesystem::remove(t / "t/b");
             t.MakeDir("t/b");
         },
         "別のエントリに置き換えられています", ""},
        {"deleted", [](dovtest::TempDir& t) { std::filesystem::remove(t / "t/b"); },
         "見つかりません", ""},
        {"the old name taken", [](dovtest::TempDir& t) { t.WriteFile("t/a", "new"); },
         "元の名前が使われています", "new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dovtest::SessionRun r;
        r.tmp.WriteFile("t/a", "a");
        r.Load({"t/a"});
        SetNewName(r.Item("a"), "b");
        ASSERT_EQ(r.s->Rename().counts.ok, 1u);
        c.since(r.tmp);
        const dov::CommandResult undo = r.s->Undo();
        EXPECT_EQ(undo.counts.ok, c.reason ? 0u : 1u);
        EXPECT_EQ(undo.counts.failed, c.reason ? 1u : 0u);
        EXPECT_EQ(r.tmp.ReadFile("t/a"), c.atOld);
        if (c.reason) {
            EXPECT_EQ(Count(HomeFile("RenameLog.txt"), Sj(c.reason)), 1);
        }
    }
}

// A folder's path that leads elsewhere between the load and the rename: its items fail as not
// found, the others are renamed.
TEST(Scope, AFolderPinnedAtLoadThatLeadsElsewhereLaterIsNotFound) {
    dovtest::SessionRun r;
    r.tmp.WriteFile("t/a.txt", "a");
    r.tmp.WriteFile("u/b.txt", "b");
    r.tmp.WriteFile("victim/a.txt", "mine");
    r.Load({"t/a.txt", "u/b.txt"});
    SetNewName(r.Item("a.txt"), "p_a.txt");
    SetNewName(r.Item("b.txt"), "p_b.txt");
    const Listing victim = List(r.tmp / "victim");
    SwapForLink(r.tmp / "t", r.tmp / "victim");
    const dov::Counts counts = r.s->Rename().counts;
    EXPECT_EQ(Diff(victim, List(r.tmp / "victim")), "");
    EXPECT_EQ(counts.ok, 1u);
    EXPECT_EQ(counts.failed, 1u);
    EXPECT_TRUE(r.tmp.Exists("u/p_b.txt"));
}

// Undo, stopped after its first step, then undone again and again: the whole run each time.
TEST(Scope, AnUndoCutShortGoesOnAndUndoRedoUndoGiveBackTheWholeRun) {
    dovtest::SessionRun r;
    for (const char* n : {"a", "b", "c", "d"}) r.tmp.WriteFile(std::string("t/") + n, n);
    r.Load({"t/a", "t/b", "t/c", "t/d"});
    const Listing before = List(r.tmp / "t");
    for (const char* n : {"a", "b", "c", "d"}) SetNewName(r.Item(n), std::string("p_") + n);
    ASSERT_EQ(r.s->Rename().counts.ok, 4u);
    const Listing after = List(r.tmp / "t");
    r.host.stopAfterPolls = 1;
    const dov::CommandResult cut = r.s->Undo();
    EXPECT_EQ(cut.outcome, dov::Outcome::Stopped);
    EXPECT_EQ(cut.counts.ok + cut.counts.notAttempted, 4u);
    EXPECT_GT(cut.counts.notAttempted, 0u);
    EXPECT_TRUE(dov::ReadJournalState().undoCutShort);
    r.host.stopAfterPolls = -1;
    r.host.stop = false;
    EXPECT_EQ(r.s->Undo().outcome, dov::Outcome::Done);
    EXPECT_EQ(Diff(before, List(r.tmp / "t")), "");
    EXPECT_EQ(r.s->Undo().counts.ok, 4u);  // redo: all four
    EXPECT_EQ(Diff(after, List(r.tmp / "t")), "");
    EXPECT_EQ(r.s->Undo().counts.ok, 4u);
    EXPECT_EQ(Diff(before, List(r.tmp / "t")), "");
}

// A host that kills its own process (kill -9) at the n-th look at STOP: between two steps.
struct KillAt : dovtest::RecordingHost {
    int n;
    explicit KillAt(int at) : n(at) {}
    bool StopRequested() override {
        if (--n == 0) ::raise(SIGKILL);
        return false;
    }
};

// An undo killed between any two of its steps: the next undo goes on with it and gives back the
// whole run, and undoing that gives back the whole run again.
TEST(Scope, AnUndoKilledAtAnyStepIsFinishedByTheNext) {
    for (int at = 1; at <= 4; ++at) {
        SCOPED_TRACE(at);
        dovtest::SessionRun r;
        for (const char* n : {"a", "b", "c", "d"}) r.tmp.WriteFile(std::string("t/") + n, n);
        r.Load({"t/a", "t/b", "t/c", "t/d"});
        const Listing before = List(r.tmp / "t");
        for (const char* n : {"a", "b", "c", "d"}) SetNewName(r.Item(n), std::string("p_") + n);
        ASSERT_EQ(r.s->Rename().counts.ok, 4u);
        const Listing after = List(r.tmp / "t");
        dov::TraceFlush();
        const pid_t pid = fork();
        if (pid == 0) {
            KillAt host(at);
            dov::UndoLastRun(host, dov::DefaultTracePath());
            _exit(0);
        }
        int ws = 0;
        ASSERT_EQ(waitpid(pid, &ws, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(ws) && WTERMSIG(ws) == SIGKILL);
        EXPECT_TRUE(dov::ReadJournalState().undoCutShort);
        EXPECT_EQ(r.s->Undo().counts.failed, 0u);
        EXPECT_EQ(Diff(before, List(r.tmp / "t")), "");
        EXPECT_EQ(r.s->Undo().counts.ok, 4u);
        EXPECT_EQ(Diff(after, List(r.tmp / "t")), "");
    }
}

// A hard link a -> b is another name: the rename fails as taken, with no temporary name.
TEST(Scope, AHardLinkIsNotRenamedThroughATemporaryName) {
    dovtest::SessionRun r;
    r.tmp.WriteFile("t/a", "a");
    ASSERT_EQ(link((r.tmp / "t/a").c_str(), (r.tmp / "t/b").c_str()), 0);
    r.Load({"t/a"});
    SetNewName(r.Item("a"), "b");
    EXPECT_EQ(r.s->Rename().counts.failed, 1u);
    dov::Journal j;
    ASSERT_EQ(dov::ReadJournal(dov::JournalPath(), j), 0);
    ASSERT_EQ(j.steps.size(), 1u);
    EXPECT_TRUE(j.steps[0].failed);
    EXPECT_EQ(List(r.tmp / "t").size(), 2u);
}

// A disk that folds "A" to "a" when no "A" is there (a case-insensitive one, for that name).
class FoldingFs : public FaultFs {
  public:
    std::string lower, upper;  // CP932 paths
    int Stat(const std::string& path, dov::EntryInfo& out) override {
        if (path == upper && FaultFs::Stat(upper, out) == ENOENT) return FaultFs::Stat(lower, out);
        return FaultFs::Stat(path, out);
    }
    int RenameNoReplace(const std::string& from, const std::string& to) override {
        if (dov::EntryInfo info; to == upper && FaultFs::Stat(lower, info) == 0) return EEXIST;
        return FaultFs::RenameNoReplace(from, to);
    }
};

// A case-only rename that meets the entry itself goes through a temporary name, each step in
// the journal, so the undo brings it back.
TEST(Scope, ACaseOnlyRenameIsJournaledStepByStep) {
    dovtest::TempDir tmp;
    FoldingFs fs;
    dov::ScopedFileSystem scoped(&fs);
    fs.lower = Cp(tmp / "t/a");
    fs.upper = Cp(tmp / "t/A");
    tmp.WriteFile("t/a", "a");
    dovtest::RecordingHost host;
    dov::CSession s(host);
    ASSERT_EQ(s.LoadPaths({fs.lower}), 1);
    SetNewName(dovtest::ByOrgName(s.FindFolder(""), "a"), "A");
    EXPECT_EQ(s.Rename().counts.ok, 1u);
    EXPECT_EQ(tmp.ReadFile("t/A"), "a");
    dov::Journal j;
    ASSERT_EQ(dov::ReadJournal(dov::JournalPath(), j), 0);
    ASSERT_EQ(j.steps.size(), 3u);  // a -> A refused, a -> temporary, temporary -> A
    EXPECT_TRUE(j.steps[0].failed);
    EXPECT_EQ(j.steps[1].from, fs.lower);
    EXPECT_EQ(j.steps[1].to, j.steps[2].from);
    EXPECT_EQ(j.steps[2].to, fs.upper);
    EXPECT_EQ(s.Undo().counts.ok, 2u);
    EXPECT_EQ(tmp.ReadFile("t/a"), "a");
    EXPECT_EQ(List(tmp / "t").size(), 1u);
}

// A new rename does not replace the journal of a run that did not finish: it offers the undo
// (Yes), or an explicit discard (No, then Yes); No twice starts nothing.
TEST(Scope, ARenameDoesNotStartOverAnUnfinishedJournal) {
    struct Case {
        std::vector<dov::MsgAnswer> answers;
        bool renamed;
        bool undone;
    };
    using A = dov::MsgAnswer;
    const Case cases[] = {
        {{A::No, A::No}, false, false},
        {{A::Yes, A::Yes}, false, true},
        {{A::No, A::Yes, A::Yes}, true, false},
    };
    for (const Case& c : cases) {
        dovtest::SessionRun r;
        r.tmp.WriteFile("t/a", "a");
        r.tmp.WriteFile("t/x", "x");
        {
            dov::CJournalWriter j(dov::JournalPath(), "rename");
            dov::DiskScope scope;
            scope.Add(Cp(r.tmp / "t"));
            ASSERT_EQ(j.Begin(scope), 0);
            dov::EntryInfo info;
            ASSERT_EQ(dov::Fs().Stat(Cp(r.tmp / "t/x"), info), 0);
            j.AddRename(Cp(r.tmp / "t/w"), Cp(r.tmp / "t/x"), dov::IdOf(info));
        }
        r.Load({"t/a"});
        SetNewName(r.Item("a"), "b");
        r.host.answers.assign(c.answers.begin(), c.answers.end());
        r.s->Rename();
        EXPECT_EQ(r.tmp.Exists("t/b"), c.renamed);
        EXPECT_EQ(r.tmp.Exists("t/w"), c.undone);
        EXPECT_EQ(dov::ReadJournalState().finished, c.renamed || c.undone);
    }
}

// The program's own folder and journal: refused when another user owns them or group or
// others may write them.
TEST(Scope, AProgramFolderOrJournalOthersCanWriteIsRefused) {
    dovtest::TempDir tmp;
    struct Case {
        unsigned mode;
        bool otherOwner;
        bool ok;
    };
    const Case cases[] = {{0700, false, true},
                          {0755, false, true},
                          {0770, false, false},
                          {0702, false, false},
                          {0700, true, false}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        const std::string folder = tmp / ("own" + std::to_string(n++));
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
        ASSERT_EQ(chmod(folder.c_str(), c.mode), 0);
        if (c.otherOwner) {
            if (geteuid() != 0 || chown(folder.c_str(), 65534, 65534) != 0)
                GTEST_SKIP() << "cannot give a folder to another user (needs root)";
        }
        dov::FolderSources from;
        from.dovrethHome = folder;
        std::string problem;
        EXPECT_EQ(dov::ChooseProgramFolder(from, problem), c.ok ? folder : "");
        EXPECT_EQ(problem.find(folder) != std::string::npos, !c.ok) << problem;
    }
}

TEST(Scope, AJournalOthersCanWriteIsNotUsed) {
    dovtest::TempDir tmp;
    tmp.WriteFile("t/b", "b");
    {
        dov::CJournalWriter j(dov::JournalPath(), "rename");
        dov::DiskScope scope;
        scope.Add(Cp(tmp / "t"));
        ASSERT_EQ(j.Begin(scope), 0);
        j.Finish();
    }
    const std::string journal = *dov::Cp932ToUtf8(dov::JournalPath());
    ASSERT_EQ(chmod(journal.c_str(), 0620), 0);
    EXPECT_TRUE(dov::ReadJournalState().refused);
    dovtest::RecordingHost host;
    EXPECT_EQ(dov::UndoLastRun(host, dov::DefaultTracePath()), -2);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_NE(host.messages.back().text.find(dov::JournalPath()), std::string::npos);
}

}  // namespace
