// Attributes selected as rows, and hiding attributes by their content.

#include "selection/AttributeRows.h"

#include "engine/Table.h"
#include "selection/TableSelection.h"

#include <algorithm>

bool CAttributeRows::IsSelected(const CAttribute* attribute) const
{
    return std::find(m_selection.begin(), m_selection.end(), attribute) != m_selection.end();
}

void CAttributeRows::DeselectAttribute(CAttribute* attribute)
{
    m_selection.erase(std::remove(m_selection.begin(), m_selection.end(), attribute), m_selection.end());
}

void CAttributeRows::SelectAttribute(CAttribute* attribute, bool keep)
{
    if (!attribute)
        return;
    if (!m_owner.GetValueSelectionList().empty())
        m_owner.DeselectAllValues();
    if (!keep)
        m_selection.clear();
    if (!IsSelected(attribute))
        m_selection.push_back(attribute);
}

void CAttributeRows::SelectAttributes(const std::vector<CAttribute*>& attributes)
{
    m_owner.DeselectAllValues();
    m_selection.clear();
    for (CAttribute* attribute : attributes)
        SelectAttribute(attribute, true);
}

void CAttributeRows::SelectAllAttributes()
{
    m_owner.DeselectAllValues();
    m_selection.clear();
    CTable& table = m_owner.GetTable();
    for (long i = 0; i < table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = table.FindAttributeFromIndex(i);
        if (attribute->IsShown() && !attribute->IsSuppressed())
            m_selection.push_back(attribute);
    }
}

namespace
{
// Hides every shown header that no longer has a shown attribute below it (walking up from the end, so
// that a header whose sub-headers all went is hidden too). With suppress, also headers that are already
// hidden are examined, and those hidden are marked suppressed.
void HideHeadersWithoutShownChildren(CTable& table, bool suppress)
{
    const CAttribute* nextShown = nullptr;
    for (long i = table.GetAttributeCount() - 1; i >= 0; --i)
    {
        CAttribute* attribute = table.FindAttributeFromIndex(i);
        if (attribute->IsSuppressed())
            continue;
        if (attribute->IsHeader() && (attribute->IsShown() || suppress))
        {
            const bool hasShownChild = nextShown && nextShown->GetIndent() > attribute->GetIndent();
            if (!hasShownChild)
            {
                attribute->SetShown(false);
                if (suppress)
                    attribute->SetSuppressed(true);
                continue;
            }
        }
        if (attribute->IsShown())
            nextShown = attribute;
    }
}
} // namespace

// Hides the shown, unrestricted, non-header attributes for which hide answers true.
template <class Hide>
static void HideAttributesBy(CTableSelection& selection, const Hide& hide)
{
    CTable& table = selection.GetTable();
    for (long i = 0; i < table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = table.FindAttributeFromIndex(i);
        if (!attribute->IsShown() || attribute->IsHeader())
            continue;
        if (selection.HasSelectedValues(attribute))
            selection.DeselectAllValues();
        if (selection.GetAttributeRows().IsSelected(attribute))
            selection.GetAttributeRows().DeselectAllAttributes();
        const CAttributeSelection* state = selection.Find(*attribute);
        if (!(state && state->IsRestricted()) && hide(attribute))
            attribute->SetShown(false);
    }
    HideHeadersWithoutShownChildren(table, false);
}

void CAttributeRows::HideIdenticalAttributes(bool emptyOnly)
{
    HideAttributesBy(m_owner, [emptyOnly](CAttribute* attribute) {
        return emptyOnly ? !attribute->HasNonEmptyValue() : !attribute->HasMoreThanOneValue();
    });
}

void CAttributeRows::HideCompleteAttributes()
{
    HideAttributesBy(m_owner, [this](CAttribute* attribute) {
        // Complete: there are qualified records and none of them lacks a value.
        bool any = false;
        const CRecordArray& all = m_owner.GetTable().GetAllRecords();
        for (long i = 0; i < all.GetSize(); ++i)
        {
            const CRecord* record = all.GetRecord(i);
            if (!record->m_bQualified)
                continue;
            any = true;
            if (attribute->GetFieldValue(record)[0] == 0)
                return false;
        }
        return any;
    });
}

void CAttributeRows::HideEmptyHeaders()
{
    HideHeadersWithoutShownChildren(m_owner.GetTable(), true);
}

void CAttributeRows::ShowAllHiddenAttributes(bool selectThem)
{
    if (selectThem)
    {
        m_owner.DeselectAllValues();
        m_selection.clear();
    }
    CTable& table = m_owner.GetTable();
    for (long i = 0; i < table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = table.FindAttributeFromIndex(i);
        if (attribute->IsSuppressed() || attribute->IsShown())
            continue;
        attribute->SetShown(true);
        if (selectThem)
            m_selection.push_back(attribute);
    }
}
