#include "model/loader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/trace.h"
#include "model/item.h"
#include "model/parts_array.h"
#include "model/sortorder.h"
#include "support/test_support.h"
#include "support/tree_support.h"

namespace {

using dovtest::Sj;

// ---- the fast orders against the plain algorithms ------------------------------------------

struct Elem {
    int key;
    int id;  // to tell equal keys apart
    bool folder;
};

std::vector<Elem> PlainSelection(std::vector<Elem> v, bool descending) {
    const int n = static_cast<int>(v.size());
    for (int p = 0; p + 1 < n; ++p) {
        int m = p;
        for (int j = p + 1; j < n; ++j) {
            if (descending ? v[j].key > v[m].key : v[j].key < v[m].key) m = j;
        }
        std::swap(v[p], v[m]);
    }
    return v;
}

std::vector<Elem> PlainFoldersFirst(std::vector<Elem> v) {
    const int n = static_cast<int>(v.size());
    for (int i = 0; i < n; ++i) {
        if (v[i].folder) continue;
        int j = i + 1;
        while (j < n && !v[j].folder) ++j;
        if (j >= n) break;
        std::swap(v[i], v[j]);
    }
    return v;
}

bool Same(const std::vector<Elem>& a, const std::vector<Elem>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].id != b[i].id) return false;
    }
    return true;
}

TEST(SortOrder, SelectionSortSwapsGiveThePlainOrderWithManyEqualKeys) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 3000; ++round) {
        const int n = static_cast<int>(rng() % 40);
        const int keys = 1 + static_cast<int>(rng() % 5);  // few distinct keys: many ties
        const bool descending = rng() % 2;
        std::vector<Elem> v(n);
        for (int i = 0; i < n; ++i) v[i] = {static_cast<int>(rng() % keys), i, false};
        if (round % 4 == 0) {  // already in order (a listing that comes sorted)
            std::sort(v.begin(), v.end(), [&](const Elem& a, const Elem& b) {
                return descending ? a.key > b.key : a.key < b.key;
            });
            for (int i = 0; i < n; ++i) v[i].id = i;
        }
        const std::vector<Elem> keysAtStart = v;
        std::vector<Elem> fast = v;
        int swaps = 0;
        dov::SelectionSortSwaps(
            n,
            [&](int a, int b) {
                return descending ? keysAtStart[a].key > keysAtStart[b].key
                                  : keysAtStart[a].key < keysAtStart[b].key;
            },
            [&](int p, int m) {
                ASSERT_LT(p, m);
                std::swap(fast[p], fast[m]);
                ++swaps;
            });
        ASSERT_TRUE(Same(fast, PlainSelection(v, descending))) << "round " << round;
        ASSERT_LE(swaps, std::max(0, n - 1));
    }
}

TEST(SortOrder, FoldersFirstSweepGivesThePlainOrder) {
    std::mt19937 rng(777);
    for (int round = 0; round < 3000; ++round) {
        const int n = static_cast<int>(rng() % 30);
        const unsigned folderShare = rng() % 5;
        std::vector<Elem> v(n);
        for (int i = 0; i < n; ++i) v[i] = {0, i, rng() % 4 < folderShare};
        std::vector<Elem> fast = v;
        dov::FoldersFirstSwaps(
            n, [&](int p) { return fast[p].folder; },
            [&](int p, int m) { std::swap(fast[p], fast[m]); });
        ASSERT_TRUE(Same(fast, PlainFoldersFirst(v))) << "round " << round;
    }
}

TEST(SortOrder, LargeInputFinishesAndIsSorted) {
    const int n = 200000;
    std::vector<int> key(n), cur(n);
    for (int i = 0; i < n; ++i) key[i] = (i * 7919) % 1000;
    for (int i = 0; i < n; ++i) cur[i] = i;
    dov::SelectionSortSwaps(
        n, [&](int a, int b) { return key[a] < key[b]; },
        [&](int p, int m) { std::swap(cur[p], cur[m]); });
    for (int i = 1; i < n; ++i) ASSERT_LE(key[cur[i - 1]], key[cur[i]]);
}

// ---- loading from disk ----------------------------------------------------------------------

struct LoadFixture : dovtest::TreeFixture {
    dov::CItemLoader loader{host, trace};

