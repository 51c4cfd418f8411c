// The script verbs about records as a whole: hide-refused, auto-hide on|off, insert-records N and
// delete-selected. Like the window's menu entries they submit commands (history lists them); a verb that
// cannot act now fails its line with a message.

#include "app/Commands.h"

#include "engine/Table.h"
#include "platform/Resources.h"
#include "selection/CommandHistory.h"
#include "selection/RecordCommands.h"
#include "selection/TableSelection.h"

#include <charconv>
#include <stdexcept>

namespace app
{

namespace
{
constexpr int kNotExecuted = 3912;        // "Das Kommando '%1' wurde nicht ausgeführt."
constexpr int kNoRefusedShown = 9070;     // hide-refused with no refused record on screen
constexpr int kAutoHideUsage = 9071;      // auto-hide without on or off
constexpr int kInsertUsage = 9072;        // insert-records without a good N
constexpr int kNothingSelected = 9073;    // delete-selected with no selected record
constexpr long kMaxInsertedRecords = 1000000;

void Submit(CTable& table, const std::shared_ptr<CCommand>& command)
{
    command->Prepare(); // for the name in the message
    if (!CTableSelection::Of(table).GetHistory().Submit(command, true, true, true))
        throw std::runtime_error(Text(kNotExecuted, {platform::ToUtf8(command->GetName())}));
}
} // namespace

bool IsRecordVerb(const std::string& verb)
{
    return verb == "hide-refused" || verb == "auto-hide" || verb == "insert-records" || verb == "delete-selected";
}

void RunRecordVerb(CTable& table, const std::vector<std::string>& words)
{
    const std::string& verb = words[0];
    CTableSelection& selection = CTableSelection::Of(table);
    if (verb == "hide-refused" || verb == "delete-selected")
    {
        if (words.size() > 1)
            throw std::runtime_error(Text(9010, {verb}));
    }
    if (verb == "hide-refused")
    {
        if (!selection.GetQualification().HideRecordsPossible())
            throw std::runtime_error(Text(kNoRefusedShown));
        Submit(table, std::make_shared<CHideRecordsCommand>(&table));
    }
    else if (verb == "auto-hide")
    {
        if (words.size() != 2 || (words[1] != "on" && words[1] != "off"))
            throw std::runtime_error(Text(kAutoHideUsage));
        const bool on = words[1] == "on";
        if (selection.GetQualification().IsAutoHideRefused() == on)
            return; // already so: nothing to submit
        Submit(table, std::make_shared<CToggleAutoHideRecordsCommand>(&table));
    }
    else if (verb == "insert-records")
    {
        long count = 0;
        const std::string text = words.size() == 2 ? words[1] : std::string();
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
        if (words.size() != 2 || text.empty() || error != std::errc() || end != text.data() + text.size() ||
            count < 1 || count > kMaxInsertedRecords)
            throw std::runtime_error(Text(kInsertUsage, {text}));
        Submit(table, CInsertRecordsCommand::Create(&table, false, count));
    }
    else if (verb == "delete-selected")
    {
        std::shared_ptr<CDeleteRecordsCommand> command = CDeleteRecordsCommand::Create(&table);
        if (!command || command->GetRecordsToDelete().empty())
            throw std::runtime_error(Text(kNothingSelected));
        Submit(table, command);
    }
}

} // namespace app
