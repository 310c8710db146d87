// Direct rename end to end: a folder is loaded from disk, names are edited, the run renames on
// disk; the disk, the stored paths, the log and the messages are checked afterwards.
#include "rename/rename_engine.h"

#include <gtest/gtest.h>

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
    dovtest::TempDir tmp;
    tmp.WriteFile("data/a.txt", "A");
    tmp.WriteFile("data/sub/b.txt", "B");
    tmp.WriteFile("data/keep.txt", "K");
    tmp.WriteFile("top.txt", "T");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"data", "top.txt"});
    CMyItem* data = AtNewNames(root.get(), "data");
    ASSERT_NE(data, nullptr);
    SetNewName(AtNewNames(root.get(), "data/a.txt"), "x.txt");
    SetNewName(AtNewNames(root.get(), "data/sub/b.txt"), "y.txt");
    SetNewName(AtNewNames(root.get(), "data/sub"), "sub2");
    SetNewName(data, "data2");
    SetNewName(AtNewNames(root.get(), "top.txt"), "TOP.txt");  // case only

    RunState run;
    run.Go(root.get());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(Snapshot(tmp.path()), (Disk{{"data2", "<dir>"},
                                          {"data2/x.txt", "A"},
                                          {"data2/keep.txt", "K"},
                                          {"data2/sub2", "<dir>"},
                                          {"data2/sub2/y.txt", "B"},
                                          {"TOP.txt", "T"}}));
    // Every stored path follows the disk, including the unchanged file inside the renamed
    // folder.
    EXPECT_EQ(AtNewNames(root.get(), "data2/sub2/y.txt")->m_strOrgPath,
              tmp.path() + "/data2/sub2/y.txt");
    EXPECT_EQ(AtNewNames(root.get(), "data2/keep.txt")->m_strOrgPath,
              tmp.path() + "/data2/keep.txt");
    EXPECT_EQ(AtNewNames(root.get(), "data2/keep.txt")->m_strParentPath, tmp.path() + "/data2");
    EXPECT_EQ(AtNewNames(root.get(), "data2/x.txt")->m_strOrgName, "x.txt");
    EXPECT_EQ(AtNewNames(root.get(), "data2/x.txt")->m_strPrevPath, tmp.path() + "/data/a.txt");
    EXPECT_EQ(AtNewNames(root.get(), "data2/x.txt")->m_status.m_szFullName,
              tmp.path() + "/data2/x.txt");
    EXPECT_EQ(AtNewNames(root.get(), "data2/sub2/y.txt")->m_byDepth,
              Count(tmp.path() + "/data2/sub2/y.txt", "/"));
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
    dovtest::TempDir tmp;
    tmp.WriteFile("data/a.txt", "x");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"data"});
    SetNewName(AtNewNames(root.get(), "data/a.txt"), "b.txt");
    RunState run;
    run.Go(root.get());
    const std::string d = tmp.path() + "/data/";
    EXPECT_EQ(HomeFile("RenameLog.txt"), "--------------------------------------------------\r\n" +
                                             Sj("◎　リネームに成功しました。") + "\r\n\t" +
                                             Sj("旧パス ■") + d + "a.txt\r\n\t" + Sj("新パス ■") +
                                             d + "b.txt\r\n");
    EXPECT_EQ(run.LastMessage(), Completion(1, 0, 2));
}

TEST(DirectRename, UnchangedTreeWritesAnEmptyLog) {
    dovtest::TempDir tmp;
    tmp.WriteFile("data/a.txt", "x");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"data"});
    const Disk before = Snapshot(tmp.path());
    RunState run;
    run.Go(root.get());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(Snapshot(tmp.path()), before);
    EXPECT_TRUE(tmp.Exists("home/RenameLog.txt"));
    EXPECT_EQ(HomeFile("RenameLog.txt"), "");
    EXPECT_EQ(run.LastMessage(), Completion(0, 0, 2));
}

