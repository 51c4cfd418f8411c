#include "TableTestSupport.h"

#include "engine/Allocator.h"
#include "engine/Collation.h"
#include "engine/DistinctEstimate.h"
#include "engine/ValueBulk.h"
#include "engine/ValueHashTable.h"
#include "options/OptionSet.h"
#include "platform/Error.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

namespace
{
// The values of an attribute in index order, as written, joined by blanks ("" shown as _).
std::string ValueList(CAttribute* attribute)
{
    std::string out;
    for (long i = 0; i < attribute->GetNrOfValues(); ++i)
    {
        const std::string text = platform::ToUtf8(attribute->GetValueText(i));
        out += (i > 0 ? " " : "") + (text.empty() ? std::string("_") : text);
    }
    return out;
}

// The value index of every record, joined by blanks.
std::string Indices(CTable& table, CAttribute* attribute)
{
    std::string out;
    for (long r = 0; r < table.GetRecordCount(); ++r)
        out += (r > 0 ? " " : "") + std::to_string(attribute->GetFieldValueIndex(table.GetRecord(r)));
    return out;
}
} // namespace

TEST(AddValue, AscendingValuesStaySortedOthersAreSortedOnDemand)
{
    CTable table;
    CAttribute* a = AddColumn(table, u"A", {u"a", u"b", u"c"});
    EXPECT_TRUE(a->AreValuesSorted());
    CAttribute* b = AddColumn(table, u"B", {u"c", u"", u"b", u"c", u"a"});
    EXPECT_FALSE(b->AreValuesSorted());
    EXPECT_EQ(ValueList(b), "c _ b a");
    b->RecomputeSortedValues();
    EXPECT_TRUE(b->AreValuesSorted());
    EXPECT_EQ(ValueList(b), "a b c _"); // undefined last
    EXPECT_EQ(Indices(table, b), "2 3 1 2 0");
    EXPECT_EQ(b->FindValueIndex(u"c"), 2); // the hash follows the new indices
    EXPECT_EQ(b->FindValueIndex(u"d"), -1);
}

TEST(AddValue, NumbersAreReadAndSummarised)
{
    // Their order, a text that is no number after them and the undefined value last: "@format ####." in order.txt.
    CTable table;
    CAttribute* a = table.CreateNewAttribute(ATTR_NORMAL, false, u"N", nullptr, 10, true);
    ASSERT_TRUE(a->SetFormat(u"####."));
    for (const char16_t* text : {u"10", u"9", u"", u"-2.5", u"1000", u"x"})
        a->AddValue(table.AddRecord(), text);
    EXPECT_EQ(a->GetNumericValue(a->FindValueIndex(u"1000")), 1000.0);
    EXPECT_TRUE(std::isnan(a->GetNumericValue(a->FindValueIndex(u"x"))));
    EXPECT_DOUBLE_EQ(a->GetAbsoluteMinimum(), -2.5);
    EXPECT_DOUBLE_EQ(a->GetAbsoluteMaximum(), 1000.0);
    EXPECT_DOUBLE_EQ(a->GetAbsoluteAverage(), (10 + 9 - 2.5 + 1000) / 4);
    EXPECT_EQ(a->GetAbsoluteMaxValueLength(), 4);
}

TEST(AddValue, ListsAreNormalisedAndTheirPartsAreValues)
{
    CTable table;
    CAttribute* a = table.CreateNewAttribute(ATTR_NORMAL, false, u"Tags", nullptr, 10, true);
    CRecord* r0 = table.AddRecord();
    CRecord* r1 = table.AddRecord();
    CRecord* r2 = table.AddRecord();
    CRecord* r3 = table.AddRecord();
    a->AddValue(r0, u"|b|a|b||");
    a->AddValue(r1, u"|a|");
    a->AddValue(r2, u"|");
    a->AddValue(r3, u"||");
    EXPECT_EQ(a->GetFieldText(r0), u"|b|a|");
    EXPECT_EQ(CAttributeValues::CountEncodedMultipleValues(a->GetFieldValue(r0)), 2);
    EXPECT_EQ(a->GetFieldText(r1), u"a");
    EXPECT_EQ(a->GetFieldText(r2), u"");
    EXPECT_EQ(a->GetFieldText(r3), u"");
    EXPECT_TRUE(a->HasMultipleValues());
    EXPECT_EQ(a->FindValueIndex(u"|b|a|"), a->GetFieldValueIndex(r0));
    EXPECT_EQ(a->FindValueIndex(u"|b|b|a|"), a->GetFieldValueIndex(r0)); // looked up in normal form
    EXPECT_EQ(a->FindValueIndex(u"a"), a->GetFieldValueIndex(r1));       // a part is a value of its own
    const auto parts = CAttribute::GetEncodedMultipleValues(a->GetFieldValue(r0));
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(std::u16string(parts[0]), u"b");
    EXPECT_EQ(parts[1], a->GetValue(a->FindValueIndex(u"a"))); // parts point at the stored values
    EXPECT_EQ(a->GetMaxMultipleValues(), 2);

    a->RecomputeSortedValues();
    EXPECT_EQ(ValueList(a), "a b |b|a| _"); // a list after every single value, undefined last
    EXPECT_EQ(a->GetFieldText(r0), u"|b|a|");
}

TEST(MakeMultipleValuesUnique, CountsAndForms)
{
    struct Case
    {
        std::u16string in, out;
        int parts;
    } cases[] = {
        {u"|b|a|b||", u"|b|a|", 2}, {u"|a|", u"a", 1}, {u"|", u"", 0},         {u"||", u"", 0},
        {u"plain", u"plain", 1},    {u"", u"", 0},     {u"|x|y", u"|x|y|", 2}, {u"|a|A|", u"|a|A|", 2},
    };
    for (Case c : cases)
    {
        std::u16string text = c.in;
        EXPECT_EQ(CAttributeValues::MakeMultipleValuesUnique(text), c.parts) << platform::ToUtf8(c.in);
        EXPECT_EQ(text, c.out) << platform::ToUtf8(c.in);
    }
    // One part more makes the empty list: AddValue.LongTextsBecomeUndefinedLongListsTheEmptyList.
    std::u16string most;
    for (int i = 0; i < 254; ++i)
        most += u"|p" + platform::ToKString(i);
    EXPECT_EQ(CAttributeValues::MakeMultipleValuesUnique(most), 254);
}

