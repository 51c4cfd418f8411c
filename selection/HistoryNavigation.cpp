// Moving through the navigation history (back, forward, rewind, fast forward, jumps, queries) and the
// modification history (undo, redo).

#include "selection/CommandHistory.h"

#include "engine/Table.h"
#include "platform/Resources.h"
#include "platform/System.h"
#include "selection/Command.h"
#include "selection/HistoryCheckpoint.h"
#include "selection/HistoryInternal.h"
#include "selection/SetAttributeCommand.h"
#include "selection/TableSelection.h"

#include <algorithm>

using namespace history;

// ---- the navigation history ----

long CCommandHistory::CountCurrentQuery() const
{
    long count = 0;
    for (auto it = m_back.rbegin(); it != m_back.rend() && !IsReset(*it); ++it)
        ++count;
    return count;
}

bool CCommandHistory::GoBackPossible() const
{
    return !m_back.empty() && !(IsRecording() && IsReset(m_back.back()));
}

bool CCommandHistory::GoForwardPossible() const
{
    return !m_forward.empty() && !(IsRecording() && IsReset(m_forward.front()));
}

bool CCommandHistory::PreviousQueryPossible() const
{
    if (IsRecording())
        return false;
    const auto last = std::find_if(m_back.rbegin(), m_back.rend(), IsReset);
    return last != m_back.rend() && std::next(last) != m_back.rend();
}

bool CCommandHistory::GoBack(bool refresh, bool notify)
{
    if (m_back.empty())
        return false;
    std::shared_ptr<CCommand> command = m_back.back();
    m_back.pop_back();
    if (notify && Event(u"GoBack", command->GetClassName(), command.get(), true) != 0)
    {
        m_back.push_back(command);
        return false;
    }
    CStatusMessageGuard status(m_table, FormatMessageText(WithoutAccessKey(LoadResourceString(kBackCaption)),
                                                          {command->GetName()}));
    if (command->CheckApplicable(false))
    {
        m_bGoingBack = true;
        struct SGoingBack
        {
            bool& flag;
            ~SGoingBack() { flag = false; }
        } goingBack{m_bGoingBack};
        command->m_bInteractive = refresh;
        command->m_bFinalStep = refresh;
        command->m_bInEffect = true;
        command->MakeVisible();
        command->Undo();
        if (notify && IsActionLoggingActive())
            LogToActionLogFile(command->GetDisplayClassName() + u" - Back", command->GetLogName());
        command->MakeVisible();
        command->m_bInEffect = false;
    }
    else if (!IsRecording())
    {
        m_table.ShowMessage(kSkippedBack, {command->GetName()});
    }
    m_forward.push_front(command);
    SetHistoryChanged();
    if (refresh)
        Refresh();
    if (notify)
        Event(u"GoBack", command->GetClassName(), command.get(), false);
    return true;
}

bool CCommandHistory::GoForward()
{
    if (m_forward.empty())
        return false;
    std::shared_ptr<CCommand> command = m_forward.front();
    m_forward.pop_front();
    if (Event(u"GoForward", command->GetClassName(), command.get(), true) != 0)
    {
        m_forward.push_front(command);
        return false;
    }
    CStatusMessageGuard status(m_table, FormatMessageText(WithoutAccessKey(LoadResourceString(kForwardCaption)),
                                                          {command->GetName()}));
    bool executed = false;
    if (command->CheckApplicable(true))
    {
        command->MakeVisible();
        ExecuteReplayed(*command, true, u" - Forward");
        command->MakeVisible();
        executed = true;
    }
    else
    {
        m_table.ShowMessage(kSkipped, {command->GetName()});
    }
    m_back.push_back(command);
    SetHistoryChanged();
    Refresh();
    if (executed)
        TakeCheckpoint(*command);
    Event(u"GoForward", command->GetClassName(), command.get(), false);
    return true;
}

bool CCommandHistory::Rewind()
{
    if (m_back.empty() || Event(u"Rewind", u"", nullptr, true) != 0)
        return false;
    CStatusMessageGuard status(m_table, LoadResourceString(kRewindCaption));
    if (IsReset(m_back.back()))
    {
        m_back.back()->m_bInEffect = false;
        m_forward.push_front(m_back.back());
        m_back.pop_back();
    }
    m_owner.Reset(true, true);
    while (!m_back.empty() && !IsReset(m_back.back()))
    {
        m_back.back()->m_bInEffect = false;
        m_forward.push_front(m_back.back());
        m_back.pop_back();
    }
    SetHistoryChanged();
    Refresh();
    Event(u"Rewind", u"", nullptr, false);
    if (IsActionLoggingActive())
        LogToActionLogFile(u"Query Rewind", u"");
    return true;
}

