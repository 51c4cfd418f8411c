#pragma once
// CTableSort: the order of a table's records: the attribute they were last sorted by (the primary sort
// attribute) and up to three attributes they were sorted by before it, most recent first. Because every sort
// is stable, records equal in the primary attribute keep the order of the earlier sorts, and the list
// records that order for the display. The direction of each attribute is its own reverse flag
// (CAttributeSettings). The order generation grows with every sort, so that holders of positions (the
// display's prefix sums) know to look again.
//
// Owned by its CTable, by value; borrowed attribute pointers of that table only, dropped when the attribute
// is deleted (Forget). Threading: the table's thread.

#include <array>
#include <cstdint>
#include <vector>

class CAttribute;

class CTableSort
{
public:
    static constexpr int s_nPreviousSortAttributes = 3;

    // The attribute the records were last sorted by as the primary key; null when none.
    CAttribute* GetPrimarySortAttribute() const { return m_pPrimary; }
    // The previous sort attributes, most recent first (at most three, no repeats, never the primary).
    std::vector<CAttribute*> GetPreviousSortAttributes() const;
    // Makes attribute the primary sort attribute: the primary so far moves to the first previous place, the
    // others shift down and the oldest is dropped; an attribute already among them is moved, not repeated.
    // For the key attribute the previous sort attributes are cleared instead.
    void MakePrimary(CAttribute* attribute, bool isKey);
    void ClearPrimary() { m_pPrimary = nullptr; }
    void ClearPrevious() { m_apPrevious.fill(nullptr); }
    // The attribute is deleted: it leaves the sort state.
    void Forget(const CAttribute* attribute);

    // Set by every sort of the records; cleared by whoever redraws after it.
    bool IsSortChanged() const { return m_bSortChanged; }
    void SetSortChanged(bool changed) { m_bSortChanged = changed; }
    // Grows with every reordering of the table's records.
    uint64_t GetOrderGeneration() const { return m_nOrderGeneration; }
    void NextOrderGeneration() { ++m_nOrderGeneration; }

private:
    CAttribute* m_pPrimary = nullptr;                                   // last primary sort attribute; may be null
    std::array<CAttribute*, s_nPreviousSortAttributes> m_apPrevious{}; // most recent first; nulls at the end
    bool m_bSortChanged = false;                                        // records were sorted since last cleared
    uint64_t m_nOrderGeneration = 0;                                    // number of reorderings so far
};
