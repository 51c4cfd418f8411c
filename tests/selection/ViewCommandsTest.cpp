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
        key = AddColumn(table, u"Key", {u"k1", u"k2", u"k3", u"k4", u"k5", u"k6"});
        city = AddColumn(table, u"City", {u"Bern", u"Basel", u"", u"Bern", u"Genf", u"Basel"});
        amount = AddColumn(table, u"Amount", {u"4", u"2", u"3", u"1", u"5", u"6"});
        EXPECT_TRUE(amount->SetFormat(u"####"));
        table.AnalyzeTable();
    }
    // The record numbers (from 1) of the shown records in display order.
    std::string Shown()
    {
        std::string out;
        const CRecordArray& shown = table.GetShownRecords();
        for (long i = 0; i < shown.GetSize(); ++i)
            out += std::to_string(shown.GetRecord(i)->m_nRecordNumber + 1);
        return out;
    }
    std::string Back() { return RenderLists(History(table).GetBackList(), History(table).GetForwardList()); }

    CTable table;
    CAttribute* key = nullptr;
    CAttribute* city = nullptr;
    CAttribute* amount = nullptr;
};

TEST_F(ViewCommands, GoingBackFromACheckpointAfterASortKeepsTheOrder)
{
    // Zooms after a sort leave checkpoints; going back must not skip the sort before them.
    ASSERT_TRUE(SubmitReset(table));
    ASSERT_TRUE(Sel(table).SortRecords(amount, true));
    ASSERT_TRUE(SubmitZoom(city, {u"Bern", u"Basel"}));
    ASSERT_TRUE(SubmitZoom(amount, {u"1", u"2", u"6"}));
    ASSERT_TRUE(SubmitZoom(amount, {u"2", u"6"}));
    EXPECT_EQ(Shown(), "62");
    const long replayed = History(table).GetReplayedCount();
    ASSERT_TRUE(History(table).GoBack());
    EXPECT_EQ(Shown(), "624");
    EXPECT_GT(History(table).GetReplayedCount(), replayed);
}

// The sorts as steps of the query are in cases/sorts.test and cases/sort_by_key.test.
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
