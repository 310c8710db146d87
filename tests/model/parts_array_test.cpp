// CMyPartsArray: slots and growth, removal, the drag move and its steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "model/model_test_util.h"

namespace {

using modeltest::Fmt;
using modeltest::Items;
using modeltest::ModelTest;
using modeltest::Names;
using modeltest::TraceText;

using PartsArrayTest = ModelTest;

// ---- Slots and growth -------------------------------------------------------------------------

TEST_F(PartsArrayTest, NewArrayIsEmptyWith2000Slots) {
    CMyPartsArray a;
    EXPECT_EQ(a.m_dwPartsNum, 0);
    EXPECT_EQ(a.m_iCapacity, 2000);
    EXPECT_EQ(a.m_iLayer, 0);
    EXPECT_EQ(a.m_pOwner, nullptr);
    EXPECT_EQ(a.GetAt(0), nullptr);
}

TEST_F(PartsArrayTest, The2001stItemGrowsTheSlotsByOneStepAndKeepsTheEntries) {
    auto root = Root();
    std::vector<CMyItem*> made;
    for (int i = 0; i < 2000; ++i) made.push_back(root->MakeSubFile());
    CMyPartsArray& a = *root->m_pArray;
    EXPECT_EQ(a.m_arParts.size(), 2000u);
    EXPECT_EQ(a.m_arParts.capacity(), 2000u);  // loading 2000 items allocates the slots once
    made.push_back(root->MakeSubFile());
    EXPECT_EQ(a.m_arParts.size(), 4000u);
    EXPECT_EQ(a.m_arParts.capacity(), 4000u);
    EXPECT_EQ(a.m_iCapacity, 4000);
    EXPECT_EQ(a.m_dwPartsNum, 2001);
    EXPECT_EQ(Items(*root), made);
    EXPECT_EQ(made.back()->m_iKindIndex, 2000);
    EXPECT_EQ(made.back()->m_strWriteName, "2000__NoName_");
    modeltest::ExpectConsistent(*root);
}

TEST_F(PartsArrayTest, AddPartsRefusesNothingAndTheSameItemTwice) {
    auto root = Root();
    EXPECT_EQ(root->m_pArray->AddParts(nullptr), -1);
    EXPECT_EQ(Trace(),
              TraceText("※　引数のアドレスが無効。CMyPartsArray::AddParts(CMyItem *pParts)\n"));
    CMyItem* f = root->MakeSubFile();
    EXPECT_EQ(root->m_pArray->AddParts(f), -1);
    EXPECT_EQ(root->m_pArray->m_dwPartsNum, 1);
}

TEST_F(PartsArrayTest, AddPartsWithoutOwnerOnlyStores) {
    CMyPartsArray a;
    CMyItem* it = new CMyItem;
    it->m_iKindIndex = 7;
    EXPECT_EQ(a.AddParts(it), 0);
    EXPECT_EQ(a.GetAt(0), it);
    EXPECT_EQ(it->m_iKindIndex, 7);
    EXPECT_EQ(it->m_pParent, nullptr);
    EXPECT_EQ(a.MakeNewFile(), nullptr);  // no owner to take the numbers from
}

// ---- Removal ----------------------------------------------------------------------------------

TEST_F(PartsArrayTest, ClearItemAtTheEntryCountIsRefused) {
    auto root = Root();
    auto v = Fill(*root, "fff");
    CMyPartsArray& a = *root->m_pArray;
    const std::string before = modeltest::Dump(*root);
    EXPECT_EQ(a.ClearItem(3), 0);
    EXPECT_EQ(a.ClearItem(-1), 0);
    EXPECT_EQ(modeltest::Dump(*root), before);
    EXPECT_EQ(Trace(), TraceText("※　クリアする位置が異常です。Index[3] ClearItem()\n"
                                 "※　クリアする位置が異常です。Index[-1] ClearItem()\n"));

    EXPECT_EQ(a.ClearItem(0), 1);
    std::unique_ptr<CMyItem> taken(v[0]);  // the caller's now
    EXPECT_EQ(a.m_dwPartsNum, 2);
    EXPECT_EQ(a.GetAt(2), nullptr);
    EXPECT_EQ(v[1]->m_iArrayIndex, 0);
    EXPECT_EQ(v[1]->m_iKindIndex, 1);  // not renumbered
}

TEST_F(PartsArrayTest, DeleteItemEmptyArrayAndBadIndex) {
    auto root = Root();
    EXPECT_EQ(root->m_pArray->DeleteItem(0), -1);
    EXPECT_EQ(Trace(), "");  // an empty array: nothing, not even a trace line
    Fill(*root, "f");
    EXPECT_EQ(root->m_pArray->DeleteItem(1), -1);
    EXPECT_NE(Trace(), "");
}

TEST_F(PartsArrayTest, SubtreeCountsTraceAnEmptySlot) {
    auto root = Root();
    auto v = Fill(*root, "fFf");
    Fill(*v[1], "ff");
    CMyPartsArray& a = *root->m_pArray;
    EXPECT_EQ(a.GetTotalFileNum(), 4);
    EXPECT_EQ(a.GetTotalFoldNum(), 1);
    CMyItem* hole = a.m_arParts[0].release();
    EXPECT_EQ(a.GetTotalFileNum(), 3);
    EXPECT_EQ(Trace(), TraceText("※　CMyPartsArray::GetTotalFileNum()"
                                 "\n\t\t\t配列中に無効なポインタが有りました。添え字[0]"));
    a.m_arParts[0].reset(hole);
}

// ---- The drag move ----------------------------------------------------------------------------

struct DragRow {
    const char* pattern;
    std::vector<int> selected;
    int drop;
    const char* expect;
};

// "a b c d e f" style: new names n0 ... in order; expect lists the final order by index.
class DragTest : public ModelTest, public ::testing::WithParamInterface<DragRow> {};

TEST_P(DragTest, MovesTheBlockAndRenumbers) {
    const DragRow& r = GetParam();
    auto root = Root();
    auto v = Fill(*root, r.pattern);
    ASSERT_EQ(root->MoveSubItems(r.selected, r.drop), 0);
    std::string got;
    for (CMyItem* p : Items(*root)) got += p->m_strNewName.substr(1) + " ";
    EXPECT_EQ(got, r.expect);
    modeltest::ExpectConsistent(*root);
    EXPECT_EQ(Trace(), "");
}

INSTANTIATE_TEST_SUITE_P(Examples, DragTest,
                         ::testing::Values(
                             // a b c d e f -> a d e b c f, dragged either way.
                             DragRow{"ffffff", {3, 4}, 1, "0 3 4 1 2 5 "},  // towards the start
                             DragRow{"ffffff", {1, 2}, 3, "0 3 4 1 2 5 "},  // towards the end
                             // Drop position inside the selected block: no change.
                             DragRow{"ffffff", {2, 3}, 2, "0 1 2 3 4 5 "},
                             // Past the end: the block lands at the last n positions.
                             DragRow{"ffffff", {0, 1}, 5, "2 3 4 5 0 1 "},
                             DragRow{"ffffff", {0, 1}, 99, "2 3 4 5 0 1 "},
                             DragRow{"ffffff", {5}, 0, "5 0 1 2 3 4 "},
                             // Non-contiguous selections, both directions at once, all of it.
                             DragRow{"ffffff", {1, 4}, 2, "0 2 1 4 3 5 "},
                             DragRow{"ffffff", {0, 2}, 3, "1 3 4 0 2 5 "},
                             DragRow{"ffffff", {0, 1, 2, 3, 4, 5}, 0, "0 1 2 3 4 5 "},
                             // Mixed kinds keep separate numbers.
                             DragRow{"FfFfFf", {4, 5}, 0, "4 5 0 1 2 3 "},
                             DragRow{"FFFfff", {0, 3}, 4, "1 2 4 5 0 3 "}));

TEST_F(PartsArrayTest, MoveInfoOfTheBasicExamples) {
    auto root = Root();
    Fill(*root, "ffffff");
    CMyMoveInfo back;
    ASSERT_EQ(root->m_pArray->MakeMoveInfo({3, 4}, 1, back), 0);
    EXPECT_EQ(back.iRangeTop, 1);
    EXPECT_EQ(back.iRangeEnd, 4);
    EXPECT_EQ(back.iDragSize, 2);
    EXPECT_EQ(back.iFirstFileNum, 1);
    EXPECT_EQ(back.iLastFileNum, 4);
    EXPECT_EQ(back.iFirstFoldNum, -1);
    EXPECT_EQ(back.iDropPos, 1);
    EXPECT_EQ(back.iDropEnd, 2);
    EXPECT_EQ(back.iFirstSelected, 3);
    EXPECT_EQ(back.iForwardMoveSize, 0);
    EXPECT_EQ(back.iBackMoveSize, 2);

    CMyMoveInfo fwd;
    ASSERT_EQ(root->m_pArray->MakeMoveInfo({1, 2}, 3, fwd), 0);
    EXPECT_EQ(fwd.iRangeTop, 1);
    EXPECT_EQ(fwd.iRangeEnd, 4);
    EXPECT_EQ(fwd.iForwardMoveSize, 2);
    EXPECT_EQ(fwd.iBackMoveSize, 0);

    CMyMoveInfo clamp;
    ASSERT_EQ(root->m_pArray->MakeMoveInfo({0, 1}, 5, clamp), 0);
    EXPECT_EQ(clamp.iDropPos, 4);
    EXPECT_EQ(clamp.iRangeEnd, 5);

    CMyMoveInfo bad;
    EXPECT_EQ(root->m_pArray->MakeMoveInfo({2, 1}, 0, bad), -1);  // not ascending
    EXPECT_EQ(root->m_pArray->MakeMoveInfo({1, 1}, 0, bad), -1);
    EXPECT_EQ(root->m_pArray->MakeMoveInfo({6}, 0, bad), -1);
    EXPECT_EQ(root->m_pArray->MakeMoveInfo({1}, -1, bad), -1);
    EXPECT_EQ(root->m_pArray->MakeMoveInfo({}, 0, bad), -1);
}

TEST_F(PartsArrayTest, StepByStep) {
    auto root = Root();
    auto v = Fill(*root, "ffffff");
    CMyPartsArray& a = *root->m_pArray;
    CMyMoveInfo info;
    ASSERT_EQ(a.MakeMoveInfo({3, 4}, 1, info), 0);
    const std::vector<CMyItem*> dragged = {v[3], v[4]};
    EXPECT_EQ(a.SignSelectedItems(2, {3, 4}), 0);
    EXPECT_EQ(Names(*root), "n0 n1 n2 _ _ n5");
    EXPECT_EQ(a.MoveItemToBackFromEnd(info), 0);
    EXPECT_EQ(Names(*root), "n0 _ _ n1 n2 n5");
    EXPECT_EQ(v[2]->m_iKindIndex, 4);
    EXPECT_EQ(v[1]->m_iKindIndex, 3);
    EXPECT_EQ(v[1]->m_strWriteName, "003_n1");
    EXPECT_EQ(a.BackDragItems(info, dragged), 3);
    EXPECT_EQ(Names(*root), "n0 n3 n4 n1 n2 n5");
    modeltest::ExpectConsistent(*root);

    ASSERT_EQ(a.MakeMoveInfo({3, 4}, 1, info), 0);  // and back again, forwards
    ASSERT_EQ(a.MakeMoveInfo({1, 2}, 3, info), 0);
    const std::vector<CMyItem*> dragged2 = {v[3], v[4]};
    EXPECT_EQ(a.SignSelectedItems(2, {1, 2}), 0);
    EXPECT_EQ(a.MoveNonSelectedItemsToFoward(info), 0);
    EXPECT_EQ(Names(*root), "n0 n1 n2 _ _ n5");
    EXPECT_EQ(a.BackDragItems(info, dragged2), 5);
    EXPECT_EQ(Names(*root), "n0 n1 n2 n3 n4 n5");
    modeltest::ExpectConsistent(*root);
}

TEST_F(PartsArrayTest, StepsRefuseBadParameters) {
    auto root = Root();
    auto v = Fill(*root, "fff");
    CMyPartsArray& a = *root->m_pArray;
    const std::string before = modeltest::Dump(*root);

    EXPECT_EQ(a.SignSelectedItems(4, {0, 1, 2, 3}), -1);
    EXPECT_EQ(a.SignSelectedItems(0, {}), 0);
    EXPECT_EQ(a.SignSelectedItems(-1, {}), 0);

    CMyMoveInfo info;
    info.iFirstSelected = 0;
    info.iRangeTop = 0;
    info.iForwardMoveSize = 0;
    EXPECT_EQ(a.MoveNonSelectedItemsToFoward(info), -1);

    info.iRangeEnd = 3;  // beyond the entries
    info.iBackMoveSize = 1;
    EXPECT_EQ(a.MoveItemToBackFromEnd(info), 0);

    info.iDragSize = 4;  // more than the entries: nothing placed
    info.iDropPos = 0;
    EXPECT_EQ(a.BackDragItems(info, {v[0]}), 0);
    EXPECT_EQ(modeltest::Dump(*root), before);
    EXPECT_EQ(
        Trace(),
        TraceText(
            std::string("※　選択数が異常です。SignSelectedItems()\n\t\tCount[4]  iPartsNum[3]\n") +
            "※　サイズが異常 / MoveNonSelectedItemsToFoward()\n\t\t移動元Index[1]  移動先Index[0]  "
            "MoveSize[0]\n\n"
            "※　パラメータが異常 / MoveItemToBackFromEnd()\n\t\tDepEndPos[3]  DistEndPos[3]  "
            "MoveSize[1] iPartsNum[3]\n\n"));

    // A missing dragged item stops step 4.
    ClearTrace();
    ASSERT_EQ(a.MakeMoveInfo({2}, 0, info), 0);
    ASSERT_EQ(a.SignSelectedItems(1, {2}), 0);
    a.MoveItemToBackFromEnd(info);
    EXPECT_EQ(a.BackDragItems(info, {nullptr}), 0);
    EXPECT_EQ(
        Trace(),
        TraceText("※　ドラッグアイテムの復帰でアイテムデータが無効 "
                  "CKestrelView::BackDragItems\n\t\tDropPos[0] , DragSize[1] , [0]の配列が異常\n"));
    EXPECT_EQ(a.BackDragItems(info, {v[2]}), 1);  // put it back so nothing leaks
    modeltest::ExpectConsistent(*root);
}

TEST_F(PartsArrayTest, MoveSubItemsChecksTheDescriptionBeforeMoving) {
    auto root = Root();
    auto v = Fill(*root, "fffff");
    const std::string before = modeltest::Dump(*root);
    CMyMoveInfo info;
    ASSERT_EQ(root->m_pArray->MakeMoveInfo({1, 2}, 3, info), 0);
    EXPECT_EQ(root->MoveSubItems(info, {1, 2}, {v[1], v[3]}), -1);  // wrong item
    EXPECT_EQ(root->MoveSubItems(info, {2, 3}, {v[2], v[3]}), -1);  // not the description's
    EXPECT_EQ(root->MoveSubItems(info, {1, 2}, {v[1]}), -1);        // list too short
    CMyMoveInfo tampered = info;
    tampered.iBackMoveSize = 1;
    EXPECT_EQ(root->MoveSubItems(tampered, {1, 2}, {v[1], v[2]}), -1);
    EXPECT_EQ(root->MoveSubItems({3, 1}, 0), -1);
    EXPECT_EQ(root->MoveSubItems({1}, -1), -1);
    EXPECT_EQ(root->MoveSubItems({}, 2), 0);
    EXPECT_EQ(v[0]->MoveSubItems({0}, 0), -1);  // a file
    EXPECT_EQ(modeltest::Dump(*root), before);

    EXPECT_EQ(root->MoveSubItems(info, {1, 2}, {v[1], v[2]}), 0);
    EXPECT_EQ(Names(*root), "n0 n3 n4 n1 n2");
}

TEST_F(PartsArrayTest, NoAutoIndexWriteNamesStayTheNewNames) {
    auto root = Root(false);
    Fill(*root, "ffff");
    ASSERT_EQ(root->MoveSubItems({2, 3}, 0), 0);
    for (CMyItem* p : Items(*root)) EXPECT_EQ(p->m_strWriteName, p->m_strNewName);
}

// The final order must be "remove the selected block, insert it at d" and the numbers must be
// those a renumbering would give.
TEST_F(PartsArrayTest, RandomDragMovesMatchAReference) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 3000; ++round) {
        auto root = Root();
        const int n = 1 + static_cast<int>(rng() % 14);
        std::string pattern;
        for (int i = 0; i < n; ++i) pattern += rng() % 3 ? 'f' : 'F';
        auto v = Fill(*root, pattern);
        std::vector<int> sel;
        for (int i = 0; i < n; ++i)
            if (rng() % 3 == 0) sel.push_back(i);
        if (sel.empty()) sel.push_back(static_cast<int>(rng() % n));
        const int d = static_cast<int>(rng() % (n + 3));

        std::vector<CMyItem*> rest, block;
        for (int i = 0; i < n; ++i)
            (std::find(sel.begin(), sel.end(), i) != sel.end() ? block : rest)
                .push_back(v[static_cast<std::size_t>(i)]);
        const int at = std::min<int>(d, n - static_cast<int>(sel.size()));
        std::vector<CMyItem*> expect = rest;
        expect.insert(expect.begin() + at, block.begin(), block.end());

        ASSERT_EQ(root->MoveSubItems(sel, d), 0) << pattern << " d=" << d;
        ASSERT_EQ(Items(*root), expect) << pattern << " d=" << d;
        modeltest::ExpectConsistent(*root);
        if (HasFailure()) {
            ADD_FAILURE() << "pattern " << pattern << " d=" << d;
            break;
        }
    }
    EXPECT_EQ(Trace(), "");
}

}  // namespace
