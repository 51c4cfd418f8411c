// Guessing formats from the values of imported attributes (also the columns of data/formats/guesses.txt),
// checking values against formats, and the table's analysis that does both before sorting.

#include "FormatTestSupport.h"
#include "TableTestSupport.h"

#include "engine/Table.h"
#include "options/OptionSet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

namespace
{
// A table whose formats and collation are those of a language.
CAttribute* GuessedColumn(CTable& table, const std::vector<std::u16string>& values)
{
    CAttribute* attribute = AddColumn(table, u"C" + platform::ToKString(table.GetAttributeCount()), values);
    attribute->GuessFormat();
    return attribute;
}

std::string FormatOf(const CAttribute* attribute)
{
    return platform::ToUtf8(attribute->GetFormatString());
}

// The values of a guessed column that its format reads, each written back as it was; the first that is
// not, as a failure message (empty when all are).
std::string FirstValueNotWrittenBack(CAttribute* attribute, const std::vector<KString>& values)
{
    for (const KString& value : values)
    {
        size_t used = 0;
        bool ok = false;
        const double number = attribute->ComputeNumericValue(value, &used, &ok);
        if (!ok || used != value.size())
            continue;
        const KString written = attribute->GetAsDisplayString(number);
        if (written != value)
            return "\"" + platform::ToUtf8(value) + "\" written back as \"" + platform::ToUtf8(written) + "\"";
    }
    return std::string();
}
} // namespace

// ---- guesses.txt: expected format | distinct values it cannot read | values ----

TEST(GuessFile, EveryColumnGetsItsFormatAndWritesItsValuesBack)
{
    const std::vector<SFormatCase> cases = ReadFormatCases("guesses.txt");
    auto t = std::make_unique<STableInLanguage>(1033);
    int checked = 0;
    for (const SFormatCase& c : cases)
    {
        const std::string where = FormatDataFolder() + c.strFile;
        if (c.strDirective == "language")
        {
            t = std::make_unique<STableInLanguage>(std::stoi(c.strDirectiveValue));
            continue;
        }
        if (c.fields.size() < 3)
        {
            ADD_FAILURE_AT(where.c_str(), c.nLine) << "malformed line: " << c.strRaw;
            continue;
        }
        ++checked;
        const std::vector<KString> values(c.fields.begin() + 2, c.fields.end());
        CAttribute* attribute = GuessedColumn(*t->table, values);
        const std::string format = FormatOf(attribute);
        if (format != platform::ToUtf8(c.fields[0]))
        {
            ADD_FAILURE_AT(where.c_str(), c.nLine) << "guessed \"" << format << "\": " << c.strRaw;
            continue;
        }
        if (!format.empty() && attribute->GetType() == VALUE_TEXT)
            ADD_FAILURE_AT(where.c_str(), c.nLine) << "format not understood by the table: " << c.strRaw;
        const long unreadable = attribute->DetermineNoOfIllegalValues();
        if (std::to_string(unreadable) != platform::ToUtf8(c.fields[1]))
            ADD_FAILURE_AT(where.c_str(), c.nLine) << unreadable << " values cannot be read: " << c.strRaw;
        const std::string notWrittenBack = FirstValueNotWrittenBack(attribute, values);
        if (!notWrittenBack.empty())
            ADD_FAILURE_AT(where.c_str(), c.nLine) << notWrittenBack << ": " << c.strRaw;
    }
    EXPECT_GT(checked, 10);
}

