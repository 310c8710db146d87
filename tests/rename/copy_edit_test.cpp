// Copy and rename, and the edits of the tree itself.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "model/item.h"
#include "rename/copy_rename.h"
#include "rename/tree_edit.h"
#include "rename_test_util.h"

namespace {

using dovtest::AtNewNames;
using dovtest::SetNewName;
using dovtest::Sj;
using renametest::Count;
using renametest::Load;
using renametest::NewRoot;
using renametest::Snapshot;
using Disk = std::map<std::string, std::string>;

using dovtest::CopyReport;

// src/ holds the loaded tree, out/ receives the copies.
struct CopyFixture {
    dovtest::TempDir tmp;
    std::unique_ptr<CMyItem> root = NewRoot();
    dovtest::RecordingHost host;
    void LoadSrc(const std::vector<std::string>& names) { Load(root.get(), tmp / "src", names); }
    Disk Out() { return Snapshot(tmp / "out"); }
};

TEST(CopyAndRename, CopiesTheTreeUnderItsWriteNames) {
    CopyFixture f;
    f.tmp.WriteFile("src/d/a.txt", "alpha");
    f.tmp.WriteFile("src/d/e/b.txt", "beta");
    f.tmp.WriteFile("src/empty.txt", "");
    f.tmp.MakeDir("out");
    f.LoadSrc({"d", "empty.txt"});
    SetNewName(AtNewNames(f.root.get(), "d"), "d2");
    SetNewName(AtNewNames(f.root.get(), "d2/a.txt"), "a2.txt");
    const Disk src = Snapshot(f.tmp / "src");
    ASSERT_EQ(dov::CopyAndRename(f.root.get(), f.tmp / "out/", {}, f.host), 0);
    EXPECT_EQ(f.Out(), (Disk{{"Root", "<dir>"},
                             {"Root/d2", "<dir>"},
                             {"Root/d2/a2.txt", "alpha"},
                             {"Root/d2/e", "<dir>"},
                             {"Root/d2/e/b.txt", "beta"},
                             {"Root/empty.txt", ""}}));
    EXPECT_EQ(Snapshot(f.tmp / "src"), src);  // the loaded files are untouched
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].text, CopyReport(6, 0));
    // The tree in memory does not change: a second copy elsewhere gives the same.
    f.tmp.MakeDir("out2");
    ASSERT_EQ(dov::CopyAndRename(f.root.get(), f.tmp / "out2", {}, f.host), 0);
    EXPECT_EQ(Snapshot(f.tmp / "out2"), f.Out());
}

TEST(CopyAndRename, MergesIntoAnExistingRootWithoutOverwriting) {
    CopyFixture f;
    f.tmp.WriteFile("src/d/a.txt", "new a");
    f.tmp.WriteFile("src/d/b.txt", "new b");
    f.tmp.WriteFile("out/Root/d/a.txt", "old a");
    f.tmp.WriteFile("out/Root/other.txt", "other");
    f.LoadSrc({"d"});
    ASSERT_EQ(dov::CopyAndRename(f.root.get(), f.tmp / "out", {}, f.host), 0);
    EXPECT_EQ(f.Out(), (Disk{{"Root", "<dir>"},
                             {"Root/d", "<dir>"},
                             {"Root/d/a.txt", "old a"},
                             {"Root/d/b.txt", "new b"},
                             {"Root/other.txt", "other"}}));
    const std::string trace = renametest::TraceText();
    EXPECT_EQ(Count(trace, Sj("　※　同名のフォルダが既に存在します。")), 2);
    EXPECT_EQ(Count(trace, Sj("　×　アイテム[ a.txt ]のコピーに失敗")), 1);
    // The box says where the failure is described and that its name was taken.
    EXPECT_EQ(f.host.messages.back().text, CopyReport(1, 1, 1));
}

TEST(CopyAndRename, StopDuringALargeFileRemovesItAndSkipsTheRest) {
    CopyFixture f;
    f.tmp.WriteFile("src/d/big.bin", std::string(10000, 'x'));
    f.tmp.WriteFile("src/d/small.txt", "s");
    f.tmp.MakeDir("out");
    f.LoadSrc({"d"});
    dov::CCopyRun run(f.host);
    run.m_chunk = 1000;
    // Polls: before d, before big.bin, then once per chunk: STOP comes in the middle.
    f.host.stopAfterPolls = 5;
    ASSERT_EQ(dov::CopyAndRename(run, f.root.get(), f.tmp / "out", {}), 0);
    EXPECT_EQ(f.Out(), (Disk{{"Root", "<dir>"}, {"Root/d", "<dir>"}}));
    ASSERT_EQ(f.host.messages.size(), 2u);
    EXPECT_EQ(f.host.messages[0].text, Sj("中止されました。"));
    EXPECT_EQ(f.host.messages[1].text, CopyReport(2, 1));
}

