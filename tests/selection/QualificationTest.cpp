#include "SelectionTestSupport.h"

#include "options/OptionSet.h"

#include <gtest/gtest.h>

#include <random>

namespace
{
class Qualification : public ::testing::Test
{
protected:
    void SetUp() override
    {
        city = AddColumn(table, u"City", {u"Bern", u"Basel", u"Berlin", u"Bonn", u"Basel", u""});
        amount = AddColumn(table, u"Amount", {u"10", u"9", u"250", u"", u"-3", u"40"});
        EXPECT_TRUE(amount->SetFormat(u"####."));
        tags = AddColumn(table, u"Tags", {u"|a|b|", u"a", u"b", u"|b|c|", u"", u"c"});
        table.AnalyzeTable();
    }
    CTable table;
    CAttribute* city = nullptr;
    CAttribute* amount = nullptr;
    CAttribute* tags = nullptr;
};
} // namespace

// Value sets, exclusions, prefixes, open records and hiding refused records: cases/qualification*.test.
TEST_F(Qualification, RangeOnNumbersAndTexts)
{
    auto low = CSetAttributeCommand::MakeRange(amount, KString(u"9"), std::nullopt);
    Sel(amount).AddRestriction(low);
    Qual(table).Reevaluate();
    // 10, 9, 250 and 40 are at or above 9 numerically; -3 is below; undefined sorts after every number.
    EXPECT_EQ(RecordStates(table), "QQQQRQ");
    Sel(amount).ReleaseRestrictions();
    Qual(table).Reevaluate();
    Sel(amount).AddRestriction(CSetAttributeCommand::MakeRange(amount, KString(u"0"), KString(u"40"), true));
    Qual(table).Reevaluate();
    EXPECT_EQ(RecordStates(table), "RRQQQR"); // outside 0..40: 250, undefined, -3

    auto text = CSetAttributeCommand::MakeRange(city, KString(u"Bas"), KString(u"Bern"));
    Sel(city).AddRestriction(text);
    Sel(amount).ReleaseRestrictions();
    Qual(table).Reevaluate();
    EXPECT_EQ(RecordStates(table), "QQQRQR"); // Basel, Berlin, Bern lie within; Bonn and undefined after
}

TEST_F(Qualification, DisjunctionAcceptsARecordThatPassesAnyMember)
{
    auto onCity = CSetAttributeCommand::MakeValueSet(city, ValuesOf(city, {u"Bern"}));
    auto onTags = CSetAttributeCommand::MakeValueSet(tags, ValuesOf(tags, {u"c"}));
    auto both = CSetAttributeCommand::MakeDisjunction({onCity, onTags});
    Sel(city).AddRestriction(both);
    Sel(tags).AddRestriction(both);
    Qual(table).Reevaluate();
    EXPECT_EQ(RecordStates(table), "QRRQRQ");
    // Releasing it from one attribute releases it from the other too.
    Sel(city).ReleaseRestrictions();
    EXPECT_FALSE(Sel(tags).IsRestricted());
    Qual(table).Reevaluate();
    EXPECT_EQ(RecordStates(table), "QQQQQQ");
}

TEST_F(Qualification, RestrictionsSurviveAValueRebuild)
{
    auto restriction = Restrict(city, {u"Basel"});
    // Rebuild the attribute's values: the restriction finds its value again by text.
    std::vector<std::u16string> texts;
    for (long r = 0; r < table.GetRecordCount(); ++r)
        texts.push_back(city->GetFieldText(table.GetRecord(r)));
    city->ClearValues();
    for (long r = 0; r < table.GetRecordCount(); ++r)
        city->AddValue(table.GetRecord(r), texts[r]);
    Sel(city).ReleaseRestrictions();
    Sel(city).AddRestriction(restriction);
    Qual(table).Reevaluate();
    EXPECT_EQ(RecordStates(table), "RQRRQR");
}

