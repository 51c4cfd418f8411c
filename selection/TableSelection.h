#pragma once
// CTableSelection: everything the user has selected and restricted in one
// table, and the operations on it: the attributes with selected values (in the
// order they got them), the attributes selected as rows and hiding attributes
// by content (CAttributeRows), the keyboard cursor,
// the view modes selecting follows, each attribute's CAttributeSelection
// (selected values and restrictions), the CQualification that evaluates the
// restrictions and the CCommandHistory that submits commands and keeps the
// back, forward, undo and redo lists. This is the table's selection-side
// document.
//
// The table owns it as a companion (engine/TableCompanion.h): Of(table) makes
// it on first use, and the table tells it when attributes, values or records
// it points at go away. It holds borrowed pointers to attributes and records
// of its table only.
//
// Threading: the table's thread.

#include "engine/TableCompanion.h"
#include "selection/AttributeRows.h"
#include "selection/AttributeSelection.h"
#include "selection/Qualification.h"

#include <memory>
#include <unordered_map>
#include <vector>

class CAttribute;
class CCommandHistory;
class CKeptRecords;
struct CRecord;
class CSet;
class CSetAttributeCommand;
class CTable;

// Carries out view-mode switches for whoever lays the table out (the display), so that it can animate and
// lay out again; without one the selection sets the flags itself. Registered with
// CTableSelection::SetViewModeListener.
class CViewModeListener
{
public:
    virtual ~CViewModeListener() = default;
    // Switches the flags to mode (1 full, 2 compressed, other overview) in the order SetViewMode describes,
    // hiding the refused records when the sort-all flag changes; notify: animate and redraw.
    virtual void SwitchViewMode(int mode, bool notify) = 0;
    // The selection state it is registered with goes (its table is destroyed): it must not be called again.
    virtual void OnSelectionDestroyed() {}
};

class CTableSelection final : public CTableCompanion
{
public:
    explicit CTableSelection(CTable& table);
    ~CTableSelection() override;

    // The selection state of a table (made and attached on first use).
    static CTableSelection& Of(CTable& table);
    // The selection state of a table when it has one, else null.
    static const CTableSelection* Find(const CTable& table);

    CTable& GetTable() const { return m_table; }
    CQualification& GetQualification() { return m_qualification; }
    const CQualification& GetQualification() const { return m_qualification; }
    // The selection state of one of the table's attributes (made on first use); Find: null when none yet.
    CAttributeSelection& For(CAttribute& attribute);
    CAttributeSelection* Find(const CAttribute& attribute);
    // Every attribute state made so far (borrowed), in no particular order.
    std::vector<CAttributeSelection*> GetAttributeStates() const;
    const CAttributeSelection* Find(const CAttribute& attribute) const;

    // ---- selected values ----
    bool HasSelectedValues(const CAttribute* attribute) const;
    // The attributes with selected values, in the order in which each got its first one. Borrowed.
    const std::vector<CAttribute*>& GetValueSelectionList() const { return m_valueSelectionList; }
    void AddToValueSelectionList(CAttribute* attribute);
    void RemoveFromValueSelectionList(CAttribute* attribute);
    // Clears the selection of every attribute.
    void DeselectAllValues();
    // Drops the selections of constant attributes (all selections when fewer than two attributes have one).
    void DeselectConstants();
    // Qualified records (all-records order) whose value in some attribute of the value-selection list is selected.
    void ComputeSelectedRecordsFromSelectedValues(CSet& out);
    // The selected records of the whole table (value rule in compressed mode, record caches otherwise).
    void GetOverallSelectedRecords(CSet& out, bool force = false);
    // The number of overall selected records (cached until the selection changes).
    long CountSelectedRecords();
    CRecord* GetFirstSelectedRecord(bool qualifiedOnly);
    // The run of adjacent qualified shown records around the cursor record that share its value.
    void GetRecordsSelectedByKeyboard(std::vector<CRecord*>& out);
    // A restriction that would select exactly the current selection; null when nothing is selected.
    std::shared_ptr<CSetAttributeCommand> GetDefiningRestriction(bool fromRecords);
    // Counts the selected records of every attribute whose count is out of date.
    void CountSelectedRecordsIfNecessary();
    // Drops the cached selection counts of the table.
    void ClearSelectionCounts() { m_nSelectedRecords = -1; }

    // ---- attributes selected as rows and hiding attributes by content ----
    CAttributeRows& GetAttributeRows() { return m_rows; }
    const CAttributeRows& GetAttributeRows() const { return m_rows; }

    // ---- commands and zooms ----
    // The command histories and the submitting of commands.
    CCommandHistory& GetHistory() { return *m_pHistory; }
    const CCommandHistory& GetHistory() const { return *m_pHistory; }
    // Turns the current value selection into a restriction and submits it (toggle: a single-click zoom that
    // zooms out of a fully selected restricted attribute). False when nothing was submitted or it failed.
    bool EvaluateSelection(bool toggle, bool exclude);
    bool ZoomIn() { return EvaluateSelection(false, false); }
    bool Exclude() { return EvaluateSelection(false, true); }
    // Submits a release of the first restricted attribute with selected values; false when there is none.
    bool ZoomOut();
    // Submits a CResetCommand.
    bool SubmitReset();
    bool ZoomInPossible();
    bool ExcludePossible() const;
    bool ZoomOutPossible() const;
    // The table-side reset (the effect of CResetCommand): the temporary modifications of the current query are
    // undone, selections cleared (deselect), every restriction released, every record qualified and shown,
    // hidden attributes shown and the remembered view mode restored. sortAgain: records sorted by another
    // attribute (or by the first one descending) are sorted by the first attribute again; without it the primary
    // sort attribute is forgotten. Either way the previous sort attributes and every direction are cleared.
    void Reset(bool deselect, bool sortAgain);

