// Computing a summary attribute: one run over the records of the table.
//
// The run reads, once, every record's value index of the summarised attribute and its group (the grouping
// attribute's value index), and works with arrays indexed by group or by value from then on: no hash, no
// allocation per record. Functions that need the records of a group together put them in buckets by group
// (a stable counting sort, so that each bucket keeps the table's order) and mark the values met in the current
// group with a stamp array. The results go into a pool of distinct texts with their numbers; every record gets
// the id of its result, and the ids are stored as the summary's values in one step.

#include "formula/Summary.h"

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "engine/ValueBulk.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <vector>

namespace formula
{

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr uint32_t kNone = UINT32_MAX;

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
    void Store(CAttribute& attribute, CRecord* const* records, bool numeric) const
    {
        const size_t n = m_vIds.size();
        if (GetCount() * 2 >= n && n >= 2)
        {
            // Mostly distinct: appended in one step, equal ones merged afterwards.
            std::vector<KStringView> texts(n);
            std::vector<double> numbers(numeric ? n : 0);
            for (size_t i = 0; i < n; ++i)
            {
                texts[i] = Text(m_vIds[i]);
                if (numeric)
                    numbers[i] = m_vNumbers[m_vIds[i]];
            }
            AddComputedValues(attribute, records, texts.data(), numeric ? numbers.data() : nullptr, n);
            return;
        }
        // Few: each result stored once, the other records of it take its value index.
        std::vector<long> indices(GetCount(), -1);
        CFieldArray& fields = attribute.GetFieldArray();
        for (size_t i = 0; i < n; ++i)
        {
            long& index = indices[m_vIds[i]];
            if (index >= 0)
            {
                fields.SetAt(records[i], index);
                continue;
            }
            attribute.AddValue(records[i], Text(m_vIds[i]), numeric, m_vNumbers[m_vIds[i]]);
            index = fields.GetAt(records[i]->m_nRecordNumber);
        }
    }

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

    void Run()
    {
        ReadInputs();
        switch (m_definition.nFunction)
        {
        case SUMMARY_COUNT:
            ComputeCount();
            break;
        case SUMMARY_LIST:
            ComputeList();
            break;
        case SUMMARY_SUM:
        case SUMMARY_AVERAGE:
        case SUMMARY_SUM_PERCENT:
        case SUMMARY_AVERAGE_PERCENT:
        case SUMMARY_STANDARD_DEVIATION:
        case SUMMARY_VARIANCE:
            ComputeNumericAggregate();
            break;
        case SUMMARY_MINIMUM:
        case SUMMARY_MAXIMUM:
            if (m_bNumeric)
                ComputeNumericAggregate();
            else
                ComputeTextExtreme();
            break;
        case SUMMARY_SHARE_PERCENT:
            ComputeShare();
            break;
        case SUMMARY_SHOWN_PERCENT:
            ComputeShown();
            break;
        case SUMMARY_MEDIAN:
            ComputeMedian();
            break;
        case SUMMARY_MODE:
            ComputeMode();
            break;
        case SUMMARY_PREVIOUS:
        case SUMMARY_NEXT:
            ComputeNeighbour(m_definition.nFunction == SUMMARY_NEXT);
            break;
        case SUMMARY_REPETITIONS:
            ComputeRepetitions();
            break;
        case SUMMARY_NUMBER:
            ComputeNumber();
            break;
        case SUMMARY_ACCUMULATION:
        case SUMMARY_ACCUMULATION_PERCENT:
            ComputeAccumulation(m_definition.nFunction == SUMMARY_ACCUMULATION_PERCENT);
            break;
        case SUMMARY_PERCENTILE:
            ComputePercentile();
            break;
        case SUMMARY_RANKING:
            ComputeRanking();
            break;
        case SUMMARY_FREQUENCY:
            ComputeFrequency();
            break;
        default:
            break; // unknown: every record undefined
        }
        m_summary.ClearValues();
        m_results.Store(m_summary, m_records, m_summary.IsNumeric());
        m_summary.InvalidateStatistics();
        m_summary.InvalidateSortedRecords();
    }

private:
    // ---- inputs ----
    void ReadInputs()
    {
        CAttributeValues& values = m_summarised.GetValues();
        if (values.HasUnmergedValues())
            values.MergeEqualValues();
        if (m_pGrouping && m_pGrouping->GetValues().HasUnmergedValues())
            m_pGrouping->GetValues().MergeEqualValues();
        m_nValues = m_summarised.GetNrOfValues();
        m_pValueArray = m_nValues > 0 ? m_summarised.GetValueArray() : nullptr;
        m_bNumeric = m_summarised.IsNumeric();
        m_bZero = m_bNumeric && m_summary.IsRegardUndefinedAsZero();
        m_bKey = m_table.GetKeyAttribute() == &m_summarised;
        m_bLists = m_summarised.HasMultipleValues();
        if (m_bNumeric && m_nValues > 0)
            m_summarised.GetNumericValue(0); // every number up to date once

        // Per record: value index (m_nValues for undefined or missing) and group.
        const CFieldArray& fields = m_summarised.GetFieldArray();
        const long groups = m_pGrouping ? m_pGrouping->GetNrOfValues() : 0;
        m_nGroups = static_cast<size_t>(groups) + 1;
        m_vValue.resize(m_n);
        m_vGroup.assign(m_n, 0);
        const CFieldArray* groupFields = m_pGrouping ? &m_pGrouping->GetFieldArray() : nullptr;
        for (size_t i = 0; i < m_n; ++i)
        {
            const long number = m_records[i]->m_nRecordNumber;
            const long v = fields.GetAt(number);
            m_vValue[i] = static_cast<int32_t>(v < 0 || v >= m_nValues ? m_nValues : v);
            if (groupFields)
            {
                const long g = groupFields->GetAt(number);
                m_vGroup[i] = static_cast<int32_t>(g < 0 || g >= groups ? groups : g);
            }
        }

        // Per value: defined (a text that is not empty, a list with parts; read only by the functions that count
        // values, as it reads every value's text) and its parts.
        const size_t valueSlots = static_cast<size_t>(m_nValues) + 1;
        if (CountsValues())
        {
            m_vDefined.assign(valueSlots, 0);
            for (long v = 0; v < m_nValues; ++v)
            {
                const char16_t* text = m_pValueArray->GetValue(v);
                m_vDefined[static_cast<size_t>(v)] =
                    text != nullptr && text[0] != 0 && !(CAttribute::IsEncodedList(text) && text[1] == 0);
            }
        }
        if (m_bLists)
        {
            m_vPartBegin.assign(valueSlots + 1, 0);
            for (long v = 0; v < m_nValues; ++v)
            {
                const char16_t* text = m_pValueArray->GetValue(v);
                if (CAttribute::IsEncodedList(text))
                {
                    for (const char16_t* part : CAttribute::GetEncodedMultipleValues(text))
                    {
                        const long index = m_summarised.FindValueIndex(KStringView(part));
                        if (index >= 0)
                            m_vParts.push_back(static_cast<int32_t>(index));
                    }
                }
                else
                {
                    m_vParts.push_back(static_cast<int32_t>(v));
                }
                m_vPartBegin[static_cast<size_t>(v) + 1] = static_cast<uint32_t>(m_vParts.size());
            }
            m_vParts.push_back(static_cast<int32_t>(m_nValues)); // the undefined value's one item
            m_vPartBegin[valueSlots] = static_cast<uint32_t>(m_vParts.size());
        }
    }

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
    void BuildBuckets()
    {
        m_vBucketStart.assign(m_nGroups + 1, 0);
        for (size_t i = 0; i < m_n; ++i)
            ++m_vBucketStart[static_cast<size_t>(m_vGroup[i]) + 1];
        std::partial_sum(m_vBucketStart.begin(), m_vBucketStart.end(), m_vBucketStart.begin());
        std::vector<uint32_t> next(m_vBucketStart.begin(), m_vBucketStart.end() - 1);
        m_vBucket.resize(m_n);
        for (size_t i = 0; i < m_n; ++i)
            m_vBucket[next[static_cast<size_t>(m_vGroup[i])]++] = static_cast<uint32_t>(i);
    }
    template <class F> void ForGroupRecords(size_t g, F&& f) const
    {
        for (uint32_t k = m_vBucketStart[g]; k < m_vBucketStart[g + 1]; ++k)
            f(static_cast<size_t>(m_vBucket[k]));
    }

