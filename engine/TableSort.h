#pragma once
// CTableSort: the order of a table's records: the attribute they were last sorted by (the primary sort
// attribute) and up to three attributes they were sorted by before it, most recent first. Because every sort
// is stable, records equal in the primary attribute keep the order of the earlier sorts, and the list
// records that order for the display. The direction of each attribute is its own reverse flag
// (CAttributeSettings). The order generation grows with every sort, so that holders of positions (the
// display's prefix sums) know to look again.
//
// It also sorts the table's records (SortColumns), in place in the all-records array.
//
// Owned by its CTable, by value, and bound to it for life; borrowed attribute pointers of that table only,
// dropped when the attribute is deleted (Forget). Not copyable. Threading: the table's thread.

#include <array>
#include <cstdint>
#include <vector>

class CAttribute;
class CTable;

class CTableSort
{
public:
    static constexpr int s_nPreviousSortAttributes = 3;

    // table: the owner, which outlives the part.
    explicit CTableSort(CTable& table) : m_table(table) {}
    CTableSort(const CTableSort&) = delete;
    CTableSort& operator=(const CTableSort&) = delete;

    // Sorts the records by attribute (a header: by its shown children, the last first) in each attribute's
    // direction, stably, and rebuilds the shown records. Mode 2 and 3 make the attribute the primary sort
    // attribute; mode 1 only sorts. interactive and animate are for the display, which follows the order
    // generation. Nothing for an attribute not in the table. Status text 2714 while it runs.
    void SortColumns(CAttribute* attribute, int mode, bool interactive, bool animate);

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
    // The table is cleared: no sort attributes, no pending change; the order generation grows (the records went).
    void Clear();
    // The attribute is deleted: it leaves the sort state.
    void Forget(const CAttribute* attribute);

    // Set by every sort of the records; cleared by whoever redraws after it.
    bool IsSortChanged() const { return m_bSortChanged; }
    void SetSortChanged(bool changed) { m_bSortChanged = changed; }
    // Grows with every reordering of the table's records.
    uint64_t GetOrderGeneration() const { return m_nOrderGeneration; }
    void NextOrderGeneration() { ++m_nOrderGeneration; }

private:
    CTable& m_table;                                                    // the owner
    CAttribute* m_pPrimary = nullptr;                                   // last primary sort attribute; may be null
    std::array<CAttribute*, s_nPreviousSortAttributes> m_apPrevious{}; // most recent first; nulls at the end
    bool m_bSortChanged = false;                                        // records were sorted since last cleared
    uint64_t m_nOrderGeneration = 0;                                    // number of reorderings so far
};
