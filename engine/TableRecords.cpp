// The records of a table: making them, their qualified, shown and open flags
// and their counts, and their checkpoints.

#include "engine/TableRecords.h"

#include "engine/Allocator.h"
#include "engine/Table.h"

#include <algorithm>

CTableRecords::CTableRecords(CTableAllocator& allocator) : m_recordStore(allocator)
{
    m_allRecords.SetTable(&allocator);
    m_shownRecords.SetTable(&allocator);
}

CRecord* CTableRecords::AddRecord()
{
    CRecord* record = m_recordStore.AllocateRecord(m_nNextRecordNumber);
    try
    {
        m_allRecords.AddRecord(record);
        m_shownRecords.AddRecord(record);
    }
    catch (...)
    {
        if (m_allRecords.GetSize() > 0 && m_allRecords.GetLastRecord() == record)
            m_allRecords.RemoveTail();
        throw;
    }
    ++m_nNextRecordNumber;
    ++m_nQualified;
    return record;
}

void CTableRecords::AddRecords(size_t count, CRecord** out)
{
    // Both lists make room first: a failure then leaves records in the store alone, which the checkpoint
    // of the read takes back, and never a record in one list but not the other.
    const long n = static_cast<long>(count);
    for (CRecordArray* list : {&m_allRecords, &m_shownRecords})
    {
        if (list->GetSize() + n > list->GetCapacity())
            list->SetMaxSize(std::max(list->GetSize() + n, list->GetCapacity() * 3 / 2));
    }
    const long before = m_recordStore.GetCount();
    auto enlist = [&]
    {
        const long made = m_recordStore.GetCount() - before;
        m_allRecords.AddRecords(out, made);
        m_shownRecords.AddRecords(out, made);
        m_nNextRecordNumber += static_cast<int32_t>(made);
        m_nQualified += made;
    };
    try
    {
        m_recordStore.AllocateRecords(count, m_nNextRecordNumber, out);
    }
    catch (...)
    {
        enlist();
        throw;
    }
    enlist();
}

// ---- flags ----

long CTableRecords::CountQualified()
{
    const long n = m_allRecords.GetSize();
    CRecord* const* records = m_allRecords.GetData();
    long qualified = 0;
    for (long i = 0; i < n; ++i)
        qualified += records[i]->m_bQualified ? 1 : 0;
    m_nQualified = qualified;
    return qualified;
}

void CTableRecords::QualifyAll()
{
    const long n = m_allRecords.GetSize();
    CRecord* const* records = m_allRecords.GetData();
    for (long i = 0; i < n; ++i)
        records[i]->m_bQualified = 1;
    m_nQualified = n;
}

void CTableRecords::SetOpen(CRecord* record, bool open)
{
    if (!record || static_cast<bool>(record->m_bOpen) == open)
        return;
    record->m_bOpen = open ? 1 : 0;
    m_nOpen += open ? 1 : -1;
}

void CTableRecords::CloseAll()
{
    if (m_nOpen <= 0)
        return;
    const long n = m_allRecords.GetSize();
    CRecord* const* records = m_allRecords.GetData();
    for (long i = 0; i < n; ++i)
        records[i]->m_bOpen = 0;
    m_nOpen = 0;
}

void CTableRecords::RecomputeShown()
{
    const long n = m_allRecords.GetSize();
    if (m_shownRecords.GetSize() == n)
    {
        m_shownRecords.Assign(m_allRecords);
    }
    else
    {
        m_shownRecords.RemoveAll();
        CRecord* const* records = m_allRecords.GetData();
        for (long i = 0; i < n; ++i)
        {
            if (records[i]->m_bShown)
                m_shownRecords.AddRecord(records[i]);
        }
    }
}

// ---- clearing and checkpoints ----

void CTableRecords::Clear()
{
    m_allRecords.RemoveAll();
    m_shownRecords.RemoveAll();
    m_recordStore.RemoveAll();
    m_nQualified = m_nOpen = 0;
}

void CTableRecords::CreateCheckpoint()
{
    m_allRecords.CreateCheckpoint();
    m_shownRecords.CreateCheckpoint();
    m_recordStore.CreateCheckpoint();
}

bool CTableRecords::RestoreCheckpoint()
{
    const bool restored = m_allRecords.RestoreCheckpoint();
    if (!restored)
        return false;
    (void)m_shownRecords.RestoreCheckpoint();
    m_recordStore.RestoreCheckpoint();
    CountQualified();
    m_nOpen = 0;
    for (long i = 0; i < m_allRecords.GetSize(); ++i)
        m_nOpen += m_allRecords.GetRecord(i)->m_bOpen ? 1 : 0;
    return true;
}

void CTableRecords::DeleteCheckpoint()
{
    m_allRecords.DeleteCheckpoint();
    m_shownRecords.DeleteCheckpoint();
    m_recordStore.DeleteCheckpoint();
}

// ---- the table's forwards ----

long CTable::CountQualRecords()
{
    return m_records.CountQualified();
}

void CTable::QualAllRecords()
{
    m_records.QualifyAll();
}

void CTable::CloseAllRecords()
{
    m_records.CloseAll();
}

void CTable::SetRecordOpen(CRecord* record, bool open)
{
    m_records.SetOpen(record, open);
}
