#pragma once
// Small operating-system services: unique ids, clocks, user-interface timings and
// the user's configuration folder. Every function may be called from any thread.

#include "platform/Text.h"

#include <cstdint>
#include <filesystem>
#include <vector>

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

// Tells the system that [p, p + bytes), a large buffer not yet touched, may be backed by huge pages (for its
// whole 2 MB pages). Filling fresh memory then costs a fault per 2 MB instead of per 4 KB, and reading it at
// random places misses fewer address translations. Buffers under 4 MB are left alone. Only a hint: does nothing
// where unsupported.
void AdviseHugePages(void* p, size_t bytes);

// Tunes the C heap of the process for tables of hundreds of megabytes: large blocks come from the heap rather
// than from mappings of their own, and freed memory is kept for the next blocks rather than given back at
// once. Fresh pages from the system are what a large read spends most of its system time on, so reusing them
// pays; the price is that the process stays at its peak size. For hosts to call once at start, before other
// threads exist (the library leaves the heap of its host as it is).
void TuneHeapForLargeTables();

// Reserves room for n elements of v, advised for huge pages when large. Call it before the elements are
// written, as the advice only helps pages not yet touched.
template <typename T> void ReserveLarge(std::vector<T>& v, size_t n)
{
    v.reserve(n);
    AdviseHugePages(v.data(), v.capacity() * sizeof(T));
}

} // namespace platform
