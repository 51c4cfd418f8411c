#include "selection/RecordScan.h"

#include "platform/Parallel.h"

#include <algorithm>

int StrandCount(bool useMulticores, long n, int perProcessor)
{
    if (!useMulticores)
        return 1;
    const long strands = std::min<long>(static_cast<long>(perProcessor) * platform::GetProcessorCount(), n + 1);
    return static_cast<int>(std::max(strands, 1L));
}

void RunStrands(int strands, long n, const std::function<void(long, long)>& body)
{
    if (strands <= 1 || n < 2)
    {
        body(0, n);
        return;
    }
    // Contiguous slices: each strand writes only its own records, and neighbouring records (which share
    // cache lines) stay in one strand.
    platform::ParallelStrands(strands, [&](int k) {
        const long begin = static_cast<long>(static_cast<long long>(n) * k / strands);
        const long end = static_cast<long>(static_cast<long long>(n) * (k + 1) / strands);
        body(begin, end);
    });
}
