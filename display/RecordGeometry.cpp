#include "display/RecordGeometry.h"

#include "display/LayoutAccess.h"
#include "engine/Record.h"

#include <algorithm>

namespace display
{

ERecordClass CRecordGeometry::Classify(const CRecord* record, bool openAsQualified)
{
    if (!record->m_bQualified)
        return CLASS_REFUSED;
    return record->m_bOpen && !openAsQualified ? CLASS_OPEN : CLASS_QUALIFIED;
}

CRecordGeometry::CRecordGeometry()
{
    Clear();
}

void CRecordGeometry::Clear()
{
    m_records.clear();
    m_refusedBefore.assign(1, 0);
    m_openBefore.assign(1, 0);
    m_weightRefused.clear();
    m_weightQualified.clear();
    m_positionMap.clear();
    m_nQualifiedWithoutWeight = 0;
}

void CRecordGeometry::Build(CRecord* const* records, long count, CAttribute* widthAttribute, bool openAsQualified)
{
    Clear();
    m_bOpenAsQualified = openAsQualified;
    const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
    m_records.assign(records, records + n);
    m_refusedBefore.resize(n + 1);
    m_openBefore.resize(n + 1);
    if (widthAttribute)
    {
        m_weightRefused.resize(n + 1);
        m_weightQualified.resize(n + 1);
        m_weightRefused[0] = 0.0;
        m_weightQualified[0] = 0.0;
    }
    uint32_t refused = 0;
    uint32_t open = 0;
    double weightRefused = 0.0;
    double weightQualified = 0.0;
    for (size_t i = 0; i < n; ++i)
    {
        const ERecordClass c = Classify(m_records[i], openAsQualified);
        refused += c == CLASS_REFUSED ? 1 : 0;
        open += c == CLASS_OPEN ? 1 : 0;
        m_refusedBefore[i + 1] = refused;
        m_openBefore[i + 1] = open;
        if (widthAttribute)
        {
            const double weight = Weight(access::NumericValue(*widthAttribute, m_records[i]));
            if (c != CLASS_REFUSED && weight == 0.0)
                ++m_nQualifiedWithoutWeight;
            if (c == CLASS_REFUSED)
                weightRefused += weight;
            else if (c == CLASS_QUALIFIED)
                weightQualified += weight;
            m_weightRefused[i + 1] = weightRefused;
            m_weightQualified[i + 1] = weightQualified;
        }
    }
}

ERecordClass CRecordGeometry::GetClass(long position) const
{
    const size_t i = static_cast<size_t>(position);
    if (m_refusedBefore[i + 1] != m_refusedBefore[i])
        return CLASS_REFUSED;
    return m_openBefore[i + 1] != m_openBefore[i] ? CLASS_OPEN : CLASS_QUALIFIED;
}

double CRecordGeometry::GetWeight(long position) const
{
    if (!HasWeights())
        return 0.0;
    const size_t i = static_cast<size_t>(position);
    switch (GetClass(position))
    {
    case CLASS_REFUSED:
        return m_weightRefused[i + 1] - m_weightRefused[i];
    case CLASS_QUALIFIED:
        return m_weightQualified[i + 1] - m_weightQualified[i];
    default:
        return 0.0;
    }
}

long CRecordGeometry::Count(ERecordClass c) const
{
    const long n = GetSize();
    const long refused = static_cast<long>(m_refusedBefore.back());
    const long open = static_cast<long>(m_openBefore.back());
    switch (c)
    {
    case CLASS_REFUSED:
        return refused;
    case CLASS_OPEN:
        return open;
    default:
        return n - refused - open;
    }
}

double CRecordGeometry::SumWeights(ERecordClass c) const
{
    if (!HasWeights())
        return 0.0;
    if (c == CLASS_REFUSED)
        return m_weightRefused.back();
    return c == CLASS_QUALIFIED ? m_weightQualified.back() : 0.0;
}

double CRecordGeometry::GetLeft(long position, const SWidthRule& rule) const
{
    const size_t i = static_cast<size_t>(position);
    const double refused = m_refusedBefore[i];
    const double open = m_openBefore[i];
    const double qualified = static_cast<double>(position) - refused - open;
    double left = rule.m_dBase[CLASS_REFUSED] * refused + rule.m_dBase[CLASS_QUALIFIED] * qualified +
                  rule.m_dBase[CLASS_OPEN] * open;
    if (HasWeights())
        left += rule.m_dPerWeight[CLASS_REFUSED] * m_weightRefused[i] +
                rule.m_dPerWeight[CLASS_QUALIFIED] * m_weightQualified[i];
    return left;
}

double CRecordGeometry::GetWidth(long position, const SWidthRule& rule) const
{
    const ERecordClass c = GetClass(position);
    return rule.m_dBase[c] + rule.m_dPerWeight[c] * GetWeight(position);
}

long CRecordGeometry::FindPosition(const CRecord* record) const
{
    if (!record)
        return -1;
    if (m_positionMap.empty() && !m_records.empty())
    {
        int32_t largest = 0;
        for (const CRecord* r : m_records)
            largest = std::max(largest, r->m_nRecordNumber);
        m_positionMap.assign(static_cast<size_t>(largest) + 1, -1);
        for (size_t i = 0; i < m_records.size(); ++i)
            m_positionMap[static_cast<size_t>(m_records[i]->m_nRecordNumber)] = static_cast<int32_t>(i);
    }
    const int32_t number = record->m_nRecordNumber;
    if (number < 0 || static_cast<size_t>(number) >= m_positionMap.size())
        return -1;
    const int32_t position = m_positionMap[static_cast<size_t>(number)];
    return position >= 0 && m_records[static_cast<size_t>(position)] == record ? position : -1;
}

template <class F>
long CRecordGeometry::LowerBound(long low, long high, F key)
{
    // key(i) is true from some position on (false before it).
    while (low < high)
    {
        const long middle = low + (high - low) / 2;
        if (key(middle))
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

long CRecordGeometry::FindPositionAt(double x, const SWidthRule& rule) const
{
    const long n = GetSize();
    if (n == 0 || !(x >= 0.0))
        return -1;
    // The first column whose right edge lies beyond x; its left edge is then at most x.
    const long position = LowerBound(0, n, [&](long i) { return GetLeft(i + 1, rule) > x; });
    return position < n ? position : -1;
}

std::pair<long, long> CRecordGeometry::FindPositionsIn(double x0, double x1, const SWidthRule& rule) const
{
    const long n = GetSize();
    if (n == 0 || !(x1 > x0))
        return {0, 0};
    const long first = LowerBound(0, n, [&](long i) { return GetLeft(i + 1, rule) > x0; });
    const long last = LowerBound(first, n, [&](long i) { return GetLeft(i, rule) >= x1; });
    if (first >= last)
        return {0, 0};
    return {first, last};
}

} // namespace display
