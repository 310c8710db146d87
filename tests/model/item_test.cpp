// CMyItem: construction, sub-items and counts, names, checks, sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <random>
#include <set>

#include "model/item_arena.h"
#include "model/model_test_util.h"

namespace {

using dovtest::Sj;
using modeltest::Fmt;
using modeltest::Items;
using modeltest::ModelTest;
using modeltest::Names;
using modeltest::TraceText;

using ItemTest = ModelTest;

// ---- Construction, root, folder state ---------------------------------------------------------

TEST_F(ItemTest, NewItemIsAnEmptyNewFile) {
    const auto before = std::time(nullptr);
    CMyItem it;
    EXPECT_EQ(it.m_iAddOrder, -1);
    EXPECT_EQ(it.m_bIsFolder, 0);
    EXPECT_EQ(it.m_pArray, nullptr);
    EXPECT_EQ(it.m_pParent, nullptr);
    EXPECT_EQ(it.m_status.m_szFullName, "NewFile.dat");
    EXPECT_EQ(it.m_status.m_size, 0);
    EXPECT_EQ(it.m_status.m_attribute, 0);
    EXPECT_GE(it.m_status.m_mtime, before);
    EXPECT_EQ(it.m_status.m_ctime, it.m_status.m_atime);
    EXPECT_EQ(it.m_findData.cFileName, "NewFile.dat");
    EXPECT_EQ(it.m_findData.cAlternateFileName, "NewFile.dat");
    EXPECT_EQ(it.m_findData.dwFileAttributes, 0x80u);
    EXPECT_NE(it.m_findData.ftCreationTime.Value(), 0u);
    EXPECT_EQ(it.m_findData.ftCreationTime, it.m_findData.ftLastAccessTime);
    EXPECT_EQ(it.m_findData.ftLastWriteTime.Value(), 0u);
    EXPECT_TRUE(it.m_strNewName.empty() && it.m_strWriteName.empty());
}

// Items come from shared chunks: blocks are reused in any order, and a folder's chunks go back
// to the heap with it, the spare one aside. The larger count takes chunks made ahead by the
// arena's helper thread.
TEST_F(ItemTest, ItemChunksAreReusedAndGivenBack) {
    for (const int count : {3000, 60000}) {
        SCOPED_TRACE(count);
        const std::size_t before = dov::ItemArenaChunks();
        {
            auto root = MakeRootItem("", true);
            std::vector<CMyItem*> files;
            for (int i = 0; i < count; ++i) files.push_back(root->MakeSubFile());
            EXPECT_GT(dov::ItemArenaChunks(), before + 3);
            // Every other item freed, then made again: the freed blocks are used first.
            for (int i = count - 1; i >= 0; i -= 2) root->DeleteSubItem(i);
            const std::size_t held = dov::ItemArenaChunks();
            for (int i = 0; i < count / 2; ++i)
                files[static_cast<std::size_t>(i)] = root->MakeSubFile();
            EXPECT_EQ(dov::ItemArenaChunks(), held);
            std::set<CMyItem*> distinct;
            for (int i = 0; i < static_cast<int>(root->m_dwNumInFolder); ++i)
                distinct.insert(root->GetSubItem(i));
            EXPECT_EQ(distinct.size(), static_cast<std::size_t>(count));
        }
        EXPECT_LE(dov::ItemArenaChunks(), std::max<std::size_t>(before, 1));
    }
}

TEST(CompactText, ReadsAndAssignsAsAStringAndCopiesStayApart) {
    // Shared copies of the trace path: each reassignment gives the copy a text of its own.
    dov::SharedText a;
    EXPECT_TRUE(a.empty());
    a = std::string("/t/DataTrace.txt");
    dov::SharedText b = a;
    b = std::string("/u/DataTrace.txt");
    EXPECT_EQ(a, "/t/DataTrace.txt");
    EXPECT_EQ(b.str(), "/u/DataTrace.txt");
    a = std::string();
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(a.c_str(), std::string());
    // The rarely set fields: a copy is its own, an empty assignment or clear() empties.
    for (const std::string v : {"", "x", "a text longer than a short string keeps inside"}) {
        dov::RareText r;
        r = v;
        dov::RareText c = r;
        r = std::string("other");
        EXPECT_EQ(c, v);
        EXPECT_EQ(c.empty(), v.empty());
        EXPECT_EQ(std::string_view(c).size(), v.size());
        c.clear();
        EXPECT_TRUE(c.empty());
        EXPECT_EQ(r, "other");
    }
}

TEST_F(ItemTest, RootWriteNameIsItsNewNameInBothModes) {
    for (bool autoIndex : {true, false}) {
        auto root = Root(autoIndex);
        EXPECT_EQ(root->m_strOrgName, "Root");
        EXPECT_EQ(root->m_strWriteName, "Root");
        EXPECT_EQ(root->m_bNoAutoIndex, autoIndex ? 0 : 1);
        EXPECT_EQ(root->PosString(), "/L0_F0");
        EXPECT_EQ(root->m_pArray->m_pOwner, root.get());
        EXPECT_EQ(root->m_pArray->m_strTracePath, tracePath);
        root->SetWriteMode(!autoIndex);
        EXPECT_EQ(root->m_strWriteName, "Root");
    }
}

TEST_F(ItemTest, SetToFolderTwiceChangesNothing) {
    auto root = Root();
    Fill(*root, "ff");
    CMyPartsArray* array = root->m_pArray.get();
    EXPECT_EQ(root->SetToFolder(), 0);
    EXPECT_EQ(root->m_pArray.get(), array);
    EXPECT_EQ(root->m_dwNumInFolder, 2u);
    EXPECT_NE(Trace(), "");
}

TEST_F(ItemTest, ChangeToFolderByForceDropsTheSubtree) {
    auto root = Root();
    Fill(*root, "fFf");
    Fill(*root->GetSubItem(1), "ff");
    EXPECT_EQ(root->ChangeToFolderByForce(), 0);
    EXPECT_EQ(root->m_dwNumInFolder, 0u);
    EXPECT_EQ(root->m_pArray->m_dwPartsNum, 0);
    EXPECT_EQ(root->GetTotalItemNum(), 0);
    EXPECT_NE(root->MakeSubFile(), nullptr);
}

// ---- Making, counting, limits ------------------------------------------------------------------

TEST_F(ItemTest, MakeSubFoldNamesAndNumbersNewFolders) {
    auto root = Root();
    CMyItem* file = root->MakeSubFile();
    CMyItem* f0 = root->MakeSubFold();
    CMyItem* f1 = root->MakeSubFold();
    ASSERT_TRUE(file && f0 && f1);
    EXPECT_EQ(f0->m_strNewName, Sj("新規フォルダ_000"));
    EXPECT_EQ(f1->m_strNewName, Sj("新規フォルダ_001"));
    EXPECT_EQ(f0->m_strWriteName, Sj("000_新規フォルダ_000"));
    EXPECT_EQ(f0->m_strOrgName, "");
    EXPECT_EQ(f0->m_iKindIndex, 0);
    EXPECT_EQ(f1->m_iKindIndex, 1);
    EXPECT_EQ(f0->m_iArrayIndex, 1);
    EXPECT_EQ(f0->m_iAddOrder, 2);
    EXPECT_EQ(f1->m_iAddOrder, 3);
    EXPECT_EQ(f0->m_iLayer, 1);
    EXPECT_EQ(f0->m_strTracePath, tracePath);
    EXPECT_TRUE(f0->m_bIsFolder && f0->m_pArray && f0->m_pArray->m_iLayer == 1);
    EXPECT_EQ(file->m_iKindIndex, 0);
    EXPECT_EQ(file->m_iAddOrder, 1);
    EXPECT_EQ(file->m_findData.nFileSizeLow, 0u);
    EXPECT_EQ(root->m_iFoldNum, 2);
    EXPECT_EQ(root->m_iFileNum, 1);
    EXPECT_EQ(root->m_dwNumInFolder, 3u);
    modeltest::ExpectConsistent(*root);

    // In a folder without the index prefix the write name is the new name.
    auto plain = Root(false);
    EXPECT_EQ(plain->MakeSubFold()->m_strWriteName, Sj("新規フォルダ_000"));
}

TEST_F(ItemTest, FileItemRefusesSubItems) {
    auto root = Root();
    CMyItem* file = root->MakeSubFile();
    ClearTrace();
    EXPECT_EQ(file->MakeSubFile(), nullptr);
    EXPECT_EQ(file->MakeSubFold(), nullptr);
    EXPECT_EQ(file->m_dwNumInFolder, 0u);
    EXPECT_EQ(file->m_iFileNum, 0);
    for (const char* fn : {"MakeSubFile", "MakeSubFold"})
        EXPECT_NE(Trace().find(TraceText(
                      Fmt("※　フォルダではないので追加できません。CMyItem::%s()\n\t位置：", fn))),
                  std::string::npos)
            << fn;
}

TEST_F(ItemTest, LimitsRefuseOneKindWhateverTheOtherCount) {
    auto root = Root();
    // Counts are what the limit reads, so setting them is the cheap way to stand at the limit.
    root->m_iFoldNum = kMaxSubItemNum;
    EXPECT_EQ(root->MakeSubFold(), nullptr);
    EXPECT_EQ(Trace(), TraceText(Fmt("※　フォルダ数が多すぎで追加拒否します。CMyItem::MakeSubFold()"
                                     "\n\t\t\tCur/Max=[%d]/[%d]\n",
                                     1073741, 1073741)));
    EXPECT_NE(root->MakeSubFile(), nullptr);

    ClearTrace();
    root->m_iFoldNum = 0;
    root->m_iFileNum = kMaxSubItemNum;
    EXPECT_EQ(root->MakeSubFile(), nullptr);
    EXPECT_EQ(Trace(), TraceText("※　ファイル数が多すぎで追加拒否します。CMyItem::MakeSubFile()"
                                 "\n\t\t\tCur/Max=[1073741]/[1073741]\n"));
    EXPECT_NE(root->MakeSubFold(), nullptr);
    root->m_iFileNum = kMaxSubItemNum - 1;
    EXPECT_NE(root->MakeSubFile(), nullptr);  // the last one still fits
    EXPECT_EQ(root->m_iFileNum, kMaxSubItemNum);
}

TEST_F(ItemTest, ReadingSubItemsLeavesTheCountsToTheSaveFile) {
    auto root = Root();
    root->m_bReadingSubItems = 1;
    root->m_iFileNum = 2;
    root->m_dwNumInFolder = 2;
    EXPECT_NE(root->MakeSubFile(), nullptr);
    EXPECT_NE(root->MakeSubFile(), nullptr);
    EXPECT_EQ(root->m_iFileNum, 2);
    EXPECT_EQ(root->m_dwNumInFolder, 2u);
    EXPECT_EQ(root->m_pArray->m_dwPartsNum, 2);
}

TEST_F(ItemTest, GetSubItemOutOfRangeGivesNoneAndOneTraceLine) {
    auto root = Root();
    CMyItem* file = root->MakeSubFile();
    const struct {
        CMyItem* item;
        int index;
    } rows[] = {{root.get(), -1}, {root.get(), 1}, {file, 0}};
    for (const auto& r : rows) {
        ClearTrace();
        EXPECT_EQ(r.item->GetSubItem(r.index), nullptr);
        EXPECT_EQ(Trace(),
                  TraceText(Fmt("\n※　指定位置は範囲外です。 CMyItem::GetSubItem( Index= %d )\n",
                                r.index)));
    }
    EXPECT_EQ(root->GetSubItem(0), file);
}

TEST_F(ItemTest, DeleteSubItemClosesTheGapAndLowersLaterNumbersOfItsKind) {
    auto root = Root();
    auto v = Fill(*root, "fFf");  // f0 F0 f1
    Fill(*v[1], "fF");
    EXPECT_EQ(root->DeleteSubItem(0), 0);
    EXPECT_EQ(Items(*root), (std::vector<CMyItem*>{v[1], v[2]}));
    EXPECT_EQ(v[2]->m_iKindIndex, 0);
    EXPECT_EQ(v[1]->m_iKindIndex, 0);
    EXPECT_EQ(root->m_iFileNum, 1);
    EXPECT_EQ(root->m_iFoldNum, 1);
    EXPECT_EQ(root->m_dwNumInFolder, 2u);
    root->RenumberSubItems();
    modeltest::ExpectConsistent(*root);  // numbers, positions and write names

    EXPECT_EQ(root->DeleteSubItem(2), -1);
    EXPECT_EQ(root->DeleteSubItem(0), 0);  // a folder with its subtree (ASan checks the rest)
    EXPECT_EQ(root->m_iFoldNum, 0);
    EXPECT_EQ(root->GetTotalItemNum(), 1);
}

TEST_F(ItemTest, RenumberSubItemsCountsEachKindInArrayOrder) {
    auto root = Root();
    auto v = Fill(*root, "fFfF");
    for (CMyItem* p : v) p->m_iKindIndex = p->m_iArrayIndex = 9;
    root->RenumberSubItems();
    EXPECT_EQ(v[0]->m_iKindIndex, 0);
    EXPECT_EQ(v[1]->m_iKindIndex, 0);
    EXPECT_EQ(v[2]->m_iKindIndex, 1);
    EXPECT_EQ(v[3]->m_iKindIndex, 1);
    EXPECT_EQ(v[3]->m_iArrayIndex, 3);
}

// ---- Moving items between folders -------------------------------------------------------------

TEST_F(ItemTest, ClearSubItemsOfPositionsOneAndThree) {
    auto root = Root();
    auto v = Fill(*root, "fffff");  // a b c d e
    std::vector<CMyItem*> taken;
    EXPECT_EQ(root->ClearSubItems(2, {1, 3}, &taken), 0);
    EXPECT_EQ(taken, (std::vector<CMyItem*>{v[1], v[3]}));
    EXPECT_EQ(Names(*root), "n0 n2 n4");
    modeltest::ExpectConsistent(*root);  // kind numbers 0 1 2, positions 0 1 2, write names
    EXPECT_EQ(v[2]->m_strWriteName, "001_n2");
    EXPECT_EQ(root->m_pArray->m_iClearFileNum, 2);
    EXPECT_EQ(root->m_pArray->m_iClearFoldNum, 0);
    EXPECT_EQ(root->m_pArray->m_iClearFileTop, 1);
    EXPECT_EQ(root->m_pArray->m_iClearFileEnd, 3);

    // The caller owns the taken items and hands them on.
    CMyItem* target = root->MakeSubFold();
    EXPECT_EQ(target->AddItems(2, taken), 0);
    EXPECT_EQ(Names(*target), "n1 n3");
    modeltest::ExpectConsistent(*target);
    EXPECT_EQ(v[1]->m_iLayer, 2);
}

TEST_F(ItemTest, ClearSubItemsOutValuesPerKind) {
    auto root = Root();
    int folds = -1, files = -1;
    auto v = Fill(*root, "fFfFf");
    EXPECT_EQ(root->m_pArray->ClearSubItems(3, {1, 2, 3}, &folds, &files), 0);
    EXPECT_EQ(folds, 2);
    EXPECT_EQ(files, 1);
    // The array only; the owner's counts are the owner's business (CMyItem::ClearSubItems).
    root->m_iFoldNum -= 2;
    root->m_iFileNum -= 1;
    root->m_dwNumInFolder -= 3;
    EXPECT_EQ(Names(*root), "n0 n4");
    modeltest::ExpectConsistent(*root);
    std::unique_ptr<CMyItem> own[] = {std::unique_ptr<CMyItem>(v[1]),
                                      std::unique_ptr<CMyItem>(v[2]),
                                      std::unique_ptr<CMyItem>(v[3])};
    EXPECT_EQ(root->m_pArray->ClearSubItems(1, {0}, nullptr, &files), -1);
}

TEST_F(ItemTest, ClearSubItemsKeepsNumbersOfItemsBeforeTheFirstTakenOfTheirKind) {
    auto root = Root();
    auto v = Fill(*root, "fFff");  // a F0 b c: take F0 and c; b keeps number 1
    std::vector<CMyItem*> taken;
    EXPECT_EQ(root->ClearSubItems(2, {1, 3}, &taken), 0);
    EXPECT_EQ(Names(*root), "n0 n2");
    modeltest::ExpectConsistent(*root);
    std::vector<std::unique_ptr<CMyItem>> own(taken.begin(), taken.end());  // the caller's
}

TEST_F(ItemTest, ClearSubItemsRefusesMorePositionsThanItems) {
    auto root = Root();
    Fill(*root, "ff");
    const std::string before = modeltest::Dump(*root);
    EXPECT_EQ(root->ClearSubItems(3, {0, 1, 2}), -1);
    EXPECT_EQ(root->ClearSubItems(2, {0}), -1);  // the list is shorter than the count
    EXPECT_EQ(modeltest::Dump(*root), before);
}

TEST_F(ItemTest, RandomClearSubItemsMatchesRemovingFromAList) {
    std::mt19937 rng(7);
    for (int round = 0; round < 400; ++round) {
        auto root = Root();
        std::string pattern;
        const int n = 1 + static_cast<int>(rng() % 12);
        for (int i = 0; i < n; ++i) pattern += rng() % 3 ? 'f' : 'F';
        auto v = Fill(*root, pattern);
        std::vector<int> pos;
        std::vector<CMyItem*> expectLeft, expectTaken;
        for (int i = 0; i < n; ++i) {
            if (rng() % 3 == 0) {
                pos.push_back(i);
                expectTaken.push_back(v[static_cast<std::size_t>(i)]);
            } else {
                expectLeft.push_back(v[static_cast<std::size_t>(i)]);
            }
        }
        std::vector<CMyItem*> taken;
        ASSERT_EQ(root->ClearSubItems(static_cast<int>(pos.size()), pos, &taken), 0) << pattern;
        EXPECT_EQ(taken, expectTaken);
        EXPECT_EQ(Items(*root), expectLeft) << pattern;
        modeltest::ExpectConsistent(*root);
        std::vector<std::unique_ptr<CMyItem>> own(taken.begin(), taken.end());
    }
}

TEST_F(ItemTest, AddItemAndFindAndClearSubItemMoveAnItem) {
    auto root = Root();
    auto v = Fill(*root, "fF");
    CMyItem* file = v[0];
    CMyItem* folder = v[1];
    EXPECT_EQ(root->FindAndClearSubItem(file), 1);  // the test owns the file now
    EXPECT_EQ(root->FindSubItemPos(file), -1);
    EXPECT_EQ(folder->m_iArrayIndex, 0);
    EXPECT_EQ(root->m_iFileNum, 0);
    EXPECT_EQ(folder->AddItem(file), 1);
    EXPECT_EQ(file->m_pParent, folder);
    EXPECT_EQ(file->m_iLayer, 2);
    EXPECT_EQ(folder->FindSubItemPos(file), 0);
    EXPECT_EQ(root->FindAndClearSubItem(file), 0);  // not there

    EXPECT_EQ(root->AddItem(nullptr), 0);
    EXPECT_EQ(file->AddItem(root.get()), 0);  // a file takes no items
    ClearTrace();
    EXPECT_EQ(folder->AddItem(file), 0);  // already in this folder: refused, still one owner
    EXPECT_EQ(folder->m_dwNumInFolder, 1u);

    ClearTrace();
    folder->m_iFoldNum = 5;  // counts out of step
    CMyItem* other = new CMyItem;
    EXPECT_EQ(folder->AddItem(other), 0);  // appended all the same: the folder owns it
    EXPECT_EQ(folder->FindSubItemPos(other), 1);
    EXPECT_EQ(Trace(), TraceText("※　サブアイテムの数情報が異常です。FindAndClearSubItem()"
                                 "\n\tdwNumInFolder= 2  /  iFileNum= 2  / iFoldNum= 5\n"));
}

TEST_F(ItemTest, AddItemsSkipsEmptyEntriesAndRefusesAShortList) {
    auto root = Root();
    CMyItem* a = new CMyItem;
    CMyItem* b = new CMyItem;
    b->SetToFolder();
    Fill(*b, "f");
    EXPECT_EQ(root->AddItems(3, {a, nullptr, b}), 0);
    EXPECT_EQ(Items(*root), (std::vector<CMyItem*>{a, b}));
    EXPECT_EQ(b->m_pArray->GetAt(0)->m_iLayer, 2);  // the subtree got the layers below
    EXPECT_NE(Trace(), "");
    EXPECT_EQ(root->AddItems(2, {a}), -1);
    EXPECT_EQ(a->AddItems(0, {}), -1);
    modeltest::ExpectConsistent(*root);
}

TEST_F(ItemTest, SwapSubItemsExchangesPositionsButNotNumbers) {
    auto root = Root();
    auto v = Fill(*root, "fff");
    EXPECT_EQ(root->SwapSubItems(0, 2), 0);
    EXPECT_EQ(Names(*root), "n2 n1 n0");
    EXPECT_EQ(v[2]->m_iArrayIndex, 0);
    EXPECT_EQ(v[2]->m_iKindIndex, 2);
    EXPECT_EQ(root->SwapSubItems(0, 3), -1);
    EXPECT_EQ(root->SwapSubItems(-1, 0), -1);
}

TEST_F(ItemTest, SubItemLayerReCalcReplacesANegativeLayer) {
    auto root = Root();
    CMyItem* f = root->MakeSubFold();
    CMyItem* g = f->MakeSubFold();
    CMyItem* x = g->MakeSubFile();
    f->SubItemLayerReCalc(-3);
    EXPECT_EQ(f->m_iLayer, 0);
    EXPECT_EQ(f->m_pArray->m_iLayer, 0);
    EXPECT_EQ(g->m_iLayer, 1);
    EXPECT_EQ(x->m_iLayer, 2);
    EXPECT_NE(Trace(), "");
}

// ---- Names and positions ----------------------------------------------------------------------

TEST_F(ItemTest, PositionStrings) {
    auto root = Root();
    root->MakeSubFold();
    CMyItem* second = root->MakeSubFold();
    Fill(*second, "fff");
    EXPECT_EQ(second->GetSubItem(2)->PosString(), "/L0_F0/L1_F1/L2_2");
    std::string s = "x";
    second->GetPosString(s);
    EXPECT_EQ(s, "x/L0_F0/L1_F1");

    CMyItem orphan;
    orphan.m_iLayer = 2;
    s = "x";
    orphan.GetPosString(s);
    EXPECT_EQ(s, "x");
    second->GetSubItem(0)->m_pParent = nullptr;  // a broken chain above appends nothing either
    CMyItem* child = second->GetSubItem(0);
    EXPECT_EQ(child->PosString(), "");
}

TEST_F(ItemTest, MakeIndexNameRows) {
    const struct {
        const char* org;
        const char* newName;
        int kind;
        const char* expectNew;
        const char* expectWrite;
    } rows[] = {
        {"a.txt", "", 4, "a.txt", "004_a.txt"}, {"", "", 4, "", "004__NoName_"},
        {"a.txt", "b", 0, "b", "000_b"},        {"", "x", 999, "x", "999_x"},
        {"", "x", 1000, "x", "1000_x"},
    };
    for (const auto& r : rows) {
        CMyItem it;
        it.m_strOrgName = r.org;
        it.m_strNewName = r.newName;
        it.m_iKindIndex = r.kind;
        it.MakeIndexName();
        EXPECT_EQ(it.m_strNewName, r.expectNew) << r.org << "|" << r.newName;
        EXPECT_EQ(it.m_strWriteName, r.expectWrite);
    }
}

TEST_F(ItemTest, UpdateWriteNameFollowsModeAndLayer) {
    const struct {
        int noAuto;
        int layer;
        const char* expect;
    } rows[] = {{0, 1, "003_nm"}, {1, 1, "nm"}, {0, 0, "nm"}, {1, 0, "nm"}, {2, 1, "003_nm"}};
    for (const auto& r : rows) {
        CMyItem it;
        it.m_strNewName = "nm";
        it.m_iKindIndex = 3;
        it.m_bNoAutoIndex = r.noAuto;
        it.m_iLayer = r.layer;
        it.UpdateWriteName();
        EXPECT_EQ(it.m_strWriteName, r.expect) << r.noAuto << "/" << r.layer;
    }
}

TEST_F(ItemTest, SetWriteModeReachesTheWholeTree) {
    auto root = Root(true);
    CMyItem* f = root->MakeSubFold();
    auto v = Fill(*f, "ff");
    EXPECT_EQ(v[1]->m_strWriteName, "001_n1");
    root->SetWriteMode(false);
    EXPECT_EQ(v[1]->m_bNoAutoIndex, 1);
    EXPECT_EQ(v[1]->m_strWriteName, "n1");
    EXPECT_EQ(f->m_strWriteName, Sj("新規フォルダ_000"));
    root->SetWriteMode(true);
    EXPECT_EQ(v[1]->m_strWriteName, "001_n1");
    EXPECT_EQ(root->m_strWriteName, "Root");
}

TEST_F(ItemTest, ExtensionPositionAndCut) {
    const std::string hyo = Sj("表");  // 0x95 0x5C
    const struct {
        std::string name;
        int extPos;
        std::string cut;
    } rows[] = {
        {"a.txt", 1, "a"},   {"a.tar.gz", 5, "a.tar"},
        {"a.jpeg", 1, "a"},  {"a.jpeg5", -1, "a.jpeg5"},
        {"a.", -1, "a."},    {"abc", -1, "abc"},
        {"", -1, ""},        {".bashrc", -1, ".bashrc"},
        {".txt", 0, ".txt"}, {hyo + ".t", 2, hyo},
    };
    for (const auto& r : rows) {
        CMyItem it;
        it.m_strOrgName = it.m_strNewName = it.m_strWriteName = r.name;
        EXPECT_EQ(it.GetExtPos(0), r.extPos) << r.name;
        EXPECT_EQ(it.GetExtPos(1), r.extPos);
        EXPECT_EQ(it.GetExtPos(2), r.extPos);
        EXPECT_EQ(it.GetExtPos(3), -1);
        it.CutExtension();
        EXPECT_EQ(it.m_strNewName, r.cut) << r.name;
    }
}

// ---- Checks -----------------------------------------------------------------------------------

TEST_F(ItemTest, NameStringRule) {
    const struct {
        std::string s;
        bool ok;
    } rows[] = {
        {"", true},
        {"a\"b", true},
        {Sj("表示"), true},          // trail byte 0x5C
        {Sj("ソ"), true},            // 0x83 0x5C
        {"\x83\x7C", true},          // trail byte 0x7C '|'
        {"\xF5\x5C", true},          // user-defined
        {"\xFA\x5C", true},          // IBM extension kanji 纊: its trail byte is no '\'
        {"\xF0\x5C\xF0\x7C", true},  // a pair with trail bytes '\' and '|'
        {"\xFD\x5C", false},         // not a lead byte: '\' stands alone
        {"\x81/", false},            // '/' is no trail byte
        {"abc\x81", true},           // lone lead byte at the end
        {"a:b", false},
        {"a,b", false},
        {"a\\b", false},
        {"a/b", false},
        {"a;b", false},
        {"a*b", false},
        {"a?b", false},
        {"a<b", false},
        {"a>b", false},
        {"a|b", false},
        {std::string("a\0b", 3), false},    // would cut the name on disk
        {std::string("\x81\0", 2), false},  // not stepped over as a trail byte
    };
    for (const auto& r : rows) EXPECT_EQ(CMyItem::IsUsableNameString(r.s), r.ok) << r.s;
    // With the setting, everything a Linux disk allows.
    CMyItem::SetAllowLinuxNames(true);
    for (const auto& r : rows) {
        const bool linuxOk =
            r.s.find('/') == std::string::npos && r.s.find('\0') == std::string::npos;
        EXPECT_EQ(CMyItem::IsUsableNameString(r.s), linuxOk) << r.s;
    }
    CMyItem::SetAllowLinuxNames(false);
    CMyItem it;
    it.m_strTracePath = tracePath;
    EXPECT_EQ(it.CheckInvalidString(nullptr), 0);
    EXPECT_EQ(Trace(), TraceText("※　無効な引数。CheckInvalidChar\n"));
}

TEST_F(ItemTest, CheckInvalidCharEmptyNameDependsOnTheIndexPrefix) {
    auto root = Root(true);
    CMyItem* f = root->MakeSubFile();
    f->m_strOrgName = "old";
    EXPECT_EQ(root->CheckInvalidChar(), 1);
    f->m_bNoAutoIndex = 1;
    EXPECT_EQ(root->CheckInvalidChar(), 0);
    EXPECT_EQ(Trace(), TraceText("※　ファイル名のサイズが０です。[old]\n\t位置：/L0_F0/L1_0\n"));
}

TEST_F(ItemTest, CheckInvalidCharWalksTheTreeAndStopsAtTheFirstFailure) {
    auto root = Root();
    CMyItem* f = root->MakeSubFold();
    auto v = Fill(*f, "fff");
    v[1]->m_strNewName = "a:b";
    v[2]->m_strNewName = "c|d";
    EXPECT_EQ(root->CheckInvalidChar(), 0);
    EXPECT_EQ(Trace(),
              TraceText("※　無効な文字が含まれています。[a:b]\n\t位置：/L0_F0/L1_F0/L2_1\n"));
    v[1]->m_strNewName = "a\"b";
    v[2]->m_strNewName = Sj("表");
    EXPECT_EQ(root->CheckInvalidChar(), 1);
    // A name as it was loaded exists on the disk already: never refused.
    v[1]->m_strOrgName = v[1]->m_strNewName = "a:b";
    EXPECT_EQ(root->CheckInvalidChar(), 1);
    EXPECT_FALSE(v[1]->NameRefused());
    v[1]->m_strNewName = "x_a:b";
    EXPECT_TRUE(v[1]->NameRefused());
}

TEST_F(ItemTest, CheckDepthCountsSlashes) {
    const struct {
        std::string path;
        int result;
        int depth;
    } rows[] = {
        {"/a/b.txt", 1, 2},
        {"/", 1, 1},
        {"/" + Sj("表") + "/" + Sj("ソ") + "/x", 1, 3},
        {"a/b", 0, -1},
        {"", 0, -1},
        {[] {
             std::string s;
             for (int i = 0; i < 253; ++i) s += "/d";
             return s;
         }(),
         1, 253},
        {[] {
             std::string s;
             for (int i = 0; i < 254; ++i) s += "/d";
             return s;
         }(),
         0, 254},
        {[] {
             std::string s;
             for (int i = 0; i < 300; ++i) s += "/d";
             return s;
         }(),
         0, 254},
    };
    for (const auto& r : rows) {
        CMyItem it;
        it.m_strTracePath = tracePath;
        it.m_byDepth = 99;
        it.m_strOrgPath = r.path;
        EXPECT_EQ(it.CheckDepth(), r.result) << r.path.substr(0, 20);
        EXPECT_EQ(it.m_byDepth, r.depth < 0 ? 99 : r.depth) << r.path.substr(0, 20);
    }
    ClearTrace();
    CMyItem it;
    it.m_strTracePath = tracePath;
    it.m_strOrgPath = "/a/b.txt";
    it.CheckDepth();
    EXPECT_EQ(Trace(), TraceText("○　新規アイテム \"/a/b.txt\" の深さは 2 です。CheckDepth()\n"));
}

// ---- Counting and sizes -----------------------------------------------------------------------

TEST_F(ItemTest, SubtreeCounts) {
    auto root = Root();
    auto v = Fill(*root, "fFF");
    Fill(*v[1], "ffF");
    Fill(*v[1]->GetSubItem(2), "f");
    EXPECT_EQ(root->GetTotalItemNum(), 7);
    EXPECT_EQ(root->GetTotalFileNum(), 4);
    EXPECT_EQ(root->GetFolderNum(), 4);  // itself and three below
    EXPECT_EQ(v[0]->GetTotalItemNum(), 0);
    EXPECT_EQ(v[0]->GetTotalFileNum(), 0);
    EXPECT_EQ(v[0]->GetFolderNum(), 0);
    EXPECT_EQ(root->m_pArray->GetTotalFoldNum(), 3);
}

TEST_F(ItemTest, FoldSizeCarriesIntoTheHighWord) {
    auto root = Root();
    auto v = Fill(*root, "ffF");
    v[0]->m_findData.nFileSizeLow = 0xFFFFFFFFu;
    v[1]->m_findData.nFileSizeLow = 1;
    std::uint32_t hi = 7, lo = 7;
    root->GetFoldSize64(&hi, &lo);
    EXPECT_EQ(hi, 1u);
    EXPECT_EQ(lo, 0u);

    // A sub-folder's total is added the same way.
    auto w = Fill(*v[2], "ff");
    w[0]->m_findData.nFileSizeHigh = 2;
    w[0]->m_findData.nFileSizeLow = 0x80000000u;
    w[1]->m_findData.nFileSizeLow = 0x80000001u;
    root->GetFoldSize64(&hi, &lo);
    EXPECT_EQ(hi, 4u);
    EXPECT_EQ(lo, 1u);
    v[0]->GetFoldSize64(&hi, &lo);
    EXPECT_EQ(hi, 0u);
    EXPECT_EQ(lo, 0xFFFFFFFFu);

    ClearTrace();
    root->GetFoldSize64(nullptr, &lo);
    EXPECT_EQ(lo, 0xFFFFFFFFu);
    EXPECT_NE(Trace(), "");
}

}  // namespace