    dov::EntryInfo Entry(const std::string& rel) const {
        dov::EntryInfo e;
        EXPECT_EQ(dov::Fs().Stat(tmp / rel, e), 0) << rel;
        return e;
    }
    dov::CItemLoader::LoadResult Load(const std::vector<std::string>& rels) {
        std::vector<dov::EntryInfo> picked;
        for (const auto& r : rels) picked.push_back(Entry(r));
        return loader.LoadPickedEntries(root.get(), tmp.path(), picked);
    }
};

std::vector<std::string> NewNames(const CMyItem* folder) {
    std::vector<std::string> out;
    for (int i = 0; i < static_cast<int>(folder->m_dwNumInFolder); ++i)
        out.push_back(folder->m_pArray->GetAt(i)->m_strNewName);
    return out;
}

std::vector<int> Kinds(const CMyItem* folder) {
    std::vector<int> out;
    for (int i = 0; i < static_cast<int>(folder->m_dwNumInFolder); ++i)
        out.push_back(folder->m_pArray->GetAt(i)->m_iKindIndex);
    return out;
}

TEST(Loader, FolderLoadsFoldersFirstEachGroupByNameIgnoringCase) {
    LoadFixture f;
    f.tmp.WriteFile("top/B.txt", "bb");
    f.tmp.WriteFile("top/a.txt", "a");
    f.tmp.MakeDir("top/C");
    f.tmp.MakeDir("top/b/inner");
    auto r = f.Load({"top"});
    EXPECT_EQ(r.added, 1);
    ASSERT_EQ(f.root->m_dwNumInFolder, 1u);
    CMyItem* top = f.root->GetSubItem(0);
    EXPECT_EQ(NewNames(top), (std::vector<std::string>{"b", "C", "a.txt", "B.txt"}));
    EXPECT_EQ(Kinds(top), (std::vector<int>{0, 1, 0, 1}));
    EXPECT_EQ(top->m_iFoldNum, 2);
    EXPECT_EQ(top->m_iFileNum, 2);
    CMyItem* b = top->GetSubItem(0);
    EXPECT_EQ(b->m_strWriteName, "000_b");
    EXPECT_EQ(b->m_iLayer, 2);
    EXPECT_EQ(b->m_strOrgPath, f.tmp.path() + "/top/b");
    EXPECT_EQ(b->m_strParentPath, f.tmp.path() + "/top");
    EXPECT_EQ(b->m_findData.dwFileAttributes, dov::kAttrDirectory);
    const CMyItem* bigB = top->GetSubItem(3);
    EXPECT_EQ(bigB->m_dwSizeLow, 2u);
    EXPECT_EQ(bigB->m_iOrgNameLen, 5);
    EXPECT_EQ(bigB->m_strOrgExt, "txt");
    EXPECT_EQ(bigB->m_status.m_szFullName, f.tmp.path() + "/top/B.txt");
    EXPECT_EQ(bigB->m_findData.dwFileAttributes, 0u);
    // Tree nodes: the picked folder, then its folders depth first; the list shows the target.
    ASSERT_EQ(f.host.treeAdded.size(), 4u);
    EXPECT_EQ(f.host.treeAdded[0], top);
    EXPECT_EQ(f.host.treeAdded[1], b);
    EXPECT_EQ(f.host.treeAdded[2], b->GetSubItem(0));
    EXPECT_EQ(f.host.treeAdded[3], top->GetSubItem(1));
    EXPECT_EQ(f.host.listShown, std::vector<CMyItem*>{f.root.get()});
    EXPECT_FALSE(f.loader.m_bLoading);
    EXPECT_TRUE(f.host.messages.empty());
}

