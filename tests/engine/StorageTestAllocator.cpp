// The table allocator, its failure seam and reserve, and the prime list for hash sizes.

#include "engine/Allocator.h"
#include "engine/PrimeSizes.h"
#include "tests/engine/StorageTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include <unistd.h>

namespace
{

bool AllZero(const void* p, size_t bytes)
{
    const auto* pBytes = static_cast<const unsigned char*>(p);
    return std::all_of(pBytes, pBytes + bytes, [](unsigned char b) { return b == 0; });
}

} // namespace

TEST(StorageAllocator, HandsOutZeroFilledMemoryAndCountsLiveBytes)
{
    CTableAllocator allocator;
    EXPECT_EQ(allocator.GetReserveBytes(), CTableAllocator::s_nReserveBytes);
    void* p = allocator.AllocateMemory(1000);
    void* q = allocator.AllocateMemory(0);
    ASSERT_NE(p, nullptr);
    ASSERT_NE(q, nullptr);
    EXPECT_NE(p, q);
    EXPECT_TRUE(AllZero(p, 1000));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
    EXPECT_EQ(allocator.GetAllocatedBytes(), 1000u);

    // Growing keeps the contents and zero-fills the new part; shrinking keeps the front.
    std::memset(p, 0xAB, 1000);
    p = allocator.ReallocateMemory(p, 1000, 300000);
    EXPECT_EQ(static_cast<unsigned char*>(p)[999], 0xAB);
    EXPECT_TRUE(AllZero(static_cast<char*>(p) + 1000, 299000));
    EXPECT_EQ(allocator.GetAllocatedBytes(), 300000u);
    p = allocator.ReallocateMemory(p, 300000, 10);
    EXPECT_EQ(static_cast<unsigned char*>(p)[9], 0xAB);
    EXPECT_EQ(allocator.GetAllocatedBytes(), 10u);

    // Size 0 frees and gives null; null reallocates as a fresh allocation.
    EXPECT_EQ(allocator.ReallocateMemory(p, 10, 0), nullptr);
    EXPECT_EQ(allocator.GetAllocatedBytes(), 0u);
    void* r = allocator.ReallocateMemory(nullptr, 0, 64);
    EXPECT_TRUE(AllZero(r, 64));
    EXPECT_EQ(allocator.GetAllocatedBytes(), 64u);
    allocator.FreeMemory(r);
    allocator.FreeMemory(q);
    allocator.FreeMemory(nullptr);
    EXPECT_EQ(allocator.GetAllocatedBytes(), 0u);
}

TEST(StorageAllocator, TheNthAllocationFailsReleasesTheReserveAndThrows)
{
    CFailureSeamGuard guard;
    CTableAllocator allocator;
    CTableAllocator::SetFailureCountdown(3);
    void* p1 = allocator.AllocateMemory(16);
    void* p2 = allocator.ReallocateMemory(nullptr, 0, 16);
    try
    {
        allocator.AllocateMemory(2'000'000);
        FAIL() << "the third allocation should fail";
    }
    catch (const COutOfMemoryException& e)
    {
        EXPECT_EQ(e.GetRequestedBytes(), 2'000'000u);
        EXPECT_EQ(e.GetStatus(), EStatus::CannotExecuteFunction);
    }
    EXPECT_EQ(allocator.GetReserveBytes(), 0u);
    EXPECT_EQ(allocator.GetAllocatedBytes(), 32u);

    // The seam fires once; the reserve comes back on request.
    void* p3 = allocator.AllocateMemory(16);
    allocator.RefillReserve();
    EXPECT_EQ(allocator.GetReserveBytes(), CTableAllocator::s_nReserveBytes);

    // A failing growth leaves the block and its contents as they were; shrinking never fails.
    std::memset(p3, 0x5A, 16);
    CTableAllocator::SetFailureCountdown(1);
    EXPECT_THROW(allocator.ReallocateMemory(p3, 16, 4096), COutOfMemoryException);
    EXPECT_EQ(static_cast<unsigned char*>(p3)[15], 0x5A);
    EXPECT_EQ(allocator.GetAllocatedBytes(), 48u);
    CTableAllocator::SetFailureCountdown(1);
    p3 = allocator.ReallocateMemory(p3, 16, 8);
    EXPECT_EQ(static_cast<unsigned char*>(p3)[7], 0x5A);
    EXPECT_EQ(allocator.GetAllocatedBytes(), 40u);
    CTableAllocator::SetFailureCountdown(0);

    // A request no heap can meet fails as memory exhaustion, not as a crash.
    EXPECT_THROW(allocator.AllocateMemory(SIZE_MAX - 8), COutOfMemoryException);
    allocator.RefillReserve();

    allocator.FreeMemory(p1);
    allocator.FreeMemory(p2);
    allocator.FreeMemory(p3);
    EXPECT_EQ(allocator.GetAllocatedBytes(), 0u);
}

