#pragma once
// The one seam between the library and the file system for whole-file reads and
// crash-safe writes. Every low-level step of a write (create, write, sync, close,
// rename) passes a fault-injection point, so tests can make the N-th step fail and
// check that the old file survives. All functions may be called from any thread;
// the fault countdown is process-wide.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform
{

// Replaces the file at path by bytes, or leaves it untouched. Writes a temporary file
// in the same folder, syncs it to disk, then renames it over the old file, so a crash
// at any moment leaves either the old or the new content. A new file gets the default
// permissions (0666 less the umask); a replaced file keeps its permissions. On failure
// the temporary file is removed and CKorvalinException (status CannotOpenFile) is thrown,
// its message naming the file.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// The whole content of the file. Throws CArchiveException naming the file when it is
// missing or cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

// The whole content of the file, or nullopt when it does not exist. Throws
// CArchiveException when it exists but cannot be read.
std::optional<std::string> TryReadWholeFile(const std::filesystem::path& path);

// Fault injection for tests: makes the n-th low-level write step from now fail (with
// EIO) and then switches itself off; 0 switches it off at once.
void SetWriteFailureCountdown(int n);

// The steps left before the injected failure, 0 when none is pending.
int GetWriteFailureCountdown();

} // namespace platform
