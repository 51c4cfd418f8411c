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

// Closes a descriptor and removes the temporary file unless released; used on every failure path.
class CTemporaryFile
{
public:
    CTemporaryFile(int fd, std::filesystem::path path) : m_nFd(fd), m_path(std::move(path)) {}
    CTemporaryFile(const CTemporaryFile&) = delete;
    CTemporaryFile& operator=(const CTemporaryFile&) = delete;
    ~CTemporaryFile()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
        if (!m_bKept)
            ::unlink(m_path.c_str());
    }

    int GetFd() const { return m_nFd; }
    const std::filesystem::path& GetPath() const { return m_path; }

    // Closes the descriptor; answers the errno of a failed close, 0 on success.
    int Close()
    {
        const int fd = m_nFd;
        m_nFd = -1;
        if (InjectFailure())
        {
            const int error = errno;
            ::close(fd);
            return error;
        }
        return ::close(fd) == 0 ? 0 : errno;
    }

    // The file has been renamed into place and must not be removed.
    void Keep() { m_bKept = true; }

private:
    int m_nFd;                    // open descriptor of the temporary file, -1 once closed
    std::filesystem::path m_path; // where the temporary file lies, in the target's folder
    bool m_bKept = false;         // true once the file became the target
};

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
    if (path.empty() || !path.has_filename())
        throw CKorvalinException(EStatus::CannotOpenFile, "cannot write '" + path.string() + "': not a file name");

    const std::filesystem::path folder = path.parent_path();

    // A replaced file keeps its permissions; a new one gets 0666 less the umask through open().
    struct stat old = {};
    const bool bReplacing = ::stat(path.c_str(), &old) == 0;
    if (bReplacing && !S_ISREG(old.st_mode))
        throw CKorvalinException(EStatus::CannotOpenFile, "cannot write '" + path.string() + "': not a regular file");

    int fd = -1;
    std::filesystem::path temporary;
    for (int attempt = 0; fd < 0; ++attempt)
    {
        temporary = folder / ("." + path.filename().string() + ".tmp." + std::to_string(::getpid()) + "." +
                              std::to_string(g_nTemporaryCounter.fetch_add(1)));
        if (InjectFailure())
            ThrowWriteError(path, "create", errno);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt >= 100))
            ThrowWriteError(path, "create", errno);
    }
    CTemporaryFile file(fd, temporary);

    if (bReplacing && ::fchmod(file.GetFd(), old.st_mode & 07777) != 0)
        ThrowWriteError(path, "permissions", errno);
    if (const int error = WriteAll(file.GetFd(), bytes); error != 0)
        ThrowWriteError(path, "write", error);
    if (InjectFailure() || ::fsync(file.GetFd()) != 0)
        ThrowWriteError(path, "sync", errno);
    if (const int error = file.Close(); error != 0)
        ThrowWriteError(path, "close", error);
    if (InjectFailure() || ::rename(file.GetPath().c_str(), path.c_str()) != 0)
        ThrowWriteError(path, "rename", errno);
    file.Keep();
    SyncFolder(folder);
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