TEST(GuessFormat, IntegersWithAFewTextsStayNumericWithAWarning)
{
    STableInLanguage t(1033);
    std::vector<std::u16string> values;
    for (int i = 1; i <= 40; ++i)
        values.push_back(platform::ToKString(i * 7));
    values.insert(values.end(), {u"n/a", u"unknown", u"", u"?"});
    CAttribute* a = GuessedColumn(*t.table, values);
    EXPECT_EQ(FormatOf(a), "####");
    EXPECT_EQ(a->GetImportFormatString(), u"####");
    EXPECT_TRUE(a->IsNumber());
    EXPECT_TRUE(a->IsFormatDecided());
    EXPECT_EQ(a->CheckFormat(), 0);
    EXPECT_TRUE(a->HasFormatWarning());
    EXPECT_EQ(a->DetermineNoOfIllegalValues(), 3);
    EXPECT_TRUE(std::isnan(a->GetNumericValue(a->FindValueIndex(u"n/a"))));
    EXPECT_EQ(a->GetNumericValue(a->FindValueIndex(u"280")), 280.0);
    const std::string sorted = SortedValues(a);
    EXPECT_EQ(sorted.substr(0, 9), "7 14 21 2");
    const std::string tail = "273 280 ? n/a unknown _";
    ASSERT_GE(sorted.size(), tail.size());
    EXPECT_EQ(sorted.substr(sorted.size() - tail.size()), tail);
}

TEST(GuessFormat, HalfTheSamplesMustBeRead)
{
    STableInLanguage t(1033);
    // 2 of 4 read: 50 % is enough.
    EXPECT_EQ(FormatOf(GuessedColumn(*t.table, {u"1", u"2", u"x", u"y"})), "####");
    // 2 of 5 read: text, never a partly numeric attribute.
    CAttribute* text = GuessedColumn(*t.table, {u"1", u"2", u"x", u"y", u"z"});
    EXPECT_EQ(FormatOf(text), "");
    EXPECT_EQ(text->GetType(), VALUE_TEXT);
    EXPECT_TRUE(text->IsFormatDecided());
    EXPECT_EQ(text->CheckFormat(), 1);
    EXPECT_FALSE(text->HasFormatWarning());
}

TEST(GuessFormat, NumbersWithDecimalsAndThousands)
{
    STableInLanguage english(1033);
    EXPECT_EQ(FormatOf(GuessedColumn(*english.table, {u"1.5", u"2", u"3.25", u"-0.5"})), "####.");
    EXPECT_EQ(FormatOf(GuessedColumn(*english.table, {u"1,234", u"12", u"999", u"1,000,000"})), "#,###");
    EXPECT_EQ(FormatOf(GuessedColumn(*english.table, {u"1,234.5", u"12.25", u"7"})), "#,###.");
    EXPECT_EQ(FormatOf(GuessedColumn(*english.table, {u"1", u"2", u"3"})), "####"); // integers stay integers

    STableInLanguage german(1031);
    EXPECT_EQ(FormatOf(GuessedColumn(*german.table, {u"1.234,5", u"12,25", u"7"})), "#.###,");
    EXPECT_EQ(FormatOf(GuessedColumn(*german.table, {u"1,5", u"2", u"3,25"})), "####,");
    // Decimal points in a German table are read as decimal points, not as thousands separators.
    CAttribute* points = GuessedColumn(*german.table, {u"3.14", u"2.5", u"10"});
    EXPECT_EQ(FormatOf(points), "####.");
    EXPECT_EQ(points->GetNumericValue(points->FindValueIndex(u"3.14")), 3.14);
}

TEST(GuessFormat, YearMonthDayDatesArePreferredAndNeedHalfTheSamples)
{
    const std::vector<std::u16string> sixDates = {u"2024-01-05", u"2023-12-31", u"2000-02-29", u"1999-07-14",
                                                  u"2024-03-01", u"2010-10-10", u"unknown",    u"n/a",
                                                  u"later",      u"see notes"};
    STableInLanguage german(1031);
    CAttribute* germanDates = GuessedColumn(*german.table, sixDates);
    EXPECT_EQ(FormatOf(germanDates), "jjjj-mm-tt");
    EXPECT_TRUE(germanDates->IsDate());
    EXPECT_EQ(germanDates->GetNumericValue(germanDates->FindValueIndex(u"2000-02-29")), 59);

    STableInLanguage english(1033);
    CAttribute* englishDates = GuessedColumn(*english.table, sixDates);
    EXPECT_EQ(FormatOf(englishDates), "yyyy-mm-dd");
    EXPECT_EQ(englishDates->GetType(), VALUE_DATE);

    const std::vector<std::u16string> fourDates = {u"2024-01-05", u"2023-12-31", u"2000-02-29", u"1999-07-14",
                                                   u"unknown",    u"n/a",        u"later",      u"see notes",
                                                   u"soon",       u"never"};
    EXPECT_EQ(FormatOf(GuessedColumn(*german.table, fourDates)), "");
}