bool CCommandHistory::FastForward()
{
    if (m_forward.empty() || Event(u"FastForward", u"", nullptr, true) != 0)
        return false;
    CStatusMessageGuard status(m_table, LoadResourceString(kFastForwardCaption));
    bool first = true;
    while (!m_forward.empty() && (first || !IsReset(m_forward.front())))
    {
        std::shared_ptr<CCommand> command = m_forward.front();
        m_forward.pop_front();
        const bool last = m_forward.empty() || IsReset(m_forward.front());
        if (command->CheckApplicable(true))
        {
            ExecuteReplayed(*command, m_forward.empty(), u" - Forward");
            if (!last)
            {
                ReevaluateAndRecomputeIfNecessary();
                TakeCheckpoint(*command);
            }
        }
        m_back.push_back(command);
        first = false;
    }
    SetHistoryChanged();
    Refresh();
    if (!m_back.empty())
        TakeCheckpoint(*m_back.back());
    Event(u"FastForward", u"", nullptr, false);
    return true;
}

bool CCommandHistory::FastForwardNext()
{
    if (m_forward.empty() || Event(u"NextQuery", u"", nullptr, true) != 0)
        return false;
    CStatusMessageGuard status(m_table, LoadResourceString(kNextQueryCaption));
    bool resetTaken = false;
    while (!m_forward.empty())
    {
        std::shared_ptr<CCommand> command = m_forward.front();
        if (IsReset(command))
        {
            if (resetTaken)
                break;
            resetTaken = true;
        }
        m_forward.pop_front();
        const bool last = m_forward.empty() || (resetTaken && IsReset(m_forward.front()));
        if (command->CheckApplicable(true))
        {
            ExecuteReplayed(*command, m_forward.empty(), u" - Forward");
            if (!last)
            {
                ReevaluateAndRecomputeIfNecessary();
                TakeCheckpoint(*command);
            }
        }
        m_back.push_back(command);
    }
    SetHistoryChanged();
    Refresh();
    Event(u"NextQuery", u"", nullptr, false);
    return true;
}

bool CCommandHistory::PreviousQuery()
{
    if (!PreviousQueryPossible() || Event(u"PreviousQuery", u"", nullptr, true) != 0)
        return false;
    CStatusMessageGuard status(m_table, LoadResourceString(kPreviousQueryCaption));
    m_owner.Reset(true, true);
    ReevaluateAndRecomputeIfNecessary();
    while (!m_back.empty() && !IsReset(m_back.back()))
    {
        m_back.back()->m_bInEffect = false;
        m_forward.push_front(m_back.back());
        m_back.pop_back();
    }
    GoBack(true, false);
    Event(u"PreviousQuery", u"", nullptr, false);
    if (IsActionLoggingActive())
        LogToActionLogFile(u"Previous Query", u"");
    return true;
}

bool CCommandHistory::JumpBack(long n)
{
    const long count = CountCurrentQuery();
    if (n <= 0 || count == 0 || Event(u"JumpBack", u"", nullptr, true) != 0)
        return false;
    n = std::min(n, count);
    CStatusMessageGuard status(m_table, LoadResourceString(kJumpBackCaption));
    m_owner.Reset(true, true);
    for (long i = 0; i < count; ++i)
    {
        std::shared_ptr<CCommand> command = m_back.back();
        m_back.pop_back();
        command->m_bInEffect = false;
        if (i < n && IsActionLoggingActive())
            LogToActionLogFile(command->GetDisplayClassName() + u" - Back", command->GetLogName());
        m_forward.push_front(command);
    }
    // Executes the first count - n commands again, from the newest kept state among them.
    ReplayForwardHead(count - n);
    m_owner.GetQualification().SetRestrictionsChanged(false);
    SetHistoryChanged();
    Refresh();
    Event(u"JumpBack", u"", nullptr, false);
    return true;
}

bool CCommandHistory::JumpForward(long n)
{
    if (n <= 0 || m_forward.empty() || Event(u"JumpForward", u"", nullptr, true) != 0)
        return false;
    CStatusMessageGuard status(m_table, LoadResourceString(kJumpForwardCaption));
    for (long i = 0; i < n && !m_forward.empty(); ++i)
    {
        std::shared_ptr<CCommand> command = m_forward.front();
        m_forward.pop_front();
        const bool last = i == n - 1 || m_forward.empty();
        if (command->CheckApplicable(true))
        {
            ExecuteReplayed(*command, last, u" - Forward");
            if (!last)
            {
                ReevaluateAndRecomputeIfNecessary();
                TakeCheckpoint(*command);
            }
        }
        m_back.push_back(command);
    }
    SetHistoryChanged();
    Refresh();
    TakeCheckpoint(*m_back.back());
    Event(u"JumpForward", u"", nullptr, false);
    return true;
}

std::vector<KString> CCommandHistory::GetBackwardCommandNames() const
{
    std::vector<KString> names;
    for (auto it = m_back.rbegin(); it != m_back.rend() && !IsReset(*it); ++it)
        names.insert(names.begin(), (*it)->GetName());
    return names;
}

std::vector<KString> CCommandHistory::GetForwardCommandNames() const
{
    std::vector<KString> names;
    for (auto it = m_forward.begin(); it != m_forward.end() && !IsReset(*it); ++it)
        names.insert(names.begin(), (*it)->GetName());
    return names;
}

