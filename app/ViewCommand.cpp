// korvalin view [FILE] [--mode full|compressed|overview] [--screenshot PNG]: the table in the desktop viewer.

#include "app/Commands.h"

#include "display/ViewModeSwitch.h"

#ifdef KORVALIN_WITH_VIEWER
#include "viewer/Viewer.h"
#endif

#include <iostream>

namespace app
{

int RunView(const std::vector<std::string>& args)
{
    std::string file;
    std::string screenshot;
    display::EViewMode mode = display::VIEW_FULL;
    bool modeGiven = false;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        if (arg == "--mode" || arg == "--screenshot")
        {
            if (i + 1 >= args.size() || args[i + 1].empty())
                throw CUsageError(Text(9016, {"view", arg}));
            const std::string& value = args[++i];
            if (arg == "--screenshot")
                screenshot = value;
            else if (!display::ParseViewModeName(value, mode))
                throw CUsageError(Text(9053, {value}));
            else
                modeGiven = true;
        }
        else if (arg.size() > 1 && arg[0] == '-')
            throw CUsageError(Text(9013, {"view", arg}));
        else if (!file.empty())
            throw CUsageError(Text(9014, {"view", arg}));
        else
            file = arg;
    }
#ifdef KORVALIN_WITH_VIEWER
    viewer::SViewRequest request;
    request.m_file = file;
    request.m_nMode = modeGiven ? mode : 0;
    request.m_screenshot = screenshot;
    return viewer::RunViewer(request, std::cout, std::cerr);
#else
    (void)modeGiven;
    throw std::runtime_error(Text(9054));
#endif
}

} // namespace app