    // The value's own result: its number written with the summary's format, or its text.
    uint32_t ValueResult(int32_t v)
    {
        if (m_vValueIds.empty())
            m_vValueIds.assign(static_cast<size_t>(m_nValues) + 1, kNone);
        uint32_t& id = m_vValueIds[static_cast<size_t>(v)];
        if (id == kNone)
        {
            if (m_bNumeric && m_summary.IsNumeric())
                id = m_results.AddNumber(Number(v));
            else
                id = v < m_nValues ? m_results.AddText(m_summarised.GetValueText(v)) : 0;
        }
        return id;
    }
    void GiveGroupResults(const std::vector<uint32_t>& groupIds)
    {
        for (size_t i = 0; i < m_n; ++i)
            m_results[i] = groupIds[static_cast<size_t>(m_vGroup[i])];
    }
    bool Unique() const { return m_definition.bUniquePerGroup && m_pGrouping != nullptr; }

    // ---- group results ----
    void ComputeNumericAggregate()
    {
        const int32_t function = m_definition.nFunction;
        std::vector<int64_t> count(m_nGroups, 0);
        std::vector<double> sum(m_nGroups, 0.0);
        std::vector<double> extreme(m_nGroups, function == SUMMARY_MINIMUM ? std::numeric_limits<double>::infinity()
                                                                           : -std::numeric_limits<double>::infinity());
        std::vector<double> mean;
        std::vector<double> squares;
        const bool spread = function == SUMMARY_STANDARD_DEVIATION || function == SUMMARY_VARIANCE;
        if (spread)
        {
            mean.assign(m_nGroups, 0.0);
            squares.assign(m_nGroups, 0.0);
        }
        double qualifiedSum = 0;
        int64_t qualifiedCount = 0;
        auto add = [&](size_t g, double x)
        {
            ++count[g];
            sum[g] += x;
            if (function == SUMMARY_MINIMUM)
                extreme[g] = std::min(extreme[g], x);
            else if (function == SUMMARY_MAXIMUM)
                extreme[g] = std::max(extreme[g], x);
            else if (spread)
            {
                // Welford: mean and sum of squared deviations in one pass.
                const double delta = x - mean[g];
                mean[g] += delta / static_cast<double>(count[g]);
                squares[g] += delta * (x - mean[g]);
            }
        };
        if (Unique())
        {
            // Each distinct value once per group; the qualified total over all records as they are.
            BuildBuckets();
            std::vector<uint32_t> stamp(static_cast<size_t>(m_nValues) + 1, 0);
            for (size_t g = 0; g < m_nGroups; ++g)
            {
                ForGroupRecords(g,
                                [&](size_t i)
                                {
                                    if (!Qualified(i))
                                        return;
                                    ForItems(m_vValue[i],
                                             [&](int32_t item)
                                             {
                                                 const double x = Number(item);
                                                 if (std::isnan(x))
                                                     return;
                                                 qualifiedSum += x;
                                                 ++qualifiedCount;
                                                 uint32_t& seen = stamp[static_cast<size_t>(item)];
                                                 if (seen == g + 1)
                                                     return;
                                                 seen = static_cast<uint32_t>(g + 1);
                                                 add(g, x);
                                             });
                                });
            }
        }
        else
        {
            // The numbers are met in no order: each is asked for a few records ahead.
            constexpr size_t kAhead = 32;
            for (size_t i = 0; i < m_n; ++i)
            {
                if (m_pValueArray && i + kAhead < m_n)
                    m_pValueArray->Prefetch(m_vValue[i + kAhead]);
                if (!Qualified(i))
                    continue;
                const size_t g = static_cast<size_t>(m_vGroup[i]);
                ForItems(m_vValue[i],
                         [&](int32_t item)
                         {
                             const double x = Number(item);
                             if (!std::isnan(x))
                                 add(g, x);
                         });
            }
            for (size_t g = 0; g < m_nGroups; ++g)
            {
                qualifiedSum += sum[g];
                qualifiedCount += count[g];
            }
        }
        const double qualifiedAverage = qualifiedCount > 0 ? qualifiedSum / static_cast<double>(qualifiedCount) : kNaN;
        std::vector<uint32_t> ids(m_nGroups, 0);
        for (size_t g = 0; g < m_nGroups; ++g)
        {
            if (count[g] == 0)
                continue;
            const double n = static_cast<double>(count[g]);
            switch (function)
            {
            case SUMMARY_SUM:
                ids[g] = m_results.AddNumber(sum[g]);
                break;
            case SUMMARY_AVERAGE:
                ids[g] = m_results.AddNumber(sum[g] / n);
                break;
            case SUMMARY_MINIMUM:
            case SUMMARY_MAXIMUM:
                ids[g] = m_results.AddNumber(extreme[g]);
                break;
            case SUMMARY_SUM_PERCENT:
                if (qualifiedSum != 0)
                    ids[g] = m_results.AddNumber(100.0 * sum[g] / qualifiedSum, true);
                break;
            case SUMMARY_AVERAGE_PERCENT:
                if (!std::isnan(qualifiedAverage) && qualifiedAverage != 0)
                    ids[g] = m_results.AddNumber(100.0 * (sum[g] / n) / qualifiedAverage, true);
                break;
            case SUMMARY_VARIANCE:
                ids[g] = m_results.AddNumber(squares[g] / n);
                break;
            case SUMMARY_STANDARD_DEVIATION:
                ids[g] = m_results.AddNumber(std::sqrt(squares[g] / n));
                break;
            default:
                break;
            }
        }
        GiveGroupResults(ids);
    }

