#include "engine/FieldArray.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <type_traits>

namespace
{

uint64_t ValueLimit(int widthCode)
{
    switch (widthCode)
    {
    case -2:
        return 4;
    case -1:
        return 16;
    case 1:
        return 256;
    case 2:
        return 65536;
    case 3:
        return 16777216;
    case 4:
        return uint64_t{1} << 32;
    default:
        return 0;
    }
}

} // namespace

CFieldArray::CFieldArray()
    : m_pAllocator(nullptr), m_apPlanes{}, m_anPlaneBytes{}, m_nWidthCode(s_nNoWidth), m_nValueLimit(0),
      m_nBytesPerPlane(0), m_nCapacity(0), m_nSize(0), m_bCheckpoint(false), m_nCheckpointCapacity(0),
      m_nCheckpointBytesPerPlane(0), m_nCheckpointSize(0)
{
}

CFieldArray::~CFieldArray()
{
    RemoveAll();
}

void CFieldArray::SetTable(CTableAllocator* allocator)
{
    if (allocator == m_pAllocator)
        return;
    // Copy every plane into the new allocator first, so a failure leaves the array with its old memory.
    uint8_t* apCopies[4] = {};
    try
    {
        for (int i = 0; i < 4; ++i)
        {
            if (m_apPlanes[i] == nullptr)
                continue;
            apCopies[i] = static_cast<uint8_t*>(AllocateFrom(allocator, m_anPlaneBytes[i]));
            std::memcpy(apCopies[i], m_apPlanes[i], m_anPlaneBytes[i]);
        }
    }
    catch (...)
    {
        for (uint8_t* p : apCopies)
            FreeFrom(allocator, p);
        throw;
    }
    for (int i = 0; i < 4; ++i)
    {
        FreeFrom(m_pAllocator, m_apPlanes[i]);
        m_apPlanes[i] = apCopies[i];
    }
    m_pAllocator = allocator;
}

int CFieldArray::WidthCodeFor(uint64_t largestStored)
{
    const uint64_t m = largestStored + 1;
    if (m < 5)
        return -2;
    if (m < 17)
        return -1;
    if (m < 257)
        return 1;
    if (m < 65537)
        return 2;
    if (m < 16777217)
        return 3;
    return 4;
}

size_t CFieldArray::BytesPerPlane(int widthCode, long capacity)
{
    const size_t n = static_cast<size_t>(capacity);
    switch (widthCode)
    {
    case -2:
        return (n + 3) / 4;
    case -1:
        return (n + 1) / 2;
    case 1:
    case 2:
    case 3:
    case 4:
        return n;
    default:
        return 0;
    }
}

int CFieldArray::PlaneCount(int widthCode)
{
    switch (widthCode)
    {
    case -2:
    case -1:
    case 1:
        return 1;
    case 2:
        return 2;
    case 3:
        return 3;
    case 4:
        return 4;
    default:
        return 0;
    }
}

namespace
{
// indices[i] = read(record number of records[i]) - 1 (stored 0 wraps to CFieldArray::s_nNoIndex); beyond the
// size s_nNoIndex. Returns the number of s_nNoIndex results.
template <typename Read>
size_t GatherStored(const CRecord* const* records, size_t n, uint32_t* indices, uint64_t size, Read read)
{
    size_t none = 0;
    for (size_t i = 0; i < n; ++i)
    {
        const uint64_t r = static_cast<uint64_t>(static_cast<int64_t>(records[i]->m_nRecordNumber));
        const uint32_t index = r < size ? read(r) - 1u : CFieldArray::s_nNoIndex;
        indices[i] = index;
        none += index == CFieldArray::s_nNoIndex;
    }
    return none;
}
} // namespace

