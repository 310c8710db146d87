// The depth index and the text tree drawing.
#include <gtest/gtest.h>

#include "common/paths.h"
#include "common/trace.h"
#include "model/host.h"
#include "model/item.h"
#include "rename/depth_info.h"
#include "rename/make_tree.h"
#include "rename_test_util.h"

namespace {

using dovtest::Sj;
using renametest::NewRoot;

// A sub-item just made, given its name (original and new) and path.
CMyItem* Named(CMyItem* f, const std::string& name, const std::string& path) {
    f->m_strOrgName = f->m_strNewName = name;
    f->m_strOrgPath = path;
    f->UpdateWriteName();
    return f;
}

CMyItem* AddFile(CMyItem* folder, const std::string& name, const std::string& path = {}) {
    return Named(folder->MakeSubFile(), name, path);
}

CMyItem* AddFolder(CMyItem* folder, const std::string& name, const std::string& path = {}) {
    return Named(folder->MakeSubFold(), name, path);
}

TEST(DepthIndex, CountsSeparatorsOfFullPathsOnly) {
    dovtest::TempDir tmp;
    auto root = NewRoot();
    std::string deep;
    for (int i = 0; i < 253; ++i) deep += "/d";
    struct Case {
        std::string path;
        bool ok;
        int depth;
    } cases[] = {
        {"/a.txt", true, 1},
        {"/a/b/c.txt", true, 3},
        {"a.txt", false, 0},    // no separator at all
        {"a/b.txt", false, 0},  // relative: would depend on the current directory
        {"", false, 0},
        // 表 ends in byte 0x5C; '/' inside the folder name is counted, the trail byte is not
        {"/" + Sj("表") + "/x.txt", true, 2},
        {deep, true, 253},
        {deep + "/e", false, 0},
    };
    CMyDepthInfo index;
    for (const Case& c : cases) {
        CMyItem* item = AddFile(root.get(), "x", c.path);
        std::uint8_t depth = 99;
        EXPECT_EQ(index.CheckDepthByParentPath(item, &depth), c.ok) << c.path;
        EXPECT_EQ(depth, c.depth) << c.path;
        if (c.ok) {
            EXPECT_EQ(item->m_byDepth, c.depth);
        }
        EXPECT_EQ(index.SetAndCheckItem(item), c.ok);
    }
    EXPECT_EQ(index.GetItemNum(), 4);
}

TEST(DepthIndex, UserMadeFoldersNeedALoadedFolderAbove) {
    dovtest::TempDir tmp;
    auto root = NewRoot();
    CMyDepthInfo index;
    CMyItem* top = AddFolder(root.get(), "top", "/t");
    CMyItem* made = top->MakeSubFold();
    made->m_bUserMakeFold = 1;
    std::uint8_t depth = 9;
    EXPECT_TRUE(index.CheckDepthByParentPath(made, &depth));
    EXPECT_EQ(depth, 0);

    CMyItem* underRoot = root->MakeSubFold();
    underRoot->m_bUserMakeFold = 1;
    EXPECT_FALSE(index.CheckDepthByParentPath(underRoot, &depth));
    EXPECT_NE(renametest::TraceText().find(Sj("ルート直下のユーザ作成フォルダがあります")),
              std::string::npos);

    CMyItem orphan;
    orphan.m_bUserMakeFold = 1;
    orphan.m_iLayer = 3;
    EXPECT_FALSE(index.CheckDepthByParentPath(&orphan, &depth));
    EXPECT_FALSE(index.CheckDepthByParentPath(nullptr, &depth));
    EXPECT_FALSE(index.SetAndCheckItem(nullptr));
}

// The order among equal depths is the rename order, so the exact quicksort matters.
TEST(DepthIndex, SortsLikeTheHoareQuicksort) {
    dovtest::TempDir tmp;
    auto root = NewRoot();
    struct Case {
        std::vector<std::pair<std::string, std::string>> items;  // name, path
        std::string expected;
    } cases[] = {
        {{{"A", "/x/a"}, {"B", "/b"}, {"C", "/x/c"}, {"D", "/d"}}, "DBAC"},
        {{{"A", "/a"}, {"B", "/b"}, {"C", "/c"}}, "CBA"},
        {{{"A", "/a"}}, "A"},
        {{{"A", "/a/b/c"}, {"B", "/a/b"}, {"C", "/a"}, {"D", "/a/b/c/d"}}, "CBAD"},
    };
    for (const Case& c : cases) {
        CMyDepthInfo index;
        for (auto& [name, path] : c.items)
            ASSERT_TRUE(index.SetAndCheckItem(AddFile(root.get(), name, path)));
        EXPECT_TRUE(index.SortByDepth());
        std::string order;
        for (int i = 0; i < index.GetItemNum(); ++i) order += index.GetItemADRS(i)->m_strNewName;
        EXPECT_EQ(order, c.expected);
    }
    CMyDepthInfo empty;
    EXPECT_TRUE(empty.SortByDepth());
    EXPECT_EQ(empty.GetItemADRS(0), nullptr);
}

// The plain quicksort the index must match, order among equal depths included.
void PlainQuicksort(std::vector<std::uint8_t>& d, std::vector<CMyItem*>& it, int lo, int hi) {
    while (lo < hi) {
        const std::uint8_t pivot = d[static_cast<std::size_t>((lo + hi) / 2)];
        int i = lo - 1, j = hi + 1;
        for (;;) {
            do ++i;
            while (d[static_cast<std::size_t>(i)] < pivot);
            do --j;
            while (d[static_cast<std::size_t>(j)] > pivot);
            if (i >= j) break;
            std::swap(d[static_cast<std::size_t>(i)], d[static_cast<std::size_t>(j)]);
            std::swap(it[static_cast<std::size_t>(i)], it[static_cast<std::size_t>(j)]);
        }
        PlainQuicksort(d, it, lo, i - 1);
        lo = j + 1;
    }
}

TEST(DepthIndex, OrderMatchesThePlainQuicksortAtEverySize) {
    dovtest::TempDir tmp;
    auto root = NewRoot();
    struct Case {
        int n, depths, run;  // run: items in a row of one depth
    } cases[] = {{2, 1, 1},    {4, 1, 1},   {7, 1, 1},      {64, 1, 1},   {1000, 1, 1},
                 {1001, 2, 1}, {999, 3, 7}, {2048, 2, 500}, {3001, 5, 1}, {513, 2, 1}};
    unsigned seed = 7;
    for (const Case& c : cases) {
        CMyDepthInfo index;
        std::vector<std::uint8_t> depths;
        std::vector<CMyItem*> items;
        int depth = 1;
        for (int i = 0; i < c.n; ++i) {
            seed = seed * 1103515245u + 12345u;
            if (i % c.run == 0) depth = 1 + static_cast<int>((seed >> 16) % c.depths);
            std::string path;
            for (int k = 0; k < depth; ++k) path += "/p";
            items.push_back(AddFile(root.get(), std::to_string(i), path));
            depths.push_back(static_cast<std::uint8_t>(depth));
            ASSERT_TRUE(index.SetAndCheckItem(items.back()));
        }
        PlainQuicksort(depths, items, 0, c.n - 1);
        ASSERT_TRUE(index.SortByDepth());
        for (int i = 0; i < c.n; ++i) {
            ASSERT_EQ(index.GetItemADRS(i), items[static_cast<std::size_t>(i)])
                << c.n << " items, entry " << i;
            ASSERT_EQ(index.GetDepth(i), depths[static_cast<std::size_t>(i)]);
        }
    }
}

TEST(DepthIndex, GrowsPastItsFirstBlockAndIsReusable) {
    dovtest::TempDir tmp;
    auto root = NewRoot();
    CMyDepthInfo index;
    std::vector<CMyItem*> items;
    for (int i = 0; i < 7001; ++i) {
        std::string path;
        for (int d = 0; d <= (i * 7) % 5; ++d) path += "/p";
        items.push_back(AddFile(root.get(), std::to_string(i), path));
        ASSERT_TRUE(index.SetAndCheckItem(items.back()));
    }
    index.SortByDepth();
    ASSERT_EQ(index.GetItemNum(), 7001);
    std::multiset<CMyItem*> seen;
    for (int i = 0; i < index.GetItemNum(); ++i) {
        seen.insert(index.GetItemADRS(i));
        if (i > 0) {
            EXPECT_LE(index.GetDepth(i - 1), index.GetDepth(i));
        }
        EXPECT_EQ(index.GetDepth(i), index.GetItemADRS(i)->m_byDepth);
    }
    EXPECT_EQ(seen, std::multiset<CMyItem*>(items.begin(), items.end()));
    EXPECT_EQ(index.GetItemADRS(-1), nullptr);
    EXPECT_EQ(index.GetItemADRS(7001), nullptr);
    index.ResetIndex();
    EXPECT_EQ(index.GetItemNum(), 0);
    EXPECT_EQ(index.GetItemADRS(0), nullptr);
}

// CP932 bytes of the drawing characters, spelled out so that the test does not rely on the
// conversion it checks.
const std::string kFold = "\x81\xA0", kFile = "\x81\xA1", kSp = "\x81\x40", kBar = "\x84\xAB",
                  kTee = "\x84\xB0", kEnd = "\x84\xAF", kDash = "\x84\xAA";

TEST(TextTree, DrawsTheTreeByteForByte) {
    dovtest::TempDir tmp;
    auto root = NewRoot();
    CMyItem* photo = AddFolder(root.get(), "photo");
    AddFile(photo, "a.jpg");
    AddFile(photo, "b.jpg");
    CMyItem* docs = AddFolder(root.get(), "docs");
    AddFile(docs, "c.txt");
    dovtest::RecordingHost host;
    ASSERT_TRUE(dov::TextTreeOutput(root.get(), host));
    const std::string expected =
        kFold + "Root\r\n" +                          //
        kTee + kDash + kDash + kFold + "photo\r\n" +  //
        kBar + kSp + kSp + kSp + kTee + kDash + kDash + kFile + "a.jpg\r\n" + kBar + kSp + kSp +
        kSp + kEnd + kDash + kDash + kFile + "b.jpg\r\n" + kEnd + kDash + kDash + kFold +
        "docs\r\n" +  //
        kSp + kSp + kSp + kSp + " " + kEnd + kDash + kDash + kFile + "c.txt\r\n";
    EXPECT_EQ(tmp.ReadFile("home/TextTree.txt"), expected);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, Sj("テキスト出力完了"));

