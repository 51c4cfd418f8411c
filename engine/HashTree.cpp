#include "engine/HashTree.h"

#include "engine/PrimeSizes.h"

#include <cstring>
#include <vector>

CHashTree::CHashTree(CTableAllocator& allocator, size_t expectedCount)
    : m_allocator(allocator), m_ppBuckets(nullptr), m_nBucketCount(PrimeHashSize(expectedCount)),
      m_pUsedBuckets(nullptr), m_nUsedBucketCount(0), m_nUsedBucketCapacity(0), m_nodeBlocks(allocator),
      m_pCurrentNodes(nullptr), m_nUsedInCurrent(0), m_nCount(0)
{
    if (m_nBucketCount > UINT32_MAX)
        m_nBucketCount = UINT32_MAX;
    m_ppBuckets = static_cast<SNode**>(m_allocator.AllocateMemory(m_nBucketCount * sizeof(SNode*)));
}

CHashTree::~CHashTree()
{
    m_allocator.FreeMemory(m_pUsedBuckets);
    m_allocator.FreeMemory(m_ppBuckets);
}

uint32_t CHashTree::HashKey(KStringView key)
{
    uint32_t h = 0;
    for (char16_t c : key)
        h = h * 33u + c;
    return h;
}

int CHashTree::Compare(KStringView key, const char16_t* pStored)
{
    const size_t n = key.size();
    for (size_t i = 0; i < n; ++i)
    {
        const char16_t s = pStored[i];
        if (s == 0)
            return 1; // the stored text ends first: key is greater
        if (key[i] != s)
            return key[i] < s ? -1 : 1;
    }
    return pStored[n] == 0 ? 0 : -1;
}

bool CHashTree::Lookup(KStringView key, long* index) const
{
    const uint32_t nHash = HashKey(key);
    const SNode* pNode = m_ppBuckets[nHash % m_nBucketCount];
    while (pNode != nullptr)
    {
        const int nCompare = nHash != pNode->m_nHash ? (nHash > pNode->m_nHash ? 1 : -1) : Compare(key, pNode->m_pKey);
        if (nCompare == 0)
        {
            if (index != nullptr)
                *index = pNode->m_nIndex;
            return true;
        }
        pNode = nCompare > 0 ? pNode->m_pGreater : pNode->m_pSmaller;
    }
    return false;
}

CHashTree::SNode* CHashTree::NewNode()
{
    if (m_pCurrentNodes == nullptr || m_nUsedInCurrent == s_nNodesPerBlock)
    {
        m_pCurrentNodes = static_cast<SNode*>(m_nodeBlocks.AddBlock(sizeof(SNode) * s_nNodesPerBlock));
        m_nUsedInCurrent = 0;
    }
    return m_pCurrentNodes + m_nUsedInCurrent++;
}

void CHashTree::ReserveUsedBucket()
{
    if (m_nUsedBucketCount < m_nUsedBucketCapacity)
        return;
    size_t nNew = m_nUsedBucketCapacity == 0 ? 64 : static_cast<size_t>(m_nUsedBucketCapacity) * 2;
    if (nNew > m_nBucketCount)
        nNew = m_nBucketCount;
    m_pUsedBuckets = static_cast<uint32_t*>(m_allocator.ReallocateMemory(
        m_pUsedBuckets, m_nUsedBucketCapacity * sizeof(uint32_t), nNew * sizeof(uint32_t)));
    m_nUsedBucketCapacity = static_cast<long>(nNew);
}

void CHashTree::Store(const char16_t* key, long index)
{
    const KStringView view(key, platform::Length(key));
    const uint32_t nHash = HashKey(view);
    const uint32_t bucket = static_cast<uint32_t>(nHash % m_nBucketCount);
    SNode** ppLink = &m_ppBuckets[bucket];
    while (*ppLink != nullptr)
    {
        SNode* pNode = *ppLink;
        const int nCompare =
            nHash != pNode->m_nHash ? (nHash > pNode->m_nHash ? 1 : -1) : Compare(view, pNode->m_pKey);
        if (nCompare == 0)
        {
            pNode->m_pKey = key;
            pNode->m_nIndex = static_cast<int32_t>(index);
            return;
        }
        ppLink = nCompare > 0 ? &pNode->m_pGreater : &pNode->m_pSmaller;
    }
    // Take all memory before linking anything, so a failure leaves the tree as it was.
    const bool bNewBucket = m_ppBuckets[bucket] == nullptr;
    if (bNewBucket)
        ReserveUsedBucket();
    SNode* pNode = NewNode();
    pNode->m_pKey = key;
    pNode->m_nIndex = static_cast<int32_t>(index);
    pNode->m_nHash = nHash;
    pNode->m_pGreater = nullptr;
    pNode->m_pSmaller = nullptr;
    *ppLink = pNode;
    if (bNewBucket)
        m_pUsedBuckets[m_nUsedBucketCount++] = bucket;
    ++m_nCount;
}

