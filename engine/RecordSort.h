#pragma once
// CRecordSort: puts an array of records into the order of one attribute's values.
//
// A stable distribution sort by value index, linear in the number of records plus the number of distinct
// values: the records of each distinct value stay in their current order (a chain per value), and the chains
// follow each other in the attribute's value order (CompareValueIndices), ascending or descending. Once the
// attribute's distinct values are sorted (RecomputeSortedValues, cached by the value array's sorted flag) a
// value's index is its rank, so no comparison of values is made at all.
//
// Worked example: records r0..r5 with the values b, a, "", b, c, a (undefined is the empty text, which sorts
// after every other value). Ascending: r1 r5 r0 r3 r4 r2; descending: r2 r4 r0 r3 r1 r5 (each chain keeps the
// records' previous order, so two sorts in a row keep the ties of the first).
//
// Records without a stored value count as undefined and share the undefined value's chain.
//
// Threading: the table's thread; keys are read in parallel tasks for large arrays when the table allows it.

class CAttribute;
class CRecordArray;

class CRecordSort
{
public:
    // Sorts records by attribute: ascending in the order of values, descending with reverse. With
    // undefinedFirst a multiple-valued attribute puts its records without a value first (in either
    // direction). Leaves the array unchanged for a header, for a derived attribute marked as not sortable and
    // when the records hold fewer than two distinct values. Returns whether the order may have changed.
    // Throws std::bad_alloc with the array unchanged.
    static bool Sort(CAttribute& attribute, CRecordArray& records, bool reverse, bool undefinedFirst);
};
