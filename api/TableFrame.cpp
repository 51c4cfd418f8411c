#include "api/TableFrame.h"

#include "api/WindowFactory.h"

#include "api/FlatObjects.h"
#include "api/Module.h"
#include "options/OptionSet.h"
#include "platform/Automation.h"
#include "selection/TableSelection.h"

#include <algorithm>
#include <cmath>

namespace
{

// A library string for a callback, freed when the call is over.
class CHostString
{
public:
    explicit CHostString(KStringView text) : m_pText(platform::AllocAutomationString(text)) {}
    ~CHostString() { platform::FreeAutomationString(m_pText); }
    CHostString(const CHostString&) = delete;
    CHostString& operator=(const CHostString&) = delete;
    const wchar_t* Get() const { return m_pText; }

private:
    wchar_t* m_pText; // owned
};

} // namespace

CTableFrame::CTableFrame(COptionSet& options, KStringView title)
    : m_pTable(std::make_unique<CTable>(&options)), m_strWorkingDirectory(options.m_strWorkPath)
{
    m_pTable->SetTitle(title);
    m_pTable->SetObserver(this);
    m_pTable->SetMessageHandler(
        [this](const SMessage& message)
        { return ReportMessage(message.m_strText, message.m_nType, message.m_nCode, message.m_nDefaultAnswer); });
    // Long work of the engine (recomputes) reaches the host as percentages; the host cannot cancel it.
    m_pTable->GetMessages().SetProgressHandler(
        [this](const KString&, double fraction)
        {
            const int percent = static_cast<int>(fraction * 100);
            if (percent != m_nLastPercent)
            {
                m_nLastPercent = percent;
                ReportProgress(percent);
            }
            return true;
        });
}

CTableFrame::~CTableFrame()
{
    m_pWindow.reset(); // the window shows the table
    // The table drops its attributes without telling anyone: forget them here, and tell the host nothing more.
    m_pCallback = nullptr;
    for (long i = 0; i < m_pTable->GetAttributeCount(); ++i)
        api::ForgetAttribute(m_pTable->FindAttributeFromIndex(i));
    m_pTable->SetObserver(nullptr);
    m_pTable->SetMessageHandler(std::function<int(const SMessage&)>());
    m_pTable->GetMessages().SetProgressHandler(nullptr);
}

template <class F> bool CTableFrame::CallHost(F&& call)
{
    if (!m_pCallback)
        return false;
    ++m_nCallbackDepth;
    bool completed = true;
    try
    {
        call(*m_pCallback);
    }
    catch (...)
    {
        completed = false; // the host's exception must not run through the engine
    }
    --m_nCallbackDepth;
    return completed;
}

// ---- the change protocol ----

void CTableFrame::MarkChanged()
{
    m_bChanged = true;
    m_pTable->SetModified(true);
}

void CTableFrame::Refresh()
{
    CTable& table = *m_pTable;
    if (!m_recordsToDelete.IsEmpty())
    {
        table.GetAllRecords().Remove(m_recordsToDelete);
        table.GetShownRecords().Remove(m_recordsToDelete);
        m_recordsToDelete.RemoveAll();
        table.GetRecords().InvalidateValueIndexMap();
        table.InvalidateSortedRecords();
        m_bChanged = true;
    }
    if (m_bChanged)
    {
        // Every record gets a value in every attribute: the undefined value where none was set.
        const CRecordArray& records = table.GetAllRecords();
        for (long a = 0; a < table.GetAttributeCount(); ++a)
        {
            CAttribute* attribute = table.FindAttributeFromIndex(a);
            if (attribute->IsHeader())
                continue;
            for (long r = 0; r < records.GetSize(); ++r)
            {
                CRecord* record = records.GetRecord(r);
                if (attribute->GetFieldArray().GetAt(record->m_nRecordNumber) < 0)
                    attribute->AddValue(record, KStringView());
            }
        }
        table.CountQualRecords();
        table.RecomputeShownRecords();
        CTableSelection::Of(table).ClearSelectionCounts();
        for (long a = 0; a < table.GetAttributeCount(); ++a)
        {
            CAttribute* attribute = table.FindAttributeFromIndex(a);
            if (attribute->IsHeader())
                continue;
            attribute->RecomputeMultipleValueFlag();
            if (!attribute->AreValuesSorted())
                attribute->RecomputeSortedValues();
        }
        m_bChanged = false;
    }
    if (m_bReinitialize)
    {
        m_bReinitialize = false;
        table.AnalyzeTable();
    }
    if (m_pWindow)
        m_pWindow->Refresh();
}

// ---- making attributes ----

