// The record store and ordered record arrays.

#include "engine/RecordArray.h"
#include "engine/RecordStore.h"
#include "engine/Set.h"
#include "tests/engine/StorageTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace
{

// The record numbers of an array, in order, as "0 3 4" (easy to compare and to read in a failure).
std::string Numbers(const CRecordArray& records)
{
    std::string text;
    for (long i = 0; i < records.GetSize(); ++i)
    {
        if (i > 0)
            text += ' ';
        text += std::to_string(records.GetRecord(i)->m_nRecordNumber);
    }
    return text;
}

// An allocator with a record store on it.
class StorageRecordStore : public ::testing::Test
{
protected:
    CTableAllocator allocator;
    CRecordStore store{allocator};
};

// And an empty record array that allocates from the allocator too.
class StorageRecordArray : public StorageRecordStore
{
protected:
    StorageRecordArray() { records.SetTable(&allocator); }
    // Appends new records numbered from to to - 1 to the array.
    void AddRecords(int32_t from, int32_t to)
    {
        for (int32_t n = from; n < to; ++n)
            records.AddRecord(store.AllocateRecord(n));
    }
    CRecordArray records;
};

} // namespace

TEST_F(StorageRecordStore, RecordsAreInitialisedAndNeverMove)
{
    std::vector<CRecord*> vRecords;
    for (int32_t n = 0; n < 50000; ++n)
    {
        CRecord* pRecord = store.AllocateRecord(n);
        ASSERT_EQ(std::tuple(pRecord->m_nRecordNumber, pRecord->m_pLink, pRecord->m_bQualified, pRecord->m_bShown,
                             pRecord->m_bOpen),
                  std::tuple(n, nullptr, 1, 1, 0));
        // Mark each record so that any move or overwrite would show.
        pRecord->m_bOpen = static_cast<uint8_t>(n % 2);
        pRecord->m_pLink = vRecords.empty() ? nullptr : vRecords.back();
        vRecords.push_back(pRecord);
    }
    EXPECT_EQ(store.GetCount(), 50000);
    EXPECT_EQ(store.GetBlockCount(), 3);
    EXPECT_EQ(store.GetAllocatedBytes(), 3u * 320000u);
    EXPECT_TRUE(store.Validate());
    for (int32_t n = 0; n < 50000; ++n)
    {
        const CRecord* pRecord = vRecords[static_cast<size_t>(n)];
        ASSERT_EQ(pRecord->m_nRecordNumber, n);
        ASSERT_EQ(pRecord->m_bOpen, n % 2);
        ASSERT_EQ(pRecord->m_pLink, n == 0 ? nullptr : vRecords[static_cast<size_t>(n) - 1]);
    }
    // Records of one block are contiguous; the 20001st starts the next block.
    EXPECT_EQ(vRecords[19999], vRecords[0] + 19999);

    store.RemoveAll();
    EXPECT_EQ(store.GetCount(), 0);
    EXPECT_EQ(allocator.GetAllocatedBytes(), 0u);
    EXPECT_TRUE(store.Validate());
}

TEST_F(StorageRecordStore, CheckpointFreesTheBlocksAllocatedAfterIt)
{
    EXPECT_FALSE(store.RestoreCheckpoint());
    for (int32_t n = 0; n < 19990; ++n)
        store.AllocateRecord(n);
    CRecord* pLastKept = store.AllocateRecord(19990);
    store.CreateCheckpoint();
    CRecord* pFirstDropped = store.AllocateRecord(19991);
    for (int32_t n = 19992; n < 45000; ++n)
        store.AllocateRecord(n);
    EXPECT_EQ(store.GetBlockCount(), 3);

    CRecord* pInThirdBlock = store.AllocateRecord(45000);
    EXPECT_TRUE(store.Contains(pInThirdBlock));
    EXPECT_TRUE(store.RestoreCheckpoint());
    EXPECT_EQ(store.GetCount(), 19991);
    EXPECT_EQ(store.GetBlockCount(), 1);
    EXPECT_EQ(allocator.GetAllocatedBytes(), 320000u + 16u);
    EXPECT_EQ(pLastKept->m_nRecordNumber, 19990);
    EXPECT_TRUE(store.Validate());
    // Only the records still held are the store's: not the dropped ones, nor a pointer between records.
    EXPECT_TRUE(store.Contains(pLastKept));
    EXPECT_FALSE(store.Contains(pFirstDropped));
    EXPECT_FALSE(store.Contains(pInThirdBlock));
    EXPECT_FALSE(store.Contains(reinterpret_cast<const CRecord*>(reinterpret_cast<const char*>(pLastKept) + 4)));
    EXPECT_FALSE(store.Contains(nullptr));

    // The freed slot is handed out again, initialised afresh.
    CRecord* pAgain = store.AllocateRecord(19991);
    EXPECT_EQ(pAgain, pFirstDropped);
    EXPECT_EQ(pAgain->m_bQualified, 1);

    // The checkpoint stays until deleted.
    EXPECT_TRUE(store.RestoreCheckpoint());
    EXPECT_EQ(store.GetCount(), 19991);
    store.DeleteCheckpoint();
    EXPECT_FALSE(store.RestoreCheckpoint());
}