TEST(AddValue, LongTextsBecomeUndefinedLongListsTheEmptyList)
{
    CTable table;
    std::u16string many; // more parts than a list may have
    for (int i = 0; i < 255; ++i)
        many += u"|p" + platform::ToKString(i);
    CAttribute* a = AddColumn(table, u"A",
                              {std::u16string(9999, u'q'), std::u16string(10000, u'q'),
                               u"|" + std::u16string(10000, u'w') + u"|v|", many});
    EXPECT_EQ(a->GetFieldText(table.GetRecord(0)).size(), 9999u);
    EXPECT_EQ(a->GetFieldText(table.GetRecord(1)), u"");
    EXPECT_EQ(a->GetFieldText(table.GetRecord(2)), u"|");
    EXPECT_EQ(a->GetFieldText(table.GetRecord(3)), u"|");
    EXPECT_EQ(CAttributeValues::CountEncodedMultipleValues(a->GetFieldValue(table.GetRecord(3))), 0);
}

TEST(AddValue, RunsOfEqualValuesReuseTheLastValue)
{
    CTable table;
    CAttribute* a = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 10, true);
    const char16_t* first = a->AddValue(table.AddRecord(), u"same");
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(a->AddValue(table.AddRecord(), u"same"), first);
    EXPECT_EQ(a->GetNrOfValues(), 1);
    a->AddValue(nullptr, u"other"); // only the distinct value
    EXPECT_EQ(a->GetNrOfValues(), 2);
    EXPECT_EQ(table.GetRecordCount(), 101);

    // Texts that merely begin or end like the last one, and lists whose text differs from the stored one,
    // are not taken for it.
    const std::vector<std::u16string> texts = {u"abc",  u"ab",   u"abcd", u"abcd", u"",   u"a",
                                               u"|b|a", u"|a|b", u"|b|a", u"b|a",  u"|a", u"a"};
    const std::vector<std::u16string> expected = {u"abc",   u"ab",    u"abcd",  u"abcd", u"",  u"a",
                                                  u"|b|a|", u"|a|b|", u"|b|a|", u"b|a",  u"a", u"a"};
    std::vector<CRecord*> records;
    for (const std::u16string& text : texts)
    {
        records.push_back(table.AddRecord());
        a->AddValue(records.back(), text);
    }
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(a->GetFieldText(records[i]), expected[i]) << i;
}

TEST(AddValue, ManyDistinctValuesRehashAndStayFindable)
{
    CTable table;
    CAttribute* a = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 1, false);
    for (int i = 0; i < 5000; ++i)
        a->AddValue(table.AddRecord(), u"v" + platform::ToKString(i * 7919 % 5000));
    EXPECT_EQ(a->GetNrOfValues(), 5000);
    for (int i = 0; i < 5000; i += 97)
        EXPECT_EQ(a->GetValueText(a->FindValueIndex(u"v" + platform::ToKString(i))), u"v" + platform::ToKString(i));
    a->RecomputeSortedValues();
    for (long r = 0; r < 5000; r += 101)
        EXPECT_EQ(a->GetFieldText(table.GetRecord(r)), u"v" + platform::ToKString(r * 7919 % 5000));
}

TEST(MissingValue, ReportedOnceAndRepairedToUndefined)
{
    CTable table;
    CAttribute* a = AddColumn(table, u"Amount", {u"b", u"a"});
    CRecord* lonely = table.AddRecord();
    CRecord* lonely2 = table.AddRecord();
    EXPECT_EQ(a->GetFieldText(lonely), u"");
    ASSERT_EQ(table.GetMessageLog().size(), 1u);
    EXPECT_EQ(table.GetMessageLog()[0], FormatResource(3700, {u"Amount", u"2"}));
    EXPECT_EQ(a->GetFieldText(lonely2), u"");
    EXPECT_EQ(table.GetMessageLog().size(), 1u);
    EXPECT_EQ(a->GetFieldText(table.GetRecord(0)), u"b");
    EXPECT_EQ(a->GetFieldText(table.GetRecord(1)), u"a");
}

// The bulk readers of the order by value and of the statistics repair missing values as the single reader does.
TEST(MissingValue, RepairedWhenTheRecordsAreOrderedByValue)
{
    CTable table;
    CAttribute* a = AddColumn(table, u"Amount", {u"bb", u"a"});
    table.AddRecord();
    table.AddRecord();
    std::string order;
    for (const CRecord* record : a->GetSortedRecords())
        order += platform::ToUtf8(a->GetFieldText(record)) + std::to_string(record->m_nRecordNumber) + ",";
    EXPECT_EQ(order, "a1,bb0,2,3,"); // undefined last
    EXPECT_EQ(table.GetMessageLog().size(), 1u);
    EXPECT_EQ(a->GetAbsoluteMaxValueLength(), 2);
}

TEST(SetAll, UndefinedClearsIdenticalKeepsOldValues)
{
    CTable table;
    CAttribute* a = AddColumn(table, u"A", {u"x", u"y", u"z"});
    a->GetValues().SetAllIdentical(u"w", std::nan(""));
    EXPECT_EQ(RenderTable(table), "A(1)=w,w,w; records=3");
    EXPECT_EQ(a->GetNrOfValues(), 4);
    a->GetValues().SetAllUndefined();
    EXPECT_EQ(RenderTable(table), "A(1)=,,; records=3");
    EXPECT_EQ(a->GetNrOfValues(), 1);
    EXPECT_FALSE(a->HasNonEmptyValue());
    EXPECT_FALSE(a->HasMoreThanOneValue());
}