// The listing's order (which the disk decides) changes neither the items' order nor their
// numbers; without two names the sort takes as equal, the items are made in their sorted order
// (so they lie in memory in the order the tree is walked).
TEST(Loader, ListingOrderChangesNeitherOrderNorNumbers) {
    struct Permuted : dov::PosixFileSystem {
        std::function<void(std::vector<dov::EntryInfo>&)> permute;
        int ListDirUnless(const std::string& path, std::vector<dov::EntryInfo>& out,
                          const std::function<bool()>& stop) override {
            const int err = PosixFileSystem::ListDirUnless(path, out, stop);
            if (err == 0) permute(out);
            return err;
        }
    };
    const struct {
        const char* name;
        std::function<void(std::vector<dov::EntryInfo>&)> permute;
    } orders[] = {
        {"sorted",
         [](auto& v) {
             std::sort(v.begin(), v.end(), [](auto& a, auto& b) { return a.name < b.name; });
         }},
        {"reversed",
         [](auto& v) {
             std::sort(v.begin(), v.end(), [](auto& a, auto& b) { return a.name > b.name; });
         }},
        {"shuffled", [](auto& v) { std::shuffle(v.begin(), v.end(), std::mt19937(7)); }},
    };
    for (const bool twins : {false, true}) {
        for (const auto& order : orders) {
            SCOPED_TRACE(std::string(order.name) + (twins ? ", with Q.txt beside q.txt" : ""));
            LoadFixture f;
            for (const char* n : {"d/k.txt", "d/b.txt", "d/q.txt", "d/A.txt", "d/z9", "d/z10"})
                f.tmp.WriteFile(n);
            if (twins) f.tmp.WriteFile("d/Q.txt");
            f.tmp.MakeDir("d/y");
            f.tmp.MakeDir("d/C");
            std::vector<std::string> listed;  // the names in the order the listing gives them
            Permuted fs;
            fs.permute = [&](std::vector<dov::EntryInfo>& v) {
                order.permute(v);
                for (const auto& e : v) listed.push_back(e.name);
            };
            dov::ScopedFileSystem scope(&fs);
            f.Load({"d"});
            const CMyItem* d = f.root->GetSubItem(0);
            std::vector<std::string> names = NewNames(d);
            // The two equal names stay in whichever order the listing had them.
            if (twins && names.size() > 6) std::sort(names.begin() + 5, names.begin() + 7);
            std::vector<std::string> expected{"C",     "y",     "A.txt", "b.txt",
                                              "k.txt", "q.txt", "z10",   "z9"};
            if (twins) expected.insert(expected.begin() + 5, "Q.txt");
            EXPECT_EQ(names, expected);
            for (int i = 0; i < static_cast<int>(d->m_dwNumInFolder); ++i) {
                const CMyItem* it = d->m_pArray->GetAt(i);
                const auto at = std::find(listed.begin(), listed.end(), it->m_strOrgName);
                EXPECT_EQ(it->m_iAddOrder, at - listed.begin() + 1) << it->m_strOrgName;
                EXPECT_EQ(it->m_iArrayIndex, i);
                if (!twins && i > 0) {
                    EXPECT_LT(d->m_pArray->GetAt(i - 1), it) << it->m_strOrgName;
                }
            }
        }
    }
}

TEST(Loader, PickedEntriesKeepTheirOrderAfterExistingItems) {
    LoadFixture f;
    f.tmp.WriteFile("z.txt");
    f.tmp.MakeDir("m");
    f.tmp.WriteFile("m/y");
    f.tmp.WriteFile("m/x");
    f.tmp.WriteFile("a.txt");
    f.root->MakeSubFile()->m_strNewName = "existing";
    f.Load({"z.txt", "m", "a.txt"});
    EXPECT_EQ(NewNames(f.root.get()),
              (std::vector<std::string>{"existing", "z.txt", "m", "a.txt"}));
    EXPECT_EQ(NewNames(f.root->GetSubItem(2)), (std::vector<std::string>{"x", "y"}));
}