// A target that is already taken is never replaced, whichever way the rename is made.
TEST_P(DirectRenameBoth, NeverReplacesAnExistingTarget) {
    dovtest::TempDir tmp;
    tmp.WriteFile("d/a.txt", "mine");
    tmp.WriteFile("d/taken.txt", "theirs");
    tmp.WriteFile("d/f/in.txt", "1");
    tmp.MakeDir("d/g/inner");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"d"});
    CMyItem* a = AtNewNames(root.get(), "d/a.txt");
    CMyItem* f = AtNewNames(root.get(), "d/f");
    CMyItem* in = AtNewNames(root.get(), "d/f/in.txt");
    SetNewName(a, "taken.txt");
    SetNewName(f, "g");  // a folder onto a folder with content
    const Disk before = Snapshot(tmp.path());
    RunState run;
    run.Go(root.get());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(Snapshot(tmp.path()), before);
    // Both renames fail and nothing else: each failed item still points at itself, so the
    // file inside the folder that kept its name is found where it is, unchanged.
    EXPECT_EQ(run.counts.failed, 2u);
    EXPECT_EQ(run.counts.ok, 0u);
    EXPECT_EQ(a->m_strOrgPath, tmp.path() + "/d/a.txt");
    EXPECT_EQ(f->m_strOrgPath, tmp.path() + "/d/f");
    EXPECT_EQ(in->m_strOrgPath, tmp.path() + "/d/f/in.txt");
    const std::string trace = renametest::TraceText();
    EXPECT_EQ(Count(trace, Sj("※　希望のファイル名は既に存在します。")), 2)
        << dov::DisplayUtf8(trace);
    const std::string log = HomeFile("RenameLog.txt");
    EXPECT_EQ(Count(log, Sj("リネーム失敗。")), 2);
    EXPECT_NE(log.find(Sj("\t元のパス= \"") + tmp.path() + "/d/a.txt\"\r\n\t" +
                       Sj("希望のパス= \"") + tmp.path() + "/d/taken.txt\"\r\n"),
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
        dovtest::TempDir tmp;
        renametest::FaultFs fs;
        fs.onRename = [&](const std::string& from, const std::string&) {
            return from.find("bad.txt") != std::string::npos ? c.err : -1;
        };
        dov::ScopedFileSystem scoped(&fs);
        tmp.WriteFile("d/bad.txt", "b");
        tmp.WriteFile("d/good.txt", "g");
        auto root = NewRoot();
        Load(root.get(), tmp.path(), {"d"});
        SetNewName(AtNewNames(root.get(), "d/bad.txt"), "bad2.txt");
        SetNewName(AtNewNames(root.get(), "d/good.txt"), "good2.txt");
        RunState run;
        run.Go(root.get());
        EXPECT_EQ(Snapshot(tmp.path()),
                  (Disk{{"d", "<dir>"}, {"d/bad.txt", "b"}, {"d/good2.txt", "g"}}));
        EXPECT_EQ(Count(renametest::TraceText(), Sj(c.text)), 1);
        EXPECT_EQ(run.counts.ok, 1u);
        EXPECT_EQ(run.counts.failed, 1u);
        EXPECT_EQ(AtNewNames(root.get(), "d/bad2.txt")->m_bRenameFailed, 1);
    }
}

TEST(DirectRename, NameThatIsNotValidCp932FailsAsInvalidArgument) {
    dovtest::TempDir tmp;
    tmp.WriteFile("d/a.txt", "a");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"d"});
    SetNewName(AtNewNames(root.get(), "d/a.txt"),
               "cut\x82");  // a double-byte character cut in half
    const Disk before = Snapshot(tmp.path());
    RunState run;
    run.Go(root.get());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(Snapshot(tmp.path()), before);
    EXPECT_EQ(run.counts.failed, 1u);
    EXPECT_NE(renametest::TraceText().find(Sj("]に無効な文字が使われている。")), std::string::npos);
}

