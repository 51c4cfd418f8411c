#pragma once
// The value lookup of an attribute: value text -> value index.

#include "engine/Allocator.h"
#include "platform/Text.h"

#include <cstdint>

// A fixed array of buckets (sized from the prime list for the expected count), each bucket an unbalanced
// binary search tree ordered by ordinal comparison of UTF-16 code units. Keys are zero-terminated texts owned
// by someone else (the attribute's value store) and must stay valid while stored; Lookup takes any view and
// compares it length-aware, so callers need no terminated copy. Nodes (32 bytes) come 1024 to a block from
// the table allocator and are freed only together. The tree never grows its bucket array: the owner drops it
// and makes a larger one when the count outgrows the buckets.
// Threading: Lookup may run from several threads at once; Store and RemoveAll on the table's thread only.
class CHashTree
{
public:
    static constexpr long s_nNodesPerBlock = 1024;

    // Makes PrimeHashSize(expectedCount) empty buckets. Throws COutOfMemoryException.
    CHashTree(CTableAllocator& allocator, size_t expectedCount);
    ~CHashTree();
    CHashTree(const CHashTree&) = delete;
    CHashTree& operator=(const CHashTree&) = delete;

    // True when key is stored; then *index (when not null) receives its index.
    bool Lookup(KStringView key, long* index) const;

    // Stores key -> index. An equal key already stored is overwritten (its pointer and index). Throws
    // COutOfMemoryException with the tree unchanged.
    void Store(const char16_t* key, long index);

    // h = h * 33 + c over the UTF-16 code units, wrapping at 32 bits, from h = 0.
    static uint32_t HashKey(KStringView key);

    long GetCount() const { return m_nCount; }
    size_t GetBucketCount() const { return m_nBucketCount; }
    long GetUsedBucketCount() const { return m_nUsedBucketCount; }
    size_t GetAllocatedBytes() const;

    // Forgets every key and frees the node blocks; the buckets stay.
    void RemoveAll();

    // Cheap consistency check of the counters (tests).
    bool Validate() const;
    // Thorough check: every listed bucket is non-empty, every tree is ordered and hashed to its bucket, and
    // the nodes add up to the count (tests).
    bool ValidateFull() const;

private:
    struct SNode
    {
        const char16_t* m_pKey; // zero-terminated key text, not owned
        int32_t m_nIndex;       // the value index stored for the key
        uint32_t m_nHash;       // HashKey of the key: most comparisons end here without reading the text
        SNode* m_pGreater;      // subtree of keys greater than m_pKey (by hash, then ordinally)
        SNode* m_pSmaller;      // subtree of keys smaller than m_pKey (by hash, then ordinally)
    };
    static_assert(sizeof(SNode) == 32);

    static int Compare(KStringView key, const char16_t* pStored);
    SNode* NewNode();
    void ReserveUsedBucket();

    CTableAllocator& m_allocator; // source of all memory; outlives the tree
    SNode** m_ppBuckets;          // m_nBucketCount tree roots, null for an empty bucket
    size_t m_nBucketCount;        // fixed at construction, from the prime list
    uint32_t* m_pUsedBuckets;     // numbers of the non-empty buckets in order of first use
    long m_nUsedBucketCount;      // entries in m_pUsedBuckets
    long m_nUsedBucketCapacity;   // room in m_pUsedBuckets, <= m_nBucketCount
    CBlockChain m_nodeBlocks;     // node blocks of s_nNodesPerBlock nodes
    SNode* m_pCurrentNodes;       // the newest node block, null before the first
    long m_nUsedInCurrent;        // nodes handed out from m_pCurrentNodes
    long m_nCount;                // keys stored (one node each)
};
