// One case of a case discrimination: its condition, compiled and evaluated per record.

#include "formula/Case.h"

#include "formula/BuiltinSupport.h"
#include "formula/Builtins.h"

#include "engine/Attribute.h"
#include "engine/Table.h"

#include <algorithm>

namespace formula
{

CCase::CCase(CTable* table, KStringView condition, KStringView value, CAttribute* valueAttribute)
    : m_pTable(table), m_strCondition(condition), m_strValue(value), m_pValueAttribute(valueAttribute)
{
}

SFormulaStatus CCase::CompileCondition()
{
    CParseval engine(m_pTable->GetFormatRegistry());
    DefineBuiltinFunctions(engine);
    CAttributeInputs inputs;
    CParsevalToken result;
    SFormulaStatus status = CompileFormula(*m_pTable, engine, m_strCondition, true, inputs, result);
    m_bSyntaxError = status.nStatus != PARSEVAL_OK && status.nStatus != PARSEVAL_ILLEGAL_TYPE;
    m_bTypeError = false;
    m_attributes.clear();
    if (status.nStatus == PARSEVAL_ILLEGAL_TYPE && inputs.GetCount() == 0 && !engine.GetNames().empty())
        m_bSyntaxError = true; // a name without an attribute
    else if (status.IsOk() && !result.IsText())
    {
        m_bTypeError = true;
        status.nStatus = PARSEVAL_ILLEGAL_TYPE;
        status.strMessage = CParseval::GetStatusMessage(status.nStatus);
    }
    else if (!status.IsOk())
        m_bTypeError = true;
    if (!m_bSyntaxError)
    {
        m_parsed = engine.GetRepresentation();
        m_attributes = inputs.GetAttributes();
    }
    return status;
}

bool CCase::PrepareCondition()
{
    m_pEngine.reset();
    if (m_bSyntaxError)
        return false;
    m_bTypeError = true;
    if (std::find(m_attributes.begin(), m_attributes.end(), nullptr) != m_attributes.end())
        return false;
    auto engine = std::make_unique<CParseval>(m_pTable->GetFormatRegistry());
    DefineBuiltinFunctions(*engine);
    engine->SetRepresentation(m_parsed);
    if (m_inputs.Bind(m_attributes) >= 0)
        return false;
    CCurrentTableScope scope(m_pTable);
    CParsevalToken result;
    if (engine->TypeCheck(m_inputs.GetTokens(), m_inputs.GetCount(), result) != PARSEVAL_OK || !result.IsText())
        return false;
    m_bTypeError = false;
    m_pEngine = std::move(engine);
    return true;
}

bool CCase::Evaluate(const CRecord* record)
{
    if (!m_pEngine)
        return false;
    m_inputs.Load(record);
    CParsevalToken value;
    if (m_pEngine->Evaluate(m_inputs.GetTokens(), m_inputs.GetCount(), value) != PARSEVAL_OK)
        return false;
    return !value.IsUndefined() && value.GetText() == u"yes";
}

bool CCase::ReadIndices(const CRecord* record, long* indices) const
{
    return m_inputs.ReadIndices(record, indices);
}

KString CCase::GetListItemString() const
{
    return m_strCondition + u" -> " + (m_pValueAttribute ? u"[" + m_pValueAttribute->GetName() + u"]" : m_strValue);
}

bool CCase::ReferredToAttribute(const CAttribute* attribute) const
{
    return attribute && (m_pValueAttribute == attribute ||
                         std::find(m_attributes.begin(), m_attributes.end(), attribute) != m_attributes.end());
}

void CCase::ReferredToAttributes(std::vector<CAttribute*>& out) const
{
    for (CAttribute* attribute : m_attributes)
    {
        if (attribute && std::find(out.begin(), out.end(), attribute) == out.end())
            out.push_back(attribute);
    }
    if (m_pValueAttribute && std::find(out.begin(), out.end(), m_pValueAttribute) == out.end())
        out.push_back(m_pValueAttribute);
}

void CCase::ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>& map)
{
    for (CAttribute*& attribute : m_attributes)
    {
        if (attribute)
            attribute = map(attribute);
    }
    if (m_pValueAttribute)
        m_pValueAttribute = map(m_pValueAttribute);
    m_pEngine.reset();
}

std::unique_ptr<CCase> CCase::Clone() const
{
    auto copy = std::make_unique<CCase>(m_pTable, m_strCondition, m_strValue, m_pValueAttribute);
    copy->m_parsed = m_parsed;
    copy->m_attributes = m_attributes;
    copy->m_bSyntaxError = m_bSyntaxError;
    copy->m_bTypeError = m_bTypeError;
    return copy;
}

bool CCase::Equals(const CCase& other) const
{
    return m_strCondition == other.m_strCondition && m_strValue == other.m_strValue &&
           m_pValueAttribute == other.m_pValueAttribute && m_attributes == other.m_attributes;
}

} // namespace formula
