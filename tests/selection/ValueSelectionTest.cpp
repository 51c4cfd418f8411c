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

// Selecting and deselecting values and records, step by step: cases/value_selection.test, record_selection.test.
TEST_F(ValueSelection, TheLastValueDeselectedLeavesNoSetAndAllValuesCountAtOnce)
{
    Sel(city).SelectValue(V(city, u"Chur"), nullptr, false);
    Sel(city).DeselectValue(V(city, u"Chur"), nullptr);
    EXPECT_EQ(Sel(city).GetSelectedValues(), nullptr);
    EXPECT_EQ(Sel(table).GetFirstSelectedRecord(false), nullptr);
    Sel(city).SelectAllValues(); // counts the shown records at once
    EXPECT_TRUE(Sel(city).IsWholeSelection());
    EXPECT_EQ(Sel(city).GetSelectedRecordCount(), 6);
    EXPECT_FALSE(Sel(city).IsSelectionDirty());
    EXPECT_EQ(Sel(city).GetSelectedValues()->GetCount(), 4);
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