TEST(DirectRename, CreatesUserMadeFoldersAndMovesDraggedFilesIntoThem) {
    dovtest::TempDir tmp;
    tmp.WriteFile("d/a.txt", "a");
    tmp.WriteFile("d/b.txt", "b");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"d"});
    CMyItem* d = AtNewNames(root.get(), "d");
    dovtest::RecordingHost editHost;
    CMyItem* made = dov::AddFoldToTree(d, editHost);
    ASSERT_NE(made, nullptr);
    CMyItem* inner = dov::AddFoldToTree(made, editHost);  // a user-made folder inside it
    SetNewName(made, "new");
    CMyItem* a = AtNewNames(root.get(), "d/a.txt");
    ASSERT_TRUE(dov::ItemDropToTree(made, {0}, {a}, editHost));
    RunState run;
    run.Go(root.get());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(Snapshot(tmp.path()), (Disk{{"d", "<dir>"},
                                          {"d/b.txt", "b"},
                                          {"d/new", "<dir>"},
                                          {"d/new/a.txt", "a"},
                                          {"d/new/新規フォルダ_000", "<dir>"}}));
    EXPECT_EQ(made->m_bUserMakeFold, 0);
    EXPECT_EQ(inner->m_bUserMakeFold, 0);
    EXPECT_EQ(made->m_bFolderMade, 0);  // reported by the log, then cleared
    EXPECT_EQ(made->m_strOrgPath, tmp.path() + "/d/new");
    EXPECT_EQ(a->m_strOrgPath, tmp.path() + "/d/new/a.txt");
    const std::string log = HomeFile("RenameLog.txt");
    EXPECT_EQ(Count(log, Sj("◎　新規フォルダとして作成しました。")), 2);
    EXPECT_NE(log.find(Sj("\t新パス ■") + tmp.path() + "/d/new/a.txt"), std::string::npos);
    EXPECT_EQ(run.counts.ok, 3u);
}

TEST(DirectRename, UserMadeFolderDirectlyUnderTheRootStopsBeforeTheDisk) {
    dovtest::TempDir tmp;
    tmp.WriteFile("d/a.txt", "a");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"d"});
    SetNewName(AtNewNames(root.get(), "d/a.txt"), "b.txt");
    dovtest::RecordingHost editHost;
    ASSERT_NE(dov::AddFoldToTree(root.get(), editHost), nullptr);
    const Disk before = Snapshot(tmp.path());
    RunState run;
    run.Go(root.get());
    EXPECT_EQ(run.result, -1);
    EXPECT_EQ(Snapshot(tmp.path()), before);
    // The confirmation only; the check failure is traced, not shown.
    EXPECT_EQ(run.host.messages.size(), 1u);
    EXPECT_NE(renametest::TraceText().find(Sj("※　リネーム前のチェックに失敗したので中止。")),
              std::string::npos);
}

