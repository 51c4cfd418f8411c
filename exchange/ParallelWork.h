#pragma once
// CParallelWork: the one choice of an import or export between serial and parallel work, and the loops that
// follow it. A read or an export decides once (the table's UseMulticores option, the size of the work) and
// runs its loops through this object, so that the serial path and the parallel path do the same steps.
// Threading: made and used on the table's thread; the bodies it runs in parallel must write disjoint data.

#include "platform/Parallel.h"

#include <cstddef>
#include <functional>

namespace exchange
{

class CParallelWork
{
public:
    // allowed: the options and the size of the work allow tasks; they start only with more than one processor.
    explicit CParallelWork(bool allowed) : m_bParallel(allowed && platform::GetProcessorCount() > 1) {}

    // True when the work runs in parallel tasks.
    bool IsParallel() const { return m_bParallel; }
    // The processors that take part: all of them, or 1.
    size_t GetWorkers() const { return m_bParallel ? static_cast<size_t>(platform::GetProcessorCount()) : 1; }

    // body(i) for i = 0 .. count-1: one after another, or handed out to the tasks in this order (put the
    // costliest items first).
    void ForEachInOrder(size_t count, const std::function<void(size_t)>& body) const
    {
        if (m_bParallel)
        {
            platform::ParallelInOrder(count, body);
            return;
        }
        for (size_t i = 0; i < count; ++i)
            body(i);
    }

    // body(a, b) over [0, count): at once, or over ranges of at least grain items in parallel.
    void ForRanges(size_t count, size_t grain, const std::function<void(size_t, size_t)>& body) const
    {
        if (m_bParallel && count > grain)
            platform::ParallelFor(0, count, grain, body);
        else if (count > 0)
            body(0, count);
    }

    // Both functions: side by side, or first and then second.
    void Both(const std::function<void()>& first, const std::function<void()>& second) const
    {
        if (m_bParallel)
        {
            platform::ParallelInvoke(first, second);
            return;
        }
        first();
        second();
    }

private:
    bool m_bParallel; // tasks run in parallel
};

} // namespace exchange
