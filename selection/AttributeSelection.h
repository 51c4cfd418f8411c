#pragma once
// CAttributeSelection: the selection state of one attribute: its selected
// values, the records they select (caches), the counts shown beside the
// attribute, and the restrictions in force on it.
//
// Owned by the table's CTableSelection (one per attribute that was asked for,
// made on first use and dropped with its attribute). Selected values are
// stored value pointers of the attribute; they are dropped when the
// attribute's values are rebuilt. Restrictions are shared: a disjunction sits
// in the list of each of its members' attributes, and later in the history.
//
// Threading: the table's thread. CountSelectedRecordsIfNecessary splits its
// loop over the records into parallel tasks that only read.

#include "platform/Text.h"

#include <memory>
#include <vector>

class CAttribute;
struct CRecord;
class CSet;
class CSetAttributeCommand;
class CTable;
class CTableSelection;

class CAttributeSelection
{
public:
    CAttributeSelection(CTableSelection& owner, CAttribute& attribute);
    ~CAttributeSelection();
    CAttributeSelection(const CAttributeSelection&) = delete;
    CAttributeSelection& operator=(const CAttributeSelection&) = delete;

    // The selection state of an attribute (made on first use). The attribute must belong to a table.
    static CAttributeSelection& Of(CAttribute& attribute);
    static CAttributeSelection& Of(CAttribute* attribute) { return Of(*attribute); }

    CAttribute& GetAttribute() const { return m_attribute; }

    // ---- selected values ----
    // Selects one value (a stored value pointer, or null) and/or one record; extend keeps the
    // attribute's other selected values.
    void SelectValue(const char16_t* value, CRecord* record, bool extend, bool keepOutOfList = false,
                     bool refreshValueList = true);
    // Replaces the selection with values (ownership passes; null deselects).
    void SelectValues(std::unique_ptr<CSet> values, bool range = false, const char16_t* low = nullptr,
                      const char16_t* high = nullptr, bool byColour = false);
    // Selects every value that occurs among the qualified records.
    void SelectAllValues();
    void DeselectValue(const char16_t* value, CRecord* record);
    void DeselectAllValues();
    // A single value is selected when it is in the set; a list when any of its parts is.
    bool IsValueSelected(const char16_t* value) const;
    bool IsValueIndexSelected(long index) const;
    const CSet* GetSelectedValues() const { return m_pSelectedValues.get(); }
    bool HasSelection() const { return m_pSelectedValues != nullptr; }
    bool IsRangeSelection() const { return m_bRangeSelection; }
    const char16_t* GetRangeLow() const { return m_pRangeLow; }
    const char16_t* GetRangeHigh() const { return m_pRangeHigh; }
    int GetGroupingPrefixLength() const { return m_nGroupingPrefixLength; }
    void SetGroupingPrefixLength(int length) { m_nGroupingPrefixLength = length < 0 ? 0 : (length > 8 ? 8 : length); }
    int GetSelectionPrefixLength() const { return m_nSelectionPrefixLength; }
    bool IsSelectedByColour() const { return m_bSelectedByColour; }

    // ---- the records the selection selects ----
    void ComputeSelectedValuesFromExplicitlySelectedRecords();
    void RecomputeExplicitlySelectedRecordsIfNecessary();
    void RecomputeImplicitlySelectedRecordsIfNecessary();
    // Borrowed caches; null until computed.
    const CSet* GetExplicitlySelectedRecords() const { return m_pExplicitRecords.get(); }
    const CSet* GetImplicitlySelectedRecords() const { return m_pImplicitRecords.get(); }
    void CountSelectedRecordsIfNecessary();
    long GetSelectedRecordCount() const { return m_nSelectedRecordCount; }
    bool IsWholeSelection() const { return m_bWholeSelection; }
    bool IsSelectionDirty() const { return m_bSelectionDirty; }
    // The count must be recomputed (the qualified records changed).
    void SetSelectionDirty() { m_bSelectionDirty = true; }
    // Records came or went: both record caches go (they are worked out again from the selected values).
    void ForgetRecords();

    // ---- restrictions ----
    // Restrictions in force on this attribute (shared: a disjunction sits in the list of each member).
    const std::vector<std::shared_ptr<CSetAttributeCommand>>& GetRestrictions() const { return m_restrictions; }
    void AddRestriction(std::shared_ptr<CSetAttributeCommand> restriction);
    bool IsRestricted() const { return !m_restrictions.empty(); }
    bool IsConstant() const;
    // The union of the value sets of the restrictions (out is emptied first).
    void GetRestrictedValues(CSet& out) const;
    void ReleaseRestrictions();
    // Removes one restriction of this attribute (a disjunction only from this list); true when it was there.
    bool RemoveRestriction(const CSetAttributeCommand* restriction);
    // Empties the list without touching other attributes' lists and without raising the flags (a reset).
    void ClearRestrictions() { m_restrictions.clear(); }
    // Installs a list as it was (a history checkpoint); raises no flags.
    void SetRestrictions(std::vector<std::shared_ptr<CSetAttributeCommand>> restrictions)
    {
        m_restrictions = std::move(restrictions);
    }
    // Removes one disjunction from this attribute's list; true when it was there.
    bool ReleaseDisjunction(const CSetAttributeCommand* disjunction);

private:
    CTable& Table() const;

    CTableSelection& m_owner;                 // the table's selection state
    CAttribute& m_attribute;                  // outlives this (its deletion drops this first)
    std::unique_ptr<CSet> m_pSelectedValues;  // selected value pointers; null when nothing is selected, never empty
    std::unique_ptr<CSet> m_pExplicitRecords; // records selected in this attribute; null when not computed
    std::unique_ptr<CSet> m_pImplicitRecords; // shown records whose value is selected; null when not computed
    bool m_bRangeSelection = false;           // the selection was made as an interval
    const char16_t* m_pRangeLow = nullptr;    // interval bounds, only with at least two selected values
    const char16_t* m_pRangeHigh = nullptr;
    int m_nGroupingPrefixLength = 0;   // 0..8, set by the display
    int m_nSelectionPrefixLength = -1; // grouping prefix at the last selection; -1 when nothing selected
    long m_nSelectedRecordCount = 0;   // qualified shown records with a selected value, when not dirty
    bool m_bWholeSelection = false;    // every qualified shown record has a selected value
    bool m_bSelectionDirty = false;    // the count must be recomputed
    bool m_bSelectedByColour = false;  // the selection came from a colour class
    std::vector<std::shared_ptr<CSetAttributeCommand>> m_restrictions; // in force, in order of addition
};
