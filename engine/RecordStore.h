#pragma once
// The owner of all records of a table.

#include "engine/Allocator.h"
#include "engine/Record.h"

#include <vector>

// Hands out records from blocks of 20000 (320000 bytes each) taken from the table allocator. Records are
// never moved or freed one by one, so a CRecord* stays valid until RemoveAll or until a checkpoint restore
// gives back the blocks allocated after the checkpoint. Threading: single-threaded (the table's thread).
class CRecordStore
{
public:
    static constexpr long s_nRecordsPerBlock = 20000;

    explicit CRecordStore(CTableAllocator& allocator);
    CRecordStore(const CRecordStore&) = delete;
    CRecordStore& operator=(const CRecordStore&) = delete;

    // Returns the next free record, numbered recordNumber, qualified and shown, not open, link null. The
    // store owns it. Throws COutOfMemoryException with the store unchanged.
    CRecord* AllocateRecord(int32_t recordNumber);
    // Hands out count records numbered firstNumber on, like AllocateRecord, into out. Throws
    // COutOfMemoryException when a block cannot be had; the records handed out before (as many as the count
    // grew by) are then in out.
    void AllocateRecords(size_t count, int32_t firstNumber, CRecord** out);

    // Records handed out and not given back.
    long GetCount() const { return m_nCount; }
    long GetBlockCount() const { return m_blocks.GetBlockCount(); }
    size_t GetAllocatedBytes() const { return m_blocks.GetAllocatedBytes(); }

    // Frees every block; all record pointers become invalid. Drops the checkpoint.
    void RemoveAll();

    // Remembers the current position. RestoreCheckpoint goes back to it (false when there is none), freeing
    // the blocks allocated since; the records handed out before it stay where they are. The checkpoint
    // stays until DeleteCheckpoint, so a restore may be repeated. Ignoring the result is safe.
    void CreateCheckpoint();
    bool RestoreCheckpoint();
    void DeleteCheckpoint() { m_bCheckpoint = false; }
    bool HasCheckpoint() const { return m_bCheckpoint; }

    // Whether record is one this store handed out and still holds: found in the store's blocks, in O(log blocks)
    // (a table of ten million records has 500 blocks) without reading through the pointer, so any pointer may be
    // asked about.
    bool Contains(const CRecord* record) const;

    // Cheap consistency check of the counters (tests).
    bool Validate() const;

private:
    // Adds an empty block and makes it the current one. Throws COutOfMemoryException with the store unchanged.
    void AddBlock();
    // Rebuilds m_vBlocksByAddress from m_vBlocks.
    void SortBlocks();

    CBlockChain m_blocks;          // the record blocks, oldest first
    std::vector<CRecord*> m_vBlocks;                 // the payloads of m_blocks, oldest first
    std::vector<const CRecord*> m_vBlocksByAddress;  // the same payloads by ascending address (for Contains)
    CRecord* m_pCurrentBlock;      // records of the newest block (the chain's last), null before the first
    long m_nUsedInCurrent;         // records handed out from m_pCurrentBlock, 0..s_nRecordsPerBlock
    long m_nCount;                 // records handed out from all blocks
    bool m_bCheckpoint;            // a checkpoint is set; the three fields below are meaningful
    CRecord* m_pCheckpointBlock;   // m_pCurrentBlock at the checkpoint (may be null)
    long m_nCheckpointUsedInBlock; // m_nUsedInCurrent at the checkpoint
    long m_nCheckpointCount;       // m_nCount at the checkpoint
};
