// Running out of memory inside the item model operations.
//
// The test binary replaces the global operator new so that the n-th allocation from a chosen
// moment fails (once, or from then on). Each operation is run with n = 0, 1, 2 ... until it
// completes without meeting the failure: every failure must come back as the operation's
// failure value with the folder exactly as before (nothing half-made in the tree), no exception
// may leave the operation, and nothing may leak (LeakSanitizer in the sanitizer build).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

#include "model/model_test_util.h"

namespace {

std::atomic<long> g_countdown{-1};  // allocations to let through before one fails; -1: off
std::atomic<bool> g_sticky{false};  // after the first failure, fail every allocation
std::atomic<bool> g_failing{false};
std::atomic<long> g_failures{0};

bool ShouldFail() {
    if (g_failing.load(std::memory_order_relaxed)) {
        ++g_failures;
        return true;
    }
    const long c = g_countdown.load(std::memory_order_relaxed);
    if (c < 0) return false;
    if (c > 0) {
        g_countdown.store(c - 1, std::memory_order_relaxed);
        return false;
    }
    g_countdown.store(-1, std::memory_order_relaxed);
    if (g_sticky.load(std::memory_order_relaxed)) g_failing.store(true, std::memory_order_relaxed);
    ++g_failures;
    return true;
}

// Arms the failure for the lifetime of the object; failures() tells whether one was met.
class FailAfter {
  public:
    FailAfter(long n, bool sticky) {
        g_failures = 0;
        g_sticky = sticky;
        g_failing = false;
        g_countdown = n;
    }
    ~FailAfter() { Disarm(); }
    long Disarm() {
        g_countdown = -1;
        g_failing = false;
        return g_failures.load();
    }
};

}  // namespace

void* operator new(std::size_t n) {
    if (ShouldFail()) throw std::bad_alloc();
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    return ::operator new(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(n);
    } catch (...) {
        return nullptr;
    }
}
// The replaced operators pair malloc with free on purpose; GCC cannot see that they match.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using modeltest::Dump;
using modeltest::ModelTest;

class AllocFailureTest : public ModelTest {
  protected:
    // Builds a fresh tree with setup, runs op under a failure at every allocation in turn (both
    // modes) and checks: failure -> the root folder (and the folder at path, if given) dumps as
    // before; success -> the folder is consistent. op returns whether it succeeded; cleanup
    // runs after each attempt while memory is normal (to free what the caller owns).
    void ForEachFailure(const std::string& pattern, const std::function<bool(CMyItem&)>& op,
                        const std::function<void(CMyItem&, bool)>& cleanup = {}) {
        for (bool sticky : {false, true}) {
            for (long n = 0;; ++n) {
                auto root = MakeRootItem(tracePath, true);
                ASSERT_NE(root, nullptr);
                Fill(*root, pattern);
                CMyItem* sub = root->MakeSubFold();  // a sub-folder with items of its own
                Fill(*sub, "fF");
                const std::string before = Dump(*root);
                const std::string beforeSub = Dump(*sub);
                bool ok = false;
                long failures = 0;
                {
                    FailAfter arm(n, sticky);
                    ok = op(*root);
                    failures = arm.Disarm();
                }
                if (failures == 0) {
                    EXPECT_TRUE(ok) << "n=" << n;
                    modeltest::ExpectConsistent(*root);
                    if (cleanup) cleanup(*root, ok);
                    break;  // the operation ran through without meeting a failure
                }
                if (!ok) {
                    EXPECT_EQ(Dump(*root), before) << "n=" << n << " sticky=" << sticky;
                    EXPECT_EQ(Dump(*sub), beforeSub) << "n=" << n << " sticky=" << sticky;
                } else {
                    modeltest::ExpectConsistent(*root);  // a failure in a trace line only
                }
                if (cleanup) cleanup(*root, ok);
                if (HasFailure()) return;
                ASSERT_LT(n, 10000) << "the operation never completes";
            }
        }
    }
};

TEST_F(AllocFailureTest, MakeSubFoldAndMakeSubFile) {
    ForEachFailure("fFf", [](CMyItem& r) { return r.MakeSubFold() != nullptr; });
    ForEachFailure("fFf", [](CMyItem& r) { return r.MakeSubFile() != nullptr; });
}

