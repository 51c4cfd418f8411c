// Text export: the quoting rule, lists, the import layout, encodings and marks, warnings, and export ->
// import round trips in every encoding with and without a mark.

#include "engine/Table.h"
#include "exchange/TextExporter.h"
#include "exchange/TextImporter.h"
#include "platform/Error.h"
#include "tests/engine/TableTestSupport.h"
#include "tests/exchange/TableDump.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace exchange;

namespace
{

// A table with awkward values: delimiters, quotes, line breaks, lists, undefined values, non-Latin text.
void FillAwkwardTable(CTable& table)
{
    AddColumn(table, u"id", {u"1", u"2", u"3", u"4", u"5"});
    AddColumn(table, u"text, with comma", {u"plain", u"a,b", u"say \"hi\"", u"line\r\nbreak", u""});
    AddColumn(table, u"list", {u"|a|b|", u"|x,y|z|", u"", u"|q|", u"|\"|'|"});
    AddColumn(table, u"semi;colon", {u"a;b", u"tab\there", u"\u00C4rger \u20AC", u"\u4E2D\u6587", u"\U0001F600"});
    AddColumn(table, u"bar|name", {u"p|q", u"", u" lead", u"trail ", u"|"});
    table.AnalyzeTable();
}

SExportOptions Options(char16_t delimiter, char16_t quote = u'"', int encoding = 1, bool bom = false)
{
    SExportOptions options;
    options.m_cDelimiter = delimiter;
    options.m_cQuote = quote;
    options.m_nEncoding = encoding;
    options.m_bWriteBOM = bom;
    return options;
}

// Quoting of delimiters, quotes, line breaks and lists shows in Export.ValuesListsAndNamesInUtf8 (',' and '|');
// without a quote character in Export.WarnsOnceWhenValuesNeedQuotesThatAreNotThere. Here what no export shows.
TEST(Quoting, OnlyWhereNeeded)
{
    EXPECT_TRUE(QuotesNecessary(u"\r\n", u';', 0)); // a value of only CR LF is quoted
    EXPECT_TRUE(QuotesNecessary(u"a\rb", u';', u'"'));
    EXPECT_FALSE(QuotesNecessary(u"a,b", u';', u'"'));
    EXPECT_EQ(AddQuotesIfNecessary(u"it's", u',', u'\''), u"'it''s'");
}

TEST(Export, ValuesListsAndNamesInUtf8)
{
    CTable table;
    FillAwkwardTable(table);
    const std::string text = MakeExportText(table, Options(u','));
    EXPECT_EQ(text, "id,\"text, with comma\",list,semi;colon,bar|name\r\n"
                    "1,plain,|a|b|,a;b,p|q\r\n"
                    "2,\"a,b\",\"|x,y|z|\",tab\there,\r\n"
                    "3,\"say \"\"hi\"\"\",,\xC3\x84rger \xE2\x82\xAC, lead\r\n"
                    "4,\"line\r\nbreak\",q,\xE4\xB8\xAD\xE6\x96\x87,trail \r\n"
                    "5,,\"|\"\"|'|\",\xF0\x9F\x98\x80,\r\n");
    // With '|' as delimiter every list is quoted, and so is every text with a bar.
    const std::string barred = MakeExportText(table, Options(u'|'));
    EXPECT_NE(barred.find("|\"|a|b|\"|"), std::string::npos);
    EXPECT_NE(barred.find("\"bar|name\""), std::string::npos);
    // Without names.
    SExportOptions noNames = Options(u';');
    noNames.m_bWriteNames = false;
    EXPECT_EQ(MakeExportText(table, noNames).substr(0, 12), "1;plain;|a|b");
}

TEST(Export, EmptyTableWritesOnlyTheNamesLine)
{
    CTable table;
    table.CreateNewAttribute(ATTR_NORMAL, false, u"a", nullptr, 1, true);
    table.CreateNewAttribute(ATTR_HEADER, false, u"group", nullptr, 1, true);
    table.CreateNewAttribute(ATTR_NORMAL, false, u"b", nullptr, 1, true);
    EXPECT_EQ(MakeExportText(table, Options(u',')), "a,b\r\n"); // headers are never columns
}

// The units of each encoding are checked by reading the export back (RoundTrip); here the marks.
TEST(Export, EachEncodingWritesItsMark)
{
    CTable table;
    AddColumn(table, u"a", {u"x"});
    using namespace std::string_literals;
    const std::pair<int, std::string> marks[] = {// no mark for code pages
                                                 {0, "a"},
                                                 {1, "\xEF\xBB\xBF" "a"},
                                                 {2, "\xFE\xFF\x00" "a"s},
                                                 {3, "\xFF\xFE" "a\x00"s}};
    for (const auto& [encoding, start] : marks)
    {
        const std::string text = MakeExportText(table, Options(u';', u'"', encoding, true));
        EXPECT_EQ(text.substr(0, start.size()), start) << encoding;
    }
}

TEST(Export, CodePageSubstitutesWhatItCannotHold)
{
    CTable table;
    AddColumn(table, u"name", {u"Caf\u00E9 \u20AC", u"\u4E2D"});
    SExportOptions options = Options(u',', u'"', 0);
    options.m_nCodePage = 1252;
    EXPECT_EQ(MakeExportText(table, options), "name\r\nCaf\xE9 \x80\r\n?\r\n");
    options.m_nCodePage = 4242;
    EXPECT_THROW(MakeExportText(table, options), CKorvalinException);
}

TEST(Export, WarnsOnceWhenValuesNeedQuotesThatAreNotThere)
{
    CTable table;
    FillAwkwardTable(table);
    const std::string text = MakeExportText(table, Options(u',', 0));
    EXPECT_NE(text.find("say \"hi\""), std::string::npos); // quotes are written unchanged
    const std::vector<KString>& messages = table.GetMessageLog();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_NE(messages[0].find(u"Attributname"), KString::npos);
    EXPECT_NE(messages[0].find(u"text, with comma"), KString::npos);
    EXPECT_NE(messages[1].find(u"a,b"), KString::npos);
    EXPECT_NE(messages[2].find(u"'list'"), KString::npos);
}

TEST(Export, QualifiedRecordsOnly)
{
    CTable table;
    AddColumn(table, u"n", {u"1", u"2", u"3"});
    table.GetRecord(1)->m_bQualified = 0;
    SExportOptions options = Options(u',');
    options.m_bAllRecords = false;
    EXPECT_EQ(MakeExportText(table, options), "n\r\n1\r\n3\r\n");
}

TEST(Export, ImportLayoutRestoresColumnsWithPlaceholders)
{
    CTable table;
    CImportSettings settings;
    settings.m_cDelimiter = u',';
    CTextImporter(table).ReadBytes("c1,c2,c3,c4\n1,2,3,4\n", u"source.csv", settings, {});
    table.DeleteAttribute(table.FindAttributeFromIndex(2)); // column 3 is gone
    table.FindAttributeFromIndex(0)->SetName(u"renamed");
    table.MoveAttribute(table.FindAttributeFromIndex(2), 0); // c4 first
    CAttribute* added = table.CreateNewAttribute(ATTR_NORMAL, false, u"new", nullptr, 1, true);
    added->AddValue(table.GetRecord(0), u"n");
    SExportOptions options = Options(u',');
    options.m_bImportLayout = true;
    EXPECT_EQ(MakeExportText(table, options), "c1,c2,???,c4\r\n1,2,,4\r\n");
    ASSERT_FALSE(table.GetMessageLog().empty());
    EXPECT_NE(table.GetMessageLog().back().find(u"source.csv"), KString::npos);
    EXPECT_NE(table.GetMessageLog().back().find(u"\r\n   - new"), KString::npos);
    // Missing columns after the last one kept are written as placeholders too.
    table.DeleteAttribute(table.FindAttributeFromIndex(0)); // c4
    EXPECT_EQ(MakeExportText(table, options), "c1,c2,???,???\r\n1,2,,\r\n");
}

// ---- round trips ----

// Exports original and reads the bytes back with the export's delimiter and code page, and its encoding when
// giveEncoding (else the import's default, which is how a user would read the file).
void ExpectRoundTrip(CTable& original, const SExportOptions& options, bool giveEncoding,
                     const std::string& expectedBytes = "")
{
    const std::string bytes = MakeExportText(original, options);
    if (!expectedBytes.empty())
    {
        EXPECT_EQ(bytes, expectedBytes);
    }
    CImportSettings settings;
    settings.m_cDelimiter = options.m_cDelimiter;
    if (giveEncoding)
        settings.m_nEncoding = options.m_nEncoding;
    settings.m_nCodePage = options.m_nCodePage;
    CTable copy;
    CTextImporter(copy).ReadBytes(bytes, u"round.txt", settings, {});
    EXPECT_EQ(Dump(copy), Dump(original));
}

class RoundTrip : public testing::TestWithParam<std::tuple<int, bool, char16_t>>
{
};

TEST_P(RoundTrip, ExportThenImportGivesTheSameTable)
{
    const auto [encoding, bom, delimiter] = GetParam();
    CTable original;
    FillAwkwardTable(original);
    SExportOptions options = Options(delimiter, u'"', encoding, bom);
    options.m_nCodePage = 65001;
    ExpectRoundTrip(original, options, true);
}

INSTANTIATE_TEST_SUITE_P(EveryEncoding, RoundTrip,
                         testing::Combine(testing::Values(0, 1, 2, 3), testing::Bool(),
                                          testing::Values(u',', u';', u'\t', u'|')));

TEST(RoundTrip, SingleColumnWithUndefinedValuesKeepsEveryRecord)
{
    CTable original;
    AddColumn(original, u"only", {u"", u"a", u"", u""});
    ExpectRoundTrip(original, Options(u','), false, "only\r\n\r\na\r\n\r\n\r\n");
}

TEST(RoundTrip, CodePage1252KeepsWhatItCanHold)
{
    CTable original;
    AddColumn(original, u"name", {u"Caf\u00E9", u"\u201EZitat\u201C", u"5 \u20AC"});
    SExportOptions options = Options(u';', u'"', 0);
    options.m_nCodePage = 1252;
    ExpectRoundTrip(original, options, false);
}

} // namespace
