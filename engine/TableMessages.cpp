// The messages and status messages of a table.

#include "engine/TableMessages.h"

#include "engine/Table.h"
#include "platform/Resources.h"

#include <algorithm>

int CTableMessages::ShowMessage(const SMessage& message)
{
    m_messageLog.push_back(message.m_strText);
    if (!m_messageHandler)
        return message.m_nDefaultAnswer;
    const int answer = m_messageHandler(message);
    return IsAnswerOf(message.m_nType, answer) ? answer : message.m_nDefaultAnswer;
}

int CTableMessages::ShowMessage(const KString& text, int defaultAnswer)
{
    const int type = defaultAnswer == ANSWER_YES || defaultAnswer == ANSWER_NO ? MESSAGE_YES_NO
                     : defaultAnswer == ANSWER_CANCEL                          ? MESSAGE_OK_CANCEL
                                                                               : MESSAGE_OK;
    return ShowMessage(SMessage{text, 0, type, defaultAnswer});
}

void CTableMessages::SetMessageHandler(std::function<int(const KString&, int)> handler)
{
    if (!handler)
        m_messageHandler = nullptr;
    else
        m_messageHandler = [handler = std::move(handler)](const SMessage& message)
        { return handler(message.m_strText, message.m_nDefaultAnswer); };
}

void CTableMessages::PushStatusMessage(const KString& text)
{
    const std::lock_guard<std::mutex> guard(m_statusLock);
    if (m_statusMessages.empty())
        m_statusOwner = std::this_thread::get_id();
    else if (m_statusOwner != std::this_thread::get_id())
        return;
    m_statusMessages.push_back(text);
}

void CTableMessages::PopStatusMessage()
{
    const std::lock_guard<std::mutex> guard(m_statusLock);
    if (m_statusOwner != std::this_thread::get_id() || m_statusMessages.empty())
        return;
    m_statusMessages.pop_back();
    if (m_statusMessages.empty())
        m_statusOwner = std::thread::id();
}

std::vector<KString> CTableMessages::GetStatusMessages() const
{
    const std::lock_guard<std::mutex> guard(m_statusLock);
    return m_statusMessages;
}

void CTableMessages::ClearStatusMessages()
{
    const std::lock_guard<std::mutex> guard(m_statusLock);
    m_statusMessages.clear();
    m_statusOwner = std::thread::id();
}

// ---- progress ----

void CTableMessages::BeginProgress(const KString& text, double totalSteps)
{
    if (m_nProgressDepth++ > 0)
        return;
    m_progressOwner = std::this_thread::get_id();
    m_strProgressText = text;
    m_dProgressTotal = totalSteps > 0 ? totalSteps : 1;
    m_dProgressDone.store(0);
    m_nProgressShown = -1;
    m_bProgressCancelled.store(false);
    (void)AdvanceProgress(0);
}

void CTableMessages::EndProgress()
{
    if (m_nProgressDepth == 0 || --m_nProgressDepth > 0)
        return;
    // The handler learns that the work is over (the estimate of its units may have been too high).
    if (m_progressHandler && !m_bProgressCancelled.load() && m_nProgressShown != 1000)
        (void)m_progressHandler(m_strProgressText, 1.0);
    m_progressOwner = std::thread::id();
}

bool CTableMessages::AdvanceProgress(double steps)
{
    if (m_nProgressDepth == 0 || !m_progressHandler)
        return true;
    const double done = m_dProgressDone.fetch_add(steps, std::memory_order_relaxed) + steps;
    if (std::this_thread::get_id() == m_progressOwner && !m_bProgressCancelled.load(std::memory_order_relaxed))
    {
        const int thousandths = static_cast<int>(std::min(1.0, done / m_dProgressTotal) * 1000);
        if (thousandths != m_nProgressShown)
        {
            m_nProgressShown = thousandths;
            if (!m_progressHandler(m_strProgressText, thousandths / 1000.0))
                m_bProgressCancelled.store(true);
        }
    }
    return !m_bProgressCancelled.load(std::memory_order_relaxed);
}

// ---- the table's forwards ----

int CTable::ShowMessage(const SMessage& message)
{
    return m_messages.ShowMessage(message);
}

int CTable::ShowMessage(int id, std::initializer_list<KStringView> args, int type, int defaultAnswer)
{
    return m_messages.ShowMessage(SMessage{FormatResource(id, args), id, type, defaultAnswer});
}

int CTable::ShowMessage(const KString& text, int defaultAnswer)
{
    return m_messages.ShowMessage(text, defaultAnswer);
}

void CTable::SetMessageHandler(std::function<int(const SMessage&)> handler)
{
    m_messages.SetMessageHandler(std::move(handler));
}

void CTable::SetMessageHandler(std::function<int(const KString&, int)> handler)
{
    m_messages.SetMessageHandler(std::move(handler));
}

const std::vector<KString>& CTable::GetMessageLog() const
{
    return m_messages.GetMessageLog();
}

void CTable::PushStatusMessage(const KString& text)
{
    m_messages.PushStatusMessage(text);
}

void CTable::PopStatusMessage()
{
    m_messages.PopStatusMessage();
}

std::vector<KString> CTable::GetStatusMessages() const
{
    return m_messages.GetStatusMessages();
}

void CTable::ClearStatusMessages()
{
    m_messages.ClearStatusMessages();
}
