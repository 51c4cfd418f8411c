#include "SelectionTestSupport.h"

#include <gtest/gtest.h>

namespace
{
class ValueSelection : public ::testing::Test
{
protected:
    void SetUp() override
    {
        city = AddColumn(table, u"City", {u"Bern", u"Basel", u"Bern", u"Chur", u"Basel", u"Genf"});
        tags = AddColumn(table, u"Tags", {u"|a|b|", u"a", u"b", u"|b|c|", u"", u"c"});
    }
    const char16_t* V(CAttribute* attribute, const char16_t* text) { return attribute->FindValue(text); }
    std::string Selected()
    {
        CSet records;
        table.GetOverallSelectedRecords(records);
        return RecordNumbers(records);
    }
    CTable table;
    CAttribute* city = nullptr;
    CAttribute* tags = nullptr;
};
} // namespace

TEST_F(ValueSelection, SelectingValuesSelectsTheirRecords)
{
    EXPECT_FALSE(table.HasSelectedValues(city));
    EXPECT_EQ(city->GetSelectionPrefixLength(), -1);
    city->SelectValue(V(city, u"Bern"), nullptr, false);
    EXPECT_TRUE(table.HasSelectedValues(city));
    EXPECT_TRUE(city->IsValueSelected(V(city, u"Bern")));
    EXPECT_FALSE(city->IsValueSelected(V(city, u"Basel")));
    EXPECT_EQ(city->GetSelectionPrefixLength(), 0);
    EXPECT_EQ(Selected(), "0 2");
    EXPECT_EQ(table.CountSelectedRecords(), 2);

    city->SelectValue(V(city, u"Chur"), nullptr, true); // extend
    EXPECT_EQ(Selected(), "0 2 3");
    city->SelectValue(V(city, u"Genf"), nullptr, false); // replaces this attribute's selection
    EXPECT_EQ(Selected(), "5");
    EXPECT_EQ(table.CountSelectedRecords(), 1);
}

TEST_F(ValueSelection, AttributesCombineByOrAndKeepTheirOwnSelections)
{
    city->SelectValue(V(city, u"Genf"), nullptr, false);
    tags->SelectValue(V(tags, u"c"), nullptr, false);
    EXPECT_EQ(table.GetValueSelectionList(), (std::vector<CAttribute*>{city, tags}));
    // Genf (5) in City; c alone (5) or as a part of |b|c| (3) in Tags.
    EXPECT_EQ(Selected(), "5 3");
    CSet byValues;
    table.ComputeSelectedRecordsFromSelectedValues(byValues);
    EXPECT_EQ(RecordNumbers(byValues), "3 5");
    tags->SelectValue(V(tags, u"a"), nullptr, false); // replaces c; City keeps Genf
    EXPECT_TRUE(city->IsValueSelected(V(city, u"Genf")));
    EXPECT_TRUE(tags->IsValueSelected(V(tags, u"|a|b|"))); // a list is selected when a part is
    EXPECT_FALSE(tags->IsValueSelected(V(tags, u"|b|c|")));
    EXPECT_EQ(Selected(), "5 0 1");
}

TEST_F(ValueSelection, DeselectingTheLastValueLeavesTheList)
{
    city->SelectValue(V(city, u"Bern"), nullptr, false);
    city->SelectValue(V(city, u"Chur"), nullptr, true);
    city->SelectValue(V(city, u"Bern"), nullptr, false); // already selected: the others stay
    EXPECT_TRUE(city->IsValueSelected(V(city, u"Chur")));
    EXPECT_EQ(Selected(), "0 2 3");
    city->DeselectValue(V(city, u"Bern"), nullptr);
    EXPECT_TRUE(table.HasSelectedValues(city));
    EXPECT_EQ(Selected(), "3");
    city->DeselectValue(V(city, u"Chur"), nullptr);
    EXPECT_FALSE(table.HasSelectedValues(city));
    EXPECT_EQ(city->GetSelectedValues(), nullptr);
    EXPECT_EQ(city->GetSelectionPrefixLength(), -1);
    EXPECT_EQ(Selected(), "");
    EXPECT_EQ(table.GetFirstSelectedRecord(false), nullptr);
    city->SelectAllValues(); // counts the shown records at once
    EXPECT_TRUE(city->IsWholeSelection());
    EXPECT_EQ(city->GetSelectedRecordCount(), 6);
    EXPECT_FALSE(city->IsSelectionDirty());
    EXPECT_EQ(city->GetSelectedValues()->GetCount(), 4);
}

TEST_F(ValueSelection, RecordsCanBeDeselectedOneByOne)
{
    // Full-table mode: the explicit records decide; in compressed mode the values decide.
    city->SelectValue(V(city, u"Bern"), nullptr, false);
    city->DeselectValue(V(city, u"Bern"), table.GetRecord(2));
    EXPECT_EQ(Selected(), "0");
    EXPECT_TRUE(city->IsValueSelected(V(city, u"Bern"))); // record 0 still carries it
    city->SelectValue(nullptr, table.GetRecord(4), true); // add record 4 alone
    EXPECT_EQ(Selected(), "0 4");
    EXPECT_TRUE(city->IsValueSelected(V(city, u"Basel")));
    table.SetCompressedMode(true);
    table.ClearSelectionCounts();
    EXPECT_EQ(Selected(), "0 1 2 4"); // every record carrying Bern or Basel
    EXPECT_EQ(table.CountSelectedRecords(), 4);
}