// A file at its recorded size crosses the buffer boundary; sizes past 4 GiB are counted in 64
// bits (the source and target here are in memory).
class SizedSource : public dov::IFile {
  public:
    explicit SizedSource(std::uint64_t size) : left_(size) {}
    long long Read(void*, std::size_t n) override {
        const std::uint64_t r = std::min<std::uint64_t>(n, left_);
        left_ -= r;
        return static_cast<long long>(r);
    }
    long long Write(const void*, std::size_t) override { return -EBADF; }
    int Close() override { return 0; }

  private:
    std::uint64_t left_;
};

class CountingSink : public dov::IFile {
  public:
    explicit CountingSink(std::uint64_t* total) : total_(total) {}
    long long Read(void*, std::size_t) override { return -EBADF; }
    long long Write(const void*, std::size_t n) override {
        *total_ += n;
        return static_cast<long long>(n);
    }
    int Close() override { return 0; }

  private:
    std::uint64_t* total_;
};

TEST(CopyAndRename, CopiesSizesPastFourGigabytesWhole) {
    CopyFixture f;
    f.tmp.WriteFile("src/huge.bin", "placeholder");
    f.LoadSrc({"huge.bin"});
    CMyItem* huge = AtNewNames(f.root.get(), "huge.bin");
    const std::uint64_t size = (std::uint64_t{1} << 32) + 12345;
    huge->m_status.size64 = size;
    huge->m_status.m_size = static_cast<std::int32_t>(static_cast<std::uint32_t>(size));
    renametest::FaultFs fs;
    std::uint64_t written = 0;
    fs.wrapRead = [&](const std::string&,
                      std::unique_ptr<dov::IFile>) -> std::unique_ptr<dov::IFile> {
        return std::make_unique<SizedSource>(size);
    };
    fs.onCreateNew = [&](const std::string&, std::unique_ptr<dov::IFile>& out) {
        out = std::make_unique<CountingSink>(&written);
        return 0;
    };
    fs.onRename = [](const std::string&, const std::string&) { return 0; };
    dov::ScopedFileSystem scoped(&fs);
    dov::CCopyRun run(f.host);
    ASSERT_TRUE(run.PrepareBuffer());
    EXPECT_EQ(run.CopyItemFile(huge, f.tmp / "target.bin"), 0);
    EXPECT_EQ(written, size);
}

