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
        const double number = attribute->GetFormat().ComputeNumericValue(value, &used, &ok);
        if (!ok || used != value.size())
            continue;
        const KString written = attribute->GetFormat().GetAsDisplayString(number);
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
        if (c.strDirective == "language")
        {
            t = std::make_unique<STableInLanguage>(std::stoi(c.strDirectiveValue));
            continue;
        }
        if (c.fields.size() < 3)
        {
            CASE_FAILURE(c) << "malformed line: " << c.strRaw;
            continue;
        }
        ++checked;
        const std::vector<KString> values(c.fields.begin() + 2, c.fields.end());
        CAttribute* attribute = GuessedColumn(*t->table, values);
        const std::string format = FormatOf(attribute);
        if (format != platform::ToUtf8(c.fields[0]))
        {
            CASE_FAILURE(c) << "guessed \"" << format << "\": " << c.strRaw;
            continue;
        }
        if (!format.empty() && attribute->GetType() == VALUE_TEXT)
            CASE_FAILURE(c) << "format not understood by the table: " << c.strRaw;
        const long unreadable = attribute->DetermineNoOfIllegalValues();
        if (std::to_string(unreadable) != platform::ToUtf8(c.fields[1]))
            CASE_FAILURE(c) << unreadable << " values cannot be read: " << c.strRaw;
        const std::string notWrittenBack = FirstValueNotWrittenBack(attribute, values);
        if (!notWrittenBack.empty())
            CASE_FAILURE(c) << notWrittenBack << ": " << c.strRaw;
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
    EXPECT_EQ(a->GetFormat().GetImportFormatString(), u"####");
    EXPECT_TRUE(a->GetFormat().IsNumber());
    EXPECT_TRUE(a->GetFormat().IsFormatDecided());
    EXPECT_EQ(a->CheckFormat(), 0);
    EXPECT_TRUE(a->HasFormatWarning());
    EXPECT_EQ(a->DetermineNoOfIllegalValues(), 3);
    EXPECT_TRUE(std::isnan(a->GetNumericValue(a->FindValueIndex(u"n/a"))));
    EXPECT_EQ(a->GetNumericValue(a->FindValueIndex(u"280")), 280.0);
    // Numbers by value, then texts, the undefined value last: "@format ####" in order.txt.
}

TEST(GuessFormat, TooFewNumbersMakeADecidedText)
{
    STableInLanguage t(1033);
    // 2 of 5 read: text, never a partly numeric attribute.
    CAttribute* text = GuessedColumn(*t.table, {u"1", u"2", u"x", u"y", u"z"});
    EXPECT_EQ(FormatOf(text), "");
    EXPECT_EQ(text->GetType(), VALUE_TEXT);
    EXPECT_TRUE(text->GetFormat().IsFormatDecided());
    EXPECT_EQ(text->CheckFormat(), 1);
    EXPECT_FALSE(text->HasFormatWarning());
}

TEST(GuessFormat, AnEmptyColumnIsGuessedLater)
{
    STableInLanguage english(1033);
    CAttribute* empty = GuessedColumn(*english.table, {u"", u""});
    EXPECT_EQ(FormatOf(empty), "");
    EXPECT_FALSE(empty->GetFormat().IsFormatDecided());
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
    EXPECT_FALSE(lists->GetFormat().IsFormatDecided());
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
    EXPECT_FALSE(n->GetFormat().IsFormatDecided());

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

TEST(AnalyzeTable, GuessesAlikeOnOneCoreAndOnMany)
{
    // Formats beyond the standard ones are added to the registry while the guesses are taken: proposals made
    // side by side must give each attribute what one core gives it, and the registry the same formats.
    auto analyzed = [](bool multicores)
    {
        auto english = std::make_unique<STableInLanguage>(1033);
        english->options.m_bUseMulticores = multicores;
        CTable& table = *english->table;
        std::vector<std::u16string> dotted, minutes, amounts, lists, fixed, empty, names;
        for (int i = 0; i < 1200; ++i)
        {
            const KString day = platform::ToKString(10 + i % 18), month = platform::ToKString(10 + i % 3);
            const KString year = platform::ToKString(1990 + i % 30);
            dotted.push_back(day + u"." + month + u"." + year);
            minutes.push_back(year + u"-" + month + u"-" + day + u" " + platform::ToKString(10 + i % 13) + u":" +
                              platform::ToKString(10 + i % 50));
            amounts.push_back(platform::ToKString(1 + i % 9) + u"," + platform::ToKString(100 + i % 900) + u"." +
                              platform::ToKString(10 + i % 90));
            lists.push_back(u"|" + platform::ToKString(i % 7) + u"|x|");
            fixed.push_back(platform::ToKString(i));
            empty.push_back(u"");
            names.push_back(u"n" + platform::ToKString(i % 40));
        }
        AddColumn(table, u"dotted", dotted);
        AddColumn(table, u"minutes", minutes);
        AddColumn(table, u"amounts", amounts);
        AddColumn(table, u"lists", lists);
        EXPECT_EQ(AddColumn(table, u"fixed", fixed)->SetFormatString(u""), 1); // decided: not guessed
        AddColumn(table, u"empty", empty);
        AddColumn(table, u"names", names);
        table.AnalyzeTable();
        std::string out;
        for (long a = 0; a < table.GetAttributeCount(); ++a)
        {
            const CAttribute* attribute = table.FindAttributeFromIndex(a);
            out += platform::ToUtf8(attribute->GetName()) + "=" + FormatOf(attribute) + "#" +
                   std::to_string(attribute->GetFormatId()) + (attribute->GetFormat().IsFormatDecided() ? " " : "? ");
        }
        return out + "formats " + std::to_string(table.GetFormatRegistry().GetFormatCount());
    };
    const std::string one = analyzed(false);
    EXPECT_EQ(analyzed(true), one);
    EXPECT_NE(one.find("dotted=dd.mm.yyyy#"), std::string::npos) << one;
    EXPECT_NE(one.find("minutes=yyyy-mm-dd hh:mm#"), std::string::npos) << one;
    EXPECT_NE(one.find("amounts=#,###.#"), std::string::npos) << one;
    EXPECT_NE(one.find("lists=#0?"), std::string::npos) << one;
    EXPECT_NE(one.find("fixed=#0 "), std::string::npos) << one;
    EXPECT_NE(one.find("empty=#0?"), std::string::npos) << one;
    EXPECT_NE(one.find("names=#0 "), std::string::npos) << one;
}
