#include "engine/ValueHashTable.h"

#include "engine/ParallelSort.h"
#include "engine/ValueStore.h"
#include "platform/Error.h"
#include "platform/Parallel.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>
#include <vector>

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

CValueHashTable::CValueHashTable(CTableAllocator& allocator, const IKeySource& keys, size_t expectedCount)
    : m_allocator(allocator), m_keys(keys), m_bCompareInSteps(ComparesInSteps(keys)), m_pSlots(nullptr), m_nMask(0),
      m_nShift(64), m_nCount(0)
{
    Rehash(SlotsFor(expectedCount));
}

CValueHashTable::~CValueHashTable()
{
    m_allocator.FreeMemory(m_pSlots);
}

bool CValueHashTable::Equal(KStringView key, const char16_t* pStored)
{
    const size_t n = key.size();
    for (size_t i = 0; i < n; ++i)
    {
        if (key[i] != pStored[i]) // also where the stored text ends first: no key unit is 0 there
            return false;
    }
    return pStored[n] == 0;
}

namespace
{
// True when two zero-terminated texts are equal.
bool SameText(const char16_t* a, const char16_t* b)
{
    for (;; ++a, ++b)
    {
        if (*a != *b)
            return false;
        if (*a == 0)
            return true;
    }
}
} // namespace

size_t CValueHashTable::NumberKinds(const IKeySource& keys, const char16_t* const* stored, const uint32_t* hashes,
                              size_t count, bool parallel, int32_t* kinds)
{
    struct SEntry
    {
        uint32_t m_nHash;
        uint32_t m_nIndex; // + 1 in a table slot, where 0 is empty
    };
    constexpr size_t kGroupKeys = 1024; // about this many keys a group: its table stays in the cache
    constexpr size_t kAhead = 8;        // the earlier text of a pair is fetched this many keys ahead
    const int groupBits = std::min(12, std::countr_zero(std::bit_ceil(std::max<size_t>(count / kGroupKeys, 1))));
    const size_t groups = size_t{1} << groupBits;
    auto mix = [](uint32_t hash) { return static_cast<uint64_t>(hash) * 0x9E3779B97F4A7C15ull; };
    auto groupOf = [&](uint32_t hash)
    { return groupBits == 0 ? size_t{0} : static_cast<size_t>(mix(hash) >> (64 - groupBits)); };
    // Keys of a value store are compared eight units at a time.
    const bool inSteps = ComparesInSteps(keys);
    auto same = [inSteps](const char16_t* a, const char16_t* b)
    { return inSteps ? platform::SameText(platform::CPaddedString(a), platform::CPaddedString(b)) : SameText(a, b); };
    auto each = [&](size_t n, size_t grain, const std::function<void(size_t, size_t)>& body)
    {
        if (parallel && n > grain)
            platform::ParallelFor(0, n, grain, body);
        else
            body(0, n);
    };

    // The keys of each group in index order, one group after the other.
    std::vector<SEntry> grouped(count);
    const std::vector<size_t> starts = GroupStably(
        count, groups, [&](size_t i) { return groupOf(hashes[i]); },
        [&](size_t i) {
            return SEntry{hashes[i], static_cast<uint32_t>(i)};
        },
        grouped.data());
    // Each group: the first key of each hash enters the table, and a later key of that hash takes the first one's
    // index as its kind for now (the first ones keep -1). A key and its first one are of one kind when their texts
    // are equal: they are compared afterwards, in key order, so that only the first one's text is out of the way
    // (fetched ahead). A group whose pair of texts differ (two texts of one hash: rare) is done again comparing
    // every text as it goes.
    auto run = [&](size_t g, bool compare, std::vector<SEntry>& table)
    {
        const size_t begin = starts[g];
        const size_t end = starts[g + 1];
        const size_t slots = std::bit_ceil(std::max<size_t>(2 * (end - begin), 16));
        const int slotBits = std::countr_zero(slots);
        table.assign(slots, SEntry{0, 0});
        for (size_t k = begin; k < end; ++k)
        {
            const SEntry entry = grouped[k];
            // The bits below the group's pick the slot.
            size_t s = static_cast<size_t>(mix(entry.m_nHash) >> (64 - groupBits - slotBits)) & (slots - 1);
            for (;; s = (s + 1) & (slots - 1))
            {
                SEntry& slot = table[s];
                if (slot.m_nIndex == 0)
                {
                    slot = SEntry{entry.m_nHash, entry.m_nIndex + 1};
                    if (compare)
                        kinds[entry.m_nIndex] = -1;
                    break;
                }
                if (slot.m_nHash == entry.m_nHash &&
                    (!compare || same(keys.GetKey(entry.m_nIndex), keys.GetKey(slot.m_nIndex - 1))))
                {
                    kinds[entry.m_nIndex] = static_cast<int32_t>(slot.m_nIndex - 1);
                    break;
                }
            }
        }
    };
    std::fill(kinds, kinds + count, -1); // in order: most keys are first ones, not written again
    each(groups, 4,
         [&](size_t fromGroup, size_t toGroup)
         {
             std::vector<SEntry> table;
             for (size_t g = fromGroup; g < toGroup; ++g)
                 run(g, false, table);
         });
    std::vector<size_t> differing; // groups with a pair of texts that differ
    std::mutex differingLock;
    each(count, 1 << 14,
         [&](size_t first, size_t last)
         {
             // Two steps ahead: where the earlier text is, then the text.
             for (size_t i = first; i < last; ++i)
             {
                 if (i + 2 * kAhead < last && kinds[i + 2 * kAhead] >= 0)
                     __builtin_prefetch(stored + kinds[i + 2 * kAhead]);
                 if (i + kAhead < last && kinds[i + kAhead] >= 0)
                     __builtin_prefetch(stored[kinds[i + kAhead]]);
                 if (kinds[i] >= 0 && !same(keys.GetKey(i), keys.GetKey(static_cast<size_t>(kinds[i]))))
                 {
                     const std::lock_guard<std::mutex> lock(differingLock);
                     differing.push_back(groupOf(hashes[i]));
                 }
             }
         });
    std::sort(differing.begin(), differing.end());
    differing.erase(std::unique(differing.begin(), differing.end()), differing.end());
    each(differing.size(), 1,
         [&](size_t from, size_t to)
         {
             std::vector<SEntry> table;
             for (size_t d = from; d < to; ++d)
                 run(differing[d], true, table);
         });
    std::vector<SEntry>().swap(grouped);
    // A later key's first one comes before it and is numbered by then.
    int32_t kind = 0;
    for (size_t i = 0; i < count; ++i)
        kinds[i] = kinds[i] < 0 ? kind++ : kinds[kinds[i]];
    return static_cast<size_t>(kind);
}

