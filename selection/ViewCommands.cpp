// Sorting the records and switching the view mode as commands, and the table's view modes and sort submissions.

#include "selection/ViewCommands.h"

#include "engine/Table.h"
#include "platform/Resources.h"
#include "selection/CommandHistory.h"
#include "selection/HistoryInternal.h"
#include "selection/TableSelection.h"

namespace
{
constexpr int kSortBy = 2710;          // "Sortieren nach '%1'"
constexpr int kReverseSortOf = 2574;   // "Die Sortierung von '%1' umkehren"
constexpr int kShowFullTable = 2756;   // "Tabelle breit anzeigen"
constexpr int kShowCompressed = 2754;  // "In die komprimierte Tabelle wechseln"
constexpr int kShowOverview = 2758;    // "In die Übersicht wechseln"

int NormalMode(int mode)
{
    return mode == 1 || mode == 2 ? mode : 3;
}

const char16_t* ModeWord(int mode)
{
    switch (NormalMode(mode))
    {
    case 1:
        return u"Table";
    case 2:
        return u"Compressed";
    default:
        return u"Overview";
    }
}
} // namespace

// ---- sorting ----

CSortCommand::CSortCommand(CTable* table) : CCommand(table, u"CSortCommand") {}

CSortCommand::CSortCommand(CTable* table, CAttribute* attribute, bool reverse) : CSortCommand(table)
{
    m_pAttribute = attribute;
    m_bReverse = reverse;
    Selection().DeselectAllAttributes();
}

void CSortCommand::CopyFrom(const CCommand& other)
{
    CCommand::CopyFrom(other);
    if (const auto* sort = dynamic_cast<const CSortCommand*>(&other))
        m_bReverse = sort->m_bReverse;
}

void CSortCommand::ComputeName(int form)
{
    const KString name =
        m_pAttribute && !m_bAttributeDeleted ? m_pAttribute->GetDisplayName(form == 0 ? 30 : (form == 1 ? 200 : 0))
                                             : KString(u"?");
    m_strName = FormatResource(m_bReverse ? kReverseSortOf : kSortBy, {name});
}

bool CSortCommand::Do()
{
    if (!IsValid())
        return false;
    if (m_bReverse)
        m_pAttribute->SetReverseSort(!m_pAttribute->IsReverseSort());
    m_pTable->GetSortState().SortColumns(m_pAttribute, 3, m_bInteractive, m_bAnimating);
    History().SetHistoryChanged();
    m_pTable->GetSortState().SetSortChanged(true);
    return true;
}

void CSortCommand::Undo()
{
    m_pTable->GetSortState().SetSortChanged(true);
    CCommand::Undo();
}

// ---- switching the view mode ----

CModeSwitchCommand::CModeSwitchCommand(CTable* table) : CCommand(table, u"CModeSwitchCommand") {}

CModeSwitchCommand::CModeSwitchCommand(CTable* table, int mode, bool doNotRemember) : CModeSwitchCommand(table)
{
    m_nNewMode = NormalMode(mode);
    m_bDoNotRemember = doNotRemember;
}

void CModeSwitchCommand::CopyFrom(const CCommand& other)
{
    CCommand::CopyFrom(other);
    if (const auto* sw = dynamic_cast<const CModeSwitchCommand*>(&other))
    {
        m_nNewMode = sw->m_nNewMode;
        m_nPreviousMode = sw->m_nPreviousMode;
        m_bDoNotRemember = sw->m_bDoNotRemember;
        m_bFollowsReset = sw->m_bFollowsReset;
    }
}

void CModeSwitchCommand::ComputeName(int)
{
    const int id = m_nNewMode == 1 ? kShowFullTable : (m_nNewMode == 2 ? kShowCompressed : kShowOverview);
    m_strName = LoadResourceString(id);
}

void CModeSwitchCommand::Prepare()
{
    ComputeName(0);
    m_nPreviousMode = Selection().GetViewMode();
    const CCommandList& back = History().GetBackList();
    m_bFollowsReset = back.empty() || history::IsReset(back.back());
}

bool CModeSwitchCommand::Do()
{
    // A mode chosen right after a reset, by the user, becomes the mode resets restore.
    const bool remember = m_bFollowsReset && !m_bDoNotRemember && m_bInteractive;
    Selection().SetViewMode(m_nNewMode, m_bInteractive, remember);
    return true;
}

void CModeSwitchCommand::Undo()
{
    Selection().SetViewMode(m_nPreviousMode, m_bInteractive, false);
}

KString CModeSwitchCommand::GetLogName()
{
    return KString(ModeWord(m_nPreviousMode)) + u" -> " + ModeWord(m_nNewMode);
}

// ---- the table's view modes ----

void CTableSelection::SetViewMode(int mode, bool notify, bool remember)
{
    mode = NormalMode(mode);
    if (m_pViewModeListener)
    {
        m_pViewModeListener->SwitchViewMode(mode, notify);
    }
    else
    {
        const bool sortAll = mode == 3;
        const bool compressed = mode != 1;
        // The order of the two flags: the overview is entered after compressing and left before decompressing.
        if (sortAll)
            m_bCompressedMode = true;
        if (m_bSortAllMode != sortAll)
        {
            m_bSortAllMode = sortAll;
            m_qualification.HideRefusedRecords(notify);
        }
        m_bCompressedMode = compressed;
    }
    if (remember)
        m_nRememberedViewMode = mode;
}

int CTableSelection::GetViewMode() const
{
    return m_bSortAllMode ? 3 : (m_bCompressedMode ? 2 : 1);
}

bool CTableSelection::SwitchToViewMode(int mode)
{
    mode = NormalMode(mode);
    if (m_table.GetAttributeCount() == 0 || GetViewMode() == mode)
        return false;
    return GetHistory().Submit(std::make_shared<CModeSwitchCommand>(&m_table, mode), true, true, true);
}

bool CTableSelection::SortRecords(CAttribute* attribute, bool reverse)
{
    if (!attribute || m_table.FindAttributeIndex(attribute) < 0)
        return false;
    return GetHistory().Submit(std::make_shared<CSortCommand>(&m_table, attribute, reverse), true, true, true);
}
