// Replays of the current query, the evaluation between replayed commands, and the checkpoints that let a
// replay start from the newest kept state.

#include "selection/CommandHistory.h"

#include "engine/Table.h"
#include "formula/DerivedAttributes.h"
#include "platform/Resources.h"
#include "platform/System.h"
#include "selection/Command.h"
#include "selection/HistoryCheckpoint.h"
#include "selection/HistoryInternal.h"
#include "selection/SetAttributeCommand.h"
#include "selection/TableSelection.h"

#include <algorithm>

using namespace history;

// ---- evaluation between and after commands ----

void CCommandHistory::ReevaluateAndRecomputeIfNecessary()
{
    CQualification& qualification = m_owner.GetQualification();
    if (qualification.AreRestrictionsChanged())
        qualification.Reevaluate(false);
    // Derived attributes: those that follow the qualified records when these changed, and every outdated one.
    if (formula::CDerivedAttributes* derived = formula::CDerivedAttributes::Find(m_table))
    {
        derived->SetRestrictedTest(
            [this](const CAttribute& attribute)
            {
                const CAttributeSelection* state = m_owner.Find(attribute);
                return state && state->IsRestricted();
            });
        derived->ReevaluateAndRecomputeIfNecessary(!IsReplaying()); // a replay's end comes here again
        derived->SetRestrictedTest({});
    }
}

void CCommandHistory::Refresh()
{
    ReevaluateAndRecomputeIfNecessary();
    // Counts, sorting, widths and the drawing belong to the display, which reads the state when it paints.
}

// ---- replays ----

void CCommandHistory::ResetAndReplayCurrentQuery()
{
    m_owner.Reset(false, true);
    SetHistoryChanged();
    ReplayCurrentQuery();
}

void CCommandHistory::ExecuteReplayed(CCommand& command, bool finalStep, KStringView logSuffix)
{
    command.m_bInteractive = finalStep;
    command.m_bFinalStep = finalStep;
    command.m_bInEffect = false;
    command.Redo();
    command.m_bInEffect = true;
    command.m_nExecutionTime = NextExecutionTime();
    if (!logSuffix.empty() && IsActionLoggingActive())
        LogToActionLogFile(command.GetDisplayClassName() + KString(logSuffix), command.GetLogName());
}

void CCommandHistory::ReplayCurrentQuery()
{
    long n = 0;
    while (!m_back.empty() && !IsReset(m_back.back()))
    {
        m_forward.push_front(m_back.back());
        m_back.pop_back();
        ++n;
    }
    ReevaluateAndRecomputeIfNecessary();
    ReplayForwardHead(n);
}

void CCommandHistory::ReplayForwardHead(long n)
{
    ++m_nReplaying;
    struct SReplaying
    {
        int& depth;
        ~SReplaying() { --depth; }
    } replaying{m_nReplaying};
    // The newest command whose state was kept: the replay goes on from there (the table was just reset).
    long from = 0;
    if (m_bFastReplay)
    {
        // A checkpoint holds restrictions and flags only: the commands it skips must be zooms and the like, so
        // the search stops before the first modification (whose effect the reset undid) and the first command
        // that changes more than restrictions (a sort, a mode switch).
        long limit = 0;
        while (limit < n && !m_forward[limit]->m_bModification && !m_forward[limit]->ChangesMoreThanRestrictions())
            ++limit;
        for (long k = limit - 1; k >= 0; --k)
        {
            if (IsCheckpointValid(*m_forward[k]))
            {
                RestoreCheckpoint(*m_forward[k]);
                from = k + 1;
                break;
            }
        }
    }
    for (long i = 0; i < n; ++i)
    {
        std::shared_ptr<CCommand> command = m_forward.front();
        m_forward.pop_front();
        if (i < from)
        {
            if (command->m_bApplicable)
                command->m_bInEffect = true; // its effect is part of the checkpoint
        }
        else
        {
            if (command->CheckApplicable(true))
            {
                ExecuteReplayed(*command, false, {});
                ++m_nReplayedCommands;
                ReevaluateAndRecomputeIfNecessary();
            }
            TakeCheckpoint(*command);
        }
        m_back.push_back(command);
    }
}

// ---- checkpoints ----