    // Minimum and maximum of a text attribute: the first and the last value in the attribute's value order.
    void ComputeTextExtreme()
    {
        const bool maximum = m_definition.nFunction == SUMMARY_MAXIMUM;
        BuildRanks();
        std::vector<int32_t> best(m_nGroups, -1);
        for (size_t i = 0; i < m_n; ++i)
        {
            if (!Qualified(i))
                continue;
            int32_t& b = best[static_cast<size_t>(m_vGroup[i])];
            ForItems(m_vValue[i],
                     [&](int32_t item)
                     {
                         if (!Defined(item))
                             return;
                         if (b < 0 || (maximum ? Rank(item) > Rank(b) : Rank(item) < Rank(b)))
                             b = item;
                     });
        }
        std::vector<uint32_t> ids(m_nGroups, 0);
        for (size_t g = 0; g < m_nGroups; ++g)
            ids[g] = best[g] < 0 ? 0 : ValueResult(best[g]);
        GiveGroupResults(ids);
    }

    void ComputeCount()
    {
        std::vector<int64_t> count(m_nGroups, 0);
        std::vector<uint8_t> qualified(m_nGroups, 0); // 1: some qualified record; 2: one holds an empty list
        BuildBuckets();
        std::vector<uint32_t> stamp(m_bKey ? 0 : static_cast<size_t>(m_nValues) + 1, 0);
        for (size_t g = 0; g < m_nGroups; ++g)
        {
            ForGroupRecords(g,
                            [&](size_t i)
                            {
                                if (!Qualified(i))
                                    return;
                                const int32_t v = m_vValue[i];
                                qualified[g] = std::max<uint8_t>(qualified[g], IsList(v) && !Defined(v) ? 2 : 1);
                                if (m_bKey)
                                {
                                    count[g] += Defined(v);
                                    return;
                                }
                                ForItems(v,
                                         [&](int32_t item)
                                         {
                                             uint32_t& seen = stamp[static_cast<size_t>(item)];
                                             if (!Defined(item) || seen == g + 1)
                                                 return;
                                             seen = static_cast<uint32_t>(g + 1);
                                             ++count[g];
                                         });
                            });
        }
        std::vector<uint32_t> ids(m_nGroups, 0);
        for (size_t g = 0; g < m_nGroups; ++g)
            ids[g] = qualified[g] == 1 ? m_results.AddCount(count[g]) : 0;
        GiveGroupResults(ids);
    }

