#include "engine/Set.h"

#include "engine/PrimeSizes.h"

#include <cstdint>
#include <utility>

CSet::CSet(size_t expected) : m_nFirst(0), m_nHoles(0), m_nCount(0)
{
    if (expected > 0)
    {
        m_vSlots.assign(PrimeHashSize(2 * expected), SSlot{nullptr, 0});
        m_vOrder.reserve(expected);
    }
}

CSet::CSet(CSet&& other) noexcept
    : m_vOrder(std::move(other.m_vOrder)), m_nFirst(other.m_nFirst), m_nHoles(other.m_nHoles),
      m_vSlots(std::move(other.m_vSlots)), m_nCount(other.m_nCount)
{
    other.m_vOrder.clear();
    other.m_vSlots.clear();
    other.m_nFirst = other.m_nHoles = other.m_nCount = 0;
}

CSet& CSet::operator=(CSet&& other) noexcept
{
    if (this != &other)
    {
        m_vOrder = std::move(other.m_vOrder);
        m_vSlots = std::move(other.m_vSlots);
        m_nFirst = other.m_nFirst;
        m_nHoles = other.m_nHoles;
        m_nCount = other.m_nCount;
        other.m_vOrder.clear();
        other.m_vSlots.clear();
        other.m_nFirst = other.m_nHoles = other.m_nCount = 0;
    }
    return *this;
}

size_t CSet::Home(const void* p) const
{
    // Pointers are aligned and clustered; mix all bits before taking the remainder.
    uint64_t x = reinterpret_cast<uintptr_t>(p);
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    return static_cast<size_t>(x % m_vSlots.size());
}

size_t CSet::FindSlot(const void* p) const
{
    if (m_vSlots.empty() || p == nullptr)
        return s_nNoSlot;
    const size_t n = m_vSlots.size();
    for (size_t i = Home(p);; i = i + 1 == n ? 0 : i + 1)
    {
        const void* pKey = m_vSlots[i].m_pKey;
        if (pKey == p)
            return i;
        if (pKey == nullptr)
            return s_nNoSlot;
    }
}

void CSet::InsertSlot(const void* p, long position) const
{
    const size_t n = m_vSlots.size();
    size_t i = Home(p);
    while (m_vSlots[i].m_pKey != nullptr)
        i = i + 1 == n ? 0 : i + 1;
    m_vSlots[i] = SSlot{p, position};
}

// Backward-shift deletion: later entries of the probe run move up so that no lookup stops early.
void CSet::EraseSlot(size_t slot)
{
    const size_t n = m_vSlots.size();
    size_t i = slot;
    m_vSlots[i].m_pKey = nullptr;
    for (size_t j = i + 1 == n ? 0 : i + 1; m_vSlots[j].m_pKey != nullptr; j = j + 1 == n ? 0 : j + 1)
    {
        const size_t k = Home(m_vSlots[j].m_pKey);
        const bool bStays = i <= j ? (i < k && k <= j) : (i < k || k <= j);
        if (!bStays)
        {
            m_vSlots[i] = m_vSlots[j];
            m_vSlots[j].m_pKey = nullptr;
            i = j;
        }
    }
}

// Makes the hash big enough for count members at a load of at most one half; when it must grow it doubles
// (sized for twice the members), so that growing stays amortised constant.
void CSet::ReserveFor(size_t count)
{
    if (count * 2 <= m_vSlots.size())
        return;
    m_vSlots.assign(PrimeHashSize(4 * count), SSlot{nullptr, 0});
    for (size_t i = static_cast<size_t>(m_nFirst); i < m_vOrder.size(); ++i)
    {
        if (m_vOrder[i] != nullptr)
            InsertSlot(m_vOrder[i], static_cast<long>(i));
    }
}

// Lays the members out again without holes, after frontRoom free entries, and renews every position.
void CSet::Rebuild(long frontRoom) const
{
    std::vector<const void*> vOrder;
    vOrder.reserve(static_cast<size_t>(frontRoom + m_nCount));
    vOrder.resize(static_cast<size_t>(frontRoom), nullptr);
    for (size_t i = static_cast<size_t>(m_nFirst); i < m_vOrder.size(); ++i)
    {
        if (m_vOrder[i] != nullptr)
            vOrder.push_back(m_vOrder[i]);
    }
    m_vOrder.swap(vOrder);
    m_nFirst = frontRoom;
    m_nHoles = 0;
    for (SSlot& slot : m_vSlots)
        slot.m_pKey = nullptr;
    for (size_t i = static_cast<size_t>(m_nFirst); i < m_vOrder.size(); ++i)
        InsertSlot(m_vOrder[i], static_cast<long>(i));
}

void CSet::Append(const void* p)
{
    ReserveFor(static_cast<size_t>(m_nCount) + 1);
    m_vOrder.push_back(p);
    InsertSlot(p, static_cast<long>(m_vOrder.size() - 1));
    ++m_nCount;
}

bool CSet::AddTail(const void* p)
{
    if (p == nullptr || FindSlot(p) != s_nNoSlot)
        return false;
    Append(p);
    return true;
}

