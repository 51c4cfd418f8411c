// The selection state follows the table: what the table deletes, rebuilds,
// clears or rolls back no longer appears in (or is reached through) it.

#include "SelectionTestSupport.h"

#include <gtest/gtest.h>

namespace
{
class TableSelection : public ::testing::Test
{
protected:
    void SetUp() override
    {
        city = AddColumn(table, u"City", {u"Bern", u"Basel", u"Bern", u"Chur"});
        tags = AddColumn(table, u"Tags", {u"a", u"b", u"a", u"c"});
        table.AnalyzeTable();
    }
    const char16_t* V(CAttribute* attribute, const char16_t* text) { return attribute->FindValue(text); }
    CTable table;
    CAttribute* city = nullptr;
    CAttribute* tags = nullptr;
};
} // namespace

TEST_F(TableSelection, OneStatePerTableAndPerAttribute)
{
    EXPECT_EQ(CTableSelection::Find(table), nullptr); // made on first use only
    CTableSelection& selection = Sel(table);
    EXPECT_EQ(&Sel(table), &selection);
    EXPECT_EQ(CTableSelection::Find(table), &selection);
    EXPECT_EQ(&selection.GetTable(), &table);
    EXPECT_EQ(selection.Find(*city), nullptr);
    CAttributeSelection& state = Sel(city);
    EXPECT_EQ(&selection.For(*city), &state);
    EXPECT_EQ(&state.GetAttribute(), city);
    EXPECT_NE(&Sel(tags), &state);
    CTable other;
    EXPECT_NE(&Sel(other), &selection);
}

TEST_F(TableSelection, DeletingAnAttributeDropsEveryReferenceToIt)
{
    Sel(city).SelectValue(V(city, u"Bern"), nullptr, false);
    Sel(tags).SelectValue(V(tags, u"c"), nullptr, false);
    Restrict(city, {u"Bern", u"Chur"});
    Qual(table).SetWidthAttribute(city);
    Sel(table).SetCursor(table.GetRecord(0), city);
    EXPECT_EQ(Sel(table).GetValueSelectionList(), (std::vector<CAttribute*>{city, tags}));

    table.DeleteAttribute(city);
    EXPECT_EQ(Sel(table).GetValueSelectionList(), (std::vector<CAttribute*>{tags}));
    EXPECT_TRUE(Sel(tags).IsValueSelected(V(tags, u"c"))); // tags keeps its own state
    EXPECT_EQ(Qual(table).GetWidthAttribute(), nullptr);
    EXPECT_EQ(Sel(table).GetCursorAttribute(), nullptr);
    EXPECT_EQ(Sel(table).GetCursorRecord(), nullptr);
    EXPECT_EQ(Qual(table).FindFirstSelectedRestrictedAttribute(), nullptr);
    EXPECT_EQ(Sel(table).CountSelectedRecords(), 1); // Chur, through tags alone
}

TEST_F(TableSelection, RebuildingValuesDropsTheirSelectionButNotTheRestrictions)
{
    Sel(city).SelectValue(V(city, u"Basel"), nullptr, false);
    auto restriction = Restrict(city, {u"Bern"});
    city->ClearValues(); // the selected value pointers go with the values
    EXPECT_FALSE(Sel(city).HasSelection());
    EXPECT_FALSE(Sel(table).HasSelectedValues(city));
    EXPECT_EQ(Sel(table).CountSelectedRecords(), 0);
    EXPECT_TRUE(Sel(city).IsRestricted());
    EXPECT_EQ(Sel(city).GetRestrictions().front(), restriction);
}

TEST_F(TableSelection, ClearingTheTableForgetsTheSelection)
{
    Sel(city).SelectValue(V(city, u"Bern"), nullptr, false);
    Sel(table).SelectAttribute(tags, false);
    Sel(tags).AddRestriction(CSetAttributeCommand::MakeValueSet(tags, ValuesOf(tags, {u"a"})));
    EXPECT_TRUE(Qual(table).AreRestrictionsChanged());
    table.ClearTable();
    EXPECT_TRUE(Sel(table).GetValueSelectionList().empty());
    EXPECT_TRUE(Sel(table).GetAttributeRows().GetAttributeSelection().empty());
    EXPECT_FALSE(Qual(table).AreRestrictionsChanged());
    EXPECT_EQ(Sel(table).CountSelectedRecords(), 0);
    // A new column of the cleared table starts without a selection.
    CAttribute* fresh = AddColumn(table, u"Fresh", {u"x", u"y"});
    EXPECT_FALSE(Sel(fresh).HasSelection());
    EXPECT_FALSE(Sel(fresh).IsRestricted());
    EXPECT_EQ(RecordStates(table), "QQ");
}

TEST_F(TableSelection, RolledBackRecordsLeaveTheCursorAndTheCounts)
{
    Sel(city).SelectValue(V(city, u"Bern"), nullptr, false);
    EXPECT_EQ(Sel(table).CountSelectedRecords(), 2);
    table.CreateCheckpoint();
    CRecord* added = table.AddRecord();
    city->AddValue(added, u"Bern");
    tags->AddValue(added, u"d");
    Sel(table).SetCursor(added, city);
    table.RestoreCheckpoint();
    EXPECT_EQ(Sel(table).GetCursorRecord(), nullptr);
    EXPECT_EQ(Sel(table).CountSelectedRecords(), 2);
    EXPECT_EQ(RecordStates(table), "QQQQ");
}

TEST_F(TableSelection, ATableGoesWithItsRestrictionsOfSeveralAttributes)
{
    // A disjunction sits in the lists of both attributes; the table destroys the selection before them.
    auto table2 = std::make_unique<CTable>();
    CAttribute* a = AddColumn(*table2, u"A", {u"1", u"2"});
    CAttribute* b = AddColumn(*table2, u"B", {u"x", u"y"});
    auto both = CSetAttributeCommand::MakeDisjunction({CSetAttributeCommand::MakeValueSet(a, ValuesOf(a, {u"1"})),
                                                       CSetAttributeCommand::MakeValueSet(b, ValuesOf(b, {u"y"}))});
    Sel(a).AddRestriction(both);
    Sel(b).AddRestriction(both);
    Qual(*table2).Reevaluate();
    EXPECT_EQ(RecordStates(*table2), "QQ");
    Sel(a).ReleaseRestrictions(); // releases the disjunction from b as well
    EXPECT_FALSE(Sel(b).IsRestricted());
    Sel(a).AddRestriction(both);
    table2.reset(); // with a restriction in force (the sanitizer build checks the memory)
}
