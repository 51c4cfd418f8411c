#pragma once
// One run of the formula fuzz target over an input: parse (commas or semicolons, chosen by the first byte),
// write back and parse again (the two parsed forms must agree), type-check against a small table and
// evaluate every record. Shared by the libFuzzer target (tests/fuzz/formula_fuzz.cpp) and the test that
// replays the kept inputs, so that what the fuzzer once found stays a regression case.

#include "formula/Builtins.h"
#include "formula/ExpressionAttribute.h"
#include "formula/Parseval.h"

#include "engine/Attribute.h"
#include "engine/Table.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace formula_fuzz
{

// A table of three records with a number, a text, a date and a list attribute.
inline CTable& FuzzTable()
{
    static std::unique_ptr<CTable> table = []
    {
        auto t = std::make_unique<CTable>();
        for (int i = 0; i < 3; ++i)
            t->AddRecord();
        auto add = [&](const char16_t* name, const char16_t* format, std::initializer_list<const char16_t*> values)
        {
            CAttribute* a = t->CreateNewAttribute(ATTR_NORMAL, false, name, nullptr, 8, true);
            if (*format)
                a->SetFormatString(format);
            long i = 0;
            for (const char16_t* v : values)
                a->AddValue(t->GetRecord(i++), v);
        };
        add(u"n", u"####", {u"20", u"", u"x"});
        add(u"t", u"", {u"abc", u"", u"Zoë"});
        add(u"d", u"jjjj-mm-tt", {u"2024-02-29", u"", u"9999-12-31"});
        add(u"l", u"", {u"|a|b|", u"", u"c"});
        t->AnalyzeTable();
        return t;
    }();
    return *table;
}

// Runs one input; returns what went wrong when the written-back formula parses differently, else "".
inline std::string RunFormulaInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 4096)
        return {};
    const bool commas = (data[0] & 1) == 0;
    const KString text = platform::FromUtf8(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    CTable& table = FuzzTable();
    // two engines made once: parsing replaces what the last input left
    static CParseval engine(table.GetFormatRegistry());
    static CParseval again(table.GetFormatRegistry());
    if (engine.GetFunctions().empty())
    {
        formula::DefineBuiltinFunctions(engine);
        formula::DefineBuiltinFunctions(again);
    }
    if (engine.Parse(text, commas) != PARSEVAL_OK)
        return {};
    const KString written = engine.GetExpressionText(true, commas);
    const std::string shown = "written back as " + platform::ToUtf8(written);
    if (again.Parse(written, commas) != PARSEVAL_OK)
        return shown + ": does not parse";
    const auto& a = engine.GetRepresentation().infix;
    const auto& b = again.GetRepresentation().infix;
    if (a.size() != b.size() || engine.GetNames() != again.GetNames())
        return shown + ": other tokens or names";
    for (size_t i = 0; i < a.size(); ++i)
    {
        if (!a[i].SameToken(b[i]))
            return shown + ": token " + std::to_string(i) + " differs";
    }
    formula::CAttributeInputs inputs;
    if (inputs.Bind(table, engine.GetNames()) >= 0)
        return {};
    CParsevalToken result;
    if (engine.TypeCheck(inputs.GetTokens(), inputs.GetCount(), result) != PARSEVAL_OK)
        return {};
    std::vector<CRecord*> records;
    for (long i = 0; i < table.GetRecordCount(); ++i)
        records.push_back(table.GetRecord(i));
    formula::EvaluateFormulaOverRecords(table, engine, inputs, records, result,
                                        [&](const CRecord*, const CParsevalToken& value)
                                        {
                                            // rendering must not fail either
                                            (void)formula::FormatResultText(value, table.GetFormatRegistry());
                                        });
    return {};
}

} // namespace formula_fuzz
