#pragma once
// CAttributeRows: the attributes of one table selected as rows (objects in their own right, not their values),
// in the order they were selected, the first being the lead; and hiding attributes by their content, which
// drops what it hides from that selection. Selecting rows clears the value selection and the other way round
// (CTableSelection::DeselectAllValues / CAttributeSelection).
//
// Owned by its CTableSelection, by value, and bound to it for life; it holds borrowed pointers to attributes
// of the selection's table only, dropped when the attribute is deleted (DeselectAttribute) or the table
// cleared (DeselectAllAttributes). Not copyable. Threading: the table's thread.

#include <vector>

class CAttribute;
class CTableSelection;

class CAttributeRows
{
public:
    // owner: the selection state it belongs to, which outlives it.
    explicit CAttributeRows(CTableSelection& owner) : m_owner(owner) {}
    CAttributeRows(const CAttributeRows&) = delete;
    CAttributeRows& operator=(const CAttributeRows&) = delete;

    // ---- attributes selected as rows ----
    bool IsSelected(const CAttribute* attribute) const;
    // Adds attribute to the selection (keep) or makes it the only one; clears the value selection first.
    // Nothing for null.
    void SelectAttribute(CAttribute* attribute, bool keep);
    // Exactly these attributes, in this order; clears the value selection.
    void SelectAttributes(const std::vector<CAttribute*>& attributes);
    // Every shown, not suppressed attribute, in table order; clears the value selection.
    void SelectAllAttributes();
    void DeselectAttribute(CAttribute* attribute);
    void DeselectAllAttributes() { m_selection.clear(); }
    // The selected attributes in the order they were selected (borrowed).
    const std::vector<CAttribute*>& GetAttributeSelection() const { return m_selection; }
    // The first selected attribute; null when none.
    CAttribute* GetLeadAttribute() const { return m_selection.empty() ? nullptr : m_selection[0]; }

    // ---- hiding attributes by content (shown, unrestricted, non-header attributes only) ----
    // Hides those with at most one value (emptyOnly: those with no non-empty value), then headers left empty.
    void HideIdenticalAttributes(bool emptyOnly);
    // Hides those with a value in every qualified record (none when no record is qualified).
    void HideCompleteAttributes();
    // Hides and suppresses every header without a shown attribute below it.
    void HideEmptyHeaders();
    // Shows every hidden, not suppressed attribute; selectThem: they become the row selection (values
    // deselected).
    void ShowAllHiddenAttributes(bool selectThem);

private:
    CTableSelection& m_owner;             // the owner
    std::vector<CAttribute*> m_selection; // rows selected as objects; [0] is the lead; no repeats
};