    void ComputeList()
    {
        BuildRanks();
        BuildBuckets();
        std::vector<uint32_t> stamp(static_cast<size_t>(m_nValues) + 1, 0);
        std::vector<int32_t> distinct;
        std::vector<uint32_t> ids(m_nGroups, 0);
        KString text;
        for (size_t g = 0; g < m_nGroups; ++g)
        {
            distinct.clear();
            ForGroupRecords(g,
                            [&](size_t i)
                            {
                                if (!Qualified(i))
                                    return;
                                ForItems(m_vValue[i],
                                         [&](int32_t item)
                                         {
                                             uint32_t& seen = stamp[static_cast<size_t>(item)];
                                             if (!Defined(item) || seen == g + 1)
                                                 return;
                                             seen = static_cast<uint32_t>(g + 1);
                                             distinct.push_back(item);
                                         });
                            });
            if (distinct.empty())
                continue;
            m_definition.nMaxListParts =
                std::max(m_definition.nMaxListParts, static_cast<int32_t>(std::min<size_t>(distinct.size(), 10)));
            if (distinct.size() > static_cast<size_t>(MAX_MULTIPLE_VALUES))
                distinct.resize(MAX_MULTIPLE_VALUES + 1); // the store makes such a list the empty list "|"
            else
                std::sort(distinct.begin(), distinct.end(), [&](int32_t a, int32_t b) { return Rank(a) < Rank(b); });
            text.assign(u"|");
            for (const int32_t v : distinct)
            {
                text += KStringView(m_pValueArray->GetValue(v));
                text += u'|';
            }
            ids[g] = m_results.AddText(text);
        }
        GiveGroupResults(ids);
    }

    // The group's records (key attribute) or distinct values as a share of all qualified ones.
    void ComputeShare()
    {
        BuildBuckets();
        std::vector<int64_t> count(m_nGroups, 0);
        std::vector<uint32_t> stamp(m_bKey ? 0 : static_cast<size_t>(m_nValues) + 1, 0);
        std::vector<uint8_t> seenAnywhere(m_bKey ? 0 : static_cast<size_t>(m_nValues) + 1, 0);
        int64_t total = 0;
        for (size_t g = 0; g < m_nGroups; ++g)
        {
            ForGroupRecords(g,
                            [&](size_t i)
                            {
                                if (!Qualified(i))
                                    return;
                                ForItems(m_vValue[i],
                                         [&](int32_t item)
                                         {
                                             if (!Defined(item))
                                                 return;
                                             if (m_bKey)
                                             {
                                                 ++count[g];
                                                 ++total;
                                                 return;
                                             }
                                             const size_t s = static_cast<size_t>(item);
                                             if (stamp[s] != g + 1)
                                             {
                                                 stamp[s] = static_cast<uint32_t>(g + 1);
                                                 ++count[g];
                                             }
                                             if (!seenAnywhere[s])
                                             {
                                                 seenAnywhere[s] = 1;
                                                 ++total;
                                             }
                                         });
                            });
        }
        std::vector<uint32_t> ids(m_nGroups, 0);
        for (size_t g = 0; g < m_nGroups && total > 0; ++g)
            ids[g] = m_results.AddNumber(100.0 * static_cast<double>(count[g]) / static_cast<double>(total), true);
        GiveGroupResults(ids);
    }

    // The group's distinct values among its qualified records as a share of its distinct values.
    void ComputeShown()
    {
        BuildBuckets();
        std::vector<uint32_t> stampAll(static_cast<size_t>(m_nValues) + 1, 0);
        std::vector<uint32_t> stampQualified(static_cast<size_t>(m_nValues) + 1, 0);
        std::vector<uint32_t> ids(m_nGroups, 0);
        for (size_t g = 0; g < m_nGroups; ++g)
        {
            int64_t all = 0;
            int64_t qualified = 0;
            ForGroupRecords(g,
                            [&](size_t i)
                            {
                                const bool q = Qualified(i);
                                ForItems(m_vValue[i],
                                         [&](int32_t item)
                                         {
                                             if (!Defined(item))
                                                 return;
                                             const size_t s = static_cast<size_t>(item);
                                             if (stampAll[s] != g + 1)
                                             {
                                                 stampAll[s] = static_cast<uint32_t>(g + 1);
                                                 ++all;
                                             }
                                             if (q && stampQualified[s] != g + 1)
                                             {
                                                 stampQualified[s] = static_cast<uint32_t>(g + 1);
                                                 ++qualified;
                                             }
                                         });
                            });
            if (all > 0)
                ids[g] = m_results.AddNumber(100.0 * static_cast<double>(qualified) / static_cast<double>(all), true);
        }
        GiveGroupResults(ids);
    }

