// Summary functions with a result per record: previous, next, repetitions, running number, accumulations,
// percentile, ranking and frequency.

#include "formula/Summary_internal.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace formula::summary_internal
{

// ---- results per record ----
// The next smaller (or larger) value among the distinct values of the group's qualified records, for every
// qualified record with a value; the smallest (largest) gets none.
void CSummaryRun::ComputeNeighbour(bool next)
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
void CSummaryRun::ComputeRepetitions()
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
void CSummaryRun::ComputeNumber()
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
void CSummaryRun::ComputeAccumulation(bool percent)
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
bool CSummaryRun::Key(int32_t v, double& key) const
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
void CSummaryRun::SortByKey(std::vector<int32_t>& order, std::vector<double>& keys) const
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
void CSummaryRun::ComputePercentile()
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
        const uint32_t id = m_results.AddNumber(100.0 * static_cast<double>(seen) / static_cast<double>(total), true);
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
void CSummaryRun::ComputeRanking()
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
void CSummaryRun::ComputeFrequency()
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

} // namespace formula::summary_internal
