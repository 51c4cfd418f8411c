// The script verbs that zoom, sort and move through the histories: zoom-in, exclude, zoom-out, reset, sort,
// back, forward, rewind, fast-forward, undo, redo and history. They act as the window's buttons do: a verb that
// is not possible now fails with the message the greyed-out button stands for.

#include "app/Commands.h"

#include "engine/Table.h"
#include "platform/Resources.h"
#include "selection/Command.h"
#include "selection/CommandHistory.h"
#include "selection/TableSelection.h"

#include <ostream>
#include <stdexcept>

namespace app
{

namespace
{
constexpr int kCannotGoBack = 3905;
constexpr int kCannotGoForward = 3906;
constexpr int kCannotUndo = 3907;
constexpr int kCannotRedo = 3908;
constexpr int kCannotZoomIn = 3909;
constexpr int kCannotExclude = 3910;
constexpr int kCannotZoomOut = 3911;
constexpr int kNotExecuted = 3912; // "Das Kommando '%1' wurde nicht ausgeführt."
constexpr int kStepNotTaken = 3913; // "Der Schritt '%1' wurde nicht ausgeführt."
constexpr int kSortUsage = 9080;    // "sort: ATTRIBUT [descending] erwartet"
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
    for (const char* known : {"zoom-in", "exclude", "zoom-out", "reset", "sort", "back", "forward", "rewind",
                              "fast-forward", "undo", "redo", "history"})
    {
        if (verb == known)
            return true;
    }
    return false;
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
    CCommandHistory& history = selection.GetHistory();
    if (verb == "zoom-in")
    {
        if (!selection.ZoomInPossible())
            Fail(kCannotZoomIn);
        if (!selection.ZoomIn())
            Fail(kNotExecuted, u"Zoom-in");
    }
    else if (verb == "exclude")
    {
        if (!selection.ExcludePossible())
            Fail(kCannotExclude);
        if (!selection.Exclude())
            Fail(kNotExecuted, u"Exclude");
    }
    else if (verb == "zoom-out")
    {
        if (!selection.ZoomOutPossible())
            Fail(kCannotZoomOut);
        if (!selection.ZoomOut())
            Fail(kNotExecuted, u"Zoom-out");
    }
    else if (verb == "reset")
    {
        if (!selection.SubmitReset())
            Fail(kNotExecuted, LoadResourceString(2558));
    }
    else if (verb == "back")
    {
        if (!history.GoBackPossible())
            Fail(kCannotGoBack);
        const KString caption = history.GetBackCaption();
        if (!history.GoBack())
            Fail(kStepNotTaken, caption);
    }
    else if (verb == "forward")
    {
        if (!history.GoForwardPossible())
            Fail(kCannotGoForward);
        const KString caption = history.GetForwardCaption();
        if (!history.GoForward())
            Fail(kStepNotTaken, caption);
    }
    else if (verb == "rewind")
    {
        if (!history.RewindPossible())
            Fail(kCannotGoBack);
        if (!history.Rewind())
            Fail(kStepNotTaken, CCommandHistory::GetOperationCaption(CCommandHistory::OP_REWIND));
    }
    else if (verb == "fast-forward")
    {
        if (!history.FastForwardPossible())
            Fail(kCannotGoForward);
        if (!history.FastForward())
            Fail(kStepNotTaken, CCommandHistory::GetOperationCaption(CCommandHistory::OP_FAST_FORWARD));
    }
    else if (verb == "undo")
    {
        if (!history.UndoPossible())
            Fail(kCannotUndo);
        const KString caption = history.GetUndoCaption();
        if (!history.Undo())
            Fail(kStepNotTaken, caption);
    }
    else if (verb == "redo")
    {
        if (!history.RedoPossible())
            Fail(kCannotRedo);
        const KString caption = history.GetRedoCaption();
        if (!history.Redo())
            Fail(kStepNotTaken, caption);
    }
    else if (verb == "history")
    {
        PrintList(out, "back", history.GetBackList(), history.GetForwardList());
        PrintList(out, "undo", history.GetUndoList(), history.GetRedoList());
    }
}

} // namespace app