    // With numbers that ascend with the value index (sorted values, undefined and illegal ones last), the
    // end of the values with numbers; else -1.
    long OrderedNumbersEnd() const
    {
        if (!m_bNumeric || m_bLists || m_bZero || !m_pValueArray || !m_summarised.AreValuesSorted())
            return -1;
        long end = 0;
        double previous = -std::numeric_limits<double>::infinity();
        for (; end < m_nValues; ++end)
        {
            const double x = m_pValueArray->GetStoredDoubleValue(end);
            if (std::isnan(x))
                break;
            if (x < previous)
                return -1;
            previous = x;
        }
        for (long v = end; v < m_nValues; ++v)
        {
            if (!std::isnan(m_pValueArray->GetStoredDoubleValue(v)))
                return -1;
        }
        return end;
    }

    // The median of each group by value indices alone (numbers ordered like their indices): the indices of
    // each group gathered, the middle found among them, and only its number read.
    bool ComputeMedianByIndex()
    {
        const long end = OrderedNumbersEnd();
        if (end < 0 || Unique())
            return false;
        std::vector<uint32_t> start(m_nGroups + 1, 0);
        for (size_t i = 0; i < m_n; ++i)
        {
            if (m_vValue[i] < end && Qualified(i))
                ++start[static_cast<size_t>(m_vGroup[i]) + 1];
        }
        std::partial_sum(start.begin(), start.end(), start.begin());
        std::vector<int32_t> indices(start.back());
        std::vector<uint32_t> next(start.begin(), start.end() - 1);
        for (size_t i = 0; i < m_n; ++i)
        {
            if (m_vValue[i] < end && Qualified(i))
                indices[next[static_cast<size_t>(m_vGroup[i])]++] = m_vValue[i];
        }
        std::vector<uint32_t> ids(m_nGroups, 0);
        for (size_t g = 0; g < m_nGroups; ++g)
        {
            const auto first = indices.begin() + static_cast<std::ptrdiff_t>(start[g]);
            const size_t count = start[g + 1] - start[g];
            if (count == 0)
                continue;
            const auto middle = first + static_cast<std::ptrdiff_t>(count / 2);
            std::nth_element(first, middle, first + static_cast<std::ptrdiff_t>(count));
            double median = Number(*middle);
            if (count % 2 == 0)
                median = (median + Number(*std::max_element(first, middle))) / 2;
            ids[g] = m_results.AddNumber(median);
        }
        GiveGroupResults(ids);
        return true;
    }

    void ComputeMedian()
    {
        if (ComputeMedianByIndex())
            return;
        // The numbers of each group one after the other (with unique values: each distinct one once per group),
        // gathered in the table's order: a count per group, then each number to its group's next slot.
        std::vector<uint32_t> stamp(Unique() ? static_cast<size_t>(m_nValues) + 1 : 0, 0);
        auto contribute = [&](size_t i, auto&& take)
        {
            if (!Qualified(i))
                return;
            const size_t g = static_cast<size_t>(m_vGroup[i]);
            ForItems(m_vValue[i],
                     [&](int32_t item)
                     {
                         const double x = Number(item);
                         if (std::isnan(x))
                             return;
                         if (!stamp.empty())
                         {
                             uint32_t& seen = stamp[static_cast<size_t>(item)];
                             if (seen == g + 1)
                                 return;
                             seen = static_cast<uint32_t>(g + 1);
                         }
                         take(g, x);
                     });
        };
        std::vector<size_t> start(m_nGroups + 1, 0);
        if (Unique())
        {
            // A value's first record decides in which group it counts: the groups in bucket order.
            BuildBuckets();
            for (size_t g = 0; g < m_nGroups; ++g)
                ForGroupRecords(g, [&](size_t i) { contribute(i, [&](size_t group, double) { ++start[group + 1]; }); });
        }
        else
        {
            constexpr size_t kAhead = 32;
            for (size_t i = 0; i < m_n; ++i)
            {
                if (m_pValueArray && i + kAhead < m_n)
                    m_pValueArray->Prefetch(m_vValue[i + kAhead]);
                contribute(i, [&](size_t group, double) { ++start[group + 1]; });
            }
        }
        std::partial_sum(start.begin(), start.end(), start.begin());
        std::vector<double> numbers(start.back());
        std::vector<size_t> next(start.begin(), start.end() - 1);
        std::fill(stamp.begin(), stamp.end(), 0);
        auto put = [&](size_t group, double x) { numbers[next[group]++] = x; };
        if (Unique())
        {
            for (size_t g = 0; g < m_nGroups; ++g)
                ForGroupRecords(g, [&](size_t i) { contribute(i, put); });
        }
        else
        {
            for (size_t i = 0; i < m_n; ++i)
                contribute(i, put);
        }
        std::vector<uint32_t> ids(m_nGroups, 0);
        for (size_t g = 0; g < m_nGroups; ++g)
        {
            const auto first = numbers.begin() + static_cast<std::ptrdiff_t>(start[g]);
            const size_t count = start[g + 1] - start[g];
            if (count == 0)
                continue;
            const auto middle = first + static_cast<std::ptrdiff_t>(count / 2);
            std::nth_element(first, middle, first + static_cast<std::ptrdiff_t>(count));
            double median = *middle;
            if (count % 2 == 0)
                median = (median + *std::max_element(first, middle)) / 2;
            ids[g] = m_results.AddNumber(median);
        }
        GiveGroupResults(ids);
    }