TEST_F(StorageRecordStore, FailedBlockAllocationLeavesTheStoreUnchanged)
{
    for (int32_t n = 0; n < 20000; ++n)
        store.AllocateRecord(n);
    CRecord* pRecord = nullptr;
    const int nFailures = RunFailureLoop([&] { pRecord = store.AllocateRecord(20000); },
                                         [&]
                                         {
                                             EXPECT_EQ(store.GetCount(), 20000);
                                             EXPECT_EQ(store.GetBlockCount(), 1);
                                             EXPECT_TRUE(store.Validate());
                                             allocator.RefillReserve();
                                         });
    EXPECT_EQ(nFailures, 1);
    ASSERT_NE(pRecord, nullptr);
    EXPECT_EQ(pRecord->m_nRecordNumber, 20000);
    EXPECT_EQ(store.GetCount(), 20001);
}

TEST_F(StorageRecordStore, ManyAtOnceCrossBlocksAndKeepWhatWasMadeOnFailure)
{
    store.AllocateRecord(0);
    std::vector<CRecord*> out(45000, nullptr);
    // The second new block fails: the records of the first block's rest and of the next one are kept.
    const int nFailures = RunFailureLoop([&] { store.AllocateRecords(out.size(), 1, out.data()); },
                                         [&]
                                         {
                                             EXPECT_TRUE(store.Validate());
                                             EXPECT_EQ(store.GetCount() % 20000, 0);
                                             allocator.RefillReserve();
                                         });
    EXPECT_GE(nFailures, 1);
    CRecordStore fresh(allocator);
    fresh.AllocateRecord(0);
    fresh.AllocateRecords(out.size(), 1, out.data());
    EXPECT_EQ(fresh.GetCount(), 45001);
    EXPECT_EQ(fresh.GetBlockCount(), 3);
    for (size_t i = 0; i < out.size(); ++i)
    {
        ASSERT_EQ(out[i]->m_nRecordNumber, static_cast<int32_t>(i + 1));
        ASSERT_TRUE(out[i]->m_bQualified && out[i]->m_bShown && !out[i]->m_bOpen && !out[i]->m_pLink);
    }
}

TEST_F(StorageRecordArray, GrowsKeepingEveryRecordAndSetMaxSizeOnlyMakesRoom)
{
    EXPECT_TRUE(records.IsEmpty());
    EXPECT_EQ(records.GetLastRecord(), nullptr);

    for (int32_t n = 0; n < 45000; ++n)
        records.AddRecord(store.AllocateRecord(n));
    EXPECT_EQ(records.GetSize(), 45000);
    EXPECT_GE(records.GetCapacity(), 45000);
    EXPECT_EQ(records.GetLastRecord()->m_nRecordNumber, 44999);
    EXPECT_EQ(records.GetData()[123]->m_nRecordNumber, 123);
    EXPECT_EQ(allocator.GetAllocatedBytes(),
              store.GetAllocatedBytes() + 3 * 16 + records.GetCapacity() * sizeof(CRecord*));
    EXPECT_TRUE(records.Validate());

    // SetMaxSize only ever makes room.
    records.SetMaxSize(60000);
    EXPECT_EQ(records.GetCapacity(), 60000);
    records.SetMaxSize(10);
    EXPECT_EQ(records.GetCapacity(), 60000);
    EXPECT_EQ(records.GetSize(), 45000);
}

