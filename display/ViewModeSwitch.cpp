#include "display/ViewModeSwitch.h"

namespace display
{

bool ParseViewModeName(std::string_view name, EViewMode& mode)
{
    if (name == "full")
        mode = VIEW_FULL;
    else if (name == "compressed")
        mode = VIEW_COMPRESSED;
    else if (name == "overview")
        mode = VIEW_OVERVIEW;
    else
        return false;
    return true;
}

void SwitchViewMode(CTableLayout& layout, EViewMode mode)
{
    layout.SetViewMode(mode, true, true);
}

} // namespace display
