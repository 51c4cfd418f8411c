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

TEST_F(ViewCommands, SortsAreStepsOfTheQueryAndGoingBackReplaysThem)
{
    ASSERT_TRUE(SubmitReset(table)); // refused records are hidden from now on
    Sel(table).SelectAttribute(city, false);
    ASSERT_TRUE(Sel(table).SortRecords(city, false));
    EXPECT_TRUE(Sel(table).GetAttributeRows().GetAttributeSelection().empty()); // the row selection goes with the click
    EXPECT_EQ(Shown(), "261453");                            // undefined last, ties in table order
    ASSERT_TRUE(Sel(table).SortRecords(city, true));
    EXPECT_EQ(Shown(), "351426"); // descending: undefined first, ties still in their order
    EXPECT_TRUE(city->IsReverseSort());
    ASSERT_TRUE(SubmitZoom(amount, {u"1", u"2", u"4", u"5"}));
    EXPECT_EQ(RecordStates(table), "-QQQQ-");
    ASSERT_TRUE(Sel(table).SortRecords(amount, false));
    EXPECT_EQ(Shown(), "4215");
    EXPECT_EQ(Back(), "Reset, Sortieren nach 'City', Die Sortierung von 'City' umkehren, Amount in {1,2,...,5}, "
                      "Sortieren nach 'Amount' |");
    EXPECT_EQ(table.GetPrimarySortAttribute(), amount);

    // Back over the last sort: reset (sorted by the key again, directions cleared) and the rest replayed.
    ASSERT_TRUE(History(table).GoBack());
    EXPECT_EQ(Shown(), "5142");
    EXPECT_TRUE(city->IsReverseSort());
    ASSERT_TRUE(History(table).GoBack());
    EXPECT_EQ(Shown(), "351426");
    ASSERT_TRUE(History(table).GoBack());
    EXPECT_EQ(Shown(), "261453");
    EXPECT_FALSE(city->IsReverseSort());
    ASSERT_TRUE(History(table).GoBack());
    EXPECT_EQ(Shown(), "123456");
    EXPECT_EQ(table.GetPrimarySortAttribute(), key);
    ASSERT_TRUE(History(table).FastForward());
    EXPECT_EQ(Shown(), "4215");
    EXPECT_FALSE(History(table).UndoPossible()); // a query step, not a modification

    // A reset sorts by the first attribute again and forgets the earlier sorts.
    ASSERT_TRUE(SubmitReset(table));
    EXPECT_EQ(Shown(), "123456");
    EXPECT_TRUE(table.GetPreviousSortAttributes().empty());
    EXPECT_FALSE(amount->IsReverseSort() || city->IsReverseSort());
}

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

TEST_F(ViewCommands, SortingByTheKeyClearsThePreviousSortAttributes)
{
    ASSERT_TRUE(Sel(table).SortRecords(amount, false));
    ASSERT_TRUE(Sel(table).SortRecords(city, false));
    ASSERT_EQ(table.GetPreviousSortAttributes(), std::vector<CAttribute*>{amount});
    ASSERT_TRUE(Sel(table).SortRecords(key, true));
    EXPECT_TRUE(table.GetPreviousSortAttributes().empty());
    EXPECT_EQ(Shown(), "654321");
    std::shared_ptr<CCommand> sort = CreateCommand(&table, u"CSortCommand");
    sort->SetAttribute(city);
    static_cast<CSortCommand&>(*sort).m_bReverse = true;
    sort->ComputeName(0);
    EXPECT_EQ(sort->GetName(), u"Die Sortierung von 'City' umkehren");
    EXPECT_EQ(sort->Clone(&table)->GetName(), sort->GetName());
    EXPECT_TRUE(static_cast<CSortCommand&>(*sort->Clone(&table)).m_bReverse);
}

TEST_F(ViewCommands, ModeSwitchesAreStepsAndTheModeChosenAfterAResetIsRemembered)
{
    CTableSelection& selection = Sel(table);
    // Right after the start (an empty back list counts as after a reset) the choice is remembered.
    ASSERT_TRUE(selection.SwitchToCompressedTable());
    EXPECT_EQ(selection.GetViewMode(), 2);
    EXPECT_EQ(selection.GetRememberedViewMode(), 2);
    EXPECT_FALSE(selection.SwitchToCompressedTable()); // already there: nothing submitted
    ASSERT_TRUE(SubmitZoom(city, {u"Bern"}));
    ASSERT_TRUE(selection.SwitchToOverview());
    EXPECT_TRUE(selection.IsCompressedMode() && selection.IsSortAllMode());
    EXPECT_EQ(RecordStates(table), "Q--Q--"); // entering the overview hides the refused records
    EXPECT_FALSE(selection.SwitchToOverview());
    EXPECT_EQ(Back(), "In die komprimierte Tabelle wechseln, City = Bern, In die Übersicht wechseln |");
    auto* last = static_cast<CModeSwitchCommand*>(History(table).GetBackList().back().get());
    EXPECT_EQ(last->GetLogName(), u"Compressed -> Overview");
    EXPECT_EQ(last->GetDisplayClassName(), u"Switch View");
    EXPECT_EQ(selection.GetRememberedViewMode(), 2); // not chosen right after a reset

    // Back over the switch goes straight back to the compressed table.
    const long replayed = History(table).GetReplayedCount();
    ASSERT_TRUE(History(table).GoBack());
    EXPECT_EQ(selection.GetViewMode(), 2);
    EXPECT_EQ(History(table).GetReplayedCount(), replayed);
    ASSERT_TRUE(History(table).GoForward());
    EXPECT_EQ(selection.GetViewMode(), 3);

    // A reset restores the remembered mode, not the overview.
    ASSERT_TRUE(SubmitReset(table));
    EXPECT_EQ(selection.GetViewMode(), 2);
    ASSERT_TRUE(selection.SwitchToFullTable());
    EXPECT_EQ(selection.GetRememberedViewMode(), 1);
    EXPECT_EQ(static_cast<CModeSwitchCommand*>(History(table).GetBackList().back().get())->GetLogName(),
              u"Compressed -> Table");
    ASSERT_TRUE(SubmitZoom(city, {u"Genf"}));
    // Back over the zoom replays the query, switch included.
    ASSERT_TRUE(History(table).GoBack());
    EXPECT_EQ(selection.GetViewMode(), 1);

    CTable empty;
    EXPECT_FALSE(Sel(empty).SwitchToOverview()); // no attribute: nothing to switch
    EXPECT_TRUE(History(empty).GetBackList().empty());
}
} // namespace
