// Summary attributes: what the case files cannot say (long lists, stored numbers, the list parts shown,
// names and legality).

#include "formula/Summary.h"
#include "formula/SummaryDefinition.h"

#include "engine/Attribute.h"
#include "engine/Table.h"
#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <random>

namespace
{

using namespace formula;

struct SSummaryTable
{
    CTable table;
    CAttribute* key = table.CreateNewAttribute(ATTR_NORMAL, false, u"key", nullptr, 16, true);
    CAttribute* value = table.CreateNewAttribute(ATTR_NORMAL, false, u"value", nullptr, 16, true);
    CAttribute* group = table.CreateNewAttribute(ATTR_NORMAL, false, u"group", nullptr, 16, true);
    CAttribute* summary = table.CreateNewAttribute(ATTR_SUMMARY, false, u"summary", nullptr, 16, true);

    void Add(KStringView v, KStringView g)
    {
        CRecord* record = table.AddRecord();
        record->m_bQualified = 1;
        key->AddValue(record, platform::ToKString(table.GetRecordCount()));
        value->AddValue(record, v);
        group->AddValue(record, g);
    }
    KString Text(long record) { return summary->GetFieldText(table.GetRecord(record)); }
};

TEST(Summary, ListBeyond254DistinctValuesIsTheEmptyListAndRaisesThePartsShownToTen)
{
    SSummaryTable t;
    for (int i = 0; i < 300; ++i)
        t.Add(u"v" + platform::ToKString(i), i < 255 ? u"big" : u"small");
    SSummaryDefinition definition{t.value, t.group, SUMMARY_LIST};
    RecomputeSummary(t.table, *t.summary, definition);
    EXPECT_EQ(t.Text(0), u"|");
    EXPECT_EQ(t.Text(299), u"|v255|v256|v257|v258|v259|v260|v261|v262|v263|v264|v265|v266|v267|v268|v269|v270|"
                           u"v271|v272|v273|v274|v275|v276|v277|v278|v279|v280|v281|v282|v283|v284|v285|v286|"
                           u"v287|v288|v289|v290|v291|v292|v293|v294|v295|v296|v297|v298|v299|");
    EXPECT_EQ(definition.nMaxListParts, 10);
    EXPECT_FALSE(t.summary->IsNumeric());
}

TEST(Summary, ResultsAreStoredWithTheirNumbersAndTheOldValuesReplaced)
{
    SSummaryTable t;
    t.value->SetFormatString(u"####.");
    for (const char16_t* v : {u"1", u"2", u"2", u""})
        t.Add(v, u"g");
    SSummaryDefinition definition{t.value, nullptr, SUMMARY_SUM_PERCENT};
    RecomputeSummary(t.table, *t.summary, definition);
    EXPECT_EQ(t.Text(0), u"100%");
    // A text format is replaced by a numeric one; percentages carry their number despite the "%".
    definition.nFunction = SUMMARY_PERCENTILE;
    RecomputeSummary(t.table, *t.summary, definition);
    EXPECT_EQ(t.Text(0), u"33.33%");
    const long index = t.summary->GetFieldValueIndex(t.table.GetRecord(0));
    EXPECT_NEAR(t.summary->GetNumericValue(index), 100.0 / 3, 1e-9);
    EXPECT_EQ(t.Text(3), u"");
    EXPECT_EQ(t.summary->GetNrOfValues(), 3); // 33.33%, 100% and undefined: nothing left of the sums
    // A text result makes the format text again.
    definition.nFunction = SUMMARY_LIST;
    RecomputeSummary(t.table, *t.summary, definition);
    EXPECT_EQ(t.Text(3), u"|1|2|");
    EXPECT_FALSE(t.summary->IsNumeric());
}

TEST(Summary, ManyDistinctResultsTakeTheBulkPath)
{
    SSummaryTable t;
    t.value->SetFormatString(u"####");
    for (int i = 0; i < 6000; ++i)
        t.Add(platform::ToKString(i % 7 == 3 ? -1 : i), i % 2 ? u"odd" : u"even");
    SSummaryDefinition definition{t.value, t.group, SUMMARY_ACCUMULATION};
    t.summary->SetFormatString(ProposeSummaryFormat(definition));
    RecomputeSummary(t.table, *t.summary, definition);
    double even = 0;
    double odd = 0;
    for (int i = 0; i < 6000; ++i)
    {
        double& total = i % 2 ? odd : even;
        total += i % 7 == 3 ? -1 : i;
        const long index = t.summary->GetFieldValueIndex(t.table.GetRecord(i));
        ASSERT_EQ(t.summary->GetNumericValue(index), total) << i;
        ASSERT_EQ(t.Text(i), platform::ToKString(static_cast<long long>(total))) << i;
    }
    // Results shared by records: each stored once, the others take its value index.
    SSummaryTable pairs;
    pairs.value->SetFormatString(u"####");
    for (int i = 0; i < 10000; ++i)
        pairs.Add(platform::ToKString(i / 2), u"g");
    SSummaryDefinition ranking{pairs.value, nullptr, SUMMARY_RANKING, true};
    RecomputeSummary(pairs.table, *pairs.summary, ranking);
    EXPECT_EQ(pairs.summary->GetNrOfValues(), 5000);
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(pairs.Text(i), platform::ToKString(i / 2 + 1)) << i;
}

TEST(Summary, NamesVerbsAndClasses)
{
    for (int32_t f = SUMMARY_COUNT; f <= SUMMARY_FREQUENCY; ++f)
    {
        EXPECT_EQ(ParseSummaryFunctionName(GetSummaryFunctionVerb(f)), f);
        EXPECT_NE(GetSummaryFunctionName(f), u"???") << f;
    }
    EXPECT_EQ(ParseSummaryFunctionName("Sum"), 0);
    EXPECT_EQ(GetSummaryFunctionName(24), u"???");
    SSummaryTable t;
    SSummaryDefinition definition{t.value, t.group, SUMMARY_MEDIAN};
    EXPECT_EQ(GetSummaryName(definition), FormatResource(2336, {LoadResourceString(2947), u"group"}));
    definition.pGrouping = nullptr;
    EXPECT_EQ(GetSummaryName(definition), LoadResourceString(2947));
    int sortDependent = 0;
    int advanced = 0;
    for (int32_t f = 0; f <= 25; ++f)
    {
        sortDependent += IsSortDependentSummary(f) ? f : 0;
        advanced += IsAdvancedSummaryFunction(f) ? f : 0;
    }
    EXPECT_EQ(sortDependent, 10 + 11 + 19 + 22);
    EXPECT_EQ(advanced, 13 + 14 + 15 + 16 + 20);
}

TEST(Summary, LegalityDependsOnTheSummarisedType)
{
    SSummaryTable t;
    t.value->SetFormatString(u"####");
    CAttribute* date = t.table.CreateNewAttribute(ATTR_NORMAL, false, u"date", nullptr, 16, true);
    date->SetFormatString(u"jjjj-mm-tt");
    EXPECT_EQ(CheckIfLegalSummary(*t.value, t.group, SUMMARY_SUM), 0);
    EXPECT_EQ(CheckIfLegalSummary(*t.group, t.value, SUMMARY_SUM), 4351);
    EXPECT_EQ(CheckIfLegalSummary(*t.group, t.value, SUMMARY_LIST), 0);
    EXPECT_EQ(CheckIfLegalSummary(*t.value, t.value, SUMMARY_COUNT), 4350);
    EXPECT_EQ(CheckIfLegalSummary(*date, nullptr, SUMMARY_ACCUMULATION), 4352);
    EXPECT_EQ(CheckIfLegalSummary(*date, nullptr, SUMMARY_MEDIAN), 0);
    EXPECT_EQ(CheckIfLegalSummary(*t.value, nullptr, 0), 4353);
    for (int id : {4350, 4351, 4352, 4353, 4354})
        EXPECT_NE(FormatResource(id, {u"a"}).find(u"a"), KString::npos) << id;
}

// A summary over a summary with one result per group: asked (2743) with a grouping attribute, Yes setting the
// unique-value-per-group flag; warned (2740) without one; quiet for functions that count each value once, for
// inner results per record and when the flag is set; an illegal summary is refused before anything is asked.
TEST(Summary, NestedSummariesAreWarnedAboutAndTheRemedyOffered)
{
    struct SCase
    {
        int32_t nInner;      // the inner summary's function
        int32_t nOuter;      // the outer one's
        bool bGrouped;       // the outer one has a grouping attribute
        bool bUnique;        // and the unique flag already
        int nAnswer;         // the handler's answer
        int nExpectedCode;   // the message shown (0: none)
        bool bExpectedUnique; // the flag afterwards
        int nExpectedResult; // what the check returns
    };
    const SCase cases[] = {
        {SUMMARY_SUM, SUMMARY_SUM, true, false, ANSWER_YES, 2743, true, 0},
        {SUMMARY_SUM, SUMMARY_AVERAGE, true, false, ANSWER_NO, 2743, false, 0},
        {SUMMARY_AVERAGE, SUMMARY_MEDIAN, false, false, ANSWER_YES, 2740, false, 0},
        {SUMMARY_SUM, SUMMARY_SUM, true, true, ANSWER_YES, 0, true, 0},
        {SUMMARY_SUM, SUMMARY_MAXIMUM, true, false, ANSWER_YES, 0, false, 0},
        {SUMMARY_RANKING, SUMMARY_SUM, true, false, ANSWER_YES, 0, false, 0},
        {SUMMARY_SUM, 99, true, false, ANSWER_YES, 0, false, 4353},
    };
    for (const SCase& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.nInner) + " " + std::to_string(c.nOuter));
        SSummaryTable t;
        t.value->SetFormatString(u"####");
        t.Add(u"1", u"a");
        t.Add(u"2", u"b");
        t.summary->SetFormatString(u"####");
        t.summary->SetDefinition(std::make_unique<CSummaryDefinition>(SSummaryDefinition{t.value, t.group, c.nInner}));
        std::vector<int> codes;
        t.table.SetMessageHandler(
            [&](const SMessage& message)
            {
                codes.push_back(message.m_nCode);
                EXPECT_NE(message.m_strText.find(u"summary"), KString::npos);
                return c.nAnswer;
            });
        SSummaryDefinition outer{t.summary, c.bGrouped ? t.key : nullptr, c.nOuter, false, c.bUnique};
        EXPECT_EQ(CheckSummaryBaseTypes(t.table, outer), c.nExpectedResult);
        EXPECT_EQ(codes, c.nExpectedCode ? std::vector<int>{c.nExpectedCode} : std::vector<int>{});
        EXPECT_EQ(outer.bUniquePerGroup, c.bExpectedUnique);
    }
}

} // namespace

