#pragma once
// The value lookup of an attribute: value text -> value index.

#include "engine/Allocator.h"
#include "platform/PaddedText.h"
#include "platform/Text.h"

#include <bit>
#include <cstdint>
#include <cstring>

// 33^-k modulo 2^32: the number that undoes k multiplications by 33 in 32-bit arithmetic.
constexpr uint32_t InversePowerOf33(int k)
{
    uint32_t inverse = 33u; // Newton's steps: each doubles the low bits in which 33 * inverse is 1
    for (int step = 0; step < 5; ++step)
        inverse *= 2u - 33u * inverse;
    uint32_t power = 1;
    for (int i = 0; i < k; ++i)
        power *= inverse;
    return power;
}
static_assert(InversePowerOf33(1) * 33u == 1u);

// An open-addressing hash of 8-byte slots (the key's hash and its index), probed linearly from the slot that
// the multiplicative mix of the hash picks. The keys are zero-terminated texts owned by someone else (the
// attribute's values), found by index through a key source, and must stay valid while stored; Lookup takes
// any view and compares it length-aware, so callers need no terminated copy. A lookup reads one slot line
// and, only when the hashes agree, the key text. The slot array is kept at most half full: it doubles before
// a store would pass that, rehashing from the stored hashes without touching a key. Callers that know the hash
// of a key pass it along, so a miss followed by a store hashes the text once; bulk loops prefetch the slots of
// keys to come. Slots of 8 bytes instead of a pointer more: a column of a million distinct values needs 16 MB
// of slots, not 32.
// Threading: Lookup and Prefetch may run from several threads at once; Store, Reserve and RemoveAll on one
// thread at a time with no lookup running.
class CValueHashTable
{
public:
    // Where the keys are: the zero-terminated key text of a stored index.
    class IKeySource
    {
    public:
        virtual const char16_t* GetKey(long index) const = 0;
        // How many units after each key's terminator may be read too (keys in blocks with room at their end).
        virtual size_t GetReadableAfterKeys() const { return 0; }

    protected:
        ~IKeySource() = default;
    };

    // Makes room for expectedCount keys before the first growth. keys must outlive the hash. Throws
    // COutOfMemoryException.
    CValueHashTable(CTableAllocator& allocator, const IKeySource& keys, size_t expectedCount);
    ~CValueHashTable();
    CValueHashTable(const CValueHashTable&) = delete;
    CValueHashTable& operator=(const CValueHashTable&) = delete;

    // True when key is stored; then *index (when not null) receives its index. hash must be HashKey(key).
    // When the key may be read in steps (its padding) and so may the keys of the source, texts are compared
    // kCompareUnits units at a time (then the key must hold no unit 0, as no cell of a read does).
    bool Lookup(KStringView key, long* index) const { return Lookup(key, HashKey(key), index); }
    bool Lookup(platform::CPaddedText key, uint32_t hash, long* index) const;

    // Units compared at a time when keys may be read ahead.
    static constexpr size_t kCompareUnits = platform::kStepUnits;

    // Stores the key of index (the text the key source gives for it) -> index. An equal key already stored is
    // overwritten (its index). hash, when given, must be HashKey of that key. Throws COutOfMemoryException with
    // the hash unchanged.
    void Store(long index);
    void Store(long index, uint32_t hash);

    // Grows now, if need be, so that the next `count` stores of new keys cannot fail. Throws
    // COutOfMemoryException with the hash unchanged.
    void Reserve(size_t count);

    // Asks the processor to fetch the slot where a key of this hash is looked for first.
    void Prefetch(uint32_t hash) const { __builtin_prefetch(m_pSlots + SlotOf(hash)); }
    // The index in the first slot where a key of this hash is looked for, when that slot holds this hash (the
    // likely answer of a lookup), else -1. Meant for after Prefetch, when the slot is at hand: callers fetch
    // the key of that index ahead.
    long FirstCandidate(uint32_t hash) const
    {
        const SSlot& slot = m_pSlots[SlotOf(hash)];
        return slot.m_nHash == hash ? static_cast<long>(slot.m_nEntry) - 1 : -1;
    }

    // h = h * 33 + c over the UTF-16 code units, wrapping at 32 bits, from h = 0.
    static uint32_t HashKey(KStringView key)
    {
        const char16_t* p = key.data();
        uint32_t h = HashWholeGroups(p, key.size());
        for (size_t i = key.size() & ~size_t{3}; i < key.size(); ++i)
            h = h * 33u + p[i];
        return h;
    }