TEST(SortedRecords, OrderedByValueTiesInTableOrder)
{
    CTable table;
    CAttribute* a = AddColumn(table, u"A", {u"b", u"a", u"", u"b", u"a"});
    auto order = [](const auto& records)
    {
        std::string out;
        for (CRecord* record : records)
            out += std::to_string(record->m_nRecordNumber);
        return out;
    };
    EXPECT_EQ(order(a->GetSortedRecords()), "14032");
    table.GetRecord(1)->m_bShown = false;
    table.GetShownRecords().RemoveAll();
    for (long r = 0; r < table.GetRecordCount(); ++r)
    {
        if (table.GetRecord(r)->m_bShown)
            table.GetShownRecords().AddRecord(table.GetRecord(r));
    }
    a->InvalidateSortedRecords();
    EXPECT_EQ(order(a->GetSortedShownRecords()), "4032");
    a->AddValue(table.GetRecord(0), u"0"); // a change drops the cache
    EXPECT_EQ(order(a->GetSortedRecords()), "01432");
}

TEST(Sorting, ParallelAndSequentialGiveTheSameOrder)
{
    // Spread texts, and texts of which most share a long beginning (their keys' high halves are mostly equal:
    // a run long enough to be sorted in parallel).
    for (const char16_t* shared : {u"", u"Zentralverwaltung Nord "})
    {
        CTable table;
        CAttribute* a = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 60000, true);
        std::mt19937 random(7);
        for (int i = 0; i < 60000; ++i)
            a->AddValue(nullptr, (i % 10 != 0 ? shared : u"") + (u"k" + platform::ToKString(random() % 1000000)));
        std::vector<uint32_t> sequential(static_cast<size_t>(a->GetNrOfValues()));
        for (size_t i = 0; i < sequential.size(); ++i)
            sequential[i] = static_cast<uint32_t>(i);
        std::vector<uint32_t> parallel = sequential;
        a->GetValues().SortValueIndices(sequential, false);
        a->GetValues().SortValueIndices(parallel, true);
        EXPECT_EQ(sequential, parallel);
        for (size_t i = 1; i < sequential.size(); ++i)
            ASSERT_LT(a->CompareValueIndices(sequential[i - 1], sequential[i]), 0);
    }
}

TEST(Sorting, NumbersSortByValueWhateverBytesTheyDifferIn)
{
    // Whole numbers differ in a few high bytes only, fractions in all of them, a mixture in some: the sort
    // by bytes passes over those every key shares, and must come out right however many are left. Numbers of
    // a few decimal places are sorted by their counts of the smallest place, the others by their bits.
    std::mt19937 random(3);
    const std::vector<std::function<std::u16string()>> kinds = {
        [&] { return platform::ToKString(static_cast<int>(random() % 5000)); },
        [&]
        {
            char text[32];
            std::snprintf(text, sizeof text, "%.3f", (static_cast<int>(random() % 2000000) - 1000000) / 1000.0);
            return platform::FromUtf8(text);
        },
        [&] { return platform::ToKString(static_cast<long long>(random() % 100000) * 1000003) + u".5"; },
        // Hundredths but for a few with more places than a scale takes; whole numbers beyond 2^53.
        [&]
        {
            char text[32];
            const int n = static_cast<int>(random() % 2000000) - 1000000;
            std::snprintf(text, sizeof text, random() % 500 == 0 ? "%.7f" : "%.2f", n / 100.0 + 1e-7);
            return platform::FromUtf8(text);
        },
        [&] { return platform::ToKString((static_cast<long long>(random()) << 13) | (1LL << 45)); },
        // Days and seconds, as dates with times are stored.
        [&]
        {
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", (random() % 20000 + 30000) + (random() % 86400) / 86400.0);
            return platform::FromUtf8(text);
        },
        // The same few seconds, also as the nearest double to their count and a unit of the last place either
        // side: numbers that differ but count the same seconds of a day.
        [&]
        {
            const long long second = 3'500'000'000LL + static_cast<long long>(random() % 3000);
            double number = random() % 2 == 0 ? static_cast<double>(second / 86400) + (second % 86400) / 86400.0
                                              : static_cast<double>(second) / 86400.0;
            if (random() % 3 != 0)
                number = std::nextafter(number, random() % 2 == 0 ? 0.0 : 1e9);
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", number);
            return platform::FromUtf8(text);
        },
    };
    for (size_t kind = 0; kind < kinds.size(); ++kind)
    {
        CTable table;
        CAttribute* a = table.CreateNewAttribute(ATTR_NORMAL, false, u"N", nullptr, 10000, true);
        ASSERT_TRUE(a->SetFormat(u"####."));
        for (int i = 0; i < 10000; ++i)
            a->AddValue(nullptr, kinds[kind]());
        a->RecomputeSortedValues();
        for (long i = 1; i < a->GetNrOfValues(); ++i)
            ASSERT_LT(a->GetNumericValue(i - 1), a->GetNumericValue(i)) << "kind " << kind << " at " << i;
    }
}

// ---- checkpoints ----

namespace
{
// Appends records and a new attribute, as an import does.
void AppendData(CTable& table, int records)
{
    CAttribute* first = table.FindAttributeFromIndex(0);
    CAttribute* added = table.CreateNewAttribute(ATTR_NORMAL, false, u"New", nullptr, 10, true);
    for (int i = 0; i < records; ++i)
    {
        CRecord* record = table.AddRecord();
        first->AddValue(record, u"r" + platform::ToKString(i));
        added->AddValue(record, platform::ToKString(i % 7));
    }
    first->AddValue(table.GetRecord(0), u"changed-to-new");
}
} // namespace

