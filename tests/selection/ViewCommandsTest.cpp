// Sorting the records and switching the view mode as commands: their names, their place in the history, going
// back over them, the reset's sort and remembered mode.

#include "HistoryTestSupport.h"

#include "selection/ViewCommands.h"

#include <gtest/gtest.h>

namespace
{
class ViewCommands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        city = AddColumn(table, u"City", {u"Bern", u"Basel", u"", u"Bern", u"Genf", u"Basel"});
        table.AnalyzeTable();
    }
    CTable table;
    CAttribute* city = nullptr;
};

// The sorts as steps of the query are in cases/sort*.test.
TEST_F(ViewCommands, TheSortCommandIsNamedAndClonedWithItsDirection)
{
    std::shared_ptr<CCommand> sort = CreateCommand(&table, u"CSortCommand");
    sort->SetAttribute(city);
    static_cast<CSortCommand&>(*sort).m_bReverse = true;
    sort->ComputeName(0);
    EXPECT_EQ(sort->GetName(), u"Die Sortierung von 'City' umkehren");
    EXPECT_EQ(sort->Clone(&table)->GetName(), sort->GetName());
    EXPECT_TRUE(static_cast<CSortCommand&>(*sort->Clone(&table)).m_bReverse);
}

// The mode switches as steps of the query are in cases/view_modes.test.
TEST_F(ViewCommands, NoModeSwitchWithoutAttributes)
{
    CTable empty;
    EXPECT_FALSE(Sel(empty).SwitchToOverview()); // no attribute: nothing to switch
    EXPECT_TRUE(History(empty).GetBackList().empty());
}
} // namespace
