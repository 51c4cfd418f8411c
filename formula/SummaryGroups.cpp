// Summary functions with one result per group: every record of a group receives it.

#include "formula/Summary_internal.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace formula::summary_internal
{

// ---- group results ----
void CSummaryRun::ComputeNumericAggregate()
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
void CSummaryRun::ComputeTextExtreme()
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

void CSummaryRun::ComputeCount()
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

void CSummaryRun::ComputeList()
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
void CSummaryRun::ComputeShare()
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
void CSummaryRun::ComputeShown()
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
long CSummaryRun::OrderedNumbersEnd() const
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
bool CSummaryRun::ComputeMedianByIndex()
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

void CSummaryRun::ComputeMedian()
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
void CSummaryRun::ComputeMode()
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

} // namespace formula::summary_internal
