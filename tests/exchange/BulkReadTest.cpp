// Large texts are read in pieces scanned in parallel; the result must be that of one scan from the start,
// whatever the cuts meet: quoted line breaks, CR, LF and CR LF, ragged and empty lines, stray quotes, control
// characters and cells beyond the length limit.

#include "engine/Table.h"
#include "exchange/BulkReader.h"
#include "exchange/TableJson.h"
#include "exchange/TextImporter.h"
#include "exchange/TextStream.h"
#include "options/OptionSet.h"
#include "tests/platform/TempFolder.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>

using namespace exchange;

namespace
{

// About bytes of awkward CSV, the same for every seed.
std::string AwkwardCsv(size_t bytes, unsigned seed)
{
    std::mt19937 random(seed);
    std::string text = "id,name,note,\"multi\nline\",x\r\n";
    const char* const ends[] = {"\n", "\r\n", "\r"};
    for (long id = 0; text.size() < bytes; ++id)
    {
        const unsigned r = random();
        // Mostly distinct ids, some repeated from far back: such a column is appended and merged afterwards,
        // until a list comes (then its values are looked up again).
        const std::string key = std::to_string(r % 5 == 0 ? id / 3 : id);
        text += (id > 2000 && r % 997 == 0 ? "|" + key + "|x|" : key) + ",";
        switch (r % 7)
        {
        case 0:
            text += "\"quoted, with\nbreak and \"\"quotes\"\"\r\nand more\"";
            break;
        case 1:
            text += "\"abc\"def"; // a stray quote
            break;
        case 2:
            text += "|a|b" + std::to_string(r % 5) + "|";
            break;
        default:
            text += "name " + std::to_string(r % 1000);
            if (r % 89 == 0)
                text += "\x01\t"; // control characters, counted
            if (r % 173 == 0)
                text += std::string(10005, 'u'); // beyond the length limit, unquoted
        }
        if (r % 13 != 0) // some lines are short
            text += ",note " + std::to_string(r % 97) + ",\"\",x";
        if (r % 101 == 0) // some are long
            text += ",extra,more";
        text += ends[(r >> 8) % 3];
        if (r % 211 == 0)
            text += "\n"; // an empty line
    }
    return text;
}

std::string ReadAndDump(const std::string& csv, int maxRecords, std::string* messages)
{
    CImportSettings settings;
    settings.m_cDelimiter = u',';
    settings.m_nMaxRecords = maxRecords;
    CTable table;
    CTextImporter(table).ReadBytes(csv, u"bulk.csv", settings, {});
    std::ostringstream out;
    WriteTableJson(table, out, false);
    for (const KString& message : table.GetMessageLog())
        *messages += platform::ToUtf8(message) + "\n";
    return out.str();
}

TEST(BulkRead, SameAsOneScanFromTheStart)
{
    for (unsigned seed : {1u, 2u})
    {
        const std::string csv = AwkwardCsv(3u << 19, seed);
        std::string bulkMessages;
        std::string serialMessages;
        const std::string bulk = ReadAndDump(csv, -1, &bulkMessages);
        const std::string serial = ReadAndDump(csv, INT_MAX, &serialMessages); // a limit reads one cell at a time
        EXPECT_EQ(bulk, serial) << "seed " << seed;
        EXPECT_EQ(bulkMessages, serialMessages) << "seed " << seed;
        EXPECT_NE(bulkMessages.find("Mehr Werte"), std::string::npos);
        EXPECT_NE(bulkMessages.find("fehlt der Wert"), std::string::npos);
        EXPECT_NE(bulkMessages.find("Texterkennungszeichen"), std::string::npos);
    }
}

// A column first met on a data line gives the undefined value to the records before that line only: the
// record of the line holds its cell, and no value is left that no record holds (the format guess samples them).
TEST(BulkRead, ColumnsMetOnADataLineHoldOnlyTheirValues)
{
    CImportSettings settings;
    settings.m_cDelimiter = u',';
    CTable table;
    CTextImporter(table).ReadBytes("a,b\n1,2,x\n2,3,y\n3,4,y,z\n", u"late.csv", settings, {});
    ASSERT_EQ(table.GetAttributeCount(), 4);
    EXPECT_EQ(table.FindAttributeFromIndex(2)->GetNrOfValues(), 2); // x, y
    EXPECT_EQ(table.FindAttributeFromIndex(3)->GetNrOfValues(), 2); // undefined (lines 2 and 3), z
}

// Large UTF-8 files are decoded while they are read, a window at a time: cells, characters, CR LF pairs and
// quoted line breaks cut by a window's end, the head with the names, the line numbers in messages, a byte-order
// mark, and a file that is not UTF-8 after all (read whole) must all come out as when the text is read whole.
TEST(BulkRead, FileDecodedWhileReadIsReadAsWhole)
{
    std::string csv = AwkwardCsv(3u << 18, 3);
    for (size_t at = csv.find("name "); at != std::string::npos; at = csv.find("name ", at + 20))
        csv.replace(at, 5, "n\xC3\xA4m\xE2\x82\xAC\xF0\x9D\x84\x9E "); // 2-, 3- and 4-byte characters
    csv += "1,\"" + std::string(12000, 'q') + "\n" + std::string(30000, 'r') + "\",long\r\n2,after,long\r";
    const struct
    {
        const char* m_pName;
        std::string m_strBytes;
        int32_t m_nEncoding;
    } inputs[] = {
        {"plain", csv, ENCODING_CODE_PAGE},
        {"marked", "\xEF\xBB\xBF" + csv, ENCODING_UTF8},
        {"not UTF-8", csv + "\n3,caf\xE9,x\n", ENCODING_CODE_PAGE},
    };
    CTempFolder folder;
    for (const auto& input : inputs)
    {
        SCOPED_TRACE(input.m_pName);
        CImportSettings settings;
        settings.m_cDelimiter = u',';
        settings.m_nEncoding = input.m_nEncoding;
        auto dump = [&](const std::function<void(CTable&)>& read, std::string& messages)
        {
            CTable table;
            read(table);
            std::ostringstream out;
            WriteTableJson(table, out, false);
            for (long a = 0; a < table.GetAttributeCount(); ++a) // equal values merged into one
                out << " " << table.FindAttributeFromIndex(a)->GetNrOfValues();
            for (const KString& message : table.GetMessageLog())
                messages += platform::ToUtf8(message) + "\n";
            return out.str();
        };
        std::string wholeMessages;
        const std::string whole =
            dump([&](CTable& table) { CTextImporter(table).ReadBytes(input.m_strBytes, u"big.csv", settings, {}); },
                 wholeMessages);
        const std::filesystem::path path = folder / "big.csv";
        std::ofstream(path, std::ios::binary) << input.m_strBytes;
        // Windows of a few bytes to a few pieces; one of them with a single core (no piece scanned meanwhile).
        for (const auto& [window, multicores] : {std::pair{16u, true}, {4099u, true}, {4099u, false}, {65536u, true}})
        {
            SCOPED_TRACE(std::to_string(window) + (multicores ? "" : " on one core"));
            SReadOptions options;
            options.m_nStreamBytes = 1;
            options.m_nWindowBytes = window;
            std::string messages;
            const std::string streamed = dump(
                [&](CTable& table)
                {
                    table.GetOptions().m_bUseMulticores = multicores;
                    CTextImporter(table).ReadFile(path, settings, options);
                },
                messages);
            EXPECT_EQ(streamed, whole);
            // The file's name differs (path against name); the lines in the messages must not.
            for (std::string* text : {&messages})
            {
                for (size_t at; (at = text->find(path.string())) != std::string::npos;)
                    text->replace(at, path.string().size(), "big.csv");
            }
            EXPECT_EQ(messages, wholeMessages);
        }
    }
}

// A large file is checked for UTF-8 in parts side by side, cut where no character is: whatever damage stands
// wherever (beside a cut, inside a character a cut would split, at the end), the answer is that of one check
// of all the bytes.
TEST(BulkRead, FileCheckedInPartsAnswersAsOneCheck)
{
    std::string text;
    for (int i = 0; i < 12; ++i)
        text += "a\xC3\xA4\xE2\x82\xAC\xF0\x9D\x84\x9E,";                      // characters of 1 to 4 bytes
    std::vector<std::string> inputs = {text, text.substr(0, text.size() - 3)}; // whole, and cut inside one
    for (size_t at = 0; at < text.size(); ++at)
    {
        for (const char damage : {'\xFF', '\x80', '\xC3'})
        {
            std::string changed = text;
            changed[at] = damage;
            inputs.push_back(changed);
        }
        inputs.push_back(text.substr(0, at) + "\x80" + text.substr(at)); // a stray continuation byte
    }
    CTempFolder folder;
    const std::filesystem::path path = folder / "check.csv";
    size_t valid = 0;
    for (const std::string& bytes : inputs)
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        const std::optional<platform::CInputFile> file = platform::CInputFile::TryOpen(path);
        ASSERT_TRUE(file);
        for (const uint64_t start : {uint64_t{0}, uint64_t{3}})
        {
            const bool expected = IsValidUtf8(std::string_view(bytes).substr(start), false);
            valid += expected ? 1 : 0;
            for (const size_t block : {4u, 5u, 7u, 13u, 1000u})
            {
                for (const bool parallel : {false, true})
                {
                    ASSERT_EQ(IsValidUtf8File(*file, start, block, parallel), expected)
                        << "start " << start << ", blocks of " << block << (parallel ? ", in parts" : "") << ", bytes "
                        << ::testing::PrintToString(bytes);
                }
            }
        }
    }
    EXPECT_GT(valid, 2u); // both answers were met
    EXPECT_LT(valid, inputs.size());
}

