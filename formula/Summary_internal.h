#pragma once
// The computation behind RecomputeSummary (Summary.h), shared by SummaryRun.cpp (inputs, storing),
// SummaryGroups.cpp (one result per group) and SummaryRecords.cpp (a result per record). Nothing outside these
// files includes it.
//
// The run reads, once, every record's value index of the summarised attribute and its group (the grouping
// attribute's value index), and works with arrays indexed by group or by value from then on: no hash, no
// allocation per record. Functions that need the records of a group together put them in buckets by group
// (a stable counting sort, so that each bucket keeps the table's order) and mark the values met in the current
// group with a stamp array. The results go into a pool of distinct texts with their numbers; every record gets
// the id of its result, and the ids are stored as the summary's values in one step.
//
// Threading: one run on one thread; see RecomputeSummary.

#include "formula/Summary.h"

#include "engine/Attribute.h"
#include "engine/Table.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace formula::summary_internal
{

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr uint32_t kNone = UINT32_MAX;
// From this many distinct results they are stored in one step (engine/ValueBulk.h), else one by one.
constexpr size_t kBulkResults = 4096;

// The distinct results of a run and, per record, which one it got (0: the undefined value).
class CResultPool
{
public:
    CResultPool(const CFormatRegistry& formats, int formatId, size_t records)
        : m_formats(formats), m_nFormat(formatId), m_vIds(records, 0)
    {
        m_vEnds.push_back(0); // result 0: undefined
        m_vNumbers.push_back(kNaN);
    }

    // A number written with the summary's format (followed by "%" for percentages).
    uint32_t AddNumber(double number, bool percent = false)
    {
        if (!std::isfinite(number) || !m_formats.Write(m_nFormat, number, m_strScratch))
            return 0;
        m_strTexts += m_strScratch;
        if (percent)
            m_strTexts += u'%';
        return Close(number);
    }
    // A whole number (counts, ranks), each written once.
    uint32_t AddCount(int64_t count)
    {
        const size_t k = static_cast<size_t>(count);
        if (k < m_vCountIds.size() && m_vCountIds[k] != kNone)
            return m_vCountIds[k];
        const uint32_t id = AddNumber(static_cast<double>(count));
        if (k >= m_vCountIds.size())
            m_vCountIds.resize(std::max(k + 1, m_vCountIds.size() * 2), kNone);
        m_vCountIds[k] = id;
        return id;
    }
    uint32_t AddText(KStringView text, double number = kNaN)
    {
        if (text.empty())
            return 0;
        m_strTexts += text;
        return Close(number);
    }
    uint32_t& operator[](size_t record) { return m_vIds[record]; }
    size_t GetCount() const { return m_vEnds.size(); }

    // Makes the results the attribute's values (it has none): each record's in record order.
    void Store(CAttribute& attribute, CRecord* const* records, bool numeric) const;

private:
    uint32_t Close(double number)
    {
        m_vEnds.push_back(m_strTexts.size());
        m_vNumbers.push_back(number);
        return static_cast<uint32_t>(m_vEnds.size() - 1);
    }
    KStringView Text(uint32_t id) const
    {
        const size_t begin = id == 0 ? 0 : m_vEnds[id - 1];
        return KStringView(m_strTexts.data() + begin, m_vEnds[id] - begin);
    }

    const CFormatRegistry& m_formats;
    int m_nFormat;                     // the summary's format id (0: text)
    std::vector<uint32_t> m_vIds;      // per record (position in the table's order): its result
    KString m_strTexts;                // the texts one after the other
    std::vector<size_t> m_vEnds;       // end of result k's text in m_strTexts
    std::vector<double> m_vNumbers;    // number of result k, NaN for texts
    std::vector<uint32_t> m_vCountIds; // result of each whole number written so far, kNone when not yet
    KString m_strScratch;              // the last number written
};

// One recompute of one summary.
class CSummaryRun
{
public:
    CSummaryRun(CTable& table, CAttribute& summary, SSummaryDefinition& definition)
        : m_table(table), m_summary(summary), m_definition(definition), m_summarised(*definition.pSummarised),
          m_pGrouping(definition.pGrouping), m_records(table.GetAllRecords().GetData()),
          m_n(static_cast<size_t>(table.GetAllRecords().GetSize())),
          m_results(table.GetFormatRegistry(), summary.GetFormatId(), m_n)
    {
    }

    // Computes and stores the results; false when the table's progress was cancelled (the values are then
    // partly stored or not at all).
    bool Run();

private:
    // ---- inputs ----
    void ReadInputs();

    // Whether the function asks which values are defined (Defined): all but those that take only numbers.
    bool CountsValues() const
    {
        switch (m_definition.nFunction)
        {
        case SUMMARY_SUM:
        case SUMMARY_AVERAGE:
        case SUMMARY_SUM_PERCENT:
        case SUMMARY_AVERAGE_PERCENT:
        case SUMMARY_STANDARD_DEVIATION:
        case SUMMARY_VARIANCE:
        case SUMMARY_MEDIAN:
        case SUMMARY_ACCUMULATION:
        case SUMMARY_ACCUMULATION_PERCENT:
            return false;
        case SUMMARY_MINIMUM:
        case SUMMARY_MAXIMUM:
        case SUMMARY_PERCENTILE:
        case SUMMARY_RANKING:
            return !m_bNumeric;
        default:
            return true;
        }
    }
    // The number of value v (NaN when it has none; 0 then with RegardUndefinedAsZero).
    double Number(int32_t v) const
    {
        const double x = v < m_nValues && m_bNumeric ? m_pValueArray->GetStoredDoubleValue(v) : kNaN;
        return std::isnan(x) && m_bZero ? 0.0 : x;
    }
    bool Defined(int32_t v) const { return m_vDefined[static_cast<size_t>(v)] != 0; }
    bool IsList(int32_t v) const { return v < m_nValues && CAttribute::IsEncodedList(m_pValueArray->GetValue(v)); }
    bool Qualified(size_t i) const { return m_records[i]->m_bQualified != 0; }
    // Calls f(item) for the items a value contributes: itself, or each part of a list.
    template <class F> void ForItems(int32_t v, F&& f) const
    {
        if (!m_bLists)
        {
            f(v);
            return;
        }
        const size_t begin = m_vPartBegin[static_cast<size_t>(v)];
        const size_t end = m_vPartBegin[static_cast<size_t>(v) + 1];
        for (size_t k = begin; k < end; ++k)
            f(m_vParts[k]);
    }

    // The records' positions by group, each group's in the table's order: group g holds
    // m_vBucket[m_vBucketStart[g] .. m_vBucketStart[g + 1]).
    void BuildBuckets();
    template <class F> void ForGroupRecords(size_t g, F&& f) const
    {
        for (uint32_t k = m_vBucketStart[g]; k < m_vBucketStart[g + 1]; ++k)
            f(static_cast<size_t>(m_vBucket[k]));
    }

    // The value's own result: its number written with the summary's format, or its text.
    uint32_t ValueResult(int32_t v);
    void GiveGroupResults(const std::vector<uint32_t>& groupIds);
    bool Unique() const { return m_definition.bUniquePerGroup && m_pGrouping != nullptr; }

    // ---- group results ----
    void ComputeNumericAggregate();

    // Minimum and maximum of a text attribute: the first and the last value in the attribute's value order.
    void ComputeTextExtreme();

    void ComputeCount();

    void ComputeList();

    // The group's records (key attribute) or distinct values as a share of all qualified ones.
    void ComputeShare();

    // The group's distinct values among its qualified records as a share of its distinct values.
    void ComputeShown();

    // With numbers that ascend with the value index (sorted values, undefined and illegal ones last), the
    // end of the values with numbers; else -1.
    long OrderedNumbersEnd() const;

    // The median of each group by value indices alone (numbers ordered like their indices): the indices of
    // each group gathered, the middle found among them, and only its number read.
    bool ComputeMedianByIndex();

    void ComputeMedian();

    // The value held by the most qualified records of the group; undefined when two or more share the most.
    void ComputeMode();

    // ---- results per record ----
    // The next smaller (or larger) value among the distinct values of the group's qualified records, for every
    // qualified record with a value; the smallest (largest) gets none.
    void ComputeNeighbour(bool next);

    // Runs of equal values among the qualified records in the table's order, within a group; unqualified records
    // in between neither end nor join a run.
    void ComputeRepetitions();

    // Within each group, the distinct values of its qualified records numbered 1, 2, ... in the order they first
    // appear in the table's order.
    void ComputeNumber();

    // Running totals of the qualified records in the table's order, each group on its own; down: from the last
    // record back. A record gets the total once some value of its group has been added.
    void ComputeAccumulation(bool percent);

    // The key values are ordered by: numbers for a numeric attribute, else the value order. False for values
    // that take no part (undefined, not a number).
    bool Key(int32_t v, double& key) const;
    // The distinct values in key order (ascending), each with its key, for values that have one.
    void SortByKey(std::vector<int32_t>& order, std::vector<double>& keys) const;

    // Per qualified record with a value: 100 x (qualified values at or below its own) / (qualified values);
    // down: at or above. The whole table is one population.
    void ComputePercentile();

    // Runs of equal values from the highest down (low: from the lowest up); a run counts when a qualified record
    // holds it, and then every record of the run gets its rank. The rank grows by the number of groups among the
    // qualified records of a run (by 1 without grouping).
    void ComputeRanking();

    // Per qualified record with a value: how many qualified records of its group hold that value.
    void ComputeFrequency();

    // ---- the order of values ----
    // Each value's place in the summarised attribute's value order (undefined last).
    void BuildRanks();
    int32_t Rank(int32_t v) const { return m_vRank[static_cast<size_t>(v)]; }

    CTable& m_table;
    CAttribute& m_summary;
    SSummaryDefinition& m_definition;
    CAttribute& m_summarised;
    CAttribute* m_pGrouping;   // may be null
    CRecord* const* m_records; // the table's records in its order
    size_t m_n;                // their number
    CResultPool m_results;     // per record its result

    long m_nValues = 0;                   // distinct values of the summarised attribute; index m_nValues: undefined
    CValueArray* m_pValueArray = nullptr; // its values; null when it has none
    bool m_bNumeric = false;              // it has a numeric format
    bool m_bZero = false;                 // undefined numbers count as 0
    bool m_bKey = false;                  // it is the table's key attribute
    bool m_bLists = false;                // some value is a list
    size_t m_nGroups = 1;                 // groups: the grouping attribute's values, and one for records without
    std::vector<int32_t> m_vValue;        // per record: its value index (m_nValues when undefined or missing)
    std::vector<int32_t> m_vGroup;        // per record: its group
    std::vector<uint8_t> m_vDefined;      // per value: a text that is not empty (a list with parts)
    std::vector<uint32_t> m_vPartBegin;   // with lists, per value: its items m_vParts[begin[v] .. begin[v + 1])
    std::vector<int32_t> m_vParts;        // the items: a value itself, or the parts of a list
    std::vector<int32_t> m_vRank;         // per value: its place in value order (made on demand)
    std::vector<uint32_t> m_vBucket;      // record positions by group (made on demand)
    std::vector<uint32_t> m_vBucketStart; // per group: where its positions begin in m_vBucket
    std::vector<uint32_t> m_vValueIds;    // per value: its result as a value (ValueResult), kNone when not yet
};

} // namespace formula::summary_internal
