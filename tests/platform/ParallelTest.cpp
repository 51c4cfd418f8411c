#include "platform/Parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

using namespace platform;

TEST(Parallel, InOrderRunsEveryItemOnceHandingThemOutInOrder)
{
    for (const size_t count : {size_t{0}, size_t{1}, size_t{2}, size_t{1000}})
    {
        std::vector<std::atomic<int>> runs(count);
        std::mutex lock;
        std::vector<std::pair<std::thread::id, size_t>> seen;
        ParallelInOrder(count,
                        [&](size_t i)
                        {
                            ++runs[i];
                            const std::lock_guard<std::mutex> guard(lock);
                            seen.emplace_back(std::this_thread::get_id(), i);
                        });
        for (size_t i = 0; i < count; ++i)
            ASSERT_EQ(runs[i].load(), 1) << "item " << i << " of " << count;
        // Each worker takes ever later items: the items of one thread come in increasing order.
        for (size_t a = 0; a < seen.size(); ++a)
        {
            for (size_t b = a + 1; b < seen.size(); ++b)
            {
                if (seen[a].first == seen[b].first)
                {
                    ASSERT_LT(seen[a].second, seen[b].second);
                }
            }
        }
    }
}