    // ---- records that commands keep out of the table (RecordCommands.h) ----
    // A keeper is told (SaveValues) before an attribute's values are rebuilt while it is registered.
    void AddKeptRecords(CKeptRecords* kept) { m_keptRecords.push_back(kept); }
    void RemoveKeptRecords(CKeptRecords* kept);

    // ---- view modes and the cursor ----
    // 1 full table, 2 compressed table, any other number the overview: sort-all off then compressed off, sort-all
    // off then compressed on, or compressed on then sort-all on (a flag already as wanted is left alone); a
    // change of the sort-all flag hides the refused records. notify: animated and redrawn by the listener.
    // remember: a reset restores the mode.
    void SetViewMode(int mode, bool notify, bool remember);
    int GetViewMode() const;
    // Submit a CModeSwitchCommand for mode 1, 2 or 3; nothing (false) when the table has no attribute or is in
    // that mode already, or the switch was vetoed.
    bool SwitchToFullTable() { return SwitchToViewMode(1); }
    bool SwitchToCompressedTable() { return SwitchToViewMode(2); }
    bool SwitchToOverview() { return SwitchToViewMode(3); }
    bool SwitchToViewMode(int mode);
    // Submits a CSortCommand by attribute (reverse: turn its direction first); false when it was not executed.
    bool SortRecords(CAttribute* attribute, bool reverse);
    // The display that carries out mode switches (borrowed; null: none). The listener must unregister (null)
    // before it goes; GetViewModeListener tells whether it is still registered.
    void SetViewModeListener(CViewModeListener* listener) { m_pViewModeListener = listener; }
    CViewModeListener* GetViewModeListener() const { return m_pViewModeListener; }
    int GetRememberedViewMode() const { return m_nRememberedViewMode; }
    void SetRememberedViewMode(int mode) { m_nRememberedViewMode = mode; }
    bool IsCompressedMode() const { return m_bCompressedMode; }
    void SetCompressedMode(bool on) { m_bCompressedMode = on; }
    bool IsSortAllMode() const { return m_bSortAllMode; }
    void SetSortAllMode(bool on) { m_bSortAllMode = on; }
    // The keyboard cursor of the display.
    CRecord* GetCursorRecord() const { return m_pCursorRecord; }
    CAttribute* GetCursorAttribute() const { return m_pCursorAttribute; }
    void SetCursor(CRecord* record, CAttribute* attribute) { m_pCursorRecord = record, m_pCursorAttribute = attribute; }
    void ResetCursor() { SetCursor(nullptr, nullptr); }

    // ---- forwards to the parts, under the names callers know (described in the parts' headers) ----
    // attributes selected as rows (CAttributeRows)
    bool IsSelected(const CAttribute* attribute) const { return m_rows.IsSelected(attribute); }
    void SelectAttribute(CAttribute* attribute, bool keep) { m_rows.SelectAttribute(attribute, keep); }
    void DeselectAttribute(CAttribute* attribute) { m_rows.DeselectAttribute(attribute); }
    void DeselectAllAttributes() { m_rows.DeselectAllAttributes(); }
    // ---- end of the forwards ----

private:
    // CTableCompanion
    void OnTableCleared() override;
    void OnAttributeDeleted(CAttribute* attribute) override;
    void OnValuesRebuilt(CAttribute* attribute) override;
    void OnRecordsChanged(bool removed) override;
    void OnRecordsDetached(const CSet& records) override;

    CTable& m_table;
    CQualification m_qualification;
    std::unique_ptr<CCommandHistory> m_pHistory; // never null
    // Per attribute that was asked for; an entry goes with its attribute.
    std::unordered_map<const CAttribute*, std::unique_ptr<CAttributeSelection>> m_attributes;
    std::vector<CAttribute*> m_valueSelectionList; // attributes with a selected-value set, no repeats
    CAttributeRows m_rows{*this};                  // attributes selected as rows
    long m_nSelectedRecords = -1;                  // cached overall selected count, -1 when unknown
    bool m_bCompressedMode = false;                // compressed table or overview
    bool m_bSortAllMode = false;                   // overview
    int m_nRememberedViewMode = 1;                 // the view mode a reset restores (1, 2 or 3)
    CViewModeListener* m_pViewModeListener = nullptr; // the display's; borrowed, may be null
    CRecord* m_pCursorRecord = nullptr;            // keyboard cursor, may be null
    std::vector<CKeptRecords*> m_keptRecords;      // keepers of records taken out, while they are out
    CAttribute* m_pCursorAttribute = nullptr;
};