TEST_F(AllocFailureTest, GrowingTheSlots) {
    ForEachFailure(std::string(1999, 'f'), [](CMyItem& r) { return r.MakeSubFile() != nullptr; });
}

TEST_F(AllocFailureTest, AddItem) {
    std::unique_ptr<CMyItem> item;
    ForEachFailure(
        "fF",
        [&](CMyItem& r) {
            try {
                item = std::make_unique<CMyItem>();
                item->m_strNewName = "a fairly long new name that needs memory";
            } catch (...) {
                return false;
            }
            if (r.AddItem(item.get()) != 1) return false;  // not appended: still ours
            (void)item.release();                          // the folder owns it now
            return true;
        },
        [&](CMyItem&, bool) { item.reset(); });
}

TEST_F(AllocFailureTest, ClearSubItemsAndHandOnTheItems) {
    std::vector<CMyItem*> taken;
    const std::vector<int> positions = {1, 3, 4};  // made before any failure is armed
    ForEachFailure(
        "fFfFffF",
        [&](CMyItem& r) {
            taken.clear();
            try {
                taken.reserve(8);
            } catch (...) {
                return false;
            }
            return r.ClearSubItems(3, positions, &taken) == 0;
        },
        [&](CMyItem& r, bool ok) {
            if (!ok) return;
            EXPECT_EQ(taken.size(), 3u);
            CMyItem* target = r.GetSubItem(r.m_pArray->m_dwPartsNum - 1);
            EXPECT_EQ(target->AddItems(static_cast<int>(taken.size()), taken), 0);
        });
}

TEST_F(AllocFailureTest, DragMoveBothDirections) {
    const std::vector<int> back = {4, 5}, forward = {0, 2};
    ForEachFailure("fFfFfFff", [&](CMyItem& r) { return r.MoveSubItems(back, 1) == 0; });
    ForEachFailure("fFfFfFff", [&](CMyItem& r) { return r.MoveSubItems(forward, 5) == 0; });
}

TEST_F(AllocFailureTest, UpdateWriteNameKeepsTheOldNamesWhenItFails) {
    for (bool autoIndex : {true, false}) {
        for (bool sticky : {false, true}) {
            for (long n = 0;; ++n) {
                auto root = MakeRootItem(tracePath, autoIndex);
                CMyItem* f = root->MakeSubFile();
                f->m_strNewName = "a new name long enough to need its own memory block";
                const std::string before = f->m_strWriteName;
                long failures = 0;
                {
                    FailAfter arm(n, sticky);
                    f->UpdateWriteName();
                    failures = arm.Disarm();
                }
                if (failures == 0) {
                    EXPECT_EQ(f->m_strWriteName, (autoIndex ? "000_" : "") + f->m_strNewName);
                    break;
                }
                EXPECT_EQ(f->m_strWriteName, before) << n;
                EXPECT_EQ(f->m_strNewName, "a new name long enough to need its own memory block");
            }
        }
    }
}

TEST_F(AllocFailureTest, SetToFolderLeavesTheItemAsItWas) {
    for (bool sticky : {false, true}) {
        for (long n = 0;; ++n) {
            CMyItem item;
            item.m_strTracePath = tracePath + std::string(40, 'x');  // copying it needs memory
            int result = 0;
            long failures = 0;
            {
                FailAfter arm(n, sticky);
                result = item.SetToFolder();
                failures = arm.Disarm();
            }
            if (failures == 0) {
                EXPECT_EQ(result, 0);
                EXPECT_TRUE(item.m_bIsFolder && item.m_pArray);
                break;
            }
            EXPECT_EQ(result, -1);
            EXPECT_EQ(item.m_bIsFolder, 0);
            EXPECT_EQ(item.m_pArray, nullptr);
        }
    }
}

TEST_F(AllocFailureTest, MakeRootItem) {
    const std::string longTracePath = tracePath + std::string(40, 'x');
    for (long n = 0;; ++n) {
        std::unique_ptr<CMyItem> root;
        long failures = 0;
        {
            FailAfter arm(n, true);
            root = MakeRootItem(longTracePath, true);
            failures = arm.Disarm();
        }
        if (failures == 0) {
            ASSERT_NE(root, nullptr);
            EXPECT_EQ(root->m_strWriteName, "Root");
            break;
        }
        EXPECT_EQ(root, nullptr);
    }
}

}  // namespace
