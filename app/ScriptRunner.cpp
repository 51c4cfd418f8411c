// korvalin run SCRIPT: one command a line, executed against one current table.

#include "app/Commands.h"
#include "app/LayoutVerbs.h"

#include "engine/Table.h"
#include "exchange/TableJson.h"
#include "platform/Error.h"
#include "selection/TableSelection.h"

#include <fstream>
#include <iostream>
#include <sstream>

namespace app
{

namespace
{

// A failure of one script line; the runner adds the script and line in front.
class CScriptError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The words of a line: split at blanks, "..." may hold blanks (\" and \\ inside), a word starting with '#'
// ends the line.
std::vector<std::string> SplitWords(const std::string& line)
{
    std::vector<std::string> words;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n)
    {
        while (i < n && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        if (i >= n || line[i] == '#')
            break;
        std::string word;
        bool quoted = false;
        while (i < n && (quoted || (line[i] != ' ' && line[i] != '\t' && line[i] != '\r')))
        {
            const char c = line[i];
            if (c == '"')
            {
                quoted = !quoted;
                ++i;
                continue;
            }
            if (quoted && c == '\\' && i + 1 < n && (line[i + 1] == '"' || line[i + 1] == '\\'))
            {
                word += line[i + 1];
                i += 2;
                continue;
            }
            word += c;
            ++i;
        }
        if (quoted)
            throw CScriptError(Text(9021));
        words.push_back(word);
    }
    return words;
}

class CScriptRunner
{
public:
    explicit CScriptRunner(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    void Execute(const std::vector<std::string>& words);

private:
    std::filesystem::path Resolve(const std::string& file) const
    {
        const std::filesystem::path path(file);
        return path.is_absolute() ? path : m_folder / path;
    }
    CTable& Table()
    {
        if (!m_pTable)
            throw CScriptError(Text(9022));
        return *m_pTable;
    }
    void Read(const std::vector<std::string>& words);
    void Export(const std::vector<std::string>& words);
    void Select(const std::vector<std::string>& words);

    std::filesystem::path m_folder;   // relative file names are taken from here
    std::unique_ptr<CTable> m_pTable; // the current table, null before the first read
    CLayoutVerbs m_layoutVerbs;       // the view modes and the layout of the current table
};

void CScriptRunner::Read(const std::vector<std::string>& words)
{
    if (words.size() < 2)
        throw CScriptError(Text(9023, {"read"}));
    files::SOpenRequest request;
    ApplyReadSettings(std::vector<std::string>(words.begin() + 2, words.end()), request);
    std::unique_ptr<CTable> table = MakeTable();
    ReadTableFile(*table, Resolve(words[1]), request);
    m_layoutVerbs.Forget();      // the previous table's layout goes first, then the table
    m_pTable = std::move(table); // (the previous table stays when the read fails)
}

void CScriptRunner::Export(const std::vector<std::string>& words)
{
    if (words.size() < 2)
        throw CScriptError(Text(9023, {"export"}));
    const std::filesystem::path path = Resolve(words[1]);
    exchange::SExportOptions options = DefaultExportOptions(path);
    for (size_t i = 2; i < words.size(); ++i)
    {
        if (words[i] == "qualified")
            options.m_bAllRecords = false;
        else
            ApplyExportSetting(words[i], options);
    }
    WriteTableFile(Table(), path, options);
}

void CScriptRunner::Select(const std::vector<std::string>& words)
{
    if (words.size() < 3)
        throw CScriptError(Text(9024));
    CTable& table = Table();
    CAttribute* attribute = table.FindAttribute(platform::FromUtf8(words[1]));
    if (!attribute)
        throw CScriptError(Text(9025, {words[1]}));
    for (size_t i = 2; i < words.size(); ++i)
    {
        const long index = attribute->FindValueIndex(platform::FromUtf8(words[i]));
        if (index < 0)
            throw CScriptError(Text(9026, {words[1], words[i]}));
        CAttributeSelection::Of(attribute).SelectValue(attribute->GetValue(index), nullptr, true);
    }
}

void CScriptRunner::Execute(const std::vector<std::string>& words)
{
    const std::string& verb = words[0];
    if (verb == "read")
        Read(words);
    else if (verb == "export")
        Export(words);
    else if (verb == "select")
        Select(words);
    else if (verb == "deselect")
    {
        if (words.size() > 1)
            throw CScriptError(Text(9010, {"deselect"}));
        CTableSelection::Of(Table()).DeselectAllValues();
    }
    else if (verb == "dump")
    {
        if (words.size() > 2 || (words.size() == 2 && words[1] != "qualified"))
            throw CScriptError(Text(9028));
        exchange::WriteTableJson(Table(), std::cout, words.size() == 2);
    }
    else if (verb == "expression")
    {
        if (words.size() != 3)
            throw CScriptError(Text(9043));
        AddExpressionAttribute(Table(), words[1], words[2]);
    }
    else if (verb == "eval")
    {
        if (words.size() != 2)
            throw CScriptError(Text(9044));
        PrintFormulaValues(Table(), words[1], std::cout);
    }
    else if (verb == "count")
    {
        if (words.size() > 1)
            throw CScriptError(Text(9010, {"count"}));
        CTable& table = Table();
        const long qualified = table.CountQualRecords();
        const long selected = CTableSelection::Of(table).CountSelectedRecords();
        std::cout << "records " << table.GetRecordCount() << " qualified " << qualified << " selected " << selected
                  << '\n';
    }
    else if (CLayoutVerbs::Handles(verb))
        m_layoutVerbs.Execute(Table(), words, std::cout);
    else if (IsDerivedVerb(verb))
        RunDerivedVerb(Table(), words); // classify, case, link, redefine, recompute
    else if (IsRecordVerb(verb))
        RunRecordVerb(Table(), words); // hide-refused, auto-hide, insert-records, delete-selected
    else if (IsHistoryVerb(verb))
        RunHistoryVerb(Table(), words, std::cout); // zooms, back, forward, undo, redo, history
    else
        throw CScriptError(Text(9029, {verb}));
    std::cout.flush();
}

} // namespace

int RunScript(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        throw CUsageError(Text(9030));
    const std::filesystem::path script(args[0]);
    std::ifstream in(script);
    if (!in || std::filesystem::is_directory(script))
        throw CKorvalinException(EStatus::CannotOpenFile, Text(9031, {args[0]}));
    CScriptRunner runner(script.parent_path().empty() ? std::filesystem::path(".") : script.parent_path());
    std::string line;
    long number = 0;
    while (std::getline(in, line))
    {
        ++number;
        try
        {
            const std::vector<std::string> words = SplitWords(line);
            if (!words.empty())
                runner.Execute(words);
        }
        catch (const CUserException&)
        {
            std::cout.flush();
            std::cerr << "korvalin: " << args[0] << ':' << number << ": " << Text(9012) << '\n';
            return 1;
        }
        catch (const std::exception& e)
        {
            std::cout.flush();
            std::cerr << "korvalin: " << args[0] << ':' << number << ": " << e.what() << '\n';
            return 1;
        }
    }
    return 0;
}

} // namespace app
