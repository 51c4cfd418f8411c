// The packed per-record value indices: widths, layouts, widening, growth, checkpoints and failures.

#include "engine/FieldArray.h"
#include "platform/Parallel.h"
#include "tests/engine/StorageTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace
{

// A field array with a std::vector shadow of what every record should read back.
class CShadowedFieldArray
{
public:
    explicit CShadowedFieldArray(CTableAllocator* allocator) { m_array.SetTable(allocator); }

    void Set(long recordNumber, long index)
    {
        const CRecord record = MakeRecord(static_cast<int32_t>(recordNumber));
        m_array.SetAt(&record, index);
        if (static_cast<size_t>(recordNumber) >= m_vShadow.size())
            m_vShadow.resize(static_cast<size_t>(recordNumber) + 1, -1);
        m_vShadow[static_cast<size_t>(recordNumber)] = index;
    }

    // Every record up to a little beyond the size reads back what the shadow says.
    void Check(const char* step) const
    {
        SCOPED_TRACE(step);
        ASSERT_TRUE(m_array.ValidateFull());
        ASSERT_EQ(m_array.GetSize(), static_cast<long>(m_vShadow.size()));
        for (long r = 0; r < m_array.GetSize() + 10; ++r)
        {
            const long nExpected = static_cast<size_t>(r) < m_vShadow.size() ? m_vShadow[static_cast<size_t>(r)] : -1;
            ASSERT_EQ(m_array.GetAt(r), nExpected) << "record " << r;
        }
        // The bulk read gives the same, for the records out of order (odd ones first, then even ones backwards).
        std::vector<CRecord> records;
        for (long r = 1; r < m_array.GetSize() + 10; r += 2)
            records.push_back(MakeRecord(static_cast<int32_t>(r)));
        for (long r = (m_array.GetSize() + 9) / 2 * 2; r >= 0; r -= 2)
            records.push_back(MakeRecord(static_cast<int32_t>(r)));
        std::vector<const CRecord*> pointers;
        for (const CRecord& record : records)
            pointers.push_back(&record);
        std::vector<uint32_t> indices(records.size());
        const size_t none = m_array.GetAtBulk(pointers.data(), pointers.size(), indices.data());
        size_t expectedNone = 0;
        for (size_t i = 0; i < records.size(); ++i)
        {
            const long expected = m_array.GetAt(records[i].m_nRecordNumber);
            expectedNone += expected < 0;
            ASSERT_EQ(indices[i], expected < 0 ? CFieldArray::s_nNoIndex : static_cast<uint32_t>(expected))
                << "record " << records[i].m_nRecordNumber;
        }
        EXPECT_EQ(none, expectedNone);
    }

    CFieldArray m_array;
    std::vector<long> m_vShadow;
};

// Every field array of a test allocates from the test's allocator.
class StorageFieldArray : public ::testing::Test
{
protected:
    CTableAllocator allocator;
};

} // namespace

