// Submitting commands, saving a table with its history, the captions, the host events and the action log.

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
#include "options/OptionSet.h"

#include <chrono>
#include <ctime>
#include <fstream>
#include <mutex>

using namespace history;

namespace
{
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
    std::unique_ptr<SSavedState> saved; // taken once the host agreed
    CStatusMessageGuard status(m_table, command->GetName().empty() ? command->GetClassName() : command->GetName());
    command->m_bInteractive = interactive;
    command->m_bFinalStep = interactive;
    command->m_bInEffect = false;
    bool done = false;
    auto recover = [&] {
        if (saved)
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
            saved = SaveState();
            if (command->Do())
            {
                if (IsActionLoggingActive())
                    LogToActionLogFile(command->GetDisplayClassName(), command->GetLogName());
                if (interactive)
                    command->MakeVisible();
                command->m_bInEffect = true;
                command->m_bFresh = false;
                command->m_nExecutionTime = NextExecutionTime();
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
        m_table.ShowMessage(kCommandFailed, {WithoutControls(command->GetName()), platform::FromUtf8(e.what())});
    }
    catch (...)
    {
        recover();
        const int answer = m_table.ShowMessage(
            kCommandFailed, {WithoutControls(command->GetName()), FormatResource(kInternalError, {u"Korvalin"})},
            MESSAGE_YES_NO, ANSWER_YES);
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
    m_table.ShowMessage(kLongQuery, {platform::FromUtf8(std::to_string(count))});
    m_bLongQueryWarningGiven = true;
}

// ---- saving with a history ----

void CCommandHistory::FindModificationsDuringCurrentQuery()
{
    if (!m_back.empty() && IsReset(m_back.back()))
        return;
    const auto lastReset = std::find_if(m_back.rbegin(), m_back.rend(), IsReset);
    const uint64_t since = lastReset == m_back.rend() ? 0 : (*lastReset)->m_nExecutionTime;
    static const char16_t* const kNotAsked[] = {
        u"CDefineQueryCommand",    u"CRedefineQueryCommand",    u"CRenameQueryCommand",
        u"CDeleteQueryCommand",    u"CDeleteImportNamesCommand", u"CInsertAttributeCommand",
        u"CRenameAttributeCommand", u"CEditAttributeCommentCommand", u"CFontCommand"};
    KString list;
    int listed = 0;
    for (const auto& command : m_undo)
    {
        if (command->m_nExecutionTime <= since ||
            std::any_of(std::begin(kNotAsked), std::end(kNotAsked),
                        [&](const char16_t* name) { return command->IsKindOf(name); }))
            continue;
        if (listed == 20)
        {
            list += u"  -  ...\n";
            break;
        }
        list += u"  - " + WithoutControls(command->GetName()) + u"\n";
        ++listed;
    }
    if (!list.empty() &&
        m_table.ShowMessage(kModificationsSinceReset, {list}, MESSAGE_OK_CANCEL, ANSWER_OK) == ANSWER_CANCEL)
        throw CUserException();
}

void CCommandHistory::SaveFutureAndReset(bool onlyIfModified)
{
    m_bSaveReset = false;
    if (m_back.empty() || IsReset(m_back.back()) || (onlyIfModified && !TemporaryModificationsExist()))
        return;
    m_savedFuture = std::move(m_forward);
    m_forward.clear();
    if (!Submit(std::make_shared<CResetCommand>(&m_table), false, true, true))
    {
        m_forward = std::move(m_savedFuture);
        m_savedFuture.clear();
        return;
    }
    ReevaluateAndRecomputeIfNecessary();
    m_bSaveReset = true;
}

void CCommandHistory::GoBackAndReinstallFuture()
{
    if (!m_bSaveReset)
        return;
    m_bSaveReset = false;
    GoBack(true, true);
    if (!m_forward.empty() && IsReset(m_forward.front()))
        m_forward.pop_front(); // the reset made for the save
    m_forward.insert(m_forward.end(), m_savedFuture.begin(), m_savedFuture.end());
    m_savedFuture.clear();
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
