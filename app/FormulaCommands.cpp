// The formula subcommand (korvalin eval) and the formula verbs of scripts (expression, eval).

#include "app/Commands.h"

#include "engine/Table.h"
#include "exchange/TableJson.h"
#include "formula/Builtins.h"
#include "formula/DerivedDefinitions.h"
#include "formula/ExpressionAttribute.h"
#include "platform/Error.h"
#include "selection/DefinitionRequests.h"

#include <cmath>
#include <iostream>
#include <sstream>

namespace app
{

namespace
{

// The text a formula's value prints as: empty for an undefined value, numbers with the fewest digits that
// read back (decimal point '.'), truth values as their words, dates and times in their format.
std::string ValueText(const CParsevalToken& value, const CTable& table)
{
    if (value.IsUndefined())
        return {};
    return platform::ToUtf8(formula::FormatResultText(value, table.GetFormatRegistry()));
}

// A compile failure as the user sees it: the message and the character position (counted from 1).
std::runtime_error FormulaError(const std::string& context, const formula::SFormulaStatus& status)
{
    return std::runtime_error(context + "position " + std::to_string(status.nPosition + 1) + ": " +
                              platform::ToUtf8(status.strMessage));
}

// Compiles a formula against the table; throws with the message and the position when it does not compile.
void Compile(CTable& table, CParseval& engine, const std::string& formula, bool commas,
             formula::CAttributeInputs& inputs, CParsevalToken& compiled, const std::string& context)
{
    formula::DefineBuiltinFunctions(engine);
    const formula::SFormulaStatus status =
        formula::CompileFormula(table, engine, platform::FromUtf8(formula), commas, inputs, compiled);
    if (!status.IsOk())
        throw FormulaError(context, status);
}

} // namespace

int RunEval(const std::vector<std::string>& args)
{
    bool semicolons = false, json = false;
    std::string formula;
    bool haveFormula = false;
    for (const std::string& arg : args)
    {
        if (arg == "--semicolons")
            semicolons = true;
        else if (arg == "--json")
            json = true;
        else if (!haveFormula)
            formula = arg, haveFormula = true;
        else
            throw CUsageError(Text(9040));
    }
    if (!haveFormula)
        throw CUsageError(Text(9041));
    std::unique_ptr<CTable> table = MakeTable();
    table->AddRecord();
    CParseval engine(table->GetFormatRegistry());
    formula::CAttributeInputs inputs;
    CParsevalToken compiled;
    Compile(*table, engine, formula, !semicolons, inputs, compiled, "eval: ");
    CParsevalToken value;
    formula::EvaluateFormulaOverRecords(*table, engine, inputs, {table->GetRecord(0)}, compiled,
                                        [&](const CRecord*, const CParsevalToken& v) { value = v; });
    if (!json)
    {
        std::cout << ValueText(value, *table) << '\n';
        return 0;
    }
    std::cout << "{\"type\": \"" << platform::ToUtf8(GetValueTypeName(value.GetValueType())) << "\", \"text\": ";
    exchange::WriteJsonString(std::cout, platform::FromUtf8(ValueText(value, *table)));
    std::cout << ", \"number\": ";
    if (value.IsUndefined() || !std::isfinite(value.GetNumber()))
        std::cout << "null";
    else
        std::cout << platform::ToUtf8(formula::ShortestNumberText(value.GetNumber()));
    std::cout << ", \"undefined\": " << (value.IsUndefined() ? "true" : "false") << "}\n";
    return 0;
}

void AddExpressionAttribute(CTable& table, const std::string& name, const std::string& formula)
{
    KString error;
    std::unique_ptr<CAttributeDefinition> definition = selection::RequestExpression(table, name, formula, error);
    if (!definition)
        throw std::runtime_error(platform::ToUtf8(error));
    SubmitExpressionAttribute(table, platform::FromUtf8(name), std::move(definition));
}

void PrintFormulaValues(CTable& table, const std::string& formula, std::ostream& out)
{
    CParseval engine(table.GetFormatRegistry());
    formula::CAttributeInputs inputs;
    CParsevalToken compiled;
    Compile(table, engine, formula, true, inputs, compiled, "eval: ");
    std::vector<CRecord*> records;
    const CRecordArray& all = table.GetAllRecords();
    for (long i = 0; i < all.GetSize(); ++i)
    {
        if (all.GetRecord(i)->m_bQualified)
            records.push_back(all.GetRecord(i));
    }
    formula::EvaluateFormulaOverRecords(table, engine, inputs, records, compiled,
                                        [&](const CRecord*, const CParsevalToken& v)
                                        { out << ValueText(v, table) << '\n'; });
}

} // namespace app