size_t CFieldArray::GetAtBulk(const CRecord* const* records, size_t n, uint32_t* indices) const
{
    const uint8_t* p0 = m_apPlanes[0];
    const uint8_t* p1 = m_apPlanes[1];
    const uint8_t* p2 = m_apPlanes[2];
    const uint8_t* p3 = m_apPlanes[3];
    const uint64_t size = static_cast<uint64_t>(m_nSize);
    switch (m_nWidthCode)
    {
    case -2:
        return GatherStored(records, n, indices, size,
                            [p0](uint64_t r) -> uint32_t { return (p0[r >> 2] >> (6 - ((r & 3) << 1))) & 3u; });
    case -1:
        return GatherStored(records, n, indices, size,
                            [p0](uint64_t r) -> uint32_t { return (p0[r >> 1] >> ((~r & 1) << 2)) & 15u; });
    case 1:
        return GatherStored(records, n, indices, size, [p0](uint64_t r) -> uint32_t { return p0[r]; });
    case 2:
        return GatherStored(records, n, indices, size,
                            [p0, p1](uint64_t r) -> uint32_t { return p0[r] | static_cast<uint32_t>(p1[r]) << 8; });
    case 3:
        return GatherStored(records, n, indices, size, [p0, p1, p2](uint64_t r) -> uint32_t {
            return p0[r] | static_cast<uint32_t>(p1[r]) << 8 | static_cast<uint32_t>(p2[r]) << 16;
        });
    case 4:
        return GatherStored(records, n, indices, size, [p0, p1, p2, p3](uint64_t r) -> uint32_t {
            return p0[r] | static_cast<uint32_t>(p1[r]) << 8 | static_cast<uint32_t>(p2[r]) << 16 |
                   static_cast<uint32_t>(p3[r]) << 24;
        });
    default:
        std::fill(indices, indices + n, s_nNoIndex);
        return n;
    }
}

size_t CFieldArray::GetAllocatedMemory() const
{
    return m_anPlaneBytes[0] + m_anPlaneBytes[1] + m_anPlaneBytes[2] + m_anPlaneBytes[3];
}

// Grows planes 0..planeCount-1 to at least bytes each. On failure the planes that did not exist before are
// freed again and the exception passes on; grown planes keep their (zero-filled) extra bytes.
void CFieldArray::ResizePlanes(size_t bytes, int planeCount)
{
    bool abNew[4] = {};
    try
    {
        for (int i = 0; i < planeCount; ++i)
        {
            if (m_anPlaneBytes[i] >= bytes)
                continue;
            abNew[i] = m_apPlanes[i] == nullptr;
            m_apPlanes[i] =
                static_cast<uint8_t*>(ReallocateFrom(m_pAllocator, m_apPlanes[i], m_anPlaneBytes[i], bytes));
            m_anPlaneBytes[i] = bytes;
        }
    }
    catch (...)
    {
        for (int i = 0; i < 4; ++i)
        {
            if (abNew[i] && m_apPlanes[i] != nullptr)
            {
                FreeFrom(m_pAllocator, m_apPlanes[i]);
                m_apPlanes[i] = nullptr;
                m_anPlaneBytes[i] = 0;
            }
        }
        throw;
    }
}

void CFieldArray::SetMaxSize(long records, long largestStored, bool grow)
{
    const int nCode =
        std::max(m_nWidthCode, WidthCodeFor(largestStored > 0 ? static_cast<uint64_t>(largestStored) : 0));
    long nCapacity = m_nCapacity;
    if (records > nCapacity)
    {
        if (grow)
        {
            while (nCapacity < records)
                nCapacity += std::max(500L, std::min(nCapacity, 100000L));
        }
        else
        {
            nCapacity = records;
        }
    }
    if (nCapacity == m_nCapacity && nCode == m_nWidthCode)
        return;

    const size_t nBytes = BytesPerPlane(nCode, nCapacity);
    if (nBytes > 0)
        ResizePlanes(nBytes, PlaneCount(nCode));

    // All memory is in place; from here on nothing can fail. Plane 0 is converted in place over the records
    // set so far; the slots above them are zero in every layout.
    if (m_nWidthCode == -2 && nCode >= -1)
    {
        ConvertQuartersToNibbles();
        m_nWidthCode = -1;
    }
    if (m_nWidthCode == -1 && nCode >= 1)
        ConvertNibblesToBytes();
    m_nWidthCode = nCode;
    m_nValueLimit = ValueLimit(nCode);
    m_nCapacity = nCapacity;
    m_nBytesPerPlane = nBytes;
}

// From 2 bits per record to 4, from the highest byte down: byte k of the nibble layout holds records 2k and
// 2k+1, which both come from byte k/2 <= k of the old layout, so no unread source is overwritten.
void CFieldArray::ConvertQuartersToNibbles()
{
    uint8_t* p = m_apPlanes[0];
    for (long k = (m_nSize + 1) / 2 - 1; k >= 0; --k)
    {
        const unsigned nSource = p[k >> 1];
        const unsigned nFirst = (nSource >> (6 - ((2 * k & 3) << 1))) & 3u;
        const unsigned nSecond = (nSource >> (6 - (((2 * k + 1) & 3) << 1))) & 3u;
        p[k] = static_cast<uint8_t>(nFirst << 4 | nSecond);
    }
}