CAttribute* CTableFrame::MakeAttribute(AttributeType type, KStringView name, CAttribute* predecessor,
                                       long levelsToClose, long expectedValues)
{
    CTable& table = *m_pTable;
    table.SetModified(true);
    if (predecessor && table.FindAttributeIndex(predecessor) < 0)
        predecessor = nullptr;
    if (!predecessor && table.GetAttributeCount() > 0)
        predecessor = table.FindAttributeFromIndex(table.GetAttributeCount() - 1);
    long indent = 0;
    if (predecessor)
        indent = std::max(0L, predecessor->GetIndent() + (predecessor->IsHeader() ? 1L : 0L) - levelsToClose);

    m_bPlacingAttribute = true;
    CAttribute* attribute = nullptr;
    try
    {
        const bool header = type == ATTR_HEADER;
        attribute =
            table.CreateNewAttribute(type, true, name, nullptr, header ? 1 : std::max(expectedValues, 1L), !header);
        attribute->SetIndent(static_cast<int32_t>(indent));
        if (predecessor)
            table.MoveAttribute(attribute, table.FindAttributeIndex(predecessor) + 1);
        const long capacity = table.GetAllRecords().GetCapacity();
        if (!header && capacity > 0)
            attribute->GetFieldArray().SetMaxSize(capacity, 1000, false);
    }
    catch (...)
    {
        if (attribute)
            table.DeleteAttribute(attribute);
        m_bPlacingAttribute = false;
        throw;
    }
    m_bPlacingAttribute = false;
    return attribute;
}

void CTableFrame::DiscardAttribute(CAttribute* attribute)
{
    m_bPlacingAttribute = true;
    m_pTable->DeleteAttribute(attribute);
    m_bPlacingAttribute = false;
}

void CTableFrame::AnnounceAttribute(CAttribute* attribute, CAttribute* predecessor)
{
    CallHost([&](TableExport::TableCallback& host) { host.AttributeAdded(attribute, predecessor); });
}

// ---- from the table ----

void CTableFrame::OnAttributeAdded(CAttribute* attribute)
{
    api::RegisterAttribute(attribute, this);
    if (!m_bPlacingAttribute)
        AnnounceAttribute(attribute, attribute->GetPrevious(false));
}

void CTableFrame::OnAttributeDeleted(CAttribute* attribute)
{
    if (!m_bPlacingAttribute)
        CallHost([&](TableExport::TableCallback& host) { host.AttributeDeleted(attribute); });
    api::ForgetAttribute(attribute);
}

void CTableFrame::OnAttributeMoved(CAttribute* attribute, CAttribute* neighbour)
{
    if (!m_bPlacingAttribute)
        CallHost([&](TableExport::TableCallback& host) { host.AttributeMoved(attribute, neighbour); });
}

int CTableFrame::OnEvent(KStringView eventName, KStringView className, KStringView commandText, long parameter,
                         bool before)
{
    if (!m_pCallback)
        return 0;
    const CHostString event(eventName);
    const CHostString command(className);
    const CHostString text(commandText);
    const int32_t argument = static_cast<int32_t>(parameter);
    if (!before)
    {
        CallHost([&](TableExport::TableCallback& host)
                 { host.AfterEvent(event.Get(), command.Get(), text.Get(), argument); });
        return 0;
    }
    int16_t veto = 0;
    const bool answered = CallHost([&](TableExport::TableCallback& host)
                                   { host.BeforeEvent(event.Get(), command.Get(), text.Get(), argument, &veto); });
    // A host that failed to answer has not agreed to the action.
    return !answered || veto != 0 ? 1 : 0;
}

// ---- from the window layer and the engine's messages ----

int CTableFrame::ReportMessage(KStringView text, int type, int code, int defaultAnswer)
{
    if (!m_pCallback)
        return defaultAnswer;
    TableExport::CError error(text, type, code);
    if (!CallHost([&](TableExport::TableCallback& host) { host.ReportMessage(this, &error); }))
        return defaultAnswer;
    // The host's answer goes to the question when it is one of the buttons the question offered (whatever type the
    // host set for showing it); an answer the question cannot take leaves its default.
    if (error.m_bReport || !IsAnswerOf(type, error.m_nSimulatedUserAction))
        return defaultAnswer;
    return error.m_nSimulatedUserAction;
}

int CTableFrame::KeyDown(int keyCode, int shift)
{
    TableExport::CKeyEvent event(keyCode, shift);
    CallHost([&](TableExport::TableCallback& host) { host.KeyDown(this, &event); });
    return event.m_nKeyCode;
}

int CTableFrame::KeyUp(int keyCode, int shift)
{
    TableExport::CKeyEvent event(keyCode, shift);
    CallHost([&](TableExport::TableCallback& host) { host.KeyUp(this, &event); });
    return event.m_nKeyCode;
}

int CTableFrame::KeyPress(int charCode)
{
    TableExport::CKeyPressEvent event(charCode);
    CallHost([&](TableExport::TableCallback& host) { host.KeyPress(this, &event); });
    return event.m_nCharCode;
}

void CTableFrame::SetWindow(std::unique_ptr<api::CFrameWindow> window)
{
    m_pWindow = std::move(window);
}

void CTableFrame::ReportProgress(int percent)
{
    CallHost([&](TableExport::TableCallback& host) { host.Progress(this, std::clamp(percent, 0, 100)); });
}
