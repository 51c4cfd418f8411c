#pragma once
// The text pool of one attribute: the characters of all its distinct values.

#include "engine/Allocator.h"
#include "platform/PaddedText.h"
#include "platform/Text.h"

#include <cstring>

// Hands out zero-filled space in 2-byte units from blocks of 20000 bytes taken from the table allocator.
// A request that does not fit into the rest of the current block starts a new block (the rest stays
// unused); a request larger than a whole block gets a block of its own. Every block has room for
// s_nReadableAfterTexts units more than it hands out, so that a stored text may be read that far beyond its
// terminator (comparisons a few units at a time). Texts are never freed one by one:
// the store is freed as a whole, or back to a checkpoint. Stored pointers stay valid until then.
// Threading: single-threaded (the table's thread); stored texts may be read from any thread.
class CValueStore
{
public:
    static constexpr size_t s_nBlockBytes = 20000;
    static constexpr size_t s_nReadableAfterTexts = 8;
    static_assert(s_nReadableAfterTexts >= platform::kStepUnits - 1);

    explicit CValueStore(CTableAllocator& allocator);
    CValueStore(const CValueStore&) = delete;
    CValueStore& operator=(const CValueStore&) = delete;

    // Returns zero-filled space for units 2-byte units (at least one), owned by the store. Throws
    // COutOfMemoryException with the store unchanged.
    char16_t* AllocateSpace(long units);

    // Stores a zero-terminated copy of text and returns it; counts one value. A text whose copy with its
    // terminator would exceed a block (10000 units or more) is stored as the empty text.
    const char16_t* AllocateValue(KStringView text);

    // Units that AllocateValue(padded text) copies at a time.
    static constexpr size_t s_nCopyUnits = 32;

    // AllocateValue for a text that may be read some units beyond its end. With s_nCopyUnits of them, and room
    // in the current block, the text is copied in whole steps of s_nCopyUnits units (one for most values), and
    // the units after it are zeroed again.
    const char16_t* AllocateValue(platform::CPaddedText padded)
    {
        const KStringView text = padded.View();
        const size_t n = text.size();
        if (!padded.GetPadding().Allows(s_nCopyUnits) || m_pCurrentBlock == nullptr ||
            (n + s_nCopyUnits) * sizeof(char16_t) > m_nCurrentBlockBytes - m_nUsedInCurrent)
            return AllocateValue(text);
        auto* value = reinterpret_cast<char16_t*>(m_pCurrentBlock + m_nUsedInCurrent);
        constexpr size_t kStep = s_nCopyUnits * sizeof(char16_t);
        std::memcpy(value, text.data(), kStep);
        for (size_t i = s_nCopyUnits; i < n; i += s_nCopyUnits)
            std::memcpy(value + i, text.data() + i, kStep);
        std::memset(value + n, 0, kStep); // the terminator, and whatever was copied beyond it
        const size_t bytes = (n + 1) * sizeof(char16_t);
        m_nUsedInCurrent += bytes;
        m_nUsedBytes += bytes;
        ++m_nValueCount;
        return value;
    }

    // A text of a value store (as AllocateValue returns it) with its promise: it may be read
    // s_nReadableAfterTexts units beyond its terminator (platform/PaddedText.h measures and compares such texts).
    static platform::CPaddedString Padded(const char16_t* value) { return platform::CPaddedString(value); }
    // The same text as a view with its padding.
    static platform::CPaddedText PaddedView(const char16_t* value)
    {
        return platform::CPaddedText(KStringView(value, platform::MeasureText(Padded(value))),
                                     platform::CTextPadding(s_nReadableAfterTexts));
    }

    // Frees every block and drops the checkpoint; every pointer handed out becomes invalid.
    void FreeMemory();

    long GetValueCount() const { return m_nValueCount; }
    size_t GetAllocatedBytes() const { return m_blocks.GetAllocatedBytes(); }
    size_t GetUsedBytes() const { return m_nUsedBytes; }
    long GetBlockCount() const { return m_blocks.GetBlockCount(); }

    // Remembers (current block, value count, bytes used in it); RestoreCheckpoint frees the blocks started
    // since and clears what was handed out since in the checkpointed block. The checkpoint stays until
    // DeleteCheckpoint. Restoring without a checkpoint does nothing.
    void CreateCheckpoint();
    void RestoreCheckpoint();
    void DeleteCheckpoint() { m_bCheckpoint = false; }
    bool HasCheckpoint() const { return m_bCheckpoint; }

    // Cheap consistency check of the counters (tests).
    bool Validate() const;

private:
    CBlockChain m_blocks;            // the text blocks, oldest first
    char* m_pCurrentBlock;           // the chain's newest block, null before the first
    size_t m_nCurrentBlockBytes;     // size of m_pCurrentBlock: s_nBlockBytes, or more for an oversized request
    size_t m_nUsedInCurrent;         // bytes handed out from m_pCurrentBlock, even, <= m_nCurrentBlockBytes
    size_t m_nUsedBytes;             // bytes handed out from all blocks
    long m_nValueCount;              // texts stored by AllocateValue
    bool m_bCheckpoint;              // a checkpoint is set; the fields below are meaningful
    char* m_pCheckpointBlock;        // m_pCurrentBlock at the checkpoint (may be null)
    size_t m_nCheckpointBlockBytes;  // m_nCurrentBlockBytes at the checkpoint
    size_t m_nCheckpointUsedInBlock; // m_nUsedInCurrent at the checkpoint
    size_t m_nCheckpointUsedBytes;   // m_nUsedBytes at the checkpoint
    long m_nCheckpointValueCount;    // m_nValueCount at the checkpoint
};