TEST(Loader, NameColumnDirectionAfterALoad) {
    LoadFixture f;
    f.tmp.WriteFile("d/a");
    f.tmp.WriteFile("d/c");
    f.tmp.WriteFile("d/B");
    f.Load({"d"});
    CMyItem* d = f.root->GetSubItem(0);
    EXPECT_EQ(f.loader.m_iSortFlag[0], 0);  // the load sorted ascending
    f.loader.SortSubItems(d, dov::kColNewName);
    EXPECT_EQ(NewNames(d), (std::vector<std::string>{"c", "B", "a"}));
    EXPECT_EQ(Kinds(d), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(d->GetSubItem(0)->m_strWriteName, "000_c");
    f.loader.SortSubItems(d, dov::kColNewName);
    EXPECT_EQ(NewNames(d), (std::vector<std::string>{"a", "B", "c"}));

    // With no load before it, the first click sorts ascending.
    dov::CItemLoader fresh(f.host, f.trace);
    f.loader.SortSubItems(d, dov::kColNewName);  // descending again
    fresh.SortSubItems(d, dov::kColNewName);
    EXPECT_EQ(NewNames(d), (std::vector<std::string>{"a", "B", "c"}));
}

TEST(Loader, ExtensionRule) {
    const std::pair<const char*, const char*> cases[] = {
        {".profile", ""},   {"a.tar.gz", "gz"}, {"a.html5x", ""}, {"a.", ""},
        {"a.html", "html"}, {"noext", ""},      {"b.c", "c"},
    };
    for (const auto& [name, ext] : cases) EXPECT_EQ(dov::OrgExtOf(name), ext) << name;
    // A dot inside a double-byte character is not a dot: 0x81 0x2E is not valid, but the
    // trail byte of "表" (0x95 0x5C) next to a real dot must not move the split.
    EXPECT_EQ(dov::OrgExtOf(Sj("表.表")), Sj("表"));
}

TEST(Loader, SymlinkLoopLoadsAsFileAndVanishedEntriesAreCounted) {
    LoadFixture f;
    f.tmp.WriteFile("d/ok.txt");
    f.tmp.WriteFile("d/caf\xC3\xA9.txt");  // é: CP932 cannot hold it, a pair does
    ASSERT_EQ(symlink(".", (f.tmp / "d/loop").c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent/x", (f.tmp / "d/dangling").c_str()), 0);
    f.Load({"d"});
    CMyItem* d = f.root->GetSubItem(0);
    const std::string cafe = *dov::Utf8ToCp932("caf\xC3\xA9.txt");
    EXPECT_EQ(NewNames(d), (std::vector<std::string>{cafe, "dangling", "loop", "ok.txt"}));
    EXPECT_FALSE(d->GetSubItem(2)->m_bIsFolder);
    EXPECT_EQ(d->m_iFoldNum, 0);

    // Picked directly, an entry gone since the listing is dropped with the failure count.
    std::vector<dov::EntryInfo> listing;
    ASSERT_EQ(dov::Fs().ListDir(f.tmp.path() + "/d", listing), 0);
    std::vector<dov::EntryInfo> picked;
    for (auto& e : listing) {
        if (e.name == cafe || e.name == "ok.txt") picked.push_back(e);
    }
    ASSERT_EQ(picked.size(), 2u);
    ASSERT_EQ(::unlink((f.tmp / "d/caf\xC3\xA9.txt").c_str()), 0);
    auto r = f.loader.LoadPickedEntries(f.root.get(), f.tmp.path() + "/d", picked);
    EXPECT_EQ(r.removed, 1);
    EXPECT_EQ(r.added, 1);
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].text, Sj("1個のファイル情報の取得に失敗"));
    EXPECT_NE(f.TraceText().find("RemovedNum[1] FileName[" + f.tmp.path() + "/d/" + cafe + "]"),
              std::string::npos);
}

TEST(Loader, VanishedPickedEntryIsDroppedBeforeLoading) {
    LoadFixture f;
    f.tmp.WriteFile("keep");
    f.tmp.WriteFile("gone");
    std::vector<dov::EntryInfo> picked{f.Entry("gone"), f.Entry("keep")};
    std::filesystem::remove(f.tmp / "gone");
    auto r = f.loader.LoadPickedEntries(f.root.get(), f.tmp.path(), picked);
    EXPECT_EQ(r.removed, 1);
    EXPECT_EQ(NewNames(f.root.get()), std::vector<std::string>{"keep"});
    EXPECT_NE(f.TraceText().find("ArrayIndex[0] RemovedNum[1]"), std::string::npos);
}

TEST(Loader, SetItemInfoFillsRootEntriesAndKeepsVanishedItems) {
    LoadFixture f;
    const std::string top = f.tmp.path().substr(0, f.tmp.path().find('/', 1));  // e.g. "/tmp"
    CMyItem* item = f.root->MakeSubFold();
    dov::FindData fd;
    fd.cFileName = top.substr(1);
    fd.dwFileAttributes = 0x10 | 0x01 | 0x20;
    ASSERT_EQ(f.loader.SetItemInfo(fd, "/", item), 0);
    EXPECT_EQ(item->m_strOrgPath, top);
    EXPECT_EQ(item->m_strParentPath, "");
    EXPECT_EQ(item->m_findData.dwFileAttributes, 0x10u);

    CMyItem* ghost = f.root->MakeSubFile();
    fd.cFileName = "no-such-file";
    EXPECT_EQ(f.loader.SetItemInfo(fd, f.tmp.path(), ghost), -1);
    EXPECT_EQ(ghost->m_strOrgName, "");
    EXPECT_EQ(ghost->m_findData.cFileName, "no-such-file");
    EXPECT_EQ(f.root->m_dwNumInFolder, 2u);
    EXPECT_NE(f.TraceText().find(Sj("のファイルは存在しません")), std::string::npos);

    EXPECT_TRUE(f.loader.CheckFoldIsRoot("/"));
    EXPECT_FALSE(f.loader.CheckFoldIsRoot("/a"));
    EXPECT_FALSE(f.loader.CheckFoldIsRoot("a/b"));
    EXPECT_NE(f.TraceText().find(Sj("カレントディレクトリデータが異常")), std::string::npos);
}

TEST(Loader, StopEndsAfterTheCurrentEntryAndKeepsWhatWasAdded) {
    LoadFixture f;
    for (int i = 0; i < 6; ++i) f.tmp.WriteFile("d/f" + std::to_string(i));
    f.host.stopAfterPolls = 2;  // the third entry read is the last
    auto r = f.Load({"d"});
    EXPECT_TRUE(r.stopped);
    CMyItem* d = f.root->GetSubItem(0);
    EXPECT_EQ(d->m_dwNumInFolder, 3u);
    EXPECT_EQ(f.host.listShown.size(), 1u);

    LoadFixture q;
    q.tmp.WriteFile("d/f");
    q.host.quit = true;
    auto rq = q.Load({"d"});
    EXPECT_TRUE(rq.quit);
    EXPECT_TRUE(q.host.listShown.empty());  // closing: the list is not filled
}

TEST(Loader, Compare64BitData) {
    auto fd = [](std::uint32_t hi, std::uint32_t lo) {
        dov::FindData d;
        d.nFileSizeHigh = hi;
        d.nFileSizeLow = lo;
        return d;
    };
    const struct {
        dov::FindData a, b;
        int want;
    } cases[] = {
        {fd(0, 1), fd(0, 2), -1},         {fd(1, 0), fd(0, 0xFFFFFFFF), 1},
        {fd(0x80000000, 0), fd(1, 0), 1},  // unsigned halves
        {fd(0, 0x80000000), fd(0, 1), 1}, {fd(7, 7), fd(7, 7), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(dov::Compare64BitData(&c.a, &c.b), c.want);
    dovtest::TempDir tmp;
    EXPECT_EQ(dov::Compare64BitData(nullptr, &cases[0].b, dov::DefaultTracePath()), 0);
}

// ---- sorting a folder against the plain algorithm -------------------------------------------

// The folder sort done the slow, obvious way on a copy of the order.
struct PlainSorter {
    std::array<int, 4> flag{1, 1, 1, 1};
    bool loading = false;

    static void Select(std::vector<CMyItem*>& v, int top, int end,
                       const std::function<bool(CMyItem*, CMyItem*)>& better) {
        for (int p = top; p < end; ++p) {
            int m = p;
            for (int j = p + 1; j <= end; ++j) {
                if (better(v[j], v[m])) m = j;
            }
            std::swap(v[p], v[m]);
        }
    }
    std::vector<CMyItem*> Sort(std::vector<CMyItem*> v, int col) {
        const int n = static_cast<int>(v.size());
        if (n == 0) return v;  // an empty folder is left alone, flags included
        for (int i = 0; i < n; ++i) {
            if (v[i]->m_bIsFolder) continue;
            int j = i + 1;
            while (j < n && !v[j]->m_bIsFolder) ++j;
            if (j >= n) break;
            std::swap(v[i], v[j]);
        }
        int f = 0;
        while (f < n && v[f]->m_bIsFolder) ++f;
        Select(v, f, n - 1,
               [](CMyItem* a, CMyItem* b) { return a->m_iKindIndex < b->m_iKindIndex; });
        auto name = [](bool asc) {
            return [asc](CMyItem* a, CMyItem* b) {
                const int c = dov::CompareNameNoCase(a->m_strNewName, b->m_strNewName);
                return asc ? c < 0 : c > 0;
            };
        };
        if (col == 0) {
            const bool asc = flag[0] == 1 || loading;
            flag[0] = asc ? 0 : 1;
            if (f >= 2) Select(v, 0, f - 1, name(asc));
            if (n - f >= 2) Select(v, f, n - 1, name(asc));
        } else if (col == 3) {
            const bool asc = flag[3] == 1;
            flag[3] = asc ? 0 : 1;
            if (n - f >= 2) {
                Select(v, f, n - 1, [asc](CMyItem* a, CMyItem* b) {
                    const int c = dov::Compare64BitData(&a->m_findData, &b->m_findData);
                    return asc ? c < 0 : c > 0;
                });
            }
        } else {
            flag[col] = flag[col] == 1 ? 0 : 1;
        }
        return v;
    }
};

TEST(Loader, SortSubItemsMatchesThePlainSelectionSortsWithManyTies) {
    dovtest::TempDir tmp;
    dovtest::RecordingHost host;
    std::mt19937 rng(2024);
    // Short names, and long ones that differ only past their first eight bytes (a NUL byte too).
    const std::string names[] = {"a",
                                 "A",
                                 "b",
                                 "B",
                                 "ab",
                                 "aB",
                                 "",
                                 "_",
                                 "\x82\xA0",
                                 "\x82\xA0x",
                                 "0123456789",
                                 "01234567890",
                                 "01234567ab",
                                 "01234567AB",
                                 "01234567",
                                 std::string("01234567\0", 9),
                                 std::string("ab\0", 3)};
    for (int round = 0; round < 300; ++round) {
        auto root = MakeRootItem(dov::DefaultTracePath(), true);
        // Some folders large enough for the sort by bytes.
        const int n = static_cast<int>(round % 8 == 7 ? 64 + rng() % 100 : rng() % 25);
        for (int i = 0; i < n; ++i) {
            CMyItem* it = rng() % 3 == 0 ? root->MakeSubFold() : root->MakeSubFile();
            ASSERT_NE(it, nullptr);
            // Every other round the names share a prefix.
            it->m_strNewName =
                (round % 2 ? "Shared_prefix_" : "") + names[rng() % std::size(names)];
            // Some folders listed in exactly the reverse order.
            if (round % 8 == 3) it->m_strNewName = "n" + std::to_string(900 - i);
            it->m_findData.nFileSizeLow = rng() % 3;
            it->m_findData.nFileSizeHigh = rng() % 2;
            if (rng() % 4 == 0) it->m_iKindIndex = static_cast<int>(rng() % 3);  // duplicates
        }
        dov::CItemLoader loader(host, dov::DefaultTracePath());
        PlainSorter plain;
        for (int step = 0; step < 6; ++step) {
            const int col = static_cast<int>(rng() % 5);  // 4 counts as 0
            std::vector<CMyItem*> before;
            for (int i = 0; i < n; ++i) before.push_back(root->m_pArray->GetAt(i));
            const auto want = plain.Sort(before, col == 4 ? 0 : col);
            loader.SortSubItems(root.get(), col);
            for (int i = 0; i < n; ++i) {
                ASSERT_EQ(root->m_pArray->GetAt(i), want[i])
                    << "round " << round << " step " << step;
                ASSERT_EQ(root->m_pArray->GetAt(i)->m_iArrayIndex, i);
            }
            // The plain sorter renumbers the same way so the next step starts equal.
            ASSERT_EQ(loader.m_iSortFlag, plain.flag);
        }
    }
}

}  // namespace

namespace {

TEST(NaturalOrder, DigitRunsCompareByValueInEitherWidth) {
    const struct {
        const char* a;  // UTF-8
        const char* b;
        int sign;
    } cases[] = {
        {"第２話", "第１０話", -1}, {"第2話", "第１０話", -1}, {"第１０話", "第9話", 1},
        {"a2", "a10", -1},          {"a02", "a2", -1},         {"A2b", "a2B", 0},
        {"x1y2", "x1y10", -1},      {"file", "file1", -1},     {"1", "a", -1},
        {"ｶﾞ1", "ｶﾞ01", 1},         {"007", "7", -1},          {"b", "B", 0},
    };
    for (const auto& c : cases) {
        const int got = dov::CompareNatural(dovtest::Sj(c.a), dovtest::Sj(c.b));
        EXPECT_EQ((got > 0) - (got < 0), c.sign) << c.a << " vs " << c.b;
        const int back = dov::CompareNatural(dovtest::Sj(c.b), dovtest::Sj(c.a));
        EXPECT_EQ((back > 0) - (back < 0), -c.sign) << c.b << " vs " << c.a;
    }
}

}  // namespace
