// Cached statistics of an attribute and its records ordered by value.

#include "engine/Attribute.h"

#include "engine/Table.h"

#include <cmath>
#include <limits>

namespace
{
// How many of the given records carry each value index.
std::vector<long> CountValueIndices(CAttribute& attribute, const CRecordArray& records)
{
    std::vector<long> counts(static_cast<size_t>(attribute.GetNrOfValues()), 0);
    const long n = records.GetSize();
    for (long i = 0; i < n; ++i)
    {
        const long index = attribute.GetFieldValueIndex(records.GetRecord(i));
        if (static_cast<size_t>(index) >= counts.size())
            counts.resize(static_cast<size_t>(attribute.GetNrOfValues()), 0);
        ++counts[index];
    }
    return counts;
}
} // namespace

void CAttribute::InvalidateStatistics()
{
    m_bAbsoluteValid = false;
    m_bShownValid = false;
    m_nMaxMultipleValues = -1;
}

void CAttribute::ComputeStatistics(bool shownOnly)
{
    const CRecordArray& records = shownOnly ? m_pTable->GetShownRecords() : m_pTable->GetAllRecords();
    double minimum = std::numeric_limits<double>::quiet_NaN();
    double maximum = minimum;
    double sum = 0;
    long defined = 0;
    long maxLength = 0;
    if (!IsHeader())
    {
        const std::vector<long> counts = CountValueIndices(*this, records);
        const bool numeric = IsNumeric();
        for (size_t i = 0; i < counts.size(); ++i)
        {
            if (counts[i] == 0)
                continue;
            const char16_t* value = m_pValueArray->GetValue(static_cast<long>(i));
            if (value[0] == 0)
                continue;
            const long length = IsEncodedList(value) ? static_cast<long>(DecodeMultipleValues(value).size())
                                                     : static_cast<long>(platform::Length(value));
            maxLength = std::max(maxLength, length);
            if (!numeric)
                continue;
            const double number = ValueNumber(static_cast<long>(i));
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

void CAttribute::RecomputeAbsoluteMinMaxAverageMaxLength()
{
    ComputeStatistics(false);
}

void CAttribute::RecomputeShownMinMax()
{
    ComputeStatistics(true);
}

double CAttribute::GetAbsoluteMinimum()
{
    if (!m_bAbsoluteValid)
        ComputeStatistics(false);
    return m_dAbsoluteMin;
}

double CAttribute::GetAbsoluteMaximum()
{
    if (!m_bAbsoluteValid)
        ComputeStatistics(false);
    return m_dAbsoluteMax;
}

double CAttribute::GetAbsoluteAverage()
{
    if (!m_bAbsoluteValid)
        ComputeStatistics(false);
    return m_dAbsoluteAverage;
}

long CAttribute::GetAbsoluteMaxValueLength()
{
    if (!m_bAbsoluteValid)
        ComputeStatistics(false);
    return m_nAbsoluteMaxLength;
}

double CAttribute::GetShownMinimum()
{
    if (!m_bShownValid)
        ComputeStatistics(true);
    return m_dShownMin;
}

double CAttribute::GetShownMaximum()
{
    if (!m_bShownValid)
        ComputeStatistics(true);
    return m_dShownMax;
}

double CAttribute::GetShownAverage()
{
    if (!m_bShownValid)
        ComputeStatistics(true);
    return m_dShownAverage;
}

long CAttribute::GetShownMaxValueLength()
{
    if (!m_bShownValid)
        ComputeStatistics(true);
    return m_nShownMaxLength;
}

int CAttribute::GetMaxMultipleValues()
{
    if (m_nMaxMultipleValues < 0)
    {
        int most = 0;
        const long n = GetNrOfValues();
        for (long i = 0; i < n && !IsHeader(); ++i)
        {
            const char16_t* value = m_pValueArray->GetValue(i);
            if (IsEncodedList(value))
                most = std::max(most, CountEncodedMultipleValues(value));
        }
        m_nMaxMultipleValues = most;
    }
    return m_nMaxMultipleValues;
}

void CAttribute::RecomputeMultipleValueFlag()
{
    m_bMultipleValues = false;
    const long n = GetNrOfValues();
    for (long i = 0; i < n && !IsHeader(); ++i)
    {
        if (IsEncodedList(m_pValueArray->GetValue(i)))
        {
            m_bMultipleValues = true;
            break;
        }
    }
    m_nMaxMultipleValues = -1;
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

void CAttribute::BuildSortedRecords(bool shownOnly)
{
    std::vector<CRecord*>& sorted = shownOnly ? m_sortedShownRecords : m_sortedRecords;
    const CRecordArray& records = shownOnly ? m_pTable->GetShownRecords() : m_pTable->GetAllRecords();
    sorted.clear();
    const long n = records.GetSize();
    if (IsHeader())
    {
        sorted.assign(records.GetData(), records.GetData() + n);
        return;
    }
    RecomputeSortedValues();
    // Value indices follow the order of values: a counting sort keeps ties in table order.
    std::vector<long> start = CountValueIndices(*this, records);
    long offset = 0;
    for (long& count : start)
    {
        const long c = count;
        count = offset;
        offset += c;
    }
    sorted.resize(static_cast<size_t>(n));
    for (long i = 0; i < n; ++i)
    {
        CRecord* record = records.GetRecord(i);
        sorted[start[GetFieldValueIndex(record)]++] = record;
    }
}

const std::vector<CRecord*>& CAttribute::GetSortedRecords()
{
    if (!m_bSortedRecordsValid)
    {
        BuildSortedRecords(false);
        m_bSortedRecordsValid = true;
    }
    return m_sortedRecords;
}

const std::vector<CRecord*>& CAttribute::GetSortedShownRecords()
{
    std::lock_guard<std::mutex> lock(m_sortLock);
    if (!m_bSortedShownRecordsValid)
    {
        BuildSortedRecords(true);
        m_bSortedShownRecordsValid = true;
    }
    return m_sortedShownRecords;
}

void CAttribute::InvalidateSortedRecords()
{
    m_bSortedRecordsValid = false;
    m_bSortedShownRecordsValid = false;
}
