#pragma once
// Helpers shared by the storage tests: the allocation failure loop and record makers.

#include "engine/Allocator.h"
#include "engine/Record.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

// Switches the allocation failure seam off when a test ends, however it ends.
class CFailureSeamGuard
{
public:
    CFailureSeamGuard() = default;
    ~CFailureSeamGuard() { CTableAllocator::SetFailureCountdown(0); }
    CFailureSeamGuard(const CFailureSeamGuard&) = delete;
    CFailureSeamGuard& operator=(const CFailureSeamGuard&) = delete;
};

// Runs operation with the 1st, 2nd, 3rd ... allocation failing until it succeeds; after every failure
// checkUnchanged() verifies that the structure is as before. Returns the number of failed attempts.
template <typename TOperation, typename TCheck> int RunFailureLoop(TOperation operation, TCheck checkUnchanged)
{
    CFailureSeamGuard guard;
    for (long n = 1; n <= 64; ++n)
    {
        CTableAllocator::SetFailureCountdown(n);
        try
        {
            operation();
            CTableAllocator::SetFailureCountdown(0);
            return static_cast<int>(n - 1);
        }
        catch (const COutOfMemoryException&)
        {
            CTableAllocator::SetFailureCountdown(0);
            checkUnchanged();
        }
    }
    ADD_FAILURE() << "the operation never succeeded";
    return -1;
}

// A free-standing record with the given number, for structures that only read the number.
inline CRecord MakeRecord(int32_t recordNumber)
{
    return CRecord{nullptr, recordNumber, 1, 1, 0};
}
