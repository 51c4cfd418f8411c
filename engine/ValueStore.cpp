#include "engine/ValueStore.h"

#include "platform/Error.h"

#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

CValueStore::CValueStore(CTableAllocator& allocator)
    : m_blocks(allocator), m_pCurrentBlock(nullptr), m_nCurrentBlockBytes(0), m_nUsedInCurrent(0), m_nUsedBytes(0),
      m_nValueCount(0), m_bCheckpoint(false), m_pCheckpointBlock(nullptr), m_nCheckpointBlockBytes(0),
      m_nCheckpointUsedInBlock(0), m_nCheckpointUsedBytes(0), m_nCheckpointValueCount(0)
{
}

char16_t* CValueStore::AllocateSpace(long units)
{
    const size_t nBytes = units < 1 ? sizeof(char16_t) : static_cast<size_t>(units) * sizeof(char16_t);
    // A request that exactly fills the rest of the block still fits: a text of 9999 units plus its
    // terminator takes a whole fresh block.
    if (m_pCurrentBlock == nullptr || nBytes > m_nCurrentBlockBytes - m_nUsedInCurrent)
    {
        const size_t nBlockBytes = nBytes > s_nBlockBytes ? nBytes : s_nBlockBytes;
        constexpr size_t nRoomAfter = s_nReadableAfterTexts * sizeof(char16_t);
        if (nBlockBytes > SIZE_MAX - nRoomAfter)
            throw COutOfMemoryException(nBlockBytes);
        m_pCurrentBlock = static_cast<char*>(m_blocks.AddBlock(nBlockBytes + nRoomAfter));
        m_nCurrentBlockBytes = nBlockBytes;
        m_nUsedInCurrent = 0;
    }
    auto* pSpace = reinterpret_cast<char16_t*>(m_pCurrentBlock + m_nUsedInCurrent);
    m_nUsedInCurrent += nBytes;
    m_nUsedBytes += nBytes;
    return pSpace;
}

const char16_t* CValueStore::AllocateValue(KStringView text)
{
    if ((text.size() + 1) * sizeof(char16_t) > s_nBlockBytes)
        text = KStringView();
    char16_t* pValue = AllocateSpace(static_cast<long>(text.size() + 1));
    if (!text.empty())
        std::memcpy(pValue, text.data(), text.size() * sizeof(char16_t));
    ++m_nValueCount;
    return pValue;
}

namespace
{
// The first unit, of eight from a and b, in which they differ or a ends; 8 when there is none. A step is read
// only when the steps before were equal and went on: both texts reach its start, and it ends at most seven
// units past a terminator.
unsigned FirstDifferenceOrEnd(const char16_t* a, const char16_t* b)
{
#ifdef __SSE2__
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    const __m128i same = _mm_andnot_si128(_mm_cmpeq_epi16(va, _mm_setzero_si128()), _mm_cmpeq_epi16(va, vb));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(same)) ^ 0xFFFFu;
    return mask == 0 ? 8u : static_cast<unsigned>(std::countr_zero(mask)) / 2;
#else
    unsigned i = 0;
    while (i < 8 && a[i] == b[i] && a[i] != 0)
        ++i;
    return i;
#endif
}
} // namespace

size_t CValueStore::MeasureText(const char16_t* text)
{
#ifdef __SSE2__
    static_assert(s_nReadableAfterTexts >= 7);
    for (size_t length = 0;; length += 8)
    {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + length));
        const auto ends = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(units, _mm_setzero_si128())));
        if (ends != 0)
            return length + static_cast<size_t>(std::countr_zero(ends)) / 2;
    }
#else
    return platform::Length(text);
#endif
}

bool CValueStore::SameText(const char16_t* a, const char16_t* b)
{
    for (;; a += 8, b += 8)
    {
        const unsigned at = FirstDifferenceOrEnd(a, b);
        if (at < 8)
            return a[at] == b[at]; // both end there
    }
}

int CValueStore::CompareTexts(const char16_t* a, const char16_t* b)
{
    for (;; a += 8, b += 8)
    {
        const unsigned at = FirstDifferenceOrEnd(a, b);
        if (at < 8)
            return (a[at] > b[at]) - (a[at] < b[at]);
    }
}

void CValueStore::FreeMemory()
{
    m_blocks.FreeAfter(nullptr);
    m_pCurrentBlock = nullptr;
    m_nCurrentBlockBytes = 0;
    m_nUsedInCurrent = 0;
    m_nUsedBytes = 0;
    m_nValueCount = 0;
    m_bCheckpoint = false;
}

void CValueStore::CreateCheckpoint()
{
    m_bCheckpoint = true;
    m_pCheckpointBlock = m_pCurrentBlock;
    m_nCheckpointBlockBytes = m_nCurrentBlockBytes;
    m_nCheckpointUsedInBlock = m_nUsedInCurrent;
    m_nCheckpointUsedBytes = m_nUsedBytes;
    m_nCheckpointValueCount = m_nValueCount;
}

void CValueStore::RestoreCheckpoint()
{
    if (!m_bCheckpoint)
        return;
    m_blocks.FreeAfter(m_pCheckpointBlock);
    m_pCurrentBlock = m_pCheckpointBlock;
    m_nCurrentBlockBytes = m_nCheckpointBlockBytes;
    // Space handed out again must be zero-filled like fresh space.
    if (m_pCurrentBlock != nullptr)
        std::memset(m_pCurrentBlock + m_nCheckpointUsedInBlock, 0, m_nCurrentBlockBytes - m_nCheckpointUsedInBlock);
    m_nUsedInCurrent = m_nCheckpointUsedInBlock;
    m_nUsedBytes = m_nCheckpointUsedBytes;
    m_nValueCount = m_nCheckpointValueCount;
}

bool CValueStore::Validate() const
{
    const long nBlocks = m_blocks.GetBlockCount();
    if ((nBlocks == 0) != (m_pCurrentBlock == nullptr) || m_blocks.GetLastBlock() != m_pCurrentBlock)
        return false;
    if (m_nUsedInCurrent > m_nCurrentBlockBytes || m_nUsedInCurrent % sizeof(char16_t) != 0)
        return false;
    if (m_nUsedBytes > m_blocks.GetAllocatedBytes() || m_nUsedBytes < m_nUsedInCurrent)
        return false;
    return m_nValueCount >= 0 && (nBlocks > 0 || (m_nUsedBytes == 0 && m_nValueCount == 0));
}
