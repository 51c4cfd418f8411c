// The prefix sums of record columns against the plain sums they replace, and the lookups by pixel.

#include "DisplayTestSupport.h"

#include "display/RecordGeometry.h"

#include <random>

using namespace display;

namespace
{

// A table of n records with random flags and a numeric attribute of random widths (some zero, negative or
// undefined).
struct SRandomTable
{
    SRandomTable(int n, unsigned seed)
    {
        std::mt19937 random(seed);
        std::string pattern;
        std::vector<std::u16string> values;
        for (int i = 0; i < n; ++i)
        {
            const int kind = static_cast<int>(random() % 10);
            pattern += kind < 5 ? 'Q' : (kind < 7 ? 'R' : (kind < 9 ? 'O' : '-'));
            const int value = static_cast<int>(random() % 12) - 2; // -2 .. 9
            values.push_back(value == 9 ? u"" : platform::FromUtf8(std::to_string(value)));
        }
        amount = AddColumn(table, u"Amount", values);
        EXPECT_TRUE(amount->SetFormat(u"####"));
        SetRecordFlags(table, pattern);
    }
    CTable table;
    CAttribute* amount = nullptr;
};

// The width of a record under a rule, worked out from its flags and value alone.
double PlainWidth(CRecord* record, CAttribute* amount, const SWidthRule& rule, bool openAsQualified)
{
    const ERecordClass c = CRecordGeometry::Classify(record, openAsQualified);
    double weight = 0.0;
    if (amount && c != CLASS_OPEN)
    {
        const double value = amount->GetNumericValue(amount->GetFieldValueIndex(record));
        weight = value > 0.0 ? value : 0.0;
    }
    return rule.m_dBase[c] + rule.m_dPerWeight[c] * weight;
}

SWidthRule RandomRule(std::mt19937& random)
{
    std::uniform_real_distribution<double> width(0.0, 40.0);
    SWidthRule rule;
    for (int c = 0; c < CLASS_COUNT; ++c)
    {
        rule.m_dBase[c] = random() % 4 == 0 ? 0.0 : width(random);
        rule.m_dPerWeight[c] = c == CLASS_OPEN ? 0.0 : width(random) / 10.0;
    }
    return rule;
}

} // namespace

TEST(RecordGeometry, PrefixSumsAgreeWithPlainSums)
{
    for (unsigned seed = 1; seed <= 6; ++seed)
    {
        SRandomTable data(1500, seed);
        std::mt19937 random(seed * 77);
        for (const bool withWeights : {false, true})
        {
            for (const bool openAsQualified : {false, true})
            {
                CRecordGeometry geometry;
                long count = 0;
                CRecord* const* records = data.table.GetShownRecords().GetData();
                count = data.table.GetShownRecords().GetSize();
                geometry.Build(records, count, withWeights ? data.amount : nullptr, openAsQualified);
                ASSERT_EQ(geometry.GetSize(), count);
                const SWidthRule rule = RandomRule(random);
                double sum = 0.0;
                long classes[CLASS_COUNT] = {0, 0, 0};
                for (long i = 0; i < count; ++i)
                {
                    ASSERT_NEAR(geometry.GetLeft(i, rule), sum, 1e-9 * (1.0 + sum)) << "seed " << seed << " at " << i;
                    const double width = PlainWidth(records[i], withWeights ? data.amount : nullptr, rule,
                                                    openAsQualified);
                    ASSERT_NEAR(geometry.GetWidth(i, rule), width, 1e-9 * (1.0 + width)) << "at " << i;
                    ASSERT_EQ(geometry.FindPosition(records[i]), i);
                    ++classes[geometry.GetClass(i)];
                    sum += width;
                }
                EXPECT_NEAR(geometry.GetLeft(count, rule), sum, 1e-9 * (1.0 + sum));
                for (int c = 0; c < CLASS_COUNT; ++c)
                    EXPECT_EQ(geometry.Count(static_cast<ERecordClass>(c)), classes[c]);
                if (openAsQualified)
                {
                    EXPECT_EQ(geometry.Count(CLASS_OPEN), 0);
                }
            }
        }
    }
}

TEST(RecordGeometry, RecordsNotInTheSequenceHaveNoPosition)
{
    SRandomTable data(50, 3);
    CRecordGeometry geometry;
    EXPECT_EQ(geometry.FindPosition(data.table.GetRecord(0)), -1); // empty
    EXPECT_EQ(geometry.GetSize(), 0);
    EXPECT_EQ(geometry.GetLeft(0, SWidthRule{}), 0.0);
    geometry.Build(data.table.GetShownRecords().GetData(), data.table.GetShownRecords().GetSize(), nullptr, false);
    for (long i = 0; i < data.table.GetRecordCount(); ++i)
    {
        CRecord* record = data.table.GetRecord(i);
        EXPECT_EQ(geometry.FindPosition(record) >= 0, record->m_bShown != 0) << i;
    }
    EXPECT_EQ(geometry.FindPosition(nullptr), -1);
}