TEST(GuessFormat, DatesInSeveralFormatsTakeTheMajority)
{
    STableInLanguage german(1031);
    CAttribute* a =
        GuessedColumn(*german.table, {u"2024-01-05", u"2024-02-10", u"05.01.2024", u"06.01.2024", u"07.01.2024", u""});
    EXPECT_EQ(FormatOf(a), "tt.mm.jjjj");
    EXPECT_EQ(a->CheckFormat(), 0);
    EXPECT_EQ(a->DetermineNoOfIllegalValues(), 2);
    // The unreadable dates keep their text and sort after the readable ones.
    EXPECT_EQ(SortedValues(a), "05.01.2024 06.01.2024 07.01.2024 2024-01-05 2024-02-10 _");
}

TEST(GuessFormat, FormatsThatWriteTheValuesBackUnchangedWin)
{
    STableInLanguage german(1031);
    EXPECT_EQ(FormatOf(GuessedColumn(*german.table, {u"4.7.2024", u"12.11.2023", u"1.1.2000"})), "t.m.jjjj");
    EXPECT_EQ(FormatOf(GuessedColumn(*german.table, {u"04.07.2024", u"12.11.2023"})), "tt.mm.jjjj");
    STableInLanguage english(1033);
    EXPECT_EQ(FormatOf(GuessedColumn(*english.table, {u"07/04/2024", u"12/31/2023"})), "mm/dd/yyyy");
    // A day above 12 in the first place rules out month first.
    EXPECT_EQ(FormatOf(GuessedColumn(*english.table, {u"31/12/2023", u"07/04/2024", u"15/01/2024"})), "dd/mm/yyyy");
    EXPECT_EQ(FormatOf(GuessedColumn(*english.table, {u"4. July 2024", u"1. March 2023"})), "d. mmmm yyyy");
    STableInLanguage french(1036);
    EXPECT_EQ(FormatOf(GuessedColumn(*french.table, {u"4 juillet 2024", u"1 mars 2023"})), "d mmmm yyyy");
}

TEST(GuessFormat, DateTimesTimesAndSpans)
{
    STableInLanguage english(1033);
    CAttribute* dateTimes = GuessedColumn(*english.table, {u"2024-01-05 13:45:10", u"2023-12-31 00:00:00"});
    EXPECT_EQ(FormatOf(dateTimes), "yyyy-mm-dd hh:mm:ss");
    EXPECT_TRUE(dateTimes->IsDateTimeOnly());
    EXPECT_TRUE(dateTimes->IsDateOrDateTimeOnly());
    CAttribute* times = GuessedColumn(*english.table, {u"13:45", u"08:05", u"23:59"});
    EXPECT_EQ(FormatOf(times), "hh:mm");
    EXPECT_TRUE(times->IsTime());
    CAttribute* spans = GuessedColumn(*english.table, {u"36:15:00", u"12:00:00", u"100:00:00"});
    EXPECT_EQ(FormatOf(spans), "hhh:mm:ss");
    EXPECT_TRUE(spans->IsTimeSpan());
    EXPECT_EQ(spans->GetNumericValue(spans->FindValueIndex(u"36:15:00")), (36 * 3600 + 15 * 60) / 86400.0);
    CAttribute* clock = GuessedColumn(*english.table, {u"1:30 PM", u"11:05 AM"});
    EXPECT_EQ(FormatOf(clock), "h:mm AM/PM");
    STableInLanguage german(1031);
    EXPECT_EQ(FormatOf(GuessedColumn(*german.table, {u"04.07.2024 13:30", u"05.07.2024 08:00"})), "tt.mm.jjjj ss:mm");
}

