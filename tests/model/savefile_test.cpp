#include "model/savefile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "common/archive.h"
#include "common/fs.h"
#include "common/trace.h"
#include "model/item.h"
#include "model/loader.h"
#include "model/parts_array.h"
#include "support/fake_fs.h"
#include "support/test_support.h"
#include "support/tree_support.h"

namespace {

using dov::CArchive;
using dovtest::Sj;

struct SaveFixture : dovtest::TreeFixture {
    dov::CSaveDataFile save{host, trace};
    std::string Path(const std::string& rel) const { return tmp / rel; }
    // Writes raw bytes as a save file and opens it into a new tree.
    int OpenBytes(const std::string& bytes) {
        // A new name each time: truncating a file that holds data is slow on some disks.
        const std::string name = "in" + std::to_string(files++) + ".dvt";
        tmp.WriteFile(name, bytes);
        return save.Open(root, Path(name));
    }
    int files = 0;
    bool IsFreshRoot() const {
        return root && root->m_bIsFolder && root->m_pArray && root->m_dwNumInFolder == 0 &&
               root->m_strNewName == "Root";
    }
};

// A tree loaded from disk: d/{sub1/{x.txt, y}, sub2/, a.txt, B.dat}, e.txt, with some edits.
void BuildTree(SaveFixture& f) {
    f.tmp.WriteFile("src/d/sub1/x.txt", "12345");
    f.tmp.WriteFile("src/d/sub1/y");
    f.tmp.MakeDir("src/d/sub2");
    f.tmp.WriteFile("src/d/a.txt", "a");
    f.tmp.WriteFile("src/d/B.dat", std::string(300, 'b'));
    f.tmp.WriteFile("src/e.txt");
    dov::CItemLoader loader(f.host, f.trace);
    std::vector<dov::EntryInfo> picked(2);
    ASSERT_EQ(dov::Fs().Stat(f.tmp / "src/d", picked[0]), 0);
    ASSERT_EQ(dov::Fs().Stat(f.tmp / "src/e.txt", picked[1]), 0);
    loader.LoadPickedEntries(f.root.get(), f.tmp / "src", picked);
    CMyItem* d = f.root->GetSubItem(0);
    d->GetSubItem(2)->m_strNewName = Sj("新しい名前.txt");
    d->GetSubItem(2)->UpdateWriteName();
    d->m_iSpare3 = 7;
    d->m_strSpare = "spare";
    d->m_dwSpare7 = 0xDEADBEEF;
    d->m_status.m_padding = 0x5A;
    d->m_findData.dwReserved1 = 42;
    d->m_findData.cAlternateFileName = "D~1";
    f.root->GetSubItem(1)->m_bUserMakeFold = 1;
    f.host.treeAdded.clear();
    f.host.listShown.clear();
}

void ExpectSameTree(const CMyItem& a, const CMyItem& b, const std::string& where) {
    SCOPED_TRACE(where + "/" + a.m_strNewName);
    EXPECT_EQ(a.m_bIsFolder, b.m_bIsFolder);
    EXPECT_EQ(a.m_dwNumInFolder, b.m_dwNumInFolder);
    EXPECT_EQ(a.m_iFileNum, b.m_iFileNum);
    EXPECT_EQ(a.m_iFoldNum, b.m_iFoldNum);
    EXPECT_EQ(a.m_iKindIndex, b.m_iKindIndex);
    EXPECT_EQ(a.m_iLayer, b.m_iLayer);
    EXPECT_EQ(a.m_iAddOrder, b.m_iAddOrder);
    EXPECT_EQ(a.m_iOrgNameLen, b.m_iOrgNameLen);
    EXPECT_EQ(a.m_strNewName, b.m_strNewName);
    EXPECT_EQ(a.m_strOrgName, b.m_strOrgName);
    EXPECT_EQ(a.m_strWriteName, b.m_strWriteName);
    EXPECT_EQ(a.m_strOrgPath, b.m_strOrgPath);
    EXPECT_EQ(a.m_strParentPath, b.m_strParentPath);
    EXPECT_EQ(a.m_strOrgExt, b.m_strOrgExt);
    EXPECT_EQ(a.m_strSpare, b.m_strSpare);
    EXPECT_EQ(a.m_iSpare3, b.m_iSpare3);
    EXPECT_EQ(a.m_dwSpare7, b.m_dwSpare7);
    EXPECT_EQ(a.m_bUserMakeFold, b.m_bUserMakeFold);
    EXPECT_EQ(a.m_findData, b.m_findData);
    EXPECT_EQ(a.m_status.m_szFullName, b.m_status.m_szFullName);
    EXPECT_EQ(a.m_status.m_mtime, b.m_status.m_mtime);
    EXPECT_EQ(a.m_status.m_padding, b.m_status.m_padding);
    if (!a.m_pArray || !b.m_pArray) {
        EXPECT_EQ(a.m_pArray == nullptr, b.m_pArray == nullptr);
        return;
    }
    for (int i = 0; i < static_cast<int>(a.m_dwNumInFolder); ++i) {
        const CMyItem* x = a.m_pArray->GetAt(i);
        const CMyItem* y = b.m_pArray->GetAt(i);
        ASSERT_TRUE(x && y);
        EXPECT_EQ(y->m_pParent, &b);
        EXPECT_EQ(y->m_iArrayIndex, i);
        ExpectSameTree(*x, *y, where + "/" + a.m_strNewName);
    }
}

// A record with every string empty except the status path: the shortest record there is. A
// folder is one made in the tree (it needs no path).
void RawRecord(CArchive& ar, bool folder, std::uint32_t count, const std::string& statusPath = {}) {
    ar.WriteI32(folder ? 1 : 0);
    ar.WriteU32(count);
    for (int i = 3; i <= 17; ++i) ar.WriteI32(0);
    for (int i = 18; i <= 26; ++i) ar.WriteString("");
    ar.WriteI32(folder ? 1 : 0);
    ar.WriteU8(0);
    ar.WriteU8(0);
    ar.WriteI32(0);
    ar.WriteU8(0);
    for (int i = 32; i <= 34; ++i) ar.WriteI32(0);
    ar.WriteString(statusPath);
    for (int i = 36; i <= 46; ++i) ar.WriteU32(0);
    ar.WriteString("");
    ar.WriteString("");
}

std::string Header() {
    std::string out;
    CArchive ar = CArchive::StoreTo(out);
    ar.WriteString(dov::kSaveVersionText);
    return out;
}

// Folders nested `levels` deep below the root, the deepest one empty.
std::string NestedFile(int levels) {
    std::string out = Header();
    CArchive ar = CArchive::StoreTo(out);
    RawRecord(ar, true, 1);  // the root
    for (int i = 1; i <= levels; ++i) RawRecord(ar, true, i < levels ? 1 : 0);
    return out;
}

TEST(SaveFile, RootOnlyTreeIsHeaderAndOneRecord) {
    SaveFixture f;
    ASSERT_EQ(f.save.SaveAs(*f.root, f.Path("r.dvt")), 1);
    const std::string bytes = f.tmp.ReadFile("r.dvt");
    ASSERT_GT(bytes.size(), 36u);
    EXPECT_EQ(bytes.substr(0, 28), std::string("\x1B") + "This save data version is 3");
    EXPECT_EQ(bytes.substr(28, 8), std::string("\x01\0\0\0\0\0\0\0", 8));  // folder, 0 sub-items
    std::string shortest;
    CArchive ar = CArchive::StoreTo(shortest);
    RawRecord(ar, false, 0);
    EXPECT_EQ(shortest.size(), static_cast<std::size_t>(dov::kMinRecordBytes));
    EXPECT_TRUE(f.save.m_strLoadedPath.empty());  // Save As does not make Save write there
    EXPECT_EQ(f.save.Save(*f.root), -1);
}

TEST(SaveFile, RoundTripGivesTheSameTreeAndTheSameBytes) {
    SaveFixture f;
    BuildTree(f);
    ASSERT_EQ(f.root->GetTotalItemNum(), 8);
    ASSERT_EQ(f.save.SaveAs(*f.root, f.Path("t.dvt")), 1);
    const std::string first = f.tmp.ReadFile("t.dvt");

    std::unique_ptr<CMyItem> original = std::move(f.root);
    f.root = MakeRootItem(f.trace, true);
    ASSERT_EQ(f.save.Open(f.root, f.Path("t.dvt")), 1);
    ExpectSameTree(*original, *f.root, "");
    EXPECT_EQ(f.root->m_strNewName, "Root");
    // A tree node for every folder, the root first, then depth first; the list shows the root.
    ASSERT_EQ(f.host.treeAdded.size(), 4u);
    EXPECT_EQ(f.host.treeAdded[0], f.root.get());
    EXPECT_EQ(f.host.treeAdded[1], f.root->GetSubItem(0));
    EXPECT_EQ(f.host.treeAdded[2], f.root->GetSubItem(0)->GetSubItem(0));
    EXPECT_EQ(f.host.listShown, std::vector<CMyItem*>{f.root.get()});
    EXPECT_TRUE(f.host.messages.empty());

    std::filesystem::remove(f.tmp / "t.dvt");
    ASSERT_EQ(f.save.Save(*f.root), 1);  // back to the file it came from
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].text,
              Sj("次のファイルに保存します。\n[ ") + f.Path("t.dvt") + " ]");
    EXPECT_EQ(f.tmp.ReadFile("t.dvt"), first);
}

