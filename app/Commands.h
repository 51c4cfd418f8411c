#pragma once
// The subcommands of the korvalin command and what they share: reading a table as an explicit import,
// settings given as "name=value", the JSON dump, the progress bar and the printing of the table's messages.
// Every function reports failures by throwing: CUsageError for a bad argument (exit status 2), anything
// else for a failed operation (exit status 1). Threading: the main thread.

#include "exchange/TextExporter.h"
#include "files/TableOpener.h"

#include <filesystem>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class CAttributeDefinition;
class CTable;

namespace app
{

// A bad argument or setting: the message is shown as it is, the exit status is 2.
class CUsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// ---- subcommands (argv after the subcommand's name); each returns the exit status ----
int RunDump(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);
int RunScript(const std::vector<std::string>& args);
// korvalin eval FORMULA [--semicolons] [--json]: the value of a formula over a one-record table.
int RunEval(const std::vector<std::string>& args);
// korvalin view [FILE] [--mode M] [--screenshot PNG]: the table in the desktop viewer (ViewCommand.cpp).
int RunView(const std::vector<std::string>& args);

// ---- formulas (FormulaCommands.cpp) ----
// Adds an expression attribute (kind 3) computed for every record. Throws with the message and the position when
// the formula does not compile (the table is left as it was).
void AddExpressionAttribute(CTable& table, const std::string& name, const std::string& formula);
// Prints a formula's value for every qualified record, one a line (empty for an undefined value).
void PrintFormulaValues(CTable& table, const std::string& formula, std::ostream& out);

// The script verbs of the zooms and histories (HistoryVerbs.cpp): whether verb is one, and running one line
// of it on table (history prints to out). A verb that is not possible now throws with a message.
bool IsHistoryVerb(const std::string& verb);
void RunHistoryVerb(CTable& table, const std::vector<std::string>& words, std::ostream& out);

// The script verbs about records (RecordVerbs.cpp): hide-refused, auto-hide on|off, insert-records N,
// delete-selected. A verb that cannot act now throws with a message.
bool IsRecordVerb(const std::string& verb);
void RunRecordVerb(CTable& table, const std::vector<std::string>& words);

// The script verbs about derived attributes (DerivedVerbs.cpp): classify NAME ATTRIBUTE BOUND..., case NAME
// CONDITION VALUE ... [else VALUE], link NAME TARGET, redefine NAME FORMULA, recompute [all]. Each definition is
// an undoable command; bad input throws with a message and leaves the table as it was.
bool IsDerivedVerb(const std::string& verb);
void RunDerivedVerb(CTable& table, const std::vector<std::string>& words);
// Submits the insertion of an expression attribute with its definition (throws when it is not executed).
void SubmitExpressionAttribute(CTable& table, const KString& name, std::unique_ptr<CAttributeDefinition> definition);

// The help text of a subcommand ("" for an unknown one).
std::string GetCommandHelp(const std::string& command);

// ---- shared ----

// Sets the language of every text the command prints: the profile's Language option when it names a known language
// (an unreadable profile counts as none), else German for a German locale (LC_ALL, LC_MESSAGES, LANG) and English
// for any other.
void ChooseMessageLanguage();
// String resource id in that language, with %1, %2, %3 filled from args (UTF-8 in and out).
std::string Text(int id, std::initializer_list<std::string_view> args = {});

// A new table whose messages are printed on standard error as notes.
std::unique_ptr<CTable> MakeTable();

// Applies "name=value" read settings (delimiter, quote, encoding, codepage, names, nameline, dataline,
// maxrecords, transposed, fixedwidth, widths, replacebars) to request. Without dataline the data start on the
// line after the names (line 1 without names). Throws CUsageError.
void ApplyReadSettings(const std::vector<std::string>& settings, files::SOpenRequest& request);
// Applies one "name=value" export setting (delimiter, quote, encoding, codepage, bom, names, importlayout).
void ApplyExportSetting(const std::string& setting, exchange::SExportOptions& options);

// Reads path into table as an explicit import, with a progress bar on a terminal.
void ReadTableFile(CTable& table, const std::filesystem::path& path, files::SOpenRequest request);
// Writes table to path: ".qtc" as a legacy table, anything else as text with options.
void WriteTableFile(CTable& table, const std::filesystem::path& path, const exchange::SExportOptions& options);
// Export options for a target: comma for ".csv" and other files, TAB for ".txt"; UTF-8 without mark.
exchange::SExportOptions DefaultExportOptions(const std::filesystem::path& path);

} // namespace app