TEST(GuessFormat, EmptyValuesAreIgnoredAndAnEmptyColumnIsGuessedLater)
{
    STableInLanguage english(1033);
    EXPECT_EQ(FormatOf(GuessedColumn(*english.table, {u"", u"5", u"", u"", u"6", u""})), "####");
    CAttribute* empty = GuessedColumn(*english.table, {u"", u""});
    EXPECT_EQ(FormatOf(empty), "");
    EXPECT_FALSE(empty->IsFormatDecided());
    empty->AddValue(english.table->GetRecord(0), u"12");
    empty->AddValue(english.table->GetRecord(1), u"13");
    english.table->AnalyzeTable();
    EXPECT_EQ(FormatOf(empty), "####");
}

TEST(GuessFormat, ListsAndHeadersAreNotGuessedAGivenListIs)
{
    STableInLanguage english(1033);
    CAttribute* lists = GuessedColumn(*english.table, {u"|1|2|", u"3"});
    EXPECT_EQ(FormatOf(lists), "");
    EXPECT_FALSE(lists->IsFormatDecided());
    EXPECT_EQ(lists->CheckFormat(), 1);

    CAttribute* header = english.table->CreateNewAttribute(ATTR_HEADER, false, u"H", nullptr, 1, false);
    header->GuessFormat();
    EXPECT_EQ(FormatOf(header), "");

    CAttribute* given = AddColumn(*english.table, u"G", {u"a", u"b"});
    const std::vector<KString> texts = {u"1.5", u"2.5"};
    given->GuessFormat(&texts);
    EXPECT_EQ(FormatOf(given), "####.");
    EXPECT_EQ(given->CheckFormat(&texts), 1);
    EXPECT_EQ(given->CheckFormat(), 0); // its own values are no numbers
    EXPECT_EQ(given->DetermineNoOfIllegalValues(&texts), 0);
}

TEST(GuessFormat, SampledValuesOfALargeColumn)
{
    // 3000 distinct values, every third a text: about 400 samples, two thirds of them numbers.
    STableInLanguage english(1033);
    std::vector<std::u16string> values;
    for (int i = 0; i < 3000; ++i)
        values.push_back(i % 3 == 2 ? u"t" + platform::ToKString(i) : platform::ToKString(i) + u".5");
    CAttribute* a = GuessedColumn(*english.table, values);
    EXPECT_EQ(FormatOf(a), "####.");
    EXPECT_EQ(a->DetermineNoOfIllegalValues(), 1000);
}

TEST(AnalyzeTable, GuessesChecksAndSortsNumerically)
{
    STableInLanguage english(1033);
    CTable& table = *english.table;
    CAttribute* n = AddColumn(table, u"N", {u"10", u"9", u"x"});
    CAttribute* s = AddColumn(table, u"S", {u"b", u"a", u"B"});
    table.AnalyzeTable();
    EXPECT_EQ(FormatOf(n), "####");
    EXPECT_TRUE(n->HasFormatWarning());
    EXPECT_TRUE(n->AreValuesSorted());
    EXPECT_EQ(SortedValues(n), "9 10 x");
    EXPECT_EQ(FormatOf(s), "");
    EXPECT_EQ(SortedValues(s), "a b B");
    EXPECT_EQ(RenderTable(table), "N(1)=10,9,x;S(2)=b,a,B; records=3");

    table.RemoveFormatWarnings();
    EXPECT_FALSE(n->HasFormatWarning());
    table.CheckAllFormats(false, true);
    EXPECT_TRUE(n->HasFormatWarning());

    // A format once set is not guessed again.
    ASSERT_EQ(n->SetFormatString(u""), 1);
    table.AnalyzeTable();
    EXPECT_EQ(FormatOf(n), "");
    EXPECT_EQ(SortedValues(n), "10 9 x");
}

