// Expression attributes computed by several workers against the same formulas added one record at a time:
// the same values in the same order, the same numbers, sorted flag and value of every record.

#include "FormulaTestSupport.h"

#include "options/OptionSet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{

using formula_test::CFormulaTable;

// The values of an attribute as one text: the sorted flag, each value with its number, each record's index.
std::string Describe(CAttribute& attribute, const CTable& table)
{
    std::string out = attribute.AreValuesSorted() ? "sorted;" : "unsorted;";
    for (long k = 0; k < attribute.GetNrOfValues(); ++k)
        out += platform::ToUtf8(attribute.GetValue(k)) + "#" + std::to_string(attribute.GetNumericValue(k)) + ";";
    for (long i = 0; i < table.GetRecordCount(); ++i)
        out += std::to_string(attribute.GetFieldValueIndex(table.GetRecord(i))) + ",";
    return out;
}

// The formula's values added one by one in record order: what the workers must give.
void AddOneByOne(CTable& table, CAttribute& attribute, const KString& text)
{
    CParseval engine(table.GetFormatRegistry());
    formula::DefineBuiltinFunctions(engine);
    formula::CAttributeInputs inputs;
    CParsevalToken compiled;
    ASSERT_TRUE(formula::CompileFormula(table, engine, text, true, inputs, compiled).IsOk());
    const bool numeric = IsNumericType(compiled.GetValueType()) && compiled.GetFormatId() > 0;
    attribute.SetFormatString(numeric ? table.GetFormat(compiled.GetFormatId()) : KString());
    attribute.ClearValues();
    std::vector<CRecord*> records;
    for (long i = 0; i < table.GetRecordCount(); ++i)
        records.push_back(table.GetRecord(i));
    formula::EvaluateFormulaOverRecords(
        table, engine, inputs, records, compiled,
        [&](const CRecord* record, const CParsevalToken& value)
        {
            const KString rendered = value.IsUndefined() ? KString() : value.Render(table.GetFormatRegistry());
            const double number = value.IsUndefined() ? std::numeric_limits<double>::quiet_NaN() : value.GetNumber();
            if (numeric)
                attribute.AddValue(const_cast<CRecord*>(record), rendered, true, number);
            else
                attribute.AddValue(const_cast<CRecord*>(record), rendered);
        });
}

TEST(FormulaExpressionAttribute, WorkersGiveTheValuesOfOneByOne)
{
    // Enough records for several workers and pieces; amounts mostly distinct, counts and names few, a gap in
    // each, and a column that ascends.
    constexpr long kRecords = 5000;
    std::vector<KString> amounts, counts, names, ranks;
    const KString kNames[] = {u"alpha", u"beta", u"gamma", u""};
    for (long i = 0; i < kRecords; ++i)
    {
        amounts.push_back(i % 7 == 3 ? KString() : platform::ToKString((i * 7919) % 100000) + u".25");
        counts.push_back(i % 11 == 5 ? KString() : platform::ToKString(i % 13));
        names.push_back(kNames[(i / 3) % 4]);
        ranks.push_back(platform::ToKString(i));
    }
    CFormulaTable fixture;
    fixture.AddAttribute(u"amount", u"####.##", amounts);
    fixture.AddAttribute(u"count", u"####", counts);
    fixture.AddAttribute(u"name", u"", names);
    fixture.AddAttribute(u"rank", u"####", ranks);
    CTable& table = fixture.Table();
    for (const KString formula : {u"[amount] * 2 + [count]", u"[name] + \"-\" + [count]", u"[name] + [amount]",
                                  u"[amount] / ([count] - 3)", u"[rank] + 1", u"IF([count] > 6, [name], \"\")"})
    {
        SCOPED_TRACE(platform::ToUtf8(formula));
        CAttribute* expected = table.CreateNewAttribute(ATTR_EXPRESSION, false, u"expected", nullptr, 16, true);
        AddOneByOne(table, *expected, formula);
        const std::string want = Describe(*expected, table);
        for (const bool multicore : {false, true})
        {
            table.GetOptions().m_bUseMulticores = multicore;
            CAttribute* computed = table.CreateNewAttribute(ATTR_EXPRESSION, false, u"computed", nullptr, 16, true);
            ASSERT_TRUE(formula::ComputeExpressionAttribute(table, *computed, formula).IsOk());
            EXPECT_EQ(computed->GetFormatString(), expected->GetFormatString());
            EXPECT_EQ(Describe(*computed, table), want) << (multicore ? "multicore" : "one core");
            table.DeleteAttribute(computed);
        }
        table.DeleteAttribute(expected);
    }
}

TEST(FormulaExpressionAttribute, RecordsWithoutAFieldAreRepairedOnTheWay)
{
    // The second half of the records has no field in "late": the workers leave those to the one-by-one
    // path, which gives each the undefined value (sorting the values anew) before it is read.
    CFormulaTable fixture;
    std::vector<KString> ranks;
    for (long i = 0; i < 3000; ++i)
        ranks.push_back(platform::ToKString(3000 - i));
    fixture.AddAttribute(u"rank", u"####", ranks);
    CTable& table = fixture.Table();
    CAttribute* late = table.CreateNewAttribute(ATTR_NORMAL, false, u"late", nullptr, 16, true);
    late->SetFormatString(u"####");
    for (long i = 0; i < 1500; ++i)
        late->AddValue(table.GetRecord(i), platform::ToKString(1500 - i));
    CAttribute* computed = table.CreateNewAttribute(ATTR_EXPRESSION, false, u"computed", nullptr, 16, true);
    ASSERT_TRUE(formula::ComputeExpressionAttribute(table, *computed, u"[late] + [rank]").IsOk());
    CAttribute* expected = table.CreateNewAttribute(ATTR_EXPRESSION, false, u"expected", nullptr, 16, true);
    AddOneByOne(table, *expected, u"[late] + [rank]");
    EXPECT_EQ(Describe(*computed, table), Describe(*expected, table));
    EXPECT_EQ(computed->GetFieldText(table.GetRecord(0)), u"4500");
    EXPECT_EQ(computed->GetFieldText(table.GetRecord(2999)), u"");
}

} // namespace