namespace
{

// The group figures of random tables, the run's way against a plain one: a map of each group's numbers.
// Values are left unsorted once and sorted once (the median then goes by value indices alone).
TEST(Summary, GroupFiguresAgreeWithAPlainComputation)
{
    for (const bool sorted : {false, true})
    {
        SSummaryTable t;
        t.value->SetFormatString(u"####.");
        std::mt19937 random(sorted ? 7 : 11);
        for (int i = 0; i < 3000; ++i)
        {
            const bool undefined = random() % 10 == 0;
            t.Add(undefined ? KString() : platform::ToKString(static_cast<long long>(random() % 400) - 100),
                  random() % 20 == 0 ? KString() : u"g" + platform::ToKString(random() % 13));
            t.table.GetRecord(i)->m_bQualified = random() % 4 != 0;
        }
        if (sorted)
        {
            t.value->RecomputeSortedValues();
            t.group->RecomputeSortedValues();
        }
        std::map<KString, std::vector<double>> groups;
        for (long i = 0; i < t.table.GetRecordCount(); ++i)
        {
            const CRecord* record = t.table.GetRecord(i);
            const KString text = t.value->GetFieldText(record);
            if (record->m_bQualified && !text.empty())
                groups[t.group->GetFieldText(record)].push_back(std::stod(platform::ToUtf8(text)));
        }
        for (const int32_t function :
             {SUMMARY_SUM, SUMMARY_AVERAGE, SUMMARY_MINIMUM, SUMMARY_MAXIMUM, SUMMARY_MEDIAN, SUMMARY_VARIANCE})
        {
            SSummaryDefinition definition{t.value, t.group, function};
            RecomputeSummary(t.table, *t.summary, definition);
            for (long i = 0; i < t.table.GetRecordCount(); ++i)
            {
                std::vector<double> xs = groups[t.group->GetFieldText(t.table.GetRecord(i))];
                const long index = t.summary->GetFieldValueIndex(t.table.GetRecord(i));
                if (xs.empty())
                {
                    ASSERT_EQ(t.Text(i), u"") << function << " record " << i;
                    continue;
                }
                std::sort(xs.begin(), xs.end());
                const double n = static_cast<double>(xs.size());
                const double mean = std::accumulate(xs.begin(), xs.end(), 0.0) / n;
                const size_t half = xs.size() / 2;
                double expected = xs.size() % 2 ? xs[half] : (xs[half - 1] + xs[half]) / 2; // the median
                if (function == SUMMARY_SUM)
                    expected = mean * n;
                else if (function == SUMMARY_AVERAGE)
                    expected = mean;
                else if (function == SUMMARY_MINIMUM)
                    expected = xs.front();
                else if (function == SUMMARY_MAXIMUM)
                    expected = xs.back();
                else if (function == SUMMARY_VARIANCE)
                    expected = std::accumulate(xs.begin(), xs.end(), 0.0,
                                               [&](double a, double x) { return a + (x - mean) * (x - mean); }) /
                               n;
                ASSERT_NEAR(t.summary->GetNumericValue(index), expected, 1e-9)
                    << function << " record " << i << (sorted ? " sorted" : " unsorted");
            }
        }
    }
}

} // namespace
