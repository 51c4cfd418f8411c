// Selected values of an attribute, the records they select, and the counts.

#include "engine/Set.h"
#include "engine/Table.h"
#include "platform/Resources.h"
#include "selection/RecordScan.h"
#include "selection/TableSelection.h"

#include <mutex>
#include <unordered_map>
#include <vector>

namespace
{
// Per value index of the attribute: 1 when the value is selected (lists part by part).
std::vector<uint8_t> SelectedValueIndices(const CAttributeSelection& selection)
{
    const long n = selection.GetAttribute().GetNrOfValues();
    std::vector<uint8_t> selected(static_cast<size_t>(n), 0);
    for (long i = 0; i < n; ++i)
        selected[i] = selection.IsValueIndexSelected(i) ? 1 : 0;
    return selected;
}
} // namespace

CAttributeSelection::CAttributeSelection(CTableSelection& owner, CAttribute& attribute)
    : m_owner(owner), m_attribute(attribute)
{
}

CAttributeSelection::~CAttributeSelection() = default;

CTable& CAttributeSelection::Table() const
{
    return m_owner.GetTable();
}

bool CAttributeSelection::IsValueIndexSelected(long index) const
{
    return IsValueSelected(m_attribute.GetValue(index));
}

void CAttributeSelection::DeselectAllValues()
{
    if (!m_pSelectedValues)
        return;
    m_pSelectedValues.reset();
    m_pExplicitRecords.reset();
    m_pImplicitRecords.reset();
    m_bRangeSelection = false;
    m_pRangeLow = m_pRangeHigh = nullptr;
    m_nSelectedRecordCount = 0;
    m_bWholeSelection = false;
    m_bSelectionDirty = false;
    m_bSelectedByColour = false;
    m_nSelectionPrefixLength = -1;
    m_owner.RemoveFromValueSelectionList(&m_attribute);
    m_owner.ClearSelectionCounts();
}

bool CAttributeSelection::IsValueSelected(const char16_t* value) const
{
    if (!m_pSelectedValues || !value)
        return false;
    if (!CAttribute::IsEncodedList(value))
        return m_pSelectedValues->Find(value);
    for (const char16_t* part : CAttribute::GetEncodedMultipleValues(value))
    {
        if (m_pSelectedValues->Find(part))
            return true;
    }
    return false;
}

