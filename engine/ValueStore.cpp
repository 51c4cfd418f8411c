#include "engine/ValueStore.h"

#include "platform/Error.h"

#include <cstring>

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
