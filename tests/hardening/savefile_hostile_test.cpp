// Save data files with hostile contents, found by fuzzing the reader (fuzz/savefile_fuzz.cpp).
// Each case loads cleanly or ends in the read-error path; none may reach undefined behaviour
// (this suite is meant to run in the sanitizer build too).
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "common/trace.h"
#include "model/item.h"
#include "model/parts_array.h"
#include "model/savefile.h"
#include "support/test_support.h"
#include "support/tree_support.h"

namespace {

struct Fixture : dovtest::TreeFixture {
    dov::CSaveDataFile save{host, trace};
};

// A folder's stored file and folder counts are read before its sub-item records, and each
// sub-item is made while they still hold the stored values. Counts whose sum overflows (here
// the values the fuzzer found) once made the new sub-item's add order overflow a signed int.
TEST(SaveFileHostile, StoredCountsThatOverflowLoadAndAreCorrected) {
    struct Case {
        std::int32_t files, folders;
    };
    for (Case c : {Case{-1448542206, -1448498775}, Case{0, INT_MAX}, Case{INT_MIN, INT_MIN}}) {
        SCOPED_TRACE(std::to_string(c.files) + "/" + std::to_string(c.folders));
        Fixture f;
        CMyItem* file = f.root->MakeSubFile();
        ASSERT_NE(file, nullptr);
        file->m_strOrgName = "f";
        file->m_strOrgPath = file->m_status.m_szFullName = "/f";
        ASSERT_NE(f.root->MakeSubFold(), nullptr);
        f.root->GetSubItem(1)->m_bUserMakeFold = 1;
        f.root->m_iFileNum = c.files;
        f.root->m_iFoldNum = c.folders;
        const std::string path = f.tmp / "counts.dvt";
        ASSERT_EQ(f.save.SaveAs(*f.root, path), 1);

        ASSERT_EQ(f.save.Open(f.root, path), 1);
        ASSERT_TRUE(f.root->m_pArray);
        EXPECT_EQ(f.root->m_dwNumInFolder, 2u);
        EXPECT_EQ(f.root->m_iFileNum, 1);
        EXPECT_EQ(f.root->m_iFoldNum, 1);
        ASSERT_NE(f.root->GetSubItem(0), nullptr);
        EXPECT_FALSE(f.root->GetSubItem(0)->m_bIsFolder);
        ASSERT_NE(f.root->GetSubItem(1), nullptr);
        EXPECT_TRUE(f.root->GetSubItem(1)->m_bIsFolder);
    }
}

// The same overflow reached directly: a folder whose counts are at the limit of an int still
// makes sub-items without undefined behaviour (the add order wraps).
TEST(SaveFileHostile, AddOrderOfNewSubItemWrapsAtIntLimit) {
    Fixture f;
    f.root->m_iFileNum = 0;
    f.root->m_iFoldNum = INT_MAX;
    f.root->m_bReadingSubItems = 1;  // as while a save file supplies the sub-items
    CMyItem* file = f.root->MakeSubFile();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->m_iAddOrder, INT_MIN);
    f.root->m_iFileNum = INT_MIN;
    f.root->m_iFoldNum = INT_MIN;
    CMyItem* folder = f.root->m_pArray->MakeNewFolder();
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->m_iAddOrder, 1);
}

}  // namespace