TEST(DirectRename, FailedFolderCreationStopsBeforeAnyRename) {
    dovtest::TempDir tmp;
    tmp.WriteFile("d/a.txt", "a");
    tmp.WriteFile("d/新規フォルダ_000", "in the way");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"d"});
    SetNewName(AtNewNames(root.get(), "d/a.txt"), "b.txt");
    dovtest::RecordingHost editHost;
    ASSERT_NE(dov::AddFoldToTree(AtNewNames(root.get(), "d"), editHost), nullptr);
    const Disk before = Snapshot(tmp.path());
    RunState run;
    run.Go(root.get());
    EXPECT_EQ(run.result, -1);
    EXPECT_EQ(Snapshot(tmp.path()), before);
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
        dovtest::TempDir tmp;
        tmp.WriteFile("x.txt", "x");
        tmp.MakeDir("A/B");
        auto root = NewRoot();
        Load(root.get(), tmp.path(), {"x.txt", "A"});
        CMyItem* x = AtNewNames(root.get(), "x.txt");
        dovtest::RecordingHost editHost;
        ASSERT_TRUE(dov::ItemDropToTree(AtNewNames(root.get(), c.into), {0}, {x}, editHost));
        SetNewName(AtNewNames(root.get(), "A"), "A2");
        RunState run;
        run.Go(root.get());
        EXPECT_EQ(Snapshot(tmp.path()), c.expected);
        EXPECT_EQ(run.counts.failed, c.failed);
        if (c.failed) {
            EXPECT_NE(
                renametest::TraceText().find(Sj("で指定したファイルまたはパスを検出できない。")),
                std::string::npos);
            // The file that could not be moved still points at where it is.
            EXPECT_EQ(x->m_strOrgPath, tmp.path() + "/x.txt");
            EXPECT_EQ(x->m_strOrgName, "x.txt");
        } else {
            EXPECT_EQ(x->m_strOrgPath, tmp.path() + "/A2/x.txt");
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
        dovtest::TempDir tmp;
        const std::string f = folder;
        tmp.WriteFile(f + "a.txt", "mine");
        tmp.WriteFile(f + "b.txt", "theirs, longer");
        auto root = NewRoot();
        if (f.empty()) {
            Load(root.get(), tmp.path(), {"a.txt", "b.txt"});
        } else {
            Load(root.get(), tmp.path(), {"d"});
        }
        CMyItem* a = AtNewNames(root.get(), f + "a.txt");
        CMyItem* b = AtNewNames(root.get(), f + "b.txt");
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        SetNewName(a, "b.txt");
        const Disk before = Snapshot(tmp.path());
        const std::string dir = f.empty() ? tmp.path() : tmp.path() + "/d";

        RunState run;
        run.Go(root.get());
        EXPECT_EQ(run.result, 0);
        EXPECT_EQ(Snapshot(tmp.path()), before);
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
        again.Go(root.get());
        EXPECT_EQ(again.result, 0);
        Disk expected;
        if (!f.empty()) expected["d"] = "<dir>";
        expected[f + "b.txt"] = "theirs, longer";
        expected[f + "c.txt"] = "mine";
        EXPECT_EQ(Snapshot(tmp.path()), expected);
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
    dovtest::TempDir tmp;
    tmp.WriteFile("d/A/a.txt", "a");
    tmp.WriteFile("d/A/b.txt", "b");
    tmp.WriteFile("d/A/B/x.txt", "x");
    tmp.WriteFile("d/A/B/y.txt", "y");
    tmp.WriteFile("d/AB/z.txt", "z");
    tmp.WriteFile("d/AB/w.txt", "w");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"d"});
    CMyItem* a = AtNewNames(root.get(), "d/A/a.txt");
    CMyItem* b = AtNewNames(root.get(), "d/A/b.txt");
    CMyItem* x = AtNewNames(root.get(), "d/A/B/x.txt");
    CMyItem* z = AtNewNames(root.get(), "d/AB/z.txt");
    CMyItem* folderA = AtNewNames(root.get(), "d/A");
    CMyItem* folderB = AtNewNames(root.get(), "d/A/B");
    SetNewName(a, "b.txt");  // taken
    SetNewName(x, "y.txt");  // taken
    SetNewName(z, "w.txt");  // taken
    SetNewName(folderB, "B2");
    SetNewName(folderA, "A2");

    RunState run;
    run.Go(root.get());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(Snapshot(tmp.path()), (Disk{{"d", "<dir>"},
                                          {"d/A2", "<dir>"},
                                          {"d/A2/a.txt", "a"},
                                          {"d/A2/b.txt", "b"},
                                          {"d/A2/B2", "<dir>"},
                                          {"d/A2/B2/x.txt", "x"},
                                          {"d/A2/B2/y.txt", "y"},
                                          {"d/AB", "<dir>"},
                                          {"d/AB/w.txt", "w"},
                                          {"d/AB/z.txt", "z"}}));
    const std::string d = tmp.path() + "/d";
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
    dovtest::TempDir tmp;
    tmp.WriteFile("d/F/c.txt", "c");
    tmp.WriteFile("d/F/S/e.txt", "e");
    tmp.WriteFile("d/G/other.txt", "o");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"d"});
    CMyItem* folderF = AtNewNames(root.get(), "d/F");
    CMyItem* c = AtNewNames(root.get(), "d/F/c.txt");
    CMyItem* sub = AtNewNames(root.get(), "d/F/S");
    CMyItem* e = AtNewNames(root.get(), "d/F/S/e.txt");
    SetNewName(c, "c2.txt");
    SetNewName(sub, "S2");
    SetNewName(e, "e2.txt");
    SetNewName(folderF, "G");  // taken by a folder with content

    RunState run;
    run.Go(root.get());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(Snapshot(tmp.path()), (Disk{{"d", "<dir>"},
                                          {"d/F", "<dir>"},
                                          {"d/F/c2.txt", "c"},
                                          {"d/F/S2", "<dir>"},
                                          {"d/F/S2/e2.txt", "e"},
                                          {"d/G", "<dir>"},
                                          {"d/G/other.txt", "o"}}));
    const std::string d = tmp.path() + "/d";
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
    again.Go(root.get());
    EXPECT_EQ(Snapshot(tmp.path()), (Disk{{"d", "<dir>"},
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
    dovtest::TempDir tmp;
    tmp.WriteFile("d/S/q.txt", "q");
    tmp.WriteFile("d/S/T/p.txt", "p");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"d"});
    CMyItem* folderS = AtNewNames(root.get(), "d/S");
    CMyItem* folderT = AtNewNames(root.get(), "d/S/T");
    CMyItem* p = AtNewNames(root.get(), "d/S/T/p.txt");
    CMyItem* q = AtNewNames(root.get(), "d/S/q.txt");
    dovtest::RecordingHost editHost;
    CMyItem* made = dov::AddFoldToTree(AtNewNames(root.get(), "d"), editHost);
    ASSERT_NE(made, nullptr);
    SetNewName(made, "N");
    ASSERT_TRUE(dov::ItemDropToTree(made, {q->m_iArrayIndex}, {q}, editHost));
    ASSERT_TRUE(dov::ItemDropToTree(made, {p->m_iArrayIndex}, {p}, editHost));
    SetNewName(p, "q.txt");  // p.txt is deeper: it takes N/q.txt first
    SetNewName(folderS, "S2");

    RunState run;
    run.Go(root.get());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(Snapshot(tmp.path()), (Disk{{"d", "<dir>"},
                                          {"d/N", "<dir>"},
                                          {"d/N/q.txt", "p"},
                                          {"d/S2", "<dir>"},
                                          {"d/S2/q.txt", "q"},
                                          {"d/S2/T", "<dir>"}}));
    const std::string d = tmp.path() + "/d";
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
    again.Go(root.get());
    EXPECT_EQ(Snapshot(tmp.path()), (Disk{{"d", "<dir>"},
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
    dovtest::TempDir tmp;
    tmp.WriteFile("d/a.txt", "a");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"d"});
    SetNewName(AtNewNames(root.get(), "d/a.txt"), "b.txt");
    const Disk before = Snapshot(tmp.path());
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
        run.Go(root.get(), dov::RenameOptions{c.autoSerial});
        EXPECT_EQ(run.result, 1);
        EXPECT_EQ(run.host.messages.size(), c.questions);
        EXPECT_EQ(run.host.messages[0].text,
                  Sj("直接改名するとやり直しは出来ませんがよろしいですか？"));
        EXPECT_EQ(run.host.messages[0].kind, dov::MsgKind::YesNo);
        EXPECT_EQ(Snapshot(tmp.path()), before);
    }
    // A forbidden character stops the run before any question.
    SetNewName(AtNewNames(root.get(), "d/b.txt") ? AtNewNames(root.get(), "d/b.txt")
                                                 : AtNewNames(root.get(), "d/a.txt"),
               "a:b");
    RunState run;
    run.Go(root.get());
    EXPECT_EQ(run.result, 1);
    ASSERT_EQ(run.host.messages.size(), 1u);
    EXPECT_EQ(run.host.messages[0].text, Sj("※　無効なファイル名があります。"));
    EXPECT_EQ(Snapshot(tmp.path()), before);
}

