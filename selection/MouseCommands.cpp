// The pointer gestures: selecting ranges of values in a value list, and values and records in the table view
// with the single-click zoom.

#include "selection/MouseCommands.h"

#include "engine/Set.h"
#include "engine/Table.h"
#include "options/OptionSet.h"
#include "platform/System.h"
#include "selection/CommandHistory.h"
#include "selection/TableSelection.h"

#include <algorithm>
#include <cstdlib>

namespace
{
// Selects the value of record in the attribute (each part of a list), extending the selection or not.
void SelectValueOf(CAttributeSelection& state, CAttribute& attribute, CRecord* record, bool extend)
{
    const char16_t* value = attribute.GetFieldValue(record);
    if (!CAttribute::IsEncodedList(value))
    {
        state.SelectValue(value, record, extend);
        return;
    }
    bool first = true;
    for (const char16_t* part : CAttribute::GetEncodedMultipleValues(value))
    {
        state.SelectValue(part, record, extend || !first);
        first = false;
    }
}

bool Within(SMousePoint a, SMousePoint b, int distance)
{
    return std::abs(a.x - b.x) <= distance && std::abs(a.y - b.y) <= distance;
}
} // namespace

// ---- the base ----

CMouseCommand::CMouseCommand(CTable* table, KStringView className) : CCommand(table, className)
{
    m_bQueryCommand = false;
}

uint64_t CMouseCommand::Now() const
{
    return m_clock ? m_clock() : platform::GetTickCountMs();
}

bool CCommandHistory::Submit(CMouseCommand& gesture, unsigned keyFlags, SMousePoint point, int kind, int item)
{
    gesture.OnMouseEvent(keyFlags, point, kind, item);
    return true;
}

// ---- ranges of values in a value list ----

CSelectValuesCommand::CSelectValuesCommand(CTable* table) : CMouseCommand(table, u"CSelectValuesCommand") {}

CSelectValuesCommand::CSelectValuesCommand(CAttribute* attribute, std::vector<const char16_t*> values, bool reverse)
    : CMouseCommand(attribute->GetTable(), u"CSelectValuesCommand"), m_values(std::move(values)), m_bReverse(reverse)
{
    m_pAttribute = attribute;
}

void CSelectValuesCommand::OnMouseEvent(unsigned keyFlags, SMousePoint, int kind, int item)
{
    if (!m_pAttribute || m_values.empty())
        return;
    const int last = static_cast<int>(m_values.size()) - 1;
    CAttributeSelection& state = CAttributeSelection::Of(m_pAttribute);
    switch (kind)
    {
    case MOUSE_DOWN:
    case MOUSE_DOUBLE:
    {
        if (item < 0 || item > last)
            return;
        m_bPressed = true;
        m_base.clear();
        const bool control = keyFlags & MOUSE_KEY_CONTROL;
        if (control)
        {
            if (state.IsValueSelected(m_values[item]) && !(keyFlags & MOUSE_KEY_SHIFT))
            {
                state.DeselectValue(m_values[item], nullptr); // Control toggles a selected value off
                m_nAnchor = item;
                m_bPressed = false;
                return;
            }
            if (const CSet* selected = state.GetSelectedValues())
            {
                for (long i = 0; i < selected->GetCount(); ++i)
                    m_base.push_back(static_cast<const char16_t*>(selected->GetAt(i)));
            }
        }
        if (!(keyFlags & MOUSE_KEY_SHIFT) || m_nAnchor < 0 || m_nAnchor > last)
            m_nAnchor = item;
        SelectRange(item);
        break;
    }
    case MOUSE_MOVE:
        if (m_bPressed && m_nAnchor >= 0)
            SelectRange(std::clamp(item, 0, last));
        break;
    case MOUSE_UP:
        m_bPressed = false;
        break;
    default:
        break;
    }
}

