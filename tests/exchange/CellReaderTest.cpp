// The cell reader, byte-order marks, code pages and the delimiter proposal, on texts in memory.

#include "engine/Table.h"
#include "exchange/TextEncoding.h"
#include "exchange/TextImporter.h"
#include "exchange/TextReader.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace exchange;

namespace
{

// The cells of a text as "cell|cell/" lines (each line ends in '/'), read with rules.
std::string Cells(KStringView text, SCellRules rules, std::vector<size_t> widths = {})
{
    CTextReader reader(text, rules);
    std::string out;
    long line = 1;
    size_t column = 0;
    while (!reader.IsAtEnd())
    {
        const KStringView cell =
            reader.ReadCell(line, column < widths.size() ? widths[column] : 0, rules.m_bFixedWidth);
        out += platform::ToUtf8(cell);
        switch (reader.GetTerminator())
        {
        case TERMINATOR_DELIMITER:
            out += '|';
            ++column;
            break;
        case TERMINATOR_LINE:
            out += '/';
            ++line;
            column = 0;
            break;
        case TERMINATOR_END:
            out += '$';
            break;
        }
    }
    return out;
}

SCellRules Comma()
{
    SCellRules rules;
    rules.m_cDelimiter = u',';
    return rules;
}

TEST(CellReader, QuotesDelimitersAndLineEnds)
{
    EXPECT_EQ(Cells(u"a,b\nc,d\n", Comma()), "a|b/c|d/");
    EXPECT_EQ(Cells(u"\"a\"\"b\",c", Comma()), "a\"b|c$");       // a doubled quote is one quote
    EXPECT_EQ(Cells(u"\"a,b\nc\",d\r\n", Comma()), "a,b\nc|d/"); // delimiter and LF inside quotes
    EXPECT_EQ(Cells(u"a\rb\r\nc\nd", Comma()), "a/b/c/d$");      // CR, CR LF, LF; CR LF is one end
    EXPECT_EQ(Cells(u"a\r\n\r\nb", Comma()), "a//b$");           // an empty line between
    EXPECT_EQ(Cells(u",,\n", Comma()), "||/");                   // empty cells
    EXPECT_EQ(Cells(u"\"\",x", Comma()), "|x$");                 // an empty quoted cell
    EXPECT_EQ(Cells(u"\"abc\"d,e", Comma()), "abc\"d|e$");       // a stray quote stays in the text
    EXPECT_EQ(Cells(u"ab\"c,d", Comma()), "ab\"c|d$");           // a quote inside is ordinary
    EXPECT_EQ(Cells(u"\"open,", Comma()), "open,$");             // the end of the text ends a quoted cell
    EXPECT_EQ(Cells(u"\"x\"", Comma()), "x$");
}

TEST(CellReader, NoQuoteAndOtherQuote)
{
    SCellRules none = Comma();
    none.m_cQuote = 0;
    EXPECT_EQ(Cells(u"\"a,b\"", none), "\"a|b\"$");
    SCellRules single = Comma();
    single.m_cQuote = u'\'';
    EXPECT_EQ(Cells(u"'a,''b''',\"c\"", single), "a,'b'|\"c\"$");
}

TEST(CellReader, ByteOrderMarksAreSkippedOnTheFirstLineOnly)
{
    EXPECT_EQ(Cells(u"\uFEFFa,\uFEFFb\n\uFEFFc", Comma()), "a|b/\uFEFFc$");
    EXPECT_EQ(Cells(u"\uFFFEa", Comma()), "a$");
}

TEST(CellReader, TalliesSpecialCharactersAndReplacesNul)
{
    SCellRules rules = Comma();
    const KString text = KString(u"a|b,") + char16_t(0) + u"x,\x01\u0085,|p|q|,\"|\"\n";
    CTextReader reader(text, rules);
    std::string cells;
    while (!reader.IsAtEnd())
        cells += platform::ToUtf8(reader.ReadCell(1)) + ";";
    EXPECT_EQ(cells, "a|b;\x03x;\x01\xC2\x85;|p|q|;|;");
    const SCellTally& tally = reader.GetTally();
    EXPECT_EQ(tally.m_nNullCharacters, 1);
    EXPECT_EQ(tally.m_nControlCharacters, 2);
    EXPECT_EQ(tally.m_nBars, 5);
    EXPECT_EQ(tally.m_nMultipleValueCells, 2);

    SCellRules replace = Comma();
    replace.m_bReplaceBars = true;
    EXPECT_EQ(Cells(u"|a|,b", replace), "\u00A6a\u00A6|b$");
}

TEST(CellReader, EveryMarkIsFoundWhereverItStandsInALongCell)
{
    // Plain text is passed over several units at a time: a mark must be found at every position, also right
    // before the end of the text, and characters beside the marked ranges (0x20, 0x7E, 0xA0, 0xFFFF) are plain.
    struct SMark
    {
        char16_t c;
        const char* terminator; // how the cell ends when c stands in it, or "" when c stays in the cell
    };
    const SMark marks[] = {{u';', "delimiter"}, {u'\n', "line"}, {u'\r', "line"}, {u'|', ""}, {0x01, ""},
                           {0x1F, ""},          {0x7F, ""},      {0x9F, ""},      {0x00, ""}};
    SCellRules rules;
    rules.m_cDelimiter = u';';
    rules.m_cQuote = 0;
    for (const SMark& mark : marks)
    {
        for (size_t length = 1; length <= 20; ++length)
        {
            for (size_t at = 0; at < length; ++at)
            {
                KString text(length, u'a');
                for (size_t i = 0; i < length; ++i)
                    text[i] = KString(u"a \u007E\u00A0\uFFFFz")[i % 6];
                text[at] = mark.c;
                KString scratch;
                KStringView cell;
                ETerminator how = TERMINATOR_END;
                SCellTally tally;
                const size_t next =
                    ScanCell(text.data(), 0, text.size(), rules, 0, false, false, scratch, &cell, &how, tally);
                const std::string where =
                    "mark " + std::to_string(mark.c) + " at " + std::to_string(at) + " of " + std::to_string(length);
                if (mark.terminator[0] != 0)
                {
                    EXPECT_EQ(cell.size(), at) << where;
                    EXPECT_EQ(how, std::string(mark.terminator) == "line" ? TERMINATOR_LINE : TERMINATOR_DELIMITER)
                        << where;
                    EXPECT_EQ(next, at + 1) << where;
                    continue;
                }
                EXPECT_EQ(cell.size(), length) << where;
                EXPECT_EQ(how, TERMINATOR_END) << where;
                EXPECT_EQ(tally.m_nBars + tally.m_nControlCharacters + tally.m_nNullCharacters, 1) << where;
            }
        }
    }
}

TEST(CellReader, LengthLimitCutsToNineThousandNineHundredNinetySixAndDots)
{
    const KString exact(MAX_CELL_LENGTH, u'x');
    const KString longer(MAX_CELL_LENGTH + 1, u'y');
    KString list = u"|";
    for (int i = 0; i < 6000; ++i)
        list += u"ab|";
    const KString text = exact + u"," + longer + u"," + list; // the reader borrows the text
    CTextReader reader(text, Comma());
    EXPECT_EQ(reader.ReadCell(1), exact);
    const KString cut(reader.ReadCell(1));
    EXPECT_EQ(cut.size(), MAX_CELL_LENGTH);
    EXPECT_EQ(cut.substr(0, MAX_CELL_LENGTH - 3), KString(MAX_CELL_LENGTH - 3, u'y'));
    EXPECT_EQ(cut.substr(MAX_CELL_LENGTH - 3), u"...");
    const KString cutList(reader.ReadCell(1));
    EXPECT_EQ(cutList.size(), MAX_CELL_LENGTH);
    EXPECT_EQ(cutList.back(), u'|'); // a cut list stays closed
    EXPECT_EQ(reader.GetTally().m_nCutValues, 2);
    EXPECT_EQ(reader.GetTally().m_nFirstCutOffset, MAX_CELL_LENGTH + 1);

    // A surrogate pair at the cut is never split.
    KString pairs = KString(MAX_CELL_LENGTH - 4, u'z') + u"\U0001F600\U0001F600w";
    CTextReader surrogates(pairs, Comma());
    const KString kept(surrogates.ReadCell(1));
    EXPECT_EQ(kept, KString(MAX_CELL_LENGTH - 4, u'z') + u"...");
}

TEST(CellReader, FixedWidthCutsByCharactersAndTrims)
{
    SCellRules fixed = Comma();
    fixed.m_bFixedWidth = true;
    // Widths 3 and 2: the rest of the line is a third cell; quotes and delimiters mean nothing.
    EXPECT_EQ(Cells(u"ab cd\"e,f\n x yz\nq\n", fixed, {3, 2}), "ab|cd|\"e,f/x|yz|/q/");
    // A surrogate pair counts as one character.
    EXPECT_EQ(Cells(u"\U0001F600bc", fixed, {2}), "\U0001F600b|c$");
}

TEST(CellReader, ReadLineIgnoresDelimiterAndQuote)
{
    CTextReader reader(u"a,\"b\nc,d\n", Comma());
    KString line;
    ASSERT_TRUE(reader.ReadLine(1, &line));
    EXPECT_EQ(line, u"a,\"b");
    EXPECT_EQ(reader.ReadCell(2), u"c");
    EXPECT_EQ(reader.GetPhysicalLine(reader.GetPosition()), 2);
    EXPECT_EQ(reader.GetPhysicalLine(9), 3);
}

TEST(CellReader, ControlCharacterMapShowsControlsVisibly)
{
    KString cell = u"a";
    for (char16_t c : {0x00, 0x01, 0x62, 0x1A, 0x1B, 0x1F, 0x7F, 0x98, 0x99, 0x9F})
        cell += c;
    cell += u"\U0001F600 c ";
    EXPECT_EQ(MakeControlCharacterMap(cell), u" @A Z+\u00D7az17\uFFFD\uFFFD");
    EXPECT_EQ(MakeControlCharacterMap(u"plain text"), u"");
    EXPECT_EQ(MakeControlCharacterMap(u"\t\r\n"), u"IMJ");
}

TEST(ByteOrderMark, DetectedInTheOrderOfTheRules)
{
    using namespace std::string_literals;
    // 'a' written as \x61, so that no hex escape swallows it.
    const std::pair<std::string, int> texts[] = {{"\xFE\xFF\x00\x61"s, ENCODING_UTF16_BE},
                                                 {"\xFF\xFE\x61\x00"s, ENCODING_UTF16_LE},
                                                 {"\xFF\xFE\x00\x00"s, ENCODING_UTF16_LE},
                                                 {"\xEF\xBB\xBF\x61"s, ENCODING_UTF8},
                                                 {"\xEF\xBB"s, -1},
                                                 {"\x00\x00\xFE\xFF"s, ENCODING_UTF32_BE},
                                                 {"a"s, -1},
                                                 {"abcd"s, -1}};
    for (const auto& [text, encoding] : texts)
        EXPECT_EQ(DetectByteOrderMark(text).m_nEncoding, encoding) << text.size();
    EXPECT_EQ(DetectByteOrderMark("\xEF\xBB\xBF").m_nLength, 3u);
}

TEST(CodePages, DecodeAndEncodeRoundTrip)
{
    EXPECT_TRUE(IsKnownCodePage(1252));
    EXPECT_TRUE(IsKnownCodePage(1250));
    EXPECT_TRUE(IsKnownCodePage(65001));
    EXPECT_FALSE(IsKnownCodePage(4242));
    // Every byte of 1252 survives decoding and encoding, the undefined ones included.
    std::string bytes;
    for (int b = 1; b < 256; ++b)
        bytes += static_cast<char>(b);
    CUtf16Buffer text;
    DecodeCodePage(bytes, 1252, text, false);
    EXPECT_EQ(text.View().substr(0x7E, 3), u"\u007F\u20AC\u0081");
    std::string back;
    EXPECT_EQ(EncodeText(text.View(), ENCODING_CODE_PAGE, 1252, back), 0);
    EXPECT_EQ(back, bytes);
    // A character the code page lacks becomes its best fit or '?', and is counted.
    std::string out;
    EXPECT_EQ(EncodeText(u"a\u4E2Db", ENCODING_CODE_PAGE, 1252, out), 1);
    EXPECT_EQ(out, "a?b");
    EXPECT_THROW(DecodeCodePage("x", 4242, text, false), CKorvalinException);
}

TEST(CodePages, Utf8DecodingInPiecesMatchesOneGo)
{
    std::string bytes;
    for (int i = 0; i < 2000000; ++i)
        bytes += (i % 7 == 0) ? "\xC3\xA4" : ((i % 11 == 0) ? "\xF0\x9F\x98\x80" : "ab");
    bytes += "\xFF"; // one invalid byte
    CUtf16Buffer serial;
    CUtf16Buffer parallel;
    EXPECT_EQ(DecodeUtf8(bytes, serial, false).m_nInvalidSequences, 1);
    EXPECT_EQ(DecodeUtf8(bytes, parallel, true).m_nInvalidSequences, 1);
    EXPECT_EQ(serial.View(), parallel.View());
    EXPECT_EQ(serial.View().back(), u'\uFFFD');
    EXPECT_FALSE(IsValidUtf8(bytes, true));
    EXPECT_TRUE(IsValidUtf8(bytes.substr(0, bytes.size() - 1), true));
    EXPECT_FALSE(IsValidUtf8("\xC0\x80", false));     // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80", false)); // a surrogate
}

TEST(DecodeText, DefaultCodePageFallsBackToWindows1252)
{
    CImportSettings settings;
    CUtf16Buffer text;
    bool fellBack = false;
    DecodeText("caf\xE9", settings, false, text, &fellBack);
    EXPECT_TRUE(fellBack);
    EXPECT_EQ(settings.m_nCodePage, 1252);
    EXPECT_EQ(text.View(), u"caf\u00E9");

    CImportSettings utf8;
    CUtf16Buffer good;
    DecodeText("caf\xC3\xA9", utf8, false, good, &fellBack);
    EXPECT_FALSE(fellBack);
    EXPECT_EQ(utf8.m_nCodePage, CODE_PAGE_UTF8);
    EXPECT_EQ(good.View(), u"caf\u00E9");
}

TEST(DelimiterProposal, ByExtensionThenCheckedAgainstTheFirstLines)
{
    EXPECT_EQ(ProposeDelimiter("a.txt"), u'\t');
    EXPECT_EQ(ProposeDelimiter("a.TXT"), u'\t');
    EXPECT_EQ(ProposeDelimiter("a.csv"), u',');
    EXPECT_EQ(ProposeDelimiter("a"), u',');
    EXPECT_EQ(CheckProposedDelimiter(u"a;b\n1;2\n", u',', u'"'), u';');
    EXPECT_EQ(CheckProposedDelimiter(u"a\tb\n1\t2\n", u',', u'"'), u'\t');
    EXPECT_EQ(CheckProposedDelimiter(u"a|b\n1|2\n", u',', u'"'), u'|');
    // The proposal stays when it already finds columns, when the counts differ, or when nothing fits.
    EXPECT_EQ(CheckProposedDelimiter(u"a,b;c\n1,2;3\n", u',', u'"'), u',');
    EXPECT_EQ(CheckProposedDelimiter(u"a;b\n1;2;3\n", u',', u'"'), u',');
    EXPECT_EQ(CheckProposedDelimiter(u"a\nb\n", u',', u'"'), u',');
    // Quotes are respected: a semicolon inside quotes does not split.
    EXPECT_EQ(CheckProposedDelimiter(u"a;b\n\"x;y\";2\n", u',', u'"'), u';');
    EXPECT_EQ(CheckProposedDelimiter(u"\"a;b\"\n\"c;d\"\n", u',', u'"'), u',');
}

} // namespace
