// The table's sort state and the sorting of its records by attributes.

#include "engine/TableSort.h"

#include "engine/Attribute.h"
#include "engine/RecordSort.h"
#include "engine/Table.h"
#include "platform/Resources.h"

#include <algorithm>

namespace
{
constexpr int kSortingBy = 2714; // "nach '%1' sortieren"
} // namespace

std::vector<CAttribute*> CTableSort::GetPreviousSortAttributes() const
{
    std::vector<CAttribute*> previous;
    for (CAttribute* attribute : m_apPrevious)
    {
        if (attribute)
            previous.push_back(attribute);
    }
    return previous;
}

void CTableSort::MakePrimary(CAttribute* attribute, bool isKey)
{
    if (isKey)
    {
        ClearPrevious();
        m_pPrimary = attribute;
        return;
    }
    if (m_pPrimary == attribute)
        return;
    // The list from the most recent on: the primary so far, then the previous ones without the new primary.
    std::vector<CAttribute*> list;
    if (m_pPrimary)
        list.push_back(m_pPrimary);
    for (CAttribute* previous : m_apPrevious)
    {
        if (previous && previous != attribute && previous != m_pPrimary)
            list.push_back(previous);
    }
    m_apPrevious.fill(nullptr);
    for (size_t i = 0; i < list.size() && i < m_apPrevious.size(); ++i)
        m_apPrevious[i] = list[i];
    m_pPrimary = attribute;
}

void CTableSort::Clear()
{
    m_pPrimary = nullptr;
    m_apPrevious.fill(nullptr);
    m_bSortChanged = false;
    ++m_nOrderGeneration; // never back to a number a holder of positions may have kept
}

void CTableSort::Forget(const CAttribute* attribute)
{
    if (m_pPrimary == attribute)
        m_pPrimary = nullptr;
    auto end = std::remove(m_apPrevious.begin(), m_apPrevious.end(), attribute);
    std::fill(end, m_apPrevious.end(), nullptr);
}

// ---- sorting the table's records ----

void CTableSort::SortColumns(CAttribute* attribute, int mode, bool interactive, bool animate)
{
    (void)interactive; // the animation of the new order is the display's: it follows the order generation
    (void)animate;
    if (!attribute || m_table.FindAttributeIndex(attribute) < 0)
        return;
    CStatusMessageGuard status(m_table, FormatResource(kSortingBy, {attribute->GetDisplayName(30)}));
    SetSortChanged(true);
    // A header sorts by its shown children from the last to the first, so that its first child ends up as the
    // primary key and the others order its ties.
    std::vector<CAttribute*> sortList;
    if (attribute->IsHeader())
    {
        for (CAttribute* child : attribute->GetChildren())
        {
            if (!child->IsHeader() && child->IsShown() && !child->IsHidden())
                sortList.push_back(child);
        }
        std::reverse(sortList.begin(), sortList.end());
    }
    else
    {
        sortList.push_back(attribute);
    }
    bool reordered = false;
    for (CAttribute* key : sortList)
    {
        // Mode 1 names the sorter of a coupled group; without coupled groups it only sorts. Modes 2 and 3 make
        // the attribute the primary sort attribute.
        if (mode != 1)
            MakePrimary(key, key == m_table.GetKeyAttribute());
        // The children of a header follow the header's direction.
        const bool reverse = attribute->IsHeader() ? attribute->IsReverseSort() : key->IsReverseSort();
        reordered |= CRecordSort::Sort(*key, m_table.GetAllRecords(), reverse, false);
    }
    if (reordered)
    {
        NextOrderGeneration();
        m_table.RecomputeShownRecords(); // the shown records follow the new order
    }
}
