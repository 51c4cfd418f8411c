// The widths of the three view modes, the width attribute, the mode switches and bad input.

#include "DisplayTestSupport.h"

#include "options/OptionSet.h"
#include "platform/Resources.h"
#include "platform/System.h"
#include "selection/CommandHistory.h"
#include "selection/TableSelection.h"

#include <limits>

using namespace display;

namespace
{

// A window that only counts repaints and never waits: the clock jumps 20 ms at each wait.
class CCountingWindow : public CLayoutWindow
{
public:
    int64_t GetTickCount() override { return m_nNow; }
    void Wait(int ms) override { m_nNow += 20; }
    void RepaintData() override { ++m_nRepaints; }
    int64_t m_nNow = 1000;
    int m_nRepaints = 0;
};

// The widths of the records of the display list, "w0 w1 ..." to one decimal.
std::string Widths(CTableLayout& layout)
{
    std::string out;
    char buffer[32];
    for (long i = 0; i < layout.GetLineCount(); ++i)
    {
        std::snprintf(buffer, sizeof buffer, "%s%.1f", i ? " " : "", layout.GetWidth(layout.GetLineRecord(i)));
        out += buffer;
    }
    return out;
}

} // namespace

TEST(TableLayout, ColumnWidthIsThreeIcons)
{
    CTable table;
    EXPECT_EQ(CTableLayout(table, 0).GetColumnWidth(), 3); // a bad icon width counts as 1
    EXPECT_EQ(CTableLayout(table).GetColumnWidth(), 3 * platform::GetSystemIconWidth());
}

TEST(TableLayout, FullTableShrinksRefusedRecordsButNotBelowFive)
{
    CTable table;
    SetRecordFlags(table, "QRQRR");
    CTableLayout layout(table, 32);
    layout.RecomputeGridWidth(0.98);
    EXPECT_EQ(layout.GetRefusedWidth(), 5.0); // not 1.92
    EXPECT_EQ(Widths(layout), "96.0 5.0 96.0 5.0 5.0");
    EXPECT_EQ(layout.GetTotalGridWidth(), 2 * 96 + 3 * 5);
    layout.RecomputeGridWidth(0.5);
    EXPECT_EQ(layout.GetRefusedWidth(), 48.0);
    EXPECT_EQ(layout.GetTotalGridWidth(), 2 * 96 + 3 * 48);
    EXPECT_EQ(layout.GetRight(table.GetRecord(1)), 96.0 + 48.0);
    layout.RecomputeGridWidth(0.0); // at rest refused records are as wide as the others
    EXPECT_EQ(layout.GetRefusedWidth(), 96.0);
    EXPECT_EQ(layout.GetTotalGridWidth(), 5 * 96);
    EXPECT_EQ(layout.GetGridWidth(), 96.0);
    EXPECT_EQ(layout.GetLeft(table.GetRecord(4)), 4 * 96.0);
    layout.RecomputeGridWidth(7.0); // progress beyond 1 counts as 1
    EXPECT_EQ(layout.GetRefusedWidth(), 5.0);
}

TEST(TableLayout, CompressedExampleOfTenRecordsFourQualified)
{
    CTable table;
    SetRecordFlags(table, "QRRQRRQRRQ");
    CTableLayout layout(table, 32);
    layout.SetDataAreaWidth(500 + 6);
    layout.SetCompressedMode(true, true);
    layout.RecomputeGridWidth(0.5);
    EXPECT_EQ(layout.GetAvailableWidth(), 500);
    EXPECT_EQ(layout.GetRefusedFactor(), 0.5);
    EXPECT_EQ(layout.GetTotalWeight(), 10.0);
    EXPECT_EQ(layout.GetQualifiedFactor(), 1.75);
    EXPECT_EQ(layout.GetCompressedWidth(), 87.5);
    EXPECT_EQ(layout.GetRefusedWidth(), 25.0);
    EXPECT_EQ(layout.GetTotalGridWidth(), 350);
    EXPECT_EQ(layout.GetGridWidth(), 87.5);
    // The columns themselves fill the available width: the qualified grow by what the refused give up.
    EXPECT_NEAR(PlainLineWidth(layout), 500.0, 1e-9);
    EXPECT_EQ(layout.GetLeft(table.GetRecord(3)), 87.5 + 2 * 25.0);
    ExpectSoundLine(layout);
}