TEST(Checkpoint, RestoreDropsAppendedRecordsAttributesAndValues)
{
    CTable table;
    AddColumn(table, u"Id", {u"a", u"b", u"c"});
    AddColumn(table, u"City", {u"Bern", u"Basel", u"Bern"});
    const std::string before = RenderTable(table);
    table.CreateCheckpoint();
    AppendData(table, 50);
    table.RestoreCheckpoint();
    EXPECT_FALSE(table.HasCheckpoint());
    // Record 0's value was changed to a value made after the checkpoint: it cannot keep it.
    EXPECT_EQ(RenderTable(table), "Id(1)=,b,c;City(2)=Bern,Basel,Bern; records=3");
    EXPECT_NE(before, RenderTable(table));
    EXPECT_EQ(table.FindAttributeFromIndex(0)->GetNrOfValues(), 4); // 3 values and the repaired undefined
    // Ids continue from the checkpoint.
    EXPECT_EQ(table.CreateNewAttribute(ATTR_NORMAL, false, u"Next", nullptr, 1, false)->GetId(), 3);
    table.FindAttributeFromIndex(0)->AddValue(table.AddRecord(), u"d");
    EXPECT_EQ(table.FindAttributeFromIndex(0)->GetFieldText(table.GetRecord(3)), u"d");
}

TEST(Checkpoint, FailedAppendLeavesTheTableAsItWas)
{
    // Make the N-th allocation fail for N = 1, 2, 3 ... until the append goes through;
    // after every failure the restored table must equal the table before.
    for (long n = 1;; ++n)
    {
        CTable table;
        AddColumn(table, u"Id", {u"a", u"b", u"c"});
        AddColumn(table, u"Tags", {u"|x|y|", u"z", u""});
        table.AnalyzeTable();
        const std::string before = RenderTable(table);
        table.CreateCheckpoint();
        bool failed = false;
        CTableAllocator::SetFailureCountdown(n);
        try
        {
            CAttribute* first = table.FindAttributeFromIndex(0);
            CAttribute* added = table.CreateNewAttribute(ATTR_NORMAL, false, u"New", nullptr, 10, true);
            for (int i = 0; i < 21000; ++i)
            {
                CRecord* record = table.AddRecord();
                first->AddValue(record, u"r" + platform::ToKString(i));
                added->AddValue(record, u"|p" + platform::ToKString(i % 300) + u"|q|");
            }
        }
        catch (const COutOfMemoryException&)
        {
            failed = true;
        }
        CTableAllocator::SetFailureCountdown(0);
        if (!failed)
        {
            table.DeleteCheckpoint();
            EXPECT_EQ(table.GetRecordCount(), 21003);
            EXPECT_GT(n, 5);
            break;
        }
        table.RestoreCheckpoint();
        ASSERT_EQ(RenderTable(table), before) << "allocation " << n;
        // The table keeps working after the failure.
        CRecord* record = table.AddRecord();
        table.FindAttributeFromIndex(1)->AddValue(record, u"|z|x|");
        ASSERT_EQ(table.FindAttributeFromIndex(1)->GetFieldText(record), u"|z|x|") << "allocation " << n;
    }
}

TEST(Checkpoint, ResortAfterTheCheckpointKeepsValuesConsistent)
{
    CTable table;
    CAttribute* a = AddColumn(table, u"A", {u"c", u"a"});
    table.CreateCheckpoint();
    a->AddValue(table.AddRecord(), u"b");
    a->RecomputeSortedValues();
    table.RestoreCheckpoint();
    EXPECT_EQ(RenderTable(table), "A(1)=c,a; records=2");
    EXPECT_EQ(a->FindValueIndex(u"c"), a->GetFieldValueIndex(table.GetRecord(0)));
}

TEST(Sorting, LongSharedBeginningsSortInEveryMode)
{
    // Texts that agree on their first 7, 8, 15, 16 or 17 characters, end inside a shared beginning, or differ
    // only in case and accents (also a sharp s against "ss"); numbers that are equal as numbers but not as texts;
    // lists and the undefined value. The keyed sort, sequential and parallel, must give an order in which
    // CompareValueIndices never finds a pair the wrong way round.
    // With a wide alphabet (a thousand more characters) a key covers fewer characters than with a narrow one,
    // so the shared beginnings end at other places within and across keys.
    const std::u16string stems[] = {
        u"Queenie Tanaka", u"Queenie Tanakamura", u"queenie tanaka",           u"Qu\u00e9enie Tanaka",
        u"Queenie",        u"Queenie ",           u"Queenie Tanakamura-Smith", u"abcdefgh",
        u"abcdefg",        u"stra\u00dfe",         u"strasse",                  u"\u00e4pfel"};
    for (const int mode : {SORT_COLLATION, SORT_ORDINAL})
    {
        // "wide": no format, the wide alphabet; "lists": no format, lists mixed in; "####.|": numbers with lists.
        for (const char16_t* variant : {u"", u"####.", u"wide", u"lists", u"####.|"})
        {
            const bool wide = KStringView(variant) == u"wide";
            const bool lists = KStringView(variant) == u"lists" || KStringView(variant) == u"####.|";
            const char16_t* format = KStringView(variant).starts_with(u"####.") ? u"####." : u"";
            CCollation::SetSortMode(mode);
            CTable table;
            CAttribute* a = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 100, true);
            ASSERT_TRUE(format[0] == 0 || a->SetFormat(format));
            std::mt19937 random(11);
            for (int i = 0; i < 30000; ++i)
            {
                std::u16string text;
                switch (random() % 4)
                {
                case 0: // enough distinct numbers, of both signs and several sizes, to sort by their bytes
                    text = platform::ToKString(static_cast<int>(random() % 20000) - 10000) +
                           std::u16string(std::array{u"", u".0", u".5", u".125"}[random() % 4]) +
                           (random() % 8 == 0 ? u"000" : u"");
                    break;
                case 1:
                    text = lists ? std::array{u"|a|b|", u"|b|a|", u"|x y|z|"}[random() % 3] : u"-0";
                    break;
                default:
                    text = stems[random() % std::size(stems)] + platform::ToKString(random() % 5000);
                    if (wide && random() % 3 == 0)
                        text.insert(random() % text.size(), 1, static_cast<char16_t>(0x4E00 + random() % 1000));
                }
                a->AddValue(table.AddRecord(), text);
            }
            a->AddValue(table.AddRecord(), u"");
            for (const bool parallel : {false, true})
            {
                std::vector<uint32_t> order(static_cast<size_t>(a->GetNrOfValues()));
                for (size_t i = 0; i < order.size(); ++i)
                    order[i] = static_cast<uint32_t>(i);
                a->GetValues().SortValueIndices(order, parallel);
                std::vector<uint32_t> seen = order;
                std::sort(seen.begin(), seen.end());
                ASSERT_TRUE(std::adjacent_find(seen.begin(), seen.end()) == seen.end());
                ASSERT_EQ(seen.back() + 1, seen.size());
                for (size_t i = 1; i < order.size(); ++i)
                    ASSERT_LE(a->CompareValueIndices(order[i - 1], order[i]), 0)
                        << "mode " << mode << " variant '" << platform::ToUtf8(variant) << "' parallel " << parallel
                        << ": " << platform::ToUtf8(a->GetValue(order[i - 1])) << " before "
                        << platform::ToUtf8(a->GetValue(order[i]));
            }
        }
    }
    CCollation::SetSortMode(SORT_COLLATION);
}