TEST_F(StorageFieldArray, WidensThroughEveryWidthKeepingEarlierValues)
{
    CShadowedFieldArray field(&allocator);
    EXPECT_EQ(field.m_array.GetWidthCode(), CFieldArray::s_nNoWidth);
    EXPECT_EQ(field.m_array.GetAt(0), -1);

    // "x" on three records and "y" on a fourth: stored 1, 1, 1, 2 in one byte at width -2.
    field.Set(0, 0);
    field.Set(1, 0);
    field.Set(2, 0);
    field.Set(3, 1);
    EXPECT_EQ(field.m_array.GetWidthCode(), -2);
    EXPECT_EQ(field.m_array.GetPlane(0)[0], 0x56);
    field.Check("two values");

    // Third and fourth distinct value: the fourth (stored 4) needs nibbles.
    field.Set(4, 2);
    EXPECT_EQ(field.m_array.GetWidthCode(), -2);
    field.Set(5, 3);
    EXPECT_EQ(field.m_array.GetWidthCode(), -1);
    EXPECT_EQ(field.m_array.GetPlane(0)[0], 0x11);
    EXPECT_EQ(field.m_array.GetPlane(0)[1], 0x12);
    EXPECT_EQ(field.m_array.GetPlane(0)[2], 0x34);
    field.Check("four values");

    // Up to the 15th distinct value nibbles suffice; the 16th (stored 16) needs a byte.
    for (long index = 4; index <= 14; ++index)
        field.Set(index + 2, index);
    EXPECT_EQ(field.m_array.GetWidthCode(), -1);
    field.Check("fifteen values");
    field.Set(17, 15);
    EXPECT_EQ(field.m_array.GetWidthCode(), 1);
    EXPECT_EQ(field.m_array.GetPlane(0)[17], 16);
    field.Check("sixteen values");

    // Then random records with random values, each width's largest index forcing the next width.
    std::mt19937 random(20250225);
    struct SStep
    {
        int m_nWidth;
        long m_nLargestIndex;
    };
    const SStep aSteps[] = {{1, 254}, {2, 65534}, {3, 16777214}, {4, 2000000000}};
    for (const SStep& step : aSteps)
    {
        std::uniform_int_distribution<long> record(0, 3000);
        std::uniform_int_distribution<long> index(-1, step.m_nLargestIndex);
        field.Set(record(random), step.m_nLargestIndex);
        for (int i = 0; i < 2000; ++i)
            field.Set(record(random), index(random));
        EXPECT_EQ(field.m_array.GetWidthCode(), step.m_nWidth);
        EXPECT_NE(field.m_array.GetPlane(step.m_nWidth - 1), nullptr);
        field.Check("random values");
    }
}

TEST_F(StorageFieldArray, JumpsSeveralWidthsAtOnce)
{
    for (long nLargest : {200L, 60000L, 70000L, 2147483646L})
    {
        SCOPED_TRACE(nLargest);
        CShadowedFieldArray field(&allocator);
        for (long r = 0; r < 1003; ++r)
            field.Set(r, r % 3 == 0 ? -1 : r % 3);
        ASSERT_EQ(field.m_array.GetWidthCode(), -2);
        field.Set(777, nLargest);
        EXPECT_EQ(field.m_array.GetWidthCode(), CFieldArray::WidthCodeFor(static_cast<uint64_t>(nLargest) + 1));
        field.Check("after the jump");
    }
}

TEST_F(StorageFieldArray, WidthCodesAndBytesPerPlane)
{
    // The narrowest width for the largest stored value, at each boundary.
    const std::pair<uint64_t, int> boundaries[] = {{0, -2},    {3, -2},       {4, -1},      {15, -1},
                                                   {16, 1},    {255, 1},      {256, 2},     {65535, 2},
                                                   {65536, 3}, {16777215, 3}, {16777216, 4}};
    for (const auto& [largest, width] : boundaries)
        EXPECT_EQ(CFieldArray::WidthCodeFor(largest), width) << largest;

    struct SCase
    {
        long m_nLargestStored;
        int m_nWidth;
        size_t m_nBytesPerPlane;
        size_t m_nAllBytes;
    };
    const SCase aCases[] = {{3, -2, 251, 251},      {15, -1, 501, 501},     {255, 1, 1001, 1001},
                            {65535, 2, 1001, 2002}, {65536, 3, 1001, 3003}, {16777216, 4, 1001, 4004}};
    for (const SCase& c : aCases)
    {
        SCOPED_TRACE(c.m_nWidth);
        CFieldArray field;
        field.SetTable(&allocator);
        field.SetMaxSize(1001, c.m_nLargestStored, false);
        EXPECT_EQ(field.GetWidthCode(), c.m_nWidth);
        EXPECT_EQ(field.GetCapacity(), 1001);
        EXPECT_EQ(field.GetNrOfBytes(), c.m_nBytesPerPlane);
        EXPECT_EQ(field.GetAllocatedMemory(), c.m_nAllBytes);
        EXPECT_TRUE(field.ValidateFull());
    }

    // A yes/no attribute over a million records: 2 bits each.
    CFieldArray yesNo;
    yesNo.SetTable(&allocator);
    yesNo.SetMaxSize(1000000, 0, false);
    for (int32_t r = 0; r < 1000000; ++r)
    {
        const CRecord record = MakeRecord(r);
        yesNo.SetAt(&record, r % 7 == 0 ? 1 : 0);
    }
    EXPECT_EQ(yesNo.GetWidthCode(), -2);
    EXPECT_EQ(yesNo.GetAllocatedMemory(), 250000u);
    EXPECT_EQ(yesNo.GetAt(999999), 999999 % 7 == 0 ? 1 : 0);
}

