// Computing a summary attribute: reading the inputs of a run, dispatching to the function, storing the results.

#include "formula/Summary_internal.h"

#include "engine/ValueBulk.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace formula::summary_internal
{

// Makes the results the attribute's values (it has none): each record's in record order.
void CResultPool::Store(CAttribute& attribute, CRecord* const* records, bool numeric) const
{
    const size_t n = m_vIds.size();
    CFieldArray& fields = attribute.GetFieldArray();
    if (GetCount() >= kBulkResults)
    {
        // Many: the first record of each result, in record order, gets it in one step (appended, equal texts
        // merged afterwards); the other records take the value index of their result's first record.
        std::vector<uint32_t> first(GetCount(), kNone);
        std::vector<CRecord*> firstRecords;
        std::vector<KStringView> texts;
        std::vector<double> numbers;
        for (size_t i = 0; i < n; ++i)
        {
            uint32_t& f = first[m_vIds[i]];
            if (f != kNone)
                continue;
            f = static_cast<uint32_t>(i);
            firstRecords.push_back(records[i]);
            texts.push_back(Text(m_vIds[i]));
            if (numeric)
                numbers.push_back(m_vNumbers[m_vIds[i]]);
        }
        AddComputedValues(attribute, firstRecords.data(), texts.data(), numeric ? numbers.data() : nullptr,
                          firstRecords.size());
        for (size_t i = 0; i < n; ++i)
        {
            const uint32_t f = first[m_vIds[i]];
            if (f != i)
                fields.SetAt(records[i], fields.GetAt(records[f]->m_nRecordNumber));
        }
        return;
    }
    // Few: each result stored once, the other records of it take its value index.
    std::vector<long> indices(GetCount(), -1);
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

bool CSummaryRun::Run()
{
    // The table's progress: a run takes two units per record (CSummaryDefinition::EstimatedSteps), half of
    // them for the inputs and the storing each; it is cancelled between its phases.
    CTableMessages& messages = m_table.GetMessages();
    const double half = static_cast<double>(m_n) / 2;
    ReadInputs();
    if (!messages.AdvanceProgress(half))
        return false;
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
    if (!messages.AdvanceProgress(half))
        return false;
    if (m_summary.GetNrOfValues() > 0) // the recompute of derived attributes has cleared them on the table's thread
        m_summary.ClearValues();
    m_results.Store(m_summary, m_records, m_summary.IsNumeric());
    m_summary.InvalidateStatistics();
    m_summary.InvalidateSortedRecords();
    return messages.AdvanceProgress(static_cast<double>(m_n));
}

// ---- inputs ----
void CSummaryRun::ReadInputs()
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

// The records' positions by group, each group's in the table's order: group g holds
// m_vBucket[m_vBucketStart[g] .. m_vBucketStart[g + 1]).
void CSummaryRun::BuildBuckets()
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

// The value's own result: its number written with the summary's format, or its text.
uint32_t CSummaryRun::ValueResult(int32_t v)
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

void CSummaryRun::GiveGroupResults(const std::vector<uint32_t>& groupIds)
{
    for (size_t i = 0; i < m_n; ++i)
        m_results[i] = groupIds[static_cast<size_t>(m_vGroup[i])];
}

// ---- the order of values ----
// Each value's place in the summarised attribute's value order (undefined last).
void CSummaryRun::BuildRanks()
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

} // namespace formula::summary_internal

namespace formula
{

void FitSummaryFormat(CAttribute& summary, const SSummaryDefinition& definition)
{
    if (!definition.pSummarised || summary.IsHeader())
        return;
    const bool text = IsTextSummaryResult(definition);
    if (text && summary.IsNumeric())
        summary.SetFormatString(KString());
    else if (!text && !summary.IsNumeric())
        summary.SetFormatString(ProposeSummaryFormat(definition));
    if (!text && !summary.IsNumeric())
        summary.SetFormatString(u"####.");
}

bool RecomputeSummary(CTable& table, CAttribute& summary, SSummaryDefinition& definition)
{
    if (!definition.pSummarised || summary.IsHeader())
        return true;
    FitSummaryFormat(summary, definition);
    summary_internal::CSummaryRun run(table, summary, definition);
    return run.Run();
}

} // namespace formula