namespace
{
// The same texts stored one at a time as the records of `single`, and records made for them in `bulk`, whose
// attribute is left for a bulk store to fill.
struct SSideBySide
{
    explicit SSideBySide(const std::vector<KString>& texts) : views(texts.begin(), texts.end())
    {
        a = single.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 0, true);
        b = bulk.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 0, true);
        for (const KString& text : texts)
        {
            a->AddValue(single.AddRecord(), text);
            records.push_back(bulk.AddRecord());
        }
    }
    CTable single;
    CTable bulk;
    CAttribute* a = nullptr;
    CAttribute* b = nullptr;
    std::vector<CRecord*> records;
    std::vector<KStringView> views;
};
} // namespace

TEST(BulkValues, AddValuesStoresWhatSingleAddsStore)
{
    // Runs of equal texts, lists (also unsorted and repeated parts), the undefined value, a text beyond the length
    // limit, and enough distinct texts to make the hash grow several times while hashes are asked ahead.
    std::mt19937 random(5);
    std::vector<KString> texts;
    for (int i = 0; i < 20000; ++i)
    {
        switch (random() % 6)
        {
        case 0:
            texts.push_back(u"same");
            break;
        case 1:
            texts.push_back(u"");
            break;
        case 2:
            texts.push_back(u"|b|a|b|");
            break;
        case 3:
            texts.push_back(i % 997 == 0 ? KString(MAX_VALUE_LENGTH + 1, u'x') : u"t" + platform::ToKString(i));
            break;
        default:
            texts.push_back(platform::ToKString(random() % 3000));
        }
    }
    SSideBySide sides(texts);
    auto& [single, bulk, a, b, records, views] = sides;
    for (size_t first = 0; first < texts.size(); first += 7000) // pieces, as a bulk read hands them over
        b->GetValues().AddValues(records.data() + first, views.data() + first,
                                 std::min<size_t>(7000, texts.size() - first));
    ASSERT_EQ(a->GetNrOfValues(), b->GetNrOfValues());
    for (long r = 0; r < static_cast<long>(texts.size()); ++r)
    {
        ASSERT_EQ(a->GetFieldText(single.GetRecord(r)), b->GetFieldText(bulk.GetRecord(r))) << "record " << r;
        ASSERT_EQ(a->GetFieldValueIndex(single.GetRecord(r)), b->GetFieldValueIndex(bulk.GetRecord(r)));
    }
    EXPECT_EQ(b->FindValueIndex(u"|a|b|"), a->FindValueIndex(u"|a|b|"));
    EXPECT_GE(b->FindValueIndex(u"same"), 0);
}