TEST_F(ValueSelection, SelectValuesReplacesAndEmptySetDeselects)
{
    city->SelectValues(ValuesOf(city, {u"Basel", u"Chur"}), true, V(city, u"Basel"), V(city, u"Chur"));
    EXPECT_EQ(Selected(), "1 3 4");
    EXPECT_TRUE(city->IsRangeSelection());
    EXPECT_EQ(city->GetRangeLow(), V(city, u"Basel"));
    city->SelectValues(ValuesOf(city, {u"Genf"}), true, V(city, u"Genf"), V(city, u"Genf"));
    EXPECT_EQ(city->GetRangeLow(), nullptr); // bounds need two values
    city->SelectValues(std::make_unique<CSet>());
    EXPECT_FALSE(table.HasSelectedValues(city));
    city->SelectValues(nullptr);
    EXPECT_EQ(city->GetSelectionPrefixLength(), -1);
}

TEST_F(ValueSelection, SelectedRecordCountAndWholeSelection)
{
    city->SelectValue(V(city, u"Basel"), nullptr, false);
    city->CountSelectedRecordsIfNecessary();
    EXPECT_EQ(city->GetSelectedRecordCount(), 2);
    EXPECT_FALSE(city->IsWholeSelection());
    tags->SelectValue(V(tags, u"b"), nullptr, false);
    tags->CountSelectedRecordsIfNecessary();
    EXPECT_EQ(tags->GetSelectedRecordCount(), 3); // |a|b|, b, |b|c|
    // Only qualified shown records count.
    Restrict(city, {u"Basel"});
    city->CountSelectedRecordsIfNecessary();
    EXPECT_EQ(city->GetSelectedRecordCount(), 2);
    EXPECT_TRUE(city->IsWholeSelection());
}

TEST_F(ValueSelection, DeselectConstantsKeepsSelectionsOfVaryingAttributes)
{
    city->SelectValue(V(city, u"Bern"), nullptr, false);
    table.DeselectConstants(); // a single attribute: everything goes
    EXPECT_TRUE(table.GetValueSelectionList().empty());

    Restrict(city, {u"Bern"}); // City is constant now
    city->SelectValue(V(city, u"Bern"), nullptr, false);
    tags->SelectValue(V(tags, u"b"), nullptr, false);
    table.DeselectConstants();
    EXPECT_EQ(table.GetValueSelectionList(), (std::vector<CAttribute*>{tags}));
}

TEST_F(ValueSelection, RowAndValueSelectionExcludeEachOther)
{
    city->SelectValue(V(city, u"Bern"), nullptr, false);
    table.SelectAttribute(tags, false);
    EXPECT_TRUE(table.GetValueSelectionList().empty());
    EXPECT_EQ(table.GetLeadAttribute(), tags);
    table.SelectAttribute(city, true);
    EXPECT_EQ(table.GetAttributeSelection(), (std::vector<CAttribute*>{tags, city}));
    table.DeselectAttribute(tags);
    EXPECT_EQ(table.GetLeadAttribute(), city);
    city->SelectValue(V(city, u"Chur"), nullptr, false);
    EXPECT_EQ(table.GetLeadAttribute(), nullptr);
    table.SelectAllAttributes();
    EXPECT_EQ(table.GetAttributeSelection().size(), 2u);
    EXPECT_TRUE(table.GetValueSelectionList().empty());
}

TEST_F(ValueSelection, KeyboardRunAroundTheCursor)
{
    CTable sorted;
    CAttribute* a = AddColumn(sorted, u"A", {u"x", u"y", u"y", u"y", u"x"});
    a->SelectValue(a->FindValue(u"y"), nullptr, false);
    sorted.SetCursor(sorted.GetRecord(2), a);
    std::vector<CRecord*> run;
    sorted.GetRecordsSelectedByKeyboard(run);
    ASSERT_EQ(run.size(), 3u);
    EXPECT_EQ(run.front(), sorted.GetRecord(1));
    EXPECT_EQ(run.back(), sorted.GetRecord(3));
}

TEST_F(ValueSelection, HeadersAndClearedValuesLeaveNoSelection)
{
    CAttribute* header = table.CreateNewAttribute(ATTR_HEADER, false, u"H", nullptr, 1, false);
    header->SelectValue(nullptr, table.GetRecord(0), true);
    header->SelectAllValues();
    EXPECT_FALSE(table.HasSelectedValues(header));
    city->SelectValue(V(city, u"Bern"), nullptr, false);
    city->ClearValues();
    EXPECT_FALSE(table.HasSelectedValues(city));
    EXPECT_EQ(city->GetSelectedValues(), nullptr);
}
