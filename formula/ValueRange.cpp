// One class of a classification: the test of a value against a threshold.

#include "formula/ValueRange.h"

#include "engine/Attribute.h"
#include "engine/Table.h"

#include <cmath>
#include <limits>

namespace formula
{

CValueRange::CValueRange(CTable* table, CAttribute* attribute, int32_t type, KStringView threshold, KStringView name,
                         bool keepValue)
    : m_pTable(table), m_pAttribute(attribute), m_nType(type), m_strThreshold(threshold), m_strName(name),
      m_bKeepValue(keepValue)
{
}

void CValueRange::InternValueSetIfNecessary()
{
    if (m_bInterned)
        return;
    m_bNumeric = m_pAttribute && m_pAttribute->IsNumeric();
    m_dThreshold = m_bNumeric ? m_pAttribute->ReadNumber(m_strThreshold) : std::numeric_limits<double>::quiet_NaN();
    m_valueSet.clear();
    if (m_nType == RANGE_IN_SET)
    {
        if (CAttribute::IsEncodedList(m_strThreshold.c_str()))
        {
            size_t start = 1;
            for (size_t bar = m_strThreshold.find(u'|', start); bar != KString::npos;
                 start = bar + 1, bar = m_strThreshold.find(u'|', start))
            {
                if (bar > start)
                    m_valueSet.insert(m_strThreshold.substr(start, bar - start));
            }
        }
        else
        {
            m_valueSet.insert(m_strThreshold);
        }
    }
    m_bInterned = true;
}

bool CValueRange::Contains(KStringView text, double number) const
{
    switch (m_nType)
    {
    case RANGE_AT_MOST:
    case RANGE_BELOW:
    case RANGE_EQUAL:
    {
        int order = 0;
        if (m_bNumeric)
        {
            if (std::isnan(number) || std::isnan(m_dThreshold))
                return false;
            order = number < m_dThreshold ? -1 : (number > m_dThreshold ? 1 : 0);
        }
        else
        {
            if (text.empty())
                return false; // the undefined value is in no range of texts
            const KString value(text);
            order = m_pTable->CompareStringValues(value.c_str(), m_strThreshold.c_str());
        }
        if (m_nType == RANGE_AT_MOST)
            return order <= 0;
        if (m_nType == RANGE_BELOW)
            return order < 0;
        return order == 0;
    }
    case RANGE_IN_SET:
        return m_valueSet.count(KString(text)) != 0;
    case RANGE_LEGAL:
        return !m_bNumeric || !std::isnan(number);
    case RANGE_ILLEGAL:
        return m_bNumeric && std::isnan(number) && !text.empty();
    case RANGE_UNDEFINED:
        return text.empty();
    default:
        return true;
    }
}

KString CValueRange::GetDescription() const
{
    KString text;
    switch (m_nType)
    {
    case RANGE_AT_MOST:
        text = u"<=" + m_strThreshold;
        break;
    case RANGE_BELOW:
        text = u"<" + m_strThreshold;
        break;
    case RANGE_EQUAL:
        text = u"=" + m_strThreshold;
        break;
    case RANGE_IN_SET:
        text = u"in " + m_strThreshold;
        break;
    case RANGE_LEGAL:
        text = u"legal";
        break;
    case RANGE_ILLEGAL:
        text = u"illegal";
        break;
    case RANGE_UNDEFINED:
        text = u"undefined";
        break;
    default:
        text = u"else";
        break;
    }
    if (m_bKeepValue)
        return text;
    return text + u":" + m_strName;
}

} // namespace formula