    // A branch is drawn from its own level; a folder without sub-items is one line.
    ASSERT_TRUE(dov::TextTreeOutput(docs, host));
    EXPECT_EQ(tmp.ReadFile("home/TextTree.txt"),
              kFold + "docs\r\n" + kEnd + kDash + kDash + kFile + "c.txt\r\n");
    CMyItem* empty = AddFolder(docs, Sj("空"));
    ASSERT_TRUE(dov::TextTreeOutput(empty, host));
    EXPECT_EQ(tmp.ReadFile("home/TextTree.txt"), kFold + "\x8B\xF3\r\n");
}

TEST(TextTree, KeepsBarsOfOpenFoldersAcrossDeeperLevels) {
    dovtest::TempDir tmp;
    auto root = NewRoot();
    CMyItem* a = AddFolder(root.get(), "a");
    CMyItem* b = AddFolder(a, "b");  // last in a
    AddFile(b, "x");
    AddFile(root.get(), "z");
    // The pre-rename dump uses the names on disk.
    a->m_strNewName = "new-a";
    ASSERT_TRUE(dov::WritePreRenameTree(root.get()));
    const std::string open = kBar + kSp + kSp + kSp, closed = kSp + kSp + kSp + kSp + " ";
    EXPECT_EQ(dovtest::ReadNative(dov::ProgramFolderNative() + "/PreRenameTree.txt"),
              kFold + "Root\r\n" + kTee + kDash + kDash + kFold + "a\r\n" + open + kEnd + kDash +
                  kDash + kFold + "b\r\n" + open + closed + kEnd + kDash + kDash + kFile + "x\r\n" +
                  kEnd + kDash + kDash + kFile + "z\r\n");
}

