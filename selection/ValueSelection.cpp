// Selected values of an attribute, the records they select, and the counts.

#include "engine/Set.h"
#include "engine/Table.h"
#include "platform/Resources.h"
#include "selection/RecordScan.h"

#include <mutex>
#include <unordered_map>

namespace
{
// Per value index of the attribute: 1 when the value is selected (lists part by part).
std::vector<uint8_t> SelectedValueIndices(const CAttribute& attribute)
{
    const long n = attribute.GetNrOfValues();
    std::vector<uint8_t> selected(static_cast<size_t>(n), 0);
    for (long i = 0; i < n; ++i)
        selected[i] = attribute.IsValueIndexSelected(i) ? 1 : 0;
    return selected;
}
} // namespace

bool CAttribute::IsValueSelected(const char16_t* value) const
{
    if (!m_pSelectedValues || !value)
        return false;
    if (!IsEncodedList(value))
        return m_pSelectedValues->Find(value);
    for (const char16_t* part : GetEncodedMultipleValues(value))
    {
        if (m_pSelectedValues->Find(part))
            return true;
    }
    return false;
}

void CAttribute::SelectValue(const char16_t* value, CRecord* record, bool extend, bool keepOutOfList,
                             bool refreshValueList)
{
    (void)refreshValueList; // the value list window belongs to the display
    if (IsHeader())
        return;
    if (!extend && m_pTable->GetLeadAttribute())
        m_pTable->DeselectAllAttributes();
    m_pTable->ResetCursor();
    const bool byRecord = record && !m_pTable->IsCompressedMode() && extend;
    if (byRecord)
        RecomputeExplicitlySelectedRecordsIfNecessary();
    if (!(value && m_pSelectedValues && m_pSelectedValues->Find(value)))
    {
        if (!keepOutOfList && value)
            m_pTable->AddToValueSelectionList(this);
        if (!extend)
            m_pSelectedValues.reset();
        if (value)
        {
            if (!m_pSelectedValues)
                m_pSelectedValues = std::make_unique<CSet>(static_cast<size_t>(GetNrOfValues()));
            m_pSelectedValues->AddTail(value);
            m_bSelectionDirty = true;
        }
        m_nSelectionPrefixLength = m_nGroupingPrefixLength;
    }
    if (byRecord)
    {
        m_pExplicitRecords->AddTail(record);
        if (!value)
            ComputeSelectedValuesFromExplicitlySelectedRecords();
    }
    else
    {
        m_pExplicitRecords.reset();
    }
    if (!m_pSelectedValues)
    {
        // Nothing is left selected: the attribute leaves the list.
        m_pTable->RemoveFromValueSelectionList(this);
        m_nSelectionPrefixLength = -1;
    }
    else if (!m_pTable->HasSelectedValues(this) && !keepOutOfList)
    {
        m_pTable->AddToValueSelectionList(this);
    }
    m_pTable->ClearSelectionCounts();
    m_pImplicitRecords.reset();
    m_bSelectedByColour = false;
    m_bSelectionDirty = true;
}

void CAttribute::DeselectValue(const char16_t* value, CRecord* record)
{
    if (IsHeader())
        return;
    m_pTable->ResetCursor();
    if (!m_bMultipleValues && !m_pTable->IsCompressedMode() && record)
    {
        RecomputeExplicitlySelectedRecordsIfNecessary();
        m_pExplicitRecords->Remove(record);
        ComputeSelectedValuesFromExplicitlySelectedRecords();
    }
    else
    {
        if (value && m_pSelectedValues && m_pSelectedValues->Remove(value))
        {
            if (m_pSelectedValues->IsEmpty())
            {
                m_pTable->RemoveFromValueSelectionList(this);
                m_nSelectionPrefixLength = -1;
                m_pSelectedValues.reset();
                m_bRangeSelection = false;
                m_pRangeLow = m_pRangeHigh = nullptr;
            }
            else
            {
                m_nSelectionPrefixLength = m_nGroupingPrefixLength;
            }
        }
        m_pExplicitRecords.reset();
    }
    m_pTable->ClearSelectionCounts();
    m_pImplicitRecords.reset();
    m_bSelectionDirty = true;
    m_bWholeSelection = false;
    m_bSelectedByColour = false;
}