TEST_F(StorageFieldArray, CapacityGrowsAheadOfTheRecordsAndNeverShrinks)
{
    // A record just beyond the capacity, or a far one, makes room for itself and keeps what was stored.
    CFieldArray field;
    field.SetTable(&allocator);
    for (int32_t r : {0, 1, 499, 500, 1000, 150000, 150001})
    {
        const CRecord record = MakeRecord(r);
        field.SetAt(&record, r % 3);
        ASSERT_GT(field.GetCapacity(), r);
        ASSERT_EQ(field.GetSize(), r + 1);
    }
    EXPECT_EQ(field.GetAt(149999), -1);
    EXPECT_EQ(field.GetAt(150000), 150000 % 3);
    EXPECT_EQ(field.GetAt(499), 499 % 3);
    EXPECT_TRUE(field.ValidateFull());

    // Without the grow flag the capacity becomes exactly what was asked, and it never shrinks.
    CFieldArray exact;
    exact.SetTable(&allocator);
    exact.SetMaxSize(1234, 1, false);
    EXPECT_EQ(exact.GetCapacity(), 1234);
    exact.SetMaxSize(10, 1, false);
    EXPECT_EQ(exact.GetCapacity(), 1234);
    EXPECT_EQ(exact.GetNrOfBytes(), 309u);
    EXPECT_TRUE(exact.ValidateFull());
}

TEST_F(StorageFieldArray, ReadsUndefinedOutsideAndAfterSetUndefined)
{
    CShadowedFieldArray field(&allocator);
    for (long r = 0; r < 40; ++r)
        field.Set(r, r % 20);
    EXPECT_EQ(field.m_array.GetAt(-1), -1);
    EXPECT_EQ(field.m_array.GetAt(40), -1);
    EXPECT_EQ(field.m_array.GetAt(499), -1);
    EXPECT_EQ(field.m_array.GetAt(1L << 40), -1);

    field.m_array.SetUndefined(7);
    field.m_vShadow[7] = -1;
    field.m_array.SetUndefined(39);
    field.m_vShadow[39] = -1;
    field.m_array.SetUndefined(400); // beyond the size: nothing changes
    EXPECT_EQ(field.m_array.GetSize(), 40);
    field.Check("after SetUndefined");

    field.Set(3, -1); // storing "no index" through SetAt
    field.Check("after SetAt -1");
}

TEST_F(StorageFieldArray, SetAtNoGrowStoresWithinRoomAndGrowsOutsideIt)
{
    CFieldArray field;
    field.SetTable(&allocator);
    field.SetMaxSize(100, 10, false);
    ASSERT_EQ(field.GetWidthCode(), -1);
    field.SetAtNoGrow(0, 9);
    field.SetAtNoGrow(57, 3);
    EXPECT_EQ(field.GetSize(), 58);
    EXPECT_EQ(field.GetCapacity(), 100);
    EXPECT_EQ(field.GetAt(0), 9);
    EXPECT_EQ(field.GetAt(57), 3);
    EXPECT_EQ(field.GetAt(56), -1);

    // Outside the room it behaves like SetAt rather than writing out of bounds.
    field.SetAtNoGrow(100, 300);
    EXPECT_EQ(field.GetWidthCode(), 2);
    EXPECT_GE(field.GetCapacity(), 101);
    EXPECT_EQ(field.GetAt(100), 300);
    EXPECT_EQ(field.GetAt(0), 9);
    EXPECT_TRUE(field.ValidateFull());
}