TEST(DirectRename, AutomaticIndexWritesThePrefixedNames) {
    dovtest::TempDir tmp;
    tmp.WriteFile("d/a.txt", "a");
    tmp.WriteFile("d/b.txt", "b");
    auto root = NewRoot(/*autoIndex=*/true);
    Load(root.get(), tmp.path(), {"d"});
    RunState run;
    run.Go(root.get(), dov::RenameOptions{true});
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(Snapshot(tmp.path()),
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
        dovtest::TempDir tmp;
        tmp.WriteFile("d/a.txt", "a");
        tmp.WriteFile("d/b.txt", "b");
        auto root = NewRoot();
        Load(root.get(), tmp.path(), {"d"});
        SetNewName(AtNewNames(root.get(), "d/a.txt"), "a2.txt");
        SetNewName(AtNewNames(root.get(), "d/b.txt"), "b2.txt");
        SetNewName(AtNewNames(root.get(), "d"), "d2");
        RunState run;
        run.host.stopAfterPolls = c.polls;
        run.Go(root.get());
        EXPECT_EQ(run.result, -1);
        EXPECT_EQ(run.counts.stop, dov::RenameStop::Stopped);
        EXPECT_EQ(run.counts.notAttempted, c.notAttempted);
        EXPECT_EQ(Snapshot(tmp.path()), c.disk);
        // Every stored path is where the item is.
        for (const char* name : {"a", "b"}) {
            const CMyItem* item = root->GetSubItem(0)->GetSubItem(name[0] == 'a' ? 0 : 1);
            EXPECT_TRUE(tmp.Exists(item->m_strOrgPath.substr(tmp.path().size() + 1)))
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
    dovtest::TempDir tmp;
    tmp.WriteFile("t/d/A/B/x.txt", "x");
    auto root = NewRoot();
    Load(root.get(), tmp.path() + "/t", {"d"});
    CMyItem* d = AtNewNames(root.get(), "d");
    CMyItem* a = AtNewNames(root.get(), "d/A");
    dovtest::RecordingHost editHost;
    ASSERT_TRUE(dov::ItemDropToTree(root.get(), {0}, {a}, editHost));
    CMyItem* b = AtNewNames(root.get(), "A/B");
    CMyItem* x = AtNewNames(root.get(), "A/B/x.txt");
    ASSERT_TRUE(b && x);
    SetNewName(d, "Nd");
    SetNewName(a, "NA");
    SetNewName(b, "NB");
    SetNewName(x, "Nx.txt");
    RunState run;
    run.Go(root.get());
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(
        Snapshot(tmp.path() + "/t"),
        (Disk{
            {"Nd", "<dir>"}, {"Nd/NA", "<dir>"}, {"Nd/NA/NB", "<dir>"}, {"Nd/NA/NB/Nx.txt", "x"}}));
    EXPECT_EQ(a->m_strOrgPath, tmp.path() + "/t/Nd/NA");
    EXPECT_EQ(a->m_strParentPath, tmp.path() + "/t/Nd");
    EXPECT_EQ(x->m_strOrgPath, tmp.path() + "/t/Nd/NA/NB/Nx.txt");
    EXPECT_EQ(run.counts.failed, 0u);
    EXPECT_EQ(run.counts.ok, 4u);
}

// A folder made in the tree exists once created, even when the run then stops: a later run
// treats it as an ordinary folder instead of creating it again.
TEST(DirectRename, CreatedFolderIsNoLongerUserMadeAfterAnAbortedRun) {
    dovtest::TempDir tmp;
    tmp.WriteFile("d/a.txt", "a");
    tmp.WriteFile("d/新規フォルダ_001", "in the way");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"d"});
    dovtest::RecordingHost editHost;
    CMyItem* first = dov::AddFoldToTree(AtNewNames(root.get(), "d"), editHost);
    ASSERT_NE(dov::AddFoldToTree(AtNewNames(root.get(), "d"), editHost), nullptr);
    RunState run;
    run.Go(root.get());
    EXPECT_EQ(run.result, -1);
    EXPECT_EQ(run.counts.stop, dov::RenameStop::UserFolders);
    EXPECT_TRUE(tmp.Exists("d/新規フォルダ_000"));
    EXPECT_EQ(first->m_bUserMakeFold, 0);
    EXPECT_EQ(first->m_bFolderMade, 1);
    EXPECT_EQ(first->m_strOrgPath, tmp.path() + "/d/" + Sj("新規フォルダ_000"));

    ASSERT_EQ(std::remove((tmp / "d/新規フォルダ_001").c_str()), 0);
    RunState again;
    again.Go(root.get());
    EXPECT_EQ(again.result, 0);
    EXPECT_TRUE(tmp.Exists("d/新規フォルダ_001"));
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
        dovtest::TempDir tmp;
        tmp.WriteFile("d/a.txt", "a");
        tmp.WriteFile("d/b.txt", "b");
        tmp.WriteFile("d/taken.txt", "t");
        if (logIsAFolder) tmp.MakeDir("home/RenameLog.txt");
        auto root = NewRoot();
        Load(root.get(), tmp.path(), {"d"});
        SetNewName(AtNewNames(root.get(), "d/a.txt"), "taken.txt");  // fails
        SetNewName(AtNewNames(root.get(), "d/b.txt"), "b2.txt");
        CMyDepthInfo depth;
        LogCheckingHost host;
        dov::RenameCounts counts;
        EXPECT_EQ(dov::DirectRename(root.get(), depth, {}, host, &counts), 0);
        EXPECT_EQ(counts.logFailed, logIsAFolder);
        ASSERT_GE(host.messages.size(), 3u);
        const std::string lost =
            Sj("リネームログファイルを書き込めませんでした。\n") + tmp.home() + "/RenameLog.txt";
        EXPECT_EQ(host.messages[1].text == lost, logIsAFolder);
        if (!logIsAFolder) {
            // After the confirmation, every message finds the log written.
            for (std::size_t i = 1; i < host.logThere.size(); ++i) EXPECT_TRUE(host.logThere[i]);
        }
    }
}

