// Folders replaced by links while the program works on them: nothing outside the loaded tree and
// the output folder is read, renamed, created or written; the items below such a folder fail
// with the not-found row and the run goes on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>

#include "common/codepage.h"
#include "hardening_util.h"
#include "model/item.h"
#include "rename/tree_edit.h"
#include "support/tree_support.h"

namespace {

using namespace hardtest;

const std::string kNotFound = Sj("で指定したファイルまたはパスを検出できない。");

// Moves a folder aside (to NAME.real) and puts a link to `to` under its name.
void SwapForLink(const std::string& folder, const std::string& to) {
    ASSERT_EQ(std::rename(folder.c_str(), (folder + ".real").c_str()), 0);
    ASSERT_EQ(symlink(to.c_str(), folder.c_str()), 0);
}

// t/keep/a.txt, t/sub/b.txt, t/sub/c.txt loaded; outside/ holds files named like sub's.
struct Swap : dovtest::SessionRun {
    Listing outside;

    // filled: with the tree above, loaded (else an empty temporary folder).
    explicit Swap(bool filled = true) {
        if (!filled) return;
        tmp.WriteFile("t/keep/a.txt", "a");
        tmp.WriteFile("t/sub/b.txt", "b");
        tmp.WriteFile("t/sub/c.txt", "c");
        tmp.WriteFile("outside/b.txt", "theirs b");
        tmp.WriteFile("outside/c.txt", "theirs c");
        Load({"t"});
        outside = List(tmp / "outside");
    }
    void PrefixFiles() {
        for (const char* n : {"keep/a.txt", "sub/b.txt", "sub/c.txt"}) {
            CMyItem* item = Item(std::string("t/") + n);
            SetNewName(item, "p_" + item->m_strOrgName);
        }
    }
    // A MakeDir that makes the folder and at once swaps it for a link to `to`.
    void SwapWhenMade(const std::string& suffix, const std::string& to) {
        fs.onMakeDir = [this, suffix, to](const std::string& p) {
            if (p.size() < suffix.size() ||
                p.compare(p.size() - suffix.size(), suffix.size(), suffix))
                return -1;
            const int e = fs.PosixFileSystem::MakeDir(p);
            SwapForLink(*dov::Cp932ToUtf8(p), tmp / to);
            return e;
        };
    }
};

TEST(LinkSwap, ALoadedFolderSwappedBeforeTheRenameIsNotFollowed) {
    Swap w;
    w.PrefixFiles();
    SwapForLink(w.tmp / "t/sub", w.tmp / "outside");
    const dov::Counts counts = w.s->Rename().counts;
    EXPECT_EQ(Diff(w.outside, List(w.tmp / "outside")), "");
    EXPECT_TRUE(w.tmp.Exists("t/keep/p_a.txt"));
    EXPECT_TRUE(w.tmp.Exists("t/sub.real/b.txt"));
    EXPECT_TRUE(w.tmp.Exists("t/sub.real/c.txt"));
    EXPECT_EQ(counts.failed, 2u);
    EXPECT_EQ(Count(HomeFile("DataTrace.txt"), kNotFound), 2);
}

TEST(LinkSwap, AUserMadeFolderSwappedAfterItsCreationIsNotFollowed) {
    Swap w;
    CMyItem* made = dov::AddFoldToTree(w.s->FindFolder("t"), w.host);
    ASSERT_NE(made, nullptr);
    CMyItem* sub = w.s->FindFolder("t/sub");
    ASSERT_TRUE(
        dov::ItemDropToTree(made, {0, 1}, {sub->GetSubItem(0), sub->GetSubItem(1)}, w.host));
    w.SwapWhenMade("/" + made->m_strNewName, "outside");
    EXPECT_EQ(w.s->Rename().counts.failed, 2);
    EXPECT_EQ(Diff(w.outside, List(w.tmp / "outside")), "");
    EXPECT_TRUE(w.tmp.Exists("t/sub/b.txt"));
    EXPECT_TRUE(w.tmp.Exists("t/sub/c.txt"));
    EXPECT_EQ(Count(HomeFile("DataTrace.txt"), kNotFound), 2);
}

TEST(LinkSwap, AnOutputFolderSwappedDuringACopyIsNotFollowed) {
    Swap w;
    w.tmp.MakeDir("out");
    w.tmp.MakeDir("elsewhere");
    w.SwapWhenMade("/sub", "elsewhere");
    ASSERT_EQ(w.s->CopyTo(Cp(w.tmp / "out")).outcome, dov::Outcome::Done);
    EXPECT_EQ(Diff({}, List(w.tmp / "elsewhere")), "");
    EXPECT_EQ(w.tmp.ReadFile("out/Root/t/keep/a.txt"), "a");
    EXPECT_EQ(w.LastMessage(), dovtest::CopyReport(5, 2));
}

// t/fifteen_bytes__/... down to about 4,000 bytes, with f.txt at the bottom (made through
// descriptors, as no path call reaches it); its folder chain relative to the temporary folder.
std::string MakeDeepChain(dovtest::SessionRun& r) {
    r.tmp.MakeDir("t");
    int fd = ::open((r.tmp / "t").c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_GE(fd, 0);
    std::string chain = "t";
    const int levels = (4000 - static_cast<int>(r.tmp.path().size())) / 16;
    for (int i = 0; i < levels && fd >= 0; ++i) {
        EXPECT_EQ(mkdirat(fd, "fifteen_bytes__", 0755), 0);
        const int sub = openat(fd, "fifteen_bytes__", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = sub;
        chain += "/fifteen_bytes__";
    }
    ::close(::openat(fd, "f.txt", O_WRONLY | O_CREAT | O_EXCL, 0644));
    ::close(fd);
    return chain;
}

// A folder rename that makes its contents' paths longer than PATH_MAX: each item is renamed
// and found by the log where it now is.
TEST(LinkSwap, PathsLongerThanPathMaxAreRenamedAndChecked) {
    dovtest::SessionRun r;
    const std::string chain = MakeDeepChain(r);
    const int levels = static_cast<int>(std::count(chain.begin(), chain.end(), '/'));
    std::size_t mostHandles = 0;
    r.fs.onRename = [&](const std::string&, const std::string&) {
        mostHandles = std::max(mostHandles, r.fs.OpenHandles());
        return -1;
    };
    r.Load({"t"});
    CMyItem* top = r.Item("t");
    ASSERT_NE(top, nullptr);
    ASSERT_NE(r.s->FindFolder(chain), nullptr);
    CMyItem* bottom = r.Item(chain + "/f.txt");
    ASSERT_NE(bottom, nullptr);
    SetNewName(top, "t" + std::string(200, 'x'));
    SetNewName(bottom, "g.txt");
    const dov::Counts counts = r.s->Rename().counts;
    // Every item's path changed: the top, each folder of the chain, the file.
    EXPECT_EQ(counts.ok, static_cast<unsigned>(levels + 2));
    EXPECT_EQ(counts.failed, 0u);
    EXPECT_EQ(Count(HomeFile("RenameLog.txt"), Sj("存在を確認出来ません")), 0);
    EXPECT_LE(mostHandles, 256u);       // a bounded cache, though the tree is deeper
    EXPECT_EQ(r.fs.OpenHandles(), 0u);  // released when the run ended
}

void CollectFailed(CMyItem* folder, std::set<const CMyItem*>& out) {
    for (int i = 0; i < static_cast<int>(folder->m_dwNumInFolder); ++i) {
        CMyItem* item = folder->GetSubItem(i);
        if (item->m_bRenameFailed) out.insert(item);
        if (item->m_bIsFolder) CollectFailed(item, out);
    }
}

// The preview replays the run's plan over the disk as the run reaches it: where the two could
// part, the items it predicts to fail are exactly the ones whose rename fails.
TEST(LinkSwap, ThePreviewPredictsWhatTheRunMeets) {
    struct Case {
        const char* what;
        // Makes the disk and the edits; returns the items expected to fail (by chain).
        std::function<std::vector<std::string>(Swap&)> setUp;
        int renamed;  // what the run then counts as renamed (-1: not looked at)
    };
    const std::vector<Case> cases = {
        {"paths of 4,096 bytes or more, reached through handles",
         [](Swap& w) {
             const std::string chain = MakeDeepChain(w);
             w.Load({"t"});
             SetNewName(w.Item("t"), "t" + std::string(200, 'x'));
             SetNewName(w.Item(chain + "/f.txt"), "g.txt");
             return std::vector<std::string>{};
         },
         -1},
        {"a new name that is the same name on disk (Ⅰ as 0x8754 and 0xFA4A)",
         [](Swap& w) {
             w.tmp.WriteFile("t/Ⅰ.txt", "one");
             w.Load({"t"});
             CMyItem* one = w.Item("t/Ⅰ.txt");
             EXPECT_EQ(one->m_strOrgName, "\x87\x54.txt");
             SetNewName(one, "\xFA\x4A.txt");
             return std::vector<std::string>{};
         },
         0},
        {"a loaded folder replaced by a link",
         [](Swap& w) {
             w.tmp.WriteFile("t/keep/a.txt", "a");
             w.tmp.WriteFile("t/sub/b.txt", "b");
             w.tmp.WriteFile("t/sub/c.txt", "c");
             w.tmp.WriteFile("outside/b.txt", "theirs b");
             w.Load({"t"});
             w.PrefixFiles();
             SwapForLink(w.tmp / "t/sub", w.tmp / "outside");
             return std::vector<std::string>{"t/sub/b.txt", "t/sub/c.txt"};
         },
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Swap w(false);
        std::set<const CMyItem*> expected;
        for (const std::string& chain : c.setUp(w)) expected.insert(w.Item(chain));
        std::set<const CMyItem*> predicted;
        for (const dov::Conflict& f : w.s->Check().conflicts) predicted.insert(f.item);
        EXPECT_EQ(predicted, expected);
        const dov::Counts counts = w.s->Rename().counts;
        std::set<const CMyItem*> failed;
        CollectFailed(w.s->Root(), failed);
        EXPECT_EQ(failed, expected);
        EXPECT_EQ(counts.failed, expected.size());
        if (c.renamed >= 0) {
            EXPECT_EQ(counts.ok, static_cast<unsigned>(c.renamed));
        }
    }
}

}  // namespace