TEST_F(StorageFieldArray, SetAtNoGrowFromParallelWritersOfNeighbouringRecords)
{
    // Records that share a byte are written by different tasks (grain 1); none may lose another's write.
    for (long nLargestStored : {3L, 15L, 200L})
    {
        SCOPED_TRACE(nLargestStored);
        CFieldArray field;
        field.SetTable(&allocator);
        const long nRecords = 200001;
        field.SetMaxSize(nRecords, nLargestStored, false);
        auto indexOf = [nLargestStored](long r) { return (r * 7 + r / 3) % nLargestStored; };
        platform::ParallelFor(0, static_cast<size_t>(nRecords), 1,
                              [&](size_t begin, size_t end)
                              {
                                  for (size_t r = begin; r < end; ++r)
                                      field.SetAtNoGrow(static_cast<long>(r), indexOf(static_cast<long>(r)));
                              });
        EXPECT_EQ(field.GetSize(), nRecords);
        long nWrong = 0;
        for (long r = 0; r < nRecords; ++r)
            nWrong += field.GetAt(r) != indexOf(r) ? 1 : 0;
        EXPECT_EQ(nWrong, 0);
        EXPECT_TRUE(field.ValidateFull());
    }
}

TEST_F(StorageFieldArray, CheckpointDropsAppendedRecordsAndKeepsTheWidth)
{
    CShadowedFieldArray field(&allocator);
    for (long r = 0; r < 1000; ++r)
        field.Set(r, r % 3);
    ASSERT_EQ(field.m_array.GetWidthCode(), -2);
    ASSERT_EQ(field.m_array.GetCapacity(), 1000);
    field.m_array.CreateCheckpoint();

    // Append far beyond the capacity and widen to two planes, also rewriting an old record.
    for (long r = 1000; r < 5000; ++r)
        field.Set(r, r % 300);
    field.Set(10, 2);
    ASSERT_EQ(field.m_array.GetWidthCode(), 2);

    field.m_array.RestoreCheckpoint();
    field.m_vShadow.resize(1000);
    EXPECT_EQ(field.m_array.GetSize(), 1000);
    EXPECT_EQ(field.m_array.GetCapacity(), 1000);
    EXPECT_EQ(field.m_array.GetWidthCode(), 2);
    EXPECT_EQ(field.m_array.GetNrOfBytes(), 1000u); // bytes of the current width, not the checkpointed 250
    EXPECT_EQ(field.m_array.GetAllocatedMemory(), 2000u);
    field.Check("after restore");

    // Records set again beyond the restored size see no leftovers of the dropped ones.
    field.Set(1500, 4);
    field.Check("after a new append");

    // The checkpoint stays until deleted; restoring twice is harmless.
    field.m_array.RestoreCheckpoint();
    field.m_vShadow.resize(1000);
    field.Check("second restore");
    field.m_array.DeleteCheckpoint();
    field.Set(1200, 1);
    field.m_array.RestoreCheckpoint();
    field.Check("restore without a checkpoint does nothing");
}

TEST_F(StorageFieldArray, CheckpointOnSubByteWidthsClearsPartlyUsedBytes)
{
    for (long nIndex : {2L, 9L})
    {
        SCOPED_TRACE(nIndex);
        CShadowedFieldArray field(&allocator);
        for (long r = 0; r < 5; ++r)
            field.Set(r, nIndex);
        field.m_array.CreateCheckpoint();
        for (long r = 5; r < 11; ++r)
            field.Set(r, nIndex);
        field.m_array.RestoreCheckpoint();
        field.m_vShadow.resize(5);
        field.Check("after restore");
        field.Set(9, 0);
        field.Check("after a new append");
    }
}