void CSet::ForceAddTail(const void* p)
{
    if (p != nullptr)
        Append(p);
}

bool CSet::AddHead(const void* p)
{
    if (p == nullptr || FindSlot(p) != s_nNoSlot)
        return false;
    ReserveFor(static_cast<size_t>(m_nCount) + 1);
    if (m_nFirst == 0)
        Rebuild(m_nCount > 8 ? m_nCount : 8);
    --m_nFirst;
    m_vOrder[static_cast<size_t>(m_nFirst)] = p;
    InsertSlot(p, m_nFirst);
    ++m_nCount;
    return true;
}

bool CSet::Remove(const void* p)
{
    const size_t slot = FindSlot(p);
    if (slot == s_nNoSlot)
        return false;
    const long nPosition = m_vSlots[slot].m_nPosition;
    EraseSlot(slot);
    m_vOrder[static_cast<size_t>(nPosition)] = nullptr;
    if (--m_nCount == 0)
    {
        RemoveAll();
        return true;
    }
    if (nPosition == m_nFirst)
    {
        // Step over the holes that now lead the order.
        while (m_vOrder[static_cast<size_t>(++m_nFirst)] == nullptr)
            --m_nHoles;
    }
    else if (static_cast<size_t>(nPosition) + 1 == m_vOrder.size())
    {
        m_vOrder.pop_back();
        while (m_vOrder.back() == nullptr)
        {
            m_vOrder.pop_back();
            --m_nHoles;
        }
    }
    else
    {
        ++m_nHoles;
        if (m_nHoles > m_nCount + 64)
            Rebuild(0);
    }
    return true;
}

bool CSet::Find(const void* p) const
{
    return FindSlot(p) != s_nNoSlot;
}

const void* CSet::GetHead() const
{
    return m_nCount == 0 ? nullptr : m_vOrder[static_cast<size_t>(m_nFirst)];
}

const void* CSet::GetTail() const
{
    return m_nCount == 0 ? nullptr : m_vOrder.back();
}

const void* CSet::GetAt(long i) const
{
    if (i < 0 || i >= m_nCount)
        return nullptr;
    if (m_nHoles > 0)
        Rebuild(0);
    return m_vOrder[static_cast<size_t>(m_nFirst + i)];
}

void CSet::RemoveAll()
{
    m_vOrder.clear();
    for (SSlot& slot : m_vSlots)
        slot.m_pKey = nullptr;
    m_nFirst = 0;
    m_nHoles = 0;
    m_nCount = 0;
}

void CSet::Copy(const CSet& other)
{
    if (this == &other)
        return;
    std::vector<const void*> vOrder;
    vOrder.reserve(static_cast<size_t>(other.m_nCount));
    for (size_t i = static_cast<size_t>(other.m_nFirst); i < other.m_vOrder.size(); ++i)
    {
        if (other.m_vOrder[i] != nullptr)
            vOrder.push_back(other.m_vOrder[i]);
    }
    RemoveAll();
    m_vOrder.swap(vOrder);
    m_nCount = static_cast<long>(m_vOrder.size());
    if (static_cast<size_t>(m_nCount) * 2 > m_vSlots.size())
        m_vSlots.assign(PrimeHashSize(2 * static_cast<size_t>(m_nCount)), SSlot{nullptr, 0});
    for (size_t i = 0; i < m_vOrder.size(); ++i)
        InsertSlot(m_vOrder[i], static_cast<long>(i));
}

bool CSet::IsSubset(const CSet& other) const
{
    if (m_nCount == 0)
        return true;
    for (size_t i = static_cast<size_t>(m_nFirst); i < m_vOrder.size(); ++i)
    {
        if (m_vOrder[i] != nullptr && !other.Find(m_vOrder[i]))
            return false;
    }
    return true;
}

bool CSet::Equal(const CSet& a, const CSet& b)
{
    return a.IsSubset(b) && b.IsSubset(a);
}

bool CSet::Validate() const
{
    const long nSpan = static_cast<long>(m_vOrder.size()) - m_nFirst;
    if (m_nFirst < 0 || nSpan < 0 || m_nHoles < 0 || m_nCount != nSpan - m_nHoles)
        return false;
    if (m_nCount == 0)
        return m_nHoles == 0;
    return static_cast<size_t>(m_nCount) * 2 <= m_vSlots.size() && m_vOrder[static_cast<size_t>(m_nFirst)] != nullptr &&
           m_vOrder.back() != nullptr;
}

bool CSet::ValidateFull() const
{
    if (!Validate())
        return false;
    long nKeys = 0;
    for (const SSlot& slot : m_vSlots)
    {
        if (slot.m_pKey == nullptr)
            continue;
        ++nKeys;
        if (slot.m_nPosition < m_nFirst || static_cast<size_t>(slot.m_nPosition) >= m_vOrder.size() ||
            m_vOrder[static_cast<size_t>(slot.m_nPosition)] != slot.m_pKey)
            return false;
    }
    for (size_t i = 0; i < static_cast<size_t>(m_nFirst); ++i)
    {
        if (m_vOrder[i] != nullptr)
            return false;
    }
    return nKeys == m_nCount;
}
