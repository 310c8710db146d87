#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "model/sortorder.h"

namespace {

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

}  // namespace