TEST(BulkValues, AppendedValuesMergeIntoWhatSingleAddsStore)
{
    // Mostly distinct texts with repeats (also of the first piece's, and empty ones), and two texts of one hash.
    ASSERT_EQ(CValueHashTable::HashKey(u"Ab"), CValueHashTable::HashKey(u"BA"));
    std::mt19937 random(7);
    std::vector<KString> shuffled;
    for (int i = 0; i < 30000; ++i)
    {
        const unsigned r = random();
        shuffled.push_back(r % 7 == 0 ? u"" : r % 11 == 0 ? (r % 2 ? u"Ab" : u"BA") : platform::ToKString(r % 40000));
    }
    // Counters in order, some repeated side by side (also across the end of the first piece), merged in one pass;
    // and the same with one early value again at the end, out of order, which the pass must leave to the hashes.
    std::vector<KString> counted = {u""};
    for (int i = 0; i < 29999; ++i)
        counted.push_back(platform::ToKString(2000 + i - (i % 5 == 1 ? 1 : 0)));
    std::vector<KString> disordered = counted;
    disordered.back() = counted[7];
    // Pairs of texts of one hash behind many prefixes: in every group of the merge, some in one order, some in
    // the other, some alone.
    ASSERT_EQ(CValueHashTable::HashKey(u"k17Ab"), CValueHashTable::HashKey(u"k17BA"));
    std::vector<KString> colliding;
    for (int i = 0; i < 30000; ++i)
    {
        const unsigned r = random();
        colliding.push_back(u"k" + platform::ToKString(r % 4000) + (r / 4000 % 3 == 0 ? u"Ab" : u"BA"));
    }
    const std::pair<const char*, const std::vector<KString>&> cases[] = {
        {"shuffled", shuffled}, {"counted", counted}, {"disordered", disordered}, {"colliding", colliding}};
    for (const auto& [name, texts] : cases)
    {
        SCOPED_TRACE(name);
        SSideBySide sides(texts);
        auto& [single, bulk, a, b, records, views] = sides;
        b->GetValues().AddValues(records.data(), views.data(), 5000);
        b->GetValues().BeginAppendingValues();
        b->Reserve(static_cast<long>(texts.size()), static_cast<long>(texts.size()));
        for (size_t first = 5000; first < texts.size(); first += 6000)
            ASSERT_TRUE(b->GetValues().AppendValues(records.data() + first, views.data() + first,
                                                    std::min<size_t>(6000, texts.size() - first)));
        // Until merged, every appended text is a value of its own.
        const std::set<KString> firstPiece(texts.begin(), texts.begin() + 5000);
        EXPECT_EQ(b->GetNrOfValues(), static_cast<long>(firstPiece.size() + texts.size() - 5000));
        // A list cannot be appended: nothing is stored.
        const KStringView list = u"|x|y|";
        CRecord* extra = nullptr;
        EXPECT_FALSE(b->GetValues().AppendValues(&extra, &list, 1));
        EXPECT_TRUE(b->GetValues().HasUnmergedValues());
        // A lookup merges first.
        EXPECT_EQ(b->FindValueIndex(texts[4]), a->FindValueIndex(texts[4]));
        EXPECT_FALSE(b->GetValues().HasUnmergedValues());
        EXPECT_EQ(b->GetNrOfValues(), static_cast<long>(std::set<KString>(texts.begin(), texts.end()).size()));
        EXPECT_EQ(ValueList(a), ValueList(b));
        EXPECT_EQ(Indices(single, a), Indices(bulk, b));
        b->RecomputeSortedValues();
        a->RecomputeSortedValues();
        EXPECT_EQ(ValueList(a), ValueList(b));
        EXPECT_EQ(Indices(single, a), Indices(bulk, b));
    }
}

TEST(BulkValues, AppendedValuesGoWithTheCheckpoint)
{
    CTable table;
    CAttribute* attribute = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 0, true);
    attribute->AddValue(table.AddRecord(), u"b");
    attribute->AddValue(table.AddRecord(), u"a");
    table.CreateCheckpoint();
    std::vector<CRecord*> records = {table.AddRecord(), table.AddRecord(), table.AddRecord()};
    const std::vector<KStringView> texts = {u"a", u"c", u"c"};
    ASSERT_TRUE(attribute->GetValues().AppendValues(records.data(), texts.data(), texts.size()));
    EXPECT_EQ(attribute->GetNrOfValues(), 5);
    table.RestoreCheckpoint();
    EXPECT_FALSE(attribute->GetValues().HasUnmergedValues());
    EXPECT_EQ(ValueList(attribute), "b a");
    EXPECT_EQ(attribute->FindValueIndex(u"a"), 1);
    EXPECT_EQ(attribute->FindValueIndex(u"c"), -1);
    // Appended again, then merged by the sort: "a" is the one made before.
    records = {table.AddRecord(), table.AddRecord(), table.AddRecord()};
    ASSERT_TRUE(attribute->GetValues().AppendValues(records.data(), texts.data(), texts.size()));
    attribute->RecomputeSortedValues();
    EXPECT_EQ(ValueList(attribute), "a b c");
    EXPECT_EQ(Indices(table, attribute), "1 0 0 2 2");
}

TEST(Sorting, ValuesAtTheLengthLimitThatDifferOnlyAtTheEnd)
{
    // Keyed eight characters at a time, these need more than a thousand rounds of keying their ties.
    CTable table;
    CAttribute* a = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 100, true);
    const KString stem(MAX_VALUE_LENGTH - 2, u'q');
    for (int i = 59; i >= 0; --i)
        a->AddValue(table.AddRecord(), stem + platform::ToKString(i % 10) + platform::ToKString(i / 10));
    a->AddValue(table.AddRecord(), stem);
    a->RecomputeSortedValues();
    ASSERT_EQ(a->GetNrOfValues(), 61);
    EXPECT_EQ(KString(a->GetValue(0)), stem);
    for (long i = 1; i < a->GetNrOfValues(); ++i)
        ASSERT_LT(a->CompareValueIndices(i - 1, i), 0) << "at " << i;
}

TEST(Sorting, NumbersInOrderButForOneAreSortedInFull)
{
    // Ascending numbers are left as they are; an equal number, the undefined value, a text, a list (whose
    // parts are values too) or a step down anywhere among them needs the full sort.
    const struct
    {
        std::vector<const char16_t*> m_vTexts;
        const char* m_pSorted;
    } cases[] = {
        {{u"1", u"2", u"7"}, "1 2 7"},         {{u"1", u"2", u"2.0", u"3"}, "1 2 2.0 3"},
        {{u"1", u"", u"2"}, "1 2 _"},          {{u"1", u"x", u"2"}, "1 2 x"},
        {{u"-1", u"-2", u"0.5"}, "-2 -1 0.5"}, {{u"0", u"|1|2|", u"3"}, "0 1 2 3 |1|2|"},
    };
    for (const auto& c : cases)
    {
        CTable table;
        CAttribute* a = table.CreateNewAttribute(ATTR_NORMAL, false, u"N", nullptr, 10, true);
        ASSERT_TRUE(a->SetFormat(u"####."));
        for (const char16_t* text : c.m_vTexts)
            a->AddValue(table.AddRecord(), text);
        a->RecomputeSortedValues();
        EXPECT_EQ(ValueList(a), c.m_pSorted);
    }
}

