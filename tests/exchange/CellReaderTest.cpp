// The cell reader, byte-order marks and code pages on texts in memory, where a data file in cases/ cannot
// show the case (every position of a mark, a cut inside a surrogate pair, bytes no file holds).

#include "engine/Table.h"
#include "exchange/TextEncoding.h"
#include "exchange/TextImporter.h"
#include "exchange/TextReader.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace exchange;

namespace
{

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

// The length limit itself (cut values, cut lists, the message) is covered by long_cell.csv in cases/cells.test.
TEST(CellReader, CutNeverSplitsASurrogatePair)
{
    const KString pairs = KString(MAX_CELL_LENGTH - 4, u'z') + u"\U0001F600\U0001F600w";
    CTextReader reader(pairs, SCellRules());
    EXPECT_EQ(KString(reader.ReadCell(1)), KString(MAX_CELL_LENGTH - 4, u'z') + u"...");
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

TEST(CellReader, PhysicalLinesCountedInStepsAsOneByOne)
{
    // CR, LF and CR LF each end a line; a CR just before the end counts unless an LF follows it in the text.
    std::mt19937 random(11);
    for (size_t length : {0u, 7u, 9u, 17u, 100u, 32777u, 70001u})
    {
        std::u16string text(length, u'a');
        for (char16_t& c : text)
            c = u"a\r\n\r"[random() % 4];
        for (size_t end : {length, length / 2, length > 0 ? length - 1 : 0, size_t{8}, size_t{9}})
        {
            end = std::min(end, length);
            long expected = 0;
            for (size_t i = 0; i < end; ++i)
                expected += text[i] == u'\n' || (text[i] == u'\r' && !(i + 1 < length && text[i + 1] == u'\n'));
            EXPECT_EQ(CountPhysicalLineEnds(text, end), expected) << length << " " << end;
        }
    }
}

TEST(ByteOrderMark, DetectedInTheOrderOfTheRules)
{
    // Files with each mark are read in cases/encodings.test; here the cases no file shows.
    using namespace std::string_literals;
    const std::pair<std::string, int> texts[] = {{"\xFF\xFE\x00\x00"s, ENCODING_UTF32_LE},
                                                 {"\xFF\xFE\x00"s, ENCODING_UTF16_LE},
                                                 {"\xFF\xFE\x61\x00"s, ENCODING_UTF16_LE},
                                                 {"\x00\x00\xFE\xFF"s, ENCODING_UTF32_BE},
                                                 {"\x00\x00\xFE"s, -1},
                                                 {"\xEF\xBB"s, -1},
                                                 {"a"s, -1},
                                                 {"abcd"s, -1}};
    for (const auto& [text, encoding] : texts)
        EXPECT_EQ(DetectByteOrderMark(text).m_nEncoding, encoding) << text.size();
    EXPECT_EQ(DetectByteOrderMark("\xEF\xBB\xBF").m_nLength, 3u);
    EXPECT_EQ(DetectByteOrderMark("\xFF\xFE\x00\x00"s).m_nLength, 4u);
}

TEST(CodePages, DecodeAndEncodeRoundTrip)
{
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

} // namespace
