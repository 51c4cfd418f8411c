#include "engine/RecordArray.h"

#include "engine/Set.h"

#include <algorithm>
#include <cstring>
#include <utility>

CRecordArray::CRecordArray()
    : m_pAllocator(nullptr), m_ppRecords(nullptr), m_nCapacity(0), m_nCount(0), m_nCheckpointCount(-1)
{
}

CRecordArray::~CRecordArray()
{
    FreeFrom(m_pAllocator, m_ppRecords);
}

CRecordArray::CRecordArray(CRecordArray&& other) noexcept
    : m_pAllocator(other.m_pAllocator), m_ppRecords(std::exchange(other.m_ppRecords, nullptr)),
      m_nCapacity(std::exchange(other.m_nCapacity, 0)), m_nCount(std::exchange(other.m_nCount, 0)),
      m_nCheckpointCount(std::exchange(other.m_nCheckpointCount, -1))
{
}

CRecordArray& CRecordArray::operator=(CRecordArray&& other) noexcept
{
    if (this != &other)
    {
        FreeFrom(m_pAllocator, m_ppRecords);
        m_pAllocator = other.m_pAllocator;
        m_ppRecords = std::exchange(other.m_ppRecords, nullptr);
        m_nCapacity = std::exchange(other.m_nCapacity, 0);
        m_nCount = std::exchange(other.m_nCount, 0);
        m_nCheckpointCount = std::exchange(other.m_nCheckpointCount, -1);
    }
    return *this;
}

void CRecordArray::SetTable(CTableAllocator* allocator)
{
    if (allocator != m_pAllocator)
    {
        const long nCapacity = std::max(m_nCapacity, s_nInitialCapacity);
        auto** ppRecords = static_cast<CRecord**>(AllocateFrom(allocator, sizeof(CRecord*) * nCapacity));
        if (m_nCount > 0)
            std::memcpy(ppRecords, m_ppRecords, sizeof(CRecord*) * m_nCount);
        FreeFrom(m_pAllocator, m_ppRecords);
        m_pAllocator = allocator;
        m_ppRecords = ppRecords;
        m_nCapacity = nCapacity;
    }
    else if (m_nCapacity < s_nInitialCapacity)
    {
        Reallocate(s_nInitialCapacity);
    }
}

void CRecordArray::Reallocate(long capacity)
{
    // Slots beyond the count are written before they are read: the room is not cleared.
    m_ppRecords = static_cast<CRecord**>(ReallocateFrom(m_pAllocator, m_ppRecords, sizeof(CRecord*) * m_nCapacity,
                                                        sizeof(CRecord*) * capacity, false));
    m_nCapacity = capacity;
}

void CRecordArray::Grow()
{
    Reallocate(m_nCapacity == 0 ? s_nInitialCapacity : m_nCapacity + std::max(m_nCount / 3, 10000L));
}

void CRecordArray::AddRecords(CRecord* const* records, long count)
{
    if (count <= 0)
        return;
    if (m_nCount + count > m_nCapacity)
        Reallocate(std::max(m_nCount + count, m_nCapacity + std::max(m_nCount / 3, 10000L)));
    std::memcpy(m_ppRecords + m_nCount, records, sizeof(CRecord*) * static_cast<size_t>(count));
    m_nCount += count;
}

void CRecordArray::Assign(const CRecordArray& other)
{
    if (this == &other)
        return;
    if (m_nCapacity < other.m_nCount)
        Reallocate(other.m_nCount);
    if (other.m_nCount > 0)
        std::memcpy(m_ppRecords, other.m_ppRecords, sizeof(CRecord*) * other.m_nCount);
    m_nCount = other.m_nCount;
}

void CRecordArray::Remove(const CSet& set)
{
    if (set.IsEmpty())
        return;
    long nKept = 0;
    for (long i = 0; i < m_nCount; ++i)
    {
        CRecord* pRecord = m_ppRecords[i];
        if (!set.Find(pRecord))
            m_ppRecords[nKept++] = pRecord;
    }
    m_nCount = nKept;
}

void CRecordArray::RemoveTail()
{
    if (m_nCount > 0)
        --m_nCount;
}

void CRecordArray::SetMaxSize(long n)
{
    if (n > m_nCapacity)
        Reallocate(n);
}

bool CRecordArray::RestoreCheckpoint()
{
    if (m_nCheckpointCount < 0 || m_nCount < m_nCheckpointCount)
        return false;
    m_nCount = m_nCheckpointCount;
    return true;
}

bool CRecordArray::Validate() const
{
    return m_nCount >= 0 && m_nCount <= m_nCapacity && (m_nCapacity == 0) == (m_ppRecords == nullptr) &&
           m_nCheckpointCount >= -1;
}
