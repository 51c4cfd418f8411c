#include "engine/HashTree.h"

#include "platform/Error.h"

#include <bit>
#include <cstring>

namespace
{
constexpr size_t kMinimumSlots = 64;

// The power of two that holds count keys at most half full.
size_t SlotsFor(size_t count)
{
    const size_t wanted = count < kMinimumSlots / 2 ? kMinimumSlots : count * 2;
    if (wanted > (size_t{1} << 40))
        throw COutOfMemoryException(wanted * sizeof(uint64_t));
    return std::bit_ceil(wanted);
}
} // namespace

CHashTree::CHashTree(CTableAllocator& allocator, const IKeySource& keys, size_t expectedCount)
    : m_allocator(allocator), m_keys(keys), m_pSlots(nullptr), m_nMask(0), m_nShift(64), m_nCount(0)
{
    Rehash(SlotsFor(expectedCount));
}

CHashTree::~CHashTree()
{
    m_allocator.FreeMemory(m_pSlots);
}

uint32_t CHashTree::HashKey(KStringView key)
{
    // h * 33 + c unit by unit, four units a step: the same value with a quarter of the dependent multiplies.
    constexpr uint32_t k1 = 33u, k2 = k1 * k1, k3 = k2 * k1, k4 = k3 * k1;
    const char16_t* p = key.data();
    const size_t n = key.size();
    uint32_t h = 0;
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
        h = h * k4 + p[i] * k3 + p[i + 1] * k2 + p[i + 2] * k1 + p[i + 3];
    for (; i < n; ++i)
        h = h * k1 + p[i];
    return h;
}

bool CHashTree::Equal(KStringView key, const char16_t* pStored)
{
    const size_t n = key.size();
    for (size_t i = 0; i < n; ++i)
    {
        if (key[i] != pStored[i]) // also where the stored text ends first: no key unit is 0 there
            return false;
    }
    return pStored[n] == 0;
}

bool CHashTree::Lookup(KStringView key, uint32_t hash, long* index) const
{
    for (size_t s = SlotOf(hash);; s = (s + 1) & m_nMask)
    {
        const SSlot& slot = m_pSlots[s];
        if (slot.m_nEntry == 0)
            return false;
        if (slot.m_nHash == hash && Equal(key, KeyOf(slot)))
        {
            if (index != nullptr)
                *index = static_cast<long>(slot.m_nEntry) - 1;
            return true;
        }
    }
}

void CHashTree::Store(long index)
{
    const char16_t* key = m_keys.GetKey(index);
    Store(index, HashKey(KStringView(key, platform::Length(key))));
}

void CHashTree::Store(long index, uint32_t hash)
{
    Reserve(1);
    const char16_t* key = m_keys.GetKey(index);
    const KStringView view(key, platform::Length(key));
    const auto entry = static_cast<uint32_t>(index + 1);
    size_t s = SlotOf(hash);
    for (; m_pSlots[s].m_nEntry != 0; s = (s + 1) & m_nMask)
    {
        SSlot& slot = m_pSlots[s];
        if (slot.m_nHash == hash && Equal(view, KeyOf(slot)))
        {
            slot.m_nEntry = entry;
            return;
        }
    }
    m_pSlots[s] = SSlot{hash, entry};
    ++m_nCount;
}

void CHashTree::Reserve(size_t count)
{
    if ((static_cast<size_t>(m_nCount) + count) * 2 > GetSlotCount())
        Rehash(SlotsFor(static_cast<size_t>(m_nCount) + count));
}

void CHashTree::Rehash(size_t slots)
{
    auto* pNew = static_cast<SSlot*>(m_allocator.AllocateMemory(slots * sizeof(SSlot))); // zero: all empty
    const size_t oldSlots = m_pSlots != nullptr ? GetSlotCount() : 0;
    SSlot* pOld = m_pSlots;
    m_pSlots = pNew;
    m_nMask = slots - 1;
    m_nShift = 64 - std::countr_zero(slots);
    for (size_t i = 0; i < oldSlots; ++i)
    {
        if (pOld[i].m_nEntry == 0)
            continue;
        size_t s = SlotOf(pOld[i].m_nHash);
        while (m_pSlots[s].m_nEntry != 0)
            s = (s + 1) & m_nMask;
        m_pSlots[s] = pOld[i];
    }
    m_allocator.FreeMemory(pOld);
}

void CHashTree::RemoveAll()
{
    std::memset(static_cast<void*>(m_pSlots), 0, GetSlotCount() * sizeof(SSlot));
    m_nCount = 0;
}

bool CHashTree::Validate() const
{
    return m_pSlots != nullptr && std::has_single_bit(GetSlotCount()) && m_nCount >= 0 &&
           static_cast<size_t>(m_nCount) * 2 <= GetSlotCount() && m_nShift == 64 - std::countr_zero(GetSlotCount());
}

bool CHashTree::ValidateFull() const
{
    if (!Validate())
        return false;
    long occupied = 0;
    for (size_t i = 0; i <= m_nMask; ++i)
    {
        const SSlot& slot = m_pSlots[i];
        if (slot.m_nEntry == 0)
            continue;
        ++occupied;
        const char16_t* text = KeyOf(slot);
        const KStringView key(text, platform::Length(text));
        if (HashKey(key) != slot.m_nHash)
            return false;
        // Probing from the key's first slot must reach it before an empty slot, meeting no equal key.
        for (size_t s = SlotOf(slot.m_nHash); s != i; s = (s + 1) & m_nMask)
        {
            if (m_pSlots[s].m_nEntry == 0 || (m_pSlots[s].m_nHash == slot.m_nHash && Equal(key, KeyOf(m_pSlots[s]))))
                return false;
        }
    }
    return occupied == m_nCount;
}
