#include "engine/ValueArray.h"

#include "engine/Allocator.h"

#include <algorithm>
#include <limits>

namespace
{
constexpr double kUndefinedNumber = std::numeric_limits<double>::quiet_NaN();

long GrownCapacity(long capacity, long wanted)
{
    while (capacity < wanted)
        capacity += std::max(std::min(capacity, 100000L), 500L);
    return capacity;
}
} // namespace

CValueArray::CValueArray(CTableAllocator& allocator, long capacity) : m_allocator(allocator)
{
    if (capacity > 0)
        SetMaxSize(capacity, false);
}

CValueArray::~CValueArray()
{
    m_allocator.FreeMemory(m_pValues);
    m_allocator.FreeMemory(m_pDoubles);
}

void CValueArray::SetMaxSize(long size, bool grow)
{
    if (size <= m_nCapacity)
        return;
    const long capacity = grow ? GrownCapacity(std::max(m_nCapacity, 1L), size) : size;
    // Allocate both arrays before installing either, so a failure leaves the array as it was. A slot beyond
    // the count is written before it is read: the room need not be cleared (a reservation for millions of
    // values that turn out to be few touches no memory).
    auto* values = static_cast<const char16_t**>(m_allocator.ReallocateMemory(
        m_pValues, m_nCapacity * sizeof(char16_t*), capacity * sizeof(char16_t*), false));
    m_pValues = values;
    if (m_pDoubles)
    {
        m_pDoubles = static_cast<double*>(
            m_allocator.ReallocateMemory(m_pDoubles, m_nCapacity * sizeof(double), capacity * sizeof(double), false));
    }
    m_nCapacity = capacity;
}

long CValueArray::AddNewValue(const char16_t* text, bool numeric, bool known, double number)
{
    if (m_nCount == m_nCapacity)
        SetMaxSize(m_nCount + 1, true);
    known = known && numeric;
    if (known && !m_pDoubles)
    {
        // Those before now get no number; the others are written as values come.
        m_pDoubles = static_cast<double*>(m_allocator.AllocateMemory(m_nCapacity * sizeof(double)));
        std::fill(m_pDoubles, m_pDoubles + m_nCount, kUndefinedNumber);
        if (m_nCount > 0)
            m_bDoublesValid = false;
    }
    const long index = m_nCount;
    m_pValues[index] = text;
    if (m_pDoubles)
        m_pDoubles[index] = known ? number : kUndefinedNumber;
    if (numeric && !known)
        m_bDoublesValid = false;
    ++m_nCount;
    return index;
}

void CValueArray::KeepFirstOfEqualValues(const int32_t* newIndex)
{
    long kept = 0;
    for (long i = 0; i < m_nCount; ++i)
    {
        if (newIndex[i] != kept)
            continue;
        m_pValues[kept] = m_pValues[i];
        if (m_pDoubles)
            m_pDoubles[kept] = m_pDoubles[i];
        ++kept;
    }
    m_nCount = kept;
}

void CValueArray::TakeInOrder(const CValueArray& from, const uint32_t* order, int32_t* newIndex)
{
    const long n = from.m_nCount;
    SetMaxSize(n, false);
    if (from.m_pDoubles && !m_pDoubles)
        m_pDoubles = static_cast<double*>(m_allocator.AllocateMemory(std::max(m_nCapacity, 1L) * sizeof(double)));
    const double* numbers = from.m_pDoubles;
    constexpr long kAhead = 16; // the old entries are visited in the new order: fetch them ahead
    for (long i = 0; i < n; ++i)
    {
        if (i + kAhead < n)
            from.Prefetch(order[i + kAhead]);
        const uint32_t old = order[i];
        newIndex[old] = static_cast<int32_t>(i);
        m_pValues[i] = from.m_pValues[old];
        if (numbers)
            m_pDoubles[i] = numbers[old];
    }
    m_nCount = n;
    m_bDoublesValid = from.m_bDoublesValid;
}

double* CValueArray::GetDoublesForWriting()
{
    if (!m_pDoubles)
        m_pDoubles = static_cast<double*>(m_allocator.AllocateMemory(std::max(m_nCapacity, 1L) * sizeof(double)));
    return m_pDoubles;
}

void CValueArray::RemoveAll()
{
    m_nCount = 0;
    m_nCheckpointCount = -1;
    m_bSorted = true;
    m_bDoublesValid = true;
}

void CValueArray::RestoreCheckpoint()
{
    if (m_nCheckpointCount < 0 || m_nCheckpointCount > m_nCount)
        return;
    m_nCount = m_nCheckpointCount;
}

size_t CValueArray::GetAllocatedBytes() const
{
    return m_nCapacity * (sizeof(char16_t*) + (m_pDoubles ? sizeof(double) : 0));
}