TEST(TableLayout, CompressedWidthsFillTheAvailableWidthWithOpenRecordsAtFullWidth)
{
    for (const char* pattern : {"Q", "QQQQQQQ", "QOQRRQ", "RRRR", "OOQ", "QRQROQRRRQQQOR"})
    {
        for (const int area : {0, 1, 7, 100, 333, 1920})
        {
            for (const double progress : {0.0, 0.3, 0.999})
            {
                CTable table;
                SetRecordFlags(table, pattern);
                CTableLayout layout(table, 32);
                layout.SetDataAreaWidth(area);
                layout.SetViewMode(VIEW_COMPRESSED, true, false);
                layout.RecomputeGridWidth(progress);
                SCOPED_TRACE(std::string(pattern) + " area " + std::to_string(area) + " progress " +
                             std::to_string(progress));
                ExpectSoundLine(layout);
                double open = 0.0;
                for (long i = 0; i < table.GetRecordCount(); ++i)
                {
                    CRecord* record = table.GetRecord(i);
                    if (record->m_bOpen)
                    {
                        EXPECT_EQ(layout.GetWidth(record), 96.0);
                        open += 96.0;
                    }
                }
                const double shared = PlainLineWidth(layout) - open;
                const long sharing = layout.GetShownCount() - layout.GetOpenCount();
                if (sharing > 0 && layout.GetQualifiedCount() > layout.GetOpenCount())
                {
                    EXPECT_NEAR(shared, layout.GetAvailableWidth(), 1.0);
                }
                EXPECT_EQ(layout.GetAvailableWidth(), std::max(1, area - 6 - 96 * static_cast<int>(layout.GetOpenCount())));
            }
        }
    }
}

TEST(TableLayout, OverviewLeavesOpenRecordsClosedAndKeepsMargins)
{
    CTable table;
    SetRecordFlags(table, "QOQQ");
    CTableLayout layout(table, 32);
    layout.SetDataAreaWidth(431);
    layout.SetViewMode(VIEW_OVERVIEW, true, false);
    EXPECT_EQ(layout.GetViewMode(), VIEW_OVERVIEW);
    EXPECT_EQ(layout.GetAvailableWidth(), 431 - 6 - 25);
    EXPECT_EQ(Widths(layout), "100.0 100.0 100.0 100.0");
    EXPECT_EQ(layout.GetOpenCount(), 0);
    EXPECT_EQ(layout.GetTotalGridWidth(), 400);
}

TEST(TableLayout, NoRecordsKeepTheWidths)
{
    CTable table;
    CTableLayout layout(table, 32);
    layout.SetViewMode(VIEW_COMPRESSED, true, false);
    layout.RecomputeGridWidth(0.4);
    EXPECT_EQ(layout.GetCompressedWidth(), 10.0);
    EXPECT_EQ(layout.GetRefusedWidth(), 10.0);
    EXPECT_EQ(layout.GetTotalGridWidth(), 0);
    EXPECT_EQ(layout.FindRecordAt(0.0), nullptr);
    EXPECT_EQ(layout.FindPositionsIn(0.0, 100.0), std::make_pair(0L, 0L));
    layout.SetViewMode(VIEW_OVERVIEW, true, false);
    layout.SetViewMode(VIEW_FULL, true, false);
    EXPECT_EQ(layout.GetTotalGridWidth(), 0);
}

