// Data-driven tests of the query steps and the histories: every file in tests/selection/cases/ builds a table and
// takes steps on it, one a line, checking the state rendered as a string after any of them:
//
//   # a comment
//   column NAME V1,V2,...        an attribute with a value per record ("" for an empty one, none: no values);
//                                format NAME FORMAT
//   STEP ARG ... [=> EXPECTED]   a step; without => it must succeed ("true"), => false: it must fail
//   QUERY ARG ... => EXPECTED    the state: states, lists, undo-lists, restrictions, shown, table, messages ...
//
// Steps of the histories: zoom NAME V,..., zoom-exclude NAME V,..., zoom-in, exclude, zoom-out, reset, back,
// forward, rewind, fast-forward, fast-forward-next, previous-query, jump-back N, jump-forward N, undo, redo,
// sort NAME, sort-reverse NAME, mode N, hide, auto-hide, insert N, duplicate, delete, retitle TITLE (a
// modification), faulty NAME (a fault half-way), failing NAME, veto EVENT,... (- for none).
// Other steps: analyze, delete-attribute NAME, select NAME V,... (replacing every selection), select-more NAME
// V,..., deselect, pick NAME V, pick-more NAME V, unpick NAME V, pick-record NAME RECORD, unpick-record NAME V
// RECORD, compressed-on, restrict NAME V,... [PREFIX], restrict-exclude NAME V,... [PREFIX], release NAME (no
// evaluation), reevaluate, hide-refused, show-refused, auto-hide-on, sort-all-on, open RECORD, header NAME, indent NAME
// N, set-hidden NAME, hide-identical, hide-empty, hide-complete, hide-empty-headers, show-hidden, show-hidden-selected,
// rename-value NAME OLD NEW query|all, saved, language en|de. Queries: states, lists, undo-lists, restrictions, table,
// shown (record numbers in display order), messages (since the last "messages", newlines as |), events (since the last
// "events"), replayed (since the last "replayed"), title, captions (back|forward|undo|redo|undo name), view-mode,
// auto-hiding, reversed NAME, sorted-by, possible STEP..., selected NAME, value-selected NAME V, selection-list NAME
// (and NAME's prefix length), selected-records (numbers from 0, count), rows (the attributes, hidden ones in brackets,
// ! suppressed; then / and the rows selected), by-values, counts (qualified, shown, open, forced), restricted NAME,
// checkpoint, last (class and log name of the newest back-list command), query (its counts). Failures are reported at
// the line of the step.

#include "HistoryTestSupport.h"
#include "../CaseFiles.h"

#include "platform/Resources.h"
#include "selection/RecordCommands.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>

namespace
{
const std::filesystem::path kCases = KORVALIN_TEST_FOLDER "/cases";

std::vector<std::u16string> SplitValues(const std::string& list)
{
    std::vector<std::u16string> values;
    std::stringstream in(list);
    for (std::string value; std::getline(in, value, ',');)
        values.push_back(platform::FromUtf8(value == "\"\"" ? "" : value));
    if (!list.empty() && list.back() == ',')
        values.emplace_back();
    return values;
}

class CSteps
{
public:
    CSteps() { m_table.SetObserver(&m_host); }
    ~CSteps()
    {
        m_table.SetObserver(nullptr);
        platform::SetResourceLanguage(ELanguage::German);
    }

