#pragma once
// The one seam between the library and the file system for whole-file reads and
// crash-safe writes. Every low-level step of a write (create, write, sync, close,
// rename) passes a fault-injection point, so tests can make the N-th step fail and
// check that the old file survives. All functions may be called from any thread;
// the fault countdown is process-wide.

#include <cstdint>
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

// A file replaced by what is written to it piece by piece, as WriteFileAtomically replaces it by bytes at
// hand: the pieces go to a temporary file in the target's folder, which Commit syncs to disk and renames
// over the target. The disk is asked to write the pieces as they come, so that Commit waits for little.
// Destroyed without Commit (a failure, or the writer gave up), the temporary file is removed and the target
// stays as it was. Every failure throws CKorvalinException (status CannotOpenFile) naming the target.
// One thread at a time.
class CFileReplacement
{
public:
    explicit CFileReplacement(std::filesystem::path path);
    ~CFileReplacement();
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;

    void Write(std::string_view bytes);
    // Makes the written bytes the target's content; nothing may be written after.
    void Commit();

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    int m_nFd = -1;
    bool m_bCommitted = false;
    uint64_t m_nWritten = 0;  // bytes written so far
    uint64_t m_nHandedOn = 0; // bytes the disk was asked to write
};

// The whole content of the file. Throws CArchiveException naming the file when it is
// missing or cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

// The whole content of the file, or nullopt when it does not exist. Throws
// CArchiveException when it exists but cannot be read.
std::optional<std::string> TryReadWholeFile(const std::filesystem::path& path);

// A file opened for reading blocks at any offset, so that a large input need not be held in memory whole.
// Movable, not copyable; closes the file when destroyed. ReadAt may be called from any thread.
class CInputFile
{
public:
    // The file at path, or nullopt when it does not exist. Throws CArchiveException naming the file when it
    // exists but cannot be opened (a folder cannot be read).
    static std::optional<CInputFile> TryOpen(const std::filesystem::path& path);

    CInputFile(CInputFile&& other) noexcept;
    CInputFile& operator=(CInputFile&& other) noexcept;
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;
    ~CInputFile();

    // A plain file whose size was known when it was opened (not a pipe or a device).
    bool IsRegular() const { return m_bRegular; }
    // The size when the file was opened; 0 unless it is regular.
    uint64_t GetSize() const { return m_nSize; }
    // Reads up to size bytes from offset into out and returns how many it read: fewer only at the end of the
    // file (which may have shrunk since it was opened). A file that is not regular is read where it stands,
    // whatever the offset. Throws CArchiveException on a read error.
    size_t ReadAt(uint64_t offset, char* out, size_t size) const;
    // Everything from the start to the end of the file as it is now (a pipe: until it closes).
    std::string ReadAll() const;

private:
    CInputFile(int fd, std::filesystem::path path, bool regular, uint64_t size);
    // One read of up to size bytes (at offset when the file is regular); 0 at the end.
    size_t ReadSome(char* out, size_t size, uint64_t offset) const;

    int m_fd = -1;
    std::filesystem::path m_path; // for messages
    bool m_bRegular = false;
    uint64_t m_nSize = 0;
};

// Fault injection for tests: makes the n-th low-level write step from now fail (with
// EIO) and then switches itself off; 0 switches it off at once.
void SetWriteFailureCountdown(int n);

// The steps left before the injected failure, 0 when none is pending.
int GetWriteFailureCountdown();

} // namespace platform