size_t CHashTree::GetAllocatedBytes() const
{
    return m_nBucketCount * sizeof(SNode*) + static_cast<size_t>(m_nUsedBucketCapacity) * sizeof(uint32_t) +
           m_nodeBlocks.GetAllocatedBytes();
}

void CHashTree::RemoveAll()
{
    if (static_cast<size_t>(m_nUsedBucketCount) <= m_nBucketCount / 4)
    {
        for (long i = 0; i < m_nUsedBucketCount; ++i)
            m_ppBuckets[m_pUsedBuckets[i]] = nullptr;
    }
    else
    {
        std::memset(m_ppBuckets, 0, m_nBucketCount * sizeof(SNode*));
    }
    m_nUsedBucketCount = 0;
    m_nodeBlocks.FreeAfter(nullptr);
    m_pCurrentNodes = nullptr;
    m_nUsedInCurrent = 0;
    m_nCount = 0;
}

bool CHashTree::Validate() const
{
    const long nBlocks = m_nodeBlocks.GetBlockCount();
    if ((nBlocks == 0) != (m_pCurrentNodes == nullptr) || m_nUsedInCurrent < 0 || m_nUsedInCurrent > s_nNodesPerBlock)
        return false;
    const long nNodes = nBlocks == 0 ? 0 : (nBlocks - 1) * s_nNodesPerBlock + m_nUsedInCurrent;
    return m_ppBuckets != nullptr && m_nCount == nNodes && m_nUsedBucketCount <= m_nUsedBucketCapacity &&
           static_cast<size_t>(m_nUsedBucketCount) <= m_nBucketCount && m_nUsedBucketCount <= m_nCount;
}

bool CHashTree::ValidateFull() const
{
    if (!Validate())
        return false;
    long nNodes = 0;
    long nNonEmpty = 0;
    for (size_t b = 0; b < m_nBucketCount; ++b)
        nNonEmpty += m_ppBuckets[b] != nullptr ? 1 : 0;
    if (nNonEmpty != m_nUsedBucketCount)
        return false;
    // Walk every listed bucket with an explicit stack of (node, exclusive lower bound, exclusive upper bound).
    struct SFrame
    {
        const SNode* m_pNode;
        const SNode* m_pLow;  // exclusive bounds of the subtree, null when open
        const SNode* m_pHigh;
    };
    // The tree order: by hash, then ordinally.
    auto Order = [](const SNode* a, const SNode* b) {
        if (a->m_nHash != b->m_nHash)
            return a->m_nHash < b->m_nHash ? -1 : 1;
        return Compare(KStringView(a->m_pKey, platform::Length(a->m_pKey)), b->m_pKey);
    };
    for (long i = 0; i < m_nUsedBucketCount; ++i)
    {
        const uint32_t bucket = m_pUsedBuckets[i];
        if (bucket >= m_nBucketCount || m_ppBuckets[bucket] == nullptr)
            return false;
        std::vector<SFrame> stack{{m_ppBuckets[bucket], nullptr, nullptr}};
        while (!stack.empty())
        {
            const SFrame frame = stack.back();
            stack.pop_back();
            const SNode* pNode = frame.m_pNode;
            const KStringView key(pNode->m_pKey, platform::Length(pNode->m_pKey));
            if (HashKey(key) != pNode->m_nHash || pNode->m_nHash % m_nBucketCount != bucket)
                return false;
            if ((frame.m_pLow != nullptr && Order(pNode, frame.m_pLow) <= 0) ||
                (frame.m_pHigh != nullptr && Order(pNode, frame.m_pHigh) >= 0))
                return false;
            if (++nNodes > m_nCount)
                return false;
            if (pNode->m_pGreater != nullptr)
                stack.push_back({pNode->m_pGreater, pNode, frame.m_pHigh});
            if (pNode->m_pSmaller != nullptr)
                stack.push_back({pNode->m_pSmaller, frame.m_pLow, pNode});
        }
    }
    return nNodes == m_nCount;
}