TEST(TableLayout, WidthAttributeWithZeroNegativeAndUndefinedValues)
{
    CTable table;
    CAttribute* amount = AddColumn(table, u"Amount", {u"10", u"0", u"-3", u"", u"30"});
    ASSERT_TRUE(amount->SetFormat(u"####"));
    SetRecordFlags(table, "QQQQQ");
    CTableLayout layout(table, 32);
    layout.SetDataAreaWidth(406);
    layout.SetViewMode(VIEW_COMPRESSED, true, false);
    layout.SetWidthAttribute(amount, 1.0);
    layout.RecomputeGridWidth(0.0);
    EXPECT_EQ(layout.GetTotalWeight(), 40.0);
    EXPECT_EQ(layout.GetQualifiedZeroWidthCount(), 3);
    EXPECT_EQ(Widths(layout), "100.0 0.0 0.0 0.0 300.0");
    EXPECT_EQ(layout.GetTotalGridWidth(), 400);
    ExpectSoundLine(layout);

    // Half way: every record has half the equal share (40) plus half its proportional width.
    layout.SetWidthAttribute(amount, 0.5);
    layout.RecomputeGridWidth(0.0);
    EXPECT_EQ(Widths(layout), "90.0 40.0 40.0 40.0 190.0");
    EXPECT_NEAR(PlainLineWidth(layout), 400.0, 1e-9);

    // Blend 0: the widths no longer follow the attribute at all.
    layout.SetWidthAttribute(amount, 0.0);
    layout.RecomputeGridWidth(0.0);
    EXPECT_EQ(Widths(layout), "80.0 80.0 80.0 80.0 80.0");

    // Out-of-range and NaN blends are kept inside 0..1.
    layout.SetWidthAttribute(amount, -4.0);
    EXPECT_EQ(layout.GetWidthBlend(), 0.0);
    layout.SetWidthAttribute(amount, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(layout.GetWidthBlend(), 1.0);

    // The full table ignores the width attribute.
    layout.SetViewMode(VIEW_FULL, true, false);
    EXPECT_EQ(Widths(layout), "96.0 96.0 96.0 96.0 96.0");
}

TEST(TableLayout, WidthAttributeDuringAZoomGivesTheRefusedWeightToTheQualified)
{
    CTable table;
    CAttribute* amount = AddColumn(table, u"Amount", {u"10", u"20", u"30", u"40"});
    ASSERT_TRUE(amount->SetFormat(u"####"));
    SetRecordFlags(table, "QRQO");
    CTableLayout layout(table, 10);
    layout.SetDataAreaWidth(30 + 6 + 100);
    layout.SetViewMode(VIEW_COMPRESSED, true, false);
    layout.SetWidthAttribute(amount);
    layout.RecomputeGridWidth(0.5);
    // Open record: 30 wide; weights Wq = 40 (10 + 30), Wr = 20, refused factor 0.5: Wr' = 10, qualified
    // factor (60 - 10) / 40 = 1.25.
    EXPECT_EQ(layout.GetAvailableWidth(), 100);
    EXPECT_EQ(layout.GetQualifiedFactor(), 1.25);
    EXPECT_NEAR(layout.GetWidth(table.GetRecord(0)), 100.0 * 10 * 1.25 / 60, 1e-12);
    EXPECT_NEAR(layout.GetWidth(table.GetRecord(1)), 100.0 * 20 * 0.5 / 60, 1e-12);
    EXPECT_EQ(layout.GetWidth(table.GetRecord(3)), 30.0);
    EXPECT_NEAR(PlainLineWidth(layout), 130.0, 1e-9);
    EXPECT_EQ(layout.GetTotalGridWidth(), 30 + static_cast<int>(0.5 + 100.0 * 50 / 60));
}

TEST(TableLayout, WidthAttributeWithoutAnyPositiveValueDividesByNothing)
{
    CTable table;
    CAttribute* amount = AddColumn(table, u"Amount", {u"0", u"-1", u"", u"0"});
    ASSERT_TRUE(amount->SetFormat(u"####"));
    SetRecordFlags(table, "QQRQ");
    CTableLayout layout(table, 32);
    layout.SetViewMode(VIEW_COMPRESSED, true, false);
    for (const double blend : {1.0, 0.5, 0.0})
    {
        layout.SetWidthAttribute(amount, blend);
        for (const double progress : {0.0, 0.5})
        {
            layout.RecomputeGridWidth(progress);
            EXPECT_EQ(layout.GetTotalWeight(), 0.0);
            EXPECT_EQ(layout.GetQualifiedFactor(), 0.0);
            EXPECT_EQ(Widths(layout), "0.0 0.0 0.0 0.0");
            EXPECT_EQ(layout.GetTotalGridWidth(), 0);
            EXPECT_EQ(layout.FindRecordAt(0.0), nullptr);
            ExpectSoundLine(layout);
        }
    }
    // A text attribute has no numbers at all.
    CAttribute* text = AddColumn(table, u"Text", {u"a", u"b", u"c", u"d"});
    layout.SetWidthAttribute(text);
    layout.RecomputeGridWidth(0.0);
    EXPECT_EQ(layout.GetTotalGridWidth(), 0);
    ExpectSoundLine(layout);
}

TEST(TableLayout, OnlyOpenRecordsLeaveNothingToShare)
{
    CTable table;
    SetRecordFlags(table, "OO");
    CTableLayout layout(table, 32);
    layout.SetViewMode(VIEW_COMPRESSED, true, false);
    layout.RecomputeGridWidth(0.5);
    EXPECT_EQ(layout.GetCompressedWidth(), 0.0);
    EXPECT_EQ(Widths(layout), "96.0 96.0");
    EXPECT_EQ(layout.GetTotalGridWidth(), 192);
    ExpectSoundLine(layout);
}

TEST(TableLayout, TooWideAColumnIsReducedAndTheUserTold)
{
    CTable table;
    std::vector<KString> messages;
    table.SetMessageHandler([&](const KString& text, int) {
        messages.push_back(text);
        return ANSWER_OK;
    });
    SetRecordFlags(table, "QQQ");
    CTableLayout layout(table, 32);
    layout.SetColumnWidth(1'000'000'000);
    layout.RecomputeGridWidth(0.0);
    EXPECT_EQ(layout.GetColumnWidth(), 2147483647 / 3);
    EXPECT_EQ(layout.GetTotalGridWidth(), 3 * (2147483647 / 3));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], LoadResourceString(CTableLayout::s_nColumnWidthReducedMessage, ELanguage::German));
    layout.RecomputeGridWidth(0.0);
    EXPECT_EQ(messages.size(), 1u); // once reduced, nothing more to say
    layout.SetColumnWidth(-5);
    EXPECT_EQ(layout.GetColumnWidth(), 1);
}

