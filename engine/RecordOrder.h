#pragma once
// CRecordOrder: one attribute's records ordered by its values (all records,
// and the shown ones), ties in table order: caches built on demand.
//
// Owned by its CAttribute, by value; the attribute passes itself to the
// getters. The vectors are borrowed by callers until the next Invalidate,
// which every change of values or records makes (inline: it runs for every
// value added).
//
// Threading: the table's thread; the shown records' order may be asked for
// from parallel tasks (it is built under a lock).

#include <mutex>
#include <vector>

class CAttribute;
struct CRecord;

class CRecordOrder
{
public:
    // All records (or the shown ones) ordered by value, ties in table order. Borrowed; valid until invalidated.
    const std::vector<CRecord*>& GetSortedRecords(CAttribute& attribute);
    const std::vector<CRecord*>& GetSortedShownRecords(CAttribute& attribute);
    void Invalidate() { m_bSortedRecordsValid = m_bSortedShownRecordsValid = false; }

private:
    void Build(CAttribute& attribute, bool shownOnly);

    std::mutex m_sortLock;                 // guards the sorted shown records, asked for from parallel tasks
    std::vector<CRecord*> m_sortedRecords; // valid while m_bSortedRecordsValid
    std::vector<CRecord*> m_sortedShownRecords;
    bool m_bSortedRecordsValid = false;
    bool m_bSortedShownRecordsValid = false;
};
