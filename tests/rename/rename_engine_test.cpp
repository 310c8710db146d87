// Direct rename end to end: a folder is loaded from disk, names are edited, the run renames on
// disk; the disk, the stored paths, the log and the messages are checked afterwards.
#include "rename/rename_engine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "model/item.h"
#include "rename/depth_info.h"
#include "rename/tree_edit.h"
#include "rename_test_util.h"

namespace {

// Run with the kernel's no-replace rename and with its fallback, the real file system in place.
class DirectRenameBoth : public dovtest::RealFsTest {};
class DirectRenameFailureBoth : public dovtest::RealFsTest {};
DOVTEST_BOTH_NO_REPLACE(DirectRenameBoth);
DOVTEST_BOTH_NO_REPLACE(DirectRenameFailureBoth);

using dovtest::AtNewNames;
using dovtest::SetNewName;
using dovtest::Sj;
using renametest::Count;
using renametest::HomeFile;
using renametest::Load;
using renametest::NewRoot;
using renametest::Snapshot;
using Disk = std::map<std::string, std::string>;

struct RunState {
    dovtest::RecordingHost host;
    CMyDepthInfo depth;
    dov::RenameCounts counts;
    int result = 0;
    void Go(CMyItem* root, dov::RenameOptions opt = {}) {
        result = dov::DirectRename(root, depth, opt, host, &counts);
    }
    std::string LastMessage() const {
        return host.messages.empty() ? "" : host.messages.back().text;
    }
};

// A temporary folder holding `files` (relative path -> content; "<dir>" makes an empty folder)
// and a root with the named entries of the folder (or of its sub-folder `under`) loaded.
struct Scene {
    dovtest::TempDir tmp;
    std::unique_ptr<CMyItem> root;

    Scene(const Disk& files, const std::vector<std::string>& names, bool autoIndex = false,
          const std::string& under = "") {
        for (const auto& [rel, content] : files)
            content == "<dir>" ? tmp.MakeDir(rel) : tmp.WriteFile(rel, content);
        root = NewRoot(autoIndex);
        Load(root.get(), under.empty() ? tmp.path() : tmp / under, names);
    }
    CMyItem* At(const std::string& chain) const { return AtNewNames(root.get(), chain); }
    void Rename(const std::string& chain, const std::string& newName) const {
        SetNewName(At(chain), newName);
    }
    Disk Now() const { return Snapshot(tmp.path()); }
    // Runs and checks the result and that nothing on disk changed.
    void ExpectDiskUntouched(RunState& run, int result) const {
        const Disk before = Now();
        run.Go(root.get());
        EXPECT_EQ(run.result, result);
        EXPECT_EQ(Now(), before);
    }
};

std::string Completion(unsigned ok, unsigned failed, unsigned total) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "%10u\n", ok);
    std::string s = Sj("----- リネーム完了 -----\n　　　　成功： ") + buf;
    std::snprintf(buf, sizeof buf, "%10u\n", failed);
    s += Sj("　　　　失敗： ") + buf;
    std::snprintf(buf, sizeof buf, "%10u\n", total);
    return s + Sj("全アイテム数： ") + buf;
}

TEST_P(DirectRenameBoth, RenamesFilesAndTheirFoldersDeepestFirst) {
    Scene s(
        {{"data/a.txt", "A"}, {"data/sub/b.txt", "B"}, {"data/keep.txt", "K"}, {"top.txt", "T"}},
        {"data", "top.txt"});
    ASSERT_NE(s.At("data"), nullptr);
    s.Rename("data/a.txt", "x.txt");
    s.Rename("data/sub/b.txt", "y.txt");
    s.Rename("data/sub", "sub2");
    s.Rename("data", "data2");
    s.Rename("top.txt", "TOP.txt");  // case only

    RunState run;
    run.Go(s.root.get());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(s.Now(), (Disk{{"data2", "<dir>"},
                             {"data2/x.txt", "A"},
                             {"data2/keep.txt", "K"},
                             {"data2/sub2", "<dir>"},
                             {"data2/sub2/y.txt", "B"},
                             {"TOP.txt", "T"}}));
    // Every stored path follows the disk, including the unchanged file inside the renamed
    // folder.
    const std::string t = s.tmp.path();
    EXPECT_EQ(s.At("data2/sub2/y.txt")->m_strOrgPath, t + "/data2/sub2/y.txt");
    EXPECT_EQ(s.At("data2/keep.txt")->m_strOrgPath, t + "/data2/keep.txt");
    EXPECT_EQ(s.At("data2/keep.txt")->m_strParentPath, t + "/data2");
    EXPECT_EQ(s.At("data2/x.txt")->m_strOrgName, "x.txt");
    EXPECT_EQ(s.At("data2/x.txt")->m_strPrevPath, t + "/data/a.txt");
    EXPECT_EQ(s.At("data2/x.txt")->m_status.m_szFullName, t + "/data2/x.txt");
    EXPECT_EQ(s.At("data2/sub2/y.txt")->m_byDepth, Count(t + "/data2/sub2/y.txt", "/"));
    // keep.txt changed its full path with its folder: logged as a success too.
    EXPECT_EQ(run.counts.ok, 6u);
    EXPECT_EQ(run.counts.failed, 0u);
    EXPECT_EQ(run.LastMessage(), Completion(6, 0, 6));
    const std::string log = HomeFile("RenameLog.txt");
    EXPECT_EQ(Count(log, Sj("◎　リネームに成功しました。")), 6);
    // The pre-rename dump shows the names as they were on disk.
    EXPECT_NE(HomeFile("PreRenameTree.txt").find("a.txt\r\n"), std::string::npos);
}

TEST(DirectRename, WritesTheFourLineLogEntry) {
    Scene s({{"data/a.txt", "x"}}, {"data"});
    s.Rename("data/a.txt", "b.txt");
    RunState run;
    run.Go(s.root.get());
    const std::string d = s.tmp.path() + "/data/";
    EXPECT_EQ(HomeFile("RenameLog.txt"), "--------------------------------------------------\r\n" +
                                             Sj("◎　リネームに成功しました。") + "\r\n\t" +
                                             Sj("旧パス ■") + d + "a.txt\r\n\t" + Sj("新パス ■") +
                                             d + "b.txt\r\n");
    EXPECT_EQ(run.LastMessage(), Completion(1, 0, 2));
}

