#pragma once
// The value index of every record in one attribute, packed as narrow as the attribute's values allow.

#include "engine/Allocator.h"
#include "engine/Export.h"
#include "engine/Record.h"

#include <cassert>
#include <cstddef>
#include <cstdint>

// Stores, per record number r, v = value index + 1 (0: no value index, read back as -1) in up to four byte
// planes. The width code says how v is packed:
//   -99 nothing stored yet, no planes
//    -2 v in 0..3: plane 0, record r in byte r/4, r%4 = 0,1,2,3 in bits 7-6, 5-4, 3-2, 1-0
//    -1 v in 0..15: plane 0, record r in byte r/2, even r in the high nibble, odd r in the low one
//     1 v in 0..255: plane 0, one byte per record
//     2, 3, 4: v in 16, 24, 32 bits: byte k of v (k = 0 lowest) at offset r of plane k
// Bytes per plane are (capacity + 3) / 4 for -2, (capacity + 1) / 2 for -1 and the capacity otherwise.
// Example: records 0..3 with the values x, x, x, y (indices 0, 0, 0, 1) store 1, 1, 1, 2 at width -2, all in
// byte 0 = 01 01 01 10 binary = 0x56; a fourth distinct value (v = 4) widens to -1: bytes 0x11, 0x12, 0x40.
// The width only grows; widening converts in place from the highest record down, and the planes that a
// wider code adds start zero, which leaves every stored value unchanged. Slots at and above the size are
// always 0. Threading: GetAt may run from any number of threads while nothing writes; SetAtNoGrow may run
// from several threads for distinct records once SetMaxSize has made room; everything else on the table's
// thread only.
class KORVALIN_CLASS CFieldArray
{
public:
    static constexpr int s_nNoWidth = -99;

    CFieldArray();
    ~CFieldArray();
    CFieldArray(const CFieldArray&) = delete;
    CFieldArray& operator=(const CFieldArray&) = delete;

    // Takes memory from allocator from now on (null: detached heap memory); moves what is stored.
    void SetTable(CTableAllocator* allocator);

    // The value index of the record, -1 when it has none or lies beyond the size.
    long GetAt(long recordNumber) const
    {
        if (static_cast<unsigned long>(recordNumber) >= static_cast<unsigned long>(m_nSize))
            return -1;
        return static_cast<long>(ReadStored(recordNumber)) - 1;
    }

    // The value index of each of records[0 .. n-1] into indices, as GetAt(records[i]->m_nRecordNumber) gives it
    // but unsigned (none: s_nNoIndex), decoded in one loop per width rather than one call per record. Returns
    // how many records have none. Safe from parallel readers as GetAt.
    static constexpr uint32_t s_nNoIndex = 0xFFFFFFFFu;
    size_t GetAtBulk(const CRecord* const* records, size_t n, uint32_t* indices) const;

    // Stores index (-1: none) for the record, first growing the capacity or widening when needed. Throws
    // COutOfMemoryException with the array unchanged.
    void SetAt(const CRecord* record, long index)
    {
        const long r = record->m_nRecordNumber;
        const uint32_t v = static_cast<uint32_t>(index + 1);
        assert(r >= 0 && index >= -1);
        if (r >= m_nCapacity || v >= m_nValueLimit) [[unlikely]]
            SetMaxSize(r + 1, static_cast<long>(v), true);
        WriteStored(r, v);
        if (r >= m_nSize)
            m_nSize = r + 1;
    }

    // Like SetAt for a record within the capacity and an index within the width (SetMaxSize first); safe
    // for parallel writers of distinct records. Outside those bounds it grows like SetAt (not parallel-safe).
    void SetAtNoGrow(long recordNumber, long index);

    // Makes room for records records and stored values up to largestStored (an index + 1). The width becomes
    // the narrowest that holds largestStored but never narrower than now. The capacity only grows: with grow
    // in steps of min(capacity, 100000), at least 500, until it reaches records; without it to exactly
    // records. Throws COutOfMemoryException with the array's contents unchanged.
    void SetMaxSize(long records, long largestStored, bool grow);

    // Replaces every stored value index i by newIndex[i] (after the values were put in another order).
    // valueCount: the number of values, which the width already holds, as every newIndex[i] is below it.
    void Renumber(const int32_t* newIndex, long valueCount);

    // Stores 0 (no value index) for the record; does not change the size.
    void SetUndefined(long recordNumber);

    // Highest record number set + 1 (0 when empty).
    long GetSize() const { return m_nSize; }
    long GetCapacity() const { return m_nCapacity; }
    int GetWidthCode() const { return m_nWidthCode; }
    // Bytes per plane at the current width and capacity.
    size_t GetNrOfBytes() const { return m_nBytesPerPlane; }
    // Bytes held by all planes.
    size_t GetAllocatedMemory() const;
    // Plane k (0..3) for writers of the packed form (files) and tests; null when the width has no plane k.
    const uint8_t* GetPlane(int k) const { return k >= 0 && k < PlaneCount(m_nWidthCode) ? m_apPlanes[k] : nullptr; }

