// The script verbs that zoom, sort and move through the histories: zoom-in, exclude, zoom-out, reset, sort,
// back, forward, rewind, fast-forward, undo, redo and history. They act as the window's buttons do: a verb that
// is not possible now fails with the message the greyed-out button stands for.

#include "app/Commands.h"

#include "engine/Table.h"
#include "platform/Resources.h"
#include "selection/Command.h"
#include "selection/CommandHistory.h"
#include "selection/HistorySteps.h"
#include "selection/TableSelection.h"

#include <iterator>
#include <ostream>
#include <stdexcept>

namespace app
{

namespace
{
// The verbs of the steps, in the order of selection::EStep.
constexpr const char* kStepVerbs[] = {"zoom-in", "exclude", "zoom-out", "reset", "back", "forward", "rewind",
                                      "fast-forward", "undo", "redo"};
constexpr int kNotExecuted = 3912; // "Das Kommando '%1' wurde nicht ausgeführt."
constexpr int kSortUsage = 9080;   // "sort: ATTRIBUT [descending] erwartet"
constexpr int kSortNoAttribute = 9081;
constexpr int kSortDirection = 9082;

[[noreturn]] void Fail(int resource, const KString& argument = {})
{
    throw std::runtime_error(platform::ToUtf8(FormatResource(resource, {argument})));
}

// One list of a history: the done part (oldest first) with the last one marked "> ", then the part ahead (next
// first); a lone ">" line marks a position before every command.
void PrintList(std::ostream& out, const char* title, const CCommandList& done, const CCommandList& ahead)
{
    out << title << ":\n";
    if (done.empty())
        out << ">\n";
    for (size_t i = 0; i < done.size(); ++i)
        out << (i + 1 == done.size() ? "> " : "  ") << platform::ToUtf8(done[i]->GetName()) << '\n';
    for (const auto& command : ahead)
        out << "  " << platform::ToUtf8(command->GetName()) << '\n';
}
} // namespace

bool IsHistoryVerb(const std::string& verb)
{
    for (const char* known : kStepVerbs)
    {
        if (verb == known)
            return true;
    }
    return verb == "sort" || verb == "history";
}

namespace
{
// sort ATTRIBUTE [descending]: the records end in ascending (descending) order of the attribute. The command
// turns the attribute's direction round first when it is the other one.
void RunSort(CTable& table, const std::vector<std::string>& words)
{
    if (words.size() < 2 || words.size() > 3)
        Fail(kSortUsage);
    if (words.size() == 3 && words[2] != "descending")
        Fail(kSortDirection, platform::FromUtf8(words[2]));
    const KString name = platform::FromUtf8(words[1]);
    CAttribute* attribute = table.FindAttribute(name, nullptr, false, true);
    if (!attribute)
        Fail(kSortNoAttribute, name);
    const bool descending = words.size() == 3;
    const KString caption = FormatResource(descending != attribute->IsReverseSort() ? 2574 : 2710, {name});
    if (!CTableSelection::Of(table).SortRecords(attribute, descending != attribute->IsReverseSort()))
        Fail(kNotExecuted, caption);
}
} // namespace

void RunHistoryVerb(CTable& table, const std::vector<std::string>& words, std::ostream& out)
{
    const std::string& verb = words[0];
    if (verb == "sort")
        return RunSort(table, words);
    if (words.size() > 1)
        throw std::runtime_error(verb + " takes no arguments");
    CTableSelection& selection = CTableSelection::Of(table);
    if (verb == "history")
    {
        const CCommandHistory& history = selection.GetHistory();
        PrintList(out, "back", history.GetBackList(), history.GetForwardList());
        PrintList(out, "undo", history.GetUndoList(), history.GetRedoList());
        return;
    }
    for (size_t i = 0; i < std::size(kStepVerbs); ++i)
    {
        if (verb != kStepVerbs[i])
            continue;
        const selection::SStepResult result = selection::TakeStep(selection, static_cast<selection::EStep>(i));
        if (!result.IsTaken())
            throw std::runtime_error(platform::ToUtf8(FormatResource(result.m_nMessage, {result.m_strArgument})));
        return;
    }
}

} // namespace app
