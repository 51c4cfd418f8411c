// The dump and convert subcommands, the JSON dump and the help texts.

#include "app/Commands.h"

#include "engine/Table.h"
#include "exchange/TableJson.h"

#include <iostream>
#include <ostream>

namespace app
{

namespace
{

const char* const kDumpHelp =
    "Usage: korvalin dump FILE [--qualified] [SETTING=VALUE ...]\n"
    "\n"
    "Read a text file (.csv, .txt, any other) or a legacy table (.qtc) and print it as one JSON\n"
    "object: {\"records\": N, \"qualified\": Q, \"attributes\": [{\"name\", \"kind\", \"level\", \"type\",\n"
    "\"format\", \"values\": [...]}, ...]}, one attribute per line. A text file is read as through the\n"
    "import dialog: a byte-order mark wins, and without delimiter= the delimiter is TAB for .txt, .tsv\n"
    "and .tab and comma for other files, or semicolon, TAB or '|' when the first lines show columns\n"
    "only with those.\n"
    "\n"
    "  --qualified       print only the values of qualified records\n"
    "  SETTING=VALUE     an import setting, as for the script verb read (see korvalin run --help)\n";

const char* const kConvertHelp =
    "Usage: korvalin convert IN OUT [--delimiter C] [--quote C|none] [--encoding E] [--codepage N]\n"
    "                        [--bom] [--qualified]\n"
    "\n"
    "Read IN as korvalin dump does and write the table as OUT, the kind chosen by OUT's extension:\n"
    ".qtc a legacy table, anything else (.csv, .txt) delimited text. Text is written in UTF-8 without\n"
    "a byte-order mark, with comma (TAB for .txt, .tsv, .tab) and the double quote, quoting only where\n"
    "needed.\n"
    "\n"
    "  --delimiter C     tab, comma, semicolon, space, pipe or any single character\n"
    "  --quote C         the text qualifier, or none\n"
    "  --encoding E      codepage, utf-8, utf-16be or utf-16le\n"
    "  --codepage N      the code page for --encoding codepage (1252, 1250, ...)\n"
    "  --bom             begin the file with the byte-order mark of its encoding\n"
    "  --qualified       write only the qualified records\n"
    "OUT is replaced only when the whole file could be written.\n";

const char* const kRunHelp =
    "Usage: korvalin run SCRIPT\n"
    "\n"
    "Execute a script: one command a line, '#' starts a comment, words are split at blanks, and a word\n"
    "in double quotes may hold blanks (\\\" and \\\\ inside it). Relative file names are taken from the\n"
    "script's folder. Verbs:\n"
    "  read FILE [SETTING=VALUE ...]     read a file into a new table (the old one stays if it fails)\n"
    "      delimiter=C  quote=C|none  encoding=codepage|utf-8|utf-16be|utf-16le|utf-32be|utf-32le\n"
    "      codepage=N  names=yes|no  nameline=N  dataline=N  maxrecords=N (-1 all)\n"
    "      transposed=yes|no (no: one attribute per line)  fixedwidth=yes|no  widths=N,N,...\n"
    "      replacebars=yes|no\n"
    "  export FILE [qualified] [SETTING=VALUE ...]   write the table (.qtc legacy, else text)\n"
    "      delimiter=C  quote=C|none  encoding=codepage|utf-8|utf-16be|utf-16le  codepage=N\n"
    "      bom=yes|no  names=yes|no  importlayout=yes|no\n"
    "  select ATTRIBUTE VALUE ...        select values of an attribute\n"
    "  deselect                          clear the selection\n"
    "  dump [qualified]                  print the table as korvalin dump does\n"
    "  count                             print: records N qualified Q selected S\n"
    "  zoom-in | exclude                 restrict to (or refuse) the selected values, as the window's buttons\n"
    "  zoom-out                          release the first restricted attribute with selected values\n"
    "  reset                             end the query: every record qualified, no restriction\n"
    "  back | forward                    step back over the last zoom (replaying the query) or forward again\n"
    "  rewind | fast-forward             to the start or the end of the current query\n"
    "  undo | redo                       undo or redo the last change of data or definitions\n"
    "  history                           print 'back:' and the back list (oldest first) followed by the steps\n"
    "                                    gone back over, then 'undo:' and the undo and redo lists; one name a\n"
    "                                    line, '> ' marks the last step in effect (a lone '>': none)\n"
    "A verb that is not possible now (back at the start, undo with nothing to undo) fails its line.\n"
    "A failing line prints korvalin: SCRIPT:LINE: message and ends the run with status 1.\n";

} // namespace

const char* GetCommandHelp(const std::string& command)
{
    if (command == "dump")
        return kDumpHelp;
    if (command == "convert")
        return kConvertHelp;
    if (command == "run")
        return kRunHelp;
    return "";
}

int RunDump(const std::vector<std::string>& args)
{
    std::string file;
    bool qualified = false;
    std::vector<std::string> settings;
    for (const std::string& arg : args)
    {
        if (arg == "--qualified")
            qualified = true;
        else if (arg.size() > 1 && arg[0] == '-')
            throw CUsageError("dump: unknown option '" + arg + "'");
        else if (file.empty())
            file = arg;
        else if (arg.find('=') != std::string::npos)
            settings.push_back(arg);
        else
            throw CUsageError("dump: unexpected argument '" + arg + "'");
    }
    if (file.empty())
        throw CUsageError("dump: missing FILE (see korvalin dump --help)");
    files::SOpenRequest request;
    ApplyReadSettings(settings, request);
    std::unique_ptr<CTable> table = MakeTable();
    ReadTableFile(*table, file, request);
    exchange::WriteTableJson(*table, std::cout, qualified);
    return 0;
}

int RunConvert(const std::vector<std::string>& args)
{
    std::vector<std::string> paths;
    bool qualified = false;
    std::vector<std::string> exportSettings;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        auto value = [&](const char* option) -> const std::string&
        {
            if (i + 1 >= args.size())
                throw CUsageError(std::string("convert: ") + option + " needs a value");
            return args[++i];
        };
        if (arg == "--qualified")
            qualified = true;
        else if (arg == "--bom")
            exportSettings.push_back("bom=yes");
        else if (arg == "--delimiter")
            exportSettings.push_back("delimiter=" + value("--delimiter"));
        else if (arg == "--quote")
            exportSettings.push_back("quote=" + value("--quote"));
        else if (arg == "--encoding")
            exportSettings.push_back("encoding=" + value("--encoding"));
        else if (arg == "--codepage")
            exportSettings.push_back("codepage=" + value("--codepage"));
        else if (arg.size() > 1 && arg[0] == '-')
            throw CUsageError("convert: unknown option '" + arg + "'");
        else
            paths.push_back(arg);
    }
    if (paths.size() != 2)
        throw CUsageError("convert: expected IN and OUT (see korvalin convert --help)");
    exchange::SExportOptions options = DefaultExportOptions(paths[1]);
    for (const std::string& setting : exportSettings)
        ApplyExportSetting(setting, options);
    options.m_bAllRecords = !qualified;
    std::unique_ptr<CTable> table = MakeTable();
    ReadTableFile(*table, paths[0], files::SOpenRequest());
    WriteTableFile(*table, paths[1], options);
    return 0;
}

} // namespace app