    // The value held by the most qualified records of the group; undefined when two or more share the most.
    void ComputeMode()
    {
        BuildBuckets();
        std::vector<uint32_t> stamp(static_cast<size_t>(m_nValues) + 1, 0);
        std::vector<int64_t> count(static_cast<size_t>(m_nValues) + 1, 0);
        std::vector<uint32_t> ids(m_nGroups, 0);
        for (size_t g = 0; g < m_nGroups; ++g)
        {
            int32_t best = -1;
            int64_t bestCount = 0;
            bool tie = false;
            ForGroupRecords(g,
                            [&](size_t i)
                            {
                                if (!Qualified(i))
                                    return;
                                ForItems(m_vValue[i],
                                         [&](int32_t item)
                                         {
                                             if (!Defined(item))
                                                 return;
                                             const size_t s = static_cast<size_t>(item);
                                             if (stamp[s] != g + 1)
                                             {
                                                 stamp[s] = static_cast<uint32_t>(g + 1);
                                                 count[s] = 0;
                                             }
                                             const int64_t c = ++count[s];
                                             if (c > bestCount)
                                             {
                                                 best = item;
                                                 bestCount = c;
                                                 tie = false;
                                             }
                                             else if (c == bestCount && item != best)
                                                 tie = true;
                                         });
                            });
            if (best >= 0 && !tie)
                ids[g] = ValueResult(best);
        }
        GiveGroupResults(ids);
    }

    // ---- results per record ----
    // The next smaller (or larger) value among the distinct values of the group's qualified records, for every
    // qualified record with a value; the smallest (largest) gets none.
    void ComputeNeighbour(bool next)
    {
        BuildRanks();
        BuildBuckets();
        std::vector<uint32_t> stamp(static_cast<size_t>(m_nValues) + 1, 0);
        std::vector<int32_t> neighbour(static_cast<size_t>(m_nValues) + 1, -1);
        std::vector<int32_t> distinct;
        for (size_t g = 0; g < m_nGroups; ++g)
        {
            distinct.clear();
            ForGroupRecords(g,
                            [&](size_t i)
                            {
                                const int32_t v = m_vValue[i];
                                uint32_t& seen = stamp[static_cast<size_t>(v)];
                                if (!Qualified(i) || !Defined(v) || seen == g + 1)
                                    return;
                                seen = static_cast<uint32_t>(g + 1);
                                distinct.push_back(v);
                            });
            std::sort(distinct.begin(), distinct.end(), [&](int32_t a, int32_t b) { return Rank(a) < Rank(b); });
            for (size_t k = 0; k < distinct.size(); ++k)
            {
                const size_t other = next ? k + 1 : k - 1; // k - 1 wraps for k = 0: no neighbour
                neighbour[static_cast<size_t>(distinct[k])] = other < distinct.size() ? distinct[other] : -1;
            }
            ForGroupRecords(g,
                            [&](size_t i)
                            {
                                const int32_t v = m_vValue[i];
                                if (!Qualified(i) || !Defined(v))
                                    return;
                                const int32_t u = neighbour[static_cast<size_t>(v)];
                                m_results[i] = u < 0 ? 0 : ValueResult(u);
                            });
        }
    }

    // Runs of equal values among the qualified records in the table's order, within a group; unqualified records
    // in between neither end nor join a run.
    void ComputeRepetitions()
    {
        std::vector<uint32_t> qualified;
        qualified.reserve(m_n);
        for (size_t i = 0; i < m_n; ++i)
        {
            if (Qualified(i))
                qualified.push_back(static_cast<uint32_t>(i));
        }
        for (size_t k = 0; k < qualified.size();)
        {
            const int32_t v = m_vValue[qualified[k]];
            const int32_t g = m_vGroup[qualified[k]];
            size_t end = k + 1;
            while (end < qualified.size() && m_vValue[qualified[end]] == v && m_vGroup[qualified[end]] == g)
                ++end;
            const uint32_t id = Defined(v) ? m_results.AddCount(static_cast<int64_t>(end - k)) : 0;
            for (; k < end; ++k)
                m_results[qualified[k]] = id;
        }
    }

    // Within each group, the distinct values of its qualified records numbered 1, 2, ... in the order they first
    // appear in the table's order.
    void ComputeNumber()
    {
        BuildBuckets();
        std::vector<uint32_t> stamp(static_cast<size_t>(m_nValues) + 1, 0);
        std::vector<int64_t> number(static_cast<size_t>(m_nValues) + 1, 0);
        for (size_t g = 0; g < m_nGroups; ++g)
        {
            int64_t next = 0;
            ForGroupRecords(g,
                            [&](size_t i)
                            {
                                const int32_t v = m_vValue[i];
                                if (!Qualified(i) || !Defined(v))
                                    return;
                                const size_t s = static_cast<size_t>(v);
                                if (stamp[s] != g + 1)
                                {
                                    stamp[s] = static_cast<uint32_t>(g + 1);
                                    number[s] = ++next;
                                }
                                m_results[i] = m_results.AddCount(number[s]);
                            });
        }
    }

