// Submitting commands, the back/forward and undo/redo lists, replays and
// their checkpoints, the host events and the action log.

#include "selection/CommandHistory.h"

#include "engine/Table.h"
#include "options/OptionSet.h"
#include "platform/Resources.h"
#include "platform/System.h"
#include "selection/Command.h"
#include "selection/HistoryCheckpoint.h"
#include "selection/SetAttributeCommand.h"
#include "selection/TableSelection.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <mutex>

namespace
{
// Message and caption resources.
constexpr int kCommandFailed = 1117;     // "Dieses Kommando konnte nicht ausgeführt werden:\n%1\n\nGrund: %2"
constexpr int kInternalError = 1128;     // "Interner Programmfehler ... %1 dennoch fortzusetzen?"
constexpr int kSkipped = 1314;           // forward or redo of an inapplicable command
constexpr int kSkippedBack = 1316;       // back over an inapplicable command
constexpr int kSkippedUndo = 1317;       // undo of an inapplicable command
constexpr int kLongQuery = 3066;         // the long-query warning
constexpr int kBackCaption = 1062;       // "&Zurück: %1"
constexpr int kForwardCaption = 1818;    // "&Vor: %1"
constexpr int kJumpBackCaption = 1060;   // "Zurück"
constexpr int kJumpForwardCaption = 1816; // "Vor"
constexpr int kRewindCaption = 2578;     // "Zum Anfang der Anfrage"
constexpr int kFastForwardCaption = 1706; // "Zum Ende der Anfrage"
constexpr int kNextQueryCaption = 1708;  // "Zur nächsten Anfrage gehen"
constexpr int kPreviousQueryCaption = 2366; // "Zur vorherigen Anfrage gehen"
constexpr int kUndoCaption = 3903;       // "Rückgängig: %1"
constexpr int kRedoCaption = 3904;       // "Wiederholen: %1"

bool IsReset(const std::shared_ptr<CCommand>& command)
{
    return command->IsKindOf(u"CResetCommand");
}

// Without the ampersand that marks a menu's access key.
KString WithoutAccessKey(KString text)
{
    text.erase(std::remove(text.begin(), text.end(), u'&'), text.end());
    return text;
}

// Control characters (line breaks in names) as blanks.
KString WithoutControls(KString text)
{
    for (char16_t& c : text)
    {
        if (c < 0x20)
            c = u' ';
    }
    return text;
}

// The process-wide action log: -1 follows the options (LogFilePath with LogfileActiveAtProgramStart), 0 off,
// 1 on into g_strLogPath.
std::mutex g_logLock;
int g_nLogState = -1;
KString g_strLogPath;
} // namespace

// ---- the state a submission restores after a fault ----

struct CCommandHistory::SSavedState
{
    CCommandList back, forward, undo, redo;
    std::vector<std::pair<CAttributeSelection*, std::vector<std::shared_ptr<CSetAttributeCommand>>>> restrictions;
    std::vector<uint8_t> flags; // per record of the all-records array: qualified | shown << 1 | open << 2
    long nQualified = 0;
    bool bChanged = false;
    bool bReleased = false;
    bool bModified = false;
    bool bLongQueryWarningGiven = false;
};

std::unique_ptr<CCommandHistory::SSavedState> CCommandHistory::SaveState() const
{
    auto state = std::make_unique<SSavedState>();
    state->back = m_back;
    state->forward = m_forward;
    state->undo = m_undo;
    state->redo = m_redo;
    for (CAttributeSelection* attribute : m_owner.GetAttributeStates())
        state->restrictions.emplace_back(attribute, attribute->GetRestrictions());
    const long n = m_table.GetRecordCount();
    state->flags.resize(static_cast<size_t>(n));
    CRecord* const* records = m_table.GetAllRecords().GetData();
    for (long i = 0; i < n; ++i)
        state->flags[i] = static_cast<uint8_t>(records[i]->m_bQualified | records[i]->m_bShown << 1 |
                                               records[i]->m_bOpen << 2);
    state->nQualified = m_table.GetNumberQualified();
    state->bChanged = m_owner.GetQualification().AreRestrictionsChanged();
    state->bReleased = m_owner.GetQualification().AreRestrictionsReleased();
    state->bModified = m_table.IsModified();
    state->bLongQueryWarningGiven = m_bLongQueryWarningGiven;
    return state;
}