TEST(TableLayout, SwitchingModesInTheirOrder)
{
    CTable table;
    table.GetOptions().m_nAnimated = 2;
    SetRecordFlags(table, "QRQQ");
    CTableLayout layout(table, 32);
    CCountingWindow window;
    layout.SetWindow(&window);

    // To the overview: compressed (animated), then sort-all, which hides the refused record.
    layout.SetViewMode(VIEW_OVERVIEW, true, true);
    EXPECT_EQ(layout.GetViewMode(), VIEW_OVERVIEW);
    EXPECT_EQ(layout.GetRememberedMode(), VIEW_OVERVIEW);
    EXPECT_FALSE(table.GetRecord(1)->m_bShown);
    EXPECT_EQ(layout.GetShownCount(), 3);
    EXPECT_GT(window.m_nRepaints, 2);

    // From the overview to the compressed table only sort-all changes: no compression animation runs.
    window.m_nRepaints = 0;
    const int64_t before = window.m_nNow;
    layout.SetViewMode(VIEW_COMPRESSED, true, false);
    EXPECT_EQ(layout.GetViewMode(), VIEW_COMPRESSED);
    EXPECT_EQ(window.m_nRepaints, 1);
    EXPECT_EQ(window.m_nNow, before);
    EXPECT_EQ(layout.GetRememberedMode(), VIEW_OVERVIEW);

    // The same mode again changes nothing.
    layout.SetViewMode(VIEW_COMPRESSED, true, true);
    EXPECT_EQ(window.m_nRepaints, 1);
    EXPECT_EQ(layout.GetRememberedMode(), VIEW_COMPRESSED);

    layout.SetViewMode(VIEW_FULL, true, false);
    EXPECT_EQ(layout.GetViewMode(), VIEW_FULL);
    EXPECT_EQ(Widths(layout), "96.0 96.0 96.0");
    layout.SetViewMode(7, true, false); // any other number is the overview
    EXPECT_EQ(layout.GetViewMode(), VIEW_OVERVIEW);
}