TEST(AnalyzeTable, FollowsTheOptions)
{
    STableInLanguage english(1033);
    english.options.m_bGuessFormatsAtImport = false;
    CAttribute* n = AddColumn(*english.table, u"N", {u"10", u"9"});
    english.table->AnalyzeTable();
    EXPECT_EQ(FormatOf(n), "");
    EXPECT_FALSE(n->IsFormatDecided());

    english.options.m_bGuessFormatsAtImport = true;
    english.options.m_bCheckFormatsAtImport = false;
    n->AddValue(english.table->AddRecord(), u"x");
    english.table->AnalyzeTable();
    EXPECT_EQ(FormatOf(n), "####");
    EXPECT_FALSE(n->HasFormatWarning());
}

TEST(AnalyzeTable, TheExampleTableHasAnIntegerKey)
{
    CTable table;
    table.CreateEmpty(1);
    EXPECT_EQ(FormatOf(table.GetKeyAttribute()), "####");
    EXPECT_EQ(FormatOf(table.FindAttributeFromIndex(1)), "");
}

TEST(AnalyzeTable, ColumnsLikeTheGeneratedBenchmarkData)
{
    STableInLanguage english(1033);
    CTable& table = *english.table;
    std::vector<std::u16string> ids, ints, floats, dates, dateTimes, regions;
    const char16_t* names[] = {u"North", u"East", u"South", u"West", u"Central"};
    for (int i = 0; i < 2000; ++i)
    {
        const bool empty = i % 50 == 7;
        ids.push_back(platform::ToKString(i + 1));
        ints.push_back(empty ? u"" : platform::ToKString((i * 7919) % 2000001 - 1000000));
        floats.push_back(empty ? u"" : platform::ToKString(i * 37 % 10000) + u"." + platform::ToKString(10 + i % 90));
        const int month = 1 + i % 12, day = 1 + i % 28, year = 2000 + i % 25;
        const KString date = platform::ToKString(year) + (month < 10 ? u"-0" : u"-") + platform::ToKString(month) +
                             (day < 10 ? u"-0" : u"-") + platform::ToKString(day);
        dates.push_back(empty ? u"" : date);
        const int hour = i % 24, minute = i % 60;
        dateTimes.push_back(empty ? u""
                                  : date + (hour < 10 ? u" 0" : u" ") + platform::ToKString(hour) +
                                        (minute < 10 ? u":0" : u":") + platform::ToKString(minute) + u":00");
        regions.push_back(empty ? u"" : names[i % 5]);
    }
    CAttribute* id = AddColumn(table, u"id", ids);
    CAttribute* int2 = AddColumn(table, u"int2", ints);
    CAttribute* float1 = AddColumn(table, u"float1", floats);
    CAttribute* date = AddColumn(table, u"date", dates);
    CAttribute* dateTime = AddColumn(table, u"datetime", dateTimes);
    CAttribute* region = AddColumn(table, u"region", regions);
    table.AnalyzeTable();
    EXPECT_EQ(FormatOf(id), "####");
    EXPECT_EQ(FormatOf(int2), "####");
    EXPECT_EQ(FormatOf(float1), "####.");
    EXPECT_EQ(FormatOf(date), "yyyy-mm-dd");
    EXPECT_EQ(FormatOf(dateTime), "yyyy-mm-dd hh:mm:ss");
    EXPECT_EQ(FormatOf(region), "");
    for (CAttribute* a : {id, int2, float1, date, dateTime, region})
        EXPECT_FALSE(a->HasFormatWarning()) << platform::ToUtf8(a->GetName());
    // Numeric attributes sort by number, the undefined value last.
    EXPECT_EQ(int2->GetNumericValue(0), int2->GetAbsoluteMinimum());
    EXPECT_EQ(int2->GetValueText(int2->GetNrOfValues() - 1), u"");
    EXPECT_LT(date->GetNumericValue(0), date->GetNumericValue(1));
}
