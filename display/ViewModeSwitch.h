#pragma once
// Switching the view mode as the user asks for it, shared by the korvalin command's `mode` verb and the window's
// mode buttons, and the names of the modes on command lines. Threading: the table's thread.

#include "display/TableLayout.h"

#include <string_view>

namespace display
{

// "full", "compressed" or "overview"; false for any other name (mode unchanged).
bool ParseViewModeName(std::string_view name, EViewMode& mode);

// Switches the table to mode (nothing happens when it is in that mode already) and remembers it as the mode a
// reset restores; animated when the layout has a window. The one place a mode switch is made: it becomes the
// submission of the mode-switch command once that exists.
void SwitchViewMode(CTableLayout& layout, EViewMode mode);

} // namespace display
