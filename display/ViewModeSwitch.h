#pragma once
// Switching the view mode as the user asks for it, shared by the korvalin command's `mode` verb and the window's
// mode buttons, and the names of the modes on command lines. Threading: the table's thread.

#include "display/TableLayout.h"

#include <string_view>

namespace display
{

// "full", "compressed" or "overview"; false for any other name (mode unchanged).
bool ParseViewModeName(std::string_view name, EViewMode& mode);

// Switches the layout's table to mode through the mode-switch command, a step of the query that back and
// forward go over; the layout carries it out, animated when it has a window. Nothing happens when the table is
// in that mode already or has no attributes. False only when the command was submitted and refused.
bool SwitchViewMode(CTableLayout& layout, EViewMode mode);

} // namespace display
