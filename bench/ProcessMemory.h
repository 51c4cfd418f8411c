#pragma once
// The memory of this process, as the benchmark programs report it.

#include <sys/resource.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>

namespace bench
{

// The resident memory now, in bytes (0 when the system does not tell).
inline size_t ResidentBytes()
{
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    long pages = 0;
    long resident = 0;
    if (statm)
    {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return static_cast<size_t>(resident) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// The peak resident memory so far, in bytes.
inline size_t PeakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<size_t>(usage.ru_maxrss) * 1024;
}

inline double MiB(double bytes)
{
    return bytes / (1024.0 * 1024.0);
}

} // namespace bench
