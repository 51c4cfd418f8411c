#include "engine/Allocator.h"

#include "platform/Error.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{

// Every block carries its payload size in front, so frees and reallocations need no size from the caller.
// 16 bytes keep the payload aligned like malloc's.
struct SBlockHeader
{
    size_t m_nBytes;  // payload bytes of the block
    size_t m_nUnused; // pads the header to 16 bytes
};
static_assert(sizeof(SBlockHeader) == 16);

std::atomic<long> g_nFailureCountdown{0};

// True when the test seam says this allocation fails; counts the seam down.
bool ConsumeSimulatedFailure()
{
    long n = g_nFailureCountdown.load(std::memory_order_relaxed);
    while (n > 0)
    {
        if (g_nFailureCountdown.compare_exchange_weak(n, n - 1, std::memory_order_relaxed))
            return n == 1;
    }
    return false;
}

SBlockHeader* HeaderOf(void* p)
{
    return reinterpret_cast<SBlockHeader*>(static_cast<char*>(p) - sizeof(SBlockHeader));
}

void* PayloadOf(SBlockHeader* h)
{
    return reinterpret_cast<char*>(h) + sizeof(SBlockHeader);
}

bool TooLarge(size_t bytes)
{
    return bytes > SIZE_MAX / 2 - sizeof(SBlockHeader);
}

// Zero-filled block or null.
void* RawAllocate(size_t bytes)
{
    auto* h = static_cast<SBlockHeader*>(std::calloc(1, bytes + sizeof(SBlockHeader)));
    if (h == nullptr)
        return nullptr;
    h->m_nBytes = bytes;
    return PayloadOf(h);
}

// Resized block (contents kept, new part not yet cleared) or null with p untouched.
void* RawReallocate(void* p, size_t bytes)
{
    auto* h = static_cast<SBlockHeader*>(std::realloc(HeaderOf(p), bytes + sizeof(SBlockHeader)));
    if (h == nullptr)
        return nullptr;
    h->m_nBytes = bytes;
    return PayloadOf(h);
}

// The allocation step shared by table and detached memory: try, on failure call release (the reserve) and
// try once more, then throw. A simulated failure fails both tries.
template <typename TRelease> void* AllocateWithRetry(size_t bytes, TRelease release)
{
    if (TooLarge(bytes))
        throw COutOfMemoryException(bytes);
    const bool bSimulated = ConsumeSimulatedFailure();
    void* p = bSimulated ? nullptr : RawAllocate(bytes);
    if (p == nullptr)
    {
        release();
        if (!bSimulated)
            p = RawAllocate(bytes);
    }
    if (p == nullptr)
        throw COutOfMemoryException(bytes);
    return p;
}

// Resizes p (not null, newBytes > 0); returns the new block and sets *pOldBytes to the old payload size.
template <typename TRelease>
void* ReallocateWithRetry(void* p, size_t newBytes, size_t* pOldBytes, bool clearGrown, TRelease release)
{
    const size_t nOld = HeaderOf(p)->m_nBytes;
    *pOldBytes = nOld;
    if (newBytes <= nOld)
    {
        // Shrinking never fails: when the heap cannot hand out the smaller block we keep the larger one.
        void* q = RawReallocate(p, newBytes);
        return q != nullptr ? q : p;
    }
    if (TooLarge(newBytes))
        throw COutOfMemoryException(newBytes);
    const bool bSimulated = ConsumeSimulatedFailure();
    void* q = bSimulated ? nullptr : RawReallocate(p, newBytes);
    if (q == nullptr)
    {
        release();
        if (!bSimulated)
            q = RawReallocate(p, newBytes);
    }
    if (q == nullptr)
        throw COutOfMemoryException(newBytes);
    if (clearGrown)
        std::memset(static_cast<char*>(q) + nOld, 0, newBytes - nOld);
    return q;
}

} // namespace

CTableAllocator::CTableAllocator() : m_pReserve(nullptr), m_nAllocatedBytes(0)
{
    RefillReserve();
}

CTableAllocator::~CTableAllocator()
{
    ReleaseReserve();
}

void* CTableAllocator::AllocateMemory(size_t bytes)
{
    void* p = AllocateWithRetry(bytes, [this] { ReleaseReserve(); });
    m_nAllocatedBytes += bytes;
    return p;
}

void* CTableAllocator::ReallocateMemory(void* p, size_t oldBytes, size_t newBytes, bool clearGrown)
{
    if (newBytes == 0)
    {
        FreeMemory(p);
        return nullptr;
    }
    if (p == nullptr)
        return AllocateMemory(newBytes);
    size_t nOld = 0;
    void* q = ReallocateWithRetry(p, newBytes, &nOld, clearGrown, [this] { ReleaseReserve(); });
    m_nAllocatedBytes += HeaderOf(q)->m_nBytes;
    m_nAllocatedBytes -= nOld;
    return q;
}

void CTableAllocator::FreeMemory(void* p)
{
    if (p == nullptr)
        return;
    SBlockHeader* h = HeaderOf(p);
    m_nAllocatedBytes -= h->m_nBytes;
    std::free(h);
}

void CTableAllocator::RefillReserve()
{
    std::lock_guard<std::mutex> lock(m_reserveLock);
    if (m_pReserve == nullptr)
        m_pReserve = std::malloc(s_nReserveBytes);
}

void CTableAllocator::ReleaseReserve()
{
    std::lock_guard<std::mutex> lock(m_reserveLock);
    std::free(m_pReserve);
    m_pReserve = nullptr;
}

void CTableAllocator::SetFailureCountdown(long n)
{
    g_nFailureCountdown.store(n > 0 ? n : 0, std::memory_order_relaxed);
}

void* CTableAllocator::AllocateDetached(size_t bytes)
{
    return AllocateWithRetry(bytes, [] {});
}

void* CTableAllocator::ReallocateDetached(void* p, size_t newBytes, bool clearGrown)
{
    if (newBytes == 0)
    {
        FreeDetached(p);
        return nullptr;
    }
    if (p == nullptr)
        return AllocateDetached(newBytes);
    size_t nOld = 0;
    return ReallocateWithRetry(p, newBytes, &nOld, clearGrown, [] {});
}

void CTableAllocator::FreeDetached(void* p)
{
    if (p != nullptr)
        std::free(HeaderOf(p));
}

void* CBlockChain::AddBlock(size_t bytes)
{
    if (TooLarge(bytes))
        throw COutOfMemoryException(bytes);
    auto* pLink = static_cast<SLink*>(m_allocator.AllocateMemory(sizeof(SLink) + bytes));
    pLink->m_nBytes = bytes;
    if (m_pLast != nullptr)
        m_pLast->m_pNext = pLink;
    else
        m_pFirst = pLink;
    m_pLast = pLink;
    ++m_nBlockCount;
    m_nAllocatedBytes += bytes;
    return PayloadOf(pLink);
}

void CBlockChain::FreeAfter(void* pBlock)
{
    SLink* pKeep = pBlock != nullptr ? LinkOf(pBlock) : nullptr;
    SLink* pLink = pKeep != nullptr ? pKeep->m_pNext : m_pFirst;
    while (pLink != nullptr)
    {
        SLink* pNext = pLink->m_pNext;
        --m_nBlockCount;
        m_nAllocatedBytes -= pLink->m_nBytes;
        m_allocator.FreeMemory(pLink);
        pLink = pNext;
    }
    if (pKeep != nullptr)
        pKeep->m_pNext = nullptr;
    else
        m_pFirst = nullptr;
    m_pLast = pKeep;
}