    // HashKey of a key; when its next three units may be read too, its last units, fewer than four, are taken
    // as a group of four padded with zeros, without a loop whose length varies with the key's. Each zero
    // multiplies the hash by 33, which the inverse of 33 (modulo 2^32) undoes.
    static uint32_t HashKey(platform::CPaddedText padded)
    {
        const KStringView key = padded.View();
        if (!padded.GetPadding().Allows(3) || std::endian::native != std::endian::little)
            return HashKey(key);
        const char16_t* p = key.data();
        const size_t whole = key.size() & ~size_t{3};
        const size_t rest = key.size() - whole;
        uint64_t group;
        std::memcpy(&group, p + whole, sizeof group);
        group &= (uint64_t{1} << (16 * rest)) - 1;
        const uint32_t h = HashWholeGroups(p, key.size()) * kPower4 + static_cast<uint32_t>(group & 0xFFFF) * kPower3 +
                           static_cast<uint32_t>((group >> 16) & 0xFFFF) * kPower2 +
                           static_cast<uint32_t>((group >> 32) & 0xFFFF) * kPower1;
        return h * s_anInversePowers[4 - rest];
    }

    // Numbers the kinds of the keys 0 .. count-1 of keys in the order they first come: kinds[i] is the number
    // of the kind of key i (equal keys are of one kind); returns the number of kinds. hashes[i] is HashKey of
    // key i; stored[i] is where the key's text or entry is (fetched ahead). The keys are put into groups by their
    // hashes, and each group is looked up in a small table of its own that stays in the cache (in parallel tasks when
    // asked), reading texts only where hashes agree: a hash of all the keys would wait for memory at nearly every key.
    // Throws std::bad_alloc.
    static size_t NumberKinds(const IKeySource& keys, const char16_t* const* stored, const uint32_t* hashes,
                              size_t count, bool parallel, int32_t* kinds);

    long GetCount() const { return m_nCount; }
    size_t GetSlotCount() const { return m_nMask + 1; }
    size_t GetAllocatedBytes() const { return GetSlotCount() * sizeof(SSlot); }

    // Forgets every key; the slots stay.
    void RemoveAll();

    // Cheap consistency check of the counters (tests).
    bool Validate() const;
    // Thorough check: every stored key has its hash and is reached by probing from its first slot, and the
    // occupied slots add up to the count (tests).
    bool ValidateFull() const;

private:
    struct SSlot
    {
        uint32_t m_nHash;  // HashKey of the key: most probes end here without reading the text
        uint32_t m_nEntry; // the index stored for the key + 1; 0 for an empty slot
    };
    static_assert(sizeof(SSlot) == 8);

    size_t SlotOf(uint32_t hash) const
    {
        return static_cast<size_t>((static_cast<uint64_t>(hash) * 0x9E3779B97F4A7C15ull) >> m_nShift);
    }
    static constexpr uint32_t kPower1 = 33u, kPower2 = kPower1 * 33u, kPower3 = kPower2 * 33u, kPower4 = kPower3 * 33u;

    // The hash of the first n / 4 groups of four units, four units a step: the same value as unit by unit with
    // a quarter of the dependent multiplies.
    // (GCC 12 warns of p[i + 3] past the end of a short literal key, for which the loop never runs.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    static uint32_t HashWholeGroups(const char16_t* p, size_t n)
    {
        uint32_t h = 0;
        for (size_t i = 0; i + 4 <= n; i += 4)
            h = h * kPower4 + p[i] * kPower3 + p[i + 1] * kPower2 + p[i + 2] * kPower1 + p[i + 3];
        return h;
    }
#pragma GCC diagnostic pop

    // True when the keys of a source may be read far enough past their terminators to be compared in steps.
    static bool ComparesInSteps(const IKeySource& keys) { return keys.GetReadableAfterKeys() + 1 >= kCompareUnits; }
    static bool Equal(KStringView key, const char16_t* pStored);

    // 33^-k modulo 2^32 for k = 0 .. 4.
    static constexpr uint32_t s_anInversePowers[5] = {InversePowerOf33(0), InversePowerOf33(1), InversePowerOf33(2),
                                                      InversePowerOf33(3), InversePowerOf33(4)};
    void Rehash(size_t slots);

    const char16_t* KeyOf(const SSlot& slot) const { return m_keys.GetKey(static_cast<long>(slot.m_nEntry) - 1); }

    CTableAllocator& m_allocator; // source of the slot array; outlives the hash
    const IKeySource& m_keys;     // the key texts of the stored indices
    bool m_bCompareInSteps;       // the keys may be read kCompareUnits - 1 units beyond their terminators
    SSlot* m_pSlots;              // m_nMask + 1 slots, a power of two
    size_t m_nMask;               // slot count - 1
    int m_nShift;                 // 64 - log2(slot count): the top bits of the mixed hash pick the slot
    long m_nCount;                // occupied slots, at most half of them
};
