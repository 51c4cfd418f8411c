#pragma once
// The subcommands of the korvalin command and what they share: reading a table as an explicit import,
// settings given as "name=value", the JSON dump, the progress bar and the printing of the table's messages.
// Every function reports failures by throwing: CUsageError for a bad argument (exit status 2), anything
// else for a failed operation (exit status 1). Threading: the main thread.

#include "exchange/TextExporter.h"
#include "files/TableOpener.h"

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

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

// The script verbs of the zooms and histories (HistoryVerbs.cpp): whether verb is one, and running one line
// of it on table (history prints to out). A verb that is not possible now throws with a message.
bool IsHistoryVerb(const std::string& verb);
void RunHistoryVerb(CTable& table, const std::vector<std::string>& words, std::ostream& out);

// The help text of a subcommand ("" for an unknown one).
const char* GetCommandHelp(const std::string& command);

// ---- shared ----

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