void CAttribute::SelectValues(std::unique_ptr<CSet> values, bool range, const char16_t* low, const char16_t* high,
                              bool byColour)
{
    if (IsHeader())
        return;
    if (values && values->IsEmpty())
        values.reset(); // an empty set is never kept
    m_pTable->DeselectAllAttributes();
    m_pTable->ResetCursor();
    if (values)
    {
        m_pTable->AddToValueSelectionList(this);
        m_nSelectionPrefixLength = m_nGroupingPrefixLength;
    }
    else
    {
        m_pTable->RemoveFromValueSelectionList(this);
        m_nSelectionPrefixLength = -1;
    }
    m_pSelectedValues = std::move(values);
    m_bRangeSelection = range;
    const bool bounds = range && m_pSelectedValues && m_pSelectedValues->GetCount() >= 2;
    m_pRangeLow = bounds ? low : nullptr;
    m_pRangeHigh = bounds ? high : nullptr;
    m_pTable->ClearSelectionCounts();
    m_pExplicitRecords.reset();
    m_pImplicitRecords.reset();
    m_bSelectedByColour = byColour;
    m_bSelectionDirty = true;
}

void CAttribute::SelectAllValues()
{
    if (IsHeader())
        return;
    m_pTable->ResetCursor();
    // Every value that occurs among the qualified records, in value order.
    std::vector<uint8_t> occurs(static_cast<size_t>(GetNrOfValues()), 0);
    const CRecordArray& all = m_pTable->GetAllRecords();
    for (long i = 0; i < all.GetSize(); ++i)
    {
        const CRecord* record = all.GetRecord(i);
        if (record->m_bQualified)
        {
            const long index = GetFieldValueIndex(record);
            if (static_cast<size_t>(index) >= occurs.size())
                occurs.resize(static_cast<size_t>(GetNrOfValues()), 0);
            occurs[index] = 1;
        }
    }
    auto values = std::make_unique<CSet>(occurs.size());
    for (size_t i = 0; i < occurs.size(); ++i)
    {
        if (occurs[i])
            values->AddTail(GetValue(static_cast<long>(i)));
    }
    m_pSelectedValues = values->IsEmpty() ? nullptr : std::move(values);
    if (m_pSelectedValues)
        m_pTable->AddToValueSelectionList(this);
    else
        m_pTable->RemoveFromValueSelectionList(this);
    m_bRangeSelection = false;
    m_pRangeLow = m_pRangeHigh = nullptr;
    m_nSelectionPrefixLength = m_pSelectedValues ? 0 : -1;
    m_pExplicitRecords.reset();
    m_pImplicitRecords.reset();
    m_pTable->ClearSelectionCounts();
    m_pTable->DeselectAllAttributes();
    m_nSelectedRecordCount = m_pTable->GetNumberShown();
    m_bSelectionDirty = false;
    m_bWholeSelection = m_pSelectedValues != nullptr;
    m_bSelectedByColour = false;
}

// The shown records whose value in attribute is selected.
static std::unique_ptr<CSet> CollectSelectedShownRecords(CAttribute& attribute, CTable& table)
{
    auto records = std::make_unique<CSet>(static_cast<size_t>(table.GetRecordCount()));
    const CRecordArray& shown = table.GetShownRecords();
    if (attribute.HasSelection())
    {
        for (long i = 0; i < shown.GetSize(); ++i)
        {
            CRecord* record = shown.GetRecord(i);
            if (attribute.IsValueSelected(attribute.GetFieldValue(record)))
                records->AddTail(record);
        }
    }
    return records;
}

void CAttribute::RecomputeExplicitlySelectedRecordsIfNecessary()
{
    if (!m_pExplicitRecords)
        m_pExplicitRecords = CollectSelectedShownRecords(*this, *m_pTable);
}

void CAttribute::RecomputeImplicitlySelectedRecordsIfNecessary()
{
    if (!m_pImplicitRecords)
        m_pImplicitRecords = CollectSelectedShownRecords(*this, *m_pTable);
}

