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

// The width of the system's icons in pixels (32 on Linux desktops); the table's column width starts at three
// times it.
int GetSystemIconWidth();

// The name of this computer ("localhost" when the system does not tell).
KString GetComputerName();

// The folder for this program's user configuration: $XDG_CONFIG_HOME/korvalin when that
// variable holds an absolute path, else ~/.config/korvalin. The folder may not exist yet.
std::filesystem::path GetUserConfigFolder();

// The folder for data this program can make again but keeps to save time: $XDG_CACHE_HOME/korvalin when that
// variable holds an absolute path, else ~/.cache/korvalin. The folder may not exist yet.
std::filesystem::path GetUserCacheFolder();

// Tunes the C heap of the process for tables of hundreds of megabytes: large blocks come from the heap rather
// than from mappings of their own, and freed memory is kept for the next blocks rather than given back at
// once. Fresh pages from the system are what a large read spends most of its system time on, so reusing them
// pays; the price is that the process stays at its peak size. For hosts to call once at start, before other
// threads exist (the library leaves the heap of its host as it is).
void TuneHeapForLargeTables();

// Gives the free memory of the C heap back to the system (all of it, not only what lies at the heap's end),
// after work that needed much memory for a while: what comes next then grows from the memory it touches itself
// instead of keeping all that the work left behind. Takes some milliseconds.
void ReleaseFreeHeap();

// Runs the program anew, once, with the C heap told to back its memory with huge pages (the C library takes
// that only from the environment it starts with): a table of millions of values is then read and written with
// a fraction of the page faults and address translations. Returns only when the process goes on as it is:
// already restarted, the setting already chosen (an explicit glibc.malloc.hugetlb in GLIBC_TUNABLES is left as
// it stands, so a user can also switch it off), or the restart failed. For programs to call first in main.
void RestartWithHugePageHeap(char** argv);

} // namespace platform