void CCommandHistory::TrimBackList()
{
    const long n = CountCurrentQuery();
    const long remaining = static_cast<long>(m_back.size()) - n;
    long count = 0;
    for (long i = remaining - 1; i >= 0; --i)
    {
        ++count;
        if (i < remaining - 1 && IsReset(m_back[i]) && count + n >= nMaxHistoryCommands)
        {
            m_back.erase(m_back.begin(), m_back.begin() + i + 1);
            return;
        }
    }
}

// ---- the modification history ----

bool CCommandHistory::UndoPossible() const
{
    return !m_undo.empty() && !m_bUndoBlocked && !IsRecording();
}

bool CCommandHistory::RedoPossible() const
{
    return !m_redo.empty() && !m_bUndoBlocked && !IsRecording();
}

KString CCommandHistory::GetUndoCommandName() const
{
    return m_undo.empty() ? KString() : m_undo.back()->GetName();
}

KString CCommandHistory::GetRedoCommandName() const
{
    return m_redo.empty() ? KString() : m_redo.front()->GetName();
}

bool CCommandHistory::Undo(bool refresh)
{
    if (m_undo.empty())
        return false;
    std::shared_ptr<CCommand> command = m_undo.back();
    m_undo.pop_back();
    if (Event(u"Undo", command->GetClassName(), command.get(), true) != 0)
    {
        m_undo.push_back(command);
        return false;
    }
    CStatusMessageGuard status(m_table, FormatResource(kUndoCaption, {command->GetClassName()}));
    if (command->CheckApplicable(false))
    {
        command->m_bInteractive = refresh;
        command->m_bFinalStep = refresh;
        command->m_bInEffect = true;
        command->MakeVisible();
        command->Undo();
        if (IsActionLoggingActive())
            LogToActionLogFile(command->GetDisplayClassName() + u" - Undo", command->GetLogName());
        command->MakeVisible();
        command->m_bInEffect = false;
    }
    else
    {
        m_table.ShowMessage(kSkippedUndo, {command->GetName()});
    }
    m_redo.push_front(command);
    InvalidateCheckpoints();
    SetHistoryChanged();
    if (refresh)
        Refresh();
    Event(u"Undo", command->GetClassName(), command.get(), false);
    m_table.SetModified(true);
    return true;
}

bool CCommandHistory::Redo()
{
    if (m_redo.empty())
        return false;
    std::shared_ptr<CCommand> command = m_redo.front();
    m_redo.pop_front();
    if (Event(u"Redo", command->GetClassName(), command.get(), true) != 0)
    {
        m_redo.push_front(command);
        return false;
    }
    CStatusMessageGuard status(m_table, FormatResource(kRedoCaption, {command->GetClassName()}));
    if (command->CheckApplicable(true))
    {
        command->MakeVisible();
        ExecuteReplayed(*command, true, u" - Redo");
        command->MakeVisible();
    }
    else
    {
        m_table.ShowMessage(kSkipped, {command->GetName()});
    }
    m_undo.push_back(command);
    InvalidateCheckpoints();
    SetHistoryChanged();
    Refresh();
    Event(u"Redo", command->GetClassName(), command.get(), false);
    m_table.SetModified(true);
    return true;
}

bool CCommandHistory::TemporaryModificationsExist() const
{
    for (auto it = m_back.rbegin(); it != m_back.rend() && !IsReset(*it); ++it)
    {
        if ((*it)->m_bModification)
            return true;
    }
    return false;
}

void CCommandHistory::UndoTemporaryModifications(CCommandList& list)
{
    if (m_bUndoingTemporary)
        return; // a modification that undoes itself by a replay must not start another
    m_bUndoingTemporary = true;
    struct SUndoing
    {
        bool& flag;
        ~SUndoing() { flag = false; }
    } undoing{m_bUndoingTemporary};
    for (auto it = list.rbegin(); it != list.rend() && !IsReset(*it); ++it)
    {
        CCommand& command = **it;
        if (!command.m_bModification || !command.m_bInEffect || !command.CheckApplicable(false))
            continue;
        command.m_bInteractive = false;
        command.m_bFinalStep = false;
        command.m_bInEffect = true;
        command.Undo();
        command.m_bInEffect = false;
        InvalidateCheckpoints();
    }
}

void CCommandHistory::TransformCommands(CAttribute* attribute, const char16_t* oldValue, const char16_t* newValue,
                                        bool currentQueryOnly)
{
    for (auto it = m_back.rbegin(); it != m_back.rend(); ++it)
    {
        if (currentQueryOnly && IsReset(*it))
            break;
        (*it)->ReplaceValue(attribute, oldValue, newValue, 0);
    }
    if (!currentQueryOnly)
    {
        for (const auto& command : m_forward)
            command->ReplaceValue(attribute, oldValue, newValue, 0);
    }
}

uint64_t CCommandHistory::NextExecutionTime()
{
    m_nLastExecutionTime = std::max(platform::GetTickCountMs(), m_nLastExecutionTime + 1);
    return m_nLastExecutionTime;
}
