// Cached statistics of an attribute and its records ordered by value.

#include "engine/AttributeStatistics.h"

#include "engine/Attribute.h"

#include "engine/Table.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
// How many of the given records carry each value index, decoded a block of records at a time.
std::vector<long> CountValueIndices(CAttribute& attribute, const CRecordArray& records)
{
    constexpr size_t kBlock = 4096;
    uint32_t indices[kBlock];
    const size_t n = static_cast<size_t>(records.GetSize());
    std::vector<long> counts(static_cast<size_t>(attribute.GetNrOfValues()), 0);
    for (size_t start = 0; start < n;)
    {
        const size_t m = std::min(kBlock, n - start);
        if (attribute.GetValues().GetFieldValueIndices(records.GetData() + start, m, indices) && start > 0)
        {
            // A repaired record added a value and may have renumbered them: count again from the start.
            counts.assign(static_cast<size_t>(attribute.GetNrOfValues()), 0);
            start = 0;
            continue;
        }
        counts.resize(std::max(counts.size(), static_cast<size_t>(attribute.GetNrOfValues())), 0);
        for (size_t i = 0; i < m; ++i)
            ++counts[indices[i]];
        start += m;
    }
    return counts;
}
} // namespace

void CAttributeStatistics::Compute(CAttribute& attribute, bool shownOnly)
{
    CTable& table = *attribute.GetTable();
    const CRecordArray& records = shownOnly ? table.GetShownRecords() : table.GetAllRecords();
    double minimum = std::numeric_limits<double>::quiet_NaN();
    double maximum = minimum;
    double sum = 0;
    long defined = 0;
    long maxLength = 0;
    if (!attribute.IsHeader())
    {
        const std::vector<long> counts = CountValueIndices(attribute, records);
        const bool numeric = attribute.IsNumeric();
        for (size_t i = 0; i < counts.size(); ++i)
        {
            if (counts[i] == 0)
                continue;
            const char16_t* value = attribute.GetValue(static_cast<long>(i));
            if (value[0] == 0)
                continue;
            const long length = CAttribute::IsEncodedList(value)
                                    ? static_cast<long>(CAttributeValues::DecodeMultipleValues(value).size())
                                    : static_cast<long>(platform::Length(value));
            maxLength = std::max(maxLength, length);
            if (!numeric)
                continue;
            const double number = attribute.GetNumericValue(static_cast<long>(i));
            if (std::isnan(number))
                continue;
            if (defined == 0 || number < minimum)
                minimum = number;
            if (defined == 0 || number > maximum)
                maximum = number;
            sum += number * counts[i];
            defined += counts[i];
        }
    }
    const double average = defined < 2 ? sum : sum / defined;
    if (shownOnly)
    {
        m_dShownMin = minimum, m_dShownMax = maximum, m_dShownAverage = average, m_nShownMaxLength = maxLength;
        m_bShownValid = true;
    }
    else
    {
        m_dAbsoluteMin = minimum, m_dAbsoluteMax = maximum, m_dAbsoluteAverage = average;
        m_nAbsoluteMaxLength = maxLength;
        m_bAbsoluteValid = true;
    }
}

double CAttributeStatistics::GetAbsoluteMinimum(CAttribute& attribute)
{
    if (!m_bAbsoluteValid)
        Compute(attribute, false);
    return m_dAbsoluteMin;
}

double CAttributeStatistics::GetAbsoluteMaximum(CAttribute& attribute)
{
    if (!m_bAbsoluteValid)
        Compute(attribute, false);
    return m_dAbsoluteMax;
}

double CAttributeStatistics::GetAbsoluteAverage(CAttribute& attribute)
{
    if (!m_bAbsoluteValid)
        Compute(attribute, false);
    return m_dAbsoluteAverage;
}

long CAttributeStatistics::GetAbsoluteMaxValueLength(CAttribute& attribute)
{
    if (!m_bAbsoluteValid)
        Compute(attribute, false);
    return m_nAbsoluteMaxLength;
}

double CAttributeStatistics::GetShownMinimum(CAttribute& attribute)
{
    if (!m_bShownValid)
        Compute(attribute, true);
    return m_dShownMin;
}

double CAttributeStatistics::GetShownMaximum(CAttribute& attribute)
{
    if (!m_bShownValid)
        Compute(attribute, true);
    return m_dShownMax;
}

double CAttributeStatistics::GetShownAverage(CAttribute& attribute)
{
    if (!m_bShownValid)
        Compute(attribute, true);
    return m_dShownAverage;
}

long CAttributeStatistics::GetShownMaxValueLength(CAttribute& attribute)
{
    if (!m_bShownValid)
        Compute(attribute, true);
    return m_nShownMaxLength;
}

int CAttributeStatistics::GetMaxMultipleValues(const CAttribute& attribute)
{
    if (m_nMaxMultipleValues < 0)
    {
        int most = 0;
        const long n = attribute.GetNrOfValues();
        for (long i = 0; i < n && !attribute.IsHeader(); ++i)
        {
            const char16_t* value = attribute.GetValue(i);
            if (CAttribute::IsEncodedList(value))
                most = std::max(most, CAttributeValues::CountEncodedMultipleValues(value));
        }
        m_nMaxMultipleValues = most;
    }
    return m_nMaxMultipleValues;
}

