#pragma once
// CQualification: the evaluation of a table's restrictions into the
// qualified flags of its records, and the shown and refused records that
// follow from them.
//
// Part of the table's CTableSelection, which owns it. The restrictions
// themselves sit in the attributes' CAttributeSelection; the qualified, shown
// and open flags and their counts are the records' own (engine/). Kept here:
// the records forced to stay qualified by the last evaluation, whether a
// restriction was added or released since, and the view settings evaluation
// follows (hiding refused records, the width attribute).
//
// Threading: the table's thread. EvaluateAttribute splits its loop over the
// records into parallel tasks that write disjoint records' flags.

#include <memory>
#include <mutex>
#include <vector>

class CAttribute;
struct CRecord;
class CRecordArray;
class CSet;
class CSetAttributeCommand;
class CTable;
class CTableSelection;

class CQualification
{
public:
    CQualification(CTableSelection& owner, CTable& table);
    CQualification(const CQualification&) = delete;
    CQualification& operator=(const CQualification&) = delete;

    // The records a restriction accepts; returns true when an accepted record was refused.
    bool GetAffectedRecords(const CSetAttributeCommand& restriction, CSet& out, bool includeRefused,
                            const CRecordArray* records = nullptr);
    // Applies the attribute's restrictions to the qualified records of records; returns how many it refused.
    long EvaluateAttribute(CAttribute* attribute, const CRecordArray& records,
                           std::vector<const CSetAttributeCommand*>& done);
    // Recomputes every qualified flag from the restrictions.
    void Evaluate();
    // Evaluate, then the shown records follow (and refused records are hidden when asked).
    void Reevaluate(bool animate = false);
    void HideRefusedRecords(bool animate = false);
    // Whether some refused record is shown (HideRefusedRecords would change something).
    bool HideRecordsPossible() const;
    void ShowAllRefusedRecords();
    long CountQualZeroWidthRecords();
    CAttribute* FindFirstSelectedRestrictedAttribute() const;

    // Marks that a restriction was added (refuses only) or released (may qualify again).
    void SetRestrictionsChanged(bool released);
    bool AreRestrictionsChanged() const { return m_bRestrictionsChanged; }
    // The restrictions and the flags agree again (a reset released all and qualified every record).
    void ClearRestrictionsChanged() { m_bRestrictionsChanged = m_bRestrictionsReleased = false; }
    bool AreRestrictionsReleased() const { return m_bRestrictionsReleased; }
    // Records kept qualified by the last evaluation (open records). Borrowed.
    const std::vector<CRecord*>& GetForcedRecords() const { return m_forcedRecords; }
    void ClearForcedRecords() { m_forcedRecords.clear(); }
    bool IsAutoHideRefused() const { return m_bAutoHideRefused; }
    void SetAutoHideRefused(bool on) { m_bAutoHideRefused = on; }
    // The attribute whose numbers give the record widths; null when none.
    CAttribute* GetWidthAttribute() const { return m_pWidthAttribute; }
    void SetWidthAttribute(CAttribute* attribute) { m_pWidthAttribute = attribute; }

    // The table's notices (through CTableSelection).
    void Clear();
    void ForgetAttribute(const CAttribute* attribute);
    void ForgetRecords() { m_forcedRecords.clear(); }
    // The records of the set left the table: they are no longer forced.
    void ForgetRecords(const CSet& records);

private:
    CTableSelection& m_owner;
    CTable& m_table;
    std::vector<CRecord*> m_forcedRecords;   // set qualified again after evaluation
    std::mutex m_evaluationLock;             // guards m_forcedRecords during parallel evaluation
    long m_nQualifiedZeroWidth = 0;          // qualified records without a positive width
    bool m_bAutoHideRefused = false;         // hide refused records after every evaluation
    bool m_bRestrictionsChanged = false;     // a restriction was added or removed
    bool m_bRestrictionsReleased = false;    // a restriction was removed: evaluate all records
    CAttribute* m_pWidthAttribute = nullptr; // numbers give record widths; may be null
};