bool CValueHashTable::Lookup(platform::CPaddedText key, uint32_t hash, long* index) const
{
    const bool inSteps = m_bCompareInSteps && key.AllowsSteps();
    for (size_t s = SlotOf(hash);; s = (s + 1) & m_nMask)
    {
        const SSlot& slot = m_pSlots[s];
        if (slot.m_nEntry == 0)
            return false;
        if (slot.m_nHash == hash && (inSteps ? platform::EqualInSteps(key, platform::CPaddedString(KeyOf(slot)))
                                             : Equal(key.View(), KeyOf(slot))))
        {
            if (index != nullptr)
                *index = static_cast<long>(slot.m_nEntry) - 1;
            return true;
        }
    }
}

void CValueHashTable::Store(long index)
{
    const char16_t* key = m_keys.GetKey(index);
    Store(index, HashKey(KStringView(key, platform::Length(key))));
}

void CValueHashTable::Store(long index, uint32_t hash)
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

void CValueHashTable::Reserve(size_t count)
{
    if ((static_cast<size_t>(m_nCount) + count) * 2 > GetSlotCount())
        Rehash(SlotsFor(static_cast<size_t>(m_nCount) + count));
}

void CValueHashTable::Rehash(size_t slots)
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

void CValueHashTable::RemoveAll()
{
    std::memset(static_cast<void*>(m_pSlots), 0, GetSlotCount() * sizeof(SSlot));
    m_nCount = 0;
}

bool CValueHashTable::Validate() const
{
    return m_pSlots != nullptr && std::has_single_bit(GetSlotCount()) && m_nCount >= 0 &&
           static_cast<size_t>(m_nCount) * 2 <= GetSlotCount() && m_nShift == 64 - std::countr_zero(GetSlotCount());
}

bool CValueHashTable::ValidateFull() const
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
