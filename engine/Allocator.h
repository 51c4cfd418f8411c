#pragma once
// Bulk memory of one table: every value store, record store, hash and packed array of a table takes its
// memory here, so that the table can report its memory use and survive running out of memory.

#include <atomic>
#include <cstddef>
#include <mutex>

// The memory source of one table. New memory, and the grown part of reallocated memory, is zero-filled.
// Allocation failure releases a spare reserve, retries once and then throws COutOfMemoryException; nothing
// is shown and nothing exits: the caller's checkpoint restores the table and RefillReserve() re-arms the reserve.
// Threading: allocations, reallocations and frees may come from several threads at once (the text import fills
// different attributes in parallel tasks); each block is used by one thread at a time.
class CTableAllocator
{
public:
    // Size of the spare reserve that is released when memory runs out.
    static constexpr size_t s_nReserveBytes = 8u << 20;

    CTableAllocator();
    ~CTableAllocator();
    CTableAllocator(const CTableAllocator&) = delete;
    CTableAllocator& operator=(const CTableAllocator&) = delete;

    // Returns bytes of zero-filled memory, owned by the caller until FreeMemory. Zero bytes gives a unique
    // pointer too. Throws COutOfMemoryException.
    void* AllocateMemory(size_t bytes);

    // Resizes a block from AllocateMemory (p null: allocates). The grown part is zero-filled, unless clearGrown
    // is false (arrays that write every slot before they read it: a large reservation then costs no memory
    // until it is used); newBytes 0 frees the block and returns nullptr. oldBytes is advisory: the allocator
    // knows each block's size. Shrinking never fails. Throws COutOfMemoryException, leaving p untouched.
    void* ReallocateMemory(void* p, size_t oldBytes, size_t newBytes, bool clearGrown = true);

    // Frees a block from AllocateMemory or ReallocateMemory; null is ignored.
    void FreeMemory(void* p);

    // Takes the spare reserve again after a failure was handled. Quietly does nothing when that fails.
    void RefillReserve();

    // Live bytes handed out and not yet freed (memory reports).
    size_t GetAllocatedBytes() const { return m_nAllocatedBytes; }

    // Bytes currently held in reserve (0 after a failure until RefillReserve).
    size_t GetReserveBytes() const { return m_pReserve != nullptr ? s_nReserveBytes : 0; }

    // Test seam: the n-th allocation or growing reallocation from now fails as if memory were exhausted
    // (1 = the next; 0 = off). Process-wide; counts the allocations of every table and of detached memory.
    static void SetFailureCountdown(long n);

    // Memory of a structure that belongs to no table (a temporary record array, say): the process heap with
    // the same rules (zero-filled, header-tracked, failure seam, COutOfMemoryException) but no reserve.
    static void* AllocateDetached(size_t bytes);
    static void* ReallocateDetached(void* p, size_t newBytes, bool clearGrown = true);
    static void FreeDetached(void* p);

private:
    void ReleaseReserve();

    void* m_pReserve;                      // spare block of s_nReserveBytes, or null after it was released
    std::mutex m_reserveLock;              // guards m_pReserve
    std::atomic<size_t> m_nAllocatedBytes; // sum of the payload sizes of all live blocks from this allocator
};

// Helpers for structures that work with or without a table: the table's allocator when a is not null,
// detached heap memory otherwise. The same a must be used for a block's whole life.
inline void* AllocateFrom(CTableAllocator* a, size_t bytes)
{
    return a != nullptr ? a->AllocateMemory(bytes) : CTableAllocator::AllocateDetached(bytes);
}

inline void* ReallocateFrom(CTableAllocator* a, void* p, size_t oldBytes, size_t newBytes, bool clearGrown = true)
{
    return a != nullptr ? a->ReallocateMemory(p, oldBytes, newBytes, clearGrown)
                        : CTableAllocator::ReallocateDetached(p, newBytes, clearGrown);
}

inline void FreeFrom(CTableAllocator* a, void* p)
{
    if (a != nullptr)
        a->FreeMemory(p);
    else
        CTableAllocator::FreeDetached(p);
}

// A chain of blocks from one table allocator, oldest first, for pools that hand out pieces of large blocks
// and free them only together or back to a checkpointed block (value stores, record stores, hash nodes).
// Threading: as its allocator.
class CBlockChain
{
public:
    explicit CBlockChain(CTableAllocator& allocator) : m_allocator(allocator) {}
    ~CBlockChain() { FreeAfter(nullptr); }
    CBlockChain(const CBlockChain&) = delete;
    CBlockChain& operator=(const CBlockChain&) = delete;

    // Appends a zero-filled block of bytes and returns its payload (owned by the chain). Throws
    // COutOfMemoryException with the chain unchanged.
    void* AddBlock(size_t bytes);

    // Frees every block added after the block whose payload is pBlock; null frees all.
    void FreeAfter(void* pBlock);

    // Payload of the newest block, or null when the chain is empty.
    void* GetLastBlock() const { return m_pLast != nullptr ? PayloadOf(m_pLast) : nullptr; }

    long GetBlockCount() const { return m_nBlockCount; }
    size_t GetAllocatedBytes() const { return m_nAllocatedBytes; }

private:
    // Prefix of every block; 16 bytes keep the payload aligned for records and pointers.
    struct SLink
    {
        SLink* m_pNext;  // the next newer block, null for the newest
        size_t m_nBytes; // payload bytes of this block
    };
    static void* PayloadOf(SLink* pLink) { return pLink + 1; }
    static SLink* LinkOf(void* pPayload) { return static_cast<SLink*>(pPayload) - 1; }

    CTableAllocator& m_allocator; // source of every block; outlives the chain
    SLink* m_pFirst = nullptr;    // oldest block, null when empty
    SLink* m_pLast = nullptr;     // newest block, null when empty
    long m_nBlockCount = 0;       // blocks in the chain
    size_t m_nAllocatedBytes = 0; // sum of the payload bytes of all blocks
};