TEST(RenameLog, ChecksEveryItemOnDisk) {
    dovtest::TempDir tmp;
    renametest::FaultFs fs;
    dov::ScopedFileSystem scoped(&fs);
    tmp.WriteFile("d/a.txt", "a");
    tmp.WriteFile("d/b.txt", "b");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"d"});
    SetNewName(AtNewNames(root.get(), "d/a.txt"), "a2.txt");
    SetNewName(AtNewNames(root.get(), "d/b.txt"), "b2.txt");
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
    run.Go(root.get());
    const std::string log = HomeFile("RenameLog.txt");
    EXPECT_NE(
        log.find(
            Sj("×　リネームしましたが FindFirstFile() で存在を確認出来ません。\r\n\t旧パス ■") +
            tmp.path() + "/d/a.txt\r\n\t" + Sj("新パス ■") + tmp.path() + "/d/a2.txt\r\n"),
        std::string::npos);
    EXPECT_EQ(run.counts.ok, 1u);
    EXPECT_EQ(run.counts.failed, 1u);
    EXPECT_EQ(run.LastMessage(), Completion(1, 1, 3));
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
    dovtest::TempDir tmp;
    tmp.WriteFile("d/a.txt", "a");
    auto root = NewRoot();
    Load(root.get(), tmp.path(), {"d"});
    SetNewName(AtNewNames(root.get(), "d/a.txt"), "b.txt");
    BreakPathsHost host;
    host.victim = AtNewNames(root.get(), "d");
    CMyDepthInfo depth;
    EXPECT_EQ(dov::DirectRename(root.get(), depth, {}, host), -1);
    EXPECT_EQ(Snapshot(tmp.path()), (Disk{{"d", "<dir>"}, {"d/b.txt", "a"}}));
    EXPECT_EQ(Count(HomeFile("RenameLog.txt"), Sj("d/a.txt")), 1);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages.back().text,
              Sj("※　パス情報の更新に失敗しました。\n現在のデータは破棄する必要があります。\n"));
}

}  // namespace
