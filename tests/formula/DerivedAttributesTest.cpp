// Derived attributes: each kind's values on small tables, the order and the cycles of the recompute, the
// parallel waves against the sequential path, eval modes, and the hook of the kinds that follow the qualified
// records.

#include "FormulaTestSupport.h"

#include "formula/DerivedAttributes.h"
#include "formula/DerivedDefinitions.h"
#include "formula/SummaryDefinition.h"

#include "engine/Set.h"
#include "options/OptionSet.h"
#include "platform/Resources.h"

#include <functional>

#include <gtest/gtest.h>

namespace
{

using formula::CDerivedAttributes;
using formula_test::CFormulaTable;

// The values of attribute, record by record: "a|b||c" (empty for undefined).
std::string Values(CAttribute& attribute)
{
    CTable& table = *attribute.GetTable();
    std::string out;
    for (long i = 0; i < table.GetRecordCount(); ++i)
        out += (i ? "|" : "") + platform::ToUtf8(attribute.GetFieldText(table.GetRecord(i)));
    return out;
}

// A table of five records: score 5, 10, 19.5, 20, undefined; group x, x, y, y, z.
class CDerivedTable : public CFormulaTable
{
public:
    CDerivedTable()
    {
        AddAttribute(u"score", u"####.##", {u"5", u"10", u"19.5", u"20", u""});
        AddAttribute(u"group", u"", {u"x", u"x", u"y", u"y", u"z"});
    }
    CAttribute* Attribute(const char16_t* name) { return Table().FindAttribute(name); }
    // Inserts a derived attribute with definition and recomputes (as the insert command does).
    CAttribute* Insert(const char16_t* name, std::unique_ptr<CAttributeDefinition> definition, int evalMode = 1,
                       bool undefinedAsZero = false)
    {
        const auto kind = static_cast<AttributeType>(definition->GetKind());
        CAttribute* attribute = Table().CreateNewAttribute(kind, false, name, nullptr, 16, true);
        attribute->SetEvalMode(evalMode);
        attribute->SetRegardUndefinedAsZero(undefinedAsZero);
        attribute->SetDefinition(std::move(definition));
        attribute->GetDerivedState().m_bMustRecompute = true;
        attribute->GetDerivedState().m_bOutdated = true;
        Derived().RecomputeDerivedAttributes(1, true, true);
        return attribute;
    }
    CAttribute* Expression(const char16_t* name, const char16_t* formula, int evalMode = 1, bool zero = false)
    {
        formula::SFormulaStatus status;
        auto definition = formula::CExpressionDefinition::Create(Table(), formula, status);
        EXPECT_TRUE(definition) << platform::ToUtf8(status.strMessage);
        return definition ? Insert(name, std::move(definition), evalMode, zero) : nullptr;
    }
    CDerivedAttributes& Derived() { return CDerivedAttributes::Of(Table()); }
    // The names of the attributes the last recompute computed, in order.
    std::string LastRecomputed()
    {
        std::string out;
        for (CAttribute* attribute : Derived().GetLastRecomputed())
            out += (out.empty() ? "" : ",") + platform::ToUtf8(attribute->GetName());
        return out;
    }
};

std::unique_ptr<formula::CCase> Case(CTable& table, const char16_t* condition, const char16_t* value,
                                     CAttribute* valueAttribute = nullptr)
{
    auto entry = std::make_unique<formula::CCase>(&table, condition, value, valueAttribute);
    EXPECT_TRUE(entry->CompileCondition().IsOk()) << platform::ToUtf8(condition);
    return entry;
}

TEST(DerivedAttributes, EachKindGivesItsValues)
{
    CDerivedTable t;
    CTable& table = t.Table();
    CAttribute* score = t.Attribute(u"score");
    EXPECT_EQ(Values(*t.Expression(u"twice", u"[score] * 2")), "10|20|39|40|");
    EXPECT_EQ(Values(*t.Expression(u"zero", u"[score] + 1", 1, true)), "6|11|20.5|21|1");

    // At most 10 and below 20: 10 is small, 19.5 medium, 20 and the undefined value in no class.
    std::vector<formula::CValueRange> classes;
    classes.emplace_back(&table, score, formula::RANGE_AT_MOST, u"10", u"small");
    classes.emplace_back(&table, score, formula::RANGE_BELOW, u"20", u"medium");
    EXPECT_EQ(Values(*t.Insert(u"size", std::make_unique<formula::CClassificationDefinition>(score, classes))),
              "small|small|medium||");
    // The undefined value counts as 0 when asked; an 'undefined' class and a value set.
    classes.emplace_back(&table, score, formula::RANGE_UNDEFINED, u"", u"none");
    EXPECT_EQ(
        Values(*t.Insert(u"size0", std::make_unique<formula::CClassificationDefinition>(score, classes), 1, true)),
        "small|small|medium||small");
    EXPECT_EQ(Values(*t.Insert(u"size1", std::make_unique<formula::CClassificationDefinition>(score, classes))),
              "small|small|medium||none");
    CAttribute* group = t.Attribute(u"group");
    std::vector<formula::CValueRange> sets;
    sets.emplace_back(&table, group, formula::RANGE_IN_SET, u"|x|z|", u"outer");
    sets.emplace_back(&table, group, formula::RANGE_ALWAYS, u"", u"", true);
    EXPECT_EQ(Values(*t.Insert(u"outer", std::make_unique<formula::CClassificationDefinition>(group, sets))),
              "outer|outer|y|y|outer");

    // The first case whose condition holds; an undefined condition falls through to the next case.
    std::vector<std::unique_ptr<formula::CCase>> cases;
    cases.push_back(Case(table, u"[score] > 15", u"high"));
    cases.push_back(Case(table, u"[group] = \"z\"", u"zed"));
    cases.push_back(Case(table, u"[group] = \"x\"", u"", group));
    EXPECT_EQ(Values(*t.Insert(u"kind", std::make_unique<formula::CCaseDefinition>(std::move(cases)))),
              "x|x|high|high|zed");

    // Classes named by numbers become a numeric attribute when the format is guessed after the recompute.
    std::vector<formula::CValueRange> numbered;
    numbered.emplace_back(&table, score, formula::RANGE_BELOW, u"12", u"1");
    numbered.emplace_back(&table, score, formula::RANGE_ALWAYS, u"", u"2");
    CAttribute* number = table.CreateNewAttribute(ATTR_CLASSIFICATION, false, u"number", nullptr, 16, true);
    number->SetDefinition(std::make_unique<formula::CClassificationDefinition>(score, numbered));
    number->GetDerivedState().m_bMustRecompute = number->GetDerivedState().m_bGuessFormat = true;
    t.Derived().RecomputeDerivedAttributes(1, true, true);
    EXPECT_EQ(Values(*number), "1|1|2|2|2");
    EXPECT_TRUE(number->IsNumeric());
    EXPECT_FALSE(number->GetDerivedState().m_bGuessFormat);

    EXPECT_EQ(Values(*t.Insert(u"link", std::make_unique<formula::CLinkDefinition>(score))), "5|10|19.5|20|");
    EXPECT_EQ(Values(*t.Insert(u"none", std::make_unique<formula::CLinkDefinition>(nullptr))), "||||");
}

TEST(DerivedAttributes, ChainsAndDiamondsRecomputeEachOnceInOrder)
{
    CDerivedTable t;
    CAttribute* score = t.Attribute(u"score");
    t.Expression(u"a", u"[score] + 1");
    t.Expression(u"b", u"[a] * 2");
    t.Expression(u"c", u"[a] + 100");
    CAttribute* d = t.Expression(u"d", u"[b] + [c]");
    t.Expression(u"e", u"[group] + \"!\"");
    t.Derived().SetParallelAllowed(false);
    t.Derived().InvalidateDerivedAttributes(score, false);
    EXPECT_EQ(t.Derived().RecomputeDerivedAttributes(1, true, true), 1);
    EXPECT_EQ(t.LastRecomputed(), "a,b,c,d"); // e does not read score
    EXPECT_EQ(Values(*d), "118|133|161.5|163|");
    // The restricting set keeps only its members, in order.
    t.Derived().InvalidateDerivedAttributes(score, false);
    CSet restrict;
    restrict.AddTail(d);
    restrict.AddTail(t.Attribute(u"b"));
    t.Derived().RecomputeDerivedAttributes(1, true, true, & restrict);
    EXPECT_EQ(t.LastRecomputed(), "b,d");
    // a and c stayed outdated and take their dependents along; then nothing is left to do.
    EXPECT_EQ(t.Derived().RecomputeDerivedAttributes(1, true, true), 1);
    EXPECT_EQ(t.LastRecomputed(), "a,b,c,d");
    EXPECT_EQ(t.Derived().RecomputeDerivedAttributes(1, true, true), 0);
}

TEST(DerivedAttributes, CyclesAreHeldBackAndReportedOnce)
{
    CDerivedTable t;
    CTable& table = t.Table();
    CAttribute* a = t.Expression(u"a", u"[score] + 1");
    CAttribute* b = t.Expression(u"b", u"[a] + 1");
    CAttribute* c = t.Expression(u"c", u"[b] + 1");
    formula::SFormulaStatus status;
    a->SetDefinition(formula::CExpressionDefinition::Create(table, u"[b] + 1", status));
    EXPECT_EQ(t.Derived().FindCycle(*a), a);
    EXPECT_EQ(t.Derived().FindCycle(*c), nullptr);
    const size_t messages = table.GetMessageLog().size();
    t.Derived().InvalidateDerivedAttributes(a, true);
    EXPECT_EQ(t.Derived().RecomputeDerivedAttributes(1, true, true), 0);
    EXPECT_EQ(t.LastRecomputed(), "");
    EXPECT_EQ(t.Derived().GetCycleAttribute(), a);
    ASSERT_EQ(table.GetMessageLog().size(), messages + 1);
    EXPECT_NE(table.GetMessageLog().back().find(u"'a'"), KString::npos);
    EXPECT_EQ(Values(*b), "7|12|21.5|22|"); // kept
    t.Derived().RecomputeDerivedAttributes(1, true, true);
    EXPECT_EQ(table.GetMessageLog().size(), messages + 1); // reported once
    // A held-back attribute that must be recomputed gets undefined values.
    c->GetDerivedState().m_bMustRecompute = true;
    t.Derived().RecomputeDerivedAttributes(1, true, true);
    EXPECT_EQ(Values(*c), "||||");
}

TEST(DerivedAttributes, ParallelWavesGiveTheSequentialValues)
{
    constexpr long kRecords = 3000;
    std::vector<KString> amounts, names;
    for (long i = 0; i < kRecords; ++i)
    {
        amounts.push_back(i % 9 == 4 ? KString() : platform::ToKString((i * 7919) % 1000));
        names.push_back(i % 5 == 0 ? KString() : KString(u"n") + platform::ToKString(i % 17));
    }
    CFormulaTable fixture;
    fixture.AddAttribute(u"amount", u"####", amounts);
    fixture.AddAttribute(u"name", u"", names);
    CTable& table = fixture.Table();
    CAttribute* amount = table.FindAttribute(u"amount");
    std::vector<CAttribute*> derived;
    auto insert = [&](const char16_t* name, std::unique_ptr<CAttributeDefinition> definition)
    {
        CAttribute* attribute =
            table.CreateNewAttribute(static_cast<AttributeType>(definition->GetKind()), false, name, nullptr, 16, true);
        attribute->SetDefinition(std::move(definition));
        derived.push_back(attribute);
    };
    formula::SFormulaStatus status;
    insert(u"half", formula::CExpressionDefinition::Create(table, u"[amount] / 2", status));
    insert(u"label", formula::CExpressionDefinition::Create(table, u"[name] + \"-\" + [amount]", status));
    std::vector<formula::CValueRange> classes;
    classes.emplace_back(&table, amount, formula::RANGE_BELOW, u"100", u"low");
    classes.emplace_back(&table, amount, formula::RANGE_AT_MOST, u"600", u"mid");
    classes.emplace_back(&table, amount, formula::RANGE_LEGAL, u"", u"high");
    insert(u"band", std::make_unique<formula::CClassificationDefinition>(amount, classes));
    std::vector<std::unique_ptr<formula::CCase>> cases;
    cases.push_back(Case(table, u"[half] > 250", u"big"));
    cases.push_back(Case(table, u"[name] = \"n3\"", u"three"));
    insert(u"case", std::make_unique<formula::CCaseDefinition>(std::move(cases)));
    insert(u"link", std::make_unique<formula::CLinkDefinition>(table.FindAttribute(u"label")));
    CDerivedAttributes& bookkeeping = CDerivedAttributes::Of(table);
    auto computeAll = [&](bool parallel)
    {
        bookkeeping.SetParallelAllowed(parallel);
        for (CAttribute* attribute : derived)
            attribute->GetDerivedState().m_bMustRecompute = true;
        bookkeeping.RecomputeDerivedAttributes(4, true, true);
        std::vector<std::string> values;
        for (CAttribute* attribute : derived)
        {
            std::string sorted = attribute->AreValuesSorted() ? "sorted:" : "unsorted:";
            for (long k = 0; k < attribute->GetNrOfValues(); ++k)
                sorted += platform::ToUtf8(attribute->GetValue(k)) + ";";
            values.push_back(sorted + Values(*attribute));
        }
        return values;
    };
    const std::vector<std::string> parallel = computeAll(true);
    EXPECT_EQ(bookkeeping.GetLastRecomputed().size(), derived.size());
    EXPECT_EQ(computeAll(false), parallel);
    EXPECT_NE(parallel[3].find("big"), std::string::npos);
}

TEST(DerivedAttributes, EvalModesDecideWhichRecomputeTakesAnAttribute)
{
    CDerivedTable t;
    CTable& table = t.Table();
    CAttribute* score = t.Attribute(u"score");
    CAttribute* manual = t.Expression(u"manual", u"[score] * 3", 3); // computed once on definition
    CAttribute* once = t.Expression(u"once", u"[score] * 4", 4);
    EXPECT_EQ(Values(*manual), "15|30|58.5|60|");
    score->ClearValues();
    for (long i = 0; i < table.GetRecordCount(); ++i)
        score->AddValue(table.GetRecord(i), u"1");
    t.Derived().InvalidateDerivedAttributes(score, false);
    t.Derived().RecomputeDerivedAttributes(1, true, true);
    EXPECT_EQ(Values(*manual), "15|30|58.5|60|"); // not by the automatic recompute
    EXPECT_TRUE(manual->GetDerivedState().m_bOutdated);
    t.Derived().RecomputeDerivedAttributesManually(false);
    EXPECT_EQ(Values(*manual), "3|3|3|3|3");
    EXPECT_EQ(Values(*once), "20|40|78|80|"); // only the forced recompute takes it
    t.Derived().RecomputeDerivedAttributesManually(true);
    EXPECT_EQ(Values(*once), "4|4|4|4|4");
    // The manual recompute refreshes what reads the clock, and only that when nothing else is outdated.
    CAttribute* today = t.Expression(u"today", u"TODAY()");
    t.Derived().RecomputeDerivedAttributesManually(false);
    EXPECT_EQ(t.LastRecomputed(), "today");
    EXPECT_FALSE(today->GetDerivedState().m_bOutdated);
    // Without automatic evaluation nothing recomputes after a change.
    t.Derived().SetAutomaticEvaluation(false);
    CAttribute* automatic = t.Expression(u"auto", u"[score] + 1");
    t.Derived().InvalidateDerivedAttributes(score, false);
    EXPECT_EQ(t.Derived().RecomputeDerivedAttributes(1, true, true), 0);
    EXPECT_TRUE(automatic->GetDerivedState().m_bOutdated);
}

// A kind that follows the qualified records, as summaries do: the number of qualified records.
class CQualifiedCount final : public CAttributeDefinition
{
public:
    explicit CQualifiedCount(int& recomputes, bool sortDependent = false)
        : m_recomputes(recomputes), m_bSortDependent(sortDependent)
    {
    }
    int32_t GetKind() const override { return ATTR_SUMMARY; }
    void GetReferencedAttributes(std::vector<CAttribute*>&) const override {}
    std::unique_ptr<CAttributeDefinition> Clone() const override
    {
        return std::make_unique<CQualifiedCount>(m_recomputes, m_bSortDependent);
    }
    void ReplaceAttributePointers(const std::function<CAttribute*(CAttribute*)>&) override {}
    void PrepareRecompute(CTable&, CAttribute& attribute) override { attribute.SetFormatString(u"####"); }
    bool Recompute(CTable& table, CAttribute& attribute) override
    {
        ++m_recomputes;
        const KString count = platform::ToKString(table.CountQualRecords());
        for (long i = 0; i < table.GetRecordCount(); ++i)
            attribute.AddValue(table.GetRecord(i), count);
        return true;
    }
    bool FollowsQualification() const override { return true; }
    bool IsSortDependent() const override { return m_bSortDependent; }
    double EstimatedSteps(long records) const override { return records; }
    KString GetDescription() const override { return u"count"; }

private:
    int& m_recomputes;
    bool m_bSortDependent;
};

TEST(DerivedAttributes, KindsThatFollowTheQualifiedRecordsRecomputeWhenTheyChange)
{
    CDerivedTable t;
    CTable& table = t.Table();
    int recomputes = 0;
    CAttribute* count = t.Insert(u"count", std::make_unique<CQualifiedCount>(recomputes));
    CAttribute* doubled = t.Expression(u"doubled", u"[count] * 2");
    EXPECT_EQ(Values(*doubled), "10|10|10|10|10");
    t.Derived().ReevaluateAndRecomputeIfNecessary();
    const int before = recomputes;
    t.Derived().ReevaluateAndRecomputeIfNecessary(); // nothing changed
    EXPECT_EQ(recomputes, before);
    table.GetRecord(1)->m_bQualified = 0;
    table.GetRecord(3)->m_bQualified = 0;
    t.Derived().ReevaluateAndRecomputeIfNecessary();
    EXPECT_EQ(recomputes, before + 1);
    EXPECT_EQ(Values(*count), "3|3|3|3|3");
    EXPECT_EQ(Values(*doubled), "6|6|6|6|6"); // and what is computed from it
}

TEST(DerivedAttributes, SortDependentKindsAreOutdatedByTheOrderAndRecomputeAfterARefresh)
{
    CDerivedTable t;
    CTable& table = t.Table();
    int recomputes = 0;
    CAttribute* count = t.Insert(u"count", std::make_unique<CQualifiedCount>(recomputes, true));
    t.Derived().ReevaluateAndRecomputeIfNecessary();
    EXPECT_FALSE(count->GetDerivedState().m_bOutdated);
    t.Attribute(u"score")->SetReverseSort(true);
    table.GetSortState().SortColumns(t.Attribute(u"score"), 1, false, false); // descending: another order
    const int before = recomputes;
    t.Derived().ReevaluateAndRecomputeIfNecessary();
    EXPECT_TRUE(count->GetDerivedState().m_bOutdated); // not by the automatic recompute
    EXPECT_EQ(recomputes, before);
    t.Derived().SetDataRefreshed();
    t.Derived().ReevaluateAndRecomputeIfNecessary();
    EXPECT_EQ(recomputes, before + 1);
    EXPECT_FALSE(count->GetDerivedState().m_bOutdated);
}

// A cancelled recompute: the attribute being computed gets undefined values and stays outdated, the ones after
// it keep their values and stay outdated, and the next recompute computes both. Every kind, on enough records
// that each advances the progress while it runs; the handler cancels at its first report after the start.
TEST(DerivedAttributes, ACancelledRecomputeLeavesUndefinedOutdatedValuesForTheNextOne)
{
    constexpr long kRecords = 25000;
    std::vector<KString> numbers, groups;
    for (long i = 0; i < kRecords; ++i)
    {
        numbers.push_back(platform::FromUtf8(std::to_string(i % 97)));
        groups.push_back(i % 2 ? u"odd" : u"even");
    }
    using Make = std::function<std::unique_ptr<CAttributeDefinition>(CTable&, CAttribute*, CAttribute*)>;
    const std::vector<std::pair<const char*, Make>> kinds = {
        {"expression",
         [](CTable& table, CAttribute*, CAttribute*)
         {
             formula::SFormulaStatus status;
             return std::unique_ptr<CAttributeDefinition>(
                 formula::CExpressionDefinition::Create(table, u"[n] * 2", status));
         }},
        {"summary",
         [](CTable&, CAttribute* n, CAttribute* group)
         {
             return std::make_unique<formula::CSummaryDefinition>(
                 formula::SSummaryDefinition{n, group, formula::SUMMARY_SUM});
         }},
        {"classification",
         [](CTable& table, CAttribute* n, CAttribute*)
         {
             std::vector<formula::CValueRange> classes;
             classes.emplace_back(&table, n, formula::RANGE_BELOW, u"50", u"low");
             return std::make_unique<formula::CClassificationDefinition>(n, classes);
         }},
        {"link", [](CTable&, CAttribute* n, CAttribute*) { return std::make_unique<formula::CLinkDefinition>(n); }},
        {"case",
         [](CTable& table, CAttribute*, CAttribute*)
         {
             std::vector<std::unique_ptr<formula::CCase>> cases;
             cases.push_back(Case(table, u"[n] > 10", u"big"));
             return std::make_unique<formula::CCaseDefinition>(std::move(cases));
         }},
    };
    COptionSet options;
    options.m_bUseMulticores = false; // the handler is asked on the thread that runs the recompute
    for (const auto& [kind, make] : kinds)
    {
        SCOPED_TRACE(kind);
        CTable table(&options);
        for (long i = 0; i < kRecords; ++i)
            table.AddRecord();
        CAttribute* n = table.CreateNewAttribute(ATTR_NORMAL, false, u"n", nullptr, 16, true);
        n->SetFormatString(u"####");
        CAttribute* group = table.CreateNewAttribute(ATTR_NORMAL, false, u"group", nullptr, 16, true);
        for (long i = 0; i < kRecords; ++i)
        {
            n->AddValue(table.GetRecord(i), numbers[static_cast<size_t>(i)]);
            group->AddValue(table.GetRecord(i), groups[static_cast<size_t>(i)]);
        }
        table.AnalyzeTable();
        CDerivedAttributes& derived = CDerivedAttributes::Of(table);
        auto insert = [&](const char16_t* name, std::unique_ptr<CAttributeDefinition> definition)
        {
            CAttribute* attribute = table.CreateNewAttribute(static_cast<AttributeType>(definition->GetKind()), false,
                                                             name, nullptr, 16, true);
            attribute->SetDefinition(std::move(definition));
            attribute->GetDerivedState().m_bMustRecompute = true;
            derived.RecomputeDerivedAttributes(1, true, true);
            return attribute;
        };
        CAttribute* x = insert(u"x", make(table, n, group));
        CAttribute* y = insert(u"y", std::make_unique<formula::CLinkDefinition>(x));
        const std::string computed = Values(*x), linked = Values(*y);
        ASSERT_NE(computed.find_first_not_of('|'), std::string::npos);

        derived.InvalidateDerivedAttributes(n, false);
        std::vector<double> fractions;
        KString text;
        table.GetMessages().SetProgressHandler(
            [&](const KString& shown, double fraction)
            {
                text = shown;
                fractions.push_back(fraction);
                return fractions.size() < 2;
            });
        EXPECT_EQ(derived.RecomputeDerivedAttributes(1, true, true), 1);
        EXPECT_EQ(platform::ToUtf8(text), platform::ToUtf8(LoadResourceString(2432)));
        ASSERT_EQ(fractions.size(), 2u);
        EXPECT_EQ(fractions[0], 0.0);
        EXPECT_GT(fractions[1], 0.0);
        EXPECT_EQ(Values(*x), std::string(kRecords - 1, '|'));
        EXPECT_TRUE(x->GetDerivedState().m_bOutdated);
        EXPECT_FALSE(x->GetDerivedState().m_bInRecompute);
        EXPECT_TRUE(y->GetDerivedState().m_bOutdated);
        EXPECT_EQ(Values(*y), linked);

        table.GetMessages().SetProgressHandler(nullptr);
        derived.RecomputeDerivedAttributes(1, true, true);
        EXPECT_EQ(Values(*x), computed);
        EXPECT_EQ(Values(*y), linked);
        EXPECT_FALSE(x->GetDerivedState().m_bOutdated);
        EXPECT_FALSE(y->GetDerivedState().m_bOutdated);
        EXPECT_TRUE(x->AreValuesSorted() && y->AreValuesSorted()); // sorted once both are computed
    }
}

} // namespace