void CCommandHistory::RestoreState(const SSavedState& state)
{
    m_back = state.back;
    m_forward = state.forward;
    m_undo = state.undo;
    m_redo = state.redo;
    for (CAttributeSelection* attribute : m_owner.GetAttributeStates())
        attribute->ClearRestrictions();
    for (const auto& entry : state.restrictions)
    {
        // States made since belong to attributes that had no restrictions; those of deleted attributes are gone.
        const auto states = m_owner.GetAttributeStates();
        if (std::find(states.begin(), states.end(), entry.first) != states.end())
            entry.first->SetRestrictions(entry.second);
    }
    const long n = std::min<long>(m_table.GetRecordCount(), static_cast<long>(state.flags.size()));
    CRecord* const* records = m_table.GetAllRecords().GetData();
    for (long i = 0; i < n; ++i)
    {
        records[i]->m_bQualified = state.flags[i] & 1;
        records[i]->m_bShown = (state.flags[i] >> 1) & 1;
        m_table.SetRecordOpen(records[i], (state.flags[i] >> 2) & 1);
    }
    m_table.GetShownRecords().RemoveAll();
    m_table.RecomputeShownRecords();
    m_table.SetNumberQualified(state.nQualified);
    m_owner.ClearSelectionCounts();
    m_owner.GetQualification().ClearRestrictionsChanged();
    if (state.bChanged)
        m_owner.GetQualification().SetRestrictionsChanged(state.bReleased);
    m_table.SetModified(state.bModified);
    m_bLongQueryWarningGiven = state.bLongQueryWarningGiven;
}

// ---- life ----

CCommandHistory::CCommandHistory(CTableSelection& owner, CTable& table) : m_owner(owner), m_table(table) {}

CCommandHistory::~CCommandHistory() = default;

void CCommandHistory::Clear()
{
    m_back.clear();
    m_forward.clear();
    m_undo.clear();
    m_redo.clear();
    ++m_nDataGeneration;
}

void CCommandHistory::ForgetAttribute(const CAttribute* attribute)
{
    for (CCommandList* list : {&m_back, &m_forward, &m_undo, &m_redo})
    {
        for (const auto& command : *list)
            command->ForgetAttribute(attribute);
    }
    InvalidateCheckpoints();
}

// ---- submitting ----