TEST(Sorting, ValuesThatArrivedInOrderKeepTheirIndices)
{
    // As texts "10" sorts before "9", so the values are not known to be sorted while the column is text; as
    // numbers they arrived in order, and sorting them must leave every index (and every record) as it was.
    CTable table;
    std::vector<std::u16string> texts;
    for (int i = 1; i <= 12; ++i)
        texts.push_back(platform::ToKString(i));
    CAttribute* a = AddColumn(table, u"A", texts);
    ASSERT_EQ(a->SetFormatString(u"####"), 1);
    a->RecomputeSortedValues();
    EXPECT_TRUE(a->AreValuesSorted());
    for (long i = 0; i < 12; ++i)
    {
        EXPECT_EQ(KString(a->GetValue(i)), texts[static_cast<size_t>(i)]);
        EXPECT_EQ(a->GetFieldValueIndex(table.GetRecord(i)), i);
    }
    EXPECT_EQ(a->FindValueIndex(u"10"), 9); // the hash is made again on demand
    ASSERT_EQ(a->SetFormatString(u""), 1);  // as texts they are out of order again
    a->RecomputeSortedValues();
    EXPECT_EQ(KString(a->GetValue(0)), u"1");
    EXPECT_EQ(KString(a->GetValue(1)), u"10");
    EXPECT_EQ(a->GetFieldText(table.GetRecord(9)), u"10");
}

TEST(DistinctEstimate, CountsEachKeyOnceWithinAFewPerCent)
{
    for (const long distinct : {10L, 1000L, 100000L, 2000000L})
    {
        CDistinctEstimate estimate;
        for (int round = 0; round < 3; ++round) // every key three times
        {
            for (long i = 0; i < distinct; ++i)
                estimate.Add(CValueHashTable::HashKey(platform::ToKString(i)));
        }
        EXPECT_NEAR(estimate.Estimate(), static_cast<double>(distinct), static_cast<double>(distinct) * 0.05 + 1)
            << distinct;
    }
    CDistinctEstimate none;
    EXPECT_EQ(none.Estimate(), 0.0);
}

TEST(BulkValues, AppendedValuesThatRepeatAreLookedUpFromThenOn)
{
    // 400,000 texts of 30,000 kinds (as a column of amounts with two decimals), each kind first met in the
    // first hundred thousand: the appends stop once most values repeat, and the copies' texts go.
    std::mt19937 random(11);
    std::vector<KString> texts;
    for (int i = 0; i < 400000; ++i)
        texts.push_back(platform::ToKString(static_cast<long>(random() % 30000)) + u".25");
    SSideBySide sides(texts);
    auto& [single, bulk, a, b, records, views] = sides;
    b->GetValues().AddValues(records.data(), views.data(), 1000);
    b->GetValues().BeginAppendingValues();
    int appended = 0;
    bool appending = true;
    for (size_t first = 1000; first < texts.size(); first += 50000) // as a bulk read hands the pieces over
    {
        const size_t count = std::min<size_t>(50000, texts.size() - first);
        if (appending && !b->GetValues().AppendValues(records.data() + first, views.data() + first, count))
            appending = false;
        else if (appending)
            ++appended;
        if (!appending)
            b->GetValues().AddValues(records.data() + first, views.data() + first, count);
    }
    EXPECT_GE(appended, 1);
    EXPECT_LE(appended, 3) << "still appended after most values repeated";
    EXPECT_FALSE(appending);
    b->GetValues().MergeEqualValues();
    EXPECT_EQ(ValueList(a), ValueList(b));
    EXPECT_EQ(Indices(single, a), Indices(bulk, b));
    // The texts of 30,000 values of about 8 units, not of 100,000 or more appended copies.
    EXPECT_LT(b->GetAllocatedBytes() - b->GetFieldArray().GetAllocatedMemory() -
                  b->GetValueArray()->GetAllocatedBytes(),
              1000000u);
    // A new bulk store may append again.
    b->GetValues().BeginAppendingValues();
    CRecord* record = bulk.AddRecord();
    const KStringView fresh = u"fresh";
    EXPECT_TRUE(b->GetValues().AppendValues(&record, &fresh, 1));
    EXPECT_EQ(b->FindValueIndex(u"fresh"), 30000);
}

TEST(BulkValues, OneLargeAppendOfRepeatingValuesSwitchesOnTheWay)
{
    // As a computed column is stored: all its texts in one call.
    std::vector<KString> texts;
    for (int i = 0; i < 300000; ++i)
        texts.push_back(u"group" + platform::ToKString(i * 7919L % 251));
    SSideBySide sides(texts);
    auto& [single, bulk, a, b, records, views] = sides;
    b->GetValues().BeginAppendingValues();
    ASSERT_TRUE(b->GetValues().AppendValues(records.data(), views.data(), views.size()));
    EXPECT_FALSE(b->GetValues().HasUnmergedValues());
    EXPECT_EQ(b->GetNrOfValues(), 251);
    EXPECT_EQ(ValueList(a), ValueList(b));
    EXPECT_EQ(Indices(single, a), Indices(bulk, b));
}

TEST(BulkValues, DistinctAppendsStayAppendedAndKeepTheirTexts)
{
    std::vector<KString> texts;
    for (int i = 0; i < 200000; ++i)
        texts.push_back(u"key" + platform::ToKString(i));
    SSideBySide sides(texts);
    auto& [single, bulk, a, b, records, views] = sides;
    b->GetValues().BeginAppendingValues();
    for (size_t first = 0; first < texts.size(); first += 40000)
        ASSERT_TRUE(b->GetValues().AppendValues(records.data() + first, views.data() + first, 40000));
    const char16_t* stored = b->GetValue(123);
    b->GetValues().MergeEqualValues();
    EXPECT_EQ(b->GetValue(123), stored); // nothing merged, nothing moved
    EXPECT_EQ(Indices(single, a), Indices(bulk, b));
}