    // Runs one line; returns what it gives.
    std::string Run(const std::vector<std::string>& w)
    {
        auto arg = [&](size_t i) -> const std::string&
        {
            if (i >= w.size())
                throw std::runtime_error("missing argument");
            return w[i];
        };
        auto attribute = [&](size_t i)
        {
            CAttribute* found = m_table.FindAttribute(platform::FromUtf8(arg(i)));
            if (!found)
                throw std::runtime_error("no attribute " + arg(i));
            return found;
        };
        auto value = [&](size_t name, size_t text)
        { return attribute(name)->FindValue(platform::FromUtf8(arg(text))); };
        auto select = [&](size_t i, bool more)
        {
            CAttribute* a = attribute(i);
            if (!more)
                Sel(m_table).DeselectAllValues();
            for (const std::u16string& value : SplitValues(arg(i + 1)))
                Sel(a).SelectValue(a->FindValue(value), nullptr, true);
        };
        auto done = [](bool ok) { return std::string(ok ? "true" : "false"); };
        CCommandHistory& history = History(m_table);
        CTableSelection& selection = Sel(m_table);
        const std::string& verb = w[0];
        if (verb == "column")
            return AddColumn(m_table, platform::FromUtf8(arg(1)), SplitValues(w.size() > 2 ? w[2] : "")), "true";
        if (verb == "format")
            return done(attribute(1)->SetFormat(platform::FromUtf8(arg(2))));
        if (verb == "analyze")
            return m_table.AnalyzeTable(), "true";
        auto valueSet = [&](bool exclude, int prefix)
        {
            CAttribute* a = attribute(1);
            auto values = std::make_unique<CSet>();
            for (const std::u16string& value : SplitValues(arg(2)))
                values->AddTail(a->FindValue(value));
            return CSetAttributeCommand::MakeValueSet(a, std::move(values), exclude, prefix);
        };
        if (verb == "zoom" || verb == "zoom-exclude")
            return done(history.Submit(valueSet(verb != "zoom", 0)));
        if (verb == "restrict" || verb == "restrict-exclude")
        {
            Sel(attribute(1)).AddRestriction(valueSet(verb != "restrict", w.size() > 3 ? std::stoi(w[3]) : 0));
            return Qual(m_table).Reevaluate(), "true";
        }
        if (verb == "release")
            return Sel(attribute(1)).ReleaseRestrictions(), "true";
        if (verb == "select" || verb == "select-more")
            return select(1, verb == "select-more"), "true";
        if (verb == "deselect")
            return selection.DeselectAllValues(), "true";
        if (verb == "delete-attribute")
            return m_table.DeleteAttribute(attribute(1)), "true";
        if (verb == "faulty" || verb == "failing")
            return done(history.Submit(std::make_shared<CFaultyCommand>(&m_table, attribute(1), verb == "failing")));
        if (verb == "rename-value")
        {
            CAttribute* a = attribute(1);
            const std::u16string from = platform::FromUtf8(arg(2));
            const std::u16string to = platform::FromUtf8(arg(3));
            return history.TransformCommands(a, a->FindValue(from), a->FindValue(to), arg(4) == "query"), "true";
        }
        static const std::map<std::string, std::function<void(CTable&, CQualification&)>> qualification = {
            {"reevaluate", [](CTable&, CQualification& q) { q.Reevaluate(); }},
            {"hide-refused", [](CTable&, CQualification& q) { q.HideRefusedRecords(); }},
            {"show-refused", [](CTable&, CQualification& q) { q.ShowAllRefusedRecords(); }},
            {"auto-hide-on", [](CTable&, CQualification& q) { q.SetAutoHideRefused(true); }},
            {"sort-all-on", [](CTable& t, CQualification&) { Sel(t).SetSortAllMode(true); }},
        };
        if (const auto it = qualification.find(verb); it != qualification.end())
            return it->second(m_table, Qual(m_table)), "true";
        if (verb == "pick" || verb == "pick-more")
            return Sel(attribute(1)).SelectValue(value(1, 2), nullptr, verb == "pick-more"), "true";
        if (verb == "unpick")
            return Sel(attribute(1)).DeselectValue(value(1, 2), nullptr), "true";
        if (verb == "pick-record")
            return Sel(attribute(1)).SelectValue(nullptr, m_table.GetRecord(std::stol(arg(2))), true), "true";
        if (verb == "unpick-record")
            return Sel(attribute(1)).DeselectValue(value(1, 2), m_table.GetRecord(std::stol(arg(3)))), "true";
        if (verb == "compressed-on")
            return selection.SetCompressedMode(true), selection.ClearSelectionCounts(), "true";
        if (verb == "header")
        {
            long indent = 0;
            m_table.CreateNewAttribute(ATTR_FROM_NAME, false, u">" + platform::FromUtf8(arg(1)), &indent, 1, false);
            return "true";
        }
        if (verb == "indent")
            return attribute(1)->SetIndent(std::stoi(arg(2))), "true";
        if (verb == "set-hidden")
            return attribute(1)->SetShown(false), "true";
        CAttributeRows& rows = selection.GetAttributeRows();
        if (verb == "hide-identical" || verb == "hide-empty")
            return rows.HideIdenticalAttributes(verb == "hide-empty"), "true";
        if (verb == "hide-complete")
            return rows.HideCompleteAttributes(), "true";
        if (verb == "hide-empty-headers")
            return rows.HideEmptyHeaders(), "true";
        if (verb == "show-hidden" || verb == "show-hidden-selected")
            return rows.ShowAllHiddenAttributes(verb != "show-hidden"), "true";
        if (verb == "open")
            return m_table.SetRecordOpen(m_table.GetRecord(std::stol(arg(1))), true), "true";
        if (verb == "saved")
            return m_table.SetModified(false), "true";
        if (verb == "retitle")
            return done(history.Submit(std::make_shared<CRetitleCommand>(&m_table, platform::FromUtf8(arg(1)))));
        if (verb == "veto")
        {
            m_host.m_veto.clear();
            for (const std::u16string& event : SplitValues(arg(1) == "-" ? "" : arg(1)))
                m_host.m_veto.insert(platform::ToUtf8(event));
            return "true";
        }
        if (verb == "language")
            return platform::SetResourceLanguage(arg(1) == "en" ? ELanguage::English : ELanguage::German), "true";
        static const std::map<std::string, std::function<bool(CTable&, CCommandHistory&, CTableSelection&)>> steps = {
            {"zoom-in", [](CTable&, CCommandHistory&, CTableSelection& s) { return s.ZoomIn(); }},
            {"exclude", [](CTable&, CCommandHistory&, CTableSelection& s) { return s.Exclude(); }},
            {"zoom-out", [](CTable&, CCommandHistory&, CTableSelection& s) { return s.ZoomOut(); }},
            {"reset", [](CTable&, CCommandHistory&, CTableSelection& s) { return s.SubmitReset(); }},
            {"back", [](CTable&, CCommandHistory& h, CTableSelection&) { return h.GoBack(); }},
            {"forward", [](CTable&, CCommandHistory& h, CTableSelection&) { return h.GoForward(); }},
            {"rewind", [](CTable&, CCommandHistory& h, CTableSelection&) { return h.Rewind(); }},
            {"fast-forward", [](CTable&, CCommandHistory& h, CTableSelection&) { return h.FastForward(); }},
            {"fast-forward-next", [](CTable&, CCommandHistory& h, CTableSelection&) { return h.FastForwardNext(); }},
            {"previous-query", [](CTable&, CCommandHistory& h, CTableSelection&) { return h.PreviousQuery(); }},
            {"undo", [](CTable&, CCommandHistory& h, CTableSelection&) { return h.Undo(); }},
            {"redo", [](CTable&, CCommandHistory& h, CTableSelection&) { return h.Redo(); }},
            {"hide", [](CTable& t, CCommandHistory& h, CTableSelection&)
             { return h.Submit(std::make_shared<CHideRecordsCommand>(&t)); }},
            {"auto-hide", [](CTable& t, CCommandHistory& h, CTableSelection&)
             { return h.Submit(std::make_shared<CToggleAutoHideRecordsCommand>(&t)); }},
            {"duplicate", [](CTable& t, CCommandHistory& h, CTableSelection&)
             { return h.Submit(CInsertRecordsCommand::Create(&t, true)); }},
            {"delete",
             [](CTable& t, CCommandHistory& h, CTableSelection&)
             {
                 auto command = CDeleteRecordsCommand::Create(&t);
                 return command && h.Submit(command);
             }},
        };
        if (const auto it = steps.find(verb); it != steps.end())
            return done(it->second(m_table, history, selection));
        if (verb == "jump-back" || verb == "jump-forward")
            return done(verb == "jump-back" ? history.JumpBack(std::stoi(arg(1)))
                                            : history.JumpForward(std::stoi(arg(1))));
        if (verb == "sort" || verb == "sort-reverse")
            return done(selection.SortRecords(attribute(1), verb == "sort-reverse"));
        if (verb == "mode")
            return done(selection.SwitchToViewMode(std::stoi(arg(1))));
        if (verb == "insert")
            return done(history.Submit(CInsertRecordsCommand::Create(&m_table, false, std::stoi(arg(1)))));
        return Query(w, attribute);
    }

private:
    template <class Attribute> std::string Query(const std::vector<std::string>& w, const Attribute& attribute)
    {
        const std::string& verb = w[0];
        CCommandHistory& history = History(m_table);
        CTableSelection& selection = Sel(m_table);
        auto yes = [](bool b) { return std::string(b ? "yes" : "no"); };
        if (verb == "states")
            return RecordStates(m_table);
        if (verb == "lists")
            return BackForward(m_table);
        if (verb == "undo-lists")
            return UndoRedo(m_table);
        if (verb == "restrictions")
            return RenderRestrictions(m_table);
        if (verb == "table")
            return RenderTable(m_table);
        if (verb == "shown")
        {
            std::string out;
            const CRecordArray& shown = m_table.GetShownRecords();
            for (long i = 0; i < shown.GetSize(); ++i)
                out += std::to_string(shown.GetRecord(i)->m_nRecordNumber + 1);
            return out;
        }
        if (verb == "messages")
        {
            std::string out;
            const std::vector<KString>& log = m_table.GetMessageLog();
            for (; m_nMessagesSeen < log.size(); ++m_nMessagesSeen)
                out += platform::ToUtf8(log[m_nMessagesSeen]) + "\n";
            std::replace(out.begin(), out.end(), '\n', '|');
            return out;
        }
        if (verb == "events")
        {
            std::string out;
            for (const std::string& event : m_host.m_events)
                out += (out.empty() ? "" : "; ") + event;
            m_host.m_events.clear();
            return out;
        }
        if (verb == "replayed")
        {
            const long since = history.GetReplayedCount() - m_nReplayedSeen;
            m_nReplayedSeen = history.GetReplayedCount();
            return std::to_string(since);
        }
        if (verb == "selected-records" || verb == "by-values")
        {
            CSet records;
            if (verb == "by-values")
                selection.ComputeSelectedRecordsFromSelectedValues(records);
            else
                selection.GetOverallSelectedRecords(records);
            return RecordNumbers(records) +
                   (verb == "by-values" ? "" : " count " + std::to_string(selection.CountSelectedRecords()));
        }
        if (verb == "value-selected")
            return yes(Sel(attribute(1)).IsValueSelected(attribute(1)->FindValue(platform::FromUtf8(w.at(2)))));
        if (verb == "selection-list")
        {
            std::string out;
            for (CAttribute* a : selection.GetValueSelectionList())
                out += (out.empty() ? "" : " ") + platform::ToUtf8(a->GetName());
            return out + " prefix " + std::to_string(Sel(attribute(1)).GetSelectionPrefixLength());
        }
        if (verb == "rows")
        {
            std::string out;
            for (long i = 0; i < m_table.GetAttributeCount(); ++i)
            {
                const CAttribute* a = m_table.FindAttributeFromIndex(i);
                const std::string name = platform::ToUtf8(a->GetName());
                out += (i ? " " : "") + (a->IsShown() ? name : "[" + name + "]") + (a->IsSuppressed() ? "!" : "");
            }
            for (CAttribute* a : selection.GetAttributeRows().GetAttributeSelection())
                out += (a == selection.GetAttributeRows().GetLeadAttribute() ? " / " : ",") +
                       platform::ToUtf8(a->GetName());
            return out;
        }
        if (verb == "counts")
        {
            const long qualified = m_table.GetNumberQualified();
            EXPECT_EQ(m_table.CountQualRecords(), qualified); // the kept count agrees with the flags
            return "qualified " + std::to_string(qualified) + " shown " + std::to_string(m_table.GetNumberShown()) +
                   " open " + std::to_string(m_table.GetNumberOpen()) + " forced " +
                   std::to_string(Qual(m_table).GetForcedRecords().size());
        }
        if (verb == "restricted")
            return yes(Sel(attribute(1)).IsRestricted()) + " changed " + yes(Qual(m_table).AreRestrictionsChanged()) +
                   " released " + yes(Qual(m_table).AreRestrictionsReleased());
        if (verb == "checkpoint")
            return yes(m_table.HasCheckpoint());
        if (verb == "title")
            return platform::ToUtf8(m_table.GetTitle()) + (m_table.IsModified() ? " (modified)" : "");
        if (verb == "captions")
            return platform::ToUtf8(history.GetBackCaption()) + "|" + platform::ToUtf8(history.GetForwardCaption()) +
                   "|" + platform::ToUtf8(history.GetUndoCaption()) + "|" + platform::ToUtf8(history.GetRedoCaption()) +
                   "|" + platform::ToUtf8(history.GetUndoCommandName());
        if (verb == "view-mode")
            return std::to_string(selection.GetViewMode()) + " remembered " +
                   std::to_string(selection.GetRememberedViewMode());
        if (verb == "auto-hiding")
            return yes(Qual(m_table).IsAutoHideRefused());
        if (verb == "reversed")
            return yes(attribute(1)->IsReverseSort());
        if (verb == "sorted-by")
        {
            CAttribute* primary = m_table.GetPrimarySortAttribute();
            std::string out = primary ? platform::ToUtf8(primary->GetName()) : "-";
            for (CAttribute* previous : m_table.GetPreviousSortAttributes())
                out += " " + platform::ToUtf8(previous->GetName());
            return out;
        }
        if (verb == "possible")
        {
            const std::map<std::string, std::function<bool()>> possible = {
                {"back", [&] { return history.GoBackPossible(); }},
                {"forward", [&] { return history.GoForwardPossible(); }},
                {"undo", [&] { return history.UndoPossible(); }},
                {"previous-query", [&] { return history.PreviousQueryPossible(); }},
                {"zoom-in", [&] { return selection.ZoomInPossible(); }},
                {"exclude", [&] { return selection.ExcludePossible(); }},
                {"zoom-out", [&] { return selection.ZoomOutPossible(); }},
            };
            std::string out;
            for (size_t i = 1; i < w.size(); ++i)
                out += (i > 1 ? " " : "") + w[i] + " " + yes(possible.at(w[i])());
            return out;
        }
        if (verb == "selected")
        {
            const CAttributeSelection* state = selection.Find(*attribute(1));
            std::string out;
            for (long i = 0; state && state->GetSelectedValues() && i < state->GetSelectedValues()->GetCount(); ++i)
                out += (out.empty() ? "" : ",") +
                       platform::ToUtf8(static_cast<const char16_t*>(state->GetSelectedValues()->GetAt(i)));
            return yes(selection.HasSelectedValues(attribute(1))) + " " + out;
        }
        if (verb == "last")
        {
            const CCommandList& back = history.GetBackList();
            return back.empty() ? "-"
                                : platform::ToUtf8(back.back()->GetDisplayClassName()) + ": " +
                                      platform::ToUtf8(back.back()->GetLogName());
        }
        if (verb == "query")
            return "current " + std::to_string(history.CountCurrentQuery()) + " backward " +
                   std::to_string(history.GetBackwardCommandNames().size()) + " forward " +
                   std::to_string(history.GetForwardCommandNames().size());
        throw std::runtime_error("unknown step " + verb);
    }

