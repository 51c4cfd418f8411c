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
        Sel(table).GetOverallSelectedRecords(records);
        return RecordNumbers(records);
    }
    CTable table;
    CAttribute* city = nullptr;
    CAttribute* tags = nullptr;
};
} // namespace

TEST_F(ValueSelection, SelectingValuesSelectsTheirRecords)
{
    Sel(city).SelectValue(V(city, u"Bern"), nullptr, false);
    EXPECT_TRUE(Sel(table).HasSelectedValues(city));
    EXPECT_TRUE(Sel(city).IsValueSelected(V(city, u"Bern")));
    EXPECT_FALSE(Sel(city).IsValueSelected(V(city, u"Basel")));
    EXPECT_EQ(Sel(city).GetSelectionPrefixLength(), 0);
    EXPECT_EQ(Selected(), "0 2");
    EXPECT_EQ(Sel(table).CountSelectedRecords(), 2);

    Sel(city).SelectValue(V(city, u"Chur"), nullptr, true); // extend
    EXPECT_EQ(Selected(), "0 2 3");
    Sel(city).SelectValue(V(city, u"Genf"), nullptr, false); // replaces this attribute's selection
    EXPECT_EQ(Selected(), "5");
    EXPECT_EQ(Sel(table).CountSelectedRecords(), 1);
}

TEST_F(ValueSelection, AttributesCombineByOrAndKeepTheirOwnSelections)
{
    Sel(city).SelectValue(V(city, u"Genf"), nullptr, false);
    Sel(tags).SelectValue(V(tags, u"c"), nullptr, false);
    EXPECT_EQ(Sel(table).GetValueSelectionList(), (std::vector<CAttribute*>{city, tags}));
    // Genf (5) in City; c alone (5) or as a part of |b|c| (3) in Tags.
    EXPECT_EQ(Selected(), "5 3");
    CSet byValues;
    Sel(table).ComputeSelectedRecordsFromSelectedValues(byValues);
    EXPECT_EQ(RecordNumbers(byValues), "3 5");
    Sel(tags).SelectValue(V(tags, u"a"), nullptr, false); // replaces c; City keeps Genf
    EXPECT_TRUE(Sel(city).IsValueSelected(V(city, u"Genf")));
    EXPECT_TRUE(Sel(tags).IsValueSelected(V(tags, u"|a|b|"))); // a list is selected when a part is
    EXPECT_FALSE(Sel(tags).IsValueSelected(V(tags, u"|b|c|")));
    EXPECT_EQ(Selected(), "5 0 1");
}

TEST_F(ValueSelection, DeselectingTheLastValueLeavesTheList)
{
    Sel(city).SelectValue(V(city, u"Bern"), nullptr, false);
    Sel(city).SelectValue(V(city, u"Chur"), nullptr, true);
    Sel(city).SelectValue(V(city, u"Bern"), nullptr, false); // already selected: the others stay
    EXPECT_TRUE(Sel(city).IsValueSelected(V(city, u"Chur")));
    EXPECT_EQ(Selected(), "0 2 3");
    Sel(city).DeselectValue(V(city, u"Bern"), nullptr);
    EXPECT_TRUE(Sel(table).HasSelectedValues(city));
    EXPECT_EQ(Selected(), "3");
    Sel(city).DeselectValue(V(city, u"Chur"), nullptr);
    EXPECT_FALSE(Sel(table).HasSelectedValues(city));
    EXPECT_EQ(Sel(city).GetSelectedValues(), nullptr);
    EXPECT_EQ(Sel(city).GetSelectionPrefixLength(), -1);
    EXPECT_EQ(Selected(), "");
    EXPECT_EQ(Sel(table).GetFirstSelectedRecord(false), nullptr);
    Sel(city).SelectAllValues(); // counts the shown records at once
    EXPECT_TRUE(Sel(city).IsWholeSelection());
    EXPECT_EQ(Sel(city).GetSelectedRecordCount(), 6);
    EXPECT_FALSE(Sel(city).IsSelectionDirty());
    EXPECT_EQ(Sel(city).GetSelectedValues()->GetCount(), 4);
}

TEST_F(ValueSelection, RecordsCanBeDeselectedOneByOne)
{
    // Full-table mode: the explicit records decide; in compressed mode the values decide.
    Sel(city).SelectValue(V(city, u"Bern"), nullptr, false);
    Sel(city).DeselectValue(V(city, u"Bern"), table.GetRecord(2));
    EXPECT_EQ(Selected(), "0");
    EXPECT_TRUE(Sel(city).IsValueSelected(V(city, u"Bern"))); // record 0 still carries it
    Sel(city).SelectValue(nullptr, table.GetRecord(4), true); // add record 4 alone
    EXPECT_EQ(Selected(), "0 4");
    EXPECT_TRUE(Sel(city).IsValueSelected(V(city, u"Basel")));
    Sel(table).SetCompressedMode(true);
    Sel(table).ClearSelectionCounts();
    EXPECT_EQ(Selected(), "0 1 2 4"); // every record carrying Bern or Basel
    EXPECT_EQ(Sel(table).CountSelectedRecords(), 4);
}