TEST(TableLayout, CompressedFlagWithoutNotifyOnlySetsTheFlag)
{
    CTable table;
    SetRecordFlags(table, "QQ");
    CTableLayout layout(table, 32);
    layout.RecomputeGridWidth(0.0);
    layout.SetCompressedMode(true, false);
    EXPECT_TRUE(layout.IsCompressed());
    EXPECT_EQ(layout.GetTotalGridWidth(), 192); // not recomputed yet
    layout.RecomputeGridWidth(0.0);
    EXPECT_EQ(layout.GetTotalGridWidth(), 200);
}

TEST(TableLayout, OverviewLinesFollowEachAttributesOrder)
{
    CTable table;
    CAttribute* city = AddColumn(table, u"City", {u"Bern", u"Aarau", u"Chur", u"Aarau", u"Bern", u"Aarau"});
    SetRecordFlags(table, "QQQQRQ");
    CTableLayout layout(table, 32);
    layout.SetDataAreaWidth(100 + 31);
    layout.SetViewMode(VIEW_OVERVIEW, true, false);
    ASSERT_EQ(layout.GetShownCount(), 5);
    EXPECT_EQ(layout.GetCompressedWidth(), 20.0);
    // Along the city line: Aarau (records 1, 3, 5), Bern (0), Chur (2).
    EXPECT_EQ(layout.GetLeft(table.GetRecord(1), city), 0.0);
    EXPECT_EQ(layout.GetLeft(table.GetRecord(5), city), 40.0);
    EXPECT_EQ(layout.GetLeft(table.GetRecord(0), city), 60.0);
    EXPECT_EQ(layout.GetLeft(table.GetRecord(2), city), 80.0);
    EXPECT_EQ(layout.GetLeft(table.GetRecord(2)), 40.0); // the display list keeps table order
    EXPECT_EQ(layout.GetLeft(table.GetRecord(4), city), -1.0); // hidden
    EXPECT_EQ(layout.FindRecordAt(65.0, city), table.GetRecord(0));
    const std::vector<SValueBar> bars = layout.GetValueBars(*city);
    ASSERT_EQ(bars.size(), 3u);
    EXPECT_EQ(platform::ToUtf8(city->GetValueText(bars[0].m_nValueIndex)), "Aarau");
    EXPECT_EQ(bars[0].m_nCount, 3);
    EXPECT_EQ(bars[0].m_dWidth, 60.0);
    EXPECT_EQ(bars[1].m_dLeft, 60.0);
    EXPECT_EQ(bars[2].m_nFirst, 4);
    EXPECT_EQ(bars[2].m_dWidth, 20.0);
}

TEST(TableLayout, OpenAndClosedRecords)
{
    CTable table;
    SetRecordFlags(table, "QQQQ");
    CTableLayout layout(table, 32);
    layout.SetDataAreaWidth(6 + 96 + 300);
    layout.SetViewMode(VIEW_COMPRESSED, true, false);
    layout.SetRecordOpen(table.GetRecord(2), true);
    layout.RecomputeGridWidth(0.0);
    EXPECT_EQ(Widths(layout), "100.0 100.0 96.0 100.0");
    EXPECT_EQ(layout.GetLeft(table.GetRecord(3)), 296.0);
    EXPECT_EQ(layout.FindRecordAt(296.0), table.GetRecord(3));
    EXPECT_EQ(layout.FindRecordAt(295.9), table.GetRecord(2));
    layout.CloseAllRecords();
    EXPECT_EQ(table.GetNumberOpen(), 0);
    layout.RecomputeGridWidth(0.0);
    EXPECT_EQ(Widths(layout), "99.0 99.0 99.0 99.0");
}

