#include "FileSystem.h"

#include "Error.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{

// Pending injected failure: the number of low-level steps until one fails, 0 when off.
std::atomic<int> g_nWriteFailureCountdown{0};

// Counter that makes temporary names unique within the process.
std::atomic<unsigned> g_nTemporaryCounter{0};

// One fault-injection point. Answers true (with errno set to EIO) when this step must fail.
bool InjectFailure()
{
    int n = g_nWriteFailureCountdown.load();
    while (n > 0)
    {
        if (g_nWriteFailureCountdown.compare_exchange_weak(n, n - 1))
        {
            if (n == 1)
            {
                errno = EIO;
                return true;
            }
            return false;
        }
    }
    return false;
}

std::string ErrorText(int error)
{
    return std::strerror(error);
}

[[noreturn]] void ThrowWriteError(const std::filesystem::path& path, const char* step, int error)
{
    throw CKorvalinException(EStatus::CannotOpenFile,
                             "cannot write '" + path.string() + "' (" + step + "): " + ErrorText(error));
}

// Writes all bytes, continuing after partial writes and interrupts. Answers 0 or the errno.
int WriteAll(int fd, std::string_view bytes)
{
    constexpr size_t nChunk = 1 << 16;
    size_t done = 0;
    while (done < bytes.size())
    {
        if (InjectFailure())
            return errno;
        const size_t n = std::min(nChunk, bytes.size() - done);
        const ssize_t written = ::write(fd, bytes.data() + done, n);
        if (written < 0)
        {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += static_cast<size_t>(written);
    }
    return 0;
}

// Syncs the folder so that the rename itself survives a crash. Best effort: the new
// content is already in place when this runs.
void SyncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

void SetWriteFailureCountdown(int n)
{
    g_nWriteFailureCountdown.store(n > 0 ? n : 0);
}

int GetWriteFailureCountdown()
{
    return g_nWriteFailureCountdown.load();
}

void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes)
{
    CFileReplacement file(path);
    file.Write(bytes);
    file.Commit();
}

CFileReplacement::CFileReplacement(std::filesystem::path path) : m_target(std::move(path))
{
    if (m_target.empty() || !m_target.has_filename())
        throw CKorvalinException(EStatus::CannotOpenFile, "cannot write '" + m_target.string() + "': not a file name");

    // A replaced file keeps its permissions; a new one gets 0666 less the umask through open().
    struct stat old = {};
    const bool bReplacing = ::stat(m_target.c_str(), &old) == 0;
    if (bReplacing && !S_ISREG(old.st_mode))
        throw CKorvalinException(EStatus::CannotOpenFile,
                                 "cannot write '" + m_target.string() + "': not a regular file");

    const std::filesystem::path folder = m_target.parent_path();
    for (int attempt = 0; m_nFd < 0; ++attempt)
    {
        m_temporary = folder / ("." + m_target.filename().string() + ".tmp." + std::to_string(::getpid()) + "." +
                                std::to_string(g_nTemporaryCounter.fetch_add(1)));
        if (InjectFailure())
            ThrowWriteError(m_target, "create", errno);
        m_nFd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_nFd < 0 && (errno != EEXIST || attempt >= 100))
            ThrowWriteError(m_target, "create", errno);
    }
    if (bReplacing && ::fchmod(m_nFd, old.st_mode & 07777) != 0)
    {
        const int error = errno;
        ::close(m_nFd);
        ::unlink(m_temporary.c_str());
        ThrowWriteError(m_target, "permissions", error);
    }
}

CFileReplacement::~CFileReplacement()
{
    if (m_nFd >= 0)
        ::close(m_nFd);
    if (!m_bCommitted)
        ::unlink(m_temporary.c_str());
}