void CAttribute::ComputeSelectedValuesFromExplicitlySelectedRecords()
{
    RecomputeExplicitlySelectedRecordsIfNecessary();
    std::vector<uint8_t> found(static_cast<size_t>(GetNrOfValues()), 0);
    for (long i = 0; i < m_pExplicitRecords->GetCount(); ++i)
    {
        const auto* record = static_cast<const CRecord*>(m_pExplicitRecords->GetAt(i));
        if (!record->m_bQualified)
            continue;
        const char16_t* value = GetFieldValue(record);
        if (found.size() < static_cast<size_t>(GetNrOfValues()))
            found.resize(static_cast<size_t>(GetNrOfValues()), 0);
        if (IsEncodedList(value))
        {
            for (const char16_t* part : GetEncodedMultipleValues(value))
                found[FindValueIndex(part)] = 1;
        }
        else
        {
            found[GetFieldValueIndex(record)] = 1;
        }
    }
    auto values = std::make_unique<CSet>(found.size());
    for (size_t i = 0; i < found.size(); ++i)
    {
        if (found[i])
            values->AddTail(GetValue(static_cast<long>(i)));
    }
    if (values->IsEmpty())
    {
        m_pSelectedValues.reset();
        m_pTable->RemoveFromValueSelectionList(this);
        m_nSelectionPrefixLength = -1;
    }
    else
    {
        m_pSelectedValues = std::move(values);
    }
    m_bSelectionDirty = true;
}

void CAttribute::CountSelectedRecordsIfNecessary()
{
    if (IsHeader() || !m_pSelectedValues)
    {
        m_nSelectedRecordCount = 0;
        m_bWholeSelection = false;
        m_bSelectionDirty = false;
        return;
    }
    if (!m_bSelectionDirty)
        return;
    CStatusMessageGuard status(*m_pTable, FormatResource(1372, {GetDisplayName(30)}));
    const std::vector<uint8_t> selected = SelectedValueIndices(*this);
    const std::vector<CRecord*>& forced = m_pTable->GetForcedRecords();
    CSet forcedSet(forced.size());
    for (CRecord* record : forced)
        forcedSet.AddTail(record);

    const bool hasForced = !forcedSet.IsEmpty();
    const CRecordArray& shown = m_pTable->GetShownRecords();
    const long n = shown.GetSize();
    long count = 0;
    bool whole = true;
    std::mutex lock;
    std::vector<CRecord*> missing;
    RunStrands(StrandCount(m_pTable->UseMulticores(), n, 1), n, [&](long begin, long end) {
        long localCount = 0;
        bool localWhole = true;
        std::vector<CRecord*> localMissing;
        ScanValueIndices(m_fieldArray, shown.GetData(), begin, end, [&](CRecord* record, long index) {
            if (!record->m_bQualified)
                return;
            if (index < 0)
                localMissing.push_back(record);
            else if (selected[index])
                ++localCount;
            else if (localWhole && !(hasForced && forcedSet.Find(record)))
                localWhole = false;
        });
        std::lock_guard<std::mutex> guard(lock);
        count += localCount;
        whole = whole && localWhole;
        missing.insert(missing.end(), localMissing.begin(), localMissing.end());
    });
    for (CRecord* record : missing) // records without a value get one here, on this thread
    {
        if (IsValueSelected(GetFieldValue(record)))
            ++count;
        else if (!forcedSet.Find(record))
            whole = false;
    }
    m_nSelectedRecordCount = count;
    m_bWholeSelection = whole;
    m_bSelectionDirty = false;
}

// ---- the table's selected records ----

void CTable::DeselectAllValues()
{
    const std::vector<CAttribute*> attributes = m_valueSelectionList;
    for (CAttribute* attribute : attributes)
        attribute->DeselectAllValues();
    m_valueSelectionList.clear();
    ClearSelectionCounts();
}

void CTable::DeselectConstants()
{
    if (m_valueSelectionList.size() < 2)
    {
        DeselectAllValues();
        return;
    }
    const std::vector<CAttribute*> attributes = m_valueSelectionList;
    for (CAttribute* attribute : attributes)
    {
        if (attribute->IsConstant())
            attribute->DeselectAllValues();
    }
    ClearSelectionCounts();
}

