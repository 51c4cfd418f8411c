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

// String resources of the help texts of the subcommands.
constexpr int kDumpHelp = 9001;
constexpr int kConvertHelp = 9002;
constexpr int kRunHelp = 9003;
constexpr int kEvalHelp = 9004;
constexpr int kViewHelp = 9005;

} // namespace

std::string GetCommandHelp(const std::string& command)
{
    if (command == "dump")
        return Text(kDumpHelp);
    if (command == "convert")
        return Text(kConvertHelp);
    if (command == "run")
        return Text(kRunHelp);
    if (command == "eval")
        return Text(kEvalHelp);
    if (command == "view")
        return Text(kViewHelp);
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
            throw CUsageError(Text(9013, {"dump", arg}));
        else if (file.empty())
            file = arg;
        else if (arg.find('=') != std::string::npos)
            settings.push_back(arg);
        else
            throw CUsageError(Text(9014, {"dump", arg}));
    }
    if (file.empty())
        throw CUsageError(Text(9015));
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
                throw CUsageError(Text(9016, {"convert", option}));
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
            throw CUsageError(Text(9013, {"convert", arg}));
        else
            paths.push_back(arg);
    }
    if (paths.size() != 2)
        throw CUsageError(Text(9017));
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