void CFileReplacement::Write(std::string_view bytes)
{
    if (m_nFd < 0)
        ThrowWriteError(m_target, "write", EBADF);
    if (const int error = WriteAll(m_nFd, bytes); error != 0)
        ThrowWriteError(m_target, "write", error);
    m_nWritten += bytes.size();
    // Whole blocks of a few megabytes are handed to the disk now (without waiting): left to the system, they
    // would wait in memory for the sync.
    constexpr uint64_t kHandOn = 8 << 20;
    if (m_nWritten - m_nHandedOn >= kHandOn)
    {
        (void)::sync_file_range(m_nFd, static_cast<off_t>(m_nHandedOn), static_cast<off_t>(m_nWritten - m_nHandedOn),
                                SYNC_FILE_RANGE_WRITE);
        m_nHandedOn = m_nWritten;
    }
}

void CFileReplacement::Commit()
{
    if (m_nFd < 0)
        ThrowWriteError(m_target, "sync", EBADF);
    if (InjectFailure() || ::fsync(m_nFd) != 0)
        ThrowWriteError(m_target, "sync", errno);
    const int fd = std::exchange(m_nFd, -1);
    if (InjectFailure())
    {
        const int error = errno;
        ::close(fd);
        ThrowWriteError(m_target, "close", error);
    }
    if (::close(fd) != 0)
        ThrowWriteError(m_target, "close", errno);
    if (InjectFailure() || ::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        ThrowWriteError(m_target, "rename", errno);
    m_bCommitted = true;
    SyncFolder(m_target.parent_path());
}

CInputFile::CInputFile(int fd, std::filesystem::path path, bool regular, uint64_t size)
    : m_fd(fd), m_path(std::move(path)), m_bRegular(regular), m_nSize(size)
{
}

CInputFile::CInputFile(CInputFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)), m_bRegular(other.m_bRegular),
      m_nSize(other.m_nSize)
{
}

CInputFile& CInputFile::operator=(CInputFile&& other) noexcept
{
    if (this != &other)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_bRegular = other.m_bRegular;
        m_nSize = other.m_nSize;
    }
    return *this;
}

CInputFile::~CInputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<CInputFile> CInputFile::TryOpen(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
    {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        throw CArchiveException(path.string(), 0, 0, "cannot open: " + ErrorText(errno));
    }
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode))
    {
        ::close(fd);
        throw CArchiveException(path.string(), 0, 0, "cannot read: " + ErrorText(EISDIR));
    }
    const bool regular = S_ISREG(info.st_mode);
    return CInputFile(fd, path, regular, regular ? static_cast<uint64_t>(info.st_size) : 0);
}

size_t CInputFile::ReadSome(char* out, size_t size, uint64_t offset) const
{
    for (;;)
    {
        // A regular file is read at the offset; anything else (a pipe) where it stands.
        const ssize_t n = m_bRegular ? ::pread(m_fd, out, size, static_cast<off_t>(offset)) : ::read(m_fd, out, size);
        if (n >= 0)
            return static_cast<size_t>(n);
        if (errno != EINTR)
            throw CArchiveException(m_path.string(), 0, 0, "cannot read: " + ErrorText(errno));
    }
}

size_t CInputFile::ReadAt(uint64_t offset, char* out, size_t size) const
{
    size_t done = 0;
    while (done < size)
    {
        const size_t n = ReadSome(out + done, size - done, offset + done);
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

std::string CInputFile::ReadAll() const
{
    // Read straight into the string, sized from the file's size; a file that grows meanwhile (or a pipe,
    // whose size is 0) is read on in doubling steps until its end.
    std::string content;
    content.resize(std::max<size_t>(static_cast<size_t>(m_nSize) + 1, 1 << 16));
    size_t used = 0;
    for (;;)
    {
        if (used == content.size())
            content.resize(content.size() * 2);
        const size_t n = ReadSome(content.data() + used, content.size() - used, used);
        if (n == 0)
            break;
        used += n;
    }
    content.resize(used);
    return content;
}

std::optional<std::string> TryReadWholeFile(const std::filesystem::path& path)
{
    std::optional<CInputFile> file = CInputFile::TryOpen(path);
    if (!file)
        return std::nullopt;
    return file->ReadAll();
}

std::string ReadWholeFile(const std::filesystem::path& path)
{
    std::optional<std::string> content = TryReadWholeFile(path);
    if (!content)
        throw CArchiveException(path.string(), 0, 0, "file not found");
    return std::move(*content);
}

} // namespace platform
