#pragma once
// CCommandHistory: a table's two histories and the submitting of commands.
//
//   back list     executed query commands, oldest first; queries separated by CResetCommand entries
//   forward list  query commands gone back over, the next one first
//   undo list     executed modifications, oldest first
//   redo list     undone modifications, the next one first
//
// The current query is the tail of the back list after its last reset. Going
// back resets the table and replays the rest of the current query; to keep
// that cheap, the state after each command (its restrictions and qualified
// flags) is kept as a checkpoint, and a replay starts from the newest one
// still valid instead of from the reset (the result is the same). Every step
// is announced to the host (CTableObserver::OnEvent: "Command", "GoBack" ...;
// a non-zero answer before a step vetoes it) and written to the action log
// when logging is on.
//
// Owned by the table's CTableSelection (the engine does not know commands).
// Threading: the table's thread; not re-entrant (commands must not submit
// commands while they execute).

#include "platform/Text.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

class CAttribute;
class CCommand;
class CMouseCommand;
struct SMousePoint;
class CTable;
class CTableSelection;
struct SHistoryCheckpoint;

using CCommandList = std::deque<std::shared_ptr<CCommand>>;

class CCommandHistory
{
public:
    // The number of commands kept in the back list across queries, and the query length that warns.
    static constexpr long nMaxHistoryCommands = 40;

    CCommandHistory(CTableSelection& owner, CTable& table);
    ~CCommandHistory();
    CCommandHistory(const CCommandHistory&) = delete;
    CCommandHistory& operator=(const CCommandHistory&) = delete;

    // ---- submitting ----
    // Prepares, asks the host, executes and records command. Returns true on success; on a veto, a failure or
    // a fault the table and the histories stay as they were (a fault is reported with message 1117).
    bool Submit(const std::shared_ptr<CCommand>& command, bool interactive = true, bool addToHistory = true,
                bool waitCursor = true);
    // Hands one pointer event to a gesture (MouseCommands.h: kind is an EMouseEvent, item the place of the item
    // under the pointer). Gestures change selections directly and never enter a history. Always true.
    bool Submit(CMouseCommand& gesture, unsigned keyFlags, SMousePoint point, int kind, int item);

    // ---- the navigation history ----
    // Each returns false when it did nothing (nothing to do, or the host vetoed it).
    bool GoBack(bool refresh = true, bool notify = true);
    bool GoForward();
    bool Rewind();
    bool FastForward();
    bool FastForwardNext(); // through the next query
    bool PreviousQuery();   // back to the state before the last reset
    bool JumpBack(long n);
    bool JumpForward(long n);
    bool GoBackPossible() const;
    bool GoForwardPossible() const;
    bool RewindPossible() const { return !m_back.empty(); }
    bool FastForwardPossible() const { return !m_forward.empty(); }
    bool PreviousQueryPossible() const;
    // Names of the current query's commands behind (in execution order) and ahead (ending with the next one).
    std::vector<KString> GetBackwardCommandNames() const;
    std::vector<KString> GetForwardCommandNames() const;

    // ---- the modification history ----
    bool Undo(bool refresh = true);
    bool Redo();
    bool UndoPossible() const;
    bool RedoPossible() const;
    // The name of the command Undo / Redo would take; empty when none.
    KString GetUndoCommandName() const;
    KString GetRedoCommandName() const;
    // Captions of the next step for menus and buttons ("Zurück: Stadt = Bern"); empty when there is none.
    KString GetBackCaption() const;
    KString GetForwardCaption() const;
    KString GetUndoCaption() const;
    KString GetRedoCaption() const;
    // Captions of the operations without a command.
    enum EOperation
    {
        OP_REWIND,
        OP_FAST_FORWARD,
        OP_NEXT_QUERY,
        OP_PREVIOUS_QUERY,
        OP_JUMP_BACK,
        OP_JUMP_FORWARD,
    };
    static KString GetOperationCaption(EOperation operation);
    // Blocks Undo and Redo (while an attribute is defined, a dialog records a query ...).
    void SetUndoBlocked(bool blocked) { m_bUndoBlocked = blocked; }

    // ---- the lists ----
    const CCommandList& GetBackList() const { return m_back; }
    const CCommandList& GetForwardList() const { return m_forward; }
    const CCommandList& GetUndoList() const { return m_undo; }
    const CCommandList& GetRedoList() const { return m_redo; }
    // The number of commands of the current query (after the last reset).
    long CountCurrentQuery() const;
    // Modification commands in the current query.
    bool TemporaryModificationsExist() const;
    // Undoes the modification commands of the current query of list in place (newest first).
    void UndoTemporaryModifications(CCommandList& list);
    // Rewrites value references after a value's text changed.
    void TransformCommands(CAttribute* attribute, const char16_t* oldValue, const char16_t* newValue,
                           bool currentQueryOnly);
    // Releases every command of all four lists.
    void Clear();

