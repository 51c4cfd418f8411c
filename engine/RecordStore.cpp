#include "engine/RecordStore.h"

#include <algorithm>

CRecordStore::CRecordStore(CTableAllocator& allocator)
    : m_blocks(allocator), m_pCurrentBlock(nullptr), m_nUsedInCurrent(0), m_nCount(0), m_bCheckpoint(false),
      m_pCheckpointBlock(nullptr), m_nCheckpointUsedInBlock(0), m_nCheckpointCount(0)
{
}

CRecord* CRecordStore::AllocateRecord(int32_t recordNumber)
{
    if (m_pCurrentBlock == nullptr || m_nUsedInCurrent == s_nRecordsPerBlock)
    {
        m_pCurrentBlock = static_cast<CRecord*>(m_blocks.AddBlock(sizeof(CRecord) * s_nRecordsPerBlock));
        m_nUsedInCurrent = 0;
    }
    CRecord* pRecord = m_pCurrentBlock + m_nUsedInCurrent;
    pRecord->m_pLink = nullptr;
    pRecord->m_nRecordNumber = recordNumber;
    pRecord->m_bQualified = 1;
    pRecord->m_bShown = 1;
    pRecord->m_bOpen = 0;
    ++m_nUsedInCurrent;
    ++m_nCount;
    return pRecord;
}

void CRecordStore::AllocateRecords(size_t count, int32_t firstNumber, CRecord** out)
{
    size_t done = 0;
    while (done < count)
    {
        if (m_pCurrentBlock == nullptr || m_nUsedInCurrent == s_nRecordsPerBlock)
        {
            m_pCurrentBlock = static_cast<CRecord*>(m_blocks.AddBlock(sizeof(CRecord) * s_nRecordsPerBlock));
            m_nUsedInCurrent = 0;
        }
        const size_t n = std::min(count - done, static_cast<size_t>(s_nRecordsPerBlock - m_nUsedInCurrent));
        CRecord* record = m_pCurrentBlock + m_nUsedInCurrent;
        for (size_t i = 0; i < n; ++i, ++record)
        {
            *record = CRecord{nullptr, firstNumber + static_cast<int32_t>(done + i), 1, 1, 0};
            out[done + i] = record;
        }
        m_nUsedInCurrent += static_cast<long>(n);
        m_nCount += static_cast<long>(n);
        done += n;
    }
}

void CRecordStore::RemoveAll()
{
    m_blocks.FreeAfter(nullptr);
    m_pCurrentBlock = nullptr;
    m_nUsedInCurrent = 0;
    m_nCount = 0;
    m_bCheckpoint = false;
}

void CRecordStore::CreateCheckpoint()
{
    m_bCheckpoint = true;
    m_pCheckpointBlock = m_pCurrentBlock;
    m_nCheckpointUsedInBlock = m_nUsedInCurrent;
    m_nCheckpointCount = m_nCount;
}

bool CRecordStore::RestoreCheckpoint()
{
    if (!m_bCheckpoint)
        return false;
    m_blocks.FreeAfter(m_pCheckpointBlock);
    m_pCurrentBlock = m_pCheckpointBlock;
    m_nUsedInCurrent = m_nCheckpointUsedInBlock;
    m_nCount = m_nCheckpointCount;
    return true;
}

bool CRecordStore::Validate() const
{
    const long nBlocks = m_blocks.GetBlockCount();
    if ((nBlocks == 0) != (m_pCurrentBlock == nullptr) || m_blocks.GetLastBlock() != m_pCurrentBlock)
        return false;
    if (m_nUsedInCurrent < 0 || m_nUsedInCurrent > s_nRecordsPerBlock)
        return false;
    const long nExpected = nBlocks == 0 ? 0 : (nBlocks - 1) * s_nRecordsPerBlock + m_nUsedInCurrent;
    return m_nCount == nExpected &&
           m_blocks.GetAllocatedBytes() == static_cast<size_t>(nBlocks) * s_nRecordsPerBlock * sizeof(CRecord);
}