// Faults of the source or the target: that file fails, what it left behind is removed, the
// others are copied.
TEST(CopyAndRename, FailedFilesLeaveNothingHalfWritten) {
    struct Case {
        const char* what;
        std::function<void(renametest::FaultFs&)> arm;
    } cases[] = {
        {"short read",
         [](renametest::FaultFs& fs) {
             fs.wrapRead = [](const std::string& p,
                              std::unique_ptr<dov::IFile> f) -> std::unique_ptr<dov::IFile> {
                 if (p.find("bad") == std::string::npos) return f;
                 return std::make_unique<SizedSource>(3);  // shorter than recorded
             };
         }},
        {"target refused",
         [](renametest::FaultFs& fs) {
             fs.onRename = [](const std::string&, const std::string& to) {
                 return to.find("bad") != std::string::npos ? EACCES : -1;
             };
         }},
        {"source vanished",
         [](renametest::FaultFs& fs) {
             fs.wrapRead = nullptr;
             (void)fs;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CopyFixture f;
        f.tmp.WriteFile("src/bad.txt", "0123456789");
        f.tmp.WriteFile("src/good.txt", "g");
        f.tmp.MakeDir("out");
        f.LoadSrc({"bad.txt", "good.txt"});
        if (std::string(c.what) == "source vanished") std::remove((f.tmp / "src/bad.txt").c_str());
        renametest::FaultFs fs;
        c.arm(fs);
        dov::ScopedFileSystem scoped(&fs);
        ASSERT_EQ(dov::CopyAndRename(f.root.get(), f.tmp / "out", {}, f.host), 0);
        EXPECT_EQ(f.Out(), (Disk{{"Root", "<dir>"}, {"Root/good.txt", "g"}}));
        EXPECT_EQ(f.host.messages.back().text, CopyReport(2, 1));
    }
}

// The copy reads each item at its own path: the status record's copy of the path is cut at the
// save file's field size and may name a sibling sharing its first bytes. While a file is being
// written nothing stands under its final name, so a copy killed half-way leaves no cut file there.
TEST(CopyAndRename, ReadsTheItemsPathAndPlacesAFileOnlyWhenComplete) {
    CopyFixture f;
    f.tmp.WriteFile("src/a.txt", "mine");
    f.tmp.WriteFile("src/b.txt", "sibling");
    f.tmp.MakeDir("out");
    f.LoadSrc({"a.txt"});
    AtNewNames(f.root.get(), "a.txt")->m_status.m_szFullName =
        dov::JoinPath(f.tmp / "src", "b.txt");
    // Looks at the final name whenever a block is written.
    struct Watched : dov::IFile {
        std::unique_ptr<dov::IFile> file;
        std::function<void()> look;
        long long Read(void* b, std::size_t n) override { return file->Read(b, n); }
        long long Write(const void* b, std::size_t n) override {
            look();
            return file->Write(b, n);
        }
        int Close() override { return file->Close(); }
    };
    renametest::FaultFs fs;
    std::vector<bool> finalNameTaken;
    fs.onCreateNew = [&](const std::string& p, std::unique_ptr<dov::IFile>& out) {
        auto w = std::make_unique<Watched>();
        if (int e = fs.PosixFileSystem::CreateNew(p, w->file)) return e;
        w->look = [&] { finalNameTaken.push_back(f.tmp.Exists("out/Root/a.txt")); };
        out = std::move(w);
        return 0;
    };
    dov::ScopedFileSystem scoped(&fs);
    ASSERT_EQ(dov::CopyAndRename(f.root.get(), f.tmp / "out", {}, f.host), 0);
    EXPECT_EQ(f.Out(), (Disk{{"Root", "<dir>"}, {"Root/a.txt", "mine"}}));
    EXPECT_EQ(finalNameTaken, std::vector<bool>{false});
}

TEST(CopyAndRename, NonRegularFilesFailWithoutBlocking) {
    CopyFixture f;
    f.tmp.MakeDir("src");
    ASSERT_EQ(mkfifo((f.tmp / "src/pipe").c_str(), 0644), 0);
    f.tmp.MakeDir("out");
    f.LoadSrc({"pipe"});
    ASSERT_NE(AtNewNames(f.root.get(), "pipe"), nullptr);
    ASSERT_EQ(dov::CopyAndRename(f.root.get(), f.tmp / "out", {}, f.host), 0);
    EXPECT_EQ(f.Out(), (Disk{{"Root", "<dir>"}}));
    EXPECT_EQ(f.host.messages.back().text, CopyReport(1, 1));
}

TEST(CopyAndRename, StartChecks) {
    CopyFixture f;
    f.tmp.WriteFile("src/a.txt", "a");
    f.tmp.MakeDir("out");
    // Nothing loaded: nothing happens.
    EXPECT_EQ(dov::CopyAndRename(f.root.get(), f.tmp / "out", {}, f.host), 1);
    f.LoadSrc({"a.txt"});
    // The automatic index mode asks; No stops.
    f.host.answers = {dov::MsgAnswer::No};
    EXPECT_EQ(dov::CopyAndRename(f.root.get(), f.tmp / "out", {true}, f.host), 1);
    EXPECT_EQ(f.host.messages.back().text, Sj("自動連番モードで複製改名しますがよろしいですか？"));
    // The folder choice was cancelled: no copy and no report.
    f.host.messages.clear();
    EXPECT_EQ(dov::CopyAndRename(f.root.get(), "", {}, f.host), 0);
    EXPECT_TRUE(f.host.messages.empty());
    // A forbidden character in a name.
    SetNewName(AtNewNames(f.root.get(), "a.txt"), "a|b");
    EXPECT_EQ(dov::CopyAndRename(f.root.get(), f.tmp / "out", {}, f.host), 1);
    EXPECT_EQ(f.host.messages.back().text, Sj("※　無効なファイル名があります。"));
    // ".." would leave the output folder.
    SetNewName(AtNewNames(f.root.get(), "a|b"), "..");
    EXPECT_EQ(dov::CopyAndRename(f.root.get(), f.tmp / "out", {}, f.host), 0);
    EXPECT_EQ(f.Out(), (Disk{{"Root", "<dir>"}}));
    EXPECT_FALSE(f.tmp.Exists("out/a.txt"));
}

// ---- Tree edits ------------------------------------------------------------------------

struct EditFixture {
    dovtest::TempDir tmp;
    std::unique_ptr<CMyItem> root = NewRoot();
    dovtest::RecordingHost host;
    CMyItem* Files(const std::string& folder, const std::vector<std::string>& names) {
        tmp.MakeDir(folder);
        for (const std::string& n : names) tmp.WriteFile(folder + "/" + n, n);
        Load(root.get(), tmp.path(), {folder});
        return AtNewNames(root.get(), folder);
    }
};

std::string Names(CMyItem* folder) {
    std::string s;
    for (int i = 0; i < static_cast<int>(folder->m_dwNumInFolder); ++i) {
        CMyItem* item = folder->GetSubItem(i);
        if (!s.empty()) s += ' ';
        s += item->m_strNewName;
        EXPECT_EQ(item->m_iArrayIndex, i);
        EXPECT_EQ(item->m_pParent, folder);
    }
    return s;
}

TEST(TreeEdit, NewFoldersAreNumberedAndUserMade) {
    EditFixture f;
    CMyItem* d = f.Files("d", {});
    CMyItem* a = dov::AddFoldToTree(d, f.host);
    CMyItem* b = dov::AddFoldToTree(d, f.host);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->m_strNewName, Sj("新規フォルダ_000"));
    EXPECT_EQ(b->m_strNewName, Sj("新規フォルダ_001"));
    EXPECT_TRUE(a->m_bUserMakeFold && b->m_bUserMakeFold);
    EXPECT_EQ(f.host.treeAdded, (std::vector<CMyItem*>{a, b}));
    EXPECT_EQ(dov::RemoveTreeFolder(a, f.host), d);
    EXPECT_EQ(Names(d), Sj("新規フォルダ_001"));
    EXPECT_EQ(dov::RemoveTreeFolder(f.root.get(), f.host), nullptr);
}

TEST(TreeEdit, DeletesRowsAndPicksTheNextCurrentRow) {
    EditFixture f;
    CMyItem* d = f.Files("d", {"0", "1", "2", "3", "4", "5"});
    auto r = dov::DeleteSelectListItems(d, {2, 3}, f.host);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(Names(d), "0 1 4 5");
    EXPECT_EQ(r.currentRow, 3);
    EXPECT_TRUE(r.hasCurrentItem);
    r = dov::DeleteSelectListItems(d, {0, 1, 2, 3}, f.host);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(d->m_dwNumInFolder, 0u);
    EXPECT_FALSE(r.hasCurrentItem);
    EXPECT_EQ(r.currentRow, 0);
    // A row that does not exist is an error; the deletions before it stay.
    CMyItem* e = f.Files("e", {"a", "b"});
    r = dov::DeleteSelectListItems(e, {1, 7}, f.host);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(Names(e), "a");
    EXPECT_EQ(f.host.messages.back().text, Sj("※　アイテム削除に失敗"));
}

TEST(TreeEdit, ListDropMovesTheBlock) {
    struct Case {
        std::vector<int> rows;
        int drop;
        std::string expected;
        int current;
    } cases[] = {
        {{3, 4}, 1, "a d e b c f", 1},
        {{1, 2}, 3, "a d e b c f", 3},
        {{0, 1}, 5, "c d e f a b", 4},  // past the end: the last rows
        {{2, 3}, 2, "a b c d e f", 2},
    };
    for (const Case& c : cases) {
        EditFixture f;
        CMyItem* d = f.Files("d", {"a", "b", "c", "d", "e", "f"});
        EXPECT_EQ(dov::ListDropMove(d, c.rows, c.drop, f.host), c.current);
        EXPECT_EQ(Names(d), c.expected);
    }
}

TEST(TreeEdit, ListRowsDroppedOnTheTreeMoveToTheEndOfTheTarget) {
    EditFixture f;
    f.tmp.MakeDir("d/sub/inner");
    CMyItem* d = f.Files("d", {"a", "b", "c"});
    CMyItem* t = f.Files("t", {"x"});
    d = AtNewNames(f.root.get(), "d");
    // d now holds sub (folders first), a, b, c.
    ASSERT_EQ(Names(d), "sub a b c");
    CMyItem* sub = AtNewNames(d, "sub");
    std::vector<CMyItem*> items{sub, AtNewNames(d, "b")};
    ASSERT_TRUE(dov::ItemDropToTree(t, {0, 2}, items, f.host));
    EXPECT_EQ(Names(d), "a c");
    EXPECT_EQ(Names(t), "x sub b");
    EXPECT_EQ(sub->m_iLayer, 2);
    EXPECT_EQ(AtNewNames(t, "sub/inner")->m_iLayer, 3);
    EXPECT_EQ(f.host.treeRemoved, (std::vector<CMyItem*>{sub}));
    // Empty space below the nodes means the root.
    ASSERT_TRUE(dov::ItemDropToTree(f.root.get(), {0}, {AtNewNames(d, "a")}, f.host));
    EXPECT_EQ(Names(f.root.get()), "d t a");
    EXPECT_EQ(AtNewNames(f.root.get(), "a")->m_iLayer, 1);
}

TEST(TreeEdit, RefusedDropsChangeNothing) {
    EditFixture f;
    f.tmp.MakeDir("d/sub/inner");
    CMyItem* d = f.Files("d", {"a"});
    CMyItem* sub = AtNewNames(d, "sub");
    CMyItem* inner = AtNewNames(d, "sub/inner");
    // Onto itself and into itself: refused with the message.
    EXPECT_FALSE(dov::ItemDropToTree(sub, {0}, {sub}, f.host));
    EXPECT_FALSE(dov::ItemDropToTree(inner, {0}, {sub}, f.host));
    EXPECT_EQ(f.host.messages.size(), 2u);
    // Rows that do not match their items cannot be taken out: the drop is refused.
    EXPECT_FALSE(dov::ItemDropToTree(f.root.get(), {0}, {AtNewNames(d, "a")}, f.host));
    EXPECT_EQ(Names(d), "sub a");
    EXPECT_EQ(Names(sub), "inner");
    // Tree drags: onto its own folder nothing happens, below itself is refused, without a
    // target the folder stays.
    EXPECT_FALSE(dov::TreeItemDropToTree(sub, d, f.host));
    EXPECT_FALSE(dov::TreeItemDropToTree(sub, inner, f.host));
    EXPECT_EQ(f.host.messages.back().text,
              Sj("※　ドロップ先がドラッグアイテムの子に属することは出来ません。\n"));
    EXPECT_FALSE(dov::TreeItemDropToTree(sub, nullptr, f.host));
    EXPECT_EQ(Names(d), "sub a");
    EXPECT_EQ(sub->m_pParent, d);
}

TEST(TreeEdit, TreeDragMovesTheFolderWithItsBranch) {
    EditFixture f;
    f.tmp.MakeDir("d/sub/inner");
    f.tmp.WriteFile("d/sub/f.txt", "f");
    CMyItem* d = f.Files("d", {});
    CMyItem* t = f.Files("t", {"x"});
    d = AtNewNames(f.root.get(), "d");
    CMyItem* sub = AtNewNames(d, "sub");
    ASSERT_TRUE(dov::TreeItemDropToTree(sub, t, f.host, d));
    EXPECT_EQ(Names(d), "");
    EXPECT_EQ(Names(t), "x sub");  // appended; the folder is not sorted again
    EXPECT_EQ(AtNewNames(t, "sub/inner")->m_iLayer, 3);
    EXPECT_EQ(f.host.listShown.back(), d);
    const Disk disk = Snapshot(f.tmp.path());
    EXPECT_TRUE(disk.count("d/sub/f.txt"));  // the disk is not touched
}

TEST(TreeEdit, StopDuringATreeDragDropsTheBranchFromTheTreeOnly) {
    EditFixture f;
    f.tmp.WriteFile("d/big/a.txt", "a");
    f.tmp.WriteFile("d/big/b.txt", "b");
    CMyItem* d = f.Files("d", {});
    CMyItem* t = f.Files("t", {});
    d = AtNewNames(f.root.get(), "d");
    const Disk before = Snapshot(f.tmp.path());
    f.host.stop = true;
    EXPECT_FALSE(dov::TreeItemDropToTree(AtNewNames(d, "big"), t, f.host));
    EXPECT_EQ(Names(d), "");
    EXPECT_EQ(Names(t), "");
    ASSERT_FALSE(f.host.messages.empty());
    EXPECT_EQ(f.host.messages.back().text,
              Sj("※　中止命令によりドラッグアイテムは破棄されます。\n"));
    EXPECT_EQ(Snapshot(f.tmp.path()), before);
}

}  // namespace
