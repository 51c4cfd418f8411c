#pragma once
// A quicksort whose two halves run as parallel tasks above a size threshold;
// below it (or deep in the recursion) one sequential std::sort. Elements are
// moved, never shared: the tasks work on disjoint halves of the array.

#include "platform/Parallel.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

// Puts the items 0 .. count-1 into groups, keeping their order within each group (a counting sort by group):
// out[starts[g] .. starts[g + 1]) receives itemOf(i) for the items i with groupOf(i) == g. Returns starts
// (groups + 1 entries).
template <class T, class GroupOf, class ItemOf>
std::vector<size_t> GroupStably(size_t count, size_t groups, const GroupOf& groupOf, const ItemOf& itemOf, T* out)
{
    std::vector<size_t> starts(groups + 1, 0);
    for (size_t i = 0; i < count; ++i)
        ++starts[groupOf(i) + 1];
    for (size_t g = 0; g < groups; ++g)
        starts[g + 1] += starts[g];
    std::vector<size_t> next(starts.begin(), starts.end() - 1);
    for (size_t i = 0; i < count; ++i)
        out[next[groupOf(i)]++] = itemOf(i);
    return starts;
}

template <class T, class Less> void ParallelQuickSortInternal(T* data, long lo, long hi, int depth, const Less& less)
{
    if (lo >= hi)
        return;
    if (hi - lo < 10001 || depth >= 51)
    {
        std::sort(data + lo, data + hi + 1, less);
        return;
    }
    // Median of three as the pivot keeps sorted and reversed inputs balanced.
    const long mid = lo + (hi - lo) / 2;
    if (less(data[mid], data[lo]))
        std::swap(data[mid], data[lo]);
    if (less(data[hi], data[lo]))
        std::swap(data[hi], data[lo]);
    if (less(data[hi], data[mid]))
        std::swap(data[hi], data[mid]);
    std::swap(data[lo], data[mid]);
    const T pivot = data[lo];
    long store = lo;
    for (long i = lo + 1; i <= hi; ++i)
    {
        if (less(data[i], pivot))
            std::swap(data[++store], data[i]);
    }
    std::swap(data[lo], data[store]);
    platform::ParallelInvoke([&] { ParallelQuickSortInternal(data, lo, store - 1, depth + 1, less); },
                             [&] { ParallelQuickSortInternal(data, store + 1, hi, depth + 1, less); });
}
