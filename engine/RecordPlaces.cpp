// Taking records out of a table and putting them back at their places: what deleting and inserting records
// (and undoing that) build on. Records never leave the store one by one, so a record taken out keeps its
// number and its values and can come back as it was.

#include "engine/Attribute.h"
#include "engine/Set.h"
#include "engine/Table.h"
#include "engine/TableRecords.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
uint8_t FlagsOf(const CRecord* record)
{
    return static_cast<uint8_t>(record->m_bQualified | record->m_bShown << 1 | record->m_bOpen << 2);
}
} // namespace

// ---- CTableRecords ----

std::vector<SRecordPlace> CTableRecords::Detach(const CSet& records)
{
    std::vector<SRecordPlace> places;
    const long n = m_allRecords.GetSize();
    CRecord* const* all = m_allRecords.GetData();
    for (long i = 0; i < n; ++i)
    {
        CRecord* record = all[i];
        if (!records.Find(record))
            continue;
        places.push_back(SRecordPlace{record, i, FlagsOf(record)});
        m_nQualified -= record->m_bQualified;
        m_nOpen -= record->m_bOpen;
        record->m_bQualified = record->m_bShown = record->m_bOpen = 0;
    }
    if (places.empty())
        return places;
    // Compacting in place: neither array grows.
    m_allRecords.Remove(records);
    m_shownRecords.Remove(records);
    return places;
}

void CTableRecords::Attach(const std::vector<SRecordPlace>& places)
{
    if (places.empty())
        return;
    const long nOld = m_allRecords.GetSize();
    const long nNew = nOld + static_cast<long>(places.size());
    // Everything that can fail first: the merged order and the room in both arrays.
    std::vector<CRecord*> merged;
    merged.reserve(static_cast<size_t>(nNew));
    CRecord* const* old = m_allRecords.GetData();
    long next = 0;
    for (const SRecordPlace& place : places)
    {
        while (next < nOld && static_cast<long>(merged.size()) < place.m_nPosition)
            merged.push_back(old[next++]);
        merged.push_back(place.m_pRecord);
    }
    while (next < nOld)
        merged.push_back(old[next++]);
    m_allRecords.SetMaxSize(nNew);
    m_shownRecords.SetMaxSize(nNew);

    for (const SRecordPlace& place : places)
    {
        CRecord* record = place.m_pRecord;
        record->m_bQualified = place.m_nFlags & 1;
        record->m_bShown = (place.m_nFlags >> 1) & 1;
        record->m_bOpen = (place.m_nFlags >> 2) & 1;
        m_nQualified += record->m_bQualified;
        m_nOpen += record->m_bOpen;
    }
    m_allRecords.RemoveAll();
    m_allRecords.AddRecords(merged.data(), nNew); // within the capacity: cannot fail
    m_shownRecords.RemoveAll();
    for (CRecord* record : merged)
    {
        if (record->m_bShown)
            m_shownRecords.AddRecord(record);
    }
}

void CTableRecords::MakeDetachedRecords(size_t count, std::vector<CRecord*>& out)
{
    out.assign(count, nullptr);
    const long before = m_recordStore.GetCount();
    try
    {
        m_recordStore.AllocateRecords(count, m_nNextRecordNumber, out.data());
    }
    catch (...)
    {
        m_nNextRecordNumber += static_cast<int32_t>(m_recordStore.GetCount() - before); // numbers are not reused
        throw;
    }
    m_nNextRecordNumber += static_cast<int32_t>(count);
}

// ---- with the table's attributes and companions ----

std::vector<SRecordPlace> CTableRecords::DetachRecords(const CSet& records)
{
    std::vector<SRecordPlace> places = Detach(records);
    if (places.empty())
        return places;
    m_table.NotifyCompanions([&records](CTableCompanion& companion) { companion.OnRecordsDetached(records); });
    ForgetDerivedState();
    return places;
}

void CTableRecords::AttachRecords(const std::vector<SRecordPlace>& places)
{
    if (places.empty())
        return;
    // Attributes made while the records were out have no value for them: the undefined one.
    for (long a = 0; a < m_table.GetAttributeCount(); ++a)
    {
        CAttribute* attribute = m_table.FindAttributeFromIndex(a);
        if (attribute->IsHeader())
            continue;
        bool added = false;
        for (const SRecordPlace& place : places)
        {
            if (attribute->GetFieldArray().GetAt(place.m_pRecord->m_nRecordNumber) < 0)
            {
                attribute->AddValue(place.m_pRecord, KStringView(), std::numeric_limits<double>::quiet_NaN());
                added = true;
            }
        }
        if (added && !attribute->AreValuesSorted())
            attribute->RecomputeSortedValues();
    }
    Attach(places);
    ForgetDerivedState();
}

std::vector<SRecordPlace> CTableRecords::InsertNewRecords(const std::vector<CRecord*>& sources,
                                                          const std::vector<long>& positions)
{
    std::vector<CRecord*> made;
    MakeDetachedRecords(sources.size(), made);
    for (long a = 0; a < m_table.GetAttributeCount(); ++a)
    {
        CAttribute* attribute = m_table.FindAttributeFromIndex(a);
        if (attribute->IsHeader())
            continue;
        bool added = false;
        for (size_t i = 0; i < made.size(); ++i)
        {
            if (sources[i])
            {
                attribute->GetValues().SetFieldValue(made[i], attribute->GetFieldValueIndex(sources[i]));
            }
            else
            {
                attribute->AddValue(made[i], KStringView(), std::numeric_limits<double>::quiet_NaN());
                added = true;
            }
        }
        if (added && !attribute->AreValuesSorted())
            attribute->RecomputeSortedValues();
    }
    std::vector<SRecordPlace> places;
    places.reserve(made.size());
    for (size_t i = 0; i < made.size(); ++i)
        places.push_back(SRecordPlace{made[i], positions[i], FlagsOf(made[i])});
    AttachRecords(places);
    return places;
}