// A line break inside a name is written as CR LF, like the line's own end; a name shown
// through m_fnShowName is drawn as shown.
TEST(TextTree, WritesLineBreaksInNamesAsCrLf) {
    dovtest::TempDir tmp;
    auto root = NewRoot();
    AddFile(root.get(), "a\nb");
    ASSERT_TRUE(dov::WritePreRenameTree(root.get()));
    EXPECT_EQ(dovtest::ReadNative(dov::ProgramFolderNative() + "/PreRenameTree.txt"),
              kFold + "Root\r\n" + kEnd + kDash + kDash + kFile + "a\r\nb\r\n");
    CMyMakeTree tree;
    tree.m_fnShowName = [](const std::string& name) { return "<" + name + ">"; };
    ASSERT_TRUE(tree.MakeTree(root.get(), tmp / "t.txt", false));
    EXPECT_EQ(tmp.ReadFile("t.txt"),
              kFold + "<Root>\r\n" + kEnd + kDash + kDash + kFile + "<a\r\nb>\r\n");
}

TEST(TextTree, RefusesWhatItCannotDraw) {
    dovtest::TempDir tmp;
    dovtest::RecordingHost host;
    EXPECT_FALSE(dov::TextTreeOutput(nullptr, host));
    EXPECT_TRUE(host.messages.empty());
    auto root = NewRoot();
    CMyMakeTree tree;
    EXPECT_FALSE(tree.MakeTree(root.get(), "", false));
    // An unwritable target fails with the message.
    EXPECT_FALSE(tree.MakeTree(root.get(), tmp / "no/such/folder/t.txt", false));
}

}  // namespace
