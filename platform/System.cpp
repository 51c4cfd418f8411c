#include "System.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <malloc.h>
#include <pwd.h>
#include <unistd.h>
#include <uuid/uuid.h>

namespace platform
{

KString NewUuid()
{
    uuid_t uuid;
    uuid_generate_random(uuid);
    char text[37];
    uuid_unparse_lower(uuid, text);
    return KString(text, text + 36);
}

uint64_t GetTickCountMs()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

int GetDoubleClickTimeMs()
{
    return 500;
}

int GetSystemIconWidth()
{
    return 32;
}

KString GetComputerName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == 0)
        return u"localhost";
    return FromUtf8(name);
}

namespace
{
// The folder named by the variable when it holds an absolute path, else the folder below the home folder.
std::filesystem::path UserFolder(const char* variable, const char* belowHome)
{
    const char* named = std::getenv(variable);
    if (named != nullptr && named[0] == '/')
        return std::filesystem::path(named) / "korvalin";

    const char* home = std::getenv("HOME");
    std::string homeFolder = home != nullptr ? home : "";
    if (homeFolder.empty())
    {
        // No HOME: ask the password database (getpwuid_r is safe from any thread).
        struct passwd entry = {};
        struct passwd* result = nullptr;
        char buffer[4096];
        if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &result) == 0 && result != nullptr &&
            result->pw_dir != nullptr)
            homeFolder = result->pw_dir;
    }
    if (homeFolder.empty())
        homeFolder = "/tmp";
    return std::filesystem::path(homeFolder) / belowHome / "korvalin";
}
} // namespace

std::filesystem::path GetUserConfigFolder()
{
    return UserFolder("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path GetUserCacheFolder()
{
    return UserFolder("XDG_CACHE_HOME", ".cache");
}

void TuneHeapForLargeTables()
{
#ifdef M_MMAP_THRESHOLD
    (void)mallopt(M_MMAP_THRESHOLD, 512 << 20);
    (void)mallopt(M_TRIM_THRESHOLD, 512 << 20);
    (void)mallopt(M_TOP_PAD, 64 << 20);
#endif
}

void ReleaseFreeHeap()
{
    (void)malloc_trim(0);
}

void RestartWithHugePageHeap(char** argv)
{
    constexpr const char* kSetting = "glibc.malloc.hugetlb";
    const char* found = std::getenv("GLIBC_TUNABLES");
    const std::string before = found != nullptr ? found : "";
    if (found != nullptr && before.find(kSetting) != std::string::npos)
        return;
    std::string value = before.empty() ? std::string() : before + ":";
    value += std::string(kSetting) + "=1";
    if (setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0)
        return;
    execv("/proc/self/exe", argv);
    // Could not restart: go on with the heap as it is, and leave the environment as it was for child processes.
    if (found != nullptr)
        setenv("GLIBC_TUNABLES", before.c_str(), 1);
    else
        unsetenv("GLIBC_TUNABLES");
}

} // namespace platform
