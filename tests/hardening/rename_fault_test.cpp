// The direct rename under faults, driven through the session as the window and the command line
// drive it. After every run the whole folder is listed again: each file must still be there,
// under its old or its new name, with its content, and whatever did not reach its new name must
// be counted as failed and logged.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/codepage.h"
#include "hardening_util.h"
#include "model/item.h"
#include "rename/tree_edit.h"

namespace {

// Run with the kernel's no-replace rename and with its fallback.
class RenameFaultBoth : public dovtest::NoReplaceTest {};
DOVTEST_BOTH_NO_REPLACE(RenameFaultBoth);

using namespace hardtest;

const char* Mode(bool fallback) {
    return fallback ? "no-replace fallback" : "renameat2";
}

const std::string kLogFailed = Sj("リネーム失敗。");
const std::string kTraceExists = Sj("※　希望のファイル名は既に存在します。");
const std::string kTraceDenied = Sj("既に存在するか、パスが無効で作成できない。");
const std::string kTraceInvalid = Sj("に無効な文字が使われている。");

struct RenameRun : dovtest::SessionRun {
    dov::Counts counts;

    explicit RenameRun(bool fallback) { fs.forceNoReplaceFallback = fallback; }
    dov::Outcome Go() {
        const dov::CommandResult r = s->Rename();
        counts = r.counts;
        return r.outcome;
    }
    std::string Trace() { return HomeFile("DataTrace.txt"); }
    std::string Log() { return HomeFile("RenameLog.txt"); }
    // Runs and checks that the disk changed by the given renames (relative paths) only.
    void ExpectOnlyMoved(const std::vector<std::pair<std::string, std::string>>& moves) {
        Listing expected = List(tmp.path());
        EXPECT_EQ(Go(), dov::Outcome::Done);
        for (const auto& [from, to] : moves) {
            expected[to] = expected[from];
            expected.erase(from);
        }
        EXPECT_EQ(Diff(expected, List(tmp.path())), "");
    }
};

// Every target is taken, by a file or by a folder: nothing is replaced, each item fails once and
// is logged once.
TEST_P(RenameFaultBoth, EveryTargetAlreadyExists) {
    RenameRun r(Fallback());
    const int n = 6;
    for (int i = 0; i < n; ++i) {
        r.tmp.WriteFile("d/f" + std::to_string(i) + ".txt", "mine " + std::to_string(i));
        r.tmp.WriteFile("d/t" + std::to_string(i) + ".txt", "theirs " + std::to_string(i));
    }
    r.tmp.WriteFile("d/dir/in.txt", "in");
    r.tmp.WriteFile("d/taken_by_file", "a file");
    r.tmp.WriteFile("d/fileToDir.txt", "wants a folder's name");
    r.tmp.MakeDir("d/taken_dir/x");
    r.tmp.MakeDir("d/emptydir");
    r.tmp.MakeDir("d/taken_empty");
    r.Load({"d"});
    for (int i = 0; i < n; ++i)
        SetNewName(r.Item("d/f" + std::to_string(i) + ".txt"), "t" + std::to_string(i) + ".txt");
    SetNewName(r.Item("d/dir"), "taken_by_file");        // a folder onto a file
    SetNewName(r.Item("d/fileToDir.txt"), "taken_dir");  // a file onto a folder
    SetNewName(r.Item("d/emptydir"), "taken_empty");     // an empty folder onto an empty one
    const Listing before = List(r.tmp.path());

    EXPECT_EQ(r.Go(), dov::Outcome::Done);
    EXPECT_EQ(Diff(before, List(r.tmp.path())), "");
    const int failures = n + 3;
    // Only the renames fail: in.txt is found in its folder, which kept its old name.
    EXPECT_EQ(r.counts.failed, static_cast<unsigned>(failures));
    EXPECT_EQ(r.counts.ok, 0u);
    EXPECT_EQ(Count(r.Log(), kLogFailed), failures);
    EXPECT_EQ(Count(r.Trace(), kTraceExists), failures);
    for (int i = 0; i < n; ++i) {
        const std::string from = Cp(r.tmp / ("d/f" + std::to_string(i) + ".txt"));
        EXPECT_NE(r.Log().find(from), std::string::npos) << i;
    }
}

// Names that trade places or follow one another: nothing is lost whatever the order the run
// takes; an item that did not reach its new name is counted and logged.
TEST_P(RenameFaultBoth, SwapsChainsAndCyclesLoseNothing) {
    struct Rn {
        const char* from;
        const char* to;
    };
    struct Case {
        const char* what;
        std::vector<std::string> files;  // created with their own name as content
        std::vector<Rn> renames;
    } cases[] = {
        {"swap", {"d/a", "d/b"}, {{"d/a", "b"}, {"d/b", "a"}}},
        {"chain into a free name", {"d/a", "d/b"}, {{"d/a", "b"}, {"d/b", "c"}}},
        {"chain, other order", {"d/a", "d/b"}, {{"d/b", "a"}, {"d/a", "c"}}},
        {"cycle", {"d/a", "d/b", "d/c"}, {{"d/a", "b"}, {"d/b", "c"}, {"d/c", "a"}}},
        {"folder swap", {"d/A/x", "d/B/y"}, {{"d/A", "B"}, {"d/B", "A"}}},
        {"folder chain and its files",
         {"d/A/x", "d/B/y"},
         {{"d/A", "B"}, {"d/B", "C"}, {"d/A/x", "y"}, {"d/B/y", "x"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(Mode(Fallback())) + ": " + c.what);
        RenameRun r(Fallback());
        for (const std::string& f : c.files) r.tmp.WriteFile(f, "content of " + f);
        r.Load({"d"});
        for (const Rn& rn : c.renames) {
            CMyItem* it = r.Item(rn.from);
            ASSERT_NE(it, nullptr) << rn.from;
            SetNewName(it, rn.to);
        }
        const Listing before = List(r.tmp.path());
        EXPECT_EQ(r.Go(), dov::Outcome::Done);
        const Listing after = List(r.tmp.path());
        // Every file is still there once, with its content.
        EXPECT_EQ(hardtest::Contents(after), hardtest::Contents(before));
        EXPECT_EQ(after.size(), before.size()) << Diff(before, after);
        // An item that kept its old name failed and says so in the log.
        int stayed = 0;
        for (const Rn& rn : c.renames) {
            if (after.count(rn.from) && before.at(rn.from) == after.at(rn.from)) {
                ++stayed;
                EXPECT_NE(r.Log().find(kLogFailed + "\r\n\t" + Sj("元のパス= \"") +
                                       Cp(r.tmp / rn.from) + "\""),
                          std::string::npos)
                    << rn.from;
            }
        }
        EXPECT_EQ(Count(r.Log(), kLogFailed), stayed);
        EXPECT_EQ(Count(r.Trace(), kTraceExists), stayed);
        EXPECT_GE(r.counts.failed, static_cast<unsigned>(stayed));
    }
}

// A renamed folder with renamed contents, a user-made folder inside it and files of another
// folder dragged into that one, in one run.
TEST_P(RenameFaultBoth, FolderWithContentsAndUserMadeFoldersInOneRun) {
    RenameRun r(Fallback());
    r.tmp.WriteFile("D/a.txt", "a");
    r.tmp.WriteFile("D/sub/b.txt", "b");
    r.tmp.WriteFile("D/sub/deeper/z.txt", "z");
    r.tmp.WriteFile("E/c.txt", "c");
    r.tmp.WriteFile("E/d.txt", "d");
    r.tmp.WriteFile("E/stay.txt", "s");
    r.Load({"D", "E"});
    dovtest::RecordingHost editHost;
    CMyItem* made = dov::AddFoldToTree(r.Item("D"), editHost);
    ASSERT_NE(made, nullptr);
    SetNewName(made, Sj("新しい"));
    CMyItem* e = r.Item("E");
    CMyItem* c = r.Item("E/c.txt");
    CMyItem* d = r.Item("E/d.txt");
    std::vector<int> rows;
    for (std::uint32_t i = 0; i < e->m_dwNumInFolder; ++i)
        if (e->GetSubItem(static_cast<int>(i)) == c || e->GetSubItem(static_cast<int>(i)) == d)
            rows.push_back(static_cast<int>(i));
    ASSERT_TRUE(dov::ItemDropToTree(made, rows, {c, d}, editHost));
    SetNewName(c, "c2.txt");
    SetNewName(r.Item("D/a.txt"), "a2.txt");
    SetNewName(r.Item("D/sub/b.txt"), "b2.txt");
    SetNewName(r.Item("D/sub/deeper"), "deeper2");
    SetNewName(r.Item("D/sub"), "sub2");
    SetNewName(r.Item("D"), "D2");
    const Listing before = List(r.tmp.path());

    EXPECT_EQ(r.Go(), dov::Outcome::Done);
    const Listing after = List(r.tmp.path());
    EXPECT_EQ(hardtest::Contents(after), hardtest::Contents(before));
    std::map<std::string, std::string> files;
    for (const auto& [k, v] : after) files[k] = v.kind == 'f' ? v.content : std::string(1, v.kind);
    EXPECT_EQ(files, (std::map<std::string, std::string>{{"D2", "d"},
                                                         {"D2/a2.txt", "a"},
                                                         {"D2/sub2", "d"},
                                                         {"D2/sub2/b2.txt", "b"},
                                                         {"D2/sub2/deeper2", "d"},
                                                         {"D2/sub2/deeper2/z.txt", "z"},
                                                         {"D2/新しい", "d"},
                                                         {"D2/新しい/c2.txt", "c"},
                                                         {"D2/新しい/d.txt", "d"},
                                                         {"E", "d"},
                                                         {"E/stay.txt", "s"}}));
    EXPECT_EQ(r.counts.failed, 0u);
    EXPECT_EQ(Count(r.Log(), kLogFailed), 0);
}

// A folder the run may not write into: every rename inside it fails as access denied, the rest
// of the run goes on. Permission bits do not bind root, so there the file-system layer answers
// EACCES for that folder instead (the same answer the kernel gives).
TEST_P(RenameFaultBoth, ReadOnlyFolderGivesAccessDeniedRows) {
    RenameRun r(Fallback());
    const bool bind = hardtest::PermissionsBind();
    if (!bind) {
        const std::string locked = Cp(r.tmp / "locked") + "/";
        r.fs.onRename = [locked](const std::string& from, const std::string& to) {
            return from.rfind(locked, 0) == 0 || to.rfind(locked, 0) == 0 ? EACCES : -1;
        };
    }
    r.tmp.WriteFile("locked/a.txt", "a");
    r.tmp.WriteFile("locked/b.txt", "b");
    r.tmp.WriteFile("open/c.txt", "c");
    r.Load({"locked", "open"});
    SetNewName(r.Item("locked/a.txt"), "a2.txt");
    SetNewName(r.Item("locked/b.txt"), "b2.txt");
    SetNewName(r.Item("open/c.txt"), "c2.txt");
    if (bind) {
        ASSERT_EQ(chmod((r.tmp / "locked").c_str(), 0555), 0);
    }
    r.ExpectOnlyMoved({{"open/c.txt", "open/c2.txt"}});
    chmod((r.tmp / "locked").c_str(), 0755);
    EXPECT_EQ(r.counts.ok, 1u);
    EXPECT_EQ(r.counts.failed, 2u);
    EXPECT_EQ(Count(r.Trace(), kTraceDenied), 2);
    EXPECT_EQ(Count(r.Log(), kLogFailed), 2);
    if (!bind) {
        std::printf("[ note ] running as root: EACCES injected through the seam\n");
    }
}

// Names the disk cannot be given: a double-byte character cut in half, and a lead and trail
// byte pair that CP932 leaves unassigned. Each fails as an invalid argument; nothing is made.
TEST_P(RenameFaultBoth, NamesThatAreNotValidCp932GiveInvalidArgumentRows) {
    RenameRun r(Fallback());
    r.tmp.WriteFile("d/a.txt", "a");
    r.tmp.WriteFile("d/b.txt", "b");
    r.tmp.WriteFile("d/sub/c.txt", "c");
    r.tmp.WriteFile("d/ok.txt", "ok");
    r.Load({"d"});
    SetNewName(r.Item("d/a.txt"), "cut\x82");
    SetNewName(r.Item("d/b.txt"), "unassigned\x85\x40.txt");
    SetNewName(r.Item("d/sub"), "sub\x81");
    SetNewName(r.Item("d/ok.txt"), "ok2.txt");
    r.ExpectOnlyMoved({{"d/ok.txt", "d/ok2.txt"}});
    EXPECT_EQ(Count(r.Trace(), kTraceInvalid), 3);
    EXPECT_EQ(Count(r.Log(), kLogFailed), 3);
    EXPECT_GE(r.counts.failed, 3u);
}

// A user-made folder whose name the disk cannot take stops the run before any rename.
TEST(RenameFault, UserMadeFolderWithAnInvalidNameStopsBeforeTheDisk) {
    RenameRun r(false);
    r.tmp.WriteFile("d/a.txt", "a");
    r.Load({"d"});
    dovtest::RecordingHost editHost;
    CMyItem* made = dov::AddFoldToTree(r.Item("d"), editHost);
    ASSERT_NE(made, nullptr);
    SetNewName(made, "bad\x82");
    SetNewName(r.Item("d/a.txt"), "a2.txt");
    const Listing before = List(r.tmp.path());
    EXPECT_EQ(r.Go(), dov::Outcome::Stopped);
    EXPECT_EQ(Diff(before, List(r.tmp.path())), "");
}

}  // namespace

namespace {

// A link planted in the program's folder in place of the log: the renames still run, nothing is
// written through the link, and the user is told the log is missing.
TEST(RenameFault, ALinkInPlaceOfTheLogIsNeverWrittenThrough) {
    RenameRun r(false);
    r.tmp.WriteFile("d/f.txt", "f");
    r.tmp.WriteFile("victim", "keep");
    ASSERT_EQ(symlink((r.tmp / "victim").c_str(), (r.tmp.home() + "/RenameLog.txt").c_str()), 0);
    r.Load({"d"});
    SetNewName(r.Item("d/f.txt"), "g.txt");
    r.Go();
    EXPECT_TRUE(r.tmp.Exists("d/g.txt"));
    EXPECT_EQ(r.tmp.ReadFile("victim"), "keep");
    bool told = false;
    for (const auto& m : r.host.messages)
        told = told || m.text.find(Sj("シンボリックリンク")) != std::string::npos;
    EXPECT_TRUE(told);
}

}  // namespace
