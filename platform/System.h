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

// Tells the system that [p, p + bytes) will be read at random places, so that the whole 2 MB pages inside it
// may be backed by huge pages (fewer address-translation misses). Only a hint: does nothing where unsupported.
void AdviseRandomAccess(void* p, size_t bytes);

} // namespace platform