void CSelectValuesCommand::SelectRange(int item)
{
    const int low = std::min(m_nAnchor, item);
    const int high = std::max(m_nAnchor, item);
    auto values = std::make_unique<CSet>(m_base.size() + static_cast<size_t>(high - low + 1));
    for (const char16_t* value : m_base)
        values->AddTail(value);
    for (int i = low; i <= high; ++i)
        values->AddTail(m_values[i]);
    // A range only when the selection is the run alone; its bounds in value order.
    const bool range = m_base.empty() && high > low;
    const char16_t* first = m_values[low];
    const char16_t* second = m_values[high];
    if (m_bReverse)
        std::swap(first, second);
    CAttributeSelection::Of(m_pAttribute).SelectValues(std::move(values), range, first, second);
}

// ---- values and records in the table view ----

CSelectCommand::CSelectCommand(CAttribute* attribute) : CMouseCommand(attribute->GetTable(), u"CSelectCommand")
{
    m_pAttribute = attribute;
}

CRecord* CSelectCommand::RecordAt(int item) const
{
    const CRecordArray& shown = m_pTable->GetShownRecords();
    return item >= 0 && item < shown.GetSize() ? shown.GetRecord(item) : nullptr;
}

void CSelectCommand::SelectRun(int item)
{
    const int low = std::min(m_nAnchor, item);
    const int high = std::max(m_nAnchor, item);
    CAttributeSelection& state = CAttributeSelection::Of(m_pAttribute);
    for (int i = low; i <= high; ++i)
    {
        if (CRecord* record = RecordAt(i))
            SelectValueOf(state, *m_pAttribute, record, true);
    }
}

void CSelectCommand::OnMouseEvent(unsigned keyFlags, SMousePoint point, int kind, int item)
{
    if (!m_pAttribute || m_pAttribute->IsHeader())
        return;
    CTableSelection& selection = CTableSelection::Of(*m_pTable);
    CAttributeSelection& state = selection.For(*m_pAttribute);
    switch (kind)
    {
    case MOUSE_DOWN:
    {
        CRecord* record = RecordAt(item);
        if (!record)
            return;
        m_bPressed = true;
        m_bDragged = false;
        m_bZoomed = false;
        m_downPoint = point;
        m_nDownTime = Now();
        const bool control = keyFlags & MOUSE_KEY_CONTROL;
        const bool shift = keyFlags & MOUSE_KEY_SHIFT;
        m_bModified = control || shift;
        if (shift && RecordAt(m_nAnchor))
        {
            SelectRun(item);
        }
        else if (control)
        {
            m_nAnchor = item;
            const char16_t* value = m_pAttribute->GetFieldValue(record);
            if (state.IsValueSelected(value))
                state.DeselectValue(value, record);
            else
                SelectValueOf(state, *m_pAttribute, record, true);
        }
        else
        {
            m_nAnchor = item;
            selection.DeselectAllValues();
            SelectValueOf(state, *m_pAttribute, record, false);
        }
        break;
    }
    case MOUSE_MOVE:
        if (!m_bPressed)
            return;
        if (!Within(point, m_downPoint, s_nClickDistance))
            m_bDragged = true;
        if (m_bDragged && RecordAt(item) && RecordAt(m_nAnchor))
            SelectRun(item);
        break;
    case MOUSE_UP:
    {
        if (!m_bPressed)
            return;
        m_bPressed = false;
        const bool click = !m_bDragged && !m_bModified && Within(point, m_downPoint, s_nClickDistance) &&
                           Now() - m_nDownTime <= static_cast<uint64_t>(platform::GetDoubleClickTimeMs());
        if (click && m_pTable->GetOptions().m_bSingleClickMode)
            m_bZoomed = selection.EvaluateSelection(true, false);
        break;
    }
    case MOUSE_DOUBLE:
        // A double click opens or closes the record's column in the compressed table.
        m_bPressed = false;
        if (CRecord* record = RecordAt(item); record && selection.IsCompressedMode())
            m_pTable->SetRecordOpen(record, !record->m_bOpen);
        break;
    default:
        break;
    }
}
