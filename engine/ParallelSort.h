#pragma once
// A quicksort whose two halves run as parallel tasks above a size threshold;
// below it (or deep in the recursion) one sequential std::sort. Elements are
// moved, never shared: the tasks work on disjoint halves of the array.

#include "platform/Parallel.h"

#include <algorithm>
#include <utility>

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
