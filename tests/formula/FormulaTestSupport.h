#pragma once
// What the formula tests share: a table to evaluate in, and one call that parses, checks and evaluates a
// formula over every record and writes the results as text, with the round-trip self-check on the way.

#include "formula/Builtins.h"
#include "formula/ExpressionAttribute.h"
#include "formula/Parseval.h"

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "platform/Text.h"

#include <memory>
#include <string>
#include <vector>

namespace formula_test
{

// The outcome of one formula: the texts of its values (one per record, " | " between them), or its error.
struct SOutcome
{
    int nStatus = 0;          // 0, or the parse or check status
    int nPosition = 0;        // the error position
    std::string strText;      // the values as formula::FormatResultText writes them, joined by " | "
    EValueType eType = VALUE_UNKNOWN; // the formula's value type
    std::string strRoundTrip; // empty, or what went wrong when the written-back formula was parsed again
};

// A table of one record and no attributes, or of records with text and numeric attributes.
class CFormulaTable
{
public:
    CFormulaTable() { Clear(); }
    // Back to one record without attributes.
    void Clear()
    {
        m_pTable = std::make_unique<CTable>();
        m_pTable->AddRecord();
        m_nRecords = 1;
        m_bAttributes = false;
    }
    // Adds an attribute with a format ("" text) and one value per record (the first attribute sets the count).
    void AddAttribute(const KString& name, const KString& format, const std::vector<KString>& values)
    {
        if (!m_bAttributes)
        {
            m_pTable = std::make_unique<CTable>();
            for (size_t i = 0; i < values.size(); ++i)
                m_pTable->AddRecord();
            m_nRecords = static_cast<long>(values.size());
            m_bAttributes = true;
        }
        CAttribute* attribute = m_pTable->CreateNewAttribute(ATTR_NORMAL, false, name, nullptr, 16, true);
        if (!format.empty())
            attribute->SetFormatString(format);
        for (long i = 0; i < m_nRecords; ++i)
            attribute->AddValue(m_pTable->GetRecord(i), i < static_cast<long>(values.size()) ? values[i] : KString());
        m_pTable->AnalyzeTable();
    }
    CTable& Table() { return *m_pTable; }
    long GetRecordCount() const { return m_nRecords; }

    SOutcome Evaluate(const KString& formula, bool commas, bool undefinedAsZero)
    {
        SOutcome out;
        CParseval engine(m_pTable->GetFormatRegistry());
        formula::DefineBuiltinFunctions(engine);
        formula::CAttributeInputs inputs;
        inputs.SetRegardUndefinedAsZero(undefinedAsZero);
        CParsevalToken compiled;
        const formula::SFormulaStatus status =
            formula::CompileFormula(*m_pTable, engine, formula, commas, inputs, compiled);
        if (engine.GetRepresentation().infix.size() > 0)
            out.strRoundTrip = CheckRoundTrip(engine, commas, status.IsOk() ? &compiled : nullptr);
        if (!status.IsOk())
        {
            out.nStatus = status.nStatus;
            out.nPosition = status.nPosition;
            return out;
        }
        out.eType = compiled.GetValueType();
        std::vector<CRecord*> records;
        for (long i = 0; i < m_nRecords; ++i)
            records.push_back(m_pTable->GetRecord(i));
        {
            bool first = true;
            formula::EvaluateFormulaOverRecords(
                *m_pTable, engine, inputs, records, compiled,
                [&](const CRecord*, const CParsevalToken& value)
                {
                    if (!first)
                        out.strText += " | ";
                    first = false;
                    out.strText +=
                        platform::ToUtf8(formula::FormatResultText(value, m_pTable->GetFormatRegistry()));
                });
        }
        return out;
    }

private:
    // Writes the parsed formula back, parses it again and compares the two parsed (and compiled) forms.
    std::string CheckRoundTrip(CParseval& engine, bool commas, const CParsevalToken* compiled)
    {
        const KString written = engine.GetExpressionText(true, commas);
        CParseval again(m_pTable->GetFormatRegistry());
        formula::DefineBuiltinFunctions(again);
        const std::string shown = "written back as " + platform::ToUtf8(written);
        if (again.Parse(written, commas) != PARSEVAL_OK)
            return shown + ": parse failed at " + std::to_string(again.GetErrorPosition());
        const CInternalRepresentation& a = engine.GetRepresentation();
        const CInternalRepresentation& b = again.GetRepresentation();
        if (a.names != b.names)
            return shown + ": other names";
        if (a.infix.size() != b.infix.size())
            return shown + ": " + std::to_string(b.infix.size()) + " tokens instead of " +
                   std::to_string(a.infix.size());
        for (size_t i = 0; i < a.infix.size(); ++i)
        {
            if (!a.infix[i].SameToken(b.infix[i]))
                return shown + ": token " + std::to_string(i) + " differs";
        }
        if (compiled)
        {
            formula::CAttributeInputs inputs;
            CParsevalToken result;
            if (inputs.Bind(*m_pTable, b.names) >= 0 ||
                again.TypeCheck(inputs.GetTokens(), inputs.GetCount(), result) != PARSEVAL_OK)
                return shown + ": does not compile again";
            if (b.GetCallCount() != engine.GetRepresentation().GetCallCount() ||
                result.GetValueType() != compiled->GetValueType() || result.GetFormatId() != compiled->GetFormatId())
                return shown + ": compiles to another form";
            for (int i = 0; i < b.GetCallCount(); ++i)
            {
                const CParsevalCall& x = a.calls[i];
                const CParsevalCall& y = b.calls[i];
                if (x.pEvaluator != y.pEvaluator || x.kinds != y.kinds || x.indices != y.indices)
                    return shown + ": call " + std::to_string(i) + " differs";
            }
        }
        return {};
    }

    std::unique_ptr<CTable> m_pTable;
    long m_nRecords = 1;
    bool m_bAttributes = false;
};

} // namespace formula_test
