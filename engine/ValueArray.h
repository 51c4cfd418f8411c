#pragma once
// CValueArray: the distinct values of one attribute in index order.
//
// Each entry points at text in the attribute's value store; numeric attributes
// keep a double beside each text. The array knows nothing of formats: its
// owner (CAttribute) reads the numbers and decides the order, and tells the
// array what it found. Worked example: values added in the order
// "b", "a", "b", "" to four records give the array ["b", "a", ""] and the
// record indices [0, 1, 0, 2]; after sorting the array is ["a", "b", ""] and
// the indices become [1, 0, 1, 2] (undefined sorts last).
//
// Threading: used from the table's thread; the owner may fill the numbers from
// parallel tasks that write disjoint slots (GetDoublesForWriting).

#include "engine/Export.h"
#include "platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <limits>

class CTableAllocator;

class KORVALIN_CLASS CValueArray
{
public:
    CValueArray(CTableAllocator& allocator, long capacity);
    ~CValueArray();
    CValueArray(const CValueArray&) = delete;
    CValueArray& operator=(const CValueArray&) = delete;

    // Appends a value; returns its index. numeric: the values carry numbers; known: number is the value's (else
    // its number is to be read from the text later). The sorted flag is the caller's to clear.
    long AddNewValue(const char16_t* text, bool numeric, bool known, double number);

    // True when AppendUnsorted may append: the array is not flagged sorted and keeps no numbers.
    bool AppendsUnsorted() const { return !m_bSorted && !m_pDoubles; }
    // AddNewValue for a value of a text attribute when AppendsUnsorted and there is room (the capacity is above
    // the count): nothing but the text to keep. The caller clears the attribute's statistics.
    long AppendUnsorted(const char16_t* text)
    {
        m_pValues[m_nCount] = text;
        return m_nCount++;
    }

    // Fills this empty array with the values of from in the given order (order[i] is the index in from of
    // value i), with their numbers, and sets newIndex[order[i]] = i. Used when sorting.
    void TakeInOrder(const CValueArray& from, const uint32_t* order, int32_t* newIndex);

    long GetSize() const { return m_nCount; }
    long GetCapacity() const { return m_nCapacity; }
    // The stored text of a value (for a list, its encoded entry). Borrowed from the value store.
    const char16_t* GetValue(long index) const { return m_pValues[index]; }
    // All the stored texts, in index order.
    const char16_t* const* GetValues() const { return m_pValues; }
    const char16_t* GetLastValue() const { return m_nCount > 0 ? m_pValues[m_nCount - 1] : nullptr; }
    // The number as stored (valid when DoublesValid); NaN without numbers.
    double GetStoredDoubleValue(long index) const
    {
        return m_pDoubles ? m_pDoubles[index] : std::numeric_limits<double>::quiet_NaN();
    }
    // Asks the processor to fetch the entries of index (loops that visit values in another order).
    void Prefetch(long index) const
    {
        __builtin_prefetch(m_pValues + index);
        if (m_pDoubles)
            __builtin_prefetch(m_pDoubles + index);
    }
    // Asks for the text of index; its entry should be at hand already (after Prefetch).
    void PrefetchText(long index) const { __builtin_prefetch(m_pValues[index]); }
    bool HasDoubles() const { return m_pDoubles != nullptr; }
    bool DoublesValid() const { return m_bDoublesValid; }

    // The numbers of all values, for the owner to fill (made, undefined, when there were none); then
    // SetDoublesValid. Every slot up to the count is to be written.
    double* GetDoublesForWriting();
    void SetDoublesValid() { m_bDoublesValid = true; }
    void InvalidateDoubleValues() { m_bDoublesValid = false; }

    bool IsSorted() const { return m_bSorted; }
    void SetSorted(bool sorted) { m_bSorted = sorted; }

    // Points value index at text, an equal copy of its text elsewhere (the owner moved its texts).
    void ReplaceText(long index, const char16_t* text) { m_pValues[index] = text; }
    // Drops the values that equal an earlier one, after they were stored as values of their own: newIndex[i]
    // is the new index of value i, and a value is kept when its new index is the next one in turn (the first
    // of each kind, whose index earlier ones never take). The kept ones stay in order.
    void KeepFirstOfEqualValues(const int32_t* newIndex);

    // Makes room for size values (grow: in the usual steps, else exactly).
    void SetMaxSize(long size, bool grow);
    void RemoveAll();

    void CreateCheckpoint() { m_nCheckpointCount = m_nCount; }
    void RestoreCheckpoint();
    void DeleteCheckpoint() { m_nCheckpointCount = -1; }
    long GetCheckpointCount() const { return m_nCheckpointCount; }

    size_t GetAllocatedBytes() const;

private:
    CTableAllocator& m_allocator;
    const char16_t** m_pValues = nullptr; // m_nCapacity slots, the first m_nCount set
    // Null until a number is stored or computed; else m_nCapacity slots, the first m_nCount set (a slot beyond
    // the count is never read: its pages need not be touched).
    double* m_pDoubles = nullptr;
    long m_nCapacity = 0;         // slots allocated
    long m_nCount = 0;            // values stored
    long m_nCheckpointCount = -1; // count at the checkpoint, -1 when none
    bool m_bSorted = true;        // true while the values are known to be ascending
    bool m_bDoublesValid = true;  // false when some number must be recomputed from its text
};