// The stored paths must describe the tree that is shown: a file whose paths lead elsewhere
// would make a rename or a copy act on a file the tree never showed.
TEST(SaveFile, PathsThatDoNotFitTheTreeEndInTheReadErrorPath) {
    struct Case {
        const char* what;
        std::function<void(SaveFixture&, CMyItem* d)> edit;
        bool loads;
    } cases[] = {
        {"as saved", [](SaveFixture&, CMyItem*) {}, true},
        {"moved in the tree, not yet renamed",
         [](SaveFixture&, CMyItem* d) {
             CMyItem* a = d->GetSubItem(2);
             ASSERT_EQ(d->FindAndClearSubItem(a), 1);
             ASSERT_EQ(d->GetSubItem(1)->AddItem(a), 1);
         },
         true},
        {"made in the tree, not on disk",
         [](SaveFixture&, CMyItem* d) { d->GetSubItem(1)->MakeSubFold()->m_bUserMakeFold = 1; },
         true},
        {"path and status path elsewhere",
         [](SaveFixture&, CMyItem* d) {
             d->GetSubItem(2)->m_strOrgPath = "/etc/passwd";
             d->GetSubItem(2)->m_status.m_szFullName = "/etc/passwd";
         },
         false},
        // Read as a loaded entry dragged into a folder of the tree (as after a drag of an entry
        // from another folder): what a rename may reach is the disk scope's to decide.
        {"name, folder and paths all elsewhere",
         [](SaveFixture&, CMyItem* d) {
             CMyItem* a = d->GetSubItem(2);
             a->m_strOrgPath = a->m_status.m_szFullName = "/etc/passwd";
             a->m_strParentPath = "/etc";
             a->m_strOrgName = "passwd";
         },
         true},
        {"status path only",
         [](SaveFixture&, CMyItem* d) { d->GetSubItem(2)->m_status.m_szFullName = "/etc/passwd"; },
         false},
        {"dot-dot element",
         [](SaveFixture& f, CMyItem* d) {
             CMyItem* a = d->GetSubItem(2);
             a->m_strOrgPath = a->m_status.m_szFullName = f.tmp / "src/d/sub1/../a.txt";
             a->m_strParentPath = f.tmp / "src/d/sub1/..";
         },
         false},
        {"relative path",
         [](SaveFixture&, CMyItem* d) {
             CMyItem* a = d->GetSubItem(2);
             a->m_strOrgPath = a->m_status.m_szFullName = "a.txt";
             a->m_strParentPath.clear();
         },
         false},
        {"file without a path",
         [](SaveFixture&, CMyItem* d) { d->GetSubItem(2)->m_strOrgPath.clear(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SaveFixture f;
        BuildTree(f);
        c.edit(f, f.root->GetSubItem(0));
        ASSERT_EQ(f.save.SaveAs(*f.root, f.Path("t.dvt")), 1);
        EXPECT_EQ(f.save.Open(f.root, f.Path("t.dvt")), c.loads ? 1 : 0);
        EXPECT_EQ(f.IsFreshRoot(), !c.loads);
        EXPECT_EQ(f.TraceText().find(Sj("※　データセーブエラー")) != std::string::npos, !c.loads);
    }
}

// Saving over a file keeps its permissions; saving through a link replaces the link's target
// and leaves the link.
TEST(SaveFile, SavingOverAFileKeepsItsModeAndFollowsALink) {
    for (bool viaLink : {false, true}) {
        SCOPED_TRACE(viaLink);
        SaveFixture f;
        BuildTree(f);
        f.tmp.WriteFile("real/t.dvt", "old");
        ASSERT_EQ(::chmod((f.tmp / "real/t.dvt").c_str(), 0600), 0);
        std::string chosen = f.Path("real/t.dvt");
        if (viaLink) {
            ASSERT_EQ(::symlink("real/t.dvt", (f.tmp / "link.dvt").c_str()), 0);
            chosen = f.Path("link.dvt");
        }
        ASSERT_EQ(f.save.SaveAs(*f.root, chosen), 1);
        struct stat st {};
        ASSERT_EQ(::stat((f.tmp / "real/t.dvt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        EXPECT_NE(f.tmp.ReadFile("real/t.dvt"), "old");
        if (viaLink) {
            ASSERT_EQ(::lstat((f.tmp / "link.dvt").c_str(), &st), 0);
            EXPECT_TRUE(S_ISLNK(st.st_mode));
        }
    }
}

TEST(SaveFile, OtherVersionIsRefusedAndTheTreeIsFresh) {
    SaveFixture f;
    BuildTree(f);
    ASSERT_EQ(f.save.SaveAs(*f.root, f.Path("t.dvt")), 1);
    std::string bytes = f.tmp.ReadFile("t.dvt");
    bytes[27] = '2';
    EXPECT_EQ(f.OpenBytes(bytes), 1);
    EXPECT_TRUE(f.IsFreshRoot());
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].text, Sj("※　古いバージョンのセーブデータは読み込めません。\n"));
    EXPECT_NE(f.TraceText().find(Sj("古いバージョンのセーブデータは読み込めません")),
              std::string::npos);
}

TEST(SaveFile, FileCutAtEveryLengthEndsInTheReadErrorPath) {
    SaveFixture f;
    BuildTree(f);
    ASSERT_EQ(f.save.SaveAs(*f.root, f.Path("t.dvt")), 1);
    const std::string bytes = f.tmp.ReadFile("t.dvt");
    dov::TraceReset(f.trace);
    dovtest::MemFs fs;
    fs.dirs.insert("/mem");
    dov::ScopedFileSystem scope(&fs);
    for (std::size_t len = 0; len < bytes.size(); ++len) {
        fs.files["/mem/t.dvt"] = bytes.substr(0, len);
        ASSERT_EQ(f.save.Open(f.root, "/mem/t.dvt"), 0) << len;
        ASSERT_TRUE(f.IsFreshRoot()) << len;
    }
    // One read-error line per cut.
    const std::string trace = f.TraceText();
    const std::string line = Sj("※　データセーブエラー");
    std::size_t lines = 0;
    for (std::size_t p = 0; (p = trace.find(line, p)) != std::string::npos; p += line.size())
        ++lines;
    EXPECT_EQ(lines, bytes.size());
    EXPECT_TRUE(f.host.messages.empty());
    EXPECT_TRUE(f.save.m_strLoadedPath.empty());
}

TEST(SaveFile, CountsAndLengthsCannotOutgrowTheFile) {
    struct Case {
        const char* what;
        std::string bytes;
        int result;
        const char* message;  // nullptr: read-error path (trace only)
    };
    std::vector<Case> cases;
    {
        std::string b = Header();
        CArchive ar = CArchive::StoreTo(b);
        RawRecord(ar, true, 1073742);
        cases.push_back({"count over the limit", b, 0,
                         "※　セーブデータ読み込み中にエラーが出たのでクリアします\n"});
    }
    {
        std::string b = Header();
        CArchive ar = CArchive::StoreTo(b);
        RawRecord(ar, true, 1073741);
        RawRecord(ar, false, 0);
        cases.push_back({"count larger than the file", b, 0, nullptr});
    }
    {
        std::string b = Header();
        CArchive ar = CArchive::StoreTo(b);
        RawRecord(ar, true, 2);
        RawRecord(ar, true, 1073742);  // a sub-folder's count: no later record is read
        RawRecord(ar, false, 0);
        cases.push_back({"sub-folder count over the limit", b, 0,
                         "※　セーブデータ読み込み中にエラーが出たのでクリアします\n"});
    }
    {
        std::string b = Header();
        CArchive ar = CArchive::StoreTo(b);
        ar.WriteI32(0);
        ar.WriteU32(0);
        for (int i = 3; i <= 17; ++i) ar.WriteI32(0);
        b += std::string("\xFF\xFF\xFF\xF0\xFF\xFF\x7F", 7) + "short";  // a 2 GB name
        cases.push_back({"string longer than the file", b, 0, nullptr});
    }
    {
        std::string b = Header();
        CArchive ar = CArchive::StoreTo(b);
        RawRecord(ar, false, 0);
        cases.push_back({"root record of a file", b, 0, nullptr});
    }
    cases.push_back({"too deep", NestedFile(dov::kMaxSaveDepth + 1), 0, nullptr});
    cases.push_back({"deepest allowed", NestedFile(dov::kMaxSaveDepth), 1, ""});
    cases.push_back({"wide-string marker", std::string("\xFF\xFE\xFF\x1B", 4), 0, nullptr});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SaveFixture f;
        EXPECT_EQ(f.OpenBytes(c.bytes), c.result);
        if (c.result == 0) {
            EXPECT_TRUE(f.IsFreshRoot());
        }
        if (!c.message) {
            EXPECT_TRUE(f.host.messages.empty());
            EXPECT_NE(f.TraceText().find(Sj("※　データセーブエラー")), std::string::npos);
        } else if (*c.message) {
            ASSERT_EQ(f.host.messages.size(), 1u);
            EXPECT_EQ(f.host.messages[0].text, Sj(c.message));
        } else {
            EXPECT_TRUE(f.host.messages.empty());
        }
    }
}

TEST(SaveFile, DeepTreeRoundTripsAndLayersAreRebuilt) {
    SaveFixture f;
    ASSERT_EQ(f.OpenBytes(NestedFile(dov::kMaxSaveDepth)), 1);
    const CMyItem* it = f.root.get();
    int depth = 0;
    while (it->m_dwNumInFolder > 0) {
        it = it->GetSubItem(0);
        ++depth;
        ASSERT_EQ(it->m_iLayer, depth);  // stored as 0, rebuilt from the shape
    }
    EXPECT_EQ(depth, dov::kMaxSaveDepth);
    EXPECT_EQ(f.host.treeAdded.size(), static_cast<std::size_t>(dov::kMaxSaveDepth + 1));
    EXPECT_EQ(f.root->m_iFoldNum, 1);  // counts rebuilt too
    ASSERT_EQ(f.save.SaveAs(*f.root, f.Path("deep.dvt")), 1);

    // One level more is refused when saving as well: the old file stays.
    CMyItem* last = const_cast<CMyItem*>(it);
    ASSERT_NE(last->MakeSubFold(), nullptr);
    const std::string before = f.tmp.ReadFile("deep.dvt");
    EXPECT_EQ(f.save.SaveAs(*f.root, f.Path("deep.dvt")), 0);
    EXPECT_EQ(f.tmp.ReadFile("deep.dvt"), before);
}

TEST(SaveFile, StoredFieldsAreCutToTheirRecordSizesAndTracePathIsNotAdopted) {
    SaveFixture f;
    CMyItem* file = f.root->MakeSubFile();
    file->m_strOrgName = std::string(299, 'p');
    file->m_strOrgPath = file->m_status.m_szFullName = "/" + file->m_strOrgName;
    file->m_findData.cFileName = std::string(300, 'n');
    file->m_findData.cAlternateFileName = "ABCDEFGH.TXTXYZ";
    f.root->m_strTracePath = "/elsewhere/DataTrace.txt";
    file->m_strTracePath = "/elsewhere/DataTrace.txt";
    ASSERT_EQ(f.save.SaveAs(*f.root, f.Path("p.dvt")), 1);
    SaveFixture g;
    g.tmp.WriteFile("p.dvt", f.tmp.ReadFile("p.dvt"));
    ASSERT_EQ(g.save.Open(g.root, g.Path("p.dvt")), 1);
    const CMyItem* got = g.root->GetSubItem(0);
    EXPECT_EQ(got->m_status.m_szFullName, "/" + std::string(258, 'p'));
    EXPECT_EQ(got->m_findData.cFileName, std::string(259, 'n'));
    EXPECT_EQ(got->m_findData.cAlternateFileName, "ABCDEFGH.TXTX");
    EXPECT_EQ(got->m_strTracePath, g.trace);
    EXPECT_EQ(g.root->m_strTracePath, g.trace);
}

TEST(SaveFile, FailedSaveKeepsTheOldFileAndTheTree) {
    SaveFixture f;
    BuildTree(f);
    f.tmp.WriteFile("out/t.dvt", "OLD DATA");
    const int items = f.root->GetTotalItemNum();
    // New files that take no more than `limit` bytes (a full disk), or cannot be made.
    dovtest::FaultFs fs;
    long long limit = -1;
    fs.wrapCreate = [&](const std::string&, std::unique_ptr<dov::IFile> file) {
        return dovtest::LimitWrites(std::move(file), limit);
    };
    dov::ScopedFileSystem scope(&fs);
    for (long long l : {0LL, 100LL}) {
        limit = l;
        EXPECT_EQ(f.save.SaveAs(*f.root, f.Path("out/t.dvt")), 0);
    }
    limit = -1;
    fs.onCreateNew = [](const std::string&, std::unique_ptr<dov::IFile>&) { return EACCES; };
    EXPECT_EQ(f.save.SaveAs(*f.root, f.Path("out/t.dvt")), 0);
    EXPECT_EQ(f.save.SaveAs(*f.root, f.Path("missing/t.dvt")), 0);
    EXPECT_EQ(f.tmp.ReadFile("out/t.dvt"), "OLD DATA");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.tmp / "out"),
                            std::filesystem::directory_iterator()),
              1);  // no temporary file left behind
    EXPECT_EQ(f.root->GetTotalItemNum(), items);
    ASSERT_EQ(f.host.messages.size(), 4u);
    EXPECT_EQ(
        f.host.messages[0].text,
        Sj("※　セーブデータを書き込めませんでした。\n元のファイルはそのまま残っています。\n"));
    EXPECT_EQ(f.host.messages[2].text, Sj("※　ファイルをオープンできません\n"));
    EXPECT_EQ(f.host.messages[3].text, Sj("※　ファイルをオープンできません\n"));
}

