#pragma once
// Parallel loops and tasks on oneTBB, and the processor count. Callers decide
// whether to go parallel (the UseMulticores option); these helpers only run
// what they are given. Bodies must write disjoint data.

#include <cstddef>
#include <functional>
#include <mutex>

namespace platform
{

// Number of processors this process may use (at least 1).
int GetProcessorCount();

// Runs body(begin, end) over [first, last) split into chunks of at least grain
// elements, in parallel. Returns when every chunk has run.
void ParallelFor(size_t first, size_t last, size_t grain, const std::function<void(size_t, size_t)>& body);

// Runs body(strand) for strand = 0 .. strands-1 in parallel (the "strands" of a
// long loop: strand k takes every strands-th piece, or one slice, as the caller
// arranges). Returns when all have run.
void ParallelStrands(int strands, const std::function<void(int)>& body);

// Runs body(i) for i = 0 .. count-1 on all processors, handing the indices out one at a time in their order:
// each worker takes the next index when it is done with one. Put the costliest items first, and the cheap
// ones fill the gaps at the end. Returns when every item has run.
void ParallelInOrder(size_t count, const std::function<void(size_t)>& body);

// Runs both functions, possibly in parallel, and waits for both.
void ParallelInvoke(const std::function<void()>& first, const std::function<void()>& second);

// The lock used for shared buffers of the engine.
using CCriticalSection = std::mutex;
using CSingleLock = std::lock_guard<std::mutex>;

} // namespace platform
