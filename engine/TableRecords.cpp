// The records of a table: making them, their qualified, shown and open flags
// and their counts, and their checkpoints.

#include "engine/TableRecords.h"

#include "engine/Allocator.h"
#include "engine/Attribute.h"
#include "engine/Table.h"

#include <algorithm>

CTableRecords::CTableRecords(CTable& table, CTableAllocator& allocator) : m_table(table), m_recordStore(allocator)
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
    ForgetDerivedState();
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
        ForgetDerivedState(); // of the records made before the failure
        throw;
    }
    enlist();
    ForgetDerivedState();
}

void CTableRecords::ForgetDerivedState()
{
    m_table.NotifyCompanions([](CTableCompanion& companion) { companion.OnRecordsChanged(false); });
    m_keyRecordMap.clear();
    InvalidateSortedRecords();
}

void CTableRecords::InvalidateSortedRecords()
{
    for (long i = 0; i < m_table.GetAttributeCount(); ++i)
        m_table.FindAttributeFromIndex(i)->InvalidateSortedRecords();
}

// ---- the key ----

KString CTableRecords::GetRecordName(const CRecord* record) const
{
    CAttribute* key = m_table.GetKeyAttribute();
    if (!key || !record)
        return KString();
    return key->GetFieldText(record);
}

CRecord* CTableRecords::FindRecordByKeyIndex(long index)
{
    CAttribute* key = m_table.GetKeyAttribute();
    if (!key || key->IsHeader() || index < 0 || index >= key->GetNrOfValues())
        return nullptr;
    if (m_keyRecordMap.empty())
    {
        m_keyRecordMap.assign(static_cast<size_t>(key->GetNrOfValues()), nullptr);
        const long n = m_allRecords.GetSize();
        for (long i = 0; i < n; ++i)
        {
            CRecord* record = m_allRecords.GetRecord(i);
            const long valueIndex = key->GetFieldValueIndex(record);
            if (static_cast<size_t>(valueIndex) < m_keyRecordMap.size() && !m_keyRecordMap[valueIndex])
                m_keyRecordMap[valueIndex] = record;
        }
    }
    return static_cast<size_t>(index) < m_keyRecordMap.size() ? m_keyRecordMap[index] : nullptr;
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
    InvalidateSortedRecords();
}

// ---- clearing and checkpoints ----

void CTableRecords::Clear()
{
    m_allRecords.RemoveAll();
    m_shownRecords.RemoveAll();
    m_recordStore.RemoveAll();
    m_nQualified = m_nOpen = 0;
    m_keyRecordMap.clear();
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

CRecord* CTable::AddRecord()
{
    return m_records.AddRecord();
}

void CTable::AddRecords(size_t count, CRecord** out)
{
    m_records.AddRecords(count, out);
}

void CTable::InvalidateSortedRecords()
{
    m_records.InvalidateSortedRecords();
}

void CTable::RecomputeShownRecords()
{
    m_records.RecomputeShown();
}

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
