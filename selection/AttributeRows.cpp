// Attributes selected as rows, and hiding attributes by their content.

#include "engine/Table.h"
#include "selection/TableSelection.h"

void CTableSelection::SelectAttribute(CAttribute* attribute, bool keep)
{
    if (!attribute)
        return;
    if (!m_valueSelectionList.empty())
        DeselectAllValues();
    if (!keep)
        m_attributeSelection.clear();
    if (!IsSelected(attribute))
        m_attributeSelection.push_back(attribute);
}

void CTableSelection::SelectAttributes(const std::vector<CAttribute*>& attributes)
{
    DeselectAllValues();
    m_attributeSelection.clear();
    for (CAttribute* attribute : attributes)
        SelectAttribute(attribute, true);
}

void CTableSelection::SelectAllAttributes()
{
    DeselectAllValues();
    m_attributeSelection.clear();
    for (long i = 0; i < m_table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = m_table.FindAttributeFromIndex(i);
        if (attribute->IsShown() && !attribute->IsSuppressed())
            m_attributeSelection.push_back(attribute);
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
        if (selection.IsSelected(attribute))
            selection.DeselectAllAttributes();
        const CAttributeSelection* state = selection.Find(*attribute);
        if (!(state && state->IsRestricted()) && hide(attribute))
            attribute->SetShown(false);
    }
    HideHeadersWithoutShownChildren(table, false);
}

void CTableSelection::HideIdenticalAttributes(bool emptyOnly)
{
    HideAttributesBy(*this, [emptyOnly](CAttribute* attribute) {
        return emptyOnly ? !attribute->HasNonEmptyValue() : !attribute->HasMoreThanOneValue();
    });
}

void CTableSelection::HideCompleteAttributes()
{
    HideAttributesBy(*this, [this](CAttribute* attribute) {
        // Complete: there are qualified records and none of them lacks a value.
        bool any = false;
        const CRecordArray& all = m_table.GetAllRecords();
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

void CTableSelection::HideEmptyHeaders()
{
    HideHeadersWithoutShownChildren(m_table, true);
}

void CTableSelection::ShowAllHiddenAttributes(bool selectThem)
{
    if (selectThem)
    {
        DeselectAllValues();
        m_attributeSelection.clear();
    }
    for (long i = 0; i < m_table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = m_table.FindAttributeFromIndex(i);
        if (attribute->IsSuppressed() || attribute->IsShown())
            continue;
        attribute->SetShown(true);
        if (selectThem)
            m_attributeSelection.push_back(attribute);
    }
}
