#pragma once
// Helpers for command and history tests: zooms submitted as the window's
// buttons do, the histories rendered as captions, and a host that records and
// vetoes events.

#include "SelectionTestSupport.h"

#include "selection/Command.h"
#include "selection/CommandHistory.h"

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

inline CCommandHistory& History(CTable& table)
{
    return CTableSelection::Of(table).GetHistory();
}

// Submits a restriction of attribute to these values.
inline bool SubmitZoom(CAttribute* attribute, std::initializer_list<const char16_t*> texts, bool exclude = false)
{
    return History(*attribute->GetTable())
        .Submit(CSetAttributeCommand::MakeValueSet(attribute, ValuesOf(attribute, texts), exclude));
}

inline bool SubmitZoomOut(CAttribute* attribute)
{
    return History(*attribute->GetTable()).Submit(CSetAttributeCommand::MakeRelease(attribute));
}

inline bool SubmitReset(CTable& table)
{
    return Sel(table).SubmitReset();
}

// "a, b | c, d": the names of a list pair, the done part (oldest first), a bar for the current position, and
// the part ahead (next first).
inline std::string RenderLists(const CCommandList& done, const CCommandList& ahead)
{
    std::string out;
    for (const auto& command : done)
        out += (out.empty() ? "" : ", ") + platform::ToUtf8(command->GetName());
    out += out.empty() ? "|" : " |";
    for (const auto& command : ahead)
        out += " " + platform::ToUtf8(command->GetName()) + ",";
    if (out.back() == ',')
        out.pop_back();
    return out;
}

inline std::string BackForward(CTable& table)
{
    return RenderLists(History(table).GetBackList(), History(table).GetForwardList());
}

inline std::string UndoRedo(CTable& table)
{
    return RenderLists(History(table).GetUndoList(), History(table).GetRedoList());
}

// The restriction lists of every attribute: "City[City = Bern];Amount[]" in attribute order.
inline std::string RenderRestrictions(CTable& table)
{
    std::string out;
    for (long i = 0; i < table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = table.FindAttributeFromIndex(i);
        out += platform::ToUtf8(attribute->GetName()) + "[";
        if (const CAttributeSelection* state = Sel(table).Find(*attribute))
        {
            for (const auto& restriction : state->GetRestrictions())
                out += platform::ToUtf8(restriction->GetSpecification(2)) + ";";
        }
        out += "]";
    }
    return out;
}

// A modification for the undo list: renames the table, and undoes itself directly.
class CRetitleCommand : public CCommand
{
public:
    CRetitleCommand(CTable* table, KString title) : CCommand(table, u"CRetitleCommand"), m_strTitle(std::move(title))
    {
        m_bModification = true;
        m_bQueryCommand = false;
    }
    void Prepare() override { m_strName = u"Title " + m_strTitle; }
    bool IsValid() const override { return true; }
    bool Do() override
    {
        m_strPrevious = m_pTable->GetTitle();
        m_pTable->SetTitle(m_strTitle);
        return true;
    }
    void Undo() override { m_pTable->SetTitle(m_strPrevious); }
    KString m_strTitle;
    KString m_strPrevious;
};

// A command that edits the restriction lists half-way and then fails with a fault.
class CFaultyCommand : public CCommand
{
public:
    CFaultyCommand(CTable* table, CAttribute* attribute, bool plainFailure)
        : CCommand(table, u"CFaultyCommand"), m_bPlainFailure(plainFailure)
    {
        m_pAttribute = attribute;
    }
    void Prepare() override { m_strName = u"Faulty"; }
    bool Do() override
    {
        if (m_bPlainFailure)
            return false;
        Selection().For(*m_pAttribute).ReleaseRestrictions();
        Selection().For(*m_pAttribute).AddRestriction(
            CSetAttributeCommand::MakeValueSet(m_pAttribute, ValuesOf(m_pAttribute, {u"Genf"})));
        throw std::runtime_error("disk on fire");
    }
    bool m_bPlainFailure;
};
// A host that records the events ("before Command CSetAttributeCommand City = Bern") and vetoes the events
// named in m_veto (by event name, before the action).
class CEventRecorder : public CTableObserver
{
public:
    void OnAttributeAdded(CAttribute*) override {}
    void OnAttributeDeleted(CAttribute*) override {}
    int OnEvent(KStringView eventName, KStringView className, KStringView commandText, long, bool before) override
    {
        std::string line = std::string(before ? "before " : "after ") + platform::ToUtf8(eventName);
        if (!className.empty())
            line += " " + platform::ToUtf8(className);
        if (!commandText.empty())
            line += " " + platform::ToUtf8(commandText);
        m_events.push_back(line);
        return before && m_veto.count(platform::ToUtf8(eventName)) ? 1 : 0;
    }
    std::vector<std::string> m_events;
    std::set<std::string> m_veto;
};