    // Frees all planes and drops the checkpoint: width -99, capacity and size 0.
    void RemoveAll();

    // Remembers capacity, bytes per plane and size. RestoreCheckpoint brings size and capacity back down to
    // them (clearing the records added since) but keeps the current width, so bytes per plane follow from
    // that width. The checkpoint stays until DeleteCheckpoint; restoring without one does nothing.
    void CreateCheckpoint();
    void RestoreCheckpoint();
    void DeleteCheckpoint() { m_bCheckpoint = false; }
    bool HasCheckpoint() const { return m_bCheckpoint; }

    // Cheap consistency check of width, planes and sizes (tests).
    bool Validate() const;
    // Validate plus: every slot from the size up to the capacity is 0 (tests).
    bool ValidateFull() const;

    // The narrowest width code that holds stored values up to largestStored.
    static int WidthCodeFor(uint64_t largestStored);
    // Bytes per plane for a width code and capacity.
    static size_t BytesPerPlane(int widthCode, long capacity);
    // Number of planes a width code uses.
    static int PlaneCount(int widthCode);

private:
    uint32_t ReadStored(long r) const
    {
        const uint8_t* p0 = m_apPlanes[0];
        switch (m_nWidthCode)
        {
        case -2:
            return (p0[r >> 2] >> (6 - ((r & 3) << 1))) & 3u;
        case -1:
            return (p0[r >> 1] >> ((~r & 1) << 2)) & 15u;
        case 1:
            return p0[r];
        case 2:
            return p0[r] | static_cast<uint32_t>(m_apPlanes[1][r]) << 8;
        case 3:
            return p0[r] | static_cast<uint32_t>(m_apPlanes[1][r]) << 8 | static_cast<uint32_t>(m_apPlanes[2][r]) << 16;
        case 4:
            return p0[r] | static_cast<uint32_t>(m_apPlanes[1][r]) << 8 |
                   static_cast<uint32_t>(m_apPlanes[2][r]) << 16 | static_cast<uint32_t>(m_apPlanes[3][r]) << 24;
        default:
            return 0;
        }
    }

    void WriteStored(long r, uint32_t v)
    {
        uint8_t* p0 = m_apPlanes[0];
        switch (m_nWidthCode)
        {
        case -2:
        {
            const int nShift = 6 - static_cast<int>((r & 3) << 1);
            uint8_t& b = p0[r >> 2];
            b = static_cast<uint8_t>((b & ~(3u << nShift)) | (v << nShift));
            break;
        }
        case -1:
        {
            const int nShift = static_cast<int>((~r & 1) << 2);
            uint8_t& b = p0[r >> 1];
            b = static_cast<uint8_t>((b & ~(15u << nShift)) | (v << nShift));
            break;
        }
        case 4:
            m_apPlanes[3][r] = static_cast<uint8_t>(v >> 24);
            [[fallthrough]];
        case 3:
            m_apPlanes[2][r] = static_cast<uint8_t>(v >> 16);
            [[fallthrough]];
        case 2:
            m_apPlanes[1][r] = static_cast<uint8_t>(v >> 8);
            [[fallthrough]];
        case 1:
            p0[r] = static_cast<uint8_t>(v);
            break;
        default:
            break;
        }
    }

    void WriteStoredShared(long r, uint32_t v);
    void ClearFrom(long recordNumber);
    void ConvertQuartersToNibbles();
    void ConvertNibblesToBytes();
    void ResizePlanes(size_t bytes, int planeCount);

    CTableAllocator* m_pAllocator;     // source of the planes; null for detached heap memory
    uint8_t* m_apPlanes[4];            // planes 0..PlaneCount(width)-1 hold >= m_nBytesPerPlane bytes; the rest null
    size_t m_anPlaneBytes[4];          // bytes actually allocated for each plane (0 for a null plane)
    int m_nWidthCode;                  // -99, -2, -1, 1, 2, 3 or 4; never narrows except by RemoveAll
    uint64_t m_nValueLimit;            // every stored value is below this: 0, 4, 16, 256, 65536, 2^24, 2^32
    size_t m_nBytesPerPlane;           // BytesPerPlane(m_nWidthCode, m_nCapacity)
    long m_nCapacity;                  // records that fit without growing
    long m_nSize;                      // highest record number set + 1; 0 <= m_nSize <= m_nCapacity
    bool m_bCheckpoint;                // a checkpoint is set; the fields below are meaningful
    long m_nCheckpointCapacity;        // m_nCapacity at the checkpoint
    size_t m_nCheckpointBytesPerPlane; // m_nBytesPerPlane at the checkpoint (the width may have grown since)
    long m_nCheckpointSize;            // m_nSize at the checkpoint
};
