#pragma once
// CRecordGeometry: where each record of a sequence of record columns starts, by prefix sums.
//
// A sequence is the display list (the shown records in table order) or, in the overview, one attribute's
// shown records ordered by its values. Every record falls into one of three classes by its flags: refused
// (shown, not qualified), qualified and open (qualified with its column expanded). All widths of the three
// view modes have the form
//     width = base[class] + perWeight[class] * weight
// where weight is the record's value in the width attribute (0 when not positive or not a number, and 0
// without a width attribute). So the left edge of position i is
//     left(i) = base[R] * R(i) + base[Q] * Q(i) + base[O] * O(i) + perWeight[R] * WR(i) + perWeight[Q] * WQ(i)
// with R(i), Q(i), O(i) the number of records of each class before i and WR(i), WQ(i) the weights of the
// refused and qualified records before i. The prefix counts and weights depend only on the records and their
// flags; a change of widths (every frame of an animation) costs nothing here, and left(i) is monotone, so the
// column under a pixel is found by binary search.
//
// Example: records [r0 qualified, r1 refused, r2 qualified], base = {R: 5, Q: 96, O: 96}, no width attribute:
// R = [0, 0, 1, 1], O = [0, 0, 0, 0], left = [0, 96, 101, 197].
//
// Threading: the table's thread; const members may run side by side while nothing rebuilds.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

class CAttribute;
struct CRecord;

namespace display
{

enum ERecordClass : int
{
    CLASS_REFUSED = 0,   // shown but not qualified
    CLASS_QUALIFIED = 1, // qualified, column not open (or open records where they count as qualified)
    CLASS_OPEN = 2,      // qualified with its column open
    CLASS_COUNT = 3
};

// The widths of the current mode, as a function of a record's class and weight. Never negative.
struct SWidthRule
{
    double m_dBase[CLASS_COUNT] = {0.0, 0.0, 0.0};      // width of a record of weight 0
    double m_dPerWeight[CLASS_COUNT] = {0.0, 0.0, 0.0}; // added per unit of weight (0 for open records)
};

class CRecordGeometry
{
public:
    CRecordGeometry(); // empty
    CRecordGeometry(const CRecordGeometry&) = delete;
    CRecordGeometry& operator=(const CRecordGeometry&) = delete;

    // The class of a record by its flags; with openAsQualified an open record counts as qualified (the
    // overview, where open columns are not expanded).
    static ERecordClass Classify(const CRecord* record, bool openAsQualified);
    // The weight of a value of the width attribute: the value when positive, else 0 (NaN included).
    static double Weight(double value) { return value > 0.0 ? value : 0.0; }

    // Builds the prefix counts (and, with a width attribute, the prefix weights) over count records.
    // The records are copied; their flags are read now and not again.
    void Build(CRecord* const* records, long count, CAttribute* widthAttribute, bool openAsQualified);
    void Clear();

    long GetSize() const { return static_cast<long>(m_records.size()); }
    CRecord* GetRecord(long position) const { return m_records[static_cast<size_t>(position)]; }
    ERecordClass GetClass(long position) const;
    // The record's weight (0 without a width attribute).
    double GetWeight(long position) const;
    bool HasWeights() const { return !m_weightRefused.empty(); }
    bool CountsOpenAsQualified() const { return m_bOpenAsQualified; }

    // Totals over the whole sequence.
    long Count(ERecordClass c) const;
    double SumWeights(ERecordClass c) const; // CLASS_OPEN: always 0 (open records keep their full width)
    // Qualified records (open ones included) whose width value is not positive or not a number; 0 without
    // a width attribute.
    long CountQualifiedWithoutWeight() const { return m_nQualifiedWithoutWeight; }

    // The left edge of position (0 <= position <= GetSize(); GetSize() gives the total width).
    double GetLeft(long position, const SWidthRule& rule) const;
    double GetWidth(long position, const SWidthRule& rule) const;

    // The position of record, -1 when it is not in the sequence. The first call builds a map (one entry
    // per record number up to the largest).
    long FindPosition(const CRecord* record) const;
    // The position whose column holds pixel x (left <= x < right), -1 when none: O(log n).
    long FindPositionAt(double x, const SWidthRule& rule) const;
    // The positions [first, last) whose columns intersect [x0, x1), empty when none: O(log n).
    std::pair<long, long> FindPositionsIn(double x0, double x1, const SWidthRule& rule) const;

private:
    // The first position in [low, high) whose value of key is above (or, with orEqual, at least) x; high when
    // none. key must be non-decreasing.
    template <class F>
    static long LowerBound(long low, long high, F key);

    std::vector<CRecord*> m_records;            // the sequence, in order
    std::vector<uint32_t> m_refusedBefore;      // size + 1: refused records before each position
    std::vector<uint32_t> m_openBefore;         // size + 1: open records before each position (class OPEN)
    std::vector<double> m_weightRefused;        // size + 1 or empty: weights of refused records before
    std::vector<double> m_weightQualified;      // size + 1 or empty: weights of qualified records before
    bool m_bOpenAsQualified = false;            // open records were classed as qualified
    long m_nQualifiedWithoutWeight = 0;         // qualified records of weight 0 (with a width attribute)
    mutable std::vector<int32_t> m_positionMap; // record number -> position, -1; empty until first needed
};

} // namespace display