TEST(BulkRead, CellsAreFoundWhereverTheyMeetTheBlocksOfTheScan)
{
    // The scan marks stops 64 units at a time: the same lines, moved one unit further each time, put every cell
    // end, CR LF pair, long cell and the end of the text at every place of a block.
    SCellRules rules;
    rules.m_cDelimiter = u',';
    std::vector<SScannedChunk> chunks;
    for (size_t shift = 0; shift < 140; ++shift)
    {
        const std::u16string first(shift % 70, u'a');
        const std::u16string longCell(130, u'c');
        const std::u16string wide(64, u'g');
        std::u16string text = first + u",b\r\n" + longCell + u",x|y,\n" + u"d,\u0085e\r" + u"f," + wide + u"\r\nh,i";
        if (shift >= 70)
            text += u"\n"; // with and without a line end at the end
        ScanPiece(text.data(), 0, text.size(), text.size(), text.size(), rules, false, chunks);
        ASSERT_EQ(chunks.size(), 1u);
        const SScannedChunk& chunk = chunks[0];
        const std::vector<std::vector<std::u16string>> expected = {
            {first, u"b"}, {longCell, u"x|y", u""}, {u"d", u"\u0085e"}, {u"f", wide}, {u"h", u"i"}};
        ASSERT_EQ(chunk.GetRecordCount(), static_cast<long>(expected.size())) << shift;
        for (size_t r = 0; r < expected.size(); ++r)
        {
            EXPECT_EQ(chunk.GetCellCount(static_cast<long>(r)), expected[r].size()) << shift << " record " << r;
            for (size_t c = 0; c < expected[r].size(); ++c)
                EXPECT_EQ(chunk.GetCell(c, static_cast<long>(r)), expected[r][c]) << shift << " record " << r;
        }
        EXPECT_EQ(chunk.m_nEnd, text.size());
        EXPECT_EQ(chunk.m_tally.m_nBars, 1);
        EXPECT_EQ(chunk.m_tally.m_nControlCharacters, 1);
    }
}