TEST(DirectRename, UnchangedTreeWritesAnEmptyLog) {
    Scene s({{"data/a.txt", "x"}}, {"data"});
    RunState run;
    s.ExpectDiskUntouched(run, 0);
    EXPECT_TRUE(s.tmp.Exists("home/RenameLog.txt"));
    EXPECT_EQ(HomeFile("RenameLog.txt"), "");
    EXPECT_EQ(run.LastMessage(), Completion(0, 0, 2));
}

// A target that is already taken is never replaced, whichever way the rename is made.
TEST_P(DirectRenameBoth, NeverReplacesAnExistingTarget) {
    Scene s({{"d/a.txt", "mine"},
             {"d/taken.txt", "theirs"},
             {"d/f/in.txt", "1"},
             {"d/g/inner", "<dir>"}},
            {"d"});
    CMyItem* a = s.At("d/a.txt");
    CMyItem* f = s.At("d/f");
    CMyItem* in = s.At("d/f/in.txt");
    const std::string t = s.tmp.path();
    SetNewName(a, "taken.txt");
    SetNewName(f, "g");  // a folder onto a folder with content
    RunState run;
    s.ExpectDiskUntouched(run, 0);
    // Both renames fail and nothing else: each failed item still points at itself, so the
    // file inside the folder that kept its name is found where it is, unchanged.
    EXPECT_EQ(run.counts.failed, 2u);
    EXPECT_EQ(run.counts.ok, 0u);
    EXPECT_EQ(a->m_strOrgPath, t + "/d/a.txt");
    EXPECT_EQ(f->m_strOrgPath, t + "/d/f");
    EXPECT_EQ(in->m_strOrgPath, t + "/d/f/in.txt");
    const std::string trace = renametest::TraceText();
    EXPECT_EQ(Count(trace, Sj("※　希望のファイル名は既に存在します。")), 2)
        << dov::DisplayUtf8(trace);
    const std::string log = HomeFile("RenameLog.txt");
    EXPECT_EQ(Count(log, Sj("リネーム失敗。")), 2);
    EXPECT_NE(log.find(Sj("\t元のパス= \"") + t + "/d/a.txt\"\r\n\t" + Sj("希望のパス= \"") + t +
                       "/d/taken.txt\"\r\n"),
              std::string::npos);
    ASSERT_GE(run.host.messages.size(), 2u);
    EXPECT_EQ(run.host.messages[run.host.messages.size() - 2].text,
              Sj("\nリネームに失敗したアイテムが[2]個あります。\nアプリケーション上のデータを破棄"
                 "する必要があります。\n詳細は作成された RenameLog.txt に記されました。\n"));
}