TEST(BulkValues, CompactedTextsGoWithTheCheckpoint)
{
    // Values before a checkpoint, then many repeats appended and merged (the store is copied without the
    // copies), then the checkpoint restored: the values of before stay, readable and findable.
    CTable table;
    CAttribute* attribute = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 0, true);
    attribute->AddValue(table.AddRecord(), u"before1");
    attribute->AddValue(table.AddRecord(), u"before2");
    table.CreateCheckpoint();
    std::vector<KString> texts;
    for (int i = 0; i < 200000; ++i)
        texts.push_back(i % 3 == 0 ? KString(u"before2") : u"after" + platform::ToKString(i % 500));
    const std::vector<KStringView> views(texts.begin(), texts.end());
    std::vector<CRecord*> records(texts.size());
    table.AddRecords(records.size(), records.data());
    attribute->GetValues().BeginAppendingValues();
    ASSERT_TRUE(attribute->GetValues().AppendValues(records.data(), views.data(), views.size()));
    EXPECT_EQ(attribute->GetNrOfValues(), 502);
    EXPECT_EQ(attribute->GetFieldText(records[3]), u"before2");
    EXPECT_EQ(attribute->GetFieldText(records[4]), u"after4");
    table.RestoreCheckpoint();
    EXPECT_EQ(ValueList(attribute), "before1 before2");
    EXPECT_EQ(Indices(table, attribute), "0 1");
    EXPECT_EQ(attribute->FindValueIndex(u"before2"), 1);
    attribute->AddValue(table.AddRecord(), u"later");
    EXPECT_EQ(ValueList(attribute), "before1 before2 later");
}

TEST(ComputedValues, StoredInPiecesAsOneByOne)
{
    // Over several pieces: mostly distinct numbers with repeats (also of the first piece), then a column whose
    // values repeat from the start (the appends stop on the way), and one with a list (the one-by-one path).
    std::mt19937 random(3);
    std::vector<KString> distinct, repeating, withList;
    std::vector<double> numbers;
    for (int i = 0; i < 150000; ++i)
    {
        const long n = static_cast<long>(random() % 120000);
        distinct.push_back(platform::ToKString(n));
        numbers.push_back(static_cast<double>(n));
        repeating.push_back(u"r" + platform::ToKString(n % 300));
        withList.push_back(i == 140000 ? KString(u"|a|b|") : u"w" + platform::ToKString(n % 50));
    }
    const std::pair<const char*, const std::vector<KString>&> cases[] = {
        {"distinct", distinct}, {"repeating", repeating}, {"with a list", withList}};
    for (const auto& [name, texts] : cases)
    {
        SCOPED_TRACE(name);
        const bool numeric = &texts == &distinct;
        CTable single;
        CTable bulk;
        CAttribute* a = single.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 0, true);
        CAttribute* b = bulk.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 0, true);
        if (numeric)
        {
            ASSERT_EQ(a->SetFormatString(u"####"), 1);
            ASSERT_EQ(b->SetFormatString(u"####"), 1);
        }
        std::vector<CRecord*> records;
        for (size_t i = 0; i < texts.size(); ++i)
        {
            a->AddValue(single.AddRecord(), texts[i], numeric, numeric ? numbers[i] : std::nan(""));
            records.push_back(bulk.AddRecord());
        }
        int asked = 0;
        AddComputedValues(*b, records.data(), texts.size(), numeric,
                          [&](size_t from, size_t to, KStringView* pieceTexts, double* pieceNumbers)
                          {
                              ++asked;
                              EXPECT_LE(to - from, size_t{1} << 16);
                              for (size_t i = from; i < to; ++i)
                              {
                                  pieceTexts[i - from] = texts[i];
                                  if (pieceNumbers)
                                      pieceNumbers[i - from] = numbers[i];
                              }
                          });
        EXPECT_GE(asked, 3);
        ASSERT_EQ(ValueList(a), ValueList(b));
        EXPECT_EQ(Indices(single, a), Indices(bulk, b));
        EXPECT_EQ(a->AreValuesSorted(), b->AreValuesSorted());
        if (numeric)
        {
            for (long k = 0; k < b->GetNrOfValues(); ++k)
                ASSERT_EQ(b->GetNumericValue(k), a->GetNumericValue(k)) << k;
        }
    }
}

TEST(BulkValues, AppendsRolledBackAreNotCountedAsDistinctAfterwards)
{
    // Distinct values appended on both sides of a checkpoint, the later ones rolled back, then values that
    // repeat: the count of distinct values must forget the rolled-back ones, or the appends never stop.
    CTable table;
    CAttribute* attribute = table.CreateNewAttribute(ATTR_NORMAL, false, u"A", nullptr, 0, true);
    auto append = [&](const std::vector<KString>& texts)
    {
        const std::vector<KStringView> views(texts.begin(), texts.end());
        std::vector<CRecord*> records(texts.size());
        table.AddRecords(records.size(), records.data());
        return attribute->GetValues().AppendValues(records.data(), views.data(), views.size());
    };
    auto numbered = [](const char16_t* prefix, int count, int kinds)
    {
        std::vector<KString> texts;
        for (int i = 0; i < count; ++i)
            texts.push_back(prefix + platform::ToKString(i % kinds));
        return texts;
    };
    attribute->GetValues().BeginAppendingValues();
    ASSERT_TRUE(append(numbered(u"d", 70000, 70000)));
    table.CreateCheckpoint();
    ASSERT_TRUE(append(numbered(u"e", 70000, 70000)));
    table.RestoreCheckpoint();
    ASSERT_EQ(attribute->GetNrOfValues(), 70000);
    bool refused = false;
    for (int piece = 0; piece < 7 && !refused; ++piece)
        refused = !append(numbered(u"r", 20000, 1000));
    EXPECT_TRUE(refused);
    EXPECT_EQ(attribute->GetNrOfValues(), 71000);
}