TEST_F(StorageRecordArray, RemoveKeepsOrderAssignCopiesRemoveTailDropsTheLast)
{
    std::vector<CRecord*> vRecords;
    for (int32_t n = 0; n < 10; ++n)
    {
        vRecords.push_back(store.AllocateRecord(n));
        records.AddRecord(vRecords.back());
    }
    CSet dropped;
    for (int n : {0, 3, 4, 9})
        dropped.AddTail(vRecords[static_cast<size_t>(n)]);
    dropped.AddTail(&allocator); // not a record of the array: ignored

    CRecordArray copy;
    copy.Assign(records);
    records.Remove(dropped);
    EXPECT_EQ(Numbers(records), "1 2 5 6 7 8");
    EXPECT_EQ(Numbers(copy), "0 1 2 3 4 5 6 7 8 9");
    records.Remove(CSet());
    EXPECT_EQ(Numbers(records), "1 2 5 6 7 8");

    records.RemoveTail();
    EXPECT_EQ(Numbers(records), "1 2 5 6 7");
    EXPECT_EQ(records.GetLastRecord(), vRecords[7]);

    copy.Assign(records);
    EXPECT_EQ(Numbers(copy), "1 2 5 6 7");
    records.RemoveAll();
    EXPECT_TRUE(records.IsEmpty());
    records.RemoveTail();
    EXPECT_EQ(records.GetSize(), 0);
    EXPECT_EQ(records.GetCapacity(), 100);
    EXPECT_TRUE(records.Validate());

    // Moving hands the memory over.
    CRecordArray moved(std::move(copy));
    EXPECT_EQ(Numbers(moved), "1 2 5 6 7");
    EXPECT_EQ(copy.GetSize(), 0);
    EXPECT_TRUE(copy.Validate());
}

TEST_F(StorageRecordArray, CheckpointTruncatesToTheRememberedCount)
{
    EXPECT_FALSE(records.RestoreCheckpoint());
    AddRecords(0, 5);
    records.CreateCheckpoint();
    AddRecords(5, 300);
    EXPECT_TRUE(records.RestoreCheckpoint());
    EXPECT_EQ(Numbers(records), "0 1 2 3 4");

    // Fewer records than at the checkpoint: nothing to restore, and the caller learns so.
    records.RemoveTail();
    EXPECT_FALSE(records.RestoreCheckpoint());
    EXPECT_EQ(records.GetSize(), 4);
    records.DeleteCheckpoint();
    records.AddRecord(store.AllocateRecord(300));
    EXPECT_FALSE(records.RestoreCheckpoint());
    EXPECT_EQ(records.GetSize(), 5);
}

TEST_F(StorageRecordArray, WorksWithoutATableAndMovesIntoOne)
{
    CRecordArray loose;
    for (int32_t n = 0; n < 150; ++n)
        loose.AddRecord(store.AllocateRecord(n));
    EXPECT_EQ(loose.GetCapacity(), 10100);
    const size_t nStoreBytes = allocator.GetAllocatedBytes();
    loose.SetTable(&allocator);
    EXPECT_EQ(loose.GetSize(), 150);
    EXPECT_EQ(loose.GetRecord(149)->m_nRecordNumber, 149);
    EXPECT_EQ(allocator.GetAllocatedBytes(), nStoreBytes + 10100 * sizeof(CRecord*));
}

TEST_F(StorageRecordArray, FailedGrowthLeavesTheArrayUnchanged)
{
    AddRecords(0, 100);
    CRecord* pExtra = store.AllocateRecord(100);
    const int nFailures = RunFailureLoop([&] { records.AddRecord(pExtra); },
                                         [&]
                                         {
                                             EXPECT_EQ(records.GetSize(), 100);
                                             EXPECT_EQ(records.GetCapacity(), 100);
                                             EXPECT_EQ(records.GetLastRecord()->m_nRecordNumber, 99);
                                             EXPECT_TRUE(records.Validate());
                                             allocator.RefillReserve();
                                         });
    EXPECT_EQ(nFailures, 1);
    EXPECT_EQ(records.GetLastRecord(), pExtra);
}