// Each errno of a failed rename gets its own explanation; the run goes on after each one.
TEST(DirectRename, ExplainsEveryKindOfRenameFailure) {
    struct Case {
        int err;
        const char* text;
    } cases[] = {
        {ENOENT, "で指定したファイルまたはパスを検出できない。"},
        {EACCES, "既に存在するか、パスが無効で作成できない。"},
        {EPERM, "既に存在するか、パスが無効で作成できない。"},
        {ENOTEMPTY, "※　希望のファイル名は既に存在します。"},
        {EXDEV, "※　未知のエラー[18]。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        renametest::FaultFs fs;
        fs.onRename = [&](const std::string& from, const std::string&) {
            return from.find("bad.txt") != std::string::npos ? c.err : -1;
        };
        dov::ScopedFileSystem scoped(&fs);
        Scene s({{"d/bad.txt", "b"}, {"d/good.txt", "g"}}, {"d"});
        s.Rename("d/bad.txt", "bad2.txt");
        s.Rename("d/good.txt", "good2.txt");
        RunState run;
        run.Go(s.root.get());
        EXPECT_EQ(s.Now(), (Disk{{"d", "<dir>"}, {"d/bad.txt", "b"}, {"d/good2.txt", "g"}}));
        EXPECT_EQ(Count(renametest::TraceText(), Sj(c.text)), 1);
        EXPECT_EQ(run.counts.ok, 1u);
        EXPECT_EQ(run.counts.failed, 1u);
        EXPECT_EQ(s.At("d/bad2.txt")->m_bRenameFailed, 1);
    }
}

TEST(DirectRename, NameThatIsNotValidCp932FailsAsInvalidArgument) {
    for (const char* bad : {"cut\x82",                   // a double-byte character cut in half
                            "lone\xF0\x40",              // half of a pair
                            "ascii\xF0\x40\xF0\xA2"}) {  // the pair of 'a', which CP932 holds
        Scene s({{"d/a.txt", "a"}}, {"d"});
        s.Rename("d/a.txt", bad);
        RunState run;
        s.ExpectDiskUntouched(run, 0);
        EXPECT_EQ(run.counts.failed, 1u);
        EXPECT_NE(renametest::TraceText().find(Sj("]に無効な文字が使われている。")),
                  std::string::npos);
    }
}

TEST(DirectRename, CreatesUserMadeFoldersAndMovesDraggedFilesIntoThem) {
    Scene s({{"d/a.txt", "a"}, {"d/b.txt", "b"}}, {"d"});
    dovtest::RecordingHost editHost;
    CMyItem* made = dov::AddFoldToTree(s.At("d"), editHost);
    ASSERT_NE(made, nullptr);
    CMyItem* inner = dov::AddFoldToTree(made, editHost);  // a user-made folder inside it
    SetNewName(made, "new");
    CMyItem* a = s.At("d/a.txt");
    ASSERT_TRUE(dov::ItemDropToTree(made, {0}, {a}, editHost));
    RunState run;
    run.Go(s.root.get());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(s.Now(), (Disk{{"d", "<dir>"},
                             {"d/b.txt", "b"},
                             {"d/new", "<dir>"},
                             {"d/new/a.txt", "a"},
                             {"d/new/新規フォルダ_000", "<dir>"}}));
    const std::string t = s.tmp.path();
    EXPECT_EQ(made->m_bUserMakeFold, 0);
    EXPECT_EQ(inner->m_bUserMakeFold, 0);
    EXPECT_EQ(made->m_bFolderMade, 0);  // reported by the log, then cleared
    EXPECT_EQ(made->m_strOrgPath, t + "/d/new");
    EXPECT_EQ(a->m_strOrgPath, t + "/d/new/a.txt");
    const std::string log = HomeFile("RenameLog.txt");
    EXPECT_EQ(Count(log, Sj("◎　新規フォルダとして作成しました。")), 2);
    EXPECT_NE(log.find(Sj("\t新パス ■") + t + "/d/new/a.txt"), std::string::npos);
    EXPECT_EQ(run.counts.ok, 3u);
}

TEST(DirectRename, UserMadeFolderDirectlyUnderTheRootStopsBeforeTheDisk) {
    Scene s({{"d/a.txt", "a"}}, {"d"});
    s.Rename("d/a.txt", "b.txt");
    dovtest::RecordingHost editHost;
    ASSERT_NE(dov::AddFoldToTree(s.root.get(), editHost), nullptr);
    RunState run;
    s.ExpectDiskUntouched(run, -1);
    // The confirmation only; the check failure is traced, not shown.
    EXPECT_EQ(run.host.messages.size(), 1u);
    EXPECT_NE(renametest::TraceText().find(Sj("※　リネーム前のチェックに失敗したので中止。")),
              std::string::npos);
}

TEST(DirectRename, FailedFolderCreationStopsBeforeAnyRename) {
    Scene s({{"d/a.txt", "a"}, {"d/新規フォルダ_000", "in the way"}}, {"d"});
    s.Rename("d/a.txt", "b.txt");
    dovtest::RecordingHost editHost;
    ASSERT_NE(dov::AddFoldToTree(s.At("d"), editHost), nullptr);
    RunState run;
    s.ExpectDiskUntouched(run, -1);
    EXPECT_EQ(run.LastMessage(), Sj("※　ユーザ作成フォルダの作成に失敗したので中止します。"));
    EXPECT_NE(renametest::TraceText().find(Sj("※　フォルダの作成に失敗。 RenameItemBySort()")),
              std::string::npos);
}

// x.txt (depth d) is dragged below folder A (depth d) while A gets a new name. The items of
// equal depth are handled in the reverse of their sorted order: A comes before x.txt, so a
// file dropped into A itself follows A's new path, while one dropped into A/B still has A's old
// name in its target and fails as not found (nothing is lost; the user is told).
TEST(DirectRename, EqualDepthMoveFollowsTheSortedOrder) {
    struct Case {
        const char* into;
        Disk expected;
        unsigned failed;
    } cases[] = {
        {"A", {{"A2", "<dir>"}, {"A2/B", "<dir>"}, {"A2/x.txt", "x"}}, 0},
        {"A/B", {{"A2", "<dir>"}, {"A2/B", "<dir>"}, {"x.txt", "x"}}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.into);
        Scene s({{"x.txt", "x"}, {"A/B", "<dir>"}}, {"x.txt", "A"});
        CMyItem* x = s.At("x.txt");
        dovtest::RecordingHost editHost;
        ASSERT_TRUE(dov::ItemDropToTree(s.At(c.into), {0}, {x}, editHost));
        s.Rename("A", "A2");
        RunState run;
        run.Go(s.root.get());
        EXPECT_EQ(s.Now(), c.expected);
        EXPECT_EQ(run.counts.failed, c.failed);
        if (c.failed) {
            EXPECT_NE(
                renametest::TraceText().find(Sj("で指定したファイルまたはパスを検出できない。")),
                std::string::npos);
            // The file that could not be moved still points at where it is.
            EXPECT_EQ(x->m_strOrgPath, s.tmp.path() + "/x.txt");
            EXPECT_EQ(x->m_strOrgName, "x.txt");
        } else {
            EXPECT_EQ(x->m_strOrgPath, s.tmp.path() + "/A2/x.txt");
        }
    }
}

// ---- Failed renames: the tree keeps pointing at where each entry really is -------------------

const char* Mode(bool fallback) {
    return fallback ? "no-replace fallback" : "renameat2";
}

std::string LogSeparator() {
    return std::string(50, '-') + "\r\n";
}

// The log entry of a failed item: its path before the attempt and the path it was to get.
std::string FailedEntry(const std::string& mark, const std::string& from, const std::string& to) {
    return LogSeparator() + Sj("×　") + Sj(mark.c_str()) + Sj("リネーム失敗。") + "\r\n\t" +
           Sj("元のパス= \"") + from + "\"\r\n\t" + Sj("希望のパス= \"") + to + "\"\r\n";
}

std::string RenamedEntry(const std::string& mark, const std::string& from, const std::string& to) {
    return LogSeparator() + Sj("◎　リネームに成功しました。") + "\r\n\t" + Sj("旧パス ") +
           Sj(mark.c_str()) + from + "\r\n\t" + Sj("新パス ") + Sj(mark.c_str()) + to + "\r\n";
}

bool Has(const std::string& hay, const std::string& needle) {
    return hay.find(needle) != std::string::npos;
}

// a.txt -> b.txt while b.txt is there: the item still points at a.txt (not at the other file
// that holds the name), is logged as failed, and a second run with another name renames a.txt.
TEST_P(DirectRenameFailureBoth, TargetThatExistsLeavesTheItemAtItsOwnFile) {
    for (const char* folder : {"", "d/"}) {  // directly under the root, and one level down
        SCOPED_TRACE(std::string(Mode(Fallback())) + " in \"" + folder + "\"");
        const std::string f = folder;
        Scene s(
            {{f + "a.txt", "mine"}, {f + "b.txt", "theirs, longer"}},
            f.empty() ? std::vector<std::string>{"a.txt", "b.txt"} : std::vector<std::string>{"d"});
        CMyItem* a = s.At(f + "a.txt");
        CMyItem* b = s.At(f + "b.txt");
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        SetNewName(a, "b.txt");
        const std::string dir = f.empty() ? s.tmp.path() : s.tmp.path() + "/d";

        RunState run;
        s.ExpectDiskUntouched(run, 0);
        EXPECT_EQ(a->m_bRenameFailed, 1);
        EXPECT_EQ(a->m_strOrgPath, dir + "/a.txt");
        EXPECT_EQ(a->m_strOrgName, "a.txt");
        EXPECT_EQ(a->m_strOrgExt, "txt");
        EXPECT_EQ(a->m_strParentPath, dir);
        EXPECT_EQ(a->m_strPrevPath, dir + "/a.txt");
        EXPECT_EQ(a->m_strNewName, "b.txt");  // kept as edited: the next run tries again
        // The status later operations read is the item's own file, not the other one.
        EXPECT_EQ(a->m_status.m_szFullName, dir + "/a.txt");
        EXPECT_EQ(a->m_status.size64, 4u);
        EXPECT_EQ(b->m_strOrgPath, dir + "/b.txt");
        const std::string log = HomeFile("RenameLog.txt");
        EXPECT_EQ(log, FailedEntry("■", dir + "/a.txt", dir + "/b.txt"));
        EXPECT_EQ(run.counts.ok, 0u);
        EXPECT_EQ(run.counts.failed, 1u);

        // A second edit and run act on a.txt; b.txt is left alone.
        SetNewName(a, "c.txt");
        RunState again;
        again.Go(s.root.get());
        EXPECT_EQ(again.result, 0);
        Disk expected;
        if (!f.empty()) expected["d"] = "<dir>";
        expected[f + "b.txt"] = "theirs, longer";
        expected[f + "c.txt"] = "mine";
        EXPECT_EQ(s.Now(), expected);
        EXPECT_EQ(a->m_bRenameFailed, 0);
        EXPECT_EQ(a->m_strOrgPath, dir + "/c.txt");
        EXPECT_EQ(a->m_strOrgName, "c.txt");
        EXPECT_EQ(a->m_strPrevPath, dir + "/a.txt");
        EXPECT_EQ(HomeFile("RenameLog.txt"), RenamedEntry("■", dir + "/a.txt", dir + "/c.txt"));
        EXPECT_EQ(again.counts.ok, 1u);
        EXPECT_EQ(again.counts.failed, 0u);
    }
}

// Files whose rename failed inside folders that were renamed in the same run follow their
// folders' new names, through every level; a sibling folder whose name merely starts with the
// renamed folder's name is not taken for it.
TEST_P(DirectRenameFailureBoth, FailedFileFollowsItsRenamedFolders) {
    Scene s({{"d/A/a.txt", "a"},
             {"d/A/b.txt", "b"},
             {"d/A/B/x.txt", "x"},
             {"d/A/B/y.txt", "y"},
             {"d/AB/z.txt", "z"},
             {"d/AB/w.txt", "w"}},
            {"d"});
    CMyItem* a = s.At("d/A/a.txt");
    CMyItem* b = s.At("d/A/b.txt");
    CMyItem* x = s.At("d/A/B/x.txt");
    CMyItem* z = s.At("d/AB/z.txt");
    CMyItem* folderA = s.At("d/A");
    CMyItem* folderB = s.At("d/A/B");
    SetNewName(a, "b.txt");  // taken
    SetNewName(x, "y.txt");  // taken
    SetNewName(z, "w.txt");  // taken
    SetNewName(folderB, "B2");
    SetNewName(folderA, "A2");

    RunState run;
    run.Go(s.root.get());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(s.Now(), (Disk{{"d", "<dir>"},
                             {"d/A2", "<dir>"},
                             {"d/A2/a.txt", "a"},
                             {"d/A2/b.txt", "b"},
                             {"d/A2/B2", "<dir>"},
                             {"d/A2/B2/x.txt", "x"},
                             {"d/A2/B2/y.txt", "y"},
                             {"d/AB", "<dir>"},
                             {"d/AB/w.txt", "w"},
                             {"d/AB/z.txt", "z"}}));
    const std::string d = s.tmp.path() + "/d";
    EXPECT_EQ(a->m_strOrgPath, d + "/A2/a.txt");
    EXPECT_EQ(a->m_strParentPath, d + "/A2");
    EXPECT_EQ(a->m_strOrgName, "a.txt");
    EXPECT_EQ(a->m_status.m_szFullName, d + "/A2/a.txt");
    EXPECT_EQ(x->m_strOrgPath, d + "/A2/B2/x.txt");
    EXPECT_EQ(x->m_strParentPath, d + "/A2/B2");
    EXPECT_EQ(x->m_strOrgName, "x.txt");
    EXPECT_EQ(z->m_strOrgPath, d + "/AB/z.txt");
    EXPECT_EQ(b->m_strOrgPath, d + "/A2/b.txt");
    EXPECT_EQ(folderA->m_strOrgPath, d + "/A2");
    EXPECT_EQ(folderB->m_strOrgPath, d + "/A2/B2");
    // Every stored path is on disk under the item's own name on disk.
    for (CMyItem* item : {a, b, x, z, folderA, folderB}) {
        dov::EntryInfo info;
        EXPECT_EQ(dov::Fs().Stat(item->m_strOrgPath, info), 0) << item->m_strOrgPath;
        EXPECT_EQ(dov::BaseName(item->m_strOrgPath), item->m_strOrgName);
    }
    const std::string log = HomeFile("RenameLog.txt");
    // The path before the attempt, and the path it was to get under the renamed folder.
    EXPECT_TRUE(Has(log, FailedEntry("■", d + "/A/a.txt", d + "/A2/b.txt")));
    EXPECT_TRUE(Has(log, FailedEntry("■", d + "/A/B/x.txt", d + "/A2/B2/y.txt")));
    EXPECT_TRUE(Has(log, FailedEntry("■", d + "/AB/z.txt", d + "/AB/w.txt")));
    EXPECT_EQ(Count(log, Sj("リネーム失敗。")), 3);
    // Never reported as renamed.
    EXPECT_FALSE(Has(log, Sj("新パス ■") + d + "/A2/a.txt"));
    EXPECT_FALSE(Has(log, Sj("新パス ■") + d + "/A2/B2/x.txt"));
    // A2, B2 and the two files that moved with them.
    EXPECT_EQ(run.counts.ok, 4u);
    EXPECT_EQ(run.counts.failed, 3u);
}

// A folder whose rename failed keeps its old path; its files renamed in the same run are under
// that old name, and a later run renames the folder with them in it.
TEST_P(DirectRenameFailureBoth, FailedFolderKeepsItsRenamedChildren) {
    Scene s({{"d/F/c.txt", "c"}, {"d/F/S/e.txt", "e"}, {"d/G/other.txt", "o"}}, {"d"});
    CMyItem* folderF = s.At("d/F");
    CMyItem* c = s.At("d/F/c.txt");
    CMyItem* sub = s.At("d/F/S");
    CMyItem* e = s.At("d/F/S/e.txt");
    SetNewName(c, "c2.txt");
    SetNewName(sub, "S2");
    SetNewName(e, "e2.txt");
    SetNewName(folderF, "G");  // taken by a folder with content

    RunState run;
    run.Go(s.root.get());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(s.Now(), (Disk{{"d", "<dir>"},
                             {"d/F", "<dir>"},
                             {"d/F/c2.txt", "c"},
                             {"d/F/S2", "<dir>"},
                             {"d/F/S2/e2.txt", "e"},
                             {"d/G", "<dir>"},
                             {"d/G/other.txt", "o"}}));
    const std::string d = s.tmp.path() + "/d";
    EXPECT_EQ(folderF->m_bRenameFailed, 1);
    EXPECT_EQ(folderF->m_strOrgPath, d + "/F");
    EXPECT_EQ(folderF->m_strOrgName, "F");
    EXPECT_EQ(c->m_strOrgPath, d + "/F/c2.txt");
    EXPECT_EQ(c->m_strParentPath, d + "/F");
    EXPECT_EQ(c->m_strOrgName, "c2.txt");
    EXPECT_EQ(sub->m_strOrgPath, d + "/F/S2");
    EXPECT_EQ(e->m_strOrgPath, d + "/F/S2/e2.txt");
    const std::string log = HomeFile("RenameLog.txt");
    EXPECT_TRUE(Has(log, FailedEntry("□", d + "/F", d + "/G")));
    EXPECT_TRUE(Has(log, RenamedEntry("■", d + "/F/c.txt", d + "/F/c2.txt")));
    EXPECT_TRUE(Has(log, RenamedEntry("□", d + "/F/S", d + "/F/S2")));
    EXPECT_TRUE(Has(log, RenamedEntry("■", d + "/F/S/e.txt", d + "/F/S2/e2.txt")));
    EXPECT_EQ(run.counts.ok, 3u);
    EXPECT_EQ(run.counts.failed, 1u);

    // The next run moves the folder with its renamed files.
    SetNewName(folderF, "H");
    RunState again;
    again.Go(s.root.get());
    EXPECT_EQ(s.Now(), (Disk{{"d", "<dir>"},
                             {"d/H", "<dir>"},
                             {"d/H/c2.txt", "c"},
                             {"d/H/S2", "<dir>"},
                             {"d/H/S2/e2.txt", "e"},
                             {"d/G", "<dir>"},
                             {"d/G/other.txt", "o"}}));
    EXPECT_EQ(folderF->m_bRenameFailed, 0);
    EXPECT_EQ(e->m_strOrgPath, d + "/H/S2/e2.txt");
    EXPECT_EQ(again.counts.failed, 0u);
}

// A file dragged into a user-made folder whose move fails (another file took the name there
// first) stays in its old folder, and follows that folder's new name; the next run with
// another name moves it.
TEST_P(DirectRenameFailureBoth, FailedMoveIntoUserMadeFolderStaysInItsOldFolder) {
    Scene s({{"d/S/q.txt", "q"}, {"d/S/T/p.txt", "p"}}, {"d"});
    CMyItem* folderS = s.At("d/S");
    CMyItem* folderT = s.At("d/S/T");
    CMyItem* p = s.At("d/S/T/p.txt");
    CMyItem* q = s.At("d/S/q.txt");
    dovtest::RecordingHost editHost;
    CMyItem* made = dov::AddFoldToTree(s.At("d"), editHost);
    ASSERT_NE(made, nullptr);
    SetNewName(made, "N");
    ASSERT_TRUE(dov::ItemDropToTree(made, {q->m_iArrayIndex}, {q}, editHost));
    ASSERT_TRUE(dov::ItemDropToTree(made, {p->m_iArrayIndex}, {p}, editHost));
    SetNewName(p, "q.txt");  // p.txt is deeper: it takes N/q.txt first
    SetNewName(folderS, "S2");

    RunState run;
    run.Go(s.root.get());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(s.Now(), (Disk{{"d", "<dir>"},
                             {"d/N", "<dir>"},
                             {"d/N/q.txt", "p"},
                             {"d/S2", "<dir>"},
                             {"d/S2/q.txt", "q"},
                             {"d/S2/T", "<dir>"}}));
    const std::string d = s.tmp.path() + "/d";
    EXPECT_EQ(p->m_strOrgPath, d + "/N/q.txt");
    EXPECT_EQ(q->m_bRenameFailed, 1);
    EXPECT_EQ(q->m_pParent, made);  // the tree keeps the user's layout
    EXPECT_EQ(q->m_strOrgPath, d + "/S2/q.txt");
    EXPECT_EQ(q->m_strParentPath, d + "/S2");
    EXPECT_EQ(q->m_strOrgName, "q.txt");
    EXPECT_EQ(q->m_status.m_szFullName, d + "/S2/q.txt");
    EXPECT_EQ(folderT->m_strOrgPath, d + "/S2/T");
    const std::string log = HomeFile("RenameLog.txt");
    EXPECT_TRUE(Has(log, FailedEntry("■", d + "/S/q.txt", d + "/N/q.txt")));
    EXPECT_EQ(Count(log, Sj("リネーム失敗。")), 1);
    EXPECT_TRUE(Has(log, RenamedEntry("■", d + "/S/T/p.txt", d + "/N/q.txt")));
    // p.txt, S2, T (moved with S2) and the created folder N.
    EXPECT_EQ(run.counts.ok, 4u);
    EXPECT_EQ(run.counts.failed, 1u);

    // The next run moves q.txt from where it really is.
    SetNewName(q, "r.txt");
    RunState again;
    again.Go(s.root.get());
    EXPECT_EQ(s.Now(), (Disk{{"d", "<dir>"},
                             {"d/N", "<dir>"},
                             {"d/N/q.txt", "p"},
                             {"d/N/r.txt", "q"},
                             {"d/S2", "<dir>"},
                             {"d/S2/T", "<dir>"}}));
    EXPECT_EQ(q->m_bRenameFailed, 0);
    EXPECT_EQ(q->m_strOrgPath, d + "/N/r.txt");
    EXPECT_EQ(again.counts.ok, 1u);
    EXPECT_EQ(again.counts.failed, 0u);
}

TEST(DirectRename, AsksFirstAndDoesNothingOnNo) {
    Scene s({{"d/a.txt", "a"}}, {"d"});
    s.Rename("d/a.txt", "b.txt");
    const Disk before = s.Now();
    struct Case {
        std::vector<dov::MsgAnswer> answers;
        bool autoSerial;
        std::size_t questions;
    } cases[] = {
        {{dov::MsgAnswer::No}, false, 1},
        {{dov::MsgAnswer::Yes, dov::MsgAnswer::No}, true, 2},
    };
    for (const Case& c : cases) {
        RunState run;
        run.host.answers.assign(c.answers.begin(), c.answers.end());
        run.Go(s.root.get(), dov::RenameOptions{c.autoSerial});
        EXPECT_EQ(run.result, 1);
        EXPECT_EQ(run.host.messages.size(), c.questions);
        EXPECT_EQ(run.host.messages[0].text,
                  Sj("直接改名するとやり直しは出来ませんがよろしいですか？"));
        EXPECT_EQ(run.host.messages[0].kind, dov::MsgKind::YesNo);
        EXPECT_EQ(s.Now(), before);
    }
    // A forbidden character stops the run before any question.
    SetNewName(s.At("d/b.txt") ? s.At("d/b.txt") : s.At("d/a.txt"), "a:b");
    RunState run;
    s.ExpectDiskUntouched(run, 1);
    ASSERT_EQ(run.host.messages.size(), 1u);
    EXPECT_EQ(run.host.messages[0].text, Sj("※　無効なファイル名があります。"));
}

TEST(DirectRename, AutomaticIndexWritesThePrefixedNames) {
    Scene s({{"d/a.txt", "a"}, {"d/b.txt", "b"}}, {"d"}, /*autoIndex=*/true);
    RunState run;
    run.Go(s.root.get(), dov::RenameOptions{true});
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(s.Now(),
              (Disk{{"000_d", "<dir>"}, {"000_d/000_a.txt", "a"}, {"000_d/001_b.txt", "b"}}));
    EXPECT_NE(renametest::TraceText().find(Sj("自動連番モードで直接改名")), std::string::npos);
}

// STOP is honoured between items: what was not reached keeps its name and path, the log holds
// only what was done and the report says how many items were left alone.
TEST(DirectRename, StopLeavesTheItemsNotReachedAlone) {
    struct Case {
        long long polls;  // StopRequested() answers before STOP turns on
        Disk disk;
        unsigned ok, notAttempted;
    } cases[] = {
        {0, {{"d", "<dir>"}, {"d/a.txt", "a"}, {"d/b.txt", "b"}}, 0, 3},
        {1, {{"d", "<dir>"}, {"d/a2.txt", "a"}, {"d/b.txt", "b"}}, 1, 2},
        {2, {{"d", "<dir>"}, {"d/a2.txt", "a"}, {"d/b2.txt", "b"}}, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.polls);
        Scene s({{"d/a.txt", "a"}, {"d/b.txt", "b"}}, {"d"});
        s.Rename("d/a.txt", "a2.txt");
        s.Rename("d/b.txt", "b2.txt");
        s.Rename("d", "d2");
        RunState run;
        run.host.stopAfterPolls = c.polls;
        run.Go(s.root.get());
        EXPECT_EQ(run.result, -1);
        EXPECT_EQ(run.counts.stop, dov::RenameStop::Stopped);
        EXPECT_EQ(run.counts.notAttempted, c.notAttempted);
        EXPECT_EQ(s.Now(), c.disk);
        // Every stored path is where the item is.
        for (const char* name : {"a", "b"}) {
            const CMyItem* item = s.root->GetSubItem(0)->GetSubItem(name[0] == 'a' ? 0 : 1);
            EXPECT_TRUE(s.tmp.Exists(item->m_strOrgPath.substr(s.tmp.path().size() + 1)))
                << item->m_strOrgPath;
        }
        EXPECT_EQ(Count(HomeFile("RenameLog.txt"), Sj("◎　リネームに成功しました。")),
                  static_cast<int>(c.ok));
        ASSERT_GE(run.host.messages.size(), 3u);
        EXPECT_EQ(run.host.messages[run.host.messages.size() - 2].text,
                  Sj("中止ボタンによって中止されました"));
        char buf[64];
        std::snprintf(buf, sizeof buf, "%10u\n", c.notAttempted);
        std::string report = Completion(c.ok, 0, 3);
        report.insert(report.find(Sj("全アイテム数")), Sj("　　　未実行： ") + buf);
        EXPECT_EQ(run.LastMessage(), report);
    }
}

// An item moved directly under the root follows the rename of the disk folder it lies in.
TEST(DirectRename, ItemMovedUnderTheRootFollowsItsFolderOnDisk) {
    Scene s({{"t/d/A/B/x.txt", "x"}}, {"d"}, false, "t");
    CMyItem* d = s.At("d");
    CMyItem* a = s.At("d/A");
    dovtest::RecordingHost editHost;
    ASSERT_TRUE(dov::ItemDropToTree(s.root.get(), {0}, {a}, editHost));
    CMyItem* b = s.At("A/B");
    CMyItem* x = s.At("A/B/x.txt");
    ASSERT_TRUE(b && x);
    SetNewName(d, "Nd");
    SetNewName(a, "NA");
    SetNewName(b, "NB");
    SetNewName(x, "Nx.txt");
    RunState run;
    run.Go(s.root.get());
    EXPECT_EQ(run.result, 0);
    const std::string t = s.tmp / "t";
    EXPECT_EQ(
        Snapshot(t),
        (Disk{
            {"Nd", "<dir>"}, {"Nd/NA", "<dir>"}, {"Nd/NA/NB", "<dir>"}, {"Nd/NA/NB/Nx.txt", "x"}}));
    EXPECT_EQ(a->m_strOrgPath, t + "/Nd/NA");
    EXPECT_EQ(a->m_strParentPath, t + "/Nd");
    EXPECT_EQ(x->m_strOrgPath, t + "/Nd/NA/NB/Nx.txt");
    EXPECT_EQ(run.counts.failed, 0u);
    EXPECT_EQ(run.counts.ok, 4u);
}

// A folder made in the tree exists once created, even when the run then stops: a later run
// treats it as an ordinary folder instead of creating it again.
TEST(DirectRename, CreatedFolderIsNoLongerUserMadeAfterAnAbortedRun) {
    Scene s({{"d/a.txt", "a"}, {"d/新規フォルダ_001", "in the way"}}, {"d"});
    dovtest::RecordingHost editHost;
    CMyItem* first = dov::AddFoldToTree(s.At("d"), editHost);
    ASSERT_NE(dov::AddFoldToTree(s.At("d"), editHost), nullptr);
    RunState run;
    run.Go(s.root.get());
    EXPECT_EQ(run.result, -1);
    EXPECT_EQ(run.counts.stop, dov::RenameStop::UserFolders);
    EXPECT_TRUE(s.tmp.Exists("d/新規フォルダ_000"));
    EXPECT_EQ(first->m_bUserMakeFold, 0);
    EXPECT_EQ(first->m_bFolderMade, 1);
    EXPECT_EQ(first->m_strOrgPath, s.tmp.path() + "/d/" + Sj("新規フォルダ_000"));

    ASSERT_EQ(std::remove((s.tmp / "d/新規フォルダ_001").c_str()), 0);
    RunState again;
    again.Go(s.root.get());
    EXPECT_EQ(again.result, 0);
    EXPECT_TRUE(s.tmp.Exists("d/新規フォルダ_001"));
}

// The log comes before any message of the run's end (showing one may end the process), and a
// log that cannot be written reaches the report.
TEST(RenameLog, IsWrittenBeforeTheEndMessagesAndItsLossIsReported) {
    class LogCheckingHost : public dovtest::RecordingHost {
      public:
        std::vector<bool> logThere;
        dov::MsgAnswer Message(const std::string& text, dov::MsgKind kind, dov::MsgIcon icon,
                               const std::string& caption) override {
            logThere.push_back(!HomeFile("RenameLog.txt").empty());
            return RecordingHost::Message(text, kind, icon, caption);
        }
    };
    for (bool logIsAFolder : {false, true}) {
        SCOPED_TRACE(logIsAFolder);
        Disk files{{"d/a.txt", "a"}, {"d/b.txt", "b"}, {"d/taken.txt", "t"}};
        if (logIsAFolder) files["home/RenameLog.txt"] = "<dir>";
        Scene s(files, {"d"});
        s.Rename("d/a.txt", "taken.txt");  // fails
        s.Rename("d/b.txt", "b2.txt");
        CMyDepthInfo depth;
        LogCheckingHost host;
        dov::RenameCounts counts;
        EXPECT_EQ(dov::DirectRename(s.root.get(), depth, {}, host, &counts), 0);
        EXPECT_EQ(counts.logFailed, logIsAFolder);
        ASSERT_GE(host.messages.size(), 3u);
        const std::string lost =
            Sj("リネームログファイルを書き込めませんでした。\n") + s.tmp.home() + "/RenameLog.txt";
        EXPECT_EQ(host.messages[1].text == lost, logIsAFolder);
        if (!logIsAFolder) {
            // After the confirmation, every message finds the log written.
            for (std::size_t i = 1; i < host.logThere.size(); ++i) EXPECT_TRUE(host.logThere[i]);
        }
    }
}

TEST(RenameLog, ChecksEveryItemOnDisk) {
    renametest::FaultFs fs;
    dov::ScopedFileSystem scoped(&fs);
    Scene s({{"d/a.txt", "a"}, {"d/b.txt", "b"}}, {"d"});
    s.Rename("d/a.txt", "a2.txt");
    s.Rename("d/b.txt", "b2.txt");
    // a2.txt vanishes (another program) before the log looks at it.
    fs.onRename = [&](const std::string& from, const std::string& to) {
        int r = fs.PosixFileSystem::RenameNoReplace(from, to);
        if (r == 0 && to.find("a2.txt") != std::string::npos)
            fs.onStat = [](const std::string& p) {
                return p.find("a2.txt") != std::string::npos ? ENOENT : -1;
            };
        return r;
    };
    RunState run;
    run.Go(s.root.get());
    const std::string log = HomeFile("RenameLog.txt");
    EXPECT_NE(
        log.find(
            Sj("×　リネームしましたが FindFirstFile() で存在を確認出来ません。\r\n\t旧パス ■") +
            s.tmp.path() + "/d/a.txt\r\n\t" + Sj("新パス ■") + s.tmp.path() + "/d/a2.txt\r\n"),
        std::string::npos);
    EXPECT_EQ(run.counts.ok, 1u);
    EXPECT_EQ(run.counts.failed, 1u);
    EXPECT_EQ(run.LastMessage(), Completion(1, 1, 3));
}

// A large tree's looks at the disk run on two threads; the log is the one a single thread
// writes: the same entries, in the same order, with the same failures.
TEST(RenameLog, LooksOnTwoThreadsGiveTheSameLog) {
    std::string logs[2];
    for (const bool concurrent : {true, false}) {
        SCOPED_TRACE(concurrent);
        renametest::FaultFs fs;
        // A hook on the looks keeps them on one thread.
        if (!concurrent) fs.onStat = [](const std::string&) { return -1; };
        // One renamed file vanishes before the log looks at it.
        fs.onRename = [&](const std::string& from, const std::string& to) {
            const int r = fs.PosixFileSystem::RenameNoReplace(from, to);
            if (r == 0 && to.ends_with("/p_f2345")) ::unlink(to.c_str());
            return r;
        };
        dov::ScopedFileSystem scoped(&fs);
        // Two folders, so that each thread mostly looks into its own.
        Disk disk{{"d/p_f0042", "taken"}, {"e/p_f4321", "taken"}};
        char name[16];
        for (int i = 0; i < 5000; ++i) {
            std::snprintf(name, sizeof name, "f%04d", i);
            disk[(i < 2500 ? "d/" : "e/") + std::string(name)] = "";
        }
        Scene s(disk, {"d", "e"});
        for (const char* folder : {"d", "e"}) {
            CMyItem* d = s.At(folder);
            for (int i = 0; i < static_cast<int>(d->m_dwNumInFolder); ++i) {
                CMyItem* item = d->GetSubItem(i);
                if (item->m_strNewName[0] == 'f') SetNewName(item, "p_" + item->m_strNewName);
            }
        }
        RunState run;
        run.Go(s.root.get());
        EXPECT_EQ(run.counts.ok, 4997u);
        EXPECT_EQ(run.counts.failed, 3u);
        std::string& log = logs[concurrent ? 0 : 1];
        log = HomeFile("RenameLog.txt");
        for (std::size_t at; (at = log.find(s.tmp.path())) != std::string::npos;)
            log.replace(at, s.tmp.path().size(), "TMP");
        EXPECT_EQ(Count(log, Sj("◎　リネームに成功しました。")), 4997);
    }
    EXPECT_EQ(logs[0], logs[1]);
}

// A log block the disk refuses: every entry of it is in the trace with its path and text, the
// blocks before it stay in the log, and the user is told once.
TEST(RenameLog, EntriesOfABlockNotWrittenAreTraced) {
    renametest::FaultFs fs;
    dov::ScopedFileSystem scoped(&fs);
    Disk files;
    for (int i = 1000; i < 1600; ++i) files["d/" + std::to_string(i) + ".txt"] = "x";
    Scene s(files, {"d"});
    for (int i = 1000; i < 1600; ++i)
        s.Rename("d/" + std::to_string(i) + ".txt", "n" + std::to_string(i) + ".txt");
    // The first block (64 KiB) fits, the second does not.
    fs.wrapTruncate = [](const std::string& path, std::unique_ptr<dov::IFile> file) {
        return path.find("RenameLog.txt") != std::string::npos
                   ? dovtest::LimitWrites(std::move(file), 70000)
                   : std::move(file);
    };
    RunState run;
    run.Go(s.root.get());
    EXPECT_EQ(run.counts.ok, 600u);
    const std::string log = HomeFile("RenameLog.txt");
    const int written = Count(log, Sj("◎　リネームに成功しました。"));
    EXPECT_GE(log.size(), 65536u);
    EXPECT_LT(written, 600);
    const std::string trace = renametest::TraceText();
    const std::string lost = Sj("※　アイテムリネーム情報の書き込みに失敗。\r\n\tOrgPath= \"");
    EXPECT_EQ(Count(trace, lost), 600 - written);
    // Each traced entry is followed by its text, as the log would have had it.
    const std::string next = s.tmp.path() + "/d/n" + std::to_string(1000 + written) + ".txt";
    EXPECT_NE(
        trace.find(lost + next + "\"\r\n--------------------------------------------------\r\n" +
                   Sj("◎　リネームに成功しました。")),
        std::string::npos);
    EXPECT_EQ(Count(trace, Sj("※　リネームログの書き込みに失敗。")), 1);
    int told = 0;
    for (const auto& m : run.host.messages)
        told += Count(m.text, Sj("リネームログファイルを書き込めませんでした。"));
    EXPECT_EQ(told, 1);
}

// The log's look at each entry becomes the item's records, the same as a fresh look at where
// the item is now: renamed, carried by a renamed folder, non-ASCII, or failed in a moved folder.
TEST(RenameLog, GivesEachItemTheRecordsOfItsEntry) {
    Scene s({{"d/a.txt", "aaaa"},
             {"d/keep.txt", "k"},
             {"d/sub/b.txt", "bb"},
             {"d/sub/taken.txt", "t"},
             {"d/sub/c.txt", "c"}},
            {"d"});
    std::vector<const CMyItem*> items;
    for (const char* chain :
         {"d", "d/a.txt", "d/keep.txt", "d/sub", "d/sub/b.txt", "d/sub/taken.txt", "d/sub/c.txt"}) {
        items.push_back(s.At(chain));
        ASSERT_NE(items.back(), nullptr) << chain;
    }
    s.Rename("d/a.txt", Sj("名前.txt"));
    s.Rename("d/sub/b.txt", "b2.txt");
    s.Rename("d/sub/c.txt", "taken.txt");  // fails
    s.Rename("d/sub", "sub2");
    s.Rename("d", "d2");
    RunState run;
    run.Go(s.root.get());
    EXPECT_EQ(run.counts.failed, 1u);
    EXPECT_EQ(items.back()->m_strOrgPath, s.tmp.path() + "/d2/sub2/c.txt");
    for (const CMyItem* item : items) {
        dov::EntryInfo info;
        ASSERT_EQ(dov::Fs().Stat(item->m_strOrgPath, info), 0) << item->m_strOrgPath;
        info.findData.cAlternateFileName.clear();
        EXPECT_EQ(item->m_findData, info.findData) << item->m_strOrgPath;
        EXPECT_EQ(item->m_status, info.status) << item->m_strOrgPath;
    }
}

// When the paths cannot be brought up to date after files were renamed, the log is still
// written: it is the only record of what changed on disk.
class BreakPathsHost : public dovtest::RecordingHost {
  public:
    CMyItem* victim = nullptr;
    void Progress(long long done, long long total) override {
        if (done == total && victim) victim->m_strOrgPath = "broken";
    }
};

TEST(DirectRename, WritesTheLogEvenWhenThePathRefreshFails) {
    Scene s({{"d/a.txt", "a"}}, {"d"});
    s.Rename("d/a.txt", "b.txt");
    BreakPathsHost host;
    host.victim = s.At("d");
    CMyDepthInfo depth;
    EXPECT_EQ(dov::DirectRename(s.root.get(), depth, {}, host), -1);
    EXPECT_EQ(s.Now(), (Disk{{"d", "<dir>"}, {"d/b.txt", "a"}}));
    EXPECT_EQ(Count(HomeFile("RenameLog.txt"), Sj("d/a.txt")), 1);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages.back().text,
              Sj("※　パス情報の更新に失敗しました。\n現在のデータは破棄する必要があります。\n"));
}

}  // namespace
