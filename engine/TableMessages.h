#pragma once
// CTableMessages: what a table tells its user: the messages shown (through a
// handler that the host sets, else only logged) and the stack of status
// messages of the operations running.
//
// Owned by its CTable, by value. Threading: ShowMessage and the handler on the
// table's thread. The status stack belongs to the thread that pushed onto it
// when it was empty, until it is empty again: the tasks of a parallel step
// (sorting attributes side by side, say) run under the step's own message and
// their pushes and pops are ignored. Any thread may push, pop and read.
//
// Progress: long work (the recompute of derived attributes) opens a progress with its text and its total of
// work units (BeginProgress, through CProgressGuard), and any of its threads adds the units done
// (AdvanceProgress). The progress handler the host sets is called only on the thread that began it, at most
// once per thousandth, and with 1 at the end; it returns false to cancel, and from then on AdvanceProgress
// returns false on every thread, so that the work ends early and says so. Without a handler nothing is ever
// cancelled.

#include "engine/Message.h"
#include "platform/Text.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CTableMessages
{
public:
    // Shows a message to the user (through the handler when set, else it is only logged). Returns the answer: the
    // handler's when it is one of the message's buttons, else the message's default answer.
    int ShowMessage(const SMessage& message);
    // A message made of other texts (code 0); its buttons follow from the default answer: OK alone for OK, Yes
    // and No for either, OK and Cancel for Cancel.
    int ShowMessage(const KString& text, int defaultAnswer);
    // The handler sees every message and answers it; null: the default answers.
    void SetMessageHandler(std::function<int(const SMessage&)> handler) { m_messageHandler = std::move(handler); }
    // The same for a handler that reads only the text and the default answer.
    void SetMessageHandler(std::function<int(const KString&, int)> handler);
    const std::vector<KString>& GetMessageLog() const { return m_messageLog; }
    void PushStatusMessage(const KString& text);
    void PopStatusMessage();
    std::vector<KString> GetStatusMessages() const;
    void ClearStatusMessages();

    // The handler sees the text of the work running and the share done (0 ... 1); false cancels the work.
    // Null: no progress is shown and nothing is cancelled.
    void SetProgressHandler(std::function<bool(const KString& text, double fraction)> handler)
    {
        m_progressHandler = std::move(handler);
    }
    // Opens a progress of totalSteps work units (more than 0) with text; the handler is told 0 at once. A
    // progress opened while another runs only adds its units to the one running (nested work). The thread of
    // the outermost Begin owns the progress until its EndProgress.
    void BeginProgress(const KString& text, double totalSteps);
    // Closes the progress; the outermost tells the handler 1 (the work is over) unless it was cancelled.
    void EndProgress();
    // Adds steps work units done (any thread). Returns false when the work was cancelled, else true.
    [[nodiscard]] bool AdvanceProgress(double steps);
    // Whether the running work was cancelled (any thread); false when none runs.
    bool IsProgressCancelled() const { return m_bProgressCancelled.load(std::memory_order_relaxed); }

private:
    std::function<int(const SMessage&)> m_messageHandler;
    std::vector<KString> m_messageLog;     // every message shown, in order
    mutable std::mutex m_statusLock;       // guards the two members below
    std::vector<KString> m_statusMessages; // stack of running operations, pushed by m_statusOwner only
    std::thread::id m_statusOwner;         // the thread that pushed onto the empty stack; none while it is empty

    std::function<bool(const KString&, double)> m_progressHandler; // may be empty
    int m_nProgressDepth = 0;                  // nested BeginProgress calls (owner thread only); 0: none runs
    std::thread::id m_progressOwner;           // the thread of the outermost BeginProgress
    KString m_strProgressText;                 // its text
    double m_dProgressTotal = 1;               // its work units, more than 0
    std::atomic<double> m_dProgressDone{0};    // units done so far (any thread)
    int m_nProgressShown = -1;                 // thousandths last told to the handler (owner thread only)
    std::atomic<bool> m_bProgressCancelled{false}; // the handler asked to cancel; cleared by the next Begin
};
