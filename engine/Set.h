#pragma once
// An insertion-ordered set of pointers (records, values, attributes) with hashed membership.

#include "engine/Export.h"

#include <cstddef>
#include <vector>

// Members keep the order in which they were added (AddHead puts one in front). Membership is an open-
// addressing hash from pointer to position, sized from the prime list. Null is never a member. ForceAddTail
// skips the membership test and so may add a pointer twice; Remove then takes out one occurrence. Removing
// from the middle leaves a hole that the next GetAt closes in one pass.
// Threading: every const member except GetAt may run from several threads at once while nothing writes;
// GetAt counts as a write after a Remove. Copying is explicit, through Copy; moving is allowed.
class KORVALIN_CLASS CSet
{
public:
    explicit CSet(size_t expected = 0);
    CSet(const CSet&) = delete;
    CSet& operator=(const CSet&) = delete;
    CSet(CSet&& other) noexcept;
    CSet& operator=(CSet&& other) noexcept;

    // Appends p unless it is null or already a member; true when added.
    bool AddTail(const void* p);
    // Appends p without the membership test (the caller knows it is new); null is ignored.
    void ForceAddTail(const void* p);
    // Puts p in front unless it is null or already a member; true when added.
    bool AddHead(const void* p);
    // Takes p out; false when it was no member.
    bool Remove(const void* p);
    bool Find(const void* p) const;

    // First and last member, null when empty.
    const void* GetHead() const;
    const void* GetTail() const;
    // The i-th member in order (0 <= i < GetCount()).
    const void* GetAt(long i) const;

    long GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }
    void RemoveAll();
    // Makes this set a copy of other, members in the same order.
    void Copy(const CSet& other);

    // True when every member of this set is a member of other.
    bool IsSubset(const CSet& other) const;
    // True when a and b have the same members, in whatever order.
    static bool Equal(const CSet& a, const CSet& b);

    // Cheap consistency check of the counters (tests).
    bool Validate() const;
    // Thorough check: the hash and the order agree member by member (tests).
    bool ValidateFull() const;

private:
    struct SSlot
    {
        const void* m_pKey; // the member, null for a free slot
        long m_nPosition;   // its index in m_vOrder
    };

    static constexpr size_t s_nNoSlot = static_cast<size_t>(-1);

    size_t Home(const void* p) const;
    size_t FindSlot(const void* p) const;
    void InsertSlot(const void* p, long position) const;
    void EraseSlot(size_t slot);
    void ReserveFor(size_t count);
    void Rebuild(long frontRoom) const;
    void Append(const void* p);

    mutable std::vector<const void*> m_vOrder; // members in order in [m_nFirst, size()); null marks a hole
    mutable long m_nFirst;                     // index of the first member; slots before it are free room
    mutable long m_nHoles;                     // nulls in [m_nFirst, size()), all strictly inside
    mutable std::vector<SSlot> m_vSlots;       // linear-probing hash, load at most one half, size from the prime list
    long m_nCount;                             // members (counting a ForceAddTail duplicate twice)
};