    // Running totals of the qualified records in the table's order, each group on its own; down: from the last
    // record back. A record gets the total once some value of its group has been added.
    void ComputeAccumulation(bool percent)
    {
        const bool down = m_definition.bDown;
        constexpr size_t kAhead = 32; // numbers are asked for this many records ahead (met in no order)
        std::vector<double> total(m_nGroups, 0.0);
        std::vector<uint8_t> started(m_nGroups, 0);
        std::vector<double> groupTotal;
        auto recordSum = [&](size_t i, bool& any)
        {
            double s = 0;
            ForItems(m_vValue[i],
                     [&](int32_t item)
                     {
                         const double x = Number(item);
                         if (!std::isnan(x))
                         {
                             s += x;
                             any = true;
                         }
                     });
            return s;
        };
        if (percent)
        {
            groupTotal.assign(m_nGroups, 0.0);
            for (size_t i = 0; i < m_n; ++i)
            {
                if (m_pValueArray && i + kAhead < m_n)
                    m_pValueArray->Prefetch(m_vValue[i + kAhead]);
                bool any = false;
                if (Qualified(i))
                    groupTotal[static_cast<size_t>(m_vGroup[i])] += recordSum(i, any);
            }
        }
        for (size_t step = 0; step < m_n; ++step)
        {
            const size_t i = down ? m_n - 1 - step : step;
            if (m_pValueArray && step + kAhead < m_n)
                m_pValueArray->Prefetch(m_vValue[down ? i - kAhead : i + kAhead]);
            if (!Qualified(i))
                continue;
            const size_t g = static_cast<size_t>(m_vGroup[i]);
            bool any = false;
            total[g] += recordSum(i, any);
            started[g] |= any;
            if (!started[g])
                continue;
            if (!percent)
                m_results[i] = m_results.AddNumber(total[g]);
            else if (groupTotal[g] != 0)
                m_results[i] = m_results.AddNumber(100.0 * total[g] / groupTotal[g], true);
        }
    }

    // The key values are ordered by: numbers for a numeric attribute, else the value order. False for values
    // that take no part (undefined, not a number).
    bool Key(int32_t v, double& key) const
    {
        if (m_bNumeric)
        {
            key = Number(v);
            return !std::isnan(key);
        }
        key = static_cast<double>(Rank(v));
        return Defined(v);
    }
    // The distinct values in key order (ascending), each with its key, for values that have one.
    void SortByKey(std::vector<int32_t>& order, std::vector<double>& keys) const
    {
        keys.assign(static_cast<size_t>(m_nValues) + 1, kNaN);
        order.clear();
        for (int32_t v = 0; v <= static_cast<int32_t>(m_nValues); ++v)
        {
            double key;
            if (Key(v, key))
            {
                keys[static_cast<size_t>(v)] = key;
                order.push_back(v);
            }
        }
        auto less = [&](int32_t a, int32_t b) { return keys[static_cast<size_t>(a)] < keys[static_cast<size_t>(b)]; };
        if (!std::is_sorted(order.begin(), order.end(), less)) // sorted values: in order already
            std::sort(order.begin(), order.end(), less);
    }

    // Per qualified record with a value: 100 x (qualified values at or below its own) / (qualified values);
    // down: at or above. The whole table is one population.
    void ComputePercentile()
    {
        if (m_bLists)
            return;
        if (!m_bNumeric)
            BuildRanks();
        std::vector<int32_t> order;
        std::vector<double> keys;
        SortByKey(order, keys);
        std::vector<int64_t> count(static_cast<size_t>(m_nValues) + 1, 0);
        int64_t total = 0;
        for (size_t i = 0; i < m_n; ++i)
        {
            if (Qualified(i) && !std::isnan(keys[static_cast<size_t>(m_vValue[i])]))
            {
                ++count[static_cast<size_t>(m_vValue[i])];
                ++total;
            }
        }
        if (total == 0)
            return;
        if (m_definition.bDown)
            std::reverse(order.begin(), order.end());
        std::vector<uint32_t> ids(static_cast<size_t>(m_nValues) + 1, 0);
        int64_t seen = 0;
        for (size_t k = 0; k < order.size();)
        {
            size_t end = k;
            const double key = keys[static_cast<size_t>(order[k])];
            while (end < order.size() && keys[static_cast<size_t>(order[end])] == key)
                seen += count[static_cast<size_t>(order[end++])];
            const uint32_t id =
                m_results.AddNumber(100.0 * static_cast<double>(seen) / static_cast<double>(total), true);
            for (; k < end; ++k)
                ids[static_cast<size_t>(order[k])] = id;
        }
        for (size_t i = 0; i < m_n; ++i)
        {
            if (Qualified(i))
                m_results[i] = ids[static_cast<size_t>(m_vValue[i])];
        }
    }

