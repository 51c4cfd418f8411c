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
    std::string Counts()
    {
        // The kept counts must agree with the flags.
        const long qualified = table.GetNumberQualified();
        EXPECT_EQ(table.CountQualRecords(), qualified);
        return "qualified " + std::to_string(qualified) + " shown " + std::to_string(table.GetNumberShown());
    }
    CTable table;
    CAttribute* city = nullptr;
    CAttribute* amount = nullptr;
    CAttribute* tags = nullptr;
};
} // namespace

TEST_F(Qualification, ValueSetRefusesOtherRecordsAndReleaseBringsThemBack)
{
    EXPECT_EQ(RecordStates(table), "QQQQQQ"); // a new table has everything qualified and shown
    EXPECT_EQ(Counts(), "qualified 6 shown 6");
    Restrict(city, {u"Basel", u"Bonn"});
    EXPECT_EQ(RecordStates(table), "RQRQQR");
    EXPECT_EQ(Counts(), "qualified 3 shown 6");
    EXPECT_TRUE(city->IsRestricted());
    EXPECT_FALSE(table.AreRestrictionsChanged());

    table.HideRefusedRecords();
    EXPECT_EQ(RecordStates(table), "-Q-QQ-");
    EXPECT_EQ(Counts(), "qualified 3 shown 3");

    // A second restriction runs over the shown records only and narrows further.
    Restrict(city, {u"Basel"});
    EXPECT_EQ(RecordStates(table), "-Q-RQ-");

    city->ReleaseRestrictions();
    EXPECT_TRUE(table.AreRestrictionsReleased());
    table.Reevaluate();
    EXPECT_EQ(RecordStates(table), "QQQQQQ");
    EXPECT_EQ(Counts(), "qualified 6 shown 6");
    EXPECT_FALSE(table.AreRestrictionsReleased());
}

TEST_F(Qualification, ExcludeAndPrefixRestrictions)
{
    auto statesWith = [&](CAttribute* attribute, const char16_t* value, bool exclude, int prefix)
    {
        Restrict(attribute, {value}, exclude, prefix);
        const std::string states = RecordStates(table);
        attribute->ReleaseRestrictions();
        table.Reevaluate();
        return states;
    };
    EXPECT_EQ(statesWith(tags, u"a", true, 0), "RRQQQQ");       // |a|b| has the excluded part a; "" passes
    EXPECT_EQ(statesWith(tags, u"a", false, 0), "QQRRRR");      // a list passes when any part is a
    EXPECT_EQ(statesWith(city, u"Berlin", false, 3), "QRQRRR"); // Bern and Berlin share "Ber"; Bonn does not
    EXPECT_EQ(statesWith(city, u"Berlin", true, 2), "RQRQQQ");  // everything but Be...
}

TEST_F(Qualification, RangeOnNumbersAndTexts)
{
    auto low = CSetAttributeCommand::MakeRange(amount, KString(u"9"), std::nullopt);
    amount->AddRestriction(low);
    table.Reevaluate();
    // 10, 9, 250 and 40 are at or above 9 numerically; -3 is below; undefined sorts after every number.
    EXPECT_EQ(RecordStates(table), "QQQQRQ");
    amount->ReleaseRestrictions();
    table.Reevaluate();
    amount->AddRestriction(CSetAttributeCommand::MakeRange(amount, KString(u"0"), KString(u"40"), true));
    table.Reevaluate();
    EXPECT_EQ(RecordStates(table), "RRQQQR"); // outside 0..40: 250, undefined, -3

    auto text = CSetAttributeCommand::MakeRange(city, KString(u"Bas"), KString(u"Bern"));
    city->AddRestriction(text);
    amount->ReleaseRestrictions();
    table.Reevaluate();
    EXPECT_EQ(RecordStates(table), "QQQRQR"); // Basel, Berlin, Bern lie within; Bonn and undefined after
}

TEST_F(Qualification, RestrictionsOfSeveralAttributesCombineByAnd)
{
    Restrict(city, {u"Basel", u"Bern", u"Bonn"});
    Restrict(tags, {u"b"});
    EXPECT_EQ(RecordStates(table), "QRRQRR");
    EXPECT_EQ(table.GetNumberQualified(), 2);
}

TEST_F(Qualification, DisjunctionAcceptsARecordThatPassesAnyMember)
{
    auto onCity = CSetAttributeCommand::MakeValueSet(city, ValuesOf(city, {u"Bern"}));
    auto onTags = CSetAttributeCommand::MakeValueSet(tags, ValuesOf(tags, {u"c"}));
    auto both = CSetAttributeCommand::MakeDisjunction({onCity, onTags});
    city->AddRestriction(both);
    tags->AddRestriction(both);
    table.Reevaluate();
    EXPECT_EQ(RecordStates(table), "QRRQRQ");
    // Releasing it from one attribute releases it from the other too.
    city->ReleaseRestrictions();
    EXPECT_FALSE(tags->IsRestricted());
    table.Reevaluate();
    EXPECT_EQ(RecordStates(table), "QQQQQQ");
}

