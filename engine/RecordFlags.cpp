// The records' qualified, shown and open flags and their counts, and the
// table's companions. Evaluating the flags from restrictions is selection/'s.

#include "engine/Set.h"
#include "engine/Table.h"

#include <algorithm>

long CTable::CountQualRecords()
{
    const long n = m_allRecords.GetSize();
    CRecord* const* records = m_allRecords.GetData();
    long qualified = 0;
    for (long i = 0; i < n; ++i)
        qualified += records[i]->m_bQualified ? 1 : 0;
    m_nQualified = qualified;
    return qualified;
}

void CTable::QualAllRecords()
{
    const long n = m_allRecords.GetSize();
    CRecord* const* records = m_allRecords.GetData();
    for (long i = 0; i < n; ++i)
        records[i]->m_bQualified = 1;
    m_nQualified = n;
}

void CTable::SetRecordOpen(CRecord* record, bool open)
{
    if (!record || static_cast<bool>(record->m_bOpen) == open)
        return;
    record->m_bOpen = open ? 1 : 0;
    m_nOpen += open ? 1 : -1;
}

void CTable::CloseAllRecords()
{
    if (m_nOpen <= 0)
        return;
    const long n = m_allRecords.GetSize();
    CRecord* const* records = m_allRecords.GetData();
    for (long i = 0; i < n; ++i)
        records[i]->m_bOpen = 0;
    m_nOpen = 0;
}

void CTable::RecomputeShownRecords()
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
    for (auto& attribute : m_attributes)
        attribute->InvalidateSortedRecords();
}

// ---- companions ----

CTableCompanion* CTable::FindCompanion(const void* key) const
{
    for (const auto& companion : m_companions)
    {
        if (companion.first == key)
            return companion.second.get();
    }
    return nullptr;
}

CTableCompanion& CTable::AttachCompanion(const void* key, std::unique_ptr<CTableCompanion> companion)
{
    m_companions.emplace_back(key, std::move(companion));
    return *m_companions.back().second;
}

void CTable::NotifyValuesRebuilt(CAttribute* attribute)
{
    NotifyCompanions([attribute](CTableCompanion& companion) { companion.OnValuesRebuilt(attribute); });
}
