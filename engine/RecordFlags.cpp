// Upkeep of the selection state that the table itself needs: membership of
// the selection lists, clearing an attribute's selection, record counts and
// the shown records. The selecting and evaluating operations are in selection/.

#include "engine/Set.h"
#include "engine/Table.h"

#include <algorithm>

void CAttribute::DeselectAllValues()
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
    m_pTable->RemoveFromValueSelectionList(this);
    m_pTable->ClearSelectionCounts();
}

bool CTable::HasSelectedValues(const CAttribute* attribute) const
{
    return std::find(m_valueSelectionList.begin(), m_valueSelectionList.end(), attribute) != m_valueSelectionList.end();
}

void CTable::AddToValueSelectionList(CAttribute* attribute)
{
    if (!attribute->IsHeader() && !HasSelectedValues(attribute))
        m_valueSelectionList.push_back(attribute);
}

void CTable::RemoveFromValueSelectionList(CAttribute* attribute)
{
    m_valueSelectionList.erase(std::remove(m_valueSelectionList.begin(), m_valueSelectionList.end(), attribute),
                               m_valueSelectionList.end());
}

bool CTable::IsSelected(const CAttribute* attribute) const
{
    return std::find(m_attributeSelection.begin(), m_attributeSelection.end(), attribute) != m_attributeSelection.end();
}

void CTable::DeselectAttribute(CAttribute* attribute)
{
    m_attributeSelection.erase(std::remove(m_attributeSelection.begin(), m_attributeSelection.end(), attribute),
                               m_attributeSelection.end());
}

void CTable::DeselectAllAttributes()
{
    m_attributeSelection.clear();
}

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

void CTable::SetRestrictionsChanged(bool released)
{
    m_bRestrictionsChanged = true;
    if (released)
        m_bRestrictionsReleased = true;
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
