#pragma once
// An ordered array of record pointers: all records of a table, the shown records, or any selection.

#include "engine/Allocator.h"
#include "engine/Export.h"
#include "engine/Record.h"

#include <algorithm>
#include <cassert>

class CSet;

// A growable array of CRecord* (not owned: the record store owns the records), contiguous so that hot
// loops can run over GetData(). Memory comes from the table allocator after SetTable, from the detached
// heap before. Growth: 100 entries first, then by max(count / 3, 10000) entries per step. A checkpoint
// remembers the count so that records appended by a failed operation can be dropped again.
// Threading: const members may run from several threads at once while nothing writes; writes on one
// thread. Copying is explicit, through Assign; moving is allowed.
class KORVALIN_CLASS CRecordArray
{
public:
    static constexpr long s_nInitialCapacity = 100;

    CRecordArray();
    ~CRecordArray();
    CRecordArray(const CRecordArray&) = delete;
    CRecordArray& operator=(const CRecordArray&) = delete;
    CRecordArray(CRecordArray&& other) noexcept;
    CRecordArray& operator=(CRecordArray&& other) noexcept;

    // Takes memory from allocator from now on (moving what is stored) and makes room for at least 100
    // records. Throws COutOfMemoryException with the array unchanged.
    void SetTable(CTableAllocator* allocator);

    // Appends record. Throws COutOfMemoryException with the array unchanged.
    void AddRecord(CRecord* record)
    {
        if (m_nCount == m_nCapacity) [[unlikely]]
            Grow();
        m_ppRecords[m_nCount++] = record;
    }

    // Appends count records in order, growing at most once. Throws COutOfMemoryException with the array
    // unchanged.
    void AddRecords(CRecord* const* records, long count);

    // The i-th record, 0 <= i < GetSize().
    CRecord* GetRecord(long i) const
    {
        assert(i >= 0 && i < m_nCount);
        return m_ppRecords[i];
    }
    // The last record, null when empty.
    CRecord* GetLastRecord() const { return m_nCount > 0 ? m_ppRecords[m_nCount - 1] : nullptr; }
    long GetSize() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }
    long GetCapacity() const { return m_nCapacity; }
    // The records in order, GetSize() of them; valid until the next change of the array.
    CRecord* const* GetData() const { return m_ppRecords; }
    // Replaces the records by the same records in another order (GetSize() of them: a permutation).
    void Reorder(CRecord* const* records) { std::copy(records, records + m_nCount, m_ppRecords); }

    // Makes this array a copy of other (same records, same order). Throws COutOfMemoryException with the
    // array unchanged.
    void Assign(const CRecordArray& other);
    // Drops every record that is a member of set; the others keep their order.
    void Remove(const CSet& set);
    // Drops the last record, if any.
    void RemoveTail();
    // Drops every record; the capacity stays.
    void RemoveAll() { m_nCount = 0; }
    // Makes room for n records without growing again (never drops records).
    void SetMaxSize(long n);

    // Remembers the count; RestoreCheckpoint truncates back to it and returns true, or returns false when
    // there is no checkpoint or the array is already shorter. The checkpoint stays until DeleteCheckpoint.
    void CreateCheckpoint() { m_nCheckpointCount = m_nCount; }
    [[nodiscard]] bool RestoreCheckpoint();
    void DeleteCheckpoint() { m_nCheckpointCount = -1; }
    bool HasCheckpoint() const { return m_nCheckpointCount >= 0; }

    // Cheap consistency check of the counters (tests).
    bool Validate() const;

private:
    void Grow();
    void Reallocate(long capacity);

    CTableAllocator* m_pAllocator; // source of m_ppRecords; null for detached heap memory
    CRecord** m_ppRecords;         // m_nCapacity entries, the first m_nCount in use; null when the capacity is 0
    long m_nCapacity;              // entries allocated
    long m_nCount;                 // entries in use, 0 <= m_nCount <= m_nCapacity
    long m_nCheckpointCount;       // m_nCount at the checkpoint, -1 when there is none
};