    // Runs of equal values from the highest down (low: from the lowest up); a run counts when a qualified record
    // holds it, and then every record of the run gets its rank. The rank grows by the number of groups among the
    // qualified records of a run (by 1 without grouping).
    void ComputeRanking()
    {
        if (m_bLists)
            return;
        if (!m_bNumeric)
            BuildRanks();
        std::vector<int32_t> order;
        std::vector<double> keys;
        SortByKey(order, keys);
        if (!m_definition.bDown)
            std::reverse(order.begin(), order.end());
        // The run of each value, and per run its qualified records' groups.
        std::vector<uint32_t> runOf(static_cast<size_t>(m_nValues) + 1, kNone);
        size_t runs = 0;
        for (size_t k = 0; k < order.size(); ++k)
        {
            if (k > 0 && keys[static_cast<size_t>(order[k])] != keys[static_cast<size_t>(order[k - 1])])
                ++runs;
            runOf[static_cast<size_t>(order[k])] = static_cast<uint32_t>(runs);
        }
        runs = order.empty() ? 0 : runs + 1;
        std::vector<uint32_t> start(runs + 1, 0);
        for (size_t i = 0; i < m_n; ++i)
        {
            const uint32_t run = runOf[static_cast<size_t>(m_vValue[i])];
            if (Qualified(i) && run != kNone)
                ++start[run + 1];
        }
        std::partial_sum(start.begin(), start.end(), start.begin());
        std::vector<uint32_t> groups(start.back());
        std::vector<uint32_t> fill(start.begin(), start.end() - 1);
        for (size_t i = 0; i < m_n; ++i)
        {
            const uint32_t run = runOf[static_cast<size_t>(m_vValue[i])];
            if (Qualified(i) && run != kNone)
                groups[fill[run]++] = static_cast<uint32_t>(m_vGroup[i]);
        }
        std::vector<uint32_t> runIds(runs, 0);
        std::vector<uint32_t> stamp(m_nGroups, 0);
        int64_t rank = 1;
        for (size_t r = 0; r < runs; ++r)
        {
            if (start[r] == start[r + 1])
                continue; // no qualified record holds it
            runIds[r] = m_results.AddCount(rank);
            int64_t distinctGroups = 0;
            for (uint32_t k = start[r]; k < start[r + 1]; ++k)
            {
                if (stamp[groups[k]] != r + 1)
                {
                    stamp[groups[k]] = static_cast<uint32_t>(r + 1);
                    ++distinctGroups;
                }
            }
            rank += m_pGrouping ? distinctGroups : 1;
        }
        for (size_t i = 0; i < m_n; ++i)
        {
            const uint32_t run = runOf[static_cast<size_t>(m_vValue[i])];
            if (run != kNone)
                m_results[i] = runIds[run];
        }
    }

    // Per qualified record with a value: how many qualified records of its group hold that value.
    void ComputeFrequency()
    {
        BuildBuckets();
        std::vector<uint32_t> stamp(static_cast<size_t>(m_nValues) + 1, 0);
        std::vector<int64_t> count(static_cast<size_t>(m_nValues) + 1, 0);
        for (size_t g = 0; g < m_nGroups; ++g)
        {
            ForGroupRecords(g,
                            [&](size_t i)
                            {
                                const size_t s = static_cast<size_t>(m_vValue[i]);
                                if (!Qualified(i) || !Defined(m_vValue[i]))
                                    return;
                                if (stamp[s] != g + 1)
                                {
                                    stamp[s] = static_cast<uint32_t>(g + 1);
                                    count[s] = 0;
                                }
                                ++count[s];
                            });
            ForGroupRecords(g,
                            [&](size_t i)
                            {
                                if (Qualified(i) && Defined(m_vValue[i]))
                                    m_results[i] = m_results.AddCount(count[static_cast<size_t>(m_vValue[i])]);
                            });
        }
    }

    // ---- the order of values ----
    // Each value's place in the summarised attribute's value order (undefined last).
    void BuildRanks()
    {
        if (!m_vRank.empty())
            return;
        m_vRank.resize(static_cast<size_t>(m_nValues) + 1);
        if (m_summarised.AreValuesSorted())
        {
            std::iota(m_vRank.begin(), m_vRank.end(), 0);
            return;
        }
        std::vector<uint32_t> order(static_cast<size_t>(m_nValues));
        std::iota(order.begin(), order.end(), 0u);
        if (order.size() >= 2)
            m_summarised.GetValues().SortValueIndices(order, false);
        for (size_t k = 0; k < order.size(); ++k)
            m_vRank[order[k]] = static_cast<int32_t>(k);
        m_vRank[static_cast<size_t>(m_nValues)] = static_cast<int32_t>(m_nValues);
    }
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

} // namespace

void RecomputeSummary(CTable& table, CAttribute& summary, SSummaryDefinition& definition)
{
    if (!definition.pSummarised || summary.IsHeader())
        return;
    // A format the results can be written with (kept when it fits).
    const bool text = IsTextSummaryResult(definition);
    if (text && summary.IsNumeric())
        summary.SetFormatString(KString());
    else if (!text && !summary.IsNumeric())
        summary.SetFormatString(ProposeSummaryFormat(definition));
    if (!text && !summary.IsNumeric())
        summary.SetFormatString(u"####.");
    CSummaryRun run(table, summary, definition);
    run.Run();
}

} // namespace formula