void CAttributeSelection::SelectValue(const char16_t* value, CRecord* record, bool extend, bool keepOutOfList,
                             bool refreshValueList)
{
    (void)refreshValueList; // the value list window belongs to the display
    if (m_attribute.IsHeader())
        return;
    if (!extend && m_owner.GetAttributeRows().GetLeadAttribute())
        m_owner.DeselectAllAttributes();
    m_owner.ResetCursor();
    const bool byRecord = record && !m_owner.IsCompressedMode() && extend;
    if (byRecord)
        RecomputeExplicitlySelectedRecordsIfNecessary();
    if (!(value && m_pSelectedValues && m_pSelectedValues->Find(value)))
    {
        if (!keepOutOfList && value)
            m_owner.AddToValueSelectionList(&m_attribute);
        if (!extend)
            m_pSelectedValues.reset();
        if (value)
        {
            if (!m_pSelectedValues)
                m_pSelectedValues = std::make_unique<CSet>(static_cast<size_t>(m_attribute.GetNrOfValues()));
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
        m_owner.RemoveFromValueSelectionList(&m_attribute);
        m_nSelectionPrefixLength = -1;
    }
    else if (!m_owner.HasSelectedValues(&m_attribute) && !keepOutOfList)
    {
        m_owner.AddToValueSelectionList(&m_attribute);
    }
    m_owner.ClearSelectionCounts();
    m_pImplicitRecords.reset();
    m_bSelectedByColour = false;
    m_bSelectionDirty = true;
}

void CAttributeSelection::DeselectValue(const char16_t* value, CRecord* record)
{
    if (m_attribute.IsHeader())
        return;
    m_owner.ResetCursor();
    if (!m_attribute.HasMultipleValues() && !m_owner.IsCompressedMode() && record)
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
                m_owner.RemoveFromValueSelectionList(&m_attribute);
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
    m_owner.ClearSelectionCounts();
    m_pImplicitRecords.reset();
    m_bSelectionDirty = true;
    m_bWholeSelection = false;
    m_bSelectedByColour = false;
}

void CAttributeSelection::SelectValues(std::unique_ptr<CSet> values, bool range, const char16_t* low, const char16_t* high,
                              bool byColour)
{
    if (m_attribute.IsHeader())
        return;
    if (values && values->IsEmpty())
        values.reset(); // an empty set is never kept
    m_owner.DeselectAllAttributes();
    m_owner.ResetCursor();
    if (values)
    {
        m_owner.AddToValueSelectionList(&m_attribute);
        m_nSelectionPrefixLength = m_nGroupingPrefixLength;
    }
    else
    {
        m_owner.RemoveFromValueSelectionList(&m_attribute);
        m_nSelectionPrefixLength = -1;
    }
    m_pSelectedValues = std::move(values);
    m_bRangeSelection = range;
    const bool bounds = range && m_pSelectedValues && m_pSelectedValues->GetCount() >= 2;
    m_pRangeLow = bounds ? low : nullptr;
    m_pRangeHigh = bounds ? high : nullptr;
    m_owner.ClearSelectionCounts();
    m_pExplicitRecords.reset();
    m_pImplicitRecords.reset();
    m_bSelectedByColour = byColour;
    m_bSelectionDirty = true;
}

void CAttributeSelection::SelectAllValues()
{
    if (m_attribute.IsHeader())
        return;
    m_owner.ResetCursor();
    // Every value that occurs among the qualified records, in value order.
    std::vector<uint8_t> occurs(static_cast<size_t>(m_attribute.GetNrOfValues()), 0);
    const CRecordArray& all = Table().GetAllRecords();
    for (long i = 0; i < all.GetSize(); ++i)
    {
        const CRecord* record = all.GetRecord(i);
        if (record->m_bQualified)
        {
            const long index = m_attribute.GetFieldValueIndex(record);
            if (static_cast<size_t>(index) >= occurs.size())
                occurs.resize(static_cast<size_t>(m_attribute.GetNrOfValues()), 0);
            occurs[index] = 1;
        }
    }
    auto values = std::make_unique<CSet>(occurs.size());
    for (size_t i = 0; i < occurs.size(); ++i)
    {
        if (occurs[i])
            values->AddTail(m_attribute.GetValue(static_cast<long>(i)));
    }
    m_pSelectedValues = values->IsEmpty() ? nullptr : std::move(values);
    if (m_pSelectedValues)
        m_owner.AddToValueSelectionList(&m_attribute);
    else
        m_owner.RemoveFromValueSelectionList(&m_attribute);
    m_bRangeSelection = false;
    m_pRangeLow = m_pRangeHigh = nullptr;
    m_nSelectionPrefixLength = m_pSelectedValues ? 0 : -1;
    m_pExplicitRecords.reset();
    m_pImplicitRecords.reset();
    m_owner.ClearSelectionCounts();
    m_owner.DeselectAllAttributes();
    m_nSelectedRecordCount = Table().GetNumberShown();
    m_bSelectionDirty = false;
    m_bWholeSelection = m_pSelectedValues != nullptr;
    m_bSelectedByColour = false;
}

// The shown records whose value in attribute is selected.
static std::unique_ptr<CSet> CollectSelectedShownRecords(const CAttributeSelection& selection, CTable& table)
{
    // Grown as records are found: a set sized for every record of a large table costs more to clear than the
    // scan (32 bytes a record), and a click builds it.
    auto records = std::make_unique<CSet>();
    const CRecordArray& shown = table.GetShownRecords();
    CAttribute& attribute = selection.GetAttribute();
    if (selection.HasSelection())
    {
        // Whether each value is selected, asked once per value instead of once per record.
        const long values = attribute.GetNrOfValues();
        std::vector<char> selected(static_cast<size_t>(values), 0);
        for (long v = 0; v < values; ++v)
            selected[static_cast<size_t>(v)] = selection.IsValueSelected(attribute.GetValue(v)) ? 1 : 0;
        for (long i = 0; i < shown.GetSize(); ++i)
        {
            CRecord* record = shown.GetRecord(i);
            const long index = attribute.GetFieldValueIndex(record);
            if (index >= 0 && index < values ? selected[static_cast<size_t>(index)]
                                             : selection.IsValueSelected(attribute.GetFieldValue(record)))
                records->AddTail(record);
        }
    }
    return records;
}

void CAttributeSelection::RecomputeExplicitlySelectedRecordsIfNecessary()
{
    if (!m_pExplicitRecords)
        m_pExplicitRecords = CollectSelectedShownRecords(*this, Table());
}

void CAttributeSelection::RecomputeImplicitlySelectedRecordsIfNecessary()
{
    if (!m_pImplicitRecords)
        m_pImplicitRecords = CollectSelectedShownRecords(*this, Table());
}

void CAttributeSelection::ComputeSelectedValuesFromExplicitlySelectedRecords()
{
    RecomputeExplicitlySelectedRecordsIfNecessary();
    std::vector<uint8_t> found(static_cast<size_t>(m_attribute.GetNrOfValues()), 0);
    for (long i = 0; i < m_pExplicitRecords->GetCount(); ++i)
    {
        const auto* record = static_cast<const CRecord*>(m_pExplicitRecords->GetAt(i));
        if (!record->m_bQualified)
            continue;
        const char16_t* value = m_attribute.GetFieldValue(record);
        if (found.size() < static_cast<size_t>(m_attribute.GetNrOfValues()))
            found.resize(static_cast<size_t>(m_attribute.GetNrOfValues()), 0);
        if (CAttribute::IsEncodedList(value))
        {
            for (const char16_t* part : CAttribute::GetEncodedMultipleValues(value))
                found[m_attribute.FindValueIndex(part)] = 1;
        }
        else
        {
            found[m_attribute.GetFieldValueIndex(record)] = 1;
        }
    }
    auto values = std::make_unique<CSet>(found.size());
    for (size_t i = 0; i < found.size(); ++i)
    {
        if (found[i])
            values->AddTail(m_attribute.GetValue(static_cast<long>(i)));
    }
    if (values->IsEmpty())
    {
        m_pSelectedValues.reset();
        m_owner.RemoveFromValueSelectionList(&m_attribute);
        m_nSelectionPrefixLength = -1;
    }
    else
    {
        m_pSelectedValues = std::move(values);
    }
    m_bSelectionDirty = true;
}

void CAttributeSelection::CountSelectedRecordsIfNecessary()
{
    if (m_attribute.IsHeader() || !m_pSelectedValues)
    {
        m_nSelectedRecordCount = 0;
        m_bWholeSelection = false;
        m_bSelectionDirty = false;
        return;
    }
    if (!m_bSelectionDirty)
        return;
    CStatusMessageGuard status(Table(), FormatResource(1372, {m_attribute.GetDisplayName(30)}));
    const std::vector<uint8_t> selected = SelectedValueIndices(*this);
    const std::vector<CRecord*>& forced = m_owner.GetQualification().GetForcedRecords();
    CSet forcedSet(forced.size());
    for (CRecord* record : forced)
        forcedSet.AddTail(record);

    const bool hasForced = !forcedSet.IsEmpty();
    const CRecordArray& shown = Table().GetShownRecords();
    const long n = shown.GetSize();
    long count = 0;
    bool whole = true;
    std::mutex lock;
    std::vector<CRecord*> missing;
    RunStrands(StrandCount(Table().UseMulticores(), n, 1), n, [&](long begin, long end) {
        long localCount = 0;
        bool localWhole = true;
        std::vector<CRecord*> localMissing;
        ScanValueIndices(m_attribute.GetFieldArray(), shown.GetData(), begin, end, [&](CRecord* record, long index) {
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
        if (IsValueSelected(m_attribute.GetFieldValue(record)))
            ++count;
        else if (!forcedSet.Find(record))
            whole = false;
    }
    m_nSelectedRecordCount = count;
    m_bWholeSelection = whole;
    m_bSelectionDirty = false;
}

// ---- the table's selected records ----

void CTableSelection::DeselectAllValues()
{
    const std::vector<CAttribute*> attributes = m_valueSelectionList;
    for (CAttribute* attribute : attributes)
        For(*attribute).DeselectAllValues();
    m_valueSelectionList.clear();
    ClearSelectionCounts();
}

void CTableSelection::DeselectConstants()
{
    if (m_valueSelectionList.size() < 2)
    {
        DeselectAllValues();
        return;
    }
    const std::vector<CAttribute*> attributes = m_valueSelectionList;
    for (CAttribute* attribute : attributes)
    {
        CAttributeSelection& selection = For(*attribute);
        if (selection.IsConstant())
            selection.DeselectAllValues();
    }
    ClearSelectionCounts();
}

void CTableSelection::ComputeSelectedRecordsFromSelectedValues(CSet& out)
{
    out.RemoveAll();
    if (m_valueSelectionList.empty())
        return;
    std::vector<std::vector<uint8_t>> selected;
    std::vector<const CAttributeSelection*> states;
    for (CAttribute* attribute : m_valueSelectionList)
    {
        states.push_back(&For(*attribute));
        selected.push_back(SelectedValueIndices(*states.back()));
    }
    const long n = m_table.GetAllRecords().GetSize();
    for (long i = 0; i < n; ++i)
    {
        CRecord* record = m_table.GetAllRecords().GetRecord(i);
        if (!record->m_bQualified)
            continue;
        for (size_t a = 0; a < m_valueSelectionList.size(); ++a)
        {
            const long index = m_valueSelectionList[a]->GetFieldValueIndex(record);
            const bool hit = static_cast<size_t>(index) < selected[a].size()
                                 ? selected[a][index] != 0
                                 : states[a]->IsValueIndexSelected(index);
            if (hit)
            {
                out.AddTail(record);
                break;
            }
        }
    }
}

void CTableSelection::GetOverallSelectedRecords(CSet& out, bool force)
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
        CAttributeSelection& selection = For(*attribute);
        selection.RecomputeExplicitlySelectedRecordsIfNecessary();
        const CSet* records = selection.GetExplicitlySelectedRecords();
        for (long i = 0; i < records->GetCount(); ++i)
        {
            const auto* record = static_cast<const CRecord*>(records->GetAt(i));
            if (record->m_bQualified)
                out.AddTail(record);
        }
    }
}

long CTableSelection::CountSelectedRecords()
{
    if (m_nSelectedRecords < 0 && m_valueSelectionList.empty())
        m_nSelectedRecords = 0; // without a set sized for every record
    if (m_nSelectedRecords < 0)
    {
        CSet records; // grown as needed, as in CollectSelectedShownRecords
        GetOverallSelectedRecords(records);
        m_nSelectedRecords = records.GetCount();
    }
    return m_nSelectedRecords;
}

CRecord* CTableSelection::GetFirstSelectedRecord(bool qualifiedOnly)
{
    if (m_valueSelectionList.empty())
        return nullptr;
    if (!m_bCompressedMode)
    {
        for (CAttribute* attribute : m_valueSelectionList)
        {
            CAttributeSelection& selection = For(*attribute);
            selection.RecomputeExplicitlySelectedRecordsIfNecessary();
            const CSet* records = selection.GetExplicitlySelectedRecords();
            for (long i = 0; i < records->GetCount(); ++i)
            {
                auto* record = static_cast<CRecord*>(const_cast<void*>(records->GetAt(i)));
                if (!qualifiedOnly || record->m_bQualified)
                    return record;
            }
        }
        return nullptr;
    }
    for (long i = 0; i < m_table.GetAllRecords().GetSize(); ++i)
    {
        CRecord* record = m_table.GetAllRecords().GetRecord(i);
        if (qualifiedOnly && !record->m_bQualified)
            continue;
        for (CAttribute* attribute : m_valueSelectionList)
        {
            if (For(*attribute).IsValueSelected(attribute->GetFieldValue(record)))
                return record;
        }
    }
    return nullptr;
}

void CTableSelection::GetRecordsSelectedByKeyboard(std::vector<CRecord*>& out)
{
    out.clear();
    if (m_table.GetShownRecords().IsEmpty() || m_valueSelectionList.empty() || !m_pCursorRecord)
        return;
    CAttribute* attribute = m_valueSelectionList.front();
    std::vector<CRecord*> order;
    if (m_bSortAllMode)
        order = attribute->GetSortedShownRecords();
    else
        order.assign(m_table.GetShownRecords().GetData(), m_table.GetShownRecords().GetData() + m_table.GetShownRecords().GetSize());
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

void CTableSelection::CountSelectedRecordsIfNecessary()
{
    for (long i = 0; i < m_table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = m_table.FindAttributeFromIndex(i);
        if (!attribute->IsHeader())
            For(*attribute).CountSelectedRecordsIfNecessary();
    }
}

void CAttributeSelection::ForgetRecords()
{
    m_pExplicitRecords.reset();
    m_pImplicitRecords.reset();
    m_bSelectionDirty = true;
}
