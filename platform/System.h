#pragma once
// Small operating-system services: unique ids, clocks, user-interface timings and
// the user's configuration folder. Every function may be called from any thread.

#include "platform/Text.h"

#include <cstdint>
#include <filesystem>

namespace platform
{

// A new random uuid in canonical form: 36 lower-case characters with hyphens, no braces.
KString NewUuid();

// Milliseconds since an arbitrary fixed moment; never goes backwards.
uint64_t GetTickCountMs();

// The longest gap between two clicks that still makes a double click, in milliseconds.
int GetDoubleClickTimeMs();

// The name of this computer ("localhost" when the system does not tell).
KString GetComputerName();

// The folder for this program's user configuration: $XDG_CONFIG_HOME/korvalin when that
// variable holds an absolute path, else ~/.config/korvalin. The folder may not exist yet.
std::filesystem::path GetUserConfigFolder();

} // namespace platform