TEST(SaveFile, MissingFileResetsTheTreeAndKeepsTheProgramGoing) {
    SaveFixture f;
    BuildTree(f);
    EXPECT_EQ(f.save.Open(f.root, f.Path("nothing.dvt")), 0);
    EXPECT_TRUE(f.IsFreshRoot());
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].text, Sj("※　ファイルをオープンできません\n"));
    EXPECT_FALSE(f.host.quit);
}

// Loads a valid file after many random changes: every one ends in a sound tree or a fresh one.
TEST(SaveFile, MutatedFilesNeverBreakTheLoader) {
    SaveFixture f;
    BuildTree(f);
    ASSERT_EQ(f.save.SaveAs(*f.root, f.Path("t.dvt")), 1);
    const std::string good = f.tmp.ReadFile("t.dvt");
    std::mt19937 rng(99);
    std::function<void(const CMyItem&)> check = [&](const CMyItem& it) {
        if (!it.m_bIsFolder || !it.m_pArray) return;
        ASSERT_EQ(static_cast<std::int64_t>(it.m_dwNumInFolder),
                  std::int64_t{it.m_iFileNum} + it.m_iFoldNum);
        for (int i = 0; i < static_cast<int>(it.m_dwNumInFolder); ++i) {
            const CMyItem* sub = it.m_pArray->GetAt(i);
            ASSERT_NE(sub, nullptr);
            ASSERT_EQ(sub->m_iLayer, it.m_iLayer + 1);
            ASSERT_EQ(sub->m_pParent, &it);
            check(*sub);
        }
    };
    int loaded = 0;
    dovtest::MemFs fs;
    fs.dirs.insert("/mem");
    dov::ScopedFileSystem scope(&fs);
    for (int round = 0; round < 10000; ++round) {
        std::string b = good;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits && !b.empty(); ++e) {
            const std::size_t at = rng() % b.size();
            switch (rng() % 5) {
                case 0:
                    b[at] = static_cast<char>(rng());
                    break;
                case 1:
                    b[at] = static_cast<char>(0xFF);
                    break;
                case 2:
                    b.insert(at, 1, static_cast<char>(rng()));
                    break;
                case 3:
                    b.erase(at, 1 + rng() % 8);
                    break;
                default:
                    b.resize(at);
                    break;
            }
        }
        f.host.messages.clear();
        fs.files["/mem/t.dvt"] = b;
        const int r = f.save.Open(f.root, "/mem/t.dvt");
        ASSERT_TRUE(r == 0 || r == 1);
        ASSERT_TRUE(f.root && f.root->m_bIsFolder);
        check(*f.root);
        if (r == 1 && f.root->m_dwNumInFolder > 0) ++loaded;
        // Whatever loaded can be saved again.
        std::string again;
        CArchive ar = CArchive::StoreTo(again);
        f.save.Serialize(ar, *f.root);
        ASSERT_FALSE(ar.Failed());
    }
    EXPECT_GT(loaded, 0);  // some changes only touch names and numbers
}

}  // namespace