bool CAttribute::HasMoreThanOneValue()
{
    if (IsHeader())
        return false;
    const CRecordArray& all = m_pTable->GetAllRecords();
    const long n = all.GetSize();
    long first = -1;
    for (long i = 0; i < n; ++i)
    {
        const CRecord* record = all.GetRecord(i);
        if (!record->m_bQualified)
            continue;
        const long index = GetFieldValueIndex(record);
        if (first >= 0 && index != first)
            return true;
        first = index;
    }
    return false;
}

bool CAttribute::HasNonEmptyValue()
{
    if (IsHeader())
        return false;
    const CRecordArray& all = m_pTable->GetAllRecords();
    const long n = all.GetSize();
    for (long i = 0; i < n; ++i)
    {
        const CRecord* record = all.GetRecord(i);
        if (record->m_bQualified && GetFieldValue(record)[0] != 0)
            return true;
    }
    return false;
}

// ---- records ordered by value ----

void CRecordOrder::Build(CAttribute& attribute, bool shownOnly)
{
    std::vector<CRecord*>& sorted = shownOnly ? m_sortedShownRecords : m_sortedRecords;
    CTable& table = *attribute.GetTable();
    const CRecordArray& records = shownOnly ? table.GetShownRecords() : table.GetAllRecords();
    sorted.clear();
    const long n = records.GetSize();
    if (attribute.IsHeader())
    {
        sorted.assign(records.GetData(), records.GetData() + n);
        return;
    }
    attribute.RecomputeSortedValues();
    // Value indices follow the order of values: a counting sort keeps ties in table order. The indices are
    // decoded once, in bulk, and the offsets are 32 bits wide (record numbers are), which keeps the table of
    // offsets of a column with millions of values half as large for the scatter's random writes.
    std::vector<uint32_t> indices(static_cast<size_t>(n));
    attribute.GetValues().GetFieldValueIndices(records.GetData(), static_cast<size_t>(n), indices.data());
    std::vector<uint32_t> start(static_cast<size_t>(attribute.GetNrOfValues()) + 1, 0);
    for (const uint32_t index : indices)
        ++start[index + 1];
    for (size_t v = 1; v < start.size(); ++v)
        start[v] += start[v - 1];
    sorted.resize(static_cast<size_t>(n));
    CRecord* const* data = records.GetData();
    for (long i = 0; i < n; ++i)
        sorted[start[indices[static_cast<size_t>(i)]]++] = data[i];
}

const std::vector<CRecord*>& CRecordOrder::GetSortedRecords(CAttribute& attribute)
{
    if (!m_bSortedRecordsValid)
    {
        Build(attribute, false);
        m_bSortedRecordsValid = true;
    }
    return m_sortedRecords;
}

const std::vector<CRecord*>& CRecordOrder::GetSortedShownRecords(CAttribute& attribute)
{
    std::lock_guard<std::mutex> lock(m_sortLock);
    if (!m_bSortedShownRecordsValid)
    {
        Build(attribute, true);
        m_bSortedShownRecordsValid = true;
    }
    return m_sortedShownRecords;
}

// ---- the attribute's forwards ----

double CAttribute::GetAbsoluteMinimum()
{
    return m_statistics.GetAbsoluteMinimum(*this);
}

double CAttribute::GetAbsoluteMaximum()
{
    return m_statistics.GetAbsoluteMaximum(*this);
}

double CAttribute::GetAbsoluteAverage()
{
    return m_statistics.GetAbsoluteAverage(*this);
}

long CAttribute::GetAbsoluteMaxValueLength()
{
    return m_statistics.GetAbsoluteMaxValueLength(*this);
}

double CAttribute::GetShownMinimum()
{
    return m_statistics.GetShownMinimum(*this);
}

double CAttribute::GetShownMaximum()
{
    return m_statistics.GetShownMaximum(*this);
}

double CAttribute::GetShownAverage()
{
    return m_statistics.GetShownAverage(*this);
}

long CAttribute::GetShownMaxValueLength()
{
    return m_statistics.GetShownMaxValueLength(*this);
}

int CAttribute::GetMaxMultipleValues()
{
    return m_statistics.GetMaxMultipleValues(*this);
}

void CAttribute::RecomputeAbsoluteMinMaxAverageMaxLength()
{
    m_statistics.Compute(*this, false);
}

void CAttribute::RecomputeShownMinMax()
{
    m_statistics.Compute(*this, true);
}

const std::vector<CRecord*>& CAttribute::GetSortedRecords()
{
    return m_recordOrder.GetSortedRecords(*this);
}

const std::vector<CRecord*>& CAttribute::GetSortedShownRecords()
{
    return m_recordOrder.GetSortedShownRecords(*this);
}