TEST(StorageAllocator, DetachedMemoryFollowsTheSameRules)
{
    CFailureSeamGuard guard;
    void* p = CTableAllocator::AllocateDetached(100);
    EXPECT_TRUE(AllZero(p, 100));
    std::memset(p, 1, 100);
    p = CTableAllocator::ReallocateDetached(p, 5000);
    EXPECT_EQ(static_cast<unsigned char*>(p)[99], 1);
    EXPECT_TRUE(AllZero(static_cast<char*>(p) + 100, 4900));
    CTableAllocator::SetFailureCountdown(1);
    EXPECT_THROW(CTableAllocator::ReallocateDetached(p, 50000), COutOfMemoryException);
    EXPECT_EQ(static_cast<unsigned char*>(p)[0], 1);
    EXPECT_EQ(CTableAllocator::ReallocateDetached(p, 0), nullptr);
    CTableAllocator::FreeDetached(nullptr);
}

TEST(StoragePrimeSizes, FirstListedPrimeAtLeastNPlusATenth)
{
    // Beyond the list of primes the size is m itself.
    EXPECT_EQ(PrimeHashSize(5000000000), 5500000000u);

    // Never below m = n + n / 10, never decreasing, and prime while the list lasts.
    auto isPrime = [](size_t v)
    {
        for (size_t d = 2; d * d <= v; ++d)
            if (v % d == 0)
                return false;
        return v > 1;
    };
    size_t nPrevious = 0;
    for (size_t n = 0; n < 3000000; n += 997)
    {
        const size_t nSize = PrimeHashSize(n);
        ASSERT_GE(nSize, n + n / 10);
        ASSERT_TRUE(isPrime(nSize)) << n;
        ASSERT_GE(nSize, nPrevious);
        nPrevious = nSize;
    }
}

namespace
{
// The resident memory of this process, in bytes.
size_t ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}
} // namespace

TEST(StorageAllocator, RoomThatNeedNotBeClearedCostsNoMemoryUntilUsed)
{
    // A reservation of 256 MB for an array that writes its slots before reading them: the old content moves,
    // the rest stays untouched. The same growth cleared touches all of it, and reads as zeros.
    CTableAllocator allocator;
    constexpr size_t kOld = 1 << 20;
    constexpr size_t kNew = size_t{256} << 20;
    auto grow = [&](bool clear, size_t* grown)
    {
        auto* p = static_cast<unsigned char*>(allocator.AllocateMemory(kOld));
        std::memset(p, 7, kOld);
        const size_t before = ResidentBytes();
        p = static_cast<unsigned char*>(allocator.ReallocateMemory(p, kOld, kNew, clear));
        *grown = ResidentBytes() - std::min(before, ResidentBytes());
        EXPECT_EQ(p[0], 7);
        EXPECT_EQ(p[kOld - 1], 7);
        EXPECT_EQ(allocator.GetAllocatedBytes(), kNew);
        return p;
    };
    size_t uncleared = 0;
    unsigned char* p = grow(false, &uncleared);
    allocator.FreeMemory(p);
    size_t cleared = 0;
    p = grow(true, &cleared);
    EXPECT_TRUE(AllZero(p + kOld, kNew - kOld));
    allocator.FreeMemory(p);
    EXPECT_GE(cleared, kNew / 2);
    EXPECT_LT(uncleared, cleared / 4);
}
