#include "display/ViewModeSwitch.h"

#include "display/LayoutAccess.h"

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

bool SwitchViewMode(CTableLayout& layout, EViewMode mode)
{
    if (layout.GetViewMode() == mode || access::Attributes(layout.GetTable()).empty())
        return true;
    return access::SubmitViewMode(layout.GetTable(), mode);
}

} // namespace display
