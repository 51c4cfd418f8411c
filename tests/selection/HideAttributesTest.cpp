#include "SelectionTestSupport.h"

#include <gtest/gtest.h>

namespace
{
// Shown attributes by name, hidden ones in brackets.
std::string Rows(CTable& table)
{
    std::string out;
    for (long i = 0; i < table.GetAttributeCount(); ++i)
    {
        CAttribute* attribute = table.FindAttributeFromIndex(i);
        const std::string name = platform::ToUtf8(attribute->GetName());
        out += (i ? " " : "") + (attribute->IsShown() ? name : "[" + name + "]");
    }
    return out;
}

class HideAttributes : public ::testing::Test
{
protected:
    void SetUp() override
    {
        long indent = 0;
        table.CreateNewAttribute(ATTR_FROM_NAME, false, u">Group", &indent, 1, false);
        same = AddColumn(table, u"Same", {u"x", u"x", u"x"});
        empty = AddColumn(table, u"Empty", {u"", u"", u""});
        full = AddColumn(table, u"Full", {u"1", u"2", u"3"});
        same->SetIndent(1), empty->SetIndent(1), full->SetIndent(1);
        gaps = AddColumn(table, u"Gaps", {u"a", u"", u"c"});
    }
    CTable table;
    CAttribute* same = nullptr;
    CAttribute* empty = nullptr;
    CAttribute* full = nullptr;
    CAttribute* gaps = nullptr;
};
} // namespace

TEST_F(HideAttributes, IdenticalHidesAttributesWithOneValue)
{
    Sel(table).GetAttributeRows().HideIdenticalAttributes(false);
    EXPECT_EQ(Rows(table), "Group [Same] [Empty] Full Gaps");
    Sel(table).GetAttributeRows().ShowAllHiddenAttributes(false);
    EXPECT_EQ(Rows(table), "Group Same Empty Full Gaps");
}

TEST_F(HideAttributes, EmptyOnlyHidesAttributesWithoutValues)
{
    Sel(table).GetAttributeRows().HideIdenticalAttributes(true);
    EXPECT_EQ(Rows(table), "Group Same [Empty] Full Gaps");
}

TEST_F(HideAttributes, OnlyTheQualifiedRecordsCount)
{
    Restrict(gaps, {u"a", u"c"}); // record 1 refused
    Sel(table).GetAttributeRows().HideCompleteAttributes();
    // Gaps is restricted and stays; the others hold a value in every qualified record, but Empty does not.
    EXPECT_EQ(Rows(table), "Group [Same] Empty [Full] Gaps");
}

TEST_F(HideAttributes, RestrictedAttributesStayAndHeadersFollowTheirChildren)
{
    Restrict(same, {u"x"});
    full->SetShown(false);
    Sel(table).GetAttributeRows().HideIdenticalAttributes(false);
    EXPECT_EQ(Rows(table), "Group Same [Empty] [Full] Gaps");
    Sel(same).ReleaseRestrictions();
    Qual(table).Reevaluate();
    Sel(table).GetAttributeRows().HideIdenticalAttributes(false);
    EXPECT_EQ(Rows(table), "[Group] [Same] [Empty] [Full] Gaps"); // no shown child: the header goes too
}

TEST_F(HideAttributes, EmptyHeadersAreSuppressedAndStayHidden)
{
    same->SetShown(false), empty->SetShown(false), full->SetShown(false);
    Sel(table).GetAttributeRows().HideEmptyHeaders();
    CAttribute* group = table.FindAttributeFromIndex(0);
    EXPECT_TRUE(group->IsSuppressed());
    Sel(table).GetAttributeRows().ShowAllHiddenAttributes(true);
    EXPECT_EQ(Rows(table), "[Group] Same Empty Full Gaps");
    EXPECT_EQ(Sel(table).GetAttributeRows().GetAttributeSelection(), (std::vector<CAttribute*>{same, empty, full}));
}

TEST_F(HideAttributes, HidingClearsTheSelections)
{
    Sel(full).SelectValue(full->FindValue(u"1"), nullptr, false);
    Sel(table).GetAttributeRows().HideIdenticalAttributes(false);
    EXPECT_TRUE(Sel(table).GetValueSelectionList().empty());
}