TEST_F(Qualification, DefiningRestrictionAndAffectedRecords)
{
    EXPECT_EQ(Sel(table).GetDefiningRestriction(false), nullptr);
    Sel(city).SelectValue(city->FindValue(u"Basel"), nullptr, false);
    auto single = Sel(table).GetDefiningRestriction(false);
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->GetAttribute(), city);
    CSet affected;
    EXPECT_FALSE(Qual(table).GetAffectedRecords(*single, affected, false));
    EXPECT_EQ(RecordNumbers(affected), "1 4");

    Sel(tags).SelectValue(tags->FindValue(u"c"), nullptr, false);
    auto both = Sel(table).GetDefiningRestriction(false);
    EXPECT_TRUE(both->IsDisjunction());
    EXPECT_EQ(both->GetMembers().size(), 2u);
    EXPECT_FALSE(Qual(table).GetAffectedRecords(*both, affected, false));
    EXPECT_EQ(RecordNumbers(affected), "1 3 4 5");

    auto fromRecords = Sel(table).GetDefiningRestriction(true);
    EXPECT_EQ(fromRecords->GetAttribute(), city);       // the table's first attribute
    EXPECT_EQ(fromRecords->GetValues()->GetCount(), 3); // Basel, Bonn and undefined

    // An accepted record that is refused sets the result.
    Restrict(city, {u"Bern"});
    EXPECT_TRUE(Qual(table).GetAffectedRecords(*single, affected, true));
    EXPECT_EQ(RecordNumbers(affected), "");
}

TEST_F(Qualification, ConstantAttributes)
{
    EXPECT_FALSE(Sel(city).IsConstant());
    Restrict(city, {u"Bern"});
    EXPECT_TRUE(Sel(city).IsConstant());
    Restrict(city, {u"Bern", u"Basel"});
    EXPECT_FALSE(Sel(city).IsConstant());
    Restrict(tags, {u"a"}, true);
    EXPECT_FALSE(Sel(tags).IsConstant());
    CSet values;
    Sel(city).GetRestrictedValues(values);
    EXPECT_EQ(values.GetCount(), 2);
}

TEST_F(Qualification, ZeroWidthRecords)
{
    Qual(table).SetWidthAttribute(amount);
    EXPECT_EQ(Qual(table).CountQualZeroWidthRecords(), 2); // undefined and -3
    Restrict(city, {u"Bern", u"Bonn"});
    EXPECT_EQ(Qual(table).CountQualZeroWidthRecords(), 1); // Bonn's amount is undefined
}

TEST(QualificationStrands, ParallelAndSequentialEvaluationGiveTheSameFlags)
{
    std::vector<std::u16string> a, b;
    std::mt19937 random(5);
    for (int i = 0; i < 50000; ++i)
    {
        a.push_back(u"v" + platform::ToKString(random() % 1000));
        b.push_back(random() % 5 == 0 ? u"|x|y|" : platform::ToKString(random() % 7));
    }
    std::string states[2];
    for (int parallel = 0; parallel < 2; ++parallel)
    {
        COptionSet options;
        options.m_bUseMulticores = parallel == 1;
        CTable table(&options);
        CAttribute* first = AddColumn(table, u"A", a);
        CAttribute* second = AddColumn(table, u"B", b);
        for (long r = 0; r < 50000; r += 97)
            table.SetRecordOpen(table.GetRecord(r), true);
        Sel(first).AddRestriction(
            CSetAttributeCommand::MakeValueSet(first, ValuesOf(first, {u"v1", u"v2", u"v3", u"v500", u"v999"})));
        Sel(second).AddRestriction(CSetAttributeCommand::MakeValueSet(second, ValuesOf(second, {u"x", u"3"}), true));
        Qual(table).Reevaluate();
        states[parallel] = RecordStates(table) + " " + std::to_string(table.GetNumberQualified()) + " " +
                           std::to_string(Qual(table).GetForcedRecords().size());
        Sel(first).SelectValue(first->FindValue(u"v2"), nullptr, false);
        Sel(first).CountSelectedRecordsIfNecessary();
        states[parallel] += " " + std::to_string(Sel(first).GetSelectedRecordCount());
    }
    EXPECT_EQ(states[0], states[1]);
    EXPECT_NE(states[0].find('R'), std::string::npos);
    EXPECT_NE(states[0].find('Q'), std::string::npos);
}
