// Helpers shared by the item model tests: a fixture with its own trace file, expected trace
// texts, small trees built from a pattern, and a dump of a folder's state for comparisons.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/trace.h"
#include "model/item.h"
#include "model/parts_array.h"
#include "support/test_support.h"

namespace modeltest {

// A UTF-8 text as the trace file holds it: CP932, '\n' as CR LF.
inline std::string TraceText(const std::string& utf8) {
    std::string cp = *dov::Utf8ToCp932(utf8);
    std::string out;
    for (char c : cp) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// printf into a UTF-8 string (for expected trace texts with numbers).
template <class... A>
std::string Fmt(const char* fmt, A... args) {
    char buf[1024];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

class ModelTest : public ::testing::Test {
  protected:
    dovtest::TempDir tmp;
    std::string tracePath = dov::DefaultTracePath();

    void SetUp() override { dov::TraceReset(tracePath); }

    std::string Trace() const { return tmp.ReadFile("home/DataTrace.txt"); }
    void ClearTrace() const { dov::TraceReset(tracePath); }

    std::unique_ptr<CMyItem> Root(bool autoIndex = true) {
        auto r = MakeRootItem(tracePath, autoIndex);
        EXPECT_NE(r, nullptr);
        return r;
    }

    // Fills a folder from a pattern: 'f' a file, 'F' a folder; names n0, n1 ... (new and
    // original name) in order.
    static std::vector<CMyItem*> Fill(CMyItem& folder, const std::string& pattern) {
        std::vector<CMyItem*> out;
        for (char c : pattern) {
            CMyItem* p = c == 'F' ? folder.MakeSubFold() : folder.MakeSubFile();
            EXPECT_NE(p, nullptr);
            if (!p) continue;
            p->m_strOrgName = p->m_strNewName = "n" + std::to_string(out.size());
            p->UpdateWriteName();
            out.push_back(p);
        }
        return out;
    }
};

// The sub-items of a folder in array order.
inline std::vector<CMyItem*> Items(const CMyItem& folder) {
    std::vector<CMyItem*> out;
    for (int i = 0; i < folder.m_pArray->m_dwPartsNum; ++i)
        out.push_back(folder.m_pArray->GetAt(i));
    return out;
}

// The new names in array order, joined with spaces.
inline std::string Names(const CMyItem& folder) {
    std::string s;
    for (CMyItem* p : Items(folder)) {
        if (!s.empty()) s += ' ';
        s += p ? p->m_strNewName : "_";
    }
    return s;
}

// Checks the invariants of one folder: counts, parent, layer, positions and kind
// numbers (count of earlier sub-items of the same kind), write names in auto-index mode.
inline void ExpectConsistent(const CMyItem& folder) {
    const CMyPartsArray& a = *folder.m_pArray;
    EXPECT_EQ(folder.m_dwNumInFolder, static_cast<std::uint32_t>(a.m_dwPartsNum));
    EXPECT_EQ(static_cast<std::int64_t>(folder.m_dwNumInFolder),
              static_cast<std::int64_t>(folder.m_iFileNum) + folder.m_iFoldNum);
    EXPECT_EQ(a.m_iLayer, folder.m_iLayer);
    int files = 0, folds = 0;
    for (int i = 0; i < a.m_dwPartsNum; ++i) {
        const CMyItem* p = a.GetAt(i);
        ASSERT_NE(p, nullptr) << "slot " << i;
        EXPECT_EQ(p->m_pParent, &folder);
        EXPECT_EQ(p->m_iLayer, folder.m_iLayer + 1);
        EXPECT_EQ(p->m_iArrayIndex, i);
        EXPECT_EQ(p->m_iKindIndex, p->m_bIsFolder ? folds++ : files++) << p->m_strNewName;
        if (p->m_bNoAutoIndex == 0 && !p->m_strNewName.empty()) {
            EXPECT_EQ(p->m_strWriteName, Fmt("%03d_", p->m_iKindIndex) + p->m_strNewName);
        }
    }
    EXPECT_EQ(files, folder.m_iFileNum);
    EXPECT_EQ(folds, folder.m_iFoldNum);
    for (std::size_t i = static_cast<std::size_t>(a.m_dwPartsNum); i < a.m_arParts.size(); ++i)
        EXPECT_EQ(a.m_arParts[i], nullptr) << "slot " << i << " beyond the entries";
}

// Everything the model keeps about a folder and its direct sub-items, as text.
inline std::string Dump(const CMyItem& folder) {
    std::string s =
        Fmt("n=%u files=%d folds=%d parts=%d |", folder.m_dwNumInFolder, folder.m_iFileNum,
            folder.m_iFoldNum, folder.m_pArray ? folder.m_pArray->m_dwPartsNum : -1);
    if (!folder.m_pArray) return s;
    for (std::size_t i = 0; i < folder.m_pArray->m_arParts.size(); ++i) {
        const CMyItem* p = folder.m_pArray->m_arParts[i].get();
        if (!p) continue;
        s += Fmt(" [%zu %p %s/%s/%s k%d i%d L%d par%p]", i, static_cast<const void*>(p),
                 p->m_strOrgName.c_str(), p->m_strNewName.c_str(), p->m_strWriteName.c_str(),
                 p->m_iKindIndex, p->m_iArrayIndex, p->m_iLayer,
                 static_cast<const void*>(p->m_pParent));
    }
    return s;
}

}  // namespace modeltest