TEST(RecordGeometry, PixelLookupAtBoundaries)
{
    // Widths 10 (Q), 0 (R), 4 (R), 10 (Q): the refused records are 0 and 4 wide by their weights.
    CTable table;
    CAttribute* amount = AddColumn(table, u"Amount", {u"1", u"0", u"2", u"1"});
    ASSERT_TRUE(amount->SetFormat(u"####"));
    SetRecordFlags(table, "QRRQ");
    CRecordGeometry geometry;
    geometry.Build(table.GetShownRecords().GetData(), 4, amount, false);
    SWidthRule rule;
    rule.m_dBase[CLASS_QUALIFIED] = 10.0;
    rule.m_dPerWeight[CLASS_REFUSED] = 2.0;
    EXPECT_EQ(geometry.GetLeft(4, rule), 24.0);
    struct SCase
    {
        double x;
        long position;
    };
    for (const SCase& c : {SCase{-0.5, -1}, SCase{0.0, 0}, SCase{9.999, 0}, SCase{10.0, 2}, SCase{13.5, 2},
                           SCase{14.0, 3}, SCase{23.99, 3}, SCase{24.0, -1}, SCase{1e9, -1}})
        EXPECT_EQ(geometry.FindPositionAt(c.x, rule), c.position) << "x = " << c.x;
    EXPECT_EQ(geometry.FindPositionAt(std::nan(""), rule), -1);
    using Range = std::pair<long, long>;
    EXPECT_EQ(geometry.FindPositionsIn(0.0, 24.0, rule), Range(0, 4));
    EXPECT_EQ(geometry.FindPositionsIn(10.0, 14.0, rule), Range(2, 3)); // the empty column at 10 is left out
    EXPECT_EQ(geometry.FindPositionsIn(9.0, 11.0, rule), Range(0, 3));
    EXPECT_EQ(geometry.FindPositionsIn(14.0, 14.5, rule), Range(3, 4));
    EXPECT_EQ(geometry.FindPositionsIn(24.0, 30.0, rule), Range(0, 0));
    EXPECT_EQ(geometry.FindPositionsIn(5.0, 5.0, rule), Range(0, 0));
    EXPECT_EQ(geometry.FindPositionsIn(-10.0, 0.5, rule), Range(0, 1));
}

TEST(RecordGeometry, LookupsAgreeWithALinearScan)
{
    SRandomTable data(3000, 11);
    std::mt19937 random(12);
    CRecordGeometry geometry;
    const long n = data.table.GetShownRecords().GetSize();
    geometry.Build(data.table.GetShownRecords().GetData(), n, data.amount, false);
    const SWidthRule rule = RandomRule(random);
    const double total = geometry.GetLeft(n, rule);
    std::uniform_real_distribution<double> pixel(-5.0, total + 5.0);
    for (int k = 0; k < 2000; ++k)
    {
        const double x0 = pixel(random);
        const double x1 = x0 + pixel(random) / 50.0;
        long expected = -1;
        long first = -1;
        long last = -1;
        for (long i = 0; i < n; ++i)
        {
            const double left = geometry.GetLeft(i, rule);
            const double right = geometry.GetLeft(i + 1, rule);
            if (expected < 0 && left <= x0 && x0 < right)
                expected = i;
            if (left < x1 && right > x0)
            {
                if (first < 0)
                    first = i;
                last = i + 1;
            }
        }
        ASSERT_EQ(geometry.FindPositionAt(x0, rule), expected) << "x = " << x0;
        const auto range = geometry.FindPositionsIn(x0, x1, rule);
        if (first < 0)
        {
            ASSERT_EQ(range.first, range.second) << "[" << x0 << ", " << x1 << ")";
        }
        else
        {
            // The range may hold empty columns at its ends only where they lie inside it.
            ASSERT_LE(range.first, first);
            ASSERT_GE(range.second, last);
            for (long i = range.first; i < first; ++i)
                ASSERT_EQ(geometry.GetWidth(i, rule), 0.0);
            for (long i = last; i < range.second; ++i)
                ASSERT_EQ(geometry.GetWidth(i, rule), 0.0);
        }
    }
}
