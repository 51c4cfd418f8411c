#include "engine/RecordStore.h"

#include <algorithm>
#include <cstdint>
#include <functional>

CRecordStore::CRecordStore(CTableAllocator& allocator)
    : m_blocks(allocator), m_pCurrentBlock(nullptr), m_nUsedInCurrent(0), m_nCount(0), m_bCheckpoint(false),
      m_pCheckpointBlock(nullptr), m_nCheckpointUsedInBlock(0), m_nCheckpointCount(0)
{
}

void CRecordStore::AddBlock()
{
    // Room first, so that nothing can fail once the block is taken.
    m_vBlocks.reserve(m_vBlocks.size() + 1);
    m_vBlocksByAddress.reserve(m_vBlocks.size() + 1);
    m_pCurrentBlock = static_cast<CRecord*>(m_blocks.AddBlock(sizeof(CRecord) * s_nRecordsPerBlock));
    m_nUsedInCurrent = 0;
    m_vBlocks.push_back(m_pCurrentBlock);
    m_vBlocksByAddress.insert(std::upper_bound(m_vBlocksByAddress.begin(), m_vBlocksByAddress.end(),
                                               m_pCurrentBlock, std::less<const CRecord*>()),
                              m_pCurrentBlock);
}

void CRecordStore::SortBlocks()
{
    m_vBlocksByAddress.assign(m_vBlocks.begin(), m_vBlocks.end());
    std::sort(m_vBlocksByAddress.begin(), m_vBlocksByAddress.end(), std::less<const CRecord*>());
}

bool CRecordStore::Contains(const CRecord* record) const
{
    // std::less orders any pointers, also those into different blocks or none.
    const auto it = std::upper_bound(m_vBlocksByAddress.begin(), m_vBlocksByAddress.end(), record,
                                     std::less<const CRecord*>());
    if (it == m_vBlocksByAddress.begin())
        return false;
    const CRecord* block = *(it - 1);
    const uintptr_t offset = reinterpret_cast<uintptr_t>(record) - reinterpret_cast<uintptr_t>(block);
    const uintptr_t used = static_cast<uintptr_t>(block == m_pCurrentBlock ? m_nUsedInCurrent : s_nRecordsPerBlock);
    return offset % sizeof(CRecord) == 0 && offset / sizeof(CRecord) < used;
}

CRecord* CRecordStore::AllocateRecord(int32_t recordNumber)
{
    if (m_pCurrentBlock == nullptr || m_nUsedInCurrent == s_nRecordsPerBlock)
    {
        AddBlock();
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
            AddBlock();
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
    m_vBlocks.clear();
    m_vBlocksByAddress.clear();
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
    while (!m_vBlocks.empty() && m_vBlocks.back() != m_pCheckpointBlock)
        m_vBlocks.pop_back();
    SortBlocks();
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
    if (static_cast<long>(m_vBlocks.size()) != nBlocks || m_vBlocksByAddress.size() != m_vBlocks.size() ||
        (nBlocks > 0 && m_vBlocks.back() != m_pCurrentBlock))
        return false;
    const long nExpected = nBlocks == 0 ? 0 : (nBlocks - 1) * s_nRecordsPerBlock + m_nUsedInCurrent;
    return m_nCount == nExpected &&
           m_blocks.GetAllocatedBytes() == static_cast<size_t>(nBlocks) * s_nRecordsPerBlock * sizeof(CRecord);
}
