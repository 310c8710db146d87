// The orders of a folder's sub-items, computed fast but exactly as the folder's selection sorts
// and its folders-first pass leave them (including the order among equal keys, which those
// sorts do not keep stable).
//
// The routines do not move anything themselves: they call swap(p, m) for the very swaps the
// plain algorithm would make (leaving out swaps of a position with itself), so the caller
// replays them on the real array and every item gets its position as before.
#pragma once

#include <utility>
#include <vector>

namespace dov {

// The selection sort
//     for p = 0 .. n-2:
//         m = p; for j = p+1 .. n-1: if before(elem[j], elem[m]) m = j;
//         swap(p, m)
// in O(n log n) comparisons: a tree over the positions keeps, for every range, the first
// element that no later one beats; the position just filled drops out of the tree.
//
// before(a, b): element a goes strictly before element b (a total preorder, e.g. "less" for
// ascending, "greater" for descending). Elements are named by their positions before the sort
// (0 .. n-1), so the caller can compare keys it took in that order.
template <class Before, class Swap>
void SelectionSortSwaps(int n, Before before, Swap swap) {
    if (n < 2) return;
    // Already in order (no element goes before the one ahead of it): every position holds the
    // first of the best that remain, so the sort makes no swap at all.
    int inOrder = 1;
    while (inOrder < n && !before(inOrder, inOrder - 1)) ++inOrder;
    if (inOrder == n) return;
    int size = 1;
    while (size < n) size <<= 1;
    std::vector<int> tree(2 * size, -1);  // element id, -1 for an empty range
    std::vector<int> atPos(n), posOf(n);
    for (int i = 0; i < n; ++i) {
        atPos[i] = posOf[i] = i;
        tree[size + i] = i;
    }
    auto pick = [&](int left, int right) {
        if (left < 0) return right;
        if (right < 0) return left;
        // Left wins ties: only a strictly better later element replaces the candidate.
        return before(right, left) ? right : left;
    };
    for (int k = size - 1; k >= 1; --k) tree[k] = pick(tree[2 * k], tree[2 * k + 1]);
    auto set = [&](int pos, int elem) {
        int k = size + pos;
        tree[k] = elem;
        for (k >>= 1; k >= 1; k >>= 1) tree[k] = pick(tree[2 * k], tree[2 * k + 1]);
    };
    for (int p = 0; p + 1 < n; ++p) {
        const int best = tree[1];
        const int m = posOf[best];
        if (m != p) {
            swap(p, m);
            const int moved = atPos[p];
            atPos[m] = moved;
            posOf[moved] = m;
            atPos[p] = best;
            posOf[best] = p;
            set(m, moved);
        }
        set(p, -1);
    }
}

// Moves every element to the position target[i] (a permutation of 0 .. n-1, indexed by the
// positions before the moves) with at most n-1 calls of swap(p, m), p < m not assumed. When no
// two elements are equal, this gives the selection sort's result with far fewer steps.
template <class Swap>
void PermutationSwaps(std::vector<int> target, Swap swap) {
    const int n = static_cast<int>(target.size());
    for (int p = 0; p < n; ++p) {
        // Each swap puts one element where it belongs, so every cycle closes.
        while (target[p] != p) {
            const int q = target[p];
            swap(p, q);
            std::swap(target[p], target[q]);
        }
    }
}

// The folders-first pass
//     walk the positions; at each file, swap it with the first folder after it; stop when no
//     folder follows the file
// in one sweep. isFolder(pos) looks at the array as it stands (after the swaps made so far).
template <class IsFolder, class Swap>
void FoldersFirstSwaps(int n, IsFolder isFolder, Swap swap) {
    int j = 0;  // where the search for the next folder goes on
    for (int i = 0; i < n; ++i) {
        if (j <= i) j = i + 1;
        if (isFolder(i)) continue;
        // Positions i+1 .. j-1 hold files already seen, so the first folder after i lies at j
        // or later.
        while (j < n && !isFolder(j)) ++j;
        if (j >= n) return;
        swap(i, j);
        ++j;  // position j now holds the file just moved there
    }
}

}  // namespace dov
