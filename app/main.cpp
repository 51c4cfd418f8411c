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
// The string resource of the command's help text.
constexpr int kUsage = 9000;

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
    platform::RestartWithHugePageHeap(argv);
    app::ChooseMessageLanguage();
    if (argc < 2)
    {
        std::cerr << app::Text(kUsage);
        return 2;
    }
    platform::TuneHeapForLargeTables();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    try
    {
        if (command == "--help" || command == "-h" || command == "help")
        {
            std::cout << app::Text(kUsage);
            return 0;
        }
        if (command == "--version")
        {
            std::cout << "korvalin " << KORVALIN_VERSION_STRING << '\n';
            return 0;
        }
        if (!args.empty() && (args[0] == "--help" || args[0] == "-h") && !app::GetCommandHelp(command).empty())
        {
            std::cout << app::GetCommandHelp(command);
            return 0;
        }
        if (command == "demo")
        {
            if (!args.empty())
            {
                std::cerr << "korvalin: " << app::Text(9010, {"demo"}) << '\n';
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
        if (command == "eval")
            return app::RunEval(args);
        if (command == "view")
            return app::RunView(args);
        std::cerr << "korvalin: " << app::Text(9011, {command}) << '\n';
        return 2;
    }
    catch (const app::CUsageError& e)
    {
        std::cerr << "korvalin: " << e.what() << '\n';
        return 2;
    }
    catch (const CUserException&)
    {
        std::cerr << "korvalin: " << app::Text(9012) << '\n';
        return 1;
    }
    catch (const std::exception& e)
    {
        std::cerr << "korvalin: " << e.what() << '\n';
        return 1;
    }
}
