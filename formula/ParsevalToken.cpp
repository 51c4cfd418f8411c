// The typed value of the formula engine.

#include "formula/ParsevalToken.h"

#include "engine/FormatRegistry.h"

#include <cmath>

EValueType ValueTypeOfTokenType(int tokenType)
{
    switch (tokenType)
    {
    case TOKEN_STRING:
        return VALUE_TEXT;
    case TOKEN_FLOAT:
        return VALUE_DOUBLE;
    case TOKEN_INTEGER:
        return VALUE_INTEGER;
    case TOKEN_DATE:
        return VALUE_DATE;
    case TOKEN_TIME:
        return VALUE_TIME;
    case TOKEN_DATETIME:
        return VALUE_DATETIME;
    case TOKEN_TIMESPAN:
        return VALUE_TIMESPAN;
    default:
        return VALUE_UNKNOWN;
    }
}

int TokenTypeOfValueType(EValueType type)
{
    switch (type)
    {
    case VALUE_TEXT:
        return TOKEN_STRING;
    case VALUE_INTEGER:
        return TOKEN_INTEGER;
    case VALUE_DOUBLE:
        return TOKEN_FLOAT;
    case VALUE_DATE:
        return TOKEN_DATE;
    case VALUE_TIME:
        return TOKEN_TIME;
    case VALUE_DATETIME:
        return TOKEN_DATETIME;
    case VALUE_TIMESPAN:
        return TOKEN_TIMESPAN;
    default:
        return TOKEN_NONE;
    }
}

bool IsValidNumber(EValueType type, double number)
{
    switch (type)
    {
    case VALUE_INTEGER:
        return std::isfinite(number) && number == std::trunc(number);
    case VALUE_DOUBLE:
    case VALUE_TIME:
    case VALUE_TIMESPAN:
        return std::isfinite(number);
    case VALUE_DATE:
    case VALUE_DATETIME:
        return std::isfinite(number) && number >= kMinFormulaDay && number < kMaxFormulaDay + 1;
    default:
        return true;
    }
}

bool CParsevalToken::IsValid() const
{
    if (m_eValueType == VALUE_TEXT)
        return m_strText.size() <= kMaxFormulaTextLength;
    return IsValidNumber(m_eValueType, m_dNumber);
}

void CParsevalToken::SetType(EValueType type, int formatId)
{
    m_eValueType = type == VALUE_UNKNOWN ? VALUE_TEXT : type;
    m_nFormatId = formatId;
}

void CParsevalToken::SetTruth(bool value)
{
    m_eValueType = VALUE_TEXT;
    m_nFormatId = 0;
    m_bUndefined = false;
    m_dNumber = value ? 1 : 0;
    m_strText.assign(value ? u"yes" : u"no");
}

void CParsevalToken::AppendRendering(const CFormatRegistry& formats, KString& out) const
{
    if (m_bUndefined)
        return;
    if (!m_strText.empty() || m_eValueType == VALUE_TEXT)
    {
        out += m_strText;
        return;
    }
    if (m_pStoredText && *m_pStoredText)
    {
        out += m_pStoredText;
        return;
    }
    // A number without a chosen format is written with its type's default format.
    const int id = m_nFormatId > 0 ? m_nFormatId : formats.GetDefaultFormatID(m_eValueType);
    if (id <= 0)
        return;
    KString text;
    if (formats.Write(id, m_dNumber, text))
        out += text;
}

bool CParsevalToken::SameToken(const CParsevalToken& other) const
{
    return m_nTokenType == other.m_nTokenType && m_strText == other.m_strText && m_nFormatId == other.m_nFormatId &&
           (m_dNumber == other.m_dNumber || (std::isnan(m_dNumber) && std::isnan(other.m_dNumber)));
}