TEST(TableLayout, StaleFlagsAreNoticedByTheKeptCounts)
{
    CTable table;
    SetRecordFlags(table, "QQQQ");
    CTableLayout layout(table, 32);
    layout.RecomputeGridWidth(0.5);
    EXPECT_EQ(layout.GetQualifiedCount(), 4);
    SetRecordFlags(table, "QRRQ");
    layout.RecomputeGridWidth(0.5); // an animation frame, yet the table's counts changed
    EXPECT_EQ(layout.GetQualifiedCount(), 2);
    EXPECT_EQ(Widths(layout), "96.0 48.0 48.0 96.0");
}

TEST(TableLayout, TwoLinesForLongTextAttributes)
{
    CTable table;
    std::vector<std::u16string> many, numbers, few;
    for (int i = 0; i < 21; ++i)
    {
        many.push_back(u"v" + platform::FromUtf8(std::to_string(i)));
        numbers.push_back(platform::FromUtf8(std::to_string(i)));
        few.push_back(u"w" + platform::FromUtf8(std::to_string(i % 20)));
    }
    CAttribute* text = AddColumn(table, u"Text", many);
    CAttribute* number = AddColumn(table, u"Number", numbers);
    ASSERT_TRUE(number->SetFormat(u"####"));
    CAttribute* twenty = AddColumn(table, u"Twenty", few);
    CAttribute* header = table.CreateNewAttribute(ATTR_HEADER, false, u"Header", nullptr, 10, false);
    CAttribute* three = AddColumn(table, u"Three", many);
    three->SetNrOfLines(3);
    CTableLayout layout(table, 32);
    layout.GuessTwoLineCompression();
    EXPECT_EQ(text->GetNrOfLines(), 2);
    EXPECT_EQ(number->GetNrOfLines(), 1);
    EXPECT_EQ(twenty->GetNrOfLines(), 1);
    EXPECT_EQ(header->GetNrOfLines(), 1);
    EXPECT_EQ(three->GetNrOfLines(), 3);
}

TEST(TableLayout, FollowsModeSwitchesAndSortsMadeByCommands)
{
    CTable table;
    table.GetOptions().m_nAnimated = 2;
    AddColumn(table, u"Key", {u"1", u"2", u"3", u"4"});
    CAttribute* kind = AddColumn(table, u"Kind", {u"b", u"a", u"b", u"a"});
    table.AnalyzeTable();
    CTableLayout layout(table, 32);
    CCountingWindow window;
    layout.SetWindow(&window);
    layout.SetDataAreaWidth(406);
    layout.RecomputeGridWidth(0.0);
    CTableSelection& selection = CTableSelection::Of(table);

    // A switch made by a command runs through the layout: animated, laid out anew.
    ASSERT_TRUE(selection.SwitchToCompressedTable());
    EXPECT_EQ(layout.GetViewMode(), VIEW_COMPRESSED);
    EXPECT_GT(window.m_nRepaints, 2);
    EXPECT_EQ(Widths(layout), "100.0 100.0 100.0 100.0");
    // A sort: the positions follow the new order at once.
    EXPECT_EQ(layout.GetLineRecord(0), table.GetRecord(0));
    ASSERT_TRUE(selection.SortRecords(kind, false));
    EXPECT_EQ(layout.GetLineRecord(0)->m_nRecordNumber, 1);
    EXPECT_EQ(layout.FindRecordAt(150.0)->m_nRecordNumber, 3);
    // Going back over both: the order of the key and the full table again.
    ASSERT_TRUE(selection.GetHistory().GoBack());
    EXPECT_EQ(layout.GetLineRecord(0)->m_nRecordNumber, 0);
    EXPECT_EQ(layout.FindRecordAt(150.0)->m_nRecordNumber, 1);
    ASSERT_TRUE(selection.GetHistory().GoBack());
    EXPECT_EQ(layout.GetViewMode(), VIEW_FULL);
    layout.RecomputeGridWidth(0.0);
    EXPECT_EQ(Widths(layout), "96.0 96.0 96.0 96.0");
}
