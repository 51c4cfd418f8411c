// The messages and status messages of a table.

#include "engine/TableMessages.h"

#include "engine/Table.h"

int CTableMessages::ShowMessage(const KString& text, int defaultAnswer)
{
    m_messageLog.push_back(text);
    if (m_messageHandler)
        return m_messageHandler(text, defaultAnswer);
    return defaultAnswer;
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

// ---- the table's forwards ----

int CTable::ShowMessage(const KString& text, int defaultAnswer)
{
    return m_messages.ShowMessage(text, defaultAnswer);
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