// From 4 bits per record to 8, from the highest record down: record r comes from byte r/2 <= r.
void CFieldArray::ConvertNibblesToBytes()
{
    uint8_t* p = m_apPlanes[0];
    for (long r = m_nSize - 1; r >= 0; --r)
        p[r] = static_cast<uint8_t>((p[r >> 1] >> ((~r & 1) << 2)) & 15u);
}

void CFieldArray::WriteStoredShared(long r, uint32_t v)
{
    int nShift = 0;
    unsigned nMask = 0;
    uint8_t* pByte = nullptr;
    if (m_nWidthCode == -2)
    {
        nShift = 6 - static_cast<int>((r & 3) << 1);
        nMask = 3u;
        pByte = &m_apPlanes[0][r >> 2];
    }
    else if (m_nWidthCode == -1)
    {
        nShift = static_cast<int>((~r & 1) << 2);
        nMask = 15u;
        pByte = &m_apPlanes[0][r >> 1];
    }
    else
    {
        WriteStored(r, v); // whole bytes: distinct records never share one
        return;
    }
    // Two records share this byte, and another thread may be writing the other one.
    std::atomic_ref<uint8_t> byte(*pByte);
    uint8_t nOld = byte.load(std::memory_order_relaxed);
    uint8_t nNew;
    do
    {
        nNew = static_cast<uint8_t>((nOld & ~(nMask << nShift)) | (v << nShift));
    } while (!byte.compare_exchange_weak(nOld, nNew, std::memory_order_relaxed));
}

void CFieldArray::SetAtNoGrow(long recordNumber, long index)
{
    const uint32_t v = static_cast<uint32_t>(index + 1);
    assert(recordNumber >= 0 && index >= -1);
    if (recordNumber >= m_nCapacity || v >= m_nValueLimit)
    {
        SetMaxSize(recordNumber + 1, static_cast<long>(v), true);
        WriteStored(recordNumber, v);
        if (recordNumber >= m_nSize)
            m_nSize = recordNumber + 1;
        return;
    }
    WriteStoredShared(recordNumber, v);
    std::atomic_ref<long> size(m_nSize);
    long nSize = size.load(std::memory_order_relaxed);
    while (recordNumber >= nSize && !size.compare_exchange_weak(nSize, recordNumber + 1, std::memory_order_relaxed))
    {
    }
}

void CFieldArray::Renumber(const int32_t* newIndex, long valueCount)
{
    if (m_nWidthCode == s_nNoWidth || m_nSize == 0)
        return;
    assert(static_cast<uint64_t>(valueCount) < m_nValueLimit);
    auto mapped = [&](uint32_t v)
    { return v == 0 || v > static_cast<uint32_t>(valueCount) ? v : static_cast<uint32_t>(newIndex[v - 1]) + 1; };
    if (m_nWidthCode <= 1)
    {
        // Values packed into single bytes: one table maps a whole byte (all the records in it) at once. The
        // slots above the size hold 0, which maps to 0.
        const unsigned bits = m_nWidthCode == -2 ? 2 : m_nWidthCode == -1 ? 4 : 8;
        const unsigned mask = (1u << bits) - 1;
        uint8_t table[256];
        for (unsigned byte = 0; byte < 256; ++byte)
        {
            unsigned out = 0;
            for (unsigned shift = 0; shift < 8; shift += bits)
                out |= mapped((byte >> shift) & mask) << shift;
            table[byte] = static_cast<uint8_t>(out);
        }
        uint8_t* plane = m_apPlanes[0];
        const size_t bytes = BytesPerPlane(m_nWidthCode, m_nSize);
        for (size_t i = 0; i < bytes; ++i)
            plane[i] = table[plane[i]];
        return;
    }
    // Byte planes: the loop for each width on its own, so that no record pays for choosing it.
    auto renumber = [&](auto planes)
    {
        constexpr int kPlanes = decltype(planes)::value;
        uint8_t* plane[kPlanes];
        std::copy(m_apPlanes, m_apPlanes + kPlanes, plane);
        auto read = [&](long r)
        {
            uint32_t v = 0;
            for (int k = kPlanes - 1; k >= 0; --k)
                v = v << 8 | plane[k][r];
            return v;
        };
        // A large table is visited in record order, not in its own: fetch its entries ahead.
        constexpr long kAhead = 16;
        const bool ahead = valueCount > 65536;
        for (long r = 0; r < m_nSize; ++r)
        {
            if (ahead && r + kAhead < m_nSize)
                __builtin_prefetch(&newIndex[read(r + kAhead)]); // v - 1 or v: the same line nearly always
            const uint32_t v = mapped(read(r));
            for (int k = 0; k < kPlanes; ++k)
                plane[k][r] = static_cast<uint8_t>(v >> (8 * k));
        }
    };
    if (m_nWidthCode == 2)
        renumber(std::integral_constant<int, 2>());
    else if (m_nWidthCode == 3)
        renumber(std::integral_constant<int, 3>());
    else
        renumber(std::integral_constant<int, 4>());
}