    CTable m_table;
    CEventRecorder m_host;      // records the events and vetoes those named by "veto"
    size_t m_nMessagesSeen = 0; // messages of the log already given by "messages"
    long m_nReplayedSeen = 0;   // commands replayed up to the last "replayed"
};

class HistoryCases : public testing::TestWithParam<std::string>
{
};

TEST_P(HistoryCases, EveryStepGivesItsResult)
{
    const std::filesystem::path file = kCases / GetParam();
    CSteps steps;
    int count = 0;
    for (const auto& [number, line] : ReadCaseLines(file))
    {
        const size_t arrow = line.ends_with(" =>") ? line.size() - 3 : line.find(" => ");
        const std::string expected =
            arrow == std::string::npos ? "true" : line.substr(std::min(arrow + 4, line.size()));
        std::vector<std::string> words;
        std::istringstream in(line.substr(0, arrow));
        for (std::string word; in >> word;)
            words.push_back(word);
        std::string actual;
        try
        {
            actual = steps.Run(words);
        }
        catch (const std::exception& e)
        {
            actual = std::string("cannot run: ") + e.what();
        }
        ++count;
        if (actual != expected)
            ADD_FAILURE_AT(file.string().c_str(), number) << line << "\n  gives: " << actual;
    }
    EXPECT_GT(count, 0);
}

INSTANTIATE_TEST_SUITE_P(Files, HistoryCases, testing::ValuesIn(ListCaseFiles(kCases)), CaseTestName);
} // namespace