bool CCommandHistory::Submit(const std::shared_ptr<CCommand>& command, bool interactive, bool addToHistory,
                             bool waitCursor)
{
    (void)waitCursor; // the wait cursor belongs to the window
    if (!command)
        return false;
    if (m_bSubmitting)
        throw std::logic_error("a command submitted a command while it executed");
    m_bSubmitting = true;
    struct SSubmitting
    {
        bool& flag;
        ~SSubmitting() { flag = false; }
    } submitting{m_bSubmitting};

    const bool ownCheckpoint = !m_table.HasCheckpoint();
    if (ownCheckpoint)
        m_table.CreateCheckpoint();
    const std::unique_ptr<SSavedState> saved = SaveState();
    CStatusMessageGuard status(m_table, command->GetName().empty() ? command->GetClassName() : command->GetName());
    command->m_bInteractive = interactive;
    command->m_bFinalStep = interactive;
    command->m_bInEffect = false;
    bool done = false;
    auto recover = [&] {
        RestoreState(*saved);
        if (ownCheckpoint)
            m_table.RestoreCheckpoint();
        command->m_bInEffect = false;
    };
    try
    {
        command->Prepare();
        if (Event(u"Command", command->GetClassName(), command.get(), true) == 0)
        {
            if (command->Do())
            {
                if (IsActionLoggingActive())
                    LogToActionLogFile(command->GetDisplayClassName(), command->GetLogName());
                if (interactive)
                    command->MakeVisible();
                command->m_bInEffect = true;
                command->m_bFresh = false;
                command->m_nExecutionTime = platform::GetTickCountMs();
                if (command->m_bModification)
                {
                    m_table.SetModified(true);
                    InvalidateCheckpoints();
                }
                if (addToHistory)
                    Place(command);
                if (interactive)
                {
                    Refresh();
                    if (addToHistory && !m_back.empty() && m_back.back() == command)
                        TakeCheckpoint(*command);
                }
                Event(u"Command", command->GetClassName(), command.get(), false);
                if (interactive)
                    WarnLongQueryIfNecessary(*command);
                done = true;
            }
            else if (interactive)
            {
                Refresh();
            }
        }
    }
    catch (const CUserException&)
    {
        recover(); // cancelled, or the failure was shown already
    }
    catch (const std::exception& e)
    {
        recover();
        m_table.ShowMessage(FormatResource(kCommandFailed, {WithoutControls(command->GetName()),
                                                            platform::FromUtf8(e.what())}));
    }
    catch (...)
    {
        recover();
        const int answer = m_table.ShowMessage(
            FormatResource(kCommandFailed, {WithoutControls(command->GetName()),
                                            FormatResource(kInternalError, {u"Korvalin"})}),
            ANSWER_YES);
        if (answer == ANSWER_NO)
            throw;
    }
    if (ownCheckpoint)
        m_table.DeleteCheckpoint();
    if (!done && !command->m_bQuiet)
        Event(u"CommandNotSubmitted", command->GetClassName(), command.get(), false);
    return done;
}

void CCommandHistory::Place(const std::shared_ptr<CCommand>& command)
{
    if (!command->m_bQueryCommand ||
        (command->m_bModification && !command->DefinesTemporaryAttribute() && !IsRecording()))
    {
        m_undo.push_back(command);
        m_redo.clear();
    }
    else
    {
        m_back.push_back(command);
        if (!IsRecording())
            m_forward.clear();
    }
    SetHistoryChanged();
}

void CCommandHistory::WarnLongQueryIfNecessary(const CCommand& command)
{
    const auto* zoom = dynamic_cast<const CSetAttributeCommand*>(&command);
    if (!zoom || zoom->IsRestricting() || !m_table.GetOptions().m_bWarnLongHistory || m_bLongQueryWarningGiven)
        return;
    if (m_table.GetNumberShown() != m_table.GetRecordCount() ||
        static_cast<long>(m_back.size()) <= nMaxHistoryCommands)
        return;
    const long count = CountCurrentQuery();
    if (count <= nMaxHistoryCommands)
        return;
    m_table.ShowMessage(FormatResource(kLongQuery, {platform::FromUtf8(std::to_string(count))}));
    m_bLongQueryWarningGiven = true;
}

// ---- evaluation between and after commands ----