TEST(BulkRead, ChunksRescanWhenACutFallsInsideQuotes)
{
    // Every line but the first holds a quoted cell with line breaks, so most guessed cuts are wrong.
    std::u16string text = u"a,b\n";
    for (int i = 0; i < 2000; ++i)
        text += u"" + std::u16string(i % 2 ? u"\"x\ny\nz\"" : u"\"p\r\nq\"") + u",v\n";
    SCellRules rules;
    rules.m_cDelimiter = u',';
    // The chunks of an earlier, shorter piece are reused: nothing of them may show through.
    std::vector<SScannedChunk> chunks;
    ScanPiece(text.data(), 4, text.size(), text.size() / 3, 89, rules, true, chunks);
    ASSERT_FALSE(chunks.empty());
    ScanPiece(text.data(), 4, text.size(), text.size(), 97, rules, true, chunks);
    long records = 0;
    size_t expectedStart = 4;
    for (const SScannedChunk& chunk : chunks)
    {
        EXPECT_EQ(chunk.m_nStart, expectedStart);
        expectedStart = chunk.m_nEnd;
        for (long i = 0; i < chunk.GetRecordCount(); ++i, ++records)
        {
            ASSERT_EQ(chunk.GetCellCount(i), 2u);
            EXPECT_EQ(chunk.GetCell(0, i), records % 2 ? u"x\ny\nz" : u"p\r\nq");
            EXPECT_EQ(chunk.GetCell(1, i), u"v");
        }
    }
    EXPECT_EQ(records, 2000);
    EXPECT_EQ(expectedStart, text.size());
}

} // namespace

// A listener hears the phases of a read in their order, each once ("lines" comes before and after the merge of
// appended values).
TEST(BulkRead, PhasesAreToldInOrder)
{
    CTempFolder folder;
    const std::filesystem::path path = folder / "phases.csv";
    std::ofstream(path, std::ios::binary) << AwkwardCsv(1u << 16, 5);
    CImportSettings settings;
    settings.m_cDelimiter = u',';
    SReadOptions options;
    options.m_nStreamBytes = 1;
    std::vector<std::string> phases;
    options.m_phaseDone = [&](const char* phase, double seconds)
    {
        EXPECT_GE(seconds, 0.0);
        if (phases.empty() || phases.back() != phase)
            phases.emplace_back(phase);
    };
    CTable table;
    CTextImporter(table).ReadFile(path, settings, options);
    EXPECT_GT(table.GetRecordCount(), 0);
    const std::vector<std::string> expected = {"check", "lines", "merge", "lines", "finish", "analyse", "release"};
    EXPECT_EQ(phases, expected);
    // Without a listener nothing is asked.
    CTable other;
    CTextImporter(other).ReadFile(path, settings, SReadOptions{});
    EXPECT_EQ(other.GetRecordCount(), table.GetRecordCount());
}