void CCommandHistory::TakeCheckpoint(CCommand& command)
{
    command.m_pCheckpoint.reset();
    const CQualification& qualification = m_owner.GetQualification();
    if (!m_bFastReplay || qualification.AreRestrictionsChanged() || m_table.GetNumberOpen() != 0 ||
        !qualification.GetForcedRecords().empty())
        return;
    // Automatic hiding switched off by a step of this query keeps refused records on screen, which a
    // checkpoint (shown = qualified, the flag as a reset leaves it) cannot give back.
    if (!qualification.IsAutoHideRefused() && SwitchesAutoHideInQuery(command))
        return;
    auto checkpoint = std::make_unique<SHistoryCheckpoint>();
    checkpoint->m_nDataGeneration = m_nDataGeneration;
    checkpoint->m_nRecords = m_table.GetRecordCount();
    checkpoint->m_nQualified = m_table.GetNumberQualified();
    for (CAttributeSelection* attribute : m_owner.GetAttributeStates())
    {
        if (attribute->IsRestricted())
            checkpoint->m_restrictions.emplace_back(
                &attribute->GetAttribute(), std::vector<std::weak_ptr<CSetAttributeCommand>>(
                                                attribute->GetRestrictions().begin(), attribute->GetRestrictions().end()));
    }
    const long n = checkpoint->m_nRecords;
    if (checkpoint->m_nQualified * 64 < n)
    {
        // Few qualified records: keep them (they are all shown, so the shown records hold them).
        checkpoint->m_bSparse = true;
        checkpoint->m_qualifiedRecords.reserve(static_cast<size_t>(checkpoint->m_nQualified));
        const CRecordArray& shown = m_table.GetShownRecords();
        CRecord* const* records = shown.GetData();
        for (long i = 0; i < shown.GetSize(); ++i)
        {
            if (records[i]->m_bQualified)
                checkpoint->m_qualifiedRecords.push_back(records[i]);
        }
    }
    else
    {
        // By record number: the order of the records may differ when the checkpoint is restored.
        CRecord* const* records = m_table.GetAllRecords().GetData();
        int32_t largest = -1;
        for (long i = 0; i < n; ++i)
            largest = std::max(largest, records[i]->m_nRecordNumber);
        checkpoint->m_qualifiedBits.assign(static_cast<size_t>((int64_t(largest) + 64) / 64), 0);
        for (long i = 0; i < n; ++i)
        {
            const uint32_t number = static_cast<uint32_t>(records[i]->m_nRecordNumber);
            if (records[i]->m_bQualified)
                checkpoint->m_qualifiedBits[number >> 6] |= uint64_t(1) << (number & 63);
        }
    }
    command.m_pCheckpoint = std::move(checkpoint);
}

bool CCommandHistory::SwitchesAutoHideInQuery(const CCommand& command) const
{
    if (command.IsKindOf(u"CToggleAutoHideRecordsCommand"))
        return true;
    for (auto it = m_back.rbegin(); it != m_back.rend() && !IsReset(*it); ++it)
    {
        if ((*it)->IsKindOf(u"CToggleAutoHideRecordsCommand"))
            return true;
    }
    return false;
}

bool CCommandHistory::IsCheckpointValid(const CCommand& command) const
{
    const SHistoryCheckpoint* checkpoint = command.m_pCheckpoint.get();
    if (!checkpoint || checkpoint->m_nDataGeneration != m_nDataGeneration ||
        checkpoint->m_nRecords != m_table.GetRecordCount())
        return false;
    for (const auto& entry : checkpoint->m_restrictions)
    {
        for (const auto& restriction : entry.second)
        {
            if (restriction.expired())
                return false;
        }
    }
    return true;
}

void CCommandHistory::RestoreCheckpoint(const CCommand& command)
{
    // Called right after a reset: no restriction, every record qualified and shown, none open.
    const SHistoryCheckpoint& checkpoint = *command.m_pCheckpoint;
    for (const auto& entry : checkpoint.m_restrictions)
    {
        std::vector<std::shared_ptr<CSetAttributeCommand>> restrictions;
        for (const auto& restriction : entry.second)
            restrictions.push_back(restriction.lock()); // all alive: IsCheckpointValid said so
        m_owner.For(*entry.first).SetRestrictions(std::move(restrictions));
    }
    const long n = m_table.GetRecordCount();
    CRecord* const* records = m_table.GetAllRecords().GetData();
    if (checkpoint.m_bSparse)
    {
        for (long i = 0; i < n; ++i)
            records[i]->m_bQualified = records[i]->m_bShown = 0;
        for (CRecord* record : checkpoint.m_qualifiedRecords)
            record->m_bQualified = record->m_bShown = 1;
    }
    else
    {
        const size_t words = checkpoint.m_qualifiedBits.size();
        for (long i = 0; i < n; ++i)
        {
            const uint32_t number = static_cast<uint32_t>(records[i]->m_nRecordNumber);
            records[i]->m_bQualified = records[i]->m_bShown =
                (number >> 6) < words ? (checkpoint.m_qualifiedBits[number >> 6] >> (number & 63)) & 1 : 0;
        }
    }
    m_table.GetShownRecords().RemoveAll();
    m_table.RecomputeShownRecords();
    m_table.SetNumberQualified(checkpoint.m_nQualified);
    m_table.InvalidateSortedRecords();
    CQualification& qualification = m_owner.GetQualification();
    qualification.ClearForcedRecords();
    qualification.ClearRestrictionsChanged();
    for (CAttributeSelection* attribute : m_owner.GetAttributeStates())
    {
        if (attribute->HasSelection())
            attribute->SetSelectionDirty();
    }
    m_owner.ClearSelectionCounts();
}