TEST_F(Qualification, OpenRecordsStayQualifiedExceptInSortAllMode)
{
    table.SetRecordOpen(table.GetRecord(1), true);
    Restrict(city, {u"Bern"});
    EXPECT_EQ(RecordStates(table), "QQoRRRR");
    EXPECT_EQ(table.GetForcedRecords().size(), 1u);
    // In sort-all mode an open record is not kept, and refused records are hidden (and closed).
    table.SetSortAllMode(true);
    table.Reevaluate();
    EXPECT_EQ(RecordStates(table), "Q-----");
    EXPECT_EQ(table.GetNumberOpen(), 0);
    EXPECT_TRUE(table.GetForcedRecords().empty());
}

TEST_F(Qualification, HidingRefusedRecordsClosesThemAndIsIdempotent)
{
    Restrict(city, {u"Basel"});
    table.SetRecordOpen(table.GetRecord(0), true); // a refused record opened after evaluation
    EXPECT_EQ(table.GetNumberOpen(), 1);
    table.HideRefusedRecords();
    EXPECT_EQ(RecordStates(table), "-Q--Q-");
    EXPECT_EQ(table.GetNumberOpen(), 0);
    table.HideRefusedRecords();
    EXPECT_EQ(RecordStates(table), "-Q--Q-");
    table.ShowAllRefusedRecords();
    EXPECT_EQ(RecordStates(table), "QQQQQQ");
    EXPECT_TRUE(city->IsRestricted()); // restrictions are untouched
}

TEST_F(Qualification, AutoHideHidesAfterEveryEvaluation)
{
    table.SetAutoHideRefused(true);
    Restrict(tags, {u"c"});
    EXPECT_EQ(RecordStates(table), "---Q-Q");
    EXPECT_EQ(table.GetNumberShown(), 2);
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
    city->ReleaseRestrictions();
    city->AddRestriction(restriction);
    table.Reevaluate();
    EXPECT_EQ(RecordStates(table), "RQRRQR");
}

TEST_F(Qualification, DefiningRestrictionAndAffectedRecords)
{
    EXPECT_EQ(table.GetDefiningRestriction(false), nullptr);
    city->SelectValue(city->FindValue(u"Basel"), nullptr, false);
    auto single = table.GetDefiningRestriction(false);
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->GetAttribute(), city);
    CSet affected;
    EXPECT_FALSE(table.GetAffectedRecords(*single, affected, false));
    EXPECT_EQ(RecordNumbers(affected), "1 4");

    tags->SelectValue(tags->FindValue(u"c"), nullptr, false);
    auto both = table.GetDefiningRestriction(false);
    EXPECT_TRUE(both->IsDisjunction());
    EXPECT_EQ(both->GetMembers().size(), 2u);
    EXPECT_FALSE(table.GetAffectedRecords(*both, affected, false));
    EXPECT_EQ(RecordNumbers(affected), "1 3 4 5");

    auto fromRecords = table.GetDefiningRestriction(true);
    EXPECT_EQ(fromRecords->GetAttribute(), city);       // the table's first attribute
    EXPECT_EQ(fromRecords->GetValues()->GetCount(), 3); // Basel, Bonn and undefined

    // An accepted record that is refused sets the result.
    Restrict(city, {u"Bern"});
    EXPECT_TRUE(table.GetAffectedRecords(*single, affected, true));
    EXPECT_EQ(RecordNumbers(affected), "");
}

TEST_F(Qualification, ConstantAttributes)
{
    EXPECT_FALSE(city->IsConstant());
    Restrict(city, {u"Bern"});
    EXPECT_TRUE(city->IsConstant());
    Restrict(city, {u"Bern", u"Basel"});
    EXPECT_FALSE(city->IsConstant());
    Restrict(tags, {u"a"}, true);
    EXPECT_FALSE(tags->IsConstant());
    CSet values;
    city->GetRestrictedValues(values);
    EXPECT_EQ(values.GetCount(), 2);
}

TEST_F(Qualification, ZeroWidthRecords)
{
    table.SetWidthAttribute(amount);
    EXPECT_EQ(table.CountQualZeroWidthRecords(), 2); // undefined and -3
    Restrict(city, {u"Bern", u"Bonn"});
    EXPECT_EQ(table.CountQualZeroWidthRecords(), 1); // Bonn's amount is undefined
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
        first->AddRestriction(
            CSetAttributeCommand::MakeValueSet(first, ValuesOf(first, {u"v1", u"v2", u"v3", u"v500", u"v999"})));
        second->AddRestriction(CSetAttributeCommand::MakeValueSet(second, ValuesOf(second, {u"x", u"3"}), true));
        table.Reevaluate();
        states[parallel] = RecordStates(table) + " " + std::to_string(table.GetNumberQualified()) + " " +
                           std::to_string(table.GetForcedRecords().size());
        first->SelectValue(first->FindValue(u"v2"), nullptr, false);
        first->CountSelectedRecordsIfNecessary();
        states[parallel] += " " + std::to_string(first->GetSelectedRecordCount());
    }
    EXPECT_EQ(states[0], states[1]);
    EXPECT_NE(states[0].find('R'), std::string::npos);
    EXPECT_NE(states[0].find('Q'), std::string::npos);
}
