#include "TableTestSupport.h"

#include <gtest/gtest.h>

namespace
{
// Builds:  Region(h,0) > City(1) Shop(h,1) > Name(2) Size(2)  < Total(1)  Other(0)
class AttributeTree : public ::testing::Test
{
protected:
    void SetUp() override
    {
        long indent = 0;
        for (const char16_t* name : {u">Region", u"City", u">Shop", u"Name", u"<Size", u"<Total", u"Other"})
            table.CreateNewAttribute(ATTR_FROM_NAME, false, name, &indent, 1, false);
    }
    CAttribute* At(long i) { return table.FindAttributeFromIndex(i); }
    CTable table;
};
} // namespace

TEST_F(AttributeTree, IndentsFollowTheMarkers)
{
    std::string layout;
    for (long i = 0; i < table.GetAttributeCount(); ++i)
        layout += std::to_string(At(i)->GetIndent()) + (At(i)->IsHeader() ? "h " : " ");
    EXPECT_EQ(layout, "0h 1 1h 2 2 1 0 ");
}

TEST_F(AttributeTree, ParentsAndChildren)
{
    CAttribute* region = At(0);
    CAttribute* shop = At(2);
    EXPECT_EQ(At(1)->GetDirectParent(), region);
    EXPECT_EQ(At(3)->GetDirectParent(), shop);
    EXPECT_EQ(At(5)->GetDirectParent(), region);
    EXPECT_EQ(At(6)->GetDirectParent(), nullptr);
    EXPECT_EQ(region->GetDirectParent(), nullptr);
    EXPECT_EQ(At(4)->GetParents(), (std::vector<CAttribute*>{shop, region}));

    EXPECT_TRUE(region->HasChildren());
    EXPECT_TRUE(shop->HasChildren());
    EXPECT_FALSE(At(1)->HasChildren());
    EXPECT_EQ(region->GetChildren().size(), 5u);
    // Direct children are the non-headers one level down.
    EXPECT_EQ(region->GetDirectChildren(), (std::vector<CAttribute*>{At(1), At(5)}));
    EXPECT_EQ(shop->GetDirectChildren(), (std::vector<CAttribute*>{At(3), At(4)}));
    EXPECT_EQ(region->GetLastChild(true), At(5));
    EXPECT_EQ(region->GetLastChild(false), At(5));
    EXPECT_EQ(shop->GetLastChild(true), At(4));
    EXPECT_EQ(At(6)->GetLastChild(false), nullptr);
}

TEST_F(AttributeTree, NeighboursSkipHiddenAttributesWhenAsked)
{
    At(2)->SetHidden(true);
    EXPECT_EQ(At(1)->GetNext(false), At(2));
    EXPECT_EQ(At(1)->GetNext(true), At(3));
    EXPECT_EQ(At(3)->GetPrevious(true), At(1));
    EXPECT_EQ(At(0)->GetPrevious(false), nullptr);
    EXPECT_EQ(At(6)->GetNext(false), nullptr);
    EXPECT_TRUE(At(1)->Above(At(4)));
    EXPECT_FALSE(At(4)->Above(At(1)));
}

TEST_F(AttributeTree, HeaderHoldsNoValues)
{
    CAttribute* region = At(0);
    CRecord* record = table.AddRecord();
    EXPECT_EQ(region->AddValue(record, u"x"), nullptr);
    EXPECT_EQ(region->GetFieldText(record), u"");
    EXPECT_EQ(region->GetFieldValueIndex(record), -1);
    EXPECT_EQ(region->FindValueIndex(u"x"), -1);
    EXPECT_EQ(region->GetNrOfValues(), 0);
}

TEST(DisplayName, EmptyShortenedAndControlCharacters)
{
    CTable table;
    CAttribute* a = table.CreateNewAttribute(ATTR_NORMAL, false, u"Umsatz pro Filiale 2024", nullptr, 1, false);
    EXPECT_EQ(a->GetDisplayName(), u"Umsatz pro Filiale 2024");
    EXPECT_EQ(a->GetDisplayName(30), u"Umsatz pro Filiale 2024");
    EXPECT_EQ(a->GetDisplayName(12), u"Umsatz pr...");
    EXPECT_EQ(a->GetDisplayName(4), u"Umsatz ..."); // raised to 10
    a->SetName(u"");
    EXPECT_EQ(a->GetDisplayName(), u"\u2014\u2014");
    a->SetName(u"Tab\there");
    EXPECT_EQ(a->GetDisplayName(0, true), u"Tab\u2409here");
    EXPECT_EQ(a->GetDisplayName(0, false), u"Tab\there");
}