    // ---- saving a table with its history ----
    // Lists the modifications made since the last reset (message 1791, OK and Cancel) before a save; throws
    // CUserException when the user cancels. Nothing is asked when there are none or the back list ends with a
    // reset.
    void FindModificationsDuringCurrentQuery();
    // Bracket a save: when the back list does not end with a reset (and, with onlyIfModified, the current
    // query holds modifications), the forward list is set aside and a reset submitted, so that the table is
    // written in its reset state; afterwards going back undoes the reset and the forward list comes back.
    void SaveFutureAndReset(bool onlyIfModified);
    void GoBackAndReinstallFuture();

    // ---- state read by commands and the display ----
    bool IsGoingBack() const { return m_bGoingBack; }
    bool IsReplaying() const { return m_nReplaying > 0; }
    bool IsHistoryChanged() const { return m_bHistoryChanged; }
    void SetHistoryChanged(bool changed = true) { m_bHistoryChanged = changed; }
    bool WasLongQueryWarningGiven() const { return m_bLongQueryWarningGiven; }
    // Whether the define-query dialog records (queries do not exist yet: never).
    bool IsRecording() const { return false; }

    // ---- the replay, used by CCommand::Undo and the reset ----
    // Resets the table without deselecting and executes the current query again.
    void ResetAndReplayCurrentQuery();
    // Executes the commands of the current query again (after a reset), from the newest valid checkpoint.
    void ReplayCurrentQuery();
    // Evaluates the restrictions when they changed and recomputes what derives from the qualified records.
    void ReevaluateAndRecomputeIfNecessary();
    // The refresh after a command: evaluation, derived attributes, counts (and the display, when there is one).
    void Refresh();
    // Cuts old queries off the back list (called by the reset command).
    void TrimBackList();
    // Whether replays start from checkpoints (on by default; off replays every command, for comparison).
    void SetFastReplay(bool on) { m_bFastReplay = on; }
    bool IsFastReplay() const { return m_bFastReplay; }
    // The number of commands executed again by replays so far (to see what going back costs).
    long GetReplayedCount() const { return m_nReplayedCommands; }
    // Checkpoints no longer describe the table (data, records or attributes changed).
    void InvalidateCheckpoints() { ++m_nDataGeneration; }
    // The table deleted an attribute: commands referring to it become invalid.
    void ForgetAttribute(const CAttribute* attribute);

    // ---- host events and the action log ----
    // Tells the host; before an action a non-zero answer vetoes it.
    int Event(KStringView eventName, KStringView className, const CCommand* command, bool before);
    bool IsActionLoggingActive() const;
    void LogToActionLogFile(KStringView text, KStringView detail);
    // Switches the action log on (into path) or off for every table of the process; until either is called the
    // options decide (LogFilePath, when LogfileActiveAtProgramStart is set).
    static void EnableActionLogging(const KString& path);
    static void DisableActionLogging();

private:
    // Places an executed command in its history.
    void Place(const std::shared_ptr<CCommand>& command);
    // Executes a command of a replay or fast forward (not interactive unless final).
    void ExecuteReplayed(CCommand& command, bool finalStep, KStringView logSuffix);
    // Executes the first n commands of the forward list again (the table was just reset), from the newest
    // valid checkpoint among them, and appends them to the back list.
    void ReplayForwardHead(long n);
    void WarnLongQueryIfNecessary(const CCommand& command);
    // The tick count, or one more than the last time handed out when the clock has not moved on (so that a
    // command executed after another always has a later time).
    uint64_t NextExecutionTime();
    // Takes a checkpoint of the table's state after command when the state allows it.
    void TakeCheckpoint(CCommand& command);
    bool IsCheckpointValid(const CCommand& command) const;
    // Whether command or a step of the current query before it switches the automatic hiding of records.
    bool SwitchesAutoHideInQuery(const CCommand& command) const;
    void RestoreCheckpoint(const CCommand& command);
    // The state of the restrictions and record flags before a submission, to restore after a fault.
    struct SSavedState;
    std::unique_ptr<SSavedState> SaveState() const;
    void RestoreState(const SSavedState& state);

    CTableSelection& m_owner;
    CTable& m_table;
    CCommandList m_back;    // executed query commands, oldest first
    CCommandList m_forward; // gone back over, next first
    CCommandList m_undo;    // executed modifications, oldest first
    CCommandList m_redo;    // undone modifications, next first
    bool m_bGoingBack = false;            // a command is undone by GoBack
    int m_nReplaying = 0;                 // depth of running replays
    bool m_bHistoryChanged = false;       // set by every history move; the display clears it
    bool m_bLongQueryWarningGiven = false; // message 3066 was shown for this table
    bool m_bUndoBlocked = false;          // Undo and Redo are not possible
    bool m_bSubmitting = false;           // a submission runs (no nested submissions)
    bool m_bUndoingTemporary = false;     // UndoTemporaryModifications runs
    bool m_bFastReplay = true;            // replays start from checkpoints
    uint64_t m_nDataGeneration = 1;       // grows when checkpoints go stale
    long m_nReplayedCommands = 0;         // commands executed again by replays
    uint64_t m_nLastExecutionTime = 0;    // the latest execution time handed out (they grow strictly)
    CCommandList m_savedFuture;           // the forward list set aside during a save
    bool m_bSaveReset = false;            // SaveFutureAndReset submitted a reset that the save's end undoes
};