TEST_F(StorageFieldArray, FailedGrowthOrWideningLeavesTheArrayUnchanged)
{
    CShadowedFieldArray field(&allocator);
    for (long r = 0; r < 700; ++r)
        field.Set(r, r % 15);
    const int nWidth = field.m_array.GetWidthCode();
    const long nCapacity = field.m_array.GetCapacity();
    const size_t nMemory = field.m_array.GetAllocatedMemory();
    auto checkUnchanged = [&]
    {
        EXPECT_EQ(field.m_array.GetWidthCode(), nWidth);
        EXPECT_EQ(field.m_array.GetCapacity(), nCapacity);
        EXPECT_EQ(field.m_array.GetAllocatedMemory(), allocator.GetAllocatedBytes());
        field.Check("after a failure");
        allocator.RefillReserve();
    };

    // Widening from nibbles to three planes and growing: first the growth of plane 0 fails, then the new
    // plane 1 (plane 0 keeps the room it got), then the new plane 2 would, but by then plane 0 needs no
    // allocation any more, so the third attempt succeeds.
    const CRecord record = MakeRecord(5000);
    const int nFailures = RunFailureLoop([&] { field.m_array.SetAt(&record, 70000); }, checkUnchanged);
    EXPECT_EQ(nFailures, 2);
    field.m_vShadow.resize(5001, -1);
    field.m_vShadow[5000] = 70000;
    field.Check("after success");
    EXPECT_GT(field.m_array.GetAllocatedMemory(), nMemory);

    // Widening without growth from one byte to four planes: planes 1, 2 and 3 are new, and when a later one
    // fails the earlier new ones are given back.
    CShadowedFieldArray bytes(&allocator);
    for (long r = 0; r < 400; ++r)
        bytes.Set(r, r % 200);
    const size_t nBefore = allocator.GetAllocatedBytes();
    const CRecord inside = MakeRecord(123);
    const int nPlaneFailures = RunFailureLoop([&] { bytes.m_array.SetAt(&inside, 20000000); },
                                              [&]
                                              {
                                                  EXPECT_EQ(bytes.m_array.GetWidthCode(), 1);
                                                  EXPECT_EQ(allocator.GetAllocatedBytes(), nBefore);
                                                  bytes.Check("after a failed widening");
                                                  allocator.RefillReserve();
                                              });
    EXPECT_EQ(nPlaneFailures, 3);
    bytes.m_vShadow[123] = 20000000;
    bytes.Check("after the widening");
}

TEST_F(StorageFieldArray, SetTableMovesStoredValuesBetweenAllocators)
{
    CShadowedFieldArray field(nullptr);
    for (long r = 0; r < 300; ++r)
        field.Set(r, r * 101);
    EXPECT_EQ(allocator.GetAllocatedBytes(), 0u);
    field.m_array.SetTable(&allocator);
    EXPECT_EQ(allocator.GetAllocatedBytes(), field.m_array.GetAllocatedMemory());
    field.Check("after the move");
    field.m_array.RemoveAll();
    EXPECT_EQ(allocator.GetAllocatedBytes(), 0u);
    EXPECT_EQ(field.m_array.GetWidthCode(), CFieldArray::s_nNoWidth);
    EXPECT_EQ(field.m_array.GetAt(0), -1);
    EXPECT_TRUE(field.m_array.ValidateFull());
}

TEST_F(StorageFieldArray, RenumberMapsEveryRecordAtEveryWidth)
{
    // Value counts that make each width code; an odd record count leaves the last packed byte part-used.
    std::mt19937 random(7);
    for (long values : {3L, 15L, 255L, 70000L, 1L << 24})
    {
        SCOPED_TRACE(values);
        CShadowedFieldArray field(&allocator);
        const long records = 1001;
        for (long r = 0; r < records; ++r)
            field.Set(r, r % 7 == 3 ? -1 : static_cast<long>(random() % static_cast<unsigned long>(values)));
        field.Set(records + 4, values - 1); // and a gap of records without values before the last
        std::vector<int32_t> newIndex(static_cast<size_t>(values));
        for (long i = 0; i < values; ++i)
            newIndex[static_cast<size_t>(i)] = static_cast<int32_t>(values - 1 - i);
        field.m_array.Renumber(newIndex.data(), values);
        for (long& index : field.m_vShadow)
        {
            if (index >= 0)
                index = newIndex[static_cast<size_t>(index)];
        }
        field.Check("renumbered");
    }
}