void CCommandHistory::ReevaluateAndRecomputeIfNecessary()
{
    CQualification& qualification = m_owner.GetQualification();
    if (qualification.AreRestrictionsChanged())
        qualification.Reevaluate(false);
    // Derived attributes that follow the qualified records (summaries) would be recomputed here; none exist yet.
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
    command.m_nExecutionTime = platform::GetTickCountMs();
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
        for (long k = n - 1; k >= 0; --k)
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
        checkpoint->m_qualifiedBits.assign(static_cast<size_t>((n + 63) / 64), 0);
        CRecord* const* records = m_table.GetAllRecords().GetData();
        for (long i = 0; i < n; ++i)
        {
            if (records[i]->m_bQualified)
                checkpoint->m_qualifiedBits[i >> 6] |= uint64_t(1) << (i & 63);
        }
    }
    command.m_pCheckpoint = std::move(checkpoint);
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
        for (long i = 0; i < n; ++i)
            records[i]->m_bQualified = records[i]->m_bShown = (checkpoint.m_qualifiedBits[i >> 6] >> (i & 63)) & 1;
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
        m_table.ShowMessage(FormatResource(kSkippedBack, {command->GetName()}));
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
        m_table.ShowMessage(FormatResource(kSkipped, {command->GetName()}));
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
                ReevaluateAndRecomputeIfNecessary();
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
                ReevaluateAndRecomputeIfNecessary();
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
                ReevaluateAndRecomputeIfNecessary();
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
        m_table.ShowMessage(FormatResource(kSkippedUndo, {command->GetName()}));
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
        m_table.ShowMessage(FormatResource(kSkipped, {command->GetName()}));
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
    for (auto it = list.rbegin(); it != list.rend() && !IsReset(*it); ++it)
    {
        CCommand& command = **it;
        if (!command.m_bModification || !command.CheckApplicable(false))
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

// ---- captions ----

KString CCommandHistory::GetBackCaption() const
{
    return m_back.empty() ? KString()
                          : FormatMessageText(WithoutAccessKey(LoadResourceString(kBackCaption)), {m_back.back()->GetName()});
}

KString CCommandHistory::GetForwardCaption() const
{
    return m_forward.empty()
               ? KString()
               : FormatMessageText(WithoutAccessKey(LoadResourceString(kForwardCaption)), {m_forward.front()->GetName()});
}

KString CCommandHistory::GetUndoCaption() const
{
    return m_undo.empty() ? KString() : FormatResource(kUndoCaption, {m_undo.back()->GetName()});
}

KString CCommandHistory::GetRedoCaption() const
{
    return m_redo.empty() ? KString() : FormatResource(kRedoCaption, {m_redo.front()->GetName()});
}

KString CCommandHistory::GetOperationCaption(EOperation operation)
{
    switch (operation)
    {
    case OP_REWIND:
        return LoadResourceString(kRewindCaption);
    case OP_FAST_FORWARD:
        return LoadResourceString(kFastForwardCaption);
    case OP_NEXT_QUERY:
        return LoadResourceString(kNextQueryCaption);
    case OP_PREVIOUS_QUERY:
        return LoadResourceString(kPreviousQueryCaption);
    case OP_JUMP_BACK:
        return LoadResourceString(kJumpBackCaption);
    case OP_JUMP_FORWARD:
        return LoadResourceString(kJumpForwardCaption);
    }
    return {};
}

// ---- host events and the action log ----

int CCommandHistory::Event(KStringView eventName, KStringView className, const CCommand* command, bool before)
{
    CTableObserver* observer = m_table.GetObserver();
    if (!observer)
        return 0;
    const KString text = command ? command->GetName() : KString();
    return observer->OnEvent(eventName, className, text, 0, before);
}

bool CCommandHistory::IsActionLoggingActive() const
{
    std::lock_guard<std::mutex> guard(g_logLock);
    if (g_nLogState >= 0)
        return g_nLogState == 1;
    const COptionSet& options = m_table.GetOptions();
    return options.m_bLogfileActiveAtProgramStart && !options.m_strLogFilePath.empty();
}

void CCommandHistory::LogToActionLogFile(KStringView text, KStringView detail)
{
    KString path;
    {
        std::lock_guard<std::mutex> guard(g_logLock);
        path = g_nLogState == 1 ? g_strLogPath : m_table.GetOptions().m_strLogFilePath;
    }
    if (path.empty())
        return;
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::lock_guard<std::mutex> guard(g_logLock);
    std::ofstream out(platform::ToUtf8(path), std::ios::app | std::ios::binary);
    if (out) // the log never stops the work it records
        out << stamp << '\t' << platform::ToUtf8(m_table.GetTitle()) << '\t' << platform::ToUtf8(WithoutControls(KString(text)))
            << '\t' << platform::ToUtf8(WithoutControls(KString(detail))) << '\n';
}

void CCommandHistory::EnableActionLogging(const KString& path)
{
    std::lock_guard<std::mutex> guard(g_logLock);
    g_nLogState = path.empty() ? 0 : 1;
    g_strLogPath = path;
}

void CCommandHistory::DisableActionLogging()
{
    std::lock_guard<std::mutex> guard(g_logLock);
    g_nLogState = 0;
    g_strLogPath.clear();
}
