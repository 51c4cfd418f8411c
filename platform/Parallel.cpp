#include "Parallel.h"

#include <algorithm>
#include <atomic>

#include <tbb/blocked_range.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <tbb/parallel_invoke.h>

namespace platform
{

int GetProcessorCount()
{
    const int n = tbb::info::default_concurrency();
    return n > 0 ? n : 1;
}

void ParallelFor(size_t first, size_t last, size_t grain, const std::function<void(size_t, size_t)>& body)
{
    if (first >= last)
        return;
    if (grain == 0)
        grain = 1;
    tbb::parallel_for(tbb::blocked_range<size_t>(first, last, grain),
                      [&](const tbb::blocked_range<size_t>& r) { body(r.begin(), r.end()); });
}

void ParallelStrands(int strands, const std::function<void(int)>& body)
{
    if (strands <= 0)
        return;
    tbb::parallel_for(0, strands, [&](int k) { body(k); });
}

void ParallelInOrder(size_t count, const std::function<void(size_t)>& body)
{
    std::atomic<size_t> next{0};
    const int workers = static_cast<int>(std::min<size_t>(count, static_cast<size_t>(GetProcessorCount())));
    ParallelStrands(workers,
                    [&](int)
                    {
                        for (size_t i = next++; i < count; i = next++)
                            body(i);
                    });
}

void ParallelInvoke(const std::function<void()>& first, const std::function<void()>& second)
{
    tbb::parallel_invoke(first, second);
}

} // namespace platform