TEST_F(ValueSelection, SelectValuesReplacesAndEmptySetDeselects)
{
    Sel(city).SelectValues(ValuesOf(city, {u"Basel", u"Chur"}), true, V(city, u"Basel"), V(city, u"Chur"));
    EXPECT_EQ(Selected(), "1 3 4");
    EXPECT_TRUE(Sel(city).IsRangeSelection());
    EXPECT_EQ(Sel(city).GetRangeLow(), V(city, u"Basel"));
    Sel(city).SelectValues(ValuesOf(city, {u"Genf"}), true, V(city, u"Genf"), V(city, u"Genf"));
    EXPECT_EQ(Sel(city).GetRangeLow(), nullptr); // bounds need two values
    Sel(city).SelectValues(std::make_unique<CSet>());
    EXPECT_FALSE(Sel(table).HasSelectedValues(city));
    Sel(city).SelectValues(nullptr);
    EXPECT_EQ(Sel(city).GetSelectionPrefixLength(), -1);
}

TEST_F(ValueSelection, SelectedRecordCountAndWholeSelection)
{
    Sel(city).SelectValue(V(city, u"Basel"), nullptr, false);
    Sel(city).CountSelectedRecordsIfNecessary();
    EXPECT_EQ(Sel(city).GetSelectedRecordCount(), 2);
    EXPECT_FALSE(Sel(city).IsWholeSelection());
    Sel(tags).SelectValue(V(tags, u"b"), nullptr, false);
    Sel(tags).CountSelectedRecordsIfNecessary();
    EXPECT_EQ(Sel(tags).GetSelectedRecordCount(), 3); // |a|b|, b, |b|c|
    // Only qualified shown records count.
    Restrict(city, {u"Basel"});
    Sel(city).CountSelectedRecordsIfNecessary();
    EXPECT_EQ(Sel(city).GetSelectedRecordCount(), 2);
    EXPECT_TRUE(Sel(city).IsWholeSelection());
}

TEST_F(ValueSelection, DeselectConstantsKeepsSelectionsOfVaryingAttributes)
{
    Sel(city).SelectValue(V(city, u"Bern"), nullptr, false);
    Sel(table).DeselectConstants(); // a single attribute: everything goes
    EXPECT_TRUE(Sel(table).GetValueSelectionList().empty());

    Restrict(city, {u"Bern"}); // City is constant now
    Sel(city).SelectValue(V(city, u"Bern"), nullptr, false);
    Sel(tags).SelectValue(V(tags, u"b"), nullptr, false);
    Sel(table).DeselectConstants();
    EXPECT_EQ(Sel(table).GetValueSelectionList(), (std::vector<CAttribute*>{tags}));
}

TEST_F(ValueSelection, RowAndValueSelectionExcludeEachOther)
{
    Sel(city).SelectValue(V(city, u"Bern"), nullptr, false);
    Sel(table).SelectAttribute(tags, false);
    EXPECT_TRUE(Sel(table).GetValueSelectionList().empty());
    EXPECT_EQ(Sel(table).GetAttributeRows().GetLeadAttribute(), tags);
    Sel(table).SelectAttribute(city, true);
    EXPECT_EQ(Sel(table).GetAttributeRows().GetAttributeSelection(), (std::vector<CAttribute*>{tags, city}));
    Sel(table).DeselectAttribute(tags);
    EXPECT_EQ(Sel(table).GetAttributeRows().GetLeadAttribute(), city);
    Sel(city).SelectValue(V(city, u"Chur"), nullptr, false);
    EXPECT_EQ(Sel(table).GetAttributeRows().GetLeadAttribute(), nullptr);
    Sel(table).GetAttributeRows().SelectAllAttributes();
    EXPECT_EQ(Sel(table).GetAttributeRows().GetAttributeSelection().size(), 2u);
    EXPECT_TRUE(Sel(table).GetValueSelectionList().empty());
}

TEST_F(ValueSelection, KeyboardRunAroundTheCursor)
{
    CTable sorted;
    CAttribute* a = AddColumn(sorted, u"A", {u"x", u"y", u"y", u"y", u"x"});
    Sel(a).SelectValue(a->FindValue(u"y"), nullptr, false);
    Sel(sorted).SetCursor(sorted.GetRecord(2), a);
    std::vector<CRecord*> run;
    Sel(sorted).GetRecordsSelectedByKeyboard(run);
    ASSERT_EQ(run.size(), 3u);
    EXPECT_EQ(run.front(), sorted.GetRecord(1));
    EXPECT_EQ(run.back(), sorted.GetRecord(3));
}

TEST_F(ValueSelection, HeadersAndClearedValuesLeaveNoSelection)
{
    CAttribute* header = table.CreateNewAttribute(ATTR_HEADER, false, u"H", nullptr, 1, false);
    Sel(header).SelectValue(nullptr, table.GetRecord(0), true);
    Sel(header).SelectAllValues();
    EXPECT_FALSE(Sel(table).HasSelectedValues(header));
    Sel(city).SelectValue(V(city, u"Bern"), nullptr, false);
    city->ClearValues();
    EXPECT_FALSE(Sel(table).HasSelectedValues(city));
    EXPECT_EQ(Sel(city).GetSelectedValues(), nullptr);
}
