// The table's selection state: finding it, its attributes' states, and keeping
// it consistent when the table drops what it points at.

#include "selection/TableSelection.h"

#include "engine/Set.h"
#include "engine/Table.h"
#include "selection/CommandHistory.h"
#include "selection/RecordCommands.h"

#include <algorithm>

namespace
{
// The key under which the selection state is attached to a table.
const char s_companionKey = 0;
} // namespace

CTableSelection::CTableSelection(CTable& table)
    : m_table(table), m_qualification(*this, table), m_pHistory(std::make_unique<CCommandHistory>(*this, table))
{
}

CTableSelection::~CTableSelection()
{
    // Commands hold restrictions that the attribute states hold too: the histories go first.
    for (CKeptRecords* kept : m_keptRecords)
        kept->ForgetRegistry();
    m_keptRecords.clear();
    m_pHistory->Clear();
    if (m_pViewModeListener)
        m_pViewModeListener->OnSelectionDestroyed();
}

CTableSelection& CTableSelection::Of(CTable& table)
{
    if (CTableCompanion* companion = table.FindCompanion(&s_companionKey))
        return static_cast<CTableSelection&>(*companion);
    return static_cast<CTableSelection&>(
        table.AttachCompanion(&s_companionKey, std::make_unique<CTableSelection>(table)));
}

const CTableSelection* CTableSelection::Find(const CTable& table)
{
    return static_cast<const CTableSelection*>(table.FindCompanion(&s_companionKey));
}

CAttributeSelection& CTableSelection::For(CAttribute& attribute)
{
    std::unique_ptr<CAttributeSelection>& state = m_attributes[&attribute];
    if (!state)
        state = std::make_unique<CAttributeSelection>(*this, attribute);
    return *state;
}

CAttributeSelection* CTableSelection::Find(const CAttribute& attribute)
{
    const auto it = m_attributes.find(&attribute);
    return it == m_attributes.end() ? nullptr : it->second.get();
}

const CAttributeSelection* CTableSelection::Find(const CAttribute& attribute) const
{
    const auto it = m_attributes.find(&attribute);
    return it == m_attributes.end() ? nullptr : it->second.get();
}

std::vector<CAttributeSelection*> CTableSelection::GetAttributeStates() const
{
    std::vector<CAttributeSelection*> states;
    states.reserve(m_attributes.size());
    for (const auto& entry : m_attributes)
        states.push_back(entry.second.get());
    return states;
}

CAttributeSelection& CAttributeSelection::Of(CAttribute& attribute)
{
    return CTableSelection::Of(*attribute.GetTable()).For(attribute);
}

// ---- lists ----

bool CTableSelection::HasSelectedValues(const CAttribute* attribute) const
{
    return std::find(m_valueSelectionList.begin(), m_valueSelectionList.end(), attribute) != m_valueSelectionList.end();
}

void CTableSelection::AddToValueSelectionList(CAttribute* attribute)
{
    if (!attribute->IsHeader() && !HasSelectedValues(attribute))
        m_valueSelectionList.push_back(attribute);
}

void CTableSelection::RemoveFromValueSelectionList(CAttribute* attribute)
{
    m_valueSelectionList.erase(std::remove(m_valueSelectionList.begin(), m_valueSelectionList.end(), attribute),
                               m_valueSelectionList.end());
}

// ---- the table's notices ----

void CTableSelection::OnTableCleared()
{
    m_pHistory->Clear();
    m_valueSelectionList.clear();
    m_rows.DeselectAllAttributes();
    m_attributes.clear();
    m_qualification.Clear();
    ResetCursor();
    ClearSelectionCounts();
}

void CTableSelection::OnAttributeDeleted(CAttribute* attribute)
{
    // Disjunctions that name the attribute go from the other attributes' lists; commands that refer to it are
    // skipped from now on.
    if (CAttributeSelection* state = Find(*attribute))
        state->ReleaseRestrictions();
    m_pHistory->ForgetAttribute(attribute);
    RemoveFromValueSelectionList(attribute);
    m_rows.DeselectAttribute(attribute);
    m_qualification.ForgetAttribute(attribute);
    if (m_pCursorAttribute == attribute)
        ResetCursor();
    m_attributes.erase(attribute);
    ClearSelectionCounts();
}

void CTableSelection::RemoveKeptRecords(CKeptRecords* kept)
{
    m_keptRecords.erase(std::remove(m_keptRecords.begin(), m_keptRecords.end(), kept), m_keptRecords.end());
}

void CTableSelection::OnValuesRebuilt(CAttribute* attribute)
{
    for (CKeptRecords* kept : std::vector<CKeptRecords*>(m_keptRecords))
        kept->SaveValues(*attribute);
    const auto it = m_attributes.find(attribute);
    if (it != m_attributes.end())
        it->second->DeselectAllValues(); // the selection points at the values about to go
    m_pHistory->InvalidateCheckpoints();
}

void CTableSelection::OnRecordsChanged(bool removed)
{
    m_pHistory->InvalidateCheckpoints();
    // The records a selection selects follow from its values again (records given back to the store must not
    // stay in a cache, new ones carrying selected values are selected).
    for (auto& entry : m_attributes)
        entry.second->ForgetRecords();
    if (removed)
    {
        m_qualification.ForgetRecords();
        ResetCursor();
    }
    ClearSelectionCounts();
}

void CTableSelection::OnRecordsDetached(const CSet& records)
{
    m_pHistory->InvalidateCheckpoints();
    m_qualification.ForgetRecords(records);
    for (auto& entry : m_attributes)
        entry.second->ForgetRecords();
    if (m_pCursorRecord && records.Find(m_pCursorRecord))
        ResetCursor();
    ClearSelectionCounts();
}
