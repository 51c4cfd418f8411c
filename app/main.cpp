// The korvalin command: a host of the library for the terminal and scripts.

#include "app/Commands.h"
#include "app/TablePrinter.h"
#include "engine/Table.h"
#include "korvalin/TableExport.h"
#include "platform/Error.h"
#include "platform/System.h"

#include <iostream>
#include <string>
#include <vector>

namespace
{
const char* const kUsage =
    "Usage: korvalin COMMAND [ARGUMENTS]\n"
    "\n"
    "Explore tables of data from the terminal and from scripts.\n"
    "\n"
    "Commands:\n"
    "  demo         Make the example table of a new document (a key, Attribut1..Attribut15,\n"
    "               8 records) and print it transposed: one line per attribute, one column\n"
    "               per record.\n"
    "  dump FILE    Read a text (.csv, .txt), or legacy (.qtc) table file and print it as JSON.\n"
    "  convert IN OUT\n"
    "               Read IN and write it as OUT (.csv/.txt text, .qtc legacy table).\n"
    "  run SCRIPT   Execute a script of commands (read, export, select, deselect, dump, count,\n"
    "               zoom-in, exclude, zoom-out, reset, back, forward, rewind, fast-forward, undo,\n"
    "               redo, history).\n"
    "\n"
    "Options:\n"
    "  --help       Show this text and exit; korvalin COMMAND --help describes a command.\n"
    "  --version    Show the version and exit.\n";

int RunDemo()
{
    CTable table;
    table.CreateEmpty(1);
    std::cout << platform::ToUtf8(table.GetTitle()) << '\n';
    PrintTransposed(table, std::cout);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::cerr << kUsage;
        return 2;
    }
    platform::TuneHeapForLargeTables();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    try
    {
        if (command == "--help" || command == "-h" || command == "help")
        {
            std::cout << kUsage;
            return 0;
        }
        if (command == "--version")
        {
            std::cout << "korvalin " << KORVALIN_VERSION_STRING << '\n';
            return 0;
        }
        if (!args.empty() && (args[0] == "--help" || args[0] == "-h") && *app::GetCommandHelp(command))
        {
            std::cout << app::GetCommandHelp(command);
            return 0;
        }
        if (command == "demo")
        {
            if (!args.empty())
            {
                std::cerr << "korvalin: demo takes no arguments\n";
                return 2;
            }
            return RunDemo();
        }
        if (command == "dump")
            return app::RunDump(args);
        if (command == "convert")
            return app::RunConvert(args);
        if (command == "run")
            return app::RunScript(args);
        std::cerr << "korvalin: unknown command '" << command << "' (see korvalin --help)\n";
        return 2;
    }
    catch (const app::CUsageError& e)
    {
        std::cerr << "korvalin: " << e.what() << '\n';
        return 2;
    }
    catch (const CUserException&)
    {
        std::cerr << "korvalin: cancelled\n";
        return 1;
    }
    catch (const std::exception& e)
    {
        std::cerr << "korvalin: " << e.what() << '\n';
        return 1;
    }
}