void CFieldArray::SetUndefined(long recordNumber)
{
    if (recordNumber >= 0 && recordNumber < m_nSize)
        WriteStored(recordNumber, 0);
}

// Sets every slot from recordNumber up to the capacity to 0.
void CFieldArray::ClearFrom(long recordNumber)
{
    if (recordNumber >= m_nCapacity || m_nWidthCode == s_nNoWidth)
        return;
    long r = recordNumber;
    const long nPerByte = m_nWidthCode == -2 ? 4 : m_nWidthCode == -1 ? 2 : 1;
    for (; r % nPerByte != 0 && r < m_nCapacity; ++r)
        WriteStored(r, 0);
    const size_t nFirstByte = static_cast<size_t>(r / nPerByte);
    for (int i = 0; i < PlaneCount(m_nWidthCode); ++i)
    {
        if (nFirstByte < m_nBytesPerPlane)
            std::memset(m_apPlanes[i] + nFirstByte, 0, m_nBytesPerPlane - nFirstByte);
    }
}

void CFieldArray::RemoveAll()
{
    for (int i = 0; i < 4; ++i)
    {
        FreeFrom(m_pAllocator, m_apPlanes[i]);
        m_apPlanes[i] = nullptr;
        m_anPlaneBytes[i] = 0;
    }
    m_nWidthCode = s_nNoWidth;
    m_nValueLimit = 0;
    m_nBytesPerPlane = 0;
    m_nCapacity = 0;
    m_nSize = 0;
    m_bCheckpoint = false;
}

void CFieldArray::CreateCheckpoint()
{
    m_bCheckpoint = true;
    m_nCheckpointCapacity = m_nCapacity;
    m_nCheckpointBytesPerPlane = m_nBytesPerPlane;
    m_nCheckpointSize = m_nSize;
}

void CFieldArray::RestoreCheckpoint()
{
    if (!m_bCheckpoint)
        return;
    // Only ever shrink: the records set since the checkpoint are cleared, those before keep their values.
    // The width is not narrowed back; a plane sized by the old width's bytes per plane would be too small
    // for the current one, so the bytes are derived from the current width.
    if (m_nCheckpointSize < m_nSize)
    {
        ClearFrom(m_nCheckpointSize);
        m_nSize = m_nCheckpointSize;
    }
    if (m_nCheckpointCapacity < m_nCapacity)
    {
        const size_t nBytes = BytesPerPlane(m_nWidthCode, m_nCheckpointCapacity);
        for (int i = 0; i < PlaneCount(m_nWidthCode); ++i)
        {
            // Shrinking never fails.
            m_apPlanes[i] =
                static_cast<uint8_t*>(ReallocateFrom(m_pAllocator, m_apPlanes[i], m_anPlaneBytes[i], nBytes));
            m_anPlaneBytes[i] = nBytes;
        }
        m_nCapacity = m_nCheckpointCapacity;
        m_nBytesPerPlane = nBytes;
    }
}

bool CFieldArray::Validate() const
{
    if (PlaneCount(m_nWidthCode) == 0 && m_nWidthCode != s_nNoWidth)
        return false;
    if (m_nValueLimit != ValueLimit(m_nWidthCode) || m_nBytesPerPlane != BytesPerPlane(m_nWidthCode, m_nCapacity))
        return false;
    if (m_nSize < 0 || m_nSize > m_nCapacity)
        return false;
    if (m_nWidthCode == s_nNoWidth && m_nCapacity != 0)
        return false;
    for (int i = 0; i < 4; ++i)
    {
        if ((m_apPlanes[i] == nullptr) != (m_anPlaneBytes[i] == 0))
            return false;
        if (i < PlaneCount(m_nWidthCode) ? m_anPlaneBytes[i] < m_nBytesPerPlane : m_apPlanes[i] != nullptr)
            return false;
    }
    return true;
}

bool CFieldArray::ValidateFull() const
{
    if (!Validate())
        return false;
    for (long r = m_nSize; r < m_nCapacity; ++r)
    {
        if (ReadStored(r) != 0)
            return false;
    }
    return true;
}
