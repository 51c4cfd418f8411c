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

#include "engine/Message.h"
#include "platform/Text.h"

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

private:
    std::function<int(const SMessage&)> m_messageHandler;
    std::vector<KString> m_messageLog;     // every message shown, in order
    mutable std::mutex m_statusLock;       // guards the two members below
    std::vector<KString> m_statusMessages; // stack of running operations, pushed by m_statusOwner only
    std::thread::id m_statusOwner;         // the thread that pushed onto the empty stack; none while it is empty
};
