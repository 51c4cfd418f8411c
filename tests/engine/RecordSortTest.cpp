// Sorting records by an attribute: order, direction, stability, undefined values, the cases that leave the order
// alone, and the table's sort state (primary and previous sort attributes, headers).

#include "TableTestSupport.h"

#include "engine/RecordSort.h"

#include <gtest/gtest.h>

#include <random>

namespace
{
// The record numbers of the array, blank-separated.
std::string Order(const CRecordArray& records)
{
    std::string out;
    for (long i = 0; i < records.GetSize(); ++i)
        out += (i ? " " : "") + std::to_string(records.GetRecord(i)->m_nRecordNumber);
    return out;
}

std::string AllOrder(CTable& table)
{
    return Order(table.GetAllRecords());
}

struct SSortCase
{
    std::vector<std::u16string> values;
    const char* format; // "" text
    bool reverse;
    const char* expected;
};

// One attribute, records in table order, one sort.
class RecordSortCases : public ::testing::TestWithParam<SSortCase>
{
};

TEST_P(RecordSortCases, OrdersStablyInValueOrder)
{
    const SSortCase& c = GetParam();
    CTable table;
    CAttribute* attribute = AddColumn(table, u"A", c.values);
    if (*c.format)
    {
        ASSERT_TRUE(attribute->SetFormat(platform::FromUtf8(c.format)));
    }
    table.AnalyzeTable();
    CRecordSort::Sort(*attribute, table.GetAllRecords(), c.reverse, false);
    EXPECT_EQ(AllOrder(table), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordSortCases,
    ::testing::Values(
        // undefined (empty) after every value ascending, so first descending; ties in their previous order
        SSortCase{{u"b", u"a", u"", u"b", u"c", u"a"}, "", false, "1 5 0 3 4 2"},
        SSortCase{{u"b", u"a", u"", u"b", u"c", u"a"}, "", true, "2 4 0 3 1 5"},
        // numbers in numeric order, not as texts
        SSortCase{{u"10", u"9", u"", u"9.5", u"-1"}, "####.", false, "4 1 3 0 2"},
        SSortCase{{u"10", u"9", u"", u"9.5", u"-1"}, "####.", true, "2 0 3 1 4"},
        // one distinct value, or undefined alone: nothing to do
        SSortCase{{u"x", u"x", u"x"}, "", true, "0 1 2"},
        SSortCase{{u"", u"", u""}, "", false, "0 1 2"},
        // texts in the collation's order: case and accents second
        SSortCase{{u"Zürich", u"aarau", u"Äsch", u"Bern"}, "", false, "1 2 3 0"}));

TEST(RecordSortTest, SecondSortKeepsTheTiesOfTheFirstInEitherDirection)
{
    CTable table;
    CAttribute* group = AddColumn(table, u"G", {u"x", u"y", u"x", u"y", u"x", u""});
    CAttribute* rank = AddColumn(table, u"R", {u"3", u"1", u"2", u"2", u"1", u"1"});
    rank->SetFormat(u"#");
    table.AnalyzeTable();
    CRecordSort::Sort(*rank, table.GetAllRecords(), false, false);
    EXPECT_EQ(AllOrder(table), "1 4 5 2 3 0");
    CRecordSort::Sort(*group, table.GetAllRecords(), false, false);
    EXPECT_EQ(AllOrder(table), "4 2 0 1 3 5");
    CRecordSort::Sort(*group, table.GetAllRecords(), true, false);
    EXPECT_EQ(AllOrder(table), "5 1 3 4 2 0");
    CRecordSort::Sort(*group, table.GetAllRecords(), false, false); // reversed twice: the ties as before
    EXPECT_EQ(AllOrder(table), "4 2 0 1 3 5");
}

TEST(RecordSortTest, LeavesHeadersNotSortableAttributesAndShortArraysAlone)
{
    CTable table;
    CAttribute* values = AddColumn(table, u"V", {u"c", u"b", u"a"});
    table.AnalyzeTable();
    values->SetAttributeType(ATTR_EXPRESSION);
    values->GetSettings().SetNotSortable(true);
    EXPECT_FALSE(CRecordSort::Sort(*values, table.GetAllRecords(), false, false));
    EXPECT_EQ(AllOrder(table), "0 1 2");
    values->GetSettings().SetNotSortable(false);
    values->Sort(&table.GetAllRecords(), 0);
    EXPECT_EQ(AllOrder(table), "2 1 0");
    CAttribute* header = table.CreateNewAttribute(ATTR_HEADER, false, u"H", nullptr, 1, false);
    EXPECT_FALSE(CRecordSort::Sort(*header, table.GetAllRecords(), true, false));
    EXPECT_EQ(AllOrder(table), "2 1 0");
}

TEST(RecordSortTest, ListsPutRecordsWithoutValueFirstWhenAsked)
{
    CTable table;
    CAttribute* tags = AddColumn(table, u"T", {u"|b|", u"", u"|a|", u"|a|b|"});
    table.AnalyzeTable();
    ASSERT_TRUE(tags->HasMultipleValues());
    CRecordSort::Sort(*tags, table.GetAllRecords(), false, false);
    EXPECT_EQ(AllOrder(table), "2 0 3 1"); // single parts before pairs, the empty list last
    CRecordSort::Sort(*tags, table.GetAllRecords(), false, true);
    EXPECT_EQ(AllOrder(table), "1 2 0 3");
    CRecordSort::Sort(*tags, table.GetAllRecords(), true, true);
    EXPECT_EQ(AllOrder(table), "1 3 0 2");
}

// Many distinct texts, many repeated: the result is ordered under CompareValueIndices and stable.
TEST(RecordSortTest, ManyDistinctTextsAreSortedAndStable)
{
    constexpr long kRecords = 120000;
    CTable table;
    std::mt19937 random(7);
    std::vector<std::u16string> texts;
    texts.reserve(kRecords);
    for (long i = 0; i < kRecords; ++i)
    {
        const uint32_t n = random() % (i % 3 == 0 ? 400u : 4000000u); // every third record from a few values
        std::u16string text = platform::FromUtf8("k" + std::to_string(n * 2654435761u % 1000003u));
        if (n % 11 == 0)
            text = u"É" + text;
        texts.push_back(i % 97 == 0 ? u"" : text);
    }
    CAttribute* attribute = AddColumn(table, u"K", texts);
    table.AnalyzeTable();
    for (bool reverse : {false, true})
    {
        // Start from table order each time.
        std::vector<CRecord*> byNumber(table.GetAllRecords().GetData(),
                                       table.GetAllRecords().GetData() + table.GetRecordCount());
        std::sort(byNumber.begin(), byNumber.end(),
                  [](const CRecord* a, const CRecord* b) { return a->m_nRecordNumber < b->m_nRecordNumber; });
        table.GetAllRecords().Reorder(byNumber.data());
        ASSERT_TRUE(CRecordSort::Sort(*attribute, table.GetAllRecords(), reverse, false));
        const CRecordArray& sorted = table.GetAllRecords();
        ASSERT_EQ(sorted.GetSize(), kRecords);
        std::vector<bool> seen(kRecords, false);
        long violations = 0;
        for (long i = 0; i < kRecords; ++i)
        {
            const CRecord* record = sorted.GetRecord(i);
            seen[record->m_nRecordNumber] = true;
            if (i == 0)
                continue;
            const CRecord* before = sorted.GetRecord(i - 1);
            int c = attribute->CompareValueIndices(attribute->GetFieldValueIndex(before),
                                                   attribute->GetFieldValueIndex(record));
            if (reverse)
                c = -c;
            if (c > 0 || (c == 0 && before->m_nRecordNumber > record->m_nRecordNumber))
                ++violations;
        }
        EXPECT_EQ(violations, 0) << "reverse " << reverse;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), true), kRecords);
    }
}

