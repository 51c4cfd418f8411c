// Formulas over the records of a table: reading inputs and computing expression attributes.

#include "formula/ExpressionAttribute.h"

#include "formula/BuiltinSupport.h"
#include "formula/Builtins.h"

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "platform/Resources.h"

#include <cmath>
#include <limits>

namespace formula
{

namespace
{
constexpr int kUnknownAttributeMessageId = 3614;
}

int CAttributeInputs::Bind(CTable& table, const std::vector<KString>& names)
{
    m_inputs.clear();
    m_tokens.assign(names.size(), CParsevalToken());
    for (size_t i = 0; i < names.size(); ++i)
    {
        CAttribute* attribute = table.FindAttribute(names[i], nullptr, true);
        if (!attribute || attribute->IsHeader())
        {
            m_inputs.clear();
            m_tokens.clear();
            return static_cast<int>(i);
        }
        CValueArray* values = attribute->GetNrOfValues() > 0 ? attribute->GetValueArray() : nullptr;
        const bool numeric = attribute->IsNumeric();
        if (numeric && values)
            attribute->GetNumericValue(0); // brings every number up to date once, not per record
        m_inputs.push_back({attribute, values, numeric});
        m_tokens[i].SetType(attribute->GetType(), attribute->GetFormatId());
        m_tokens[i].SetTokenType(TokenTypeOfValueType(attribute->GetType()));
    }
    return -1;
}

void CAttributeInputs::Load(const CRecord* record)
{
    for (size_t i = 0; i < m_inputs.size(); ++i)
    {
        const SInput& input = m_inputs[i];
        CParsevalToken& token = m_tokens[i];
        const long index = input.pValues ? input.pAttribute->GetFieldValueIndex(record) : -1;
        if (index < 0 || index >= input.pValues->GetSize())
        {
            token.SetUndefined();
            if (input.bNumeric && m_bUndefinedAsZero)
                token.SetNumber(0);
            continue;
        }
        const char16_t* text = input.pValues->GetValue(index);
        if (input.bNumeric)
        {
            const double number = input.pValues->GetStoredDoubleValue(index);
            if (std::isnan(number))
            {
                token.SetUndefined();
                if (m_bUndefinedAsZero)
                    token.SetNumber(0);
                else if (text && *text)
                    token.Text().assign(text); // kept for ILLEGAL: a text that is no number
            }
            else
            {
                token.SetStoredNumber(number, CAttribute::IsEncodedList(text) ? nullptr : text);
            }
            continue;
        }
        if (CAttribute::IsEncodedList(text))
            token.SetText(input.pAttribute->GetValueText(index));
        else if (text)
            token.SetText(KStringView(text));
        else
            token.SetUndefined();
    }
}

SFormulaStatus CompileFormula(CTable& table, CParseval& engine, KStringView formula, bool commaSeparated,
                              CAttributeInputs& inputs, CParsevalToken& result)
{
    SFormulaStatus status;
    status.nStatus = engine.Parse(formula, commaSeparated);
    if (status.nStatus != PARSEVAL_OK)
    {
        status.nPosition = engine.GetErrorPosition();
        status.strMessage = CParseval::GetStatusMessage(status.nStatus);
        return status;
    }
    const int missing = inputs.Bind(table, engine.GetNames());
    if (missing >= 0)
    {
        status.nStatus = PARSEVAL_ILLEGAL_TYPE;
        const KString& name = engine.GetNames()[missing];
        const KString pattern = u"[" + name + u"]";
        const size_t at = formula.find(pattern);
        status.nPosition = at == KStringView::npos ? 0 : static_cast<int>(at);
        status.strMessage = FormatResource(kUnknownAttributeMessageId, {name});
        return status;
    }
    CCurrentTableScope scope(&table);
    status.nStatus = engine.TypeCheck(inputs.GetTokens(), inputs.GetCount(), result);
    if (status.nStatus != PARSEVAL_OK)
    {
        status.nPosition = engine.GetErrorPosition();
        status.strMessage = CParseval::GetStatusMessage(status.nStatus);
    }
    return status;
}

void EvaluateFormulaOverRecords(CTable& table, CParseval& engine, CAttributeInputs& inputs,
                                const std::vector<CRecord*>& records, const CParsevalToken& compiled,
                                const std::function<void(const CRecord*, const CParsevalToken&)>& sink)
{
    CCurrentTableScope scope(&table);
    CParsevalToken value;
    for (const CRecord* record : records)
    {
        inputs.Load(record);
        if (engine.Evaluate(inputs.GetTokens(), inputs.GetCount(), value) != PARSEVAL_OK)
        {
            value = compiled;
            value.SetUndefined();
        }
        sink(record, value);
    }
}

SFormulaStatus ComputeExpressionAttribute(CTable& table, CAttribute& attribute, KStringView formula)
{
    CParseval engine(table.GetFormatRegistry());
    DefineBuiltinFunctions(engine);
    CAttributeInputs inputs;
    inputs.SetRegardUndefinedAsZero(attribute.IsRegardUndefinedAsZero());
    CParsevalToken compiled;
    SFormulaStatus status = CompileFormula(table, engine, formula, true, inputs, compiled);
    if (!status.IsOk())
        return status;
    const CRecordArray& all = table.GetAllRecords();
    std::vector<CRecord*> records(static_cast<size_t>(all.GetSize()));
    for (long i = 0; i < all.GetSize(); ++i)
        records[static_cast<size_t>(i)] = all.GetRecord(i);
    const bool numeric = IsNumericType(compiled.GetValueType()) && compiled.GetFormatId() > 0;
    std::vector<KString> texts(records.size());
    std::vector<double> numbers(numeric ? records.size() : 0, std::numeric_limits<double>::quiet_NaN());
    size_t i = 0;
    EvaluateFormulaOverRecords(table, engine, inputs, records, compiled,
                               [&](const CRecord*, const CParsevalToken& value)
                               {
                                   if (!value.IsUndefined())
                                   {
                                       texts[i] = value.Render(table.GetFormatRegistry());
                                       if (numeric)
                                           numbers[i] = value.GetNumber();
                                   }
                                   ++i;
                               });
    // Everything computed: only now are the old values replaced.
    attribute.SetFormatString(numeric ? table.GetFormat(compiled.GetFormatId()) : KString());
    attribute.ClearValues();
    for (size_t k = 0; k < records.size(); ++k)
    {
        if (numeric)
            attribute.AddValue(records[k], texts[k], true, numbers[k]);
        else
            attribute.AddValue(records[k], texts[k]);
    }
    attribute.InvalidateStatistics();
    attribute.InvalidateSortedRecords();
    return status;
}

} // namespace formula