void CTable::ComputeSelectedRecordsFromSelectedValues(CSet& out)
{
    out.RemoveAll();
    if (m_valueSelectionList.empty())
        return;
    std::vector<std::vector<uint8_t>> selected;
    for (CAttribute* attribute : m_valueSelectionList)
        selected.push_back(SelectedValueIndices(*attribute));
    const long n = m_allRecords.GetSize();
    for (long i = 0; i < n; ++i)
    {
        CRecord* record = m_allRecords.GetRecord(i);
        if (!record->m_bQualified)
            continue;
        for (size_t a = 0; a < m_valueSelectionList.size(); ++a)
        {
            const long index = m_valueSelectionList[a]->GetFieldValueIndex(record);
            const bool hit = static_cast<size_t>(index) < selected[a].size()
                                 ? selected[a][index] != 0
                                 : m_valueSelectionList[a]->IsValueIndexSelected(index);
            if (hit)
            {
                out.AddTail(record);
                break;
            }
        }
    }
}

void CTable::GetOverallSelectedRecords(CSet& out, bool force)
{
    out.RemoveAll();
    if (m_valueSelectionList.empty())
        return;
    if (m_bCompressedMode && !force)
    {
        ComputeSelectedRecordsFromSelectedValues(out);
        return;
    }
    const std::vector<CAttribute*> attributes = m_valueSelectionList;
    for (CAttribute* attribute : attributes)
    {
        attribute->RecomputeExplicitlySelectedRecordsIfNecessary();
        const CSet* records = attribute->GetExplicitlySelectedRecords();
        for (long i = 0; i < records->GetCount(); ++i)
        {
            const auto* record = static_cast<const CRecord*>(records->GetAt(i));
            if (record->m_bQualified)
                out.AddTail(record);
        }
    }
}

long CTable::CountSelectedRecords()
{
    if (m_nSelectedRecords < 0 && m_valueSelectionList.empty())
        m_nSelectedRecords = 0; // without a set sized for every record
    if (m_nSelectedRecords < 0)
    {
        CSet records(static_cast<size_t>(GetRecordCount()));
        GetOverallSelectedRecords(records);
        m_nSelectedRecords = records.GetCount();
    }
    return m_nSelectedRecords;
}

CRecord* CTable::GetFirstSelectedRecord(bool qualifiedOnly)
{
    if (m_valueSelectionList.empty())
        return nullptr;
    if (!m_bCompressedMode)
    {
        for (CAttribute* attribute : m_valueSelectionList)
        {
            attribute->RecomputeExplicitlySelectedRecordsIfNecessary();
            const CSet* records = attribute->GetExplicitlySelectedRecords();
            for (long i = 0; i < records->GetCount(); ++i)
            {
                auto* record = static_cast<CRecord*>(const_cast<void*>(records->GetAt(i)));
                if (!qualifiedOnly || record->m_bQualified)
                    return record;
            }
        }
        return nullptr;
    }
    for (long i = 0; i < m_allRecords.GetSize(); ++i)
    {
        CRecord* record = m_allRecords.GetRecord(i);
        if (qualifiedOnly && !record->m_bQualified)
            continue;
        for (CAttribute* attribute : m_valueSelectionList)
        {
            if (attribute->IsValueSelected(attribute->GetFieldValue(record)))
                return record;
        }
    }
    return nullptr;
}

void CTable::GetRecordsSelectedByKeyboard(std::vector<CRecord*>& out)
{
    out.clear();
    if (m_shownRecords.IsEmpty() || m_valueSelectionList.empty() || !m_pCursorRecord)
        return;
    CAttribute* attribute = m_valueSelectionList.front();
    std::vector<CRecord*> order;
    if (m_bSortAllMode)
        order = attribute->GetSortedShownRecords();
    else
        order.assign(m_shownRecords.GetData(), m_shownRecords.GetData() + m_shownRecords.GetSize());
    const auto cursor = std::find(order.begin(), order.end(), m_pCursorRecord);
    if (cursor == order.end())
        return;
    const long value = attribute->GetFieldValueIndex(m_pCursorRecord);
    const long at = static_cast<long>(cursor - order.begin());
    long first = at;
    while (first > 0 && order[first - 1]->m_bQualified && attribute->GetFieldValueIndex(order[first - 1]) == value)
        --first;
    for (long i = first; i < static_cast<long>(order.size()); ++i)
    {
        if (i > at && (!order[i]->m_bQualified || attribute->GetFieldValueIndex(order[i]) != value))
            break;
        if (order[i]->m_bQualified)
            out.push_back(order[i]);
    }
}

void CTable::CountSelectedRecordsIfNecessary()
{
    for (auto& attribute : m_attributes)
    {
        if (!attribute->IsHeader())
            attribute->CountSelectedRecordsIfNecessary();
    }
}