TEST(TableSortTest, PrimaryAndPreviousSortAttributes)
{
    CTable table;
    CAttribute* key = AddColumn(table, u"Key", {u"3", u"1", u"2", u"4"});
    CAttribute* b = AddColumn(table, u"B", {u"x", u"y", u"x", u"y"});
    CAttribute* c = AddColumn(table, u"C", {u"1", u"1", u"2", u"2"});
    CAttribute* d = AddColumn(table, u"D", {u"p", u"q", u"p", u"q"});
    CAttribute* e = AddColumn(table, u"E", {u"u", u"u", u"v", u"v"});
    table.AnalyzeTable();
    auto names = [&] {
        std::string out = table.GetPrimarySortAttribute() ? platform::ToUtf8(table.GetPrimarySortAttribute()->GetName())
                                                          : "-";
        out += ":";
        for (CAttribute* attribute : table.GetPreviousSortAttributes())
            out += " " + platform::ToUtf8(attribute->GetName());
        return out;
    };
    for (CAttribute* attribute : {b, c, d, e})
        table.GetSortState().SortColumns(attribute, 2, false, false);
    EXPECT_EQ(names(), "E: D C B");
    table.GetSortState().SortColumns(c, 3, false, false); // moved to the front, not repeated
    EXPECT_EQ(names(), "C: E D B");
    table.GetSortState().SortColumns(b, 1, false, false); // mode 1 only sorts
    EXPECT_EQ(names(), "C: E D B");
    const uint64_t generation = table.GetSortState().GetOrderGeneration();
    table.GetSortState().SortColumns(key, 2, false, false);
    EXPECT_EQ(names(), "Key:");
    EXPECT_EQ(AllOrder(table), "1 2 0 3");
    EXPECT_GT(table.GetSortState().GetOrderGeneration(), generation);
    table.GetSortState().SortColumns(d, 2, false, false);
    table.DeleteAttribute(key);
    table.DeleteAttribute(d);
    EXPECT_EQ(names(), "-:");
}

TEST(TableSortTest, HeaderSortsByItsShownChildrenFirstChildFirst)
{
    CTable table;
    AddColumn(table, u"Key", {u"1", u"2", u"3", u"4", u"5"});
    CAttribute* header = table.CreateNewAttribute(ATTR_HEADER, false, u"H", nullptr, 1, false);
    CAttribute* first = AddColumn(table, u"X", {u"b", u"a", u"b", u"a", u"a"});
    CAttribute* second = AddColumn(table, u"Y", {u"2", u"3", u"1", u"1", u"2"});
    CAttribute* hidden = AddColumn(table, u"Z", {u"5", u"4", u"3", u"2", u"1"});
    for (CAttribute* child : {first, second, hidden})
        child->SetIndent(1);
    hidden->SetShown(false);
    table.AnalyzeTable();
    table.GetSortState().SortColumns(header, 2, false, false);
    EXPECT_EQ(AllOrder(table), "3 4 1 2 0");
    EXPECT_EQ(table.GetPrimarySortAttribute(), first);
    ASSERT_EQ(table.GetPreviousSortAttributes().size(), 1u);
    EXPECT_EQ(table.GetPreviousSortAttributes()[0], second);
    // The shown records follow the new order.
    EXPECT_EQ(Order(table.GetShownRecords()), "3 4 1 2 0");
}
} // namespace
